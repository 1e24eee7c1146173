#include "uicommon/icons.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QResource>
#include <QSysInfo>
#include <QTimer>

#include <png.h>

#include <algorithm>
#include <vector>

// Outside any namespace, as Qt's macro wants; the pictures live in a static
// library, whose resources are registered only when asked for.
static void initAlarmClockResource() {
    Q_INIT_RESOURCE(alarmclock);
}

namespace icons {

namespace {

// Setting a window's icon on X takes all eight sizes, and Qt does that twice
// for the main window when it is first shown (once as it creates the window,
// once more for the widget's own icon). Painted, they took a tenth of the
// start-up's processor time each time; the program carries them painted ahead
// by the same code (uicommon/alarmclock/, made by zv_drawicon) and only
// decodes them here, in a fraction of that. They are decoded with libpng
// itself: Qt's image reader would first look through the image format
// plug-ins, which nothing else at start-up needs. Any other size is painted.
QPixmap readyMadeAlarmClock(int size) {
    static const bool registered = (initAlarmClockResource(), true);
    (void)registered;
    const QResource file(QStringLiteral(":/alarmclock/%1.png").arg(size));
    const QByteArray data = file.isValid() ? file.uncompressedData() : QByteArray();
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (data.isEmpty() ||
        !png_image_begin_read_from_memory(&png, data.constData(), size_t(data.size())))
        return alarmClock(size);
    if (png.width != png_uint_32(size) || png.height != png_uint_32(size)) {
        png_image_free(&png);
        return alarmClock(size);
    }
    // Straight (not premultiplied) alpha, in the byte order of Qt's ARGB32.
    png.format = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? PNG_FORMAT_BGRA : PNG_FORMAT_ARGB;
    QImage image(size, size, QImage::Format_ARGB32);
    if (image.isNull()) {
        png_image_free(&png);
        return alarmClock(size);
    }
    // Finishing frees libpng's state, whatever its outcome.
    if (!png_image_finish_read(&png, nullptr, image.bits(), png_int_32(image.bytesPerLine()),
                               nullptr))
        return alarmClock(size);
    image.convertTo(QImage::Format_ARGB32_Premultiplied);
    return QPixmap::fromImage(std::move(image));
}

// The sizes made are kept only until the event loop next turns, so the
// second setting takes the first one's pictures, and nothing is held for the
// program's life.
QPixmap sharedAlarmClock(int size) {
    struct Painted {
        int size;
        QPixmap pm;
    };
    static std::vector<Painted> recent;
    for (const Painted& p : recent)
        if (p.size == size)
            return p.pm;
    QPixmap pm = readyMadeAlarmClock(size);
    // Without an event loop to drop them, the pictures are not kept at all.
    if (QCoreApplication::instance() == nullptr)
        return pm;
    if (recent.empty()) {
        QTimer::singleShot(0, QCoreApplication::instance(), [] { recent.clear(); });
        // Nor past the application, should it end before its loop turns.
        static const bool dropAtExit = (qAddPostRoutine([] { recent.clear(); }), true);
        (void)dropAtExit;
    }
    recent.push_back({size, pm});
    return pm;
}

// The alarm clock painted at the size asked for when it is asked for: Qt asks
// when it sets a window's icon or draws the tray's, now and then, while eight
// stored sizes up to 256 pixels would hold 354 KB for the program's whole life.
class AlarmClockEngine final : public QIconEngine {
public:
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        const int side = std::max(0, std::min(size.width(), size.height()));
        return {side, side};
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        const QSize side = actualSize(size, mode, state);
        if (side.isEmpty())
            return {};
        QPixmap pm = sharedAlarmClock(side.width());
        if (mode == QIcon::Normal)
            return pm;
        // Greyed or highlighted as Qt does it for stored pixmaps.
        return QIcon(pm).pixmap(side, 1.0, mode, state);
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        // Up to 256, so a window icon at twice the size stays sharp.
        QList<QSize> sizes;
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
            sizes.append(QSize(size, size));
        return sizes;
    }

    QString key() const override { return QStringLiteral("zvonarka.alarmclock"); }
    QIconEngine* clone() const override { return new AlarmClockEngine; }
};

} // namespace

QIcon alarmClock() {
    return QIcon(new AlarmClockEngine);
}

QPixmap menuPicture(MenuPicture which, int size) {
    // Painted for the screen's pixels, so a scaled screen shows them sharp
    // rather than blown up; the size stays in the layout's units.
    const qreal dpr = qApp != nullptr ? qApp->devicePixelRatio() : 1.0;
    const int device = qRound(size * dpr);
    QPixmap pm(device, device);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);

    if (which == MenuPicture::Close) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 30, 30));
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5.2, 5.2), QPointF(10.8, 10.8));
        p.drawLine(QPointF(10.8, 5.2), QPointF(5.2, 10.8));
        return pm;
    }

    // A small window with its title bar; an arrow says where it goes.
    const QColor frame(40, 60, 120);
    p.setPen(QPen(frame, 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 1.5, 11, 9));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 100, 200));
    p.drawRect(QRectF(2, 2, 10.5, 2.5));

    // Down into the tray, or up out of it, over the tray's line.
    const bool down = which == MenuPicture::Hide;
    QPainterPath arrow;
    arrow.moveTo(10, down ? 8 : 12);
    arrow.lineTo(15.5, down ? 8 : 12);
    arrow.lineTo(12.75, down ? 11.5 : 8.5);
    arrow.closeSubpath();
    const QColor green(30, 140, 40);
    p.setBrush(green);
    p.drawPath(arrow);
    if (down)
        p.drawRect(QRectF(11.5, 11.5, 2.5, 0));
    p.setPen(QPen(green, 1.6));
    p.drawLine(QPointF(9, 14.5), QPointF(15.5, 14.5));
    return pm;
}

} // namespace icons
