// The About box: program icon, product line (maker, program and version) and copyright from
// the version header the build writes, and a link to the product's web page.
#pragma once

#include <QDialog>

class AppIcon;
class QImage;
class QLabel;
class QPushButton;

// The product page behind the About box's link and the link's visible text.
inline constexpr char ABOUT_PRODUCT_PAGE_URL[] = "https://www.norvane.com/snipwell/";
inline constexpr char ABOUT_WEB_SITE_TEXT[] = "www.norvane.com";
// The link's tooltip names where the program's icons come from.
inline constexpr char ABOUT_ICON_SET_TEXT[] = "Icons: the Snipwell icon set, www.norvane.com";


class AboutDialog : public QDialog {
    Q_OBJECT
public:
    // atlas: the picture the icon is cut from (the process-wide atlas when not given).
    explicit AboutDialog(QWidget* parent = nullptr, const QImage* atlas = nullptr);

    AppIcon* IconControl() const { return m_icon; }
    QLabel* ProductLine() const { return m_product; }
    QLabel* CopyrightLine() const { return m_copyright; }
    QLabel* Link() const { return m_link; }
    QPushButton* OkButton() const { return m_okButton; }

private:
    void SetVersionTexts();

    AppIcon* m_icon = nullptr;
    QLabel* m_product = nullptr;
    QLabel* m_copyright = nullptr;
    QLabel* m_link = nullptr;
    QPushButton* m_okButton = nullptr;
};
