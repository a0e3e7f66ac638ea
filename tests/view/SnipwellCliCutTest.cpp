// snipwell-cli's "cut" runs the real picture view in the program: these tests run the built tool
// on files and check its result against crops and cuts computed here from hand-worked boxes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "commands/CommandIds.h"
#include "doc/CropBoxModel.h"
#include "doc/CutOperation.h"
#include "image/RasterImage.h"
#include "CliRun.h"
#include "TestSupport.h"

namespace {

using testsupport::RunCli;
using testsupport::RunResult;
using testsupport::SamePixels;
using testsupport::TempDir;

constexpr uint32_t kWhite = 0xFFFFFF;
const std::string kRectangle = "rect";
const std::string kOval = "oval";
const std::string kFree = "free";
const std::string kSixByFour = "6x4";
const std::string kNoBorder = "none";
const std::string kTenPercent = "10%";

RasterImage LoadOrFail(const std::filesystem::path& path) {
    RasterImage image;
    EXPECT_TRUE(image.Load(path.c_str(), RasterImage::TypeFromExtension(path.c_str())))
        << path << ": " << image.LastErrorText();
    return image;
}

RasterImage CropOf(const RasterImage& picture, RasterRect rect) {
    RasterImage crop;
    EXPECT_TRUE(RasterImage(picture).Crop(rect, &crop));
    return crop;
}

std::filesystem::path SavedPattern(const TempDir& dir, const std::string& name, uint32_t width, uint32_t height) {
    const std::filesystem::path path = dir / name;
    RasterImage picture = testsupport::MakePatternImage(width, height);
    EXPECT_TRUE(picture.Save(path.c_str(), RasterImage::TypeFromExtension(path.c_str()))) << picture.LastErrorText();
    return path;
}

std::filesystem::path CorpusPhoto(const std::string& kind, int orientation) {
    return testsupport::CorpusDir() / "exif-orientation" / (kind + "_" + std::to_string(orientation) + ".jpg");
}

std::vector<std::string> CutCommand(const std::filesystem::path& in, const std::filesystem::path& out,
                                    const std::vector<std::string>& cutArgs) {
    std::vector<std::string> args = {in.string(), out.string(), "cut"};
    args.insert(args.end(), cutArgs.begin(), cutArgs.end());
    return args;
}

TEST(SnipwellCliCut, RectangleWithoutBorderIsTheCropUnderTheBox) {
    TempDir dir;
    // Shown at full size in an 800 x 600 client, centred at (200, 150).
    const auto small = SavedPattern(dir, "small.png", 400, 300);
    RunResult r = RunCli(
        dir, CutCommand(small, dir / "a.png", {"800", "600", kRectangle, kFree, kNoBorder, "0", "250", "170", "450", "370"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(SamePixels(LoadOrFail(dir / "a.png"), CropOf(LoadOrFail(small), {50, 20, 250, 220})));

    // 1600 x 1200 fitted into 640 x 480 at (80, 60): scale 2.5, so left = 450 - 200, top =
    // 400 - 150, right = 1250 - 200, bottom = 1000 - 150. Compared with the tool's own crop,
    // and the operations after cut work on the cut picture.
    const auto large = SavedPattern(dir, "large.bmp", 1600, 1200);
    r = RunCli(dir, CutCommand(large, dir / "b.bmp",
                                      {"800", "600", kRectangle, kFree, kNoBorder, "0", "180", "160", "500", "400",
                                       "rotate-right"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = RunCli(dir, {large.string(), (dir / "expected.bmp").string(), "crop", "250", "250", "1050", "850",
                            "rotate-right"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const RasterImage cut = LoadOrFail(dir / "b.bmp");
    EXPECT_EQ(cut.GetWidth(), 600u);
    EXPECT_EQ(cut.GetHeight(), 800u);
    EXPECT_TRUE(SamePixels(cut, LoadOrFail(dir / "expected.bmp")));
}

TEST(SnipwellCliCut, DefaultPlacementKeepsThePresetRatioCentredOnThePicture) {
    TempDir dir;
    // 1200 x 600 in a 1000 x 800 client: view copy 800 x 400 at (100, 200). 6x4 (1.5) is
    // narrower than the picture, so the box keeps the full height: 600 wide, from x = 200.
    // Scale 1.5 maps it to picture columns 150..1050, all rows.
    const auto in = SavedPattern(dir, "wide.png", 1200, 600);
    const RasterImage expected = CropOf(LoadOrFail(in), {150, 0, 1050, 600});
    // The rotation flag is matched to the landscape picture, so a rotated box is turned back.
    for (const std::string rotated : {"0", "1"}) {
        const RunResult r =
            RunCli(dir, CutCommand(in, dir / "out.png", {"1000", "800", kRectangle, kSixByFour, kNoBorder, rotated}));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(SamePixels(LoadOrFail(dir / "out.png"), expected)) << "rotated " << rotated;
    }

    // "Free" keeps the whole shown picture.
    const RunResult r =
        RunCli(dir, CutCommand(in, dir / "free.png", {"1000", "800", kRectangle, kFree, kNoBorder, "0"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(SamePixels(LoadOrFail(dir / "free.png"), LoadOrFail(in)));
}

TEST(SnipwellCliCut, ShapeAndBorderReachTheCut) {
    TempDir dir;
    const auto in = SavedPattern(dir, "wide.png", 1200, 600);
    const RunResult r =
        RunCli(dir, CutCommand(in, dir / "oval.png", {"1000", "800", kOval, kSixByFour, kTenPercent, "0"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const RasterImage result = LoadOrFail(dir / "oval.png");

    // The same default box (see above) cut in process as an oval with a 10% border.
    const CutRequest request{1000, 800, 800, 400, {200, 200, 800, 600}, cropbox::kShapeOval, 0.10};
    RasterImage expected;
    ASSERT_TRUE(CutPicture(LoadOrFail(in), request, expected));
    EXPECT_TRUE(SamePixels(result, expected));
    // Inset rounded(0.10 x 750) = 75: the frame and the corners are white, the centre is kept.
    EXPECT_EQ(testsupport::PictureColor(result, 74, 300), kWhite);
    EXPECT_EQ(testsupport::PictureColor(result, 100, 100), kWhite);
    EXPECT_EQ(testsupport::PictureColor(result, 450, 300), testsupport::PictureColor(LoadOrFail(in), 600, 300));
}

TEST(SnipwellCliCut, NamesAndTheOldNumbersGiveTheSameCut) {
    TempDir dir;
    const auto in = SavedPattern(dir, "wide.png", 1200, 600);
    const struct {
        std::vector<std::string> names;
        std::vector<uint32_t> numbers;
    } cases[] = {
        {{"round", "3.5x2.5", "1%"}, {cropbox::kShapeRoundCorner, cmd::ID_PRESET_FIRST, cmd::ID_BORDER_NONE + 1}},
        {{"oval", "14X11", "25%"}, {cropbox::kShapeOval, cmd::ID_PRESET_LAST - 1, cmd::ID_BORDER_LAST}},
        {{"rect", "Free", "5%"}, {cropbox::kShapeRectangle, cmd::ID_PRESET_FREE, cmd::ID_BORDER_5}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> byName = {"1000", "800"};
        std::vector<std::string> byNumber = byName;
        for (size_t i = 0; i < c.names.size(); ++i) {
            byName.push_back(c.names[i]);
            byNumber.push_back(std::to_string(c.numbers[i]));
        }
        byName.push_back("0");
        byNumber.push_back("0");
        RunResult r = RunCli(dir, CutCommand(in, dir / "name.png", byName));
        ASSERT_EQ(r.exitCode, 0) << c.names[0] << ": " << r.err;
        r = RunCli(dir, CutCommand(in, dir / "number.png", byNumber));
        ASSERT_EQ(r.exitCode, 0) << c.names[0] << ": " << r.err;
        EXPECT_TRUE(SamePixels(LoadOrFail(dir / "name.png"), LoadOrFail(dir / "number.png"))) << c.names[0];
    }
}

TEST(SnipwellCliCut, ExifTurnedPhotosAreCutUpright) {
    TempDir dir;
    // 1800 x 1200 upright: shown at full size in a 2250 x 1500 client, at (225, 150).
    const std::vector<std::string> leftHalf = {"2250", "1500", kRectangle, kFree, kNoBorder, "0",
                                               "225", "150", "1125", "1350"};
    RunResult r = RunCli(dir, CutCommand(CorpusPhoto("Landscape", 1), dir / "upright.bmp", leftHalf));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const RasterImage upright = LoadOrFail(dir / "upright.bmp");
    EXPECT_EQ(upright.GetWidth(), 900u);
    EXPECT_EQ(upright.GetHeight(), 1200u);
    // Stored on its side (1200 x 1800) with orientation 6 and 8, mirrored with 2.
    for (int orientation : {6, 8, 2}) {
        r = RunCli(dir, CutCommand(CorpusPhoto("Landscape", orientation), dir / "turned.bmp", leftHalf));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const RasterImage turned = LoadOrFail(dir / "turned.bmp");
        ASSERT_EQ(turned.GetWidth(), upright.GetWidth()) << orientation;
        ASSERT_EQ(turned.GetHeight(), upright.GetHeight()) << orientation;
        // Each file was compressed on its own after the turn: they agree only coarsely (a
        // picture left on its side or mirrored scores far lower).
        EXPECT_GE(testsupport::Psnr(turned, upright), 28.0) << orientation;
    }

    // A portrait photo turns the 6x4 box upright too: the cut is higher than wide.
    for (const std::string rotated : {"0", "1"}) {
        r = RunCli(dir, CutCommand(CorpusPhoto("Portrait", 6), dir / "portrait.bmp",
                                          {"1000", "1000", kRectangle, kSixByFour, kNoBorder, rotated}));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const RasterImage portrait = LoadOrFail(dir / "portrait.bmp");
        EXPECT_LT(portrait.GetWidth(), portrait.GetHeight()) << "rotated " << rotated;
    }
}

TEST(SnipwellCliCut, BadArgumentsAreRefusedBeforeAnythingIsWritten) {
    TempDir dir;
    const auto in = SavedPattern(dir, "in.png", 400, 300);
    const std::filesystem::path out = dir / "out.png";
    const std::vector<std::vector<std::string>> cases = {
        {"800", "600", kRectangle, kFree, kNoBorder},                             // ROTATED missing
        {"800", "600", kRectangle, kFree, kNoBorder, "0", "10", "10"},            // half a box
        {"800", "600", kRectangle, kFree, kNoBorder, "0", "10", "10", "200", "x"},
        {"0", "600", kRectangle, kFree, kNoBorder, "0"},                          // no client
        {"800", "600", "4", kFree, kNoBorder, "0"},                               // shapes are 1..3
        {"800", "600", std::to_string(cmd::ID_SHAPE_OVAL), kFree, kNoBorder, "0"},
        {"800", "600", kRectangle, std::to_string(cmd::ID_PRESET_LAST + 1), kNoBorder, "0"},
        {"800", "600", kRectangle, std::to_string(cmd::ID_PRESET_FIRST - 1), kNoBorder, "0"},
        {"800", "600", kRectangle, kFree, std::to_string(cmd::ID_BORDER_NONE - 1), "0"},
        {"800", "600", kRectangle, kFree, std::to_string(cmd::ID_BORDER_LAST + 1), "0"},
        {"800", "600", kRectangle, kFree, kNoBorder, "2"},
        {"800", "600", "square", kFree, kNoBorder, "0"},
        {"800", "600", kRectangle, "6x5", kNoBorder, "0"},
        {"800", "600", kRectangle, kFree, "0%", "0"},
        {"800", "600", kRectangle, kFree, "26%", "0"},
        {"800", "600", kRectangle, kFree, "5", "0"},
        {"800", "600", kRectangle, kFree, "%", "0"},
        {"800", "600", kRectangle, kFree, kNoBorder, "0", "700", "100", "801", "300"},  // beyond the client
        {"800", "600", kRectangle, kFree, kNoBorder, "0", "-1", "100", "200", "300"},
        {"800", "600", kRectangle, kFree, kNoBorder, "0", "100", "100", "163", "300"},  // under 64 wide
        {"800", "600", kRectangle, kFree, kNoBorder, "0", "100", "100", "100", "300"},
        {"800", "600", kRectangle, kFree, kNoBorder, "0", "mirror", "cut"},               // cut not first
    };
    std::vector<std::vector<std::string>> commands;
    for (const auto& cutArgs : cases) commands.push_back(CutCommand(in, out, cutArgs));
    // Reading IN the program's way leaves no room for a forced input type.
    commands.push_back({"--in-type", "4", in.string(), out.string(), "cut", "800", "600", kRectangle, kFree,
                        kNoBorder, "0"});
    commands.push_back({in.string(), out.string(), "mirror", "cut", "800", "600", kRectangle, kFree, kNoBorder, "0"});
    // A missing input is named as such; the view's own message comes through for junk.
    commands.push_back(CutCommand(dir / "missing.png", out, {"800", "600", kRectangle, kFree, kNoBorder, "0"}));
    testsupport::WriteFileBytes(dir / "junk.png", std::vector<uint8_t>(300, 0x5A));
    commands.push_back(CutCommand(dir / "junk.png", out, {"800", "600", kRectangle, kFree, kNoBorder, "0"}));
    // A client so small that the default box is under 64 pixels: the view refuses to cut.
    commands.push_back(CutCommand(in, out, {"60", "60", kRectangle, kFree, kNoBorder, "0"}));

    for (const std::vector<std::string>& args : commands) {
        std::string shown;
        for (const std::string& a : args) shown += "[" + a + "] ";
        const RunResult r = RunCli(dir, args);
        EXPECT_EQ(r.exitCode, 1) << shown;
        EXPECT_EQ(r.err.rfind("snipwell-cli: ", 0), 0u) << shown << " stderr: " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << shown << " stderr: " << r.err;
        EXPECT_EQ(r.out, "") << shown;
        EXPECT_FALSE(std::filesystem::exists(out)) << shown;
    }

    // The messages say what was wrong.
    RunResult r = RunCli(dir, CutCommand(in, out, {"800", "600", "7", kFree, kNoBorder, "0"}));
    EXPECT_NE(r.err.find("SHAPE"), std::string::npos) << r.err;
    r = RunCli(dir, CutCommand(in, out, {"800", "600", kRectangle, "6x5", kNoBorder, "0"}));
    EXPECT_NE(r.err.find("6x4"), std::string::npos) << "the names are listed: " << r.err;
    r = RunCli(dir, CutCommand(in, out, {"800", "600", kRectangle, kFree, kNoBorder, "0", "700", "100", "801", "300"}));
    EXPECT_NE(r.err.find("outside"), std::string::npos) << r.err;
    r = RunCli(dir, CutCommand(dir / "junk.png", out, {"800", "600", kRectangle, kFree, kNoBorder, "0"}));
    EXPECT_NE(r.err.find("Could not open junk.png: "), std::string::npos) << r.err;
    r = RunCli(dir, CutCommand(dir / "missing.png", out, {"800", "600", kRectangle, kFree, kNoBorder, "0"}));
    EXPECT_NE(r.err.find("No such file"), std::string::npos) << r.err;
}

}  // namespace
