#include "app/CAboutDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/AppIcon.h"
#include "app/ResImageLib.h"
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

CAboutDlg::CAboutDlg(QWidget* parent, const RasterImage* atlas) : QDialog(parent) {
    setObjectName(QString::number(IDD_ABOUTBOX));
    setWindowTitle(QStringLiteral("About Snipwell"));

    // The icon control keeps its own geometry, so it sits in an area without a layout.
    auto* iconArea = new QWidget(this);
    iconArea->setFixedSize(kIconAreaSize, kIconAreaSize);
    m_pIcon = new AppIcon(iconArea);
    m_pIcon->setObjectName(QString::number(IDC_ABOUT_ICON));
    m_pIcon->setGeometry(kIconTemplateRect);
    m_pIcon->AttachIcon(atlas ? atlas : InterfaceAtlas());

    m_pProduct = AddLabel(this, IDC_ABOUT_PRODUCT);
    m_pCopyright = AddLabel(this, IDC_ABOUT_COPYRIGHT);
    m_pLink = AddLabel(this, IDC_ABOUT_LINK);
    m_pLink->setTextFormat(Qt::RichText);
    m_pLink->setTextInteractionFlags(Qt::TextBrowserInteraction);
    m_pLink->setOpenExternalLinks(false);
    m_pLink->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                         .arg(QString::fromLatin1(ABOUT_PRODUCT_PAGE_URL), QString::fromLatin1(ABOUT_WEB_SITE_TEXT)));
    m_pLink->setToolTip(QString::fromLatin1(ABOUT_ICON_SET_TEXT));
    connect(m_pLink, &QLabel::linkActivated, this, [](const QString& url) { ShellOpen::OpenUrl(url); });

    m_pOk = new QPushButton(QStringLiteral("OK"), this);
    m_pOk->setObjectName(QStringLiteral("1"));
    m_pOk->setDefault(true);
    connect(m_pOk, &QPushButton::clicked, this, &QDialog::accept);

    auto* webRow = new QHBoxLayout;
    webRow->addWidget(new QLabel(QStringLiteral("Web page:"), this));
    webRow->addWidget(m_pLink);
    webRow->addStretch();

    auto* texts = new QVBoxLayout;
    texts->addWidget(m_pProduct);
    texts->addWidget(m_pCopyright);
    texts->addLayout(webRow);

    auto* top = new QHBoxLayout;
    top->addWidget(iconArea, 0, Qt::AlignTop);
    top->addLayout(texts, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_pOk);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    SetVersionTexts();
}

void CAboutDlg::SetVersionTexts() {
    const AboutVersionStrings strings = VersionInfoX::GetAboutVersionStrings();
    m_pProduct->setText(QStringLiteral("%1 %2, Version %3")
                            .arg(strings.companyName, strings.fileDescription, strings.fileVersion));
    m_pCopyright->setText(strings.legalCopyright);
}

void CAboutDlg::RunModal(QWidget* parent) {
    CAboutDlg dialog(parent);
    dialog.exec();
}
