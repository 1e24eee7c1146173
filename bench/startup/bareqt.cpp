// The yardstick for the start-up figures: a bare Qt window with a list of 255
// items, a one-second timer and a tray icon, and nothing else. Measured beside
// the program under the same conditions, it shows what of the program's time
// and memory is the toolkit's own.
#include <QApplication>
#include <QIcon>
#include <QListWidget>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QListWidget list;
    for (int i = 0; i < 255; ++i)
        list.addItem(QStringLiteral("Задание %1").arg(i));
    list.resize(502, 287);
    list.show();
    QPixmap picture(16, 16);
    picture.fill(Qt::darkBlue);
    QSystemTrayIcon tray{QIcon(picture)};
    tray.show();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &list, [] {});
    tick.start(1000);
    return app.exec();
}
