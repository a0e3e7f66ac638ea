// Lossless JPEG cuts and turns, checked with tools that are not ours: djpeg -nosmooth of the
// saved file equals the same decode of the source's region turned as asked, jpegtran agrees,
// and four quarter turns give the source's DCT coefficients back (jpegtran re-encodes both the
// same way only when their coefficients are equal).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "image/formats/JpegBlockMover.h"
#include "image/formats/JpegFrameFacts.h"
#include "image/formats/LosslessJpeg.h"
#include "image/formats/LosslessJpegGeometry.h"
#include "CliRun.h"
#include "ExternalEncoders.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using external::Quoted;
using testsupport::TempDir;

// An RGB picture as a PPM holds it, top row first.
struct Pixels {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgb;
    bool operator==(const Pixels&) const = default;
    const uint8_t* At(uint32_t x, uint32_t y) const { return &rgb[(size_t(y) * width + x) * 3]; }
};

Pixels ReadPpm(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    Pixels pixels;
    int maxValue = 0;
    in >> magic >> pixels.width >> pixels.height >> maxValue;
    in.get();
    pixels.rgb.resize(size_t(pixels.width) * pixels.height * 3);
    in.read(reinterpret_cast<char*>(pixels.rgb.data()), std::streamsize(pixels.rgb.size()));
    EXPECT_EQ(magic, "P6");
    return pixels;
}

void WritePpm(const RasterImage& image, const fs::path& path) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << image.GetWidth() << ' ' << image.GetHeight() << "\n255\n";
    for (uint32_t y = 0; y < image.GetHeight(); ++y) {
        for (uint32_t x = 0; x < image.GetWidth(); ++x) {
            const uint32_t colour = testsupport::PictureColor(image, x, y);
            const char rgb[3] = {char(colour & 0xFF), char((colour >> 8) & 0xFF), char((colour >> 16) & 0xFF)};
            out.write(rgb, 3);
        }
    }
}

// djpeg -nosmooth of path: no smoothing across block edges, so a block's pixels depend on that
// block alone.
Pixels Decode(const TempDir& dir, const fs::path& path) {
    const fs::path ppm = dir / "decoded.ppm";
    EXPECT_TRUE(external::Run("djpeg -nosmooth -ppm -outfile " + Quoted(ppm) + " " + Quoted(path))) << path;
    return ReadPpm(ppm);
}

// A JPEG of a w x h pattern written by cjpeg with the given options (sampling, progressive).
fs::path MakeJpeg(const TempDir& dir, uint32_t width, uint32_t height, const std::string& options, const std::string& name) {
    const fs::path ppm = dir / (name + ".ppm");
    WritePpm(testsupport::MakePatternImage(width, height), ppm);
    const fs::path jpeg = dir / name;
    EXPECT_TRUE(external::Run("cjpeg -quality 90 " + options + " -outfile " + Quoted(jpeg) + " " + Quoted(ppm)));
    return jpeg;
}

// The stored pixel a shown pixel (x, y) comes from, by the EXIF standard's table.
void StoredPixelOf(int layout, uint32_t x, uint32_t y, uint32_t w, uint32_t h, uint32_t& sx, uint32_t& sy) {
    switch (layout) {
        case 2: sx = w - 1 - x; sy = y; return;
        case 3: sx = w - 1 - x; sy = h - 1 - y; return;
        case 4: sx = x; sy = h - 1 - y; return;
        case 5: sx = y; sy = x; return;
        case 6: sx = y; sy = h - 1 - x; return;
        case 7: sx = w - 1 - y; sy = h - 1 - x; return;
        case 8: sx = w - 1 - y; sy = x; return;
        default: sx = x; sy = y; return;
    }
}

// The source's pixels shown in layout, then the shown rectangle cut from them.
Pixels Expected(const Pixels& stored, int layout, const RasterRect& shown) {
    Pixels out;
    out.width = uint32_t(shown.right - shown.left);
    out.height = uint32_t(shown.bottom - shown.top);
    for (uint32_t y = 0; y < out.height; ++y) {
        for (uint32_t x = 0; x < out.width; ++x) {
            uint32_t sx = 0;
            uint32_t sy = 0;
            StoredPixelOf(layout, x + uint32_t(shown.left), y + uint32_t(shown.top), stored.width, stored.height, sx, sy);
            out.rgb.insert(out.rgb.end(), stored.At(sx, sy), stored.At(sx, sy) + 3);
        }
    }
    return out;
}

const char* JpegtranOp(int layout) {
    static const std::array<const char*, 8> ops = {"",           "-flip horizontal", "-rotate 180", "-flip vertical",
                                                   "-transpose", "-rotate 90",       "-transverse", "-rotate 270"};
    return ops[size_t(layout - 1)];
}

LosslessJpegResult Save(const fs::path& in, const fs::path& out, int layout, RasterRect cut, bool trim) {
    LosslessJpegRequest request;
    request.layout = layout;
    request.storedCut = cut;
    request.allowTrim = trim;
    return SaveLosslessJpeg(in.string(), request, out.string());
}

class LosslessJpeg : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"cjpeg", "djpeg", "jpegtran"}) {
            if (!external::HaveProgram(tool)) GTEST_SKIP() << tool << " is not installed";
        }
    }
    TempDir m_dir;
};

// The DCT coefficients of a JPEG file as bytes: the file re-encoded by jpegtran without its
// markers, from its first quantisation table on (so the JFIF density does not count).
std::vector<uint8_t> Coefficients(const TempDir& dir, const fs::path& path) {
    const fs::path plain = dir / "coefficients.jpg";
    EXPECT_TRUE(external::Run("jpegtran -copy none -outfile " + Quoted(plain) + " " + Quoted(path))) << path;
    const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(plain);
    for (size_t i = 0; i + 1 < bytes.size(); ++i) {
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xDB) return {bytes.begin() + long(i), bytes.end()};
    }
    ADD_FAILURE() << path << " has no quantisation table";
    return {};
}

// ours holds the coefficients jpegtran writes for source turned whole in layout, without the
// partial blocks a reversed axis brings to the front.
void ExpectJpegtranTrimCoefficients(const TempDir& dir, const fs::path& source, int layout, const fs::path& ours) {
    const fs::path theirs = dir / "jpegtran.jpg";
    ASSERT_TRUE(external::Run("jpegtran -copy none -trim " + std::string(JpegtranOp(layout)) + " -outfile " +
                              Quoted(theirs) + " " + Quoted(source)));
    EXPECT_EQ(Coefficients(dir, ours), Coefficients(dir, theirs));
}

// Largest difference of any colour byte; the sizes must agree.
int LargestDifference(const Pixels& a, const Pixels& b) {
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
    if (a.rgb.size() != b.rgb.size()) return 255;
    int largest = 0;
    for (size_t i = 0; i < a.rgb.size(); ++i) largest = std::max(largest, std::abs(int(a.rgb[i]) - int(b.rgb[i])));
    return largest;
}

// Turned blocks decode to the turned pixels up to the inverse DCT's rounding, which is not the
// same along rows and columns; anything misplaced differs far more.
constexpr int kTurnedRounding = 4;

// Every layout, on 4:2:0 (16 x 16 blocks) and 4:4:4 (8 x 8) files whose sides are no multiple
// of the block. Without a turn a cut decodes to the source's region pixel for pixel; with one,
// its coefficients are those jpegtran writes for the same turn and cut, and it decodes to the
// source's region turned. The whole picture turned is exact without the partial blocks a
// reversed axis brings to the front, as jpegtran -trim makes it.
TEST_F(LosslessJpeg, EveryLayoutMatchesTheSourceDecodeAndJpegtran) {
    struct Sampling {
        const char* options;
        uint32_t block;
    };
    const uint32_t width = 203;
    const uint32_t height = 141;
    for (const Sampling sampling : {Sampling{"-sample 2x2", 16}, Sampling{"-sample 1x1", 8}}) {
        const fs::path source = MakeJpeg(m_dir, width, height, sampling.options, "source.jpg");
        const Pixels stored = Decode(m_dir, source);
        const uint32_t partialX = width % sampling.block;
        const uint32_t partialY = height % sampling.block;
        // Columns and rows trimmed as shown, for layouts 1..8.
        const std::array<PixelSize, 8> trims = {{{0, 0},
                                                 {partialX, 0},
                                                 {partialX, partialY},
                                                 {0, partialY},
                                                 {0, 0},
                                                 {partialY, 0},
                                                 {partialY, partialX},
                                                 {0, partialX}}};
        for (int layout = 1; layout <= 8; ++layout) {
            SCOPED_TRACE(std::string(sampling.options) + " layout " + std::to_string(layout));
            const PixelSize trim = trims[size_t(layout - 1)];
            const std::string op = JpegtranOp(layout);

            const fs::path whole = m_dir / "whole.jpg";
            const LosslessJpegResult wholeResult = Save(source, whole, layout, {0, 0, 0, 0}, true);
            ASSERT_TRUE(wholeResult.Written()) << wholeResult.reason;
            EXPECT_EQ(wholeResult.layout.trim, trim);
            const PixelSize shownSize = ShownSize({width, height}, layout);
            const RasterRect kept{int32_t(trim.width), int32_t(trim.height), int32_t(shownSize.width),
                                  int32_t(shownSize.height)};
            EXPECT_LE(LargestDifference(Decode(m_dir, whole), Expected(stored, layout, kept)), kTurnedRounding);
            ExpectJpegtranTrimCoefficients(m_dir, source, layout, whole);

            // Every edge of the cut on both grids; jpegtran counts its crop in the picture it
            // turned, where the partial blocks are not in front.
            const RasterRect cut{16, 32, 112, 96};
            const fs::path cutFile = m_dir / "cut.jpg";
            const LosslessJpegResult cutResult = Save(source, cutFile, layout, cut, false);
            ASSERT_TRUE(cutResult.Written()) << cutResult.reason;
            const RasterRect shownCut = ShownRectOf(cut, {width, height}, layout);
            const Pixels ours = Decode(m_dir, cutFile);
            if (layout == kLayoutUpright) {
                EXPECT_EQ(ours, Expected(stored, layout, shownCut));
            } else {
                EXPECT_LE(LargestDifference(ours, Expected(stored, layout, shownCut)), kTurnedRounding);
            }
            const std::string crop = std::to_string(shownCut.right - shownCut.left) + "x" +
                                     std::to_string(shownCut.bottom - shownCut.top) + "+" +
                                     std::to_string(shownCut.left - int32_t(trim.width)) + "+" +
                                     std::to_string(shownCut.top - int32_t(trim.height));
            const fs::path theirs = m_dir / "jpegtran.jpg";
            ASSERT_TRUE(external::Run("jpegtran -copy none " + op + " -crop " + crop + " -outfile " + Quoted(theirs) + " " +
                            Quoted(source)));
            EXPECT_EQ(Coefficients(m_dir, cutFile), Coefficients(m_dir, theirs));
        }
    }
}

// Four quarter turns, each saved over the last, give the source's coefficients back; a
// progressive file stays progressive.
TEST_F(LosslessJpeg, FourQuarterTurnsGiveTheSourceCoefficientsBack) {
    for (const char* options : {"-sample 2x2", "-sample 2x1 -progressive"}) {
        SCOPED_TRACE(options);
        const fs::path source = MakeJpeg(m_dir, 160, 96, options, "source.jpg");
        const fs::path turned = m_dir / "turned.jpg";
        fs::copy_file(source, turned, fs::copy_options::overwrite_existing);
        for (int turn = 0; turn < 4; ++turn) {
            const LosslessJpegResult result = Save(turned, turned, kLayoutTurnRight, {0, 0, 0, 0}, false);
            ASSERT_TRUE(result.Written()) << result.reason;
        }
        const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(turned);
        JpegFrameFacts facts;
        std::string reason;
        ASSERT_TRUE(ReadJpegFrameFacts(bytes.data(), bytes.size(), facts, reason)) << reason;
        EXPECT_EQ(facts.Progressive(), std::string(options).find("progressive") != std::string::npos);
        EXPECT_EQ(Coefficients(m_dir, source), Coefficients(m_dir, turned));
    }
}

// The coefficient memory one move leaves behind serves the next, of another size and kind
// (a progressive source's blocks are filled scan by scan over zeros): nothing it held shows.
TEST_F(LosslessJpeg, ReusedCoefficientMemoryLeavesNoTrace) {
    const fs::path large = MakeJpeg(m_dir, 203, 141, "-sample 2x2 -progressive", "large.jpg");
    const fs::path small = MakeJpeg(m_dir, 120, 88, "-sample 1x1", "small.jpg");
    LosslessJpegTransformer transformer;
    std::vector<uint8_t> out;
    for (const fs::path& source : {small, large, small, large}) {
        for (const int layout : {kLayoutTurnLeft, kLayoutFlip}) {
            SCOPED_TRACE(source.filename().string() + " layout " + std::to_string(layout));
            const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(source);
            LosslessJpegRequest request;
            request.layout = layout;
            request.allowTrim = true;
            ASSERT_TRUE(transformer.Transform(bytes.data(), bytes.size(), request, out).Written());
            const fs::path written = m_dir / "written.jpg";
            testsupport::WriteFileBytes(written, out);
            ExpectJpegtranTrimCoefficients(m_dir, source, layout, written);
        }
    }
}

// The preview a move makes from the DC terms is the written file decoded at 1/8 by djpeg, up
// to the rounding of the colour conversion and the chroma a reduced decode still takes from
// its AC terms; a misplaced or mirrored block would differ far more on a gradient.
TEST_F(LosslessJpeg, EighthPreviewIsTheWrittenFileDecodedAtAnEighth) {
    const uint32_t width = 400;
    const uint32_t height = 264;
    RasterImage gradient;
    ASSERT_TRUE(gradient.Create(width, height, 24, 0));
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* pixel = gradient.PixelPointer(x, y);
            pixel[0] = uint8_t(x * 255 / width);
            pixel[1] = uint8_t(y * 255 / height);
            pixel[2] = uint8_t((x + 2 * y) * 255 / (width + 2 * height));
        }
    }
    WritePpm(gradient, m_dir / "gradient.ppm");
    const fs::path source = m_dir / "gradient.jpg";
    ASSERT_TRUE(external::Run("cjpeg -quality 90 -sample 2x2 -outfile " + Quoted(source) + " " + Quoted(m_dir / "gradient.ppm")));
    const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(source);
    JpegFrameFacts facts;
    std::string reason;
    ASSERT_TRUE(ReadJpegFrameFacts(bytes.data(), bytes.size(), facts, reason)) << reason;
    for (const int layout : {kLayoutUpright, kLayoutTurnRight, kLayoutFlip}) {
        SCOPED_TRACE(layout);
        LosslessJpegRequest request;
        request.layout = layout;
        request.storedCut = {16, 32, 400, 264};
        request.allowTrim = true;
        const LosslessJpegResult plan = CheckLosslessJpeg(facts, request);
        ASSERT_TRUE(plan.Written()) << plan.reason;
        RasterImage preview;
        JpegBlockMove move;
        move.layout = layout;
        move.blockCrop = plan.layout.blockCrop;
        move.eighthPreview = &preview;
        std::vector<uint8_t> out;
        ASSERT_EQ(MoveJpegBlocks(bytes.data(), bytes.size(), move, out, reason), JpegBlockOutcome::Moved) << reason;
        testsupport::WriteFileBytes(m_dir / "moved.jpg", out);
        const fs::path reduced = m_dir / "reduced.ppm";
        ASSERT_TRUE(external::Run("djpeg -scale 1/8 -ppm -outfile " + Quoted(reduced) + " " + Quoted(m_dir / "moved.jpg")));
        WritePpm(preview, m_dir / "preview.ppm");
        const Pixels ours = ReadPpm(m_dir / "preview.ppm");
        const Pixels theirs = ReadPpm(reduced);
        EXPECT_LE(LargestDifference(ours, theirs), 10);
        // One block out of place would move the whole gradient by a block's step (2.5 to 5 levels).
        double total = 0;
        for (size_t i = 0; i < ours.rgb.size() && i < theirs.rgb.size(); ++i) total += std::abs(int(ours.rgb[i]) - int(theirs.rgb[i]));
        EXPECT_LE(total / double(std::max<size_t>(1, ours.rgb.size())), 2.0);
    }
}

// An EXIF-turned camera photo made upright: the written file says orientation 1 and its new
// sizes, has a thumbnail, and holds the source's pixels turned, less the partial blocks.
TEST_F(LosslessJpeg, UprightPhotoGetsFittedMetadata) {
    if (!external::HaveProgram("exiftool")) GTEST_SKIP() << "exiftool is not installed";
    const fs::path source = testsupport::CorpusDir() / "exif-orientation" / "Landscape_6.jpg";
    const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(source);
    JpegFrameFacts facts;
    std::string reason;
    ASSERT_TRUE(ReadJpegFrameFacts(bytes.data(), bytes.size(), facts, reason)) << reason;
    ASSERT_EQ(facts.orientation, kLayoutTurnRight);
    const fs::path out = m_dir / "upright.jpg";
    EXPECT_EQ(Save(source, out, facts.orientation, {0, 0, 0, 0}, false).status, LosslessJpegStatus::NeedsTrim);
    EXPECT_FALSE(fs::exists(out));

    const LosslessJpegResult result = Save(source, out, facts.orientation, {0, 0, 0, 0}, true);
    ASSERT_TRUE(result.Written()) << result.reason;
    const uint32_t trimmed = facts.size.height % facts.grid.height;
    const uint32_t width = facts.size.height - trimmed;
    const uint32_t height = facts.size.width;
    EXPECT_LE(LargestDifference(Decode(m_dir, out), Expected(Decode(m_dir, source), kLayoutTurnRight,
                                                             {int32_t(trimmed), 0, int32_t(facts.size.height),
                                                              int32_t(height)})),
              kTurnedRounding);
    const testsupport::RunResult tags = testsupport::RunProgram(
        m_dir, "exiftool",
        {"-n", "-s3", "-Orientation", "-ExifImageWidth", "-ExifImageHeight", "-ThumbnailLength", out.string()});
    std::istringstream lines(tags.out);
    uint32_t orientation = 0, exifWidth = 0, exifHeight = 0, thumbnail = 0;
    lines >> orientation >> exifWidth >> exifHeight >> thumbnail;
    EXPECT_EQ(orientation, 1u);
    EXPECT_EQ(exifWidth, width);
    EXPECT_EQ(exifHeight, height);
    EXPECT_GT(thumbnail, 0u);
}

// Each reason a file or a cut cannot be written block by block is told, and nothing is written.
TEST_F(LosslessJpeg, RefusesWithTheReason) {
    const fs::path source = MakeJpeg(m_dir, 64, 48, "-sample 2x2", "source.jpg");
    const fs::path arithmetic = m_dir / "arithmetic.jpg";
    ASSERT_TRUE(external::Run("jpegtran -arithmetic -outfile " + Quoted(arithmetic) + " " + Quoted(source)));
    std::vector<uint8_t> cutShort = testsupport::ReadFileBytes(source);
    cutShort.resize(cutShort.size() - 200);
    testsupport::WriteFileBytes(m_dir / "short.jpg", cutShort);
    testsupport::WriteFileBytes(m_dir / "text.jpg", {'h', 'e', 'l', 'l', 'o'});
    struct Case {
        fs::path in;
        int layout;
        RasterRect cut;
        LosslessJpegStatus status;
        const char* reasonHas;
    };
    const Case cases[] = {
        {source, 1, {8, 0, 64, 48}, LosslessJpegStatus::CornerOffGrid, "16x16 block grid"},
        {source, 2, {0, 0, 40, 48}, LosslessJpegStatus::CornerOffGrid, "block grid"},   // mirrored: the right edge leads
        {source, 1, {0, 0, 64, 64}, LosslessJpegStatus::Empty, "no whole block"},
        {arithmetic, 1, {0, 0, 0, 0}, LosslessJpegStatus::Unsupported, "arithmetic"},
        {m_dir / "short.jpg", 1, {0, 0, 0, 0}, LosslessJpegStatus::Damaged, "damaged"},
        {m_dir / "text.jpg", 1, {0, 0, 0, 0}, LosslessJpegStatus::NotJpeg, "not a JPEG"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in.filename().string() + " layout " + std::to_string(c.layout));
        const fs::path out = m_dir / "out.jpg";
        const LosslessJpegResult result = Save(c.in, out, c.layout, c.cut, true);
        EXPECT_EQ(result.status, c.status);
        EXPECT_NE(result.reason.find(c.reasonHas), std::string::npos) << result.reason;
        EXPECT_FALSE(fs::exists(out));
    }
}

// The layouts compose as the turns do, each has its inverse, and a pixel lands where the EXIF
// standard's table puts it.
TEST(LosslessJpegGeometry, LayoutsFollowTheExifTable) {
    EXPECT_EQ(ComposeLayouts(kLayoutTurnRight, kLayoutTurnRight), 3);
    EXPECT_EQ(ComposeLayouts(kLayoutTurnRight, kLayoutMirror), 5);
    EXPECT_EQ(ComposeLayouts(kLayoutMirror, kLayoutTurnRight), 7);
    EXPECT_EQ(ComposeLayouts(kLayoutMirror, kLayoutFlip), 3);
    EXPECT_EQ(ComposeLayouts(kLayoutTurnLeft, kLayoutTurnRight), kLayoutUpright);
    const PixelSize stored{10, 6};
    for (int layout = 1; layout <= 8; ++layout) {
        SCOPED_TRACE(layout);
        EXPECT_EQ(ComposeLayouts(layout, InverseLayout(layout)), kLayoutUpright);
        const PixelSize shown = ShownSize(stored, layout);
        for (uint32_t y = 0; y < shown.height; ++y) {
            for (uint32_t x = 0; x < shown.width; ++x) {
                uint32_t sx = 0;
                uint32_t sy = 0;
                StoredPixelOf(layout, x, y, stored.width, stored.height, sx, sy);
                const RasterRect pixel = StoredRectOf({int32_t(x), int32_t(y), int32_t(x + 1), int32_t(y + 1)}, stored, layout);
                ASSERT_EQ(pixel.left, int32_t(sx));
                ASSERT_EQ(pixel.top, int32_t(sy));
            }
        }
        const RasterRect rect{1, 2, 4, 5};
        const RasterRect back = ShownRectOf(StoredRectOf(rect, stored, layout), stored, layout);
        EXPECT_EQ(back.left, rect.left);
        EXPECT_EQ(back.bottom, rect.bottom);
    }
}

// The grid as shown starts after the partial block of a reversed axis, and a box's corner
// snaps to the nearest place on it (or to the picture's edge) without moving the far edges.
TEST(LosslessJpegGeometry, CornerSnapsToTheShownGrid) {
    struct Case {
        int layout;
        RasterRect box;
        RasterRect snapped;
    };
    const PixelSize stored{203, 141};   // 11 and 13 pixels past the last whole 16-pixel block
    const Case cases[] = {
        {1, {20, 30, 100, 90}, {16, 32, 100, 90}},
        {2, {20, 30, 100, 90}, {27, 32, 100, 90}},     // mirrored: grid at 11 + 16k
        {6, {4, 7, 100, 90}, {0, 0, 100, 90}},         // turned right: grid at 13 + 16k; the edge is nearer
        {6, {8, 7, 100, 90}, {13, 0, 100, 90}},
        {1, {20, 30, 28, 40}, {16, 32, 28, 40}},
        {1, {17, 30, 20, 40}, {16, 32, 20, 40}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layout);
        const RasterRect whole{0, 0, int32_t(ShownSize(stored, c.layout).width), int32_t(ShownSize(stored, c.layout).height)};
        const RasterRect snapped = SnapCornerToGrid(c.box, ShownGridOf(stored, {16, 16}, c.layout), whole);
        EXPECT_EQ(snapped.left, c.snapped.left);
        EXPECT_EQ(snapped.top, c.snapped.top);
        EXPECT_EQ(snapped.right, c.snapped.right);
        EXPECT_EQ(snapped.bottom, c.snapped.bottom);
        EXPECT_NE(PlanLosslessCut(snapped, stored, {16, 16}, c.layout).verdict, LosslessVerdict::CornerOffGrid);
    }
}

}  // namespace
