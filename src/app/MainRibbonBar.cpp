#include "app/MainRibbonBar.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QPixmap>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>
#include <QVBoxLayout>

#include "commands/CommandIds.h"
#include "doc/CropBoxModel.h"
#include "app/IconAtlas.h"
#include "app/PrinterIcon.h"
#include "app/RibbonAtlas.h"
#include "app/RibbonKeyTips.h"
#include "app/RibbonLook.h"
#include "app/VisualStyles.h"

namespace {

MainRibbonBar* g_ribbon = nullptr;

constexpr int kCategoryHeight = 96;

}  // namespace

MainRibbonBar::MainRibbonBar(QWidget* parent) : QWidget(parent) {
    g_ribbon = this;
    setObjectName(QStringLiteral("ribbonBar"));
    RibbonLook::MarkChrome(this);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(2, 0, 2, 0);
    grid->setSpacing(0);

    m_tabRow = new QWidget(this);
    m_tabRow->setObjectName(QStringLiteral("ribbonTabRow"));
    auto* tabRowLayout = new QHBoxLayout(m_tabRow);
    tabRowLayout->setContentsMargins(4, 0, 4, 0);
    tabRowLayout->setSpacing(2);
    m_tabs = new QTabBar(m_tabRow);
    m_tabs->setObjectName(QStringLiteral("ribbonTabs"));
    m_tabs->setDrawBase(false);
    m_tabs->setExpanding(false);
    m_tabs->setFocusPolicy(Qt::NoFocus);
    m_tabs->setUsesScrollButtons(false);
    m_tabs->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    tabRowLayout->addWidget(m_tabs, 0, Qt::AlignBottom);
    tabRowLayout->addStretch(1);

    m_pages = new QStackedWidget(this);
    m_pages->setObjectName(QStringLiteral("ribbonPages"));
    m_pages->setFixedHeight(kCategoryHeight);

    grid->addWidget(m_tabRow, 0, 1);
    grid->addWidget(m_pages, 1, 0, 1, 2);
    grid->setColumnStretch(1, 1);

    connect(m_tabs, &QTabBar::currentChanged, m_pages, &QStackedWidget::setCurrentIndex);
    if (CommandRouter* router = CommandRouter::Instance()) {
        connect(router, &CommandRouter::updatePass, this, &MainRibbonBar::UpdateElements);
    }
    m_keyTips = new RibbonKeyTips(this);
}

MainRibbonBar::~MainRibbonBar() {
    for (RibbonMenuItem* item : m_appMenuItems) delete item;
    if (g_ribbon == this) g_ribbon = nullptr;
}

MainRibbonBar* MainRibbonBar::Instance() {
    return g_ribbon;
}

RibbonButton* MainRibbonBar::AddTabRowButton(uint32_t id, const QString& text, const QIcon& icon, int iconIndex) {
    auto* button = new RibbonButton(id, text, RibbonKind::TabRowButton, icon, iconIndex, m_tabRow);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_tabRow->layout()->addWidget(button);
    m_tabRowButtons.push_back(button);
    return button;
}

void MainRibbonBar::SetupApplicationMenu() {
    // 1. The tab row, right of the category tabs.
    AddTabRowButton(cmd::ID_WINDOW_MANAGER, QStringLiteral("Windows\nw"), QIcon(), -1);
    RibbonButton* style = AddTabRowButton(0, QStringLiteral("Style\ns"), QIcon(), -1);
    m_styleMenu = new CommandMenu(style);
    for (const VisualStyle& visual : kVisualStyles) {
        m_styleMenu->AddCommand(visual.id, QString::fromLatin1(visual.menuText));
    }
    style->SetDropDownMenu(m_styleMenu);
    AddTabRowButton(cmd::ID_APP_ABOUT, QStringLiteral("About\na"),
                    AtlasIcon(ATLAS_TAB_ICON_Y, ATLAS_TAB_ICON_X, ATLAS_TAB_ICON_SIZE), 0);

    // 2. The application button, 45 x 45, top left.
    m_appButton = new RibbonButton(0, QStringLiteral("\nf"), RibbonKind::ApplicationButton,
                                   AtlasIcon(ATLAS_APP_BUTTON_Y, ATLAS_APP_BUTTON_X, ATLAS_APP_BUTTON_SIZE), -1, this);
    m_appButton->setObjectName(QStringLiteral("ribbonAppButton"));
    m_appButton->setToolTip(QStringLiteral("File"));
    m_appButton->setText(QString());
    m_appButton->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_appButton->setFixedSize(kAppButtonSize, kAppButtonSize);
    m_appButton->setIconSize(QSize(kAppButtonSize, kAppButtonSize));
    static_cast<QGridLayout*>(layout())->addWidget(m_appButton, 0, 0, Qt::AlignLeft | Qt::AlignTop);

    // 3. The application menu category "File", its icons cut from the atlas.
    m_appCategory = new RibbonCategory(this, QStringLiteral("File"), ATLAS_MENU_SMALL_Y, ATLAS_MENU_STRIP_WIDTH, ATLAS_MENU_LARGE_Y,
                                    ATLAS_MENU_STRIP_WIDTH);
    m_appCategory->hide();
    m_appMenu = new CommandMenu(m_appButton);
    m_appMenu->setObjectName(QStringLiteral("ribbonAppMenu"));
    m_appMenu->setToolTipsVisible(true);
    const auto addItem = [this](uint32_t id, const QString& text, const QIcon& icon, int iconIndex) {
        QAction* action = m_appMenu->AddCommand(id, text, icon);
        action->setToolTip(RibbonTooltip(id));
        m_appMenuItems.push_back(new RibbonMenuItem(id, text, iconIndex, action));
    };
    // 4. The main panel "File": Save and Save As (large icons 1 and 2).
    addItem(cmd::ID_FILE_SAVE, QStringLiteral("&Save"), m_appCategory->LargeIcon(1), 1);
    addItem(cmd::ID_FILE_SAVE_AS, QStringLiteral("Save &As..."), m_appCategory->LargeIcon(2), 2);
    // 5. The bottom row: Exit (small icon 3).
    m_appMenu->addSeparator();
    addItem(cmd::ID_APP_EXIT, QStringLiteral("E&xit"), m_appCategory->SmallIcon(3), 3);
    m_appButton->SetDropDownMenu(m_appMenu);
}

CommandMenu* MainRibbonBar::MakeCropboxMenu() {
    auto* menu = new CommandMenu(this);
    for (uint32_t id : cropbox::kPresetMenuOrder) {
        const cropbox::PrintSizePreset* preset = cropbox::FindPreset(id);
        menu->AddCommand(id, preset != nullptr ? QString::fromLatin1(preset->menuLabel) : QString::number(id));
    }
    return menu;
}

CommandMenu* MainRibbonBar::MakeBorderMenu() {
    auto* menu = new CommandMenu(this);
    for (uint32_t id = cmd::ID_BORDER_NONE; id <= cmd::ID_BORDER_LAST; ++id) {
        menu->AddCommand(id, QString::fromStdString(cropbox::BorderLabel(id)));
    }
    return menu;
}

QStringList MainRibbonBar::CropboxButtonTexts() {
    QStringList texts{QStringLiteral("Free")};
    for (uint32_t id : cropbox::kPresetMenuOrder) {
        if (const cropbox::PrintSizePreset* preset = cropbox::FindPreset(id)) texts << QString::fromLatin1(preset->name);
    }
    return texts;
}

QStringList MainRibbonBar::BorderButtonTexts() {
    QStringList texts;
    for (uint32_t id = cmd::ID_BORDER_NONE; id <= cmd::ID_BORDER_LAST; ++id) {
        texts << QString::fromStdString(cropbox::BorderLabel(id));
    }
    return texts;
}

void MainRibbonBar::SetupHomeCategory() {
    auto* home = new RibbonCategory(this, QStringLiteral("&Home"), ATLAS_HOME_SMALL_Y, ATLAS_FULL_STRIP_WIDTH, ATLAS_HOME_LARGE_Y,
                                 ATLAS_FULL_STRIP_WIDTH);
    AddCategory(home);
    const auto large = [home](RibbonPanel* panel, uint32_t id, const char* text, int icon) {
        panel->AddLargeButton(id, QString::fromLatin1(text), home->LargeIcon(icon), icon);
    };
    const auto small = [home](RibbonPanel* panel, uint32_t id, const char* text, int icon) {
        panel->AddSmallButton(id, QString::fromLatin1(text), home->SmallIcon(icon), icon);
    };

    RibbonPanel* pictures = home->AddPanel(QStringLiteral("Pictures"));
    large(pictures, cmd::ID_FILE_SAVE, "&Save", 1);
    large(pictures, cmd::ID_FILE_SAVE_AS, "Save &As", 2);
    large(pictures, cmd::ID_DELETE, "Delete", 7);
    // The atlas has no cells for these two: the icon theme's, or the style's arrows.
    pictures->AddSmallButton(cmd::ID_EDIT_UNDO, QStringLiteral("&Undo"),
                             QIcon::fromTheme(QStringLiteral("edit-undo"), style()->standardIcon(QStyle::SP_ArrowBack)), -1);
    pictures->AddSmallButton(cmd::ID_EDIT_REDO, QStringLiteral("&Redo"),
                             QIcon::fromTheme(QStringLiteral("edit-redo"), style()->standardIcon(QStyle::SP_ArrowForward)), -1);

    RibbonPanel* cutter = home->AddPanel(QStringLiteral("Cutter"));
    // The two drop-downs show the chosen preset and border; each keeps the width of its
    // widest text.
    cutter->AddMenuButton(cmd::ID_CROPBOX, QStringLiteral("Cropbox"), home->LargeIcon(4), 4, MakeCropboxMenu())
        ->KeepWidthFor(CropboxButtonTexts());
    cutter->AddMenuButton(cmd::ID_BORDER, QStringLiteral("Border"), home->LargeIcon(5), 5, MakeBorderMenu())
        ->KeepWidthFor(BorderButtonTexts());
    large(cutter, cmd::ID_ROTATE_CROPBOX, "Rotate", 9);
    small(cutter, cmd::ID_SHAPE_RECTANGLE, "Rectangle", 3);
    small(cutter, cmd::ID_SHAPE_ROUND_CORNER, "Round Corner", 4);
    small(cutter, cmd::ID_SHAPE_OVAL, "Oval", 5);
    cutter->AddCheckBox(cmd::ID_SNAP_TO_BLOCKS, QStringLiteral("Lossless"));
    large(cutter, cmd::ID_CUT, "Cut", 3);
    cutter->AddSeparator();
    large(cutter, cmd::ID_EXT_CUTTER, "Ext. Cutter", 10);

    RibbonPanel* rotate = home->AddPanel(QStringLiteral("Rotate"));
    large(rotate, cmd::ID_ROTATE_LEFT, "Rotate Left", 8);
    large(rotate, cmd::ID_ROTATE_RIGHT, "Rotate Right", 6);
    small(rotate, cmd::ID_MIRROR, "Mirror", 6);
    small(rotate, cmd::ID_FLIP, "Flip", 7);
    // The line tool has no cell in the atlas.
    rotate->AddSmallButton(cmd::ID_STRAIGHTEN_BY_LINE, QStringLiteral("Horizon"),
                           QIcon::fromTheme(QStringLiteral("draw-line"), style()->standardIcon(QStyle::SP_ArrowRight)), -1);

    RibbonPanel* light = home->AddPanel(QStringLiteral("Light"));
    light->AddLabelledSlider(QStringLiteral("Contrast   :"), cmd::ID_CONTRAST, QString());
    light->AddLabelledSlider(QStringLiteral("Brightness:"), cmd::ID_BRIGHTNESS, QStringLiteral("Brightness"));
    // The straighten turn, shown like the light values until a cut takes it in: tenths of a
    // degree either way.
    light->AddLabelledSlider(QStringLiteral("Straighten:"), cmd::ID_STRAIGHTEN, QStringLiteral("Straighten"),
                             RibbonSliderScale{-450, 450, 0, 1, 1, QStringLiteral("\u00b0")});

    RibbonPanel* color = home->AddPanel(QStringLiteral("Color"));
    small(color, cmd::ID_COOL_TONE, "Cool Tone", 8);
    small(color, cmd::ID_WARM_TONE, "Warm Tone", 9);
    small(color, cmd::ID_SEPIA, "Sepia", 10);

    // The print order's commands have no cells in the atlas: the icon theme's, or the style's.
    RibbonPanel* order = home->AddPanel(QStringLiteral("Print Order"));
    // Small buttons, three to a column, so that the panel stays narrow.
    order->AddSmallButton(cmd::ID_APPLY_TO_SELECTED, QStringLiteral("Apply to Selected"),
                          QIcon::fromTheme(QStringLiteral("edit-select-all"), style()->standardIcon(QStyle::SP_DialogApplyButton)), -1);
    order->AddSmallButton(cmd::ID_EXPORT_ORDER, QStringLiteral("Export Order"),
                          QIcon::fromTheme(QStringLiteral("document-export"), style()->standardIcon(QStyle::SP_DialogSaveButton)), -1);
    order->AddSmallButton(cmd::ID_PRINT_SHEETS, QStringLiteral("Print Sheets"),
                          QIcon::fromTheme(QStringLiteral("document-print-preview"), PrinterIcon()), -1);
    order->AddSmallButton(cmd::ID_CONTACT_SHEET, QStringLiteral("Contact Sheet"),
                          QIcon::fromTheme(QStringLiteral("view-grid"), style()->standardIcon(QStyle::SP_FileDialogContentsView)), -1);

    // Print has no cell in the atlas.
    RibbonPanel* print = home->AddPanel(QStringLiteral("Print"));
    print->AddLargeButton(cmd::ID_FILE_PRINT, QStringLiteral("Print"), PrinterIcon(), -1);
}

void MainRibbonBar::SetupOptionsCategory() {
    auto* options = new RibbonCategory(this, QStringLiteral("&Options"), ATLAS_OPTIONS_SMALL_Y, ATLAS_FULL_STRIP_WIDTH,
                                    ATLAS_OPTIONS_LARGE_Y, ATLAS_FULL_STRIP_WIDTH);
    AddCategory(options);

    RibbonPanel* file = options->AddPanel(QStringLiteral("File"));
    file->AddCheckBox(cmd::ID_CONFIRM_OVERWRITE, QStringLiteral("Confirm overwrite"));
    file->AddCheckBox(cmd::ID_CONFIRM_DELETE, QStringLiteral("Confirm delete"));
    file->AddCheckBox(cmd::ID_ASK_SAVE_CHANGES, QStringLiteral("Ask to save changes"));

    RibbonPanel* image = options->AddPanel(QStringLiteral("Image"));
    image->AddEdit(cmd::ID_JPEG_QUALITY, QStringLiteral("JPEG Quality:"));

    RibbonPanel* cropBox = options->AddPanel(QStringLiteral("Crop Box"));
    cropBox->AddCheckBox(cmd::ID_HIDE_CROPBOX, QStringLiteral("Hide Cropbox"));
    cropBox->AddCheckBox(cmd::ID_AUTO_SHOW_CROPBOX, QStringLiteral("Auto Show"));
    cropBox->AddCheckBox(cmd::ID_KEEP_BOXES, QStringLiteral("Keep boxes in sidecars"));

    RibbonPanel* customization = options->AddPanel(QStringLiteral("Customization"));
    customization->AddLargeButton(cmd::ID_CUSTOMIZATION, QStringLiteral("Order"), options->LargeIcon(0), 0);
}

void MainRibbonBar::AddCategory(RibbonCategory* category) {
    m_categories.push_back(category);
    m_pages->addWidget(category);
    // The tab shows the name without its '&'; the key tip comes from it.
    m_tabs->addTab(QString(category->Name()).remove(QLatin1Char('&')));
    // The first category appended becomes the active one.
    if (m_categories.size() == 1) SetActiveCategory(category);
}

RibbonCategory* MainRibbonBar::ActiveCategory() const {
    const int index = m_tabs->currentIndex();
    return index >= 0 && size_t(index) < m_categories.size() ? m_categories[size_t(index)] : nullptr;
}

void MainRibbonBar::SetActiveCategory(RibbonCategory* category) {
    for (size_t i = 0; i < m_categories.size(); ++i) {
        if (m_categories[i] == category) m_tabs->setCurrentIndex(int(i));
    }
}

std::vector<RibbonElement*> MainRibbonBar::AllElements() const {
    std::vector<RibbonElement*> all(m_tabRowButtons.begin(), m_tabRowButtons.end());
    all.insert(all.end(), m_appMenuItems.begin(), m_appMenuItems.end());
    for (const RibbonCategory* category : m_categories) {
        for (const RibbonPanel* panel : category->Panels()) {
            all.insert(all.end(), panel->Elements().begin(), panel->Elements().end());
        }
    }
    return all;
}

RibbonElement* MainRibbonBar::FindElementById(uint32_t id) const {
    for (RibbonElement* element : AllElements()) {
        if (element->Id() == id) return element;
    }
    return nullptr;
}

void MainRibbonBar::ApplyLook(const LookColours& look) {
    QPalette colours = palette();
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
        colours.setColor(QPalette::Active, role, look.text);
        colours.setColor(QPalette::Inactive, role, look.text);
        colours.setColor(QPalette::Disabled, role, look.disabledText);
    }
    setPalette(colours);
    // The tab row stands on the frame colour.
    QPalette tabRow = colours;
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText}) {
        tabRow.setColor(QPalette::Active, role, look.tabText);
        tabRow.setColor(QPalette::Inactive, role, look.tabText);
        tabRow.setColor(QPalette::Disabled, role, look.disabledTabText);
    }
    m_tabRow->setPalette(tabRow);
    update();
}

void MainRibbonBar::paintEvent(QPaintEvent* event) {
    (void)event;
    const LookColours& look = CurrentLookColours();
    QPainter painter(this);
    PaintVerticalGradient(&painter, rect(), look.frame, look.ribbonBottom);
    // The page of the active category.
    PaintGradientBox(&painter, m_pages->geometry(), look.ribbonTop, look.ribbonBottom, look.panelBorder, 3);
}

void MainRibbonBar::UpdateElements() {
    const CommandRouter* router = CommandRouter::Instance();
    if (router == nullptr) return;
    for (RibbonElement* element : AllElements()) {
        if (element->Id() == 0) continue;  // labels, separators, the "Style" button
        element->ApplyUpdate(router->QueryUpdate(element->Id()));
    }
}
