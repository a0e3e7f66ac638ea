// JPEG XL: files written by cjxl decode to their source pictures (exactly when lossless), are
// turned by their own orientation once, and an animation gives its first frame.
#include <gtest/gtest.h>

#include "CodecTestHelpers.h"
#include "ExternalEncoders.h"
#include "FormatFixtures.h"
#include "image/PictureMetadata.h"
#include "image/RasterImage.h"
#include "TestSupport.h"

namespace {

constexpr double kLossyPsnr = 40.0;

struct CjxlCase {
    const char* name;
    const char* options;
    bool alpha;
    bool lossless;
};

TEST(RasterImageJXL, ReadsWhatCjxlWrites) {
    if (!external::HaveProgram("cjxl")) GTEST_SKIP() << "cjxl is not installed";
    const CjxlCase cases[] = {
        {"lossless", "-d 0", false, true},
        {"lossless with alpha", "-d 0", true, true},
        {"lossy", "-d 0.3", false, false},
        {"lossy with alpha", "-d 0.3", true, false},
    };
    for (const CjxlCase& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::TempDir dir;
        RasterImage source = codectest::MakeSmoothImage(90, 70);
        if (c.alpha) testsupport::AddPatternAlpha(source);
        const std::vector<uint8_t> file =
            external::EncodeWith(dir, source, std::string("cjxl {in} {out} ") + c.options, "a.jxl");
        external::ExpectReadsAsSource(file, RASTER_FORMAT_JXL, source, c.lossless);
    }
}

TEST(RasterImageJXL, IsTurnedByItsOrientationOnce) {
    if (!external::HaveProgram("cjxl")) GTEST_SKIP() << "cjxl is not installed";
    testsupport::TempDir dir;
    // cjxl keeps a JPEG's pixels as they are and takes the EXIF orientation into the file.
    external::OrientedLoad load;
    ASSERT_TRUE(external::LoadOrientedPhotoThrough(dir, "cjxl {in} {out}", "o6.jxl", RASTER_FORMAT_JXL, load))
        << load.picture.LastErrorText();
    external::ExpectTiffExifAndNoTurn(load.metadata.exif, load.options.orientation);
    RasterImage stored;
    ASSERT_TRUE(stored.Load((dir / "o6.jpg").c_str(), RASTER_FORMAT_JPG));
    RasterImage expected;
    ASSERT_TRUE(stored.RotateRight(&expected));   // orientation 6: turn clockwise
    ASSERT_EQ(load.picture.GetWidth(), 48u);
    ASSERT_EQ(load.picture.GetHeight(), 64u);
    // The JPEG's own coefficients, decoded by another decoder: near, not equal.
    EXPECT_GE(testsupport::Psnr(load.picture, expected), kLossyPsnr);
}

TEST(RasterImageJXL, AnAnimationShowsItsFirstFrame) {
    if (!external::HaveProgram("cjxl") || testsupport::ImageMagickConvert().empty()) {
        GTEST_SKIP() << "cjxl or ImageMagick is not installed";
    }
    testsupport::TempDir dir;
    RasterImage first = fixtures::MakeFewColourPattern(40, 30);
    RasterImage second = testsupport::MakeSolidImage(40, 30, RasterRgb(10, 200, 30));
    external::WritePng(first, dir / "1.png");
    external::WritePng(second, dir / "2.png");
    ASSERT_TRUE(testsupport::RunImageMagick("-delay 10 " + external::Quoted(dir / "1.png") + " " +
                                            external::Quoted(dir / "2.png") + " " + external::Quoted(dir / "anim.gif")));
    ASSERT_TRUE(external::Run("cjxl " + external::Quoted(dir / "anim.gif") + " " + external::Quoted(dir / "anim.jxl") +
                              " -d 0"));
    RasterImage decoded;
    ASSERT_TRUE(decoded.Load((dir / "anim.jxl").c_str(), RASTER_FORMAT_JXL)) << decoded.LastErrorText();
    decoded.DeleteAlpha();
    EXPECT_TRUE(testsupport::SamePixels(decoded, first));
}

}  // namespace
