#pragma once

#include <QByteArray>
#include <QImage>

// Decodes a JPEG picture with libjpeg. Damage of any kind (a file cut short,
// bytes that are no JPEG at all, corrupt data that libjpeg would only warn
// about and paint grey) gives a null image: the caller then simply has no
// picture. Nothing is printed and the process never ends here.
QImage decodeJpeg(const QByteArray& data);

// Pictures larger than this are refused before any pixel memory is taken, so
// a forged header cannot ask for gigabytes.
inline constexpr int kJpegMaxSide = 16384;
inline constexpr qint64 kJpegMaxPixels = qint64(64) * 1024 * 1024;
