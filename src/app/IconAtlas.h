// The interface image atlas: one embedded 480 x 240 RGBA picture from which every ribbon
// icon and the About box icon are cut.
#pragma once

#include <QImage>

constexpr int ATLAS_WIDTH = 480;
constexpr int ATLAS_HEIGHT = 240;
// Qt resource path of the embedded atlas picture.
inline constexpr char ATLAS_RESOURCE_PATH[] = ":/res/atlas.png";

// Atlas cells outside the ribbon categories' strips.
constexpr int ATLAS_TAB_ICON_X = 0;
constexpr int ATLAS_TAB_ICON_Y = 0;
constexpr int ATLAS_TAB_ICON_SIZE = 16;
constexpr int ATLAS_APP_BUTTON_X = 64;
constexpr int ATLAS_APP_BUTTON_Y = 0;
constexpr int ATLAS_APP_BUTTON_SIZE = 45;
constexpr int ATLAS_ABOUT_ICON_X = 158;
constexpr int ATLAS_ABOUT_ICON_Y = 0;
constexpr int ATLAS_ABOUT_ICON_SIZE = 48;

// Rows of the category icon strips (small strips 16 high, large ones 32).
constexpr int ATLAS_SMALL_ICON_SIZE = 16;
constexpr int ATLAS_LARGE_ICON_SIZE = 32;
constexpr int ATLAS_MENU_SMALL_Y = 48;
constexpr int ATLAS_MENU_LARGE_Y = 64;
constexpr int ATLAS_MENU_STRIP_WIDTH = 320;
constexpr int ATLAS_HOME_SMALL_Y = 96;
constexpr int ATLAS_HOME_LARGE_Y = 112;
constexpr int ATLAS_OPTIONS_SMALL_Y = 144;
constexpr int ATLAS_OPTIONS_LARGE_Y = 160;
constexpr int ATLAS_FULL_STRIP_WIDTH = 480;

// Reads the embedded atlas picture into atlas. False (atlas left null) when the resource is
// missing or does not decode.
bool LoadAtlas(QImage& atlas);

// The process-wide atlas the icon users reach; set by the application object when it is
// constructed, null before.
void SetInterfaceAtlas(const QImage* atlas);
const QImage* InterfaceAtlas();

// Cuts the width x height area at (x, y) (y = 0 at the top row) out of atlas, its colours
// premultiplied by alpha so that Qt paints the icon without converting it each time. Null
// when the atlas is null or the area does not lie wholly inside it.
QImage ExtractIconStrip(const QImage& atlas, int y, int x, int width, int height);
