// PGX pictures made by hand and by ImageMagick's convert; damaged files.
#include <gtest/gtest.h>

#include "FormatFixtures.h"
#include "TestSupport.h"

using fixtures::ConvertedFiles;
using fixtures::FailureText;
using fixtures::Joined;
using fixtures::MustDecode;
using fixtures::TextBytes;
using testsupport::PictureColor;
using testsupport::SamePixels;

namespace {

TEST(PgxReading, SignedAndWideSamplesInBothByteOrders) {
    // 12-bit signed, least significant byte first: -2048 is black, 0 mid grey, 2047 white.
    const RasterImage low = MustDecode(Joined(TextBytes("PG LM -12 3 1\n"), {0x00, 0x08, 0x00, 0x00, 0xFF, 0x07}),
                                       RASTER_FORMAT_PGX);
    ASSERT_EQ(low.GetBpp(), 8u);
    EXPECT_EQ(PictureColor(low, 0, 0), RasterRgb(0, 0, 0));
    EXPECT_EQ(PictureColor(low, 1, 0), RasterRgb(128, 128, 128));
    EXPECT_EQ(PictureColor(low, 2, 0), RasterRgb(255, 255, 255));

    const RasterImage high = MustDecode(Joined(TextBytes("PG ML +10 1 2\n"), {0x03, 0xFF, 0x01, 0x00}), RASTER_FORMAT_PGX);
    EXPECT_EQ(PictureColor(high, 0, 0), RasterRgb(255, 255, 255));
    EXPECT_EQ(PictureColor(high, 0, 1), RasterRgb(64, 64, 64));  // 256 * 255 / 1023 rounded
}

TEST(PgxReading, ShortDataAndBadHeadersFail) {
    EXPECT_EQ(FailureText(Joined(TextBytes("PG ML + 8 4000 4000\n"), {1, 2, 3}), RASTER_FORMAT_PGX),
              "PGX: file too short for its picture size");
    EXPECT_EQ(FailureText(TextBytes("PG XY + 8 1 1\n1"), RASTER_FORMAT_PGX), "PGX: not a PGX file");
    EXPECT_EQ(FailureText(TextBytes("PG ML + 40 1 1\n12345"), RASTER_FORMAT_PGX), "PGX: not a PGX file");
    fixtures::ExpectRegressionFilesHandled("pgx", RASTER_FORMAT_PGX);
}

TEST_F(ConvertedFiles, PgxGivesTheSource) {
    // Even width: this convert pads odd PGX rows with an extra sample (its own fault).
    const RasterImage grey = fixtures::MakeGreyPattern(24, 11);
    const std::vector<uint8_t> bytes = Make(grey, "-type Grayscale", "pgx:a.pgx");
    EXPECT_TRUE(SamePixels(MustDecode(bytes, RASTER_FORMAT_PGX), grey));
    fixtures::ExpectPrefixesHandled(bytes, RASTER_FORMAT_PGX, 3);
}

}  // namespace
