#include "app/AboutDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/AppIcon.h"
#include "app/IconAtlas.h"
#include "app/Version.h"
#include "platform/ShellOpen.h"

namespace {

// The icon's area; the icon takes its own size around the centre of the box it is first
// given, so it sits in the middle of the area whatever size the atlas cell has.
const QRect kIconBox(8, 8, 40, 40);
constexpr int kIconAreaSize = 56;

QLabel* AddLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

}  // namespace

AboutDialog::AboutDialog(QWidget* parent, const QImage* atlas) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QStringLiteral("About Snipwell"));

    // The icon control keeps its own geometry, so it sits in an area without a layout.
    auto* iconArea = new QWidget(this);
    iconArea->setFixedSize(kIconAreaSize, kIconAreaSize);
    m_icon = new AppIcon(iconArea);
    m_icon->setObjectName(QStringLiteral("programIcon"));
    m_icon->setGeometry(kIconBox);
    m_icon->AttachIcon(atlas ? atlas : InterfaceAtlas());

    m_product = AddLabel(this, "productLine");
    m_copyright = AddLabel(this, "copyrightLine");
    m_link = AddLabel(this, "webPageLink");
    m_link->setTextFormat(Qt::RichText);
    m_link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    m_link->setOpenExternalLinks(false);
    m_link->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                         .arg(QString::fromLatin1(ABOUT_PRODUCT_PAGE_URL), QString::fromLatin1(ABOUT_WEB_SITE_TEXT)));
    m_link->setToolTip(QString::fromLatin1(ABOUT_ICON_SET_TEXT));
    connect(m_link, &QLabel::linkActivated, this, [](const QString& url) { ShellOpen::OpenUrl(url); });

    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setObjectName(QStringLiteral("okButton"));
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
    m_product->setText(QStringLiteral("%1 %2, Version %3")
                           .arg(QString::fromLatin1(version::kCompany), QString::fromLatin1(version::kDescription),
                                QString::fromLatin1(version::kNumber)));
    m_copyright->setText(QString::fromLatin1(version::kCopyright));
}
