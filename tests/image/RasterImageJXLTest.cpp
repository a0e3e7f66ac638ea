// JPEG XL: files written by cjxl decode to their source pictures (exactly when lossless), are
// turned by their own orientation once, and an animation gives its first frame; grey, linear,
// tagged and wide-gamut files show the colours djxl's output means; what we write djxl reads.
#include "image/formats/RasterImageJXL.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <gtest/gtest.h>

#include "image/PictureMetadata.h"
#include "image/RasterImage.h"
#include "image/metadata/ColourConversion.h"

#include "CodecTestHelpers.h"
#include "ExternalEncoders.h"
#include "FormatFixtures.h"
#include "TaggedPng.h"
#include "TestSupport.h"

namespace {

constexpr double kLossyPsnr = 40.0;
// Quality 90 is distance 1, cjxl's default: visually lossless, not 40 dB.
constexpr double kWrittenLossyPsnr = 36.0;
constexpr double kSrgbPrimaries[6] = {0.64, 0.33, 0.30, 0.60, 0.15, 0.06};
constexpr double kP3Primaries[6] = {0.680, 0.320, 0.265, 0.690, 0.150, 0.060};
// A display as a calibration tool measures it: near sRGB, its own primaries and curve.
constexpr double kDisplayPrimaries[6] = {0.655, 0.335, 0.290, 0.615, 0.152, 0.058};

// Mean and largest difference of the colour bytes of two pictures of one size.
struct Difference {
    double mean = 0;
    int largest = 0;
};

Difference ColourDifference(const RasterImage& a, const RasterImage& b) {
    Difference difference;
    double sum = 0;
    for (uint32_t y = 0; y < a.GetHeight(); ++y) {
        for (uint32_t x = 0; x < a.GetWidth() * 3; ++x) {
            const int d = std::abs(int(a.RowPointer(y)[x]) - int(b.RowPointer(y)[x]));
            sum += d;
            difference.largest = std::max(difference.largest, d);
        }
    }
    difference.mean = sum / (double(a.GetWidth()) * a.GetHeight() * 3);
    return difference;
}

struct ColourCase {
    const char* name;
    uint32_t channels;
    int bits;
    std::vector<uint8_t> icc;
    const char* distance;
    double meanLimit;
    int largestLimit;
};

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

TEST(RasterImageJXL, ShowsTheColoursDjxlMeans) {
    if (!external::HaveProgram("cjxl") || !external::HaveProgram("djxl"))
        GTEST_SKIP() << "cjxl or djxl is not installed";
    // Lossless files match to rounding; lossy ones differ where libjxl's own XYB-to-sRGB step
    // and djxl's colour management round differently. Taking the pixels as sRGB whatever they
    // are puts the means off by 12 levels and more (a linear grey 80 shows as 21).
    const ColourCase cases[] = {
        {"grey linear", 1, 16, taggedpng::GreyProfile(1.0), "0", 0.1, 1},
        {"grey linear lossy", 1, 16, taggedpng::GreyProfile(1.0), "1", 0.6, 12},
        {"grey sRGB", 1, 8, {}, "0", 0.1, 1},
        {"display profile", 3, 8, taggedpng::RgbProfile(kDisplayPrimaries, 2.4), "0", 0.2, 4},
        {"display profile lossy (XYB)", 3, 8, taggedpng::RgbProfile(kDisplayPrimaries, 2.4), "1", 1.0, 10},
        {"linear", 3, 16, taggedpng::RgbProfile(kSrgbPrimaries, 1.0), "0", 0.1, 1},
        {"linear lossy", 3, 16, taggedpng::RgbProfile(kSrgbPrimaries, 1.0), "1", 0.2, 2},
        {"wide gamut lossy", 3, 8, taggedpng::RgbProfile(kP3Primaries, 2.2), "1", 1.0, 10},
    };
    for (const ColourCase& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::TempDir dir;
        taggedpng::Write(dir / "in.png", 64, 48, c.channels, c.bits, c.icc, [](uint32_t x, uint32_t y, uint32_t ch) {
            return std::fmod(x / 63.0 * (1.0 + 0.3 * ch) + y / 200.0, 1.0);
        });
        ASSERT_TRUE(external::Run("cjxl " + external::Quoted(dir / "in.png") + " " + external::Quoted(dir / "a.jxl") +
                                  " -d " + c.distance));
        ASSERT_TRUE(external::Run("djxl " + external::Quoted(dir / "a.jxl") + " " + external::Quoted(dir / "ref.png")));
        RasterImage reference;
        ASSERT_TRUE(taggedpng::ReadAsSrgb(dir / "ref.png", reference));

        RasterImage decoded;
        PictureMetadata metadata;
        RasterLoadOptions options;
        options.metadata = &metadata;
        ASSERT_TRUE(decoded.Load((dir / "a.jxl").c_str(), RASTER_FORMAT_JXL, options)) << decoded.LastErrorText();
        // Kept beside its profile, as a tagged JPEG is: shown through it.
        ConvertToSrgbColours(decoded, metadata.icc);
        ASSERT_EQ(decoded.GetWidth(), reference.GetWidth());
        const Difference difference = ColourDifference(decoded, reference);
        EXPECT_LE(difference.mean, c.meanLimit) << "largest " << difference.largest;
        EXPECT_LE(difference.largest, c.largestLimit) << "mean " << difference.mean;
    }
}

TEST(RasterImageJXL, DjxlReadsWhatWeWrite) {
    if (!external::HaveProgram("djxl")) GTEST_SKIP() << "djxl is not installed";
    struct WriteCase {
        const char* name;
        uint8_t quality;
        bool alpha;
    };
    const WriteCase cases[] = {{"lossless", 100, false}, {"lossless with alpha", 100, true}, {"lossy", 90, false}};
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::TempDir dir;
        RasterImage source = codectest::MakeSmoothImage(90, 70);
        if (c.alpha) testsupport::AddPatternAlpha(source);
        source.SetJpegQuality(c.quality);
        ASSERT_TRUE(source.Save((dir / "a.jxl").c_str(), RASTER_FORMAT_JXL)) << source.LastErrorText();
        ASSERT_TRUE(external::Run("djxl " + external::Quoted(dir / "a.jxl") + " " + external::Quoted(dir / "b.png")));
        RasterImage written;
        ASSERT_TRUE(written.Load((dir / "b.png").c_str(), RASTER_FORMAT_PNG));
        if (c.quality == 100) {
            EXPECT_TRUE(testsupport::SamePixels(written, source));
        } else {
            EXPECT_GE(testsupport::Psnr(written, source), kWrittenLossyPsnr);
        }
    }
    // The distance follows the quality the way cjxl documents its -q.
    EXPECT_EQ(RasterImageJXL::DistanceFromJpeg(100), 0.0f);
    EXPECT_NEAR(RasterImageJXL::DistanceFromJpeg(90), 1.0f, 1e-6);
    EXPECT_LT(RasterImageJXL::DistanceFromJpeg(29), RasterImageJXL::DistanceFromJpeg(20));
}

}  // namespace
