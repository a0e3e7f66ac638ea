// Runs the built snipwell-cli program on real files and checks its output, its exit status and
// its messages against the same work done in-process.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "image/RasterImage.h"
#include "CliRun.h"
#include "ExternalEncoders.h"
#include "TestSupport.h"

namespace {

using testsupport::RunResult;
using testsupport::TempDir;
using testsupport::RunCli;

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

RasterImage LoadOrFail(const std::filesystem::path& path) {
    RasterImage image;
    EXPECT_TRUE(image.Load(path.c_str(), RasterImage::TypeFromExtension(path.c_str())))
        << path << ": " << image.LastErrorText();
    return image;
}

// A 24-bit pattern picture with a patterned alpha plane, an odd size to exercise padding.
RasterImage PatternWithAlpha() {
    RasterImage image = testsupport::MakePatternImage(37, 23, 24);
    testsupport::AddPatternAlpha(image);
    return image;
}

TEST(SnipwellCli, InfoPrintsSizeDepthTypeAlphaTransparencyAndDpi) {
    TempDir dir;
    RasterImage bmp = testsupport::MakePatternImage(31, 17, 24);
    bmp.SetXDpi(300);
    bmp.SetYDpi(150);
    ASSERT_TRUE(bmp.Save((dir / "a.bmp").c_str(), RASTER_FORMAT_BMP)) << bmp.LastErrorText();
    RunResult r = RunCli(dir, {"info", (dir / "a.bmp").string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "31 17 24 1 alpha=0 transparent=-1 dpi=300,150\n");
    EXPECT_EQ(r.err, "");

    RasterImage palette = testsupport::MakePatternImage(9, 5, 8);
    ASSERT_TRUE(palette.Save((dir / "p.bmp").c_str(), RASTER_FORMAT_BMP)) << palette.LastErrorText();
    r = RunCli(dir, {"info", (dir / "p.bmp").string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "9 5 8 1 alpha=0 transparent=-1 dpi=96,96\n");

    RasterImage png = PatternWithAlpha();
    ASSERT_TRUE(png.Save((dir / "b.png").c_str(), RASTER_FORMAT_PNG)) << png.LastErrorText();
    r = RunCli(dir, {"info", (dir / "b.png").string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "37 23 24 4 alpha=1 transparent=-1 dpi=96,96\n");

    // A name without a known extension loads by content detection when forced to type 0.
    std::filesystem::copy_file(dir / "b.png", dir / "b.data");
    r = RunCli(dir, {"--in-type", "0", "info", (dir / "b.data").string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("37 23 24 ", 0), 0u) << r.out;
}

TEST(SnipwellCli, OperationChainMatchesTheSameOperationsInProcess) {
    TempDir dir;
    const std::filesystem::path in = dir / "in.png";
    ASSERT_TRUE(PatternWithAlpha().Save(in.c_str(), RASTER_FORMAT_PNG));

    // Geometry and tones with the alpha plane carried along; PNG keeps the alpha.
    const std::vector<std::string> chain = {"rotate-right", "crop", "2", "3", "20", "30", "mirror",
                                            "shift", "10", "-5", "3", "light", "10", "20", "flip",
                                            "rescale", "9", "11", "3", "rotate-left", "gray"};
    RunResult r = RunCli(dir, Concat({in.string(), (dir / "out.png").string()}, chain));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    RasterImage expected = LoadOrFail(in);
    ASSERT_TRUE(expected.RotateRight());
    ASSERT_TRUE(expected.Crop(RasterRect{2, 3, 20, 30}));
    ASSERT_TRUE(expected.Mirror());
    ASSERT_TRUE(expected.ShiftChannels(10, -5, 3));
    ASSERT_TRUE(expected.AdjustLight(10, 20));
    ASSERT_TRUE(expected.Flip());
    ASSERT_TRUE(expected.Rescale(9, 11, RASTER_RESCALE_AREA));
    ASSERT_TRUE(expected.RotateLeft());
    ASSERT_TRUE(expected.GrayAverage());
    EXPECT_TRUE(testsupport::SamePixels(LoadOrFail(dir / "out.png"), expected));

    // Flattening onto a colour then dropping the plane, saved as BMP.
    r = RunCli(dir, {in.string(), (dir / "flat.bmp").string(), "flatten", "0x4080FF", "delete-alpha"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    expected = LoadOrFail(in);
    ASSERT_TRUE(expected.FlattenAlpha(0x4080FF));
    expected.DeleteAlpha();
    EXPECT_TRUE(testsupport::SamePixels(LoadOrFail(dir / "flat.bmp"), expected));
}

TEST(SnipwellCli, FlattenTakesHashColoursAndStillReadsColorrefNumbers) {
    TempDir dir;
    const std::filesystem::path in = dir / "in.png";
    ASSERT_TRUE(PatternWithAlpha().Save(in.c_str(), RASTER_FORMAT_PNG));
    const struct {
        const char* colour;
        uint32_t colorref;   // 0x00BBGGRR
    } cases[] = {
        {"#FF0000", 0x0000FF}, {"#4080ff", 0xFF8040}, {"#000000", 0x000000},
        {"0xFF0000", 0xFF0000}, {"255", 0x0000FF},   // bare numbers are COLORREFs, as before
    };
    for (const auto& c : cases) {
        const RunResult r = RunCli(dir, {in.string(), (dir / "flat.bmp").string(), "flatten", c.colour, "delete-alpha"});
        ASSERT_EQ(r.exitCode, 0) << c.colour << ": " << r.err;
        RasterImage expected = LoadOrFail(in);
        ASSERT_TRUE(expected.FlattenAlpha(c.colorref));
        expected.DeleteAlpha();
        EXPECT_TRUE(testsupport::SamePixels(LoadOrFail(dir / "flat.bmp"), expected)) << c.colour;
    }
}

TEST(SnipwellCli, CommandWordsAreNeverInputsAndTheOldNameStillRuns) {
    TempDir dir;
    ASSERT_TRUE(testsupport::MakePatternImage(8, 8, 24).Save((dir / "order").c_str(), RASTER_FORMAT_BMP));
    // A file named like a command is reached through its folder.
    RunResult r = RunCli(dir, {"--in-type", "1", "order", (dir / "out.bmp").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("./order"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "out.bmp"));
    r = RunCli(dir, {"--in-type", "1", (dir / "order").string(), (dir / "out.bmp").string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;

    r = RunCli(dir, {"--help"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* word : {"info", "meta", "order", "sheet", "contact", "#RRGGBB"}) {
        EXPECT_NE(r.out.find(word), std::string::npos) << word;
    }

    r = testsupport::RunProgram(dir, (testsupport::CliPath().parent_path() / "rastertool").string(),
                                {"info", (dir / "out.bmp").string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "8 8 24 1 alpha=0 transparent=-1 dpi=96,96\n");
}

TEST(SnipwellCli, NormalizeGivesAnOpaque24BitPictureWithTransparencyWhite) {
    TempDir dir;
    const std::filesystem::path in = dir / "in.png";
    ASSERT_TRUE(PatternWithAlpha().Save(in.c_str(), RASTER_FORMAT_PNG));
    RunResult r = RunCli(dir, {in.string(), (dir / "n.bmp").string(), "normalize"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    RasterImage expected = LoadOrFail(in);
    ASSERT_TRUE(expected.FlattenAlpha(0xFFFFFF));
    expected.DeleteAlpha();
    const RasterImage result = LoadOrFail(dir / "n.bmp");
    EXPECT_EQ(result.GetBpp(), 24u);
    EXPECT_TRUE(testsupport::SamePixels(result, expected));

    // A palette picture is raised to 24 bits with the same colours.
    RasterImage palette = testsupport::MakePatternImage(13, 7, 8);
    ASSERT_TRUE(palette.Save((dir / "p.bmp").c_str(), RASTER_FORMAT_BMP));
    r = RunCli(dir, {(dir / "p.bmp").string(), (dir / "p24.bmp").string(), "normalize"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const RasterImage raised = LoadOrFail(dir / "p24.bmp");
    ASSERT_EQ(raised.GetBpp(), 24u);
    for (uint32_t y = 0; y < 7; ++y) {
        for (uint32_t x = 0; x < 13; ++x) {
            const RasterRgbQuad a = raised.GetPixelColor(x, y, false);
            const RasterRgbQuad b = palette.GetPixelColor(x, y, false);
            ASSERT_TRUE(a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen && a.rgbRed == b.rgbRed)
                << "pixel " << x << "," << y;
        }
    }
}

TEST(SnipwellCli, OptionsForceTheOutputFormatAndJpegQuality) {
    TempDir dir;
    const std::filesystem::path in = dir / "in.bmp";
    ASSERT_TRUE(testsupport::MakePatternImage(64, 48, 24).Save(in.c_str(), RASTER_FORMAT_BMP));

    RunResult r = RunCli(dir, {"--type", "1", in.string(), (dir / "out.picture").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    RasterImage forced;
    EXPECT_TRUE(forced.Load((dir / "out.picture").c_str(), RASTER_FORMAT_BMP)) << forced.LastErrorText();
    EXPECT_TRUE(testsupport::SamePixels(forced, LoadOrFail(in)));

    r = RunCli(dir, {in.string(), (dir / "low.jpg").string(), "--quality", "20"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = RunCli(dir, {in.string(), (dir / "high.jpg").string(), "--quality", "98"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_LT(std::filesystem::file_size(dir / "low.jpg"), std::filesystem::file_size(dir / "high.jpg"));
}

// Between JPEG files, crop and turns move the blocks: the result decodes (djpeg) as jpegtran's
// does for the same cut and turn. What cannot be done exactly fails with the reason and the way
// out, and --recompress or --trim take it.
TEST(SnipwellCli, JpegCutsAndTurnsMoveBlocksUnlessAskedToRecompress) {
    for (const char* tool : {"djpeg", "jpegtran"}) {
        if (!external::HaveProgram(tool)) GTEST_SKIP() << tool << " is not installed";
    }
    TempDir dir;
    const std::filesystem::path in = dir / "in.jpg";
    // The program's encoder samples every component fully: 8-pixel blocks.
    const std::filesystem::path uneven = dir / "uneven.jpg";   // 4 rows past the last block
    ASSERT_TRUE(testsupport::MakePatternImage(64, 48, 24).Save(in.c_str(), RASTER_FORMAT_JPG));
    ASSERT_TRUE(testsupport::MakePatternImage(72, 44, 24).Save(uneven.c_str(), RASTER_FORMAT_JPG));
    const std::string out = (dir / "out.jpg").string();
    const auto decode = [&dir](const std::filesystem::path& jpeg) {
        const std::filesystem::path ppm = dir / "decoded.ppm";
        EXPECT_TRUE(external::Run("djpeg -ppm -outfile " + external::Quoted(ppm) + " " + external::Quoted(jpeg)));
        return testsupport::ReadFileBytes(ppm);
    };
    RunResult r = RunCli(dir, {in.string(), out, "crop", "16", "16", "48", "48", "rotate-right"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::filesystem::path theirs = dir / "jpegtran.jpg";
    ASSERT_TRUE(external::Run("jpegtran -rotate 90 -crop 32x32+0+16 -outfile " + external::Quoted(theirs) + " " +
                              external::Quoted(in)));
    EXPECT_EQ(decode(out), decode(theirs));

    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* errHas;
        uint32_t width, height;
    };
    const Case cases[] = {
        {{in.string(), out, "crop", "5", "0", "40", "40"}, 1, "nearest lossless is crop 8 0 40 40", 0, 0},
        {{"--recompress", in.string(), out, "crop", "5", "0", "40", "40"}, 0, "", 35, 40},
        {{uneven.string(), out, "rotate-right"}, 1, "--trim", 0, 0},
        {{"--trim", uneven.string(), out, "rotate-right"}, 0, "", 40, 72},
        {{"--recompress", uneven.string(), out, "rotate-right"}, 0, "", 44, 72},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        std::filesystem::remove(out);
        r = RunCli(dir, c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_NE(r.err.find(c.errHas), std::string::npos) << r.err;
        if (c.exitCode != 0) {
            EXPECT_FALSE(std::filesystem::exists(out));
            continue;
        }
        const RasterImage written = LoadOrFail(out);
        EXPECT_EQ(written.GetWidth(), c.width);
        EXPECT_EQ(written.GetHeight(), c.height);
    }
}

TEST(SnipwellCli, ReadsTheNewerFormatsAndWritesWebpAtTheQualityGiven) {
    TempDir dir;
    const std::filesystem::path in = dir / "in.png";
    ASSERT_TRUE(PatternWithAlpha().Save(in.c_str(), RASTER_FORMAT_PNG));
    RunResult r = RunCli(dir, {in.string(), (dir / "low.webp").string(), "--quality", "20"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = RunCli(dir, {in.string(), (dir / "high.webp").string(), "--quality", "98"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_LT(std::filesystem::file_size(dir / "low.webp"), std::filesystem::file_size(dir / "high.webp"));
    r = RunCli(dir, {"info", (dir / "high.webp").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "37 23 24 20 alpha=1 transparent=-1 dpi=96,96\n");
    // A WebP file read back and written as PNG, as any other input.
    r = RunCli(dir, {(dir / "high.webp").string(), (dir / "back.png").string(), "normalize"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(LoadOrFail(dir / "back.png").GetWidth(), 37u);
    // Not writable: a clear refusal, no file.
    r = RunCli(dir, {in.string(), (dir / "out.tif").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("TIFF cannot be saved"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "out.tif"));
}

TEST(SnipwellCli, BadArgumentsFailWithAMessageAndWriteNothing) {
    TempDir dir;
    const std::filesystem::path in = dir / "in.bmp";
    ASSERT_TRUE(testsupport::MakePatternImage(8, 8, 24).Save(in.c_str(), RASTER_FORMAT_BMP));
    const std::string out = (dir / "out.bmp").string();
    const std::vector<std::vector<std::string>> cases = {
        {},
        {in.string()},
        {in.string(), out, "rescale", "0", "5", "3"},
        {in.string(), out, "rescale", "10", "abc", "3"},
        {in.string(), out, "rescale", "10"},
        {in.string(), out, "crop", "1", "2", "3", "4x"},
        {in.string(), out, "shift", "1", "2", "99999999999"},
        {in.string(), out, "light", "+5", "0"},
        {in.string(), out, "light", " 5", "0"},
        {in.string(), out, "flatten", "0x1000000"},
        {in.string(), out, "flatten", "0x-1"},
        {in.string(), out, "flatten", "0x"},
        {in.string(), out, "flatten", "-1"},
        {in.string(), out, "flatten", "#12345"},
        {in.string(), out, "flatten", "#1234567"},
        {in.string(), out, "flatten", "#GG0000"},
        {in.string(), out, "flatten", "#-12345"},
        {in.string(), out, "flatten", "#"},
        {"order", "--existing", "never", in.string()},
        {"order", "--to"},
        {"sheet", in.string(), out},
        {"contact", in.string(), out},
        {in.string(), out, "spin"},
        {in.string(), out, "--quality", "0"},
        {in.string(), out, "--quality", "9.5"},
        {in.string(), out, "--type", std::to_string(RASTER_FORMAT_LAST + 1)},
        {in.string(), out, "--quality"},
        {in.string(), out, "--colour", "3"},
        {in.string(), (dir / "out.unknown").string()},
        {"info"},
        {"info", in.string(), "extra"},
    };
    for (const std::vector<std::string>& args : cases) {
        std::string shown;
        for (const std::string& a : args) shown += "[" + a + "] ";
        const RunResult r = RunCli(dir, args);
        EXPECT_EQ(r.exitCode, 1) << shown;
        EXPECT_NE(r.err.find("snipwell-cli"), std::string::npos) << shown << " stderr: " << r.err;
        EXPECT_GT(r.err.size(), 20u) << shown << " stderr: " << r.err;
        EXPECT_EQ(r.out, "") << shown;
        EXPECT_FALSE(std::filesystem::exists(out)) << shown;
    }
    // The message names the faulty argument.
    const RunResult r = RunCli(dir, {in.string(), out, "rescale", "10", "abc", "3"});
    EXPECT_NE(r.err.find("'abc'"), std::string::npos) << r.err;
}

TEST(SnipwellCli, FailuresOfFilesAndOperationsExitWithTheirText) {
    TempDir dir;
    const std::string out = (dir / "out.bmp").string();

    RunResult r = RunCli(dir, {(dir / "missing.png").string(), out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("missing.png"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("No such file"), std::string::npos) << r.err;

    r = RunCli(dir, {"info", (dir / "missing.png").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("No such file"), std::string::npos) << r.err;

    // Not a picture: the decoder's own text comes through.
    testsupport::WriteFileBytes(dir / "junk.png", std::vector<uint8_t>(300, 0x5A));
    r = RunCli(dir, {(dir / "junk.png").string(), out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_GT(r.err.size(), std::string("snipwell-cli: ").size() + (dir / "junk.png").string().size() + 3) << r.err;

    // An operation the picture cannot take (no alpha plane to flatten).
    const std::filesystem::path in = dir / "in.bmp";
    ASSERT_TRUE(testsupport::MakePatternImage(8, 8, 24).Save(in.c_str(), RASTER_FORMAT_BMP));
    r = RunCli(dir, {in.string(), out, "flatten", "0"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("flatten failed"), std::string::npos) << r.err;

    // A FIFO is refused without being opened. Each time a tool opens it, it waits for a
    // writer: the helper below is that writer, so a wrong tool ends with some other error
    // instead of hanging, and the test's own reader lets the helper go afterwards.
    const std::filesystem::path fifo = dir / "fifo.png";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        while (!done) {
            const int fd = open(fifo.c_str(), O_WRONLY);
            if (fd >= 0) close(fd);
        }
    });
    r = RunCli(dir, {fifo.string(), out});
    done = true;
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    writer.join();
    if (reader >= 0) close(reader);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("fifo.png: not a regular file"), std::string::npos) << r.err;
    r = RunCli(dir, {"info", dir.path().string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;

    // The output folder does not exist.
    r = RunCli(dir, {in.string(), (dir / "no-such-folder" / "x.bmp").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_GT(r.err.size(), 20u) << r.err;
    EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
