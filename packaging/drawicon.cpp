// Paints the program's alarm clock into <folder>/<size>.png for each size
// given, with the very code that paints it in the program. The pictures kept in
// uicommon/alarmclock/ are made by it: the program takes its window icon's
// sizes from them ready-made, and the install puts them into the hicolor
// theme. After a change to the painting, repaint them with
//   cmake --build build --target zv_repaint_icon
// (tst_hidpi fails while they are out of date with the painting).
#include "uicommon/icons.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>

#include <png.h>

#include <cstdio>

namespace {

// libpng reports a failure by jumping back to here; nothing below has a
// destructor for the jump to skip.
bool writeRows(png_structp writer, png_infop info, FILE* out, const QImage& rgba) {
    if (setjmp(png_jmpbuf(writer)) != 0)
        return false;
    png_init_io(writer, out);
    png_set_IHDR(writer, info, png_uint_32(rgba.width()), png_uint_32(rgba.height()), 8,
                 PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(writer, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(writer, 9);
    png_write_info(writer, info);
    for (int y = 0; y < rgba.height(); ++y)
        png_write_row(writer, rgba.constScanLine(y));
    png_write_end(writer, info);
    return true;
}

// Writes the picture with every row unfiltered, at zlib's strongest
// compression. The program decodes eight of these on each start; unfiltered
// rows decode in about half the work of the filters a general writer picks
// (Paeth above all), and for this drawing the files come out smaller too.
// Qt's writer and libpng's simplified one choose their filters themselves.
bool writeUnfilteredPng(const QImage& picture, const QString& file) {
    const QImage rgba = picture.convertToFormat(QImage::Format_RGBA8888);
    FILE* out = std::fopen(QFile::encodeName(file).constData(), "wb");
    if (out == nullptr)
        return false;
    png_structp writer = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = writer != nullptr ? png_create_info_struct(writer) : nullptr;
    const bool written = info != nullptr && writeRows(writer, info, out, rgba);
    png_destroy_write_struct(&writer, &info);
    return std::fclose(out) == 0 && written;
}

} // namespace

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
        const QString file = out.filePath(QString::number(size) + QStringLiteral(".png"));
        if (!writeUnfilteredPng(icons::alarmClock(size).toImage(), file)) {
            std::fprintf(stderr, "zv_drawicon: cannot paint size %d\n", size);
            return 1;
        }
    }
    return 0;
}
