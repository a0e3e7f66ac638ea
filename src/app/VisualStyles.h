// The four visual styles of the program (ids 215..218, the items of the "Style" menu) and the
// colour sheet of each: an Office 2007 blue, black, silver and aqua look for the frame, the
// ribbon, the menus, the status bar and the tooltips. RibbonLook paints the chrome with the
// sheet of the current style.
#pragma once

#include <QColor>
#include <QString>

#include <cstdint>

#include "commands/CommandIds.h"

struct VisualStyle {
    uint32_t id;
    const char* menuText;
};

inline constexpr VisualStyle kVisualStyles[] = {
    {cmd::ID_VIEW_APPLOOK_OFF_2007_BLUE, "Office 2007 (&Blue Style)"},
    {cmd::ID_VIEW_APPLOOK_OFF_2007_BLACK, "Office 2007 (B&lack Style)"},
    {cmd::ID_VIEW_APPLOOK_OFF_2007_SILVER, "Office 2007 (&Silver Style)"},
    {cmd::ID_VIEW_APPLOOK_OFF_2007_AQUA, "Office 2007 (&Aqua Style)"},
};

constexpr bool IsVisualStyle(uint32_t id) {
    return id >= cmd::ID_VIEW_APPLOOK_OFF_2007_BLUE && id <= cmd::ID_VIEW_APPLOOK_OFF_2007_AQUA;
}

// The colours one look is made of.
struct LookColours {
    QColor frame;         // window background behind the ribbon's tab row; the splitter's bar
    QColor ribbonTop;     // ribbon gradient, and the selected tab
    QColor ribbonBottom;
    QColor panelBorder;   // panel, page, menu and status item borders
    QColor caption;       // panel captions and the selected tab's text
    QColor text;          // element texts
    QColor disabledText;
    QColor tabText;       // tab texts and the tab-row buttons, on the frame colour
    QColor disabledTabText;
    QColor hoverTop;      // hovered and checked elements (the Office orange)
    QColor hoverBottom;
    QColor checked;
    QColor statusTop;
    QColor statusBottom;
    QColor statusText;
    QColor menuBackground;
    QColor menuText;
    QColor menuDisabledText;
    QColor tipBackground;

    bool operator==(const LookColours&) const = default;
};

// The colours of a style id; the black style's for an id that is not a style.
LookColours VisualStyleColours(uint32_t id);

// The frame colour of a look (unknown ids: the black look's).
QColor VisualStyleFrameColour(uint32_t id);

// The style the chrome is painted in now (the black one until a frame chooses).
void SetCurrentVisualStyle(uint32_t id);
uint32_t CurrentVisualStyle();
const LookColours& CurrentLookColours();
