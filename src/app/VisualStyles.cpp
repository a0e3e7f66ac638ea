#include "VisualStyles.h"

namespace {

// The colours one look is made of; the sheet is the same for all four.
struct Palette {
    const char* frame;         // window background behind the ribbon and the status bar
    const char* ribbonTop;     // ribbon gradient
    const char* ribbonBottom;
    const char* panelBorder;
    const char* caption;       // panel captions and tab texts
    const char* text;          // element texts
    const char* hoverTop;      // hovered and checked elements (the Office orange)
    const char* hoverBottom;
    const char* checked;
    const char* statusTop;
    const char* statusBottom;
    const char* statusText;
    const char* tipBackground;
};

constexpr Palette kBlue = {"#bfdbff", "#e3efff", "#c7dcf5", "#8db2e3", "#15428b", "#15428b",
                           "#fff5cc", "#ffd86b", "#ffbd69", "#c7dcf5", "#a5c5ee", "#15428b", "#e9f1fc"};
constexpr Palette kBlack = {"#535353", "#e8e8e8", "#c5c5c5", "#9a9a9a", "#464646", "#202020",
                            "#fff5cc", "#ffd86b", "#ffbd69", "#6b6b6b", "#3d3d3d", "#f0f0f0", "#f2f2f2"};
constexpr Palette kSilver = {"#d0d4dd", "#f4f5f7", "#dde1e8", "#a8aeb9", "#4c535c", "#2c2f33",
                             "#fff5cc", "#ffd86b", "#ffbd69", "#e0e3e9", "#c1c6cf", "#3c4047", "#f6f7f9"};
constexpr Palette kAqua = {"#c3d1e0", "#edf3f8", "#cbd8e6", "#93acc8", "#2e4a6b", "#1f3550",
                           "#e5f4fb", "#9fd7f1", "#7cc6ea", "#d4e0ec", "#aec4da", "#1f3550", "#eef5fa"};

const Palette& PaletteOf(uint32_t id) {
    switch (id) {
        case cmd::ID_VIEW_APPLOOK_OFF_2007_BLUE: return kBlue;
        case cmd::ID_VIEW_APPLOOK_OFF_2007_SILVER: return kSilver;
        case cmd::ID_VIEW_APPLOOK_OFF_2007_AQUA: return kAqua;
        default: return kBlack;
    }
}

}  // namespace

QColor VisualStyleFrameColour(uint32_t id) {
    return QColor(QLatin1String(PaletteOf(id).frame));
}

QString VisualStyleSheet(uint32_t id) {
    const Palette& p = PaletteOf(id);
    QString sheet = QStringLiteral(R"(
#ribbonBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @frame, stop:1 @ribbonBottom); }
#ribbonTabRow { background: transparent; }
#ribbonTabs::tab { color: @tabText; background: transparent; padding: 3px 14px; margin-top: 4px;
  border: 1px solid transparent; border-bottom: none; border-top-left-radius: 3px; border-top-right-radius: 3px; }
#ribbonTabs::tab:selected { color: @caption; background: @ribbonTop; border-color: @panelBorder; }
#ribbonTabs::tab:hover:!selected { background: @hoverTop; color: @caption; }
#ribbonPages { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @ribbonTop, stop:1 @ribbonBottom);
  border: 1px solid @panelBorder; border-radius: 3px; }
#ribbonCategory { background: transparent; }
#ribbonPanel { background: transparent; border: 1px solid @panelBorder; border-radius: 3px; }
#ribbonPanelCaption { color: @caption; background: transparent; }
#ribbonPanel QLabel { color: @text; background: transparent; }
#ribbonPanel QCheckBox { color: @text; }
QToolButton#ribbonButton { color: @text; background: transparent; border: 1px solid transparent;
  border-radius: 3px; padding: 1px 3px; }
QToolButton#ribbonButton:hover { border-color: @checked;
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @hoverTop, stop:1 @hoverBottom); }
QToolButton#ribbonButton:checked, QToolButton#ribbonButton:pressed { border-color: @checked;
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @hoverBottom, stop:1 @checked); }
QToolButton#ribbonButton:disabled { color: #8d8d8d; }
QToolButton#ribbonButton::menu-indicator { subcontrol-position: bottom center; subcontrol-origin: padding; }
#ribbonTabRow QToolButton#ribbonButton { color: @tabText; padding-right: 12px; }
#ribbonTabRow QToolButton#ribbonButton::menu-indicator { subcontrol-position: right center; }
#ribbonTabRow QToolButton#ribbonButton:disabled { color: @disabledTabText; }
QToolButton#ribbonAppButton { border: none; background: transparent; }
QToolButton#ribbonAppButton::menu-indicator { image: none; width: 0px; }
QMenu { background: #fafafa; color: #202020; border: 1px solid @panelBorder; }
QMenu::item { padding: 4px 24px 4px 24px; }
QMenu::item:selected { color: #202020;
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @hoverTop, stop:1 @hoverBottom); }
QMenu::item:disabled { color: #9a9a9a; }
QMenu::separator { height: 1px; background: @panelBorder; margin: 3px 6px; }
QStatusBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @statusTop, stop:1 @statusBottom);
  color: @statusText; }
QStatusBar QLabel { color: @statusText; padding: 0px 4px; }
QStatusBar::item { border: none; border-left: 1px solid @panelBorder; }
QToolTip { background: @tipBackground; color: #202020; border: 1px solid @panelBorder; padding: 2px; }
)");
    const bool darkFrame = id == cmd::ID_VIEW_APPLOOK_OFF_2007_BLACK || !IsVisualStyle(id);
    const std::pair<const char*, const char*> fields[] = {
        {"@frame", p.frame},
        {"@ribbonTop", p.ribbonTop},
        {"@ribbonBottom", p.ribbonBottom},
        {"@panelBorder", p.panelBorder},
        {"@caption", p.caption},
        {"@text", p.text},
        {"@hoverTop", p.hoverTop},
        {"@hoverBottom", p.hoverBottom},
        {"@checked", p.checked},
        {"@statusTop", p.statusTop},
        {"@statusBottom", p.statusBottom},
        {"@statusText", p.statusText},
        {"@tipBackground", p.tipBackground},
        // The tab row sits on the frame colour: light texts on the dark frame.
        {"@tabText", darkFrame ? "#f0f0f0" : p.caption},
        {"@disabledTabText", darkFrame ? "#9a9a9a" : "#8d8d8d"},
    };
    // No name is the beginning of another, so plain replacing is safe.
    for (const auto& [name, value] : fields) sheet.replace(QLatin1String(name), QLatin1String(value));
    return sheet;
}
