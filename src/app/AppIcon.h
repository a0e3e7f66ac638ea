// The About box's program icon: a widget that paints a premultiplied 32-bit icon cut
// from the interface image atlas, blended over its background by its alpha.
#pragma once

#include <QImage>
#include <QWidget>

class AppIcon : public QWidget {
    Q_OBJECT
public:
    explicit AppIcon(QWidget* parent = nullptr);

    // Cuts the About icon out of atlas and gives the control the icon's size, keeping its
    // centre. Without an atlas, or when the cut fails, the control is left as it is (false).
    bool AttachIcon(const QImage* atlas);
    const QImage& Icon() const { return m_iconBitmap; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_iconBitmap;
};
