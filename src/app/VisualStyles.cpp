#include "app/VisualStyles.h"

namespace {

// The colours of one look as written in its sheet.
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

LookColours VisualStyleColours(uint32_t id) {
    const Palette& p = PaletteOf(id);
    // The tab row sits on the frame colour: light texts on the dark frame.
    const bool darkFrame = id == cmd::ID_VIEW_APPLOOK_OFF_2007_BLACK || !IsVisualStyle(id);
    const auto colour = [](const char* name) { return QColor(QLatin1String(name)); };
    LookColours look;
    look.frame = colour(p.frame);
    look.ribbonTop = colour(p.ribbonTop);
    look.ribbonBottom = colour(p.ribbonBottom);
    look.panelBorder = colour(p.panelBorder);
    look.caption = colour(p.caption);
    look.text = colour(p.text);
    look.disabledText = colour("#8d8d8d");
    look.tabText = darkFrame ? colour("#f0f0f0") : look.caption;
    look.disabledTabText = darkFrame ? colour("#9a9a9a") : look.disabledText;
    look.hoverTop = colour(p.hoverTop);
    look.hoverBottom = colour(p.hoverBottom);
    look.checked = colour(p.checked);
    look.statusTop = colour(p.statusTop);
    look.statusBottom = colour(p.statusBottom);
    look.statusText = colour(p.statusText);
    look.menuBackground = colour("#fafafa");
    look.menuText = colour("#202020");
    look.menuDisabledText = colour("#9a9a9a");
    look.tipBackground = colour(p.tipBackground);
    return look;
}

QColor VisualStyleFrameColour(uint32_t id) {
    return QColor(QLatin1String(PaletteOf(id).frame));
}

namespace {
uint32_t g_currentStyle = cmd::ID_VIEW_APPLOOK_OFF_2007_BLACK;
LookColours& CurrentColoursStore() {
    static LookColours colours = VisualStyleColours(cmd::ID_VIEW_APPLOOK_OFF_2007_BLACK);
    return colours;
}
}  // namespace

void SetCurrentVisualStyle(uint32_t id) {
    g_currentStyle = IsVisualStyle(id) ? id : uint32_t(cmd::ID_VIEW_APPLOOK_OFF_2007_BLACK);
    CurrentColoursStore() = VisualStyleColours(g_currentStyle);
}

uint32_t CurrentVisualStyle() {
    return g_currentStyle;
}

const LookColours& CurrentLookColours() {
    return CurrentColoursStore();
}
