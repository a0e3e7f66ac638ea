// The program's look for its chrome (the ribbon, the status bar and their menus): a proxy over
// the platform's style that paints ribbon buttons, tabs, menus and status items in the colours
// of the current visual style, and leaves every other widget to the platform's style.
//
// The chrome is drawn here rather than through Qt style sheets: a sheet makes every widget
// under it go through rule matching when it is polished, sized and painted, which cost more
// at start-up than building the whole ribbon.
#pragma once

#include <QProxyStyle>

class RibbonLook : public QProxyStyle {
public:
    // Makes the look the application's style, once; later calls do nothing.
    static void Install();
    // Marks a widget as the root of chrome: it and everything under it (its menus included)
    // take the look.
    static void MarkChrome(QWidget* root);
    static bool IsChrome(const QWidget* widget);

    // Room kept right of the text of a drop-down button in a row, for its arrow.
    static constexpr int kArrowRoom = 12;
    // A button carrying this property true is drawn with a drop-down arrow though it has no
    // menu of its own (a collapsed panel, whose click opens the panel).
    static constexpr const char* kDropDownProperty = "ribbonDropDown";

    void polish(QWidget* widget) override;
    using QProxyStyle::polish;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override;

private:
    void DrawToolButton(const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const;
    void DrawMenuItem(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void DrawTabShape(const QStyleOption* option, QPainter* painter) const;
};

// A rounded rectangle filled with a top-to-bottom gradient and outlined in one colour, drawn
// on the pixel grid (the outline inside rect).
void PaintGradientBox(QPainter* painter, const QRect& rect, const QColor& top, const QColor& bottom,
                      const QColor& border, qreal radius);

// rect filled with a gradient from top to bottom.
void PaintVerticalGradient(QPainter* painter, const QRect& rect, const QColor& top, const QColor& bottom);

// A one-pixel frame with its corners cut by a pixel: reads as rounded at this size and costs
// four fills instead of an anti-aliased path.
void PaintRoundedFrame(QPainter* painter, const QRect& rect, const QColor& colour);
