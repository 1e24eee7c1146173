#include "about/jpegimage.h"

#include <csetjmp>
#include <cstdio>

extern "C" {
#include <jpeglib.h>
}

namespace {

// libjpeg reports every error through error_exit and expects it not to
// return. It may not throw either (the exception would cross libjpeg's C
// frames), so it jumps back to the step that called into libjpeg.
struct ErrorTrap {
    jpeg_error_mgr pub; // first, so libjpeg's pointer to it is a pointer to the trap
    std::jmp_buf jump;
};

[[noreturn]] void jumpBack(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorTrap*>(cinfo->err)->jump, 1);
}

// Level -1 is corrupt data that libjpeg would paper over (a file cut short is
// padded with grey): such a picture counts as damaged. Trace messages
// (levels 0 and up) are dropped.
void onMessage(j_common_ptr cinfo, int msgLevel) {
    if (msgLevel < 0)
        jumpBack(cinfo);
}

void printNothing(j_common_ptr) {}

// Each libjpeg call runs in a plain function of its own that sets the jump
// target right before the call. Nothing with a destructor lives in these
// frames, so jumping out of libjpeg back to them skips no clean-up, and no
// target outlives the frame that set it.

bool createDecompress(jpeg_decompress_struct* cinfo, ErrorTrap* trap) {
    if (setjmp(trap->jump) != 0)
        return false;
    jpeg_create_decompress(cinfo);
    return true;
}

bool setSource(jpeg_decompress_struct* cinfo, ErrorTrap* trap, const unsigned char* bytes,
               unsigned long size) {
    if (setjmp(trap->jump) != 0)
        return false;
    jpeg_mem_src(cinfo, bytes, size);
    return true;
}

bool readHeader(jpeg_decompress_struct* cinfo, ErrorTrap* trap) {
    if (setjmp(trap->jump) != 0)
        return false;
    return jpeg_read_header(cinfo, TRUE) == JPEG_HEADER_OK;
}

bool startDecompress(jpeg_decompress_struct* cinfo, ErrorTrap* trap) {
    if (setjmp(trap->jump) != 0)
        return false;
    return jpeg_start_decompress(cinfo) == TRUE;
}

bool readScanline(jpeg_decompress_struct* cinfo, ErrorTrap* trap, JSAMPROW row) {
    if (setjmp(trap->jump) != 0)
        return false;
    JSAMPROW rows[1] = {row};
    return jpeg_read_scanlines(cinfo, rows, 1) == 1;
}

bool finishDecompress(jpeg_decompress_struct* cinfo, ErrorTrap* trap) {
    if (setjmp(trap->jump) != 0)
        return false;
    return jpeg_finish_decompress(cinfo) == TRUE;
}

// Adobe's CMYK JPEGs store the inks inverted (0 is full ink), which is what
// every other reader assumes as well.
void cmykRowToRgb(const JSAMPLE* in, QRgb* out, int width) {
    for (int x = 0; x < width; ++x, in += 4) {
        const int k = in[3];
        out[x] = qRgb(in[0] * k / 255, in[1] * k / 255, in[2] * k / 255);
    }
}

QImage decompress(jpeg_decompress_struct* cinfo, ErrorTrap* trap) {
    if (!readHeader(cinfo, trap))
        return {};
    const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    const qint64 width = cinfo->image_width;
    const qint64 height = cinfo->image_height;
    if (width < 1 || height < 1 || width > kJpegMaxSide || height > kJpegMaxSide ||
        width * height > kJpegMaxPixels)
        return {};
    if (!startDecompress(cinfo, trap))
        return {};
    const int components = cmyk ? 4 : 3;
    if (cinfo->output_components != components || qint64(cinfo->output_width) != width ||
        qint64(cinfo->output_height) != height)
        return {};

    QImage image(int(width), int(height), cmyk ? QImage::Format_RGB32 : QImage::Format_RGB888);
    if (image.isNull())
        return {};
    QByteArray cmykRow;
    if (cmyk)
        cmykRow.resize(width * 4);
    for (int y = 0; y < int(height); ++y) {
        auto* target = cmyk ? reinterpret_cast<JSAMPROW>(cmykRow.data())
                            : reinterpret_cast<JSAMPROW>(image.scanLine(y));
        if (!readScanline(cinfo, trap, target))
            return {};
        if (cmyk)
            cmykRowToRgb(target, reinterpret_cast<QRgb*>(image.scanLine(y)), int(width));
    }
    if (!finishDecompress(cinfo, trap))
        return {};
    return image;
}

} // namespace

QImage decodeJpeg(const QByteArray& data) {
    if (data.isEmpty())
        return {};
    ErrorTrap trap{};
    jpeg_std_error(&trap.pub);
    trap.pub.error_exit = jumpBack;
    trap.pub.emit_message = onMessage;
    trap.pub.output_message = printNothing;

    jpeg_decompress_struct cinfo{};
    cinfo.err = &trap.pub;
    if (!createDecompress(&cinfo, &trap))
        return {};
    QImage image;
    if (setSource(&cinfo, &trap, reinterpret_cast<const unsigned char*>(data.constData()),
                  static_cast<unsigned long>(data.size())))
        image = decompress(&cinfo, &trap);
    // Also after a failure halfway: it frees whatever libjpeg had taken.
    jpeg_destroy_decompress(&cinfo);
    return image;
}
