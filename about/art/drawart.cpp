// Draws the About card's two pictures, at their size and at twice it (@2x):
// the JPEG background (490 x 311) and the illustration bitmap, whose bottom-left pixel gives its
// transparent colour. Run by draw.sh; the results are committed beside about.qrc.
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>

#include <cmath>
#include <cstdio>

namespace {

const QColor kKey(255, 0, 255);

// Where the card's texts lie, so the picture is light behind the dark texts
// and dark behind the yellow ones.
constexpr int kHorizon = 206;

QImage drawBackground(int scale) {
    QImage img(490 * scale, 311 * scale, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);

    QLinearGradient sky(0, 0, 0, kHorizon + 20);
    sky.setColorAt(0.0, QColor(236, 244, 251));
    sky.setColorAt(1.0, QColor(196, 220, 240));
    p.fillRect(img.rect(), sky);

    // Sound rings spreading from the clock's bells across the sky.
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 7; ++i) {
        const qreal r = 150 + i * 34;
        p.setPen(QPen(QColor(170, 200, 228, 150 - i * 15), 3));
        p.drawArc(QRectF(110 - r, 70 - r, 2 * r, 2 * r), -30 * 16, 55 * 16);
    }

    // Night falls below a soft hill line.
    QPainterPath night;
    night.moveTo(0, kHorizon + 8);
    night.cubicTo(140, kHorizon - 14, 300, kHorizon + 18, 490, kHorizon - 4);
    night.lineTo(490, 311);
    night.lineTo(0, 311);
    night.closeSubpath();
    QLinearGradient dark(0, kHorizon, 0, 311);
    dark.setColorAt(0.0, QColor(44, 46, 92));
    dark.setColorAt(1.0, QColor(18, 20, 44));
    p.setPen(QPen(QColor(120, 130, 190), 2));
    p.setBrush(dark);
    p.drawPath(night);

    // A few dim stars, kept off the text lines.
    QRandomGenerator rng(2026);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 26; ++i) {
        const int x = rng.bounded(2, 488);
        const int y = kHorizon + 14 + rng.bounded(0, 90);
        const bool onText = (x > 222 && y > 218 && y < 272) || (y > 288 && x > 36);
        if (onText)
            continue;
        p.setBrush(QColor(200, 205, 240, 90 + rng.bounded(0, 80)));
        p.drawEllipse(QPointF(x, y), 1.1, 1.1);
    }

    // A pale plate behind the two blue links; the years to their right stay
    // on the night.
    QPainterPath plate;
    plate.addRoundedRect(QRectF(349, 271.5, 130, 19), 5, 5);
    plate.addRoundedRect(QRectF(305.5, 289.5, 119, 19.5), 4, 4);
    plate.setFillRule(Qt::WindingFill);
    p.setPen(QPen(QColor(170, 160, 120), 1));
    p.setBrush(QColor(246, 240, 214));
    p.drawPath(plate.simplified());
    return img;
}

void drawBell(QPainter& p, QPointF centre, qreal r, qreal tilt) {
    p.save();
    p.translate(centre);
    p.rotate(tilt);
    QRadialGradient brass(QPointF(-r * 0.3, -r * 0.4), r * 1.4);
    brass.setColorAt(0, QColor(255, 236, 150));
    brass.setColorAt(0.5, QColor(222, 172, 52));
    brass.setColorAt(1, QColor(140, 96, 20));
    p.setPen(QPen(QColor(96, 62, 10), 2));
    p.setBrush(brass);
    p.drawChord(QRectF(-r, -r, 2 * r, 2 * r), 0, 180 * 16);
    p.drawRect(QRectF(-r, -1, 2 * r, 4));
    p.setBrush(QColor(96, 62, 10));
    p.drawEllipse(QPointF(0, -r - 4), 4, 4);
    p.restore();
}

QImage drawIllustration(int scale) {
    QImage art(230 * scale, 284 * scale, QImage::Format_ARGB32_Premultiplied);
    art.fill(Qt::transparent);
    QPainter p(&art);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);

    const QPointF c(112, 158);
    const qreal R = 82;

    // Legs.
    p.setPen(QPen(QColor(70, 46, 12), 9, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(-50, 60), c + QPointF(-72, 104));
    p.drawLine(c + QPointF(50, 60), c + QPointF(72, 104));

    // Bells and the hammer between them, ringing.
    drawBell(p, c + QPointF(-58, -78), 34, -28);
    drawBell(p, c + QPointF(58, -78), 34, 28);
    p.setPen(QPen(QColor(90, 60, 14), 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(0, -R + 2), c + QPointF(-16, -R - 36));
    p.setBrush(QColor(180, 130, 40));
    p.drawEllipse(c + QPointF(-18, -R - 40), 7, 7);

    // Body and face.
    QRadialGradient body(c + QPointF(-30, -30), R * 1.5);
    body.setColorAt(0, QColor(240, 90, 70));
    body.setColorAt(1, QColor(140, 24, 18));
    p.setPen(QPen(QColor(80, 14, 10), 3));
    p.setBrush(body);
    p.drawEllipse(c, R, R);
    p.setPen(QPen(QColor(150, 150, 150), 2));
    p.setBrush(QColor(252, 248, 232));
    p.drawEllipse(c, R - 12, R - 12);

    for (int i = 0; i < 60; ++i) {
        const qreal a = i * M_PI / 30;
        const qreal outer = R - 17;
        const qreal inner = outer - (i % 5 == 0 ? 10 : 4);
        p.setPen(QPen(QColor(40, 40, 60), i % 5 == 0 ? 3 : 1.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(c + QPointF(std::sin(a) * inner, -std::cos(a) * inner),
                   c + QPointF(std::sin(a) * outer, -std::cos(a) * outer));
    }
    // Seven o'clock: time to get up.
    const auto hand = [&](qreal turns, qreal length, qreal width, const QColor& colour) {
        const qreal a = turns * 2 * M_PI;
        p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(c, c + QPointF(std::sin(a) * length, -std::cos(a) * length));
    };
    hand(7.0 / 12, 36, 6, QColor(30, 30, 50));
    hand(0.0, 52, 4, QColor(30, 30, 50));
    hand(0.38, 56, 1.5, QColor(200, 30, 30));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 30, 30));
    p.drawEllipse(c, 5, 5);

    // Motion strokes around the bells.
    p.setBrush(Qt::NoBrush);
    for (int side : {-1, 1}) {
        for (int i = 0; i < 3; ++i) {
            p.setPen(QPen(QColor(60, 60, 90), 2.5, Qt::SolidLine, Qt::RoundCap));
            const qreal r = 52 + i * 9;
            const QRectF arc(c.x() + side * 58 - r, c.y() - 78 - r, 2 * r, 2 * r);
            p.drawArc(arc, side < 0 ? 120 * 16 : 30 * 16, 30 * 16);
        }
    }

    // A small twinkle at the card's hidden spot.
    const QPointF star(213, 36);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 214, 60));
    QPainterPath twinkle;
    twinkle.moveTo(star + QPointF(0, -6));
    twinkle.quadTo(star, star + QPointF(6, 0));
    twinkle.quadTo(star, star + QPointF(0, 6));
    twinkle.quadTo(star, star + QPointF(-6, 0));
    twinkle.quadTo(star, star + QPointF(0, -6));
    p.drawPath(twinkle);
    p.end();

    // A bitmap has no alpha: what is mostly transparent becomes the key
    // colour, everything else opaque, so no pink fringe is left round the
    // edges.
    QImage bmp(art.size(), QImage::Format_RGB32);
    for (int y = 0; y < art.height(); ++y) {
        for (int x = 0; x < art.width(); ++x) {
            const QColor px = art.pixelColor(x, y);
            QColor out = px.alpha() < 128 ? kKey : QColor(px.red(), px.green(), px.blue());
            if (px.alpha() >= 128 && out == kKey)
                out = QColor(254, 0, 254);
            bmp.setPixelColor(x, y, out);
        }
    }
    bmp.setPixelColor(0, bmp.height() - 1, kKey);
    return bmp;
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: drawart <output folder>\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    // Each at its size and at twice it, for screens scaled by two.
    bool ok = true;
    for (int scale : {1, 2}) {
        const QString suffix = scale == 1 ? QString() : QStringLiteral("@2x");
        ok = ok &&
             drawBackground(scale).save(dir + QStringLiteral("/background%1.jpg").arg(suffix),
                                        "JPG", 90) &&
             drawIllustration(scale).save(dir + QStringLiteral("/illustration%1.bmp").arg(suffix),
                                          "BMP");
    }
    return ok ? 0 : 1;
}
