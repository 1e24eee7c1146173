// Paints the program's icon into <out>/<size>/zvonarka.png for each size given;
// with --pixels, into a header of its pixels instead, for the program to take
// the window icon's sizes ready-made. That header is kept in the sources, so
// the program's own build paints nothing; after a change to the painting:
//   QT_QPA_PLATFORM=offscreen zv_drawicon --pixels uicommon/alarmclockpixels.h
//   16 22 24 32 48 64 128 256
// (tst_hidpi fails while it is out of date).
#include "uicommon/icons.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>

#include <cstdio>

namespace {

// Each size's premultiplied ARGB pixels, row by row, compressed with qCompress.
bool writePixels(const QString& path, const QList<int>& sizes) {
    QByteArray out =
        "// Made by zv_drawicon --pixels (packaging/drawicon.cpp): the alarm clock's pixels "
        "(premultiplied\n"
        "// ARGB, compressed with qCompress), as icons::alarmClock(int) paints them.\n"
        "#pragma once\n\n// clang-format off\nnamespace alarmclockpixels {\n\n"
        "struct Picture {\n    int size;\n    const unsigned char* data;\n    int length;\n};\n\n";
    QByteArray table = "inline constexpr Picture kPictures[] = {\n";
    for (int size : sizes) {
        const QImage image =
            icons::alarmClock(size).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QByteArray raw;
        for (int y = 0; y < size; ++y)
            raw.append(reinterpret_cast<const char*>(image.constScanLine(y)), qsizetype(size) * 4);
        const QByteArray packed = qCompress(raw, 9);
        const QByteArray name = "kSize" + QByteArray::number(size);
        out += "inline constexpr unsigned char " + name + "[] = {";
        for (qsizetype i = 0; i < packed.size(); ++i) {
            if (i % 16 == 0)
                out += "\n   ";
            out += " " + QByteArray::number(uchar(packed.at(i))) + ",";
        }
        out += "\n};\n";
        table +=
            "    {" + QByteArray::number(size) + ", " + name + ", int(sizeof " + name + ")},\n";
    }
    out += "\n" + table + "};\n\n} // namespace alarmclockpixels\n// clang-format on\n";
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(out) == out.size();
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const bool pixels = argc > 1 && QByteArray(argv[1]) == "--pixels";
    const int first = pixels ? 2 : 1;
    if (argc < first + 2) {
        std::fprintf(stderr, "usage: zv_drawicon [--pixels] <out-folder-or-header> <size>...\n");
        return 2;
    }
    QList<int> sizes;
    for (int i = first + 1; i < argc; ++i) {
        const int size = QString::fromLocal8Bit(argv[i]).toInt();
        if (size <= 0) {
            std::fprintf(stderr, "zv_drawicon: no such size %s\n", argv[i]);
            return 1;
        }
        sizes.append(size);
    }
    const QString target = QString::fromLocal8Bit(argv[first]);
    if (pixels) {
        if (!writePixels(target, sizes)) {
            std::fprintf(stderr, "zv_drawicon: cannot write %s\n", argv[first]);
            return 1;
        }
        return 0;
    }
    const QDir out(target);
    for (int size : sizes) {
        const QString dir = out.filePath(QString::number(size));
        if (!QDir().mkpath(dir) ||
            !icons::alarmClock(size).save(QDir(dir).filePath(QStringLiteral("zvonarka.png")))) {
            std::fprintf(stderr, "zv_drawicon: cannot paint size %d\n", size);
            return 1;
        }
    }
    return 0;
}
