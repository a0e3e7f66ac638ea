// The four visual styles of the program (ids 215..218, the items of the "Style" menu) and the
// style sheet of each: an Office 2007 blue, black, silver and aqua look for the frame, the
// ribbon, the menus, the status bar and the tooltips.
#pragma once

#include <QColor>
#include <QString>

#include <cstdint>

#include "CommandIds.h"

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

// The style sheet of a style id; the black one for an id that is not a style.
QString VisualStyleSheet(uint32_t id);

// The frame colour of a look (unknown ids: the black look's), for the parts drawn without the
// sheet, such as the splitter's bar.
QColor VisualStyleFrameColour(uint32_t id);
