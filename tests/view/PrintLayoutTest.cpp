// Where the picture lands on the paper for each kind of preset, orientation and page.
#include <gtest/gtest.h>

#include "commands/CommandIds.h"
#include "view/PrintLayout.h"

using namespace printlayout;

namespace {

constexpr Page kLetter{8.5, 11, 0, 0, 0, 0};
constexpr uint32_t kPreset7x5 = cmd::ID_PRESET_FIRST + 8;
constexpr uint32_t kPreset14x11 = cmd::ID_PRESET_LAST - 1;

struct Case {
    const char* what;
    uint32_t preset;
    int pictureWidth;
    int pictureHeight;
    Page page;
    Placement expected;  // left, top, width, height, dpi, shrunk, low resolution
};

const Case kCases[] = {
    {"6x4 landscape centred on the paper", cmd::ID_PRESET_6X4, 1200, 800, kLetter,
     {1.25, 3.5, 6, 4, 200, false, false}},
    {"6x4 turned for a portrait picture", cmd::ID_PRESET_6X4, 800, 1200, kLetter, {2.25, 2.5, 4, 6, 200, false, false}},
    {"a square picture fits the landscape box", cmd::ID_PRESET_6X4, 1000, 1000, kLetter,
     {2.25, 3.5, 4, 4, 250, false, false}},
    {"a picture of another ratio keeps its own", cmd::ID_PRESET_6X4, 1500, 500, kLetter,
     {1.25, 4.5, 6, 2, 250, false, false}},
    {"7x5 at 100 dpi is too coarse", kPreset7x5, 700, 500, kLetter, {0.75, 3, 7, 5, 100, false, true}},
    {"just under the limit", cmd::ID_PRESET_6X4, 894, 596, kLetter, {1.25, 3.5, 6, 4, 149, false, true}},
    {"14x11 does not fit Letter and is shrunk into the printable area", kPreset14x11, 2800, 2200,
     {8.5, 11, 0.25, 0.25, 0.25, 0.25},
     {0.25, 0.25 + (10.5 - 8 * 2200.0 / 2800) / 2, 8, 8 * 2200.0 / 2800, 350, true, false}},
    {"centring never reaches into a wide left margin", cmd::ID_PRESET_6X4, 1200, 800, {8.5, 11, 2.5, 0, 0, 0},
     {2.5, 3.5, 6, 4, 200, false, false}},
    {"free fits the printable area", cmd::ID_PRESET_FREE, 600, 400, {8.5, 11, 0.5, 0.5, 0.5, 0.5},
     {0.5, 3, 7.5, 5, 80, false, true}},
    {"free centres in the printable area, not the paper", cmd::ID_PRESET_FREE, 750, 1000, {8.5, 11, 1, 0, 0, 0},
     {1, 0.5, 7.5, 10, 100, false, true}},
    {"free on landscape A4", cmd::ID_PRESET_FREE, 3000, 1500, {297 / 25.4, 210 / 25.4, 0, 0, 0, 0},
     {0, (210 / 25.4 - 297 / 25.4 / 2) / 2, 297 / 25.4, 297 / 25.4 / 2, 3000 / (297 / 25.4), false, false}},
    {"an empty picture is not placed", cmd::ID_PRESET_6X4, 0, 0, kLetter, {}},
    {"margins that leave no paper place nothing", cmd::ID_PRESET_FREE, 100, 100, {8.5, 11, 5, 0, 4, 0}, {}},
};

}  // namespace

TEST(PrintLayout, PlacesThePictureForEachPresetOrientationAndPage) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        const Placement p = PlacePicture(c.preset, c.pictureWidth, c.pictureHeight, c.page);
        EXPECT_NEAR(p.left, c.expected.left, 1e-9);
        EXPECT_NEAR(p.top, c.expected.top, 1e-9);
        EXPECT_NEAR(p.width, c.expected.width, 1e-9);
        EXPECT_NEAR(p.height, c.expected.height, 1e-9);
        EXPECT_NEAR(p.dpi, c.expected.dpi, 0.5);
        EXPECT_EQ(p.shrunkToPage, c.expected.shrunkToPage);
        EXPECT_EQ(p.lowResolution, c.expected.lowResolution);
    }
}

TEST(PrintLayout, PresetSizesTurnWithThePictureAndFreeHasNone) {
    const Inches landscape = PresetPrintSize(cmd::ID_PRESET_FIRST, 30, 20);  // 3.5x2.5, the long side first
    EXPECT_DOUBLE_EQ(landscape.width, 3.5);
    EXPECT_DOUBLE_EQ(landscape.height, 2.5);
    const Inches portrait = PresetPrintSize(cmd::ID_PRESET_FIRST, 20, 30);
    EXPECT_DOUBLE_EQ(portrait.width, 2.5);
    EXPECT_DOUBLE_EQ(portrait.height, 3.5);
    EXPECT_EQ(PresetPrintSize(cmd::ID_PRESET_FREE, 30, 20).width, 0);
    EXPECT_EQ(PresetPrintSize(12345, 30, 20).width, 0);
}

// A cut of the box prints at exactly the print size, even a pixel off its proportions.
TEST(PrintLayout, ABoxCutPrintsAtExactlyItsPrintSize) {
    const Placement landscape = PlaceBoxCut(cmd::ID_PRESET_6X4, 2399, 1600, kLetter);
    EXPECT_DOUBLE_EQ(landscape.width, 6);
    EXPECT_DOUBLE_EQ(landscape.height, 4);
    EXPECT_DOUBLE_EQ(landscape.left, 1.25);
    EXPECT_DOUBLE_EQ(landscape.top, 3.5);
    EXPECT_NEAR(landscape.dpi, 2399 / 6.0, 1e-9);
    const Placement portrait = PlaceBoxCut(cmd::ID_PRESET_6X4, 400, 601, kLetter);
    EXPECT_DOUBLE_EQ(portrait.width, 4);
    EXPECT_DOUBLE_EQ(portrait.height, 6);
    EXPECT_TRUE(portrait.lowResolution);
    EXPECT_EQ(PlaceBoxCut(cmd::ID_PRESET_FREE, 400, 600, kLetter).width, 0);
    EXPECT_TRUE(PlaceBoxCut(kPreset14x11, 1400, 1100, kLetter).shrunkToPage);
}

TEST(PrintLayout, WarningNamesThePrintItsDpiAndAShrunkPrint) {
    EXPECT_EQ(PlacementWarning(PlacePicture(cmd::ID_PRESET_6X4, 1200, 800, kLetter), "a.jpg"), "");
    const std::string coarse = PlacementWarning(PlacePicture(cmd::ID_PRESET_6X4, 894, 596, kLetter), "beach.jpg");
    EXPECT_NE(coarse.find("beach.jpg gives only 149 dpi at 6.00 x 4.00 in"), std::string::npos) << coarse;
    const std::string shrunk = PlacementWarning(PlacePicture(kPreset14x11, 1400, 1100, kLetter), "");
    EXPECT_NE(shrunk.find("larger than the page"), std::string::npos) << shrunk;
    EXPECT_NE(shrunk.find("8.50 x 6.68 in"), std::string::npos) << shrunk;
}
