#include "app/AboutDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/AppIcon.h"
#include "app/IconAtlas.h"
#include "platform/ShellOpen.h"
#include "app/VersionInfoX.h"

namespace {

// Where the dialog template puts the icon control before it takes the icon's size.
const QRect kIconTemplateRect(8, 8, 40, 40);
constexpr int kIconAreaSize = 56;

QLabel* AddLabel(QWidget* parent, int id) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::number(id));
    return label;
}

}  // namespace

AboutDialog::AboutDialog(QWidget* parent, const RasterImage* atlas) : QDialog(parent) {
    setObjectName(QString::number(IDD_ABOUTBOX));
    setWindowTitle(QStringLiteral("About Snipwell"));

    // The icon control keeps its own geometry, so it sits in an area without a layout.
    auto* iconArea = new QWidget(this);
    iconArea->setFixedSize(kIconAreaSize, kIconAreaSize);
    m_icon = new AppIcon(iconArea);
    m_icon->setObjectName(QString::number(IDC_ABOUT_ICON));
    m_icon->setGeometry(kIconTemplateRect);
    m_icon->AttachIcon(atlas ? atlas : InterfaceAtlas());

    m_product = AddLabel(this, IDC_ABOUT_PRODUCT);
    m_copyright = AddLabel(this, IDC_ABOUT_COPYRIGHT);
    m_link = AddLabel(this, IDC_ABOUT_LINK);
    m_link->setTextFormat(Qt::RichText);
    m_link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    m_link->setOpenExternalLinks(false);
    m_link->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                         .arg(QString::fromLatin1(ABOUT_PRODUCT_PAGE_URL), QString::fromLatin1(ABOUT_WEB_SITE_TEXT)));
    m_link->setToolTip(QString::fromLatin1(ABOUT_ICON_SET_TEXT));
    connect(m_link, &QLabel::linkActivated, this, [](const QString& url) { ShellOpen::OpenUrl(url); });

    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setObjectName(QStringLiteral("1"));
    m_okButton->setDefault(true);
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* webRow = new QHBoxLayout;
    webRow->addWidget(new QLabel(QStringLiteral("Web page:"), this));
    webRow->addWidget(m_link);
    webRow->addStretch();

    auto* texts = new QVBoxLayout;
    texts->addWidget(m_product);
    texts->addWidget(m_copyright);
    texts->addLayout(webRow);

    auto* top = new QHBoxLayout;
    top->addWidget(iconArea, 0, Qt::AlignTop);
    top->addLayout(texts, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_okButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    SetVersionTexts();
}

void AboutDialog::SetVersionTexts() {
    const AboutVersionStrings strings = VersionInfoX::GetAboutVersionStrings();
    m_product->setText(QStringLiteral("%1 %2, Version %3")
                            .arg(strings.companyName, strings.fileDescription, strings.fileVersion));
    m_copyright->setText(strings.legalCopyright);
}

void AboutDialog::RunModal(QWidget* parent) {
    AboutDialog dialog(parent);
    dialog.exec();
}
