#pragma once

#include <QProxyStyle>

// The style the windows are drawn in, whatever the desktop's: their controls
// have the small fixed sizes of the layout, so the style must be one whose
// inner margins are known to leave their texts room. Fusion, with a narrower
// drop-down button, which gives the date field's last digit its room, and a
// group-box frame painted from pixels held here: Fusion reads its frame from
// a PNG, which has the image reader load every image-format plugin (and
// their libraries) the moment the main window is first painted.
class CompactStyle final : public QProxyStyle {
    Q_OBJECT

public:
    CompactStyle();

    // Makes it the application's style, once.
    static void install();

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
};
