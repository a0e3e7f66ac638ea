// snipwell-cli's straighten: it turns the picture and keeps the largest upright part of the
// picture's own ratio, with no background in any corner; angles are read to a tenth of a
// degree within the control's range.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "CliRun.h"
#include "TestSupport.h"
#include "image/RasterImage.h"

namespace {

using testsupport::RunCli;
using testsupport::RunResult;
using testsupport::TempDir;

constexpr uint32_t kWidth = 300;
constexpr uint32_t kHeight = 200;

RasterImage Straightened(TempDir& dir, const std::string& degrees) {
    const std::filesystem::path in = dir / "in.bmp";
    const std::filesystem::path out = dir / "out.bmp";
    EXPECT_TRUE(testsupport::MakeSolidImage(kWidth, kHeight, 0x406080).Save(in.c_str(), RASTER_FORMAT_BMP));
    const RunResult r = RunCli(dir, {in.string(), out.string(), "straighten", degrees});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    RasterImage image;
    EXPECT_TRUE(image.Load(out.c_str(), RASTER_FORMAT_BMP));
    return image;
}

TEST(StraightenCli, KeepsTheLargestPartOfTheSameRatioWithoutBackground) {
    TempDir dir;
    for (const char* degrees : {"-3.5", "12", "0"}) {
        SCOPED_TRACE(degrees);
        const RasterImage kept = Straightened(dir, degrees);
        // A box of the picture's ratio scaled by f fits the turned picture while
        // f (cos + sin * width / height) <= 1 (the wider side binds).
        const double angle = std::fabs(std::stod(degrees)) * std::numbers::pi / 180.0;
        const double f = 1.0 / (std::cos(angle) + std::sin(angle) * kWidth / kHeight);
        EXPECT_NEAR(double(kept.GetWidth()), f * kWidth, 2.0);
        EXPECT_NEAR(double(kept.GetHeight()), f * kHeight, 2.0);
        for (uint32_t y = 0; y < kept.GetHeight(); ++y) {
            for (uint32_t x = 0; x < kept.GetWidth(); ++x) {
                ASSERT_EQ(testsupport::PictureColor(kept, x, y), 0x406080u) << x << "," << y;
            }
        }
    }
}

TEST(StraightenCli, RefusesAnglesOutsideTheControlsRangeAndSteps) {
    TempDir dir;
    const std::filesystem::path in = dir / "in.bmp";
    ASSERT_TRUE(testsupport::MakePatternImage(8, 8, 24).Save(in.c_str(), RASTER_FORMAT_BMP));
    const std::string out = (dir / "out.bmp").string();
    for (const char* degrees : {"45.1", "-46", "3.25", "+3", "3.", ".5", "3,5", "tilt"}) {
        const RunResult r = RunCli(dir, {in.string(), out, "straighten", degrees});
        EXPECT_EQ(r.exitCode, 1) << degrees;
        EXPECT_NE(r.err.find(std::string("'") + degrees + "'"), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << degrees;
    }
}

}  // namespace
