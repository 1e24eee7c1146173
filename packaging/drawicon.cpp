// Paints the program's alarm clock into <folder>/<size>.png for each size
// given, with the very code that paints it in the program. The pictures kept in
// uicommon/alarmclock/ are made by it: the program takes its window icon's
// sizes from them ready-made, and the install puts them into the hicolor
// theme. After a change to the painting, repaint them with
//   cmake --build build --target zv_repaint_icon
// (tst_hidpi fails while they are out of date with the painting).
#include "uicommon/icons.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>

#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: zv_drawicon <out-folder> <size>...\n");
        return 2;
    }
    QList<int> sizes;
    for (int i = 2; i < argc; ++i) {
        const int size = QString::fromLocal8Bit(argv[i]).toInt();
        if (size <= 0) {
            std::fprintf(stderr, "zv_drawicon: no such size %s\n", argv[i]);
            return 1;
        }
        sizes.append(size);
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "zv_drawicon: cannot make %s\n", argv[1]);
        return 1;
    }
    for (int size : sizes) {
        // Quality 0 is the strongest compression: the pixels are the same, the
        // files the program carries the smallest.
        const QString file = out.filePath(QString::number(size) + QStringLiteral(".png"));
        if (!icons::alarmClock(size).toImage().save(file, "PNG", 0)) {
            std::fprintf(stderr, "zv_drawicon: cannot paint size %d\n", size);
            return 1;
        }
    }
    return 0;
}
