// The alarm clock's painting, apart from the rest of the pictures: zv_drawicon
// also runs it for the pictures in uicommon/alarmclock/, the window icon's
// sizes that the program takes ready-made and the installed icons.
#include "uicommon/icons.h"

#include <QPainter>

#include <cmath>

namespace icons {

QPixmap alarmClock(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    const QColor body(200, 30, 30);
    const QColor dark(90, 10, 10);
    QPen outline(dark, 2.5);

    // Legs, then the two bells and the hammer between them.
    p.setPen(QPen(dark, 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(19, 52), QPointF(12, 61));
    p.drawLine(QPointF(45, 52), QPointF(52, 61));
    p.setPen(outline);
    p.setBrush(QColor(240, 190, 40));
    p.drawChord(QRectF(3, 3, 24, 24), 45 * 16, 180 * 16);
    p.drawChord(QRectF(37, 3, 24, 24), -45 * 16, 180 * 16);
    p.setPen(QPen(dark, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(32, 11), QPointF(32, 5));
    p.drawLine(QPointF(27, 5), QPointF(37, 5));

    // Case and face.
    p.setPen(outline);
    p.setBrush(body);
    p.drawEllipse(QPointF(32, 35), 25, 25);
    p.setBrush(QColor(255, 252, 240));
    p.drawEllipse(QPointF(32, 35), 19, 19);

    // Hour marks.
    p.setPen(QPen(dark, 2.2, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 12; ++i) {
        const double a = i * M_PI / 6.0;
        const double r1 = (i % 3 == 0) ? 13.5 : 15.5;
        p.drawLine(QPointF(32 + r1 * std::sin(a), 35 - r1 * std::cos(a)),
                   QPointF(32 + 17 * std::sin(a), 35 - 17 * std::cos(a)));
    }
    // Hands at ten to two, and the centre.
    p.setPen(QPen(Qt::black, 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(32, 35), QPointF(32 - 8.5, 35 - 6));
    p.setPen(QPen(Qt::black, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(32, 35), QPointF(32 + 9, 35 - 11));
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    p.drawEllipse(QPointF(32, 35), 2.6, 2.6);
    return pm;
}

} // namespace icons
