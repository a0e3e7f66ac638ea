// PNM pictures made by hand and by ImageMagick's convert; damaged files.
#include <gtest/gtest.h>

#include <string>

#include "FormatFixtures.h"
#include "TestSupport.h"

using fixtures::ConvertedFiles;
using fixtures::FailureText;
using fixtures::Joined;
using fixtures::MustDecode;
using fixtures::TextBytes;
using testsupport::MakePatternImage;
using testsupport::PictureColor;
using testsupport::SamePixels;

namespace {

TEST(PnmReading, PlainFormatsWithCommentsAndScaledMaxval) {
    const RasterImage bits = MustDecode(TextBytes("P1\n# a comment\n3 2\n1 0 1\n011"), RASTER_FORMAT_PNM);
    ASSERT_EQ(bits.GetBpp(), 1u);
    EXPECT_EQ(PictureColor(bits, 0, 0), RasterRgb(0, 0, 0));  // 1 is black
    EXPECT_EQ(PictureColor(bits, 1, 0), RasterRgb(255, 255, 255));
    EXPECT_EQ(PictureColor(bits, 0, 1), RasterRgb(255, 255, 255));
    EXPECT_EQ(PictureColor(bits, 2, 1), RasterRgb(0, 0, 0));

    const RasterImage grey = MustDecode(TextBytes("P2 2 1 1000#max\n0 500"), RASTER_FORMAT_PNM);
    ASSERT_EQ(grey.GetBpp(), 8u);
    EXPECT_EQ(PictureColor(grey, 1, 0), RasterRgb(128, 128, 128));  // 500 * 255 / 1000 rounded

    const RasterImage colour = MustDecode(TextBytes("P3\n2 1\n255\n255 0 10  1 2 3\n"), RASTER_FORMAT_PNM);
    ASSERT_EQ(colour.GetBpp(), 24u);
    EXPECT_EQ(PictureColor(colour, 0, 0), RasterRgb(255, 0, 10));
    EXPECT_EQ(PictureColor(colour, 1, 0), RasterRgb(1, 2, 3));
}

TEST(PnmReading, RawDataStartsAfterExactlyOneWhiteSpaceByte) {
    // The first pixel bytes are themselves white space and must not be skipped.
    const RasterImage colour = MustDecode(Joined(TextBytes("P6 1 2 255\n"), {' ', '\n', '\t', 1, 2, 3}), RASTER_FORMAT_PNM);
    EXPECT_EQ(PictureColor(colour, 0, 0), RasterRgb(' ', '\n', '\t'));
    EXPECT_EQ(PictureColor(colour, 0, 1), RasterRgb(1, 2, 3));

    const RasterImage wide = MustDecode(Joined(TextBytes("P5 2 1 65535\n"), {0xFF, 0xFF, 0x80, 0x00}), RASTER_FORMAT_PNM);
    EXPECT_EQ(PictureColor(wide, 0, 0), RasterRgb(255, 255, 255));
    EXPECT_EQ(PictureColor(wide, 1, 0), RasterRgb(128, 128, 128));  // big-endian 0x8000

    const RasterImage bits = MustDecode(Joined(TextBytes("P4 10 1\n"), {0xA0, 0x40}), RASTER_FORMAT_PNM);
    EXPECT_EQ(PictureColor(bits, 0, 0), RasterRgb(0, 0, 0));
    EXPECT_EQ(PictureColor(bits, 1, 0), RasterRgb(255, 255, 255));
    EXPECT_EQ(PictureColor(bits, 9, 0), RasterRgb(0, 0, 0));
}

TEST(PnmReading, BadHeadersAndShortDataFail) {
    EXPECT_EQ(FailureText(TextBytes("P5 2 2 0\n1234"), RASTER_FORMAT_PNM), "PNM: bad header");
    EXPECT_EQ(FailureText(TextBytes("P5 2 2 70000\n1234"), RASTER_FORMAT_PNM), "PNM: bad header");
    EXPECT_EQ(FailureText(TextBytes("P6 65535 65535 255\n123456"), RASTER_FORMAT_PNM),
              "PNM: file too short for its picture size");
    EXPECT_EQ(FailureText(TextBytes("P2 2 1 255\n12 x4"), RASTER_FORMAT_PNM), "PNM: damaged or truncated picture data");
    EXPECT_EQ(FailureText(TextBytes("P7 2 1 255\n1234"), RASTER_FORMAT_PNM), "PNM: not a PNM file");
    fixtures::ExpectRegressionFilesHandled("pnm", RASTER_FORMAT_PNM);
}

TEST_F(ConvertedFiles, PnmPlainRawAndSixteenBitGiveTheSource) {
    const RasterImage colour = MakePatternImage(23, 11);
    const RasterImage grey = fixtures::MakeGreyPattern(23, 11);
    const RasterImage bits = fixtures::MakeBilevelPattern(23, 11);
    struct Case { const RasterImage* source; const char* options; const char* output; };
    const Case cases[] = {{&colour, "", "ppm:a.ppm"},           {&colour, "-compress none", "ppm:b.ppm"},
                          {&colour, "-depth 16", "ppm:c.ppm"},  {&grey, "", "pgm:d.pgm"},
                          {&grey, "-depth 16 -compress none", "pgm:e.pgm"}, {&bits, "", "pbm:f.pbm"},
                          {&bits, "-compress none", "pbm:g.pbm"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.output) + " " + c.options);
        EXPECT_TRUE(SamePixels(MustDecode(Make(*c.source, c.options, c.output), RASTER_FORMAT_PNM), *c.source));
    }
    fixtures::ExpectPrefixesHandled(Make(colour, "", "ppm:h.ppm"), RASTER_FORMAT_PNM, 3);
}

}  // namespace
