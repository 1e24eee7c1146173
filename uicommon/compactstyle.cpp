#include "compactstyle.h"

#include <QApplication>
#include <QStyleFactory>
#include <QStyleOption>

namespace {

// Fusion's drop-down button is 19 pixels wide on any field; on the layout's
// 66-pixel date field that leaves the date two pixels short.
constexpr int kArrowWidth = 15;
constexpr int kFrame = 2;

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
