// libFuzzer target: the About window's JPEG decoder on arbitrary bytes. It
// must never crash, leak or take unbounded memory, and what it returns is a
// null image or a picture within its size limits.
#include "about/jpegimage.h"

#include <QByteArray>
#include <QImage>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QImage image =
        decodeJpeg(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!image.isNull() && (image.width() > kJpegMaxSide || image.height() > kJpegMaxSide ||
                            qint64(image.width()) * image.height() > kJpegMaxPixels))
        std::abort(); // invariant broken: a picture over the limits
    return 0;
}
