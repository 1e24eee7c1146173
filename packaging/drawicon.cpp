// Paints the program's icon into <out>/<size>/zvonarka.png for each size given.
#include "icons.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>

#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: zv_drawicon <out-folder> <size>...\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    for (int i = 2; i < argc; ++i) {
        const int size = QString::fromLocal8Bit(argv[i]).toInt();
        const QString dir = out.filePath(QString::number(size));
        if (size <= 0 || !QDir().mkpath(dir) ||
            !icons::alarmClock(size).save(QDir(dir).filePath(QStringLiteral("zvonarka.png")))) {
            std::fprintf(stderr, "zv_drawicon: cannot paint size %s\n", argv[i]);
            return 1;
        }
    }
    return 0;
}
