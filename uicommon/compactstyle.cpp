#include "uicommon/compactstyle.h"

#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QPixmap>
#include <QStyleFactory>
#include <QStyleOption>
#include <qdrawutil.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace {

// Fusion's drop-down button is 19 pixels wide on any field; on the layout's
// 66-pixel date field that leaves the date two pixels short.
constexpr int kArrowWidth = 15;
constexpr int kFrame = 2;

// Fusion's group-box frame picture, 98 × 38 pixels drawn as a nine-patch with
// 6-pixel borders: a rounded grey line on a faint shade. Along each border
// and across the middle every row and column repeats, so the 6-pixel corners
// plus one middle row and column (index 6 here) hold all of it. Non-
// premultiplied ARGB, the picture's own values.
constexpr std::size_t kKey = 13;
constexpr int kPictureWidth = 98;
constexpr int kPictureHeight = 38;
constexpr int kBorder = 6;
// Fusion's space between the label and the frame's top line.
constexpr int kGroupBoxTopMargin = 3;

// clang-format off
constexpr auto kFrameKey = std::to_array<std::uint32_t>({
    0x00ffffff, 0x00ffffff, 0x00ffffff, 0x00ffffff, 0x00ffffff, 0x00ffffff, 0x00ffffff,
    0x00ffffff, 0x00ffffff, 0x00ffffff, 0x00ffffff, 0x00ffffff, 0x00ffffff,
    0x00ffffff, 0x0d272727, 0x345d5d5d, 0x346c6c6c, 0x32757575, 0x32757575, 0x32757575,
    0x32757575, 0x32757575, 0x32757575, 0x346c6c6c, 0x37666666, 0x0c151515,
    0x00ffffff, 0x39626262, 0x1f5a5a5a, 0x0a000000, 0x08000000, 0x07000000, 0x07000000,
    0x07000000, 0x07000000, 0x08000000, 0x0a000000, 0x1e5e5e5e, 0x355b5b5b,
    0x00ffffff, 0x346c6c6c, 0x09000000, 0x03000000, 0x03000000, 0x03000000, 0x03000000,
    0x03000000, 0x03000000, 0x03000000, 0x03000000, 0x09000000, 0x346c6c6c,
    0x00ffffff, 0x32757575, 0x08000000, 0x03000000, 0x03000000, 0x03000000, 0x03000000,
    0x03000000, 0x03000000, 0x03000000, 0x03000000, 0x08000000, 0x32757575,
    0x00ffffff, 0x32757575, 0x07000000, 0x03000000, 0x03000000, 0x03000000, 0x03000000,
    0x03000000, 0x03000000, 0x03000000, 0x03000000, 0x07000000, 0x32757575,
    0x00ffffff, 0x32757575, 0x07000000, 0x03000000, 0x03000000, 0x03000000, 0x03000000,
    0x03000000, 0x03000000, 0x03000000, 0x03000000, 0x07000000, 0x32757575,
    0x00ffffff, 0x32757575, 0x07000000, 0x03000000, 0x03000000, 0x03000000, 0x03000000,
    0x03000000, 0x03000000, 0x03000000, 0x03000000, 0x07000000, 0x32757575,
    0x00ffffff, 0x32757575, 0x07000000, 0x03000000, 0x03000000, 0x03000000, 0x03000000,
    0x03000000, 0x03000000, 0x03000000, 0x03000000, 0x07000000, 0x32757575,
    0x00ffffff, 0x32757575, 0x08000000, 0x03000000, 0x03000000, 0x03000000, 0x03000000,
    0x03000000, 0x03000000, 0x03000000, 0x03000000, 0x08000000, 0x32757575,
    0x00ffffff, 0x346c6c6c, 0x09000000, 0x03000000, 0x03000000, 0x03000000, 0x03000000,
    0x03000000, 0x03000000, 0x03000000, 0x03000000, 0x09000000, 0x346c6c6c,
    0x00ffffff, 0x355b5b5b, 0x1e5e5e5e, 0x0a000000, 0x08000000, 0x07000000, 0x07000000,
    0x07000000, 0x07000000, 0x08000000, 0x0a000000, 0x1f5a5a5a, 0x39626262,
    0x00ffffff, 0x0c151515, 0x37666666, 0x346c6c6c, 0x32757575, 0x32757575, 0x32757575,
    0x32757575, 0x32757575, 0x32757575, 0x346c6c6c, 0x345d5d5d, 0x0d272727,
});
// clang-format on
static_assert(kFrameKey.size() == kKey * kKey);

// The key's index of a picture's pixel along one side: the border pixels map
// onto themselves, everything between onto the middle.
std::size_t keyIndex(int at, int length) {
    if (at < kBorder)
        return static_cast<std::size_t>(at);
    if (at >= length - kBorder)
        return kKey - static_cast<std::size_t>(length - at);
    return kBorder;
}

// The picture at Fusion's full size, so that the nine-patch stretches the same
// number of source pixels as Fusion's and samples them alike at any scale.
// Kept for the program's life, as Fusion keeps its picture in the pixmap cache.
const QPixmap& groupBoxFrame() {
    static const QPixmap frame = [] {
        QImage image(kPictureWidth, kPictureHeight, QImage::Format_ARGB32);
        for (int y = 0; y < kPictureHeight; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            const std::size_t row = keyIndex(y, kPictureHeight) * kKey;
            for (int x = 0; x < kPictureWidth; ++x)
                line[x] = kFrameKey.at(row + keyIndex(x, kPictureWidth));
        }
        return QPixmap::fromImage(image);
    }();
    return frame;
}

} // namespace

CompactStyle::CompactStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

void CompactStyle::install() {
    if (qobject_cast<CompactStyle*>(QApplication::style()) == nullptr)
        QApplication::setStyle(new CompactStyle);
}

QRect CompactStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                   SubControl sub, const QWidget* widget) const {
    if (control == CC_ComboBox && option != nullptr &&
        (sub == SC_ComboBoxArrow || sub == SC_ComboBoxEditField)) {
        const QRect r = option->rect;
        const QRect out =
            sub == SC_ComboBoxArrow
                ? QRect(r.right() - kArrowWidth + 1, r.top(), kArrowWidth, r.height())
                : QRect(r.left() + kFrame, r.top() + kFrame, r.width() - kArrowWidth - 2 * kFrame,
                        r.height() - 2 * kFrame);
        return visualRect(option->direction, r, out);
    }
    return QProxyStyle::subControlRect(control, option, sub, widget);
}

void CompactStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                 QPainter* painter, const QWidget* widget) const {
    if (element != PE_FrameGroupBox || option == nullptr || painter == nullptr) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    // Fusion's placement: below the label's line, or a small gap when the box
    // has neither a title nor a check box.
    const auto* box = qobject_cast<const QGroupBox*>(widget);
    const int top = box != nullptr && !box->isCheckable() && box->title().isEmpty()
                        ? kGroupBoxTopMargin
                        : qMax(proxy()->pixelMetric(PM_ExclusiveIndicatorHeight),
                               option->fontMetrics.height()) +
                              kGroupBoxTopMargin;
    qDrawBorderPixmap(painter, option->rect.adjusted(0, top, 0, 0),
                      QMargins(kBorder, kBorder, kBorder, kBorder), groupBoxFrame());
}
