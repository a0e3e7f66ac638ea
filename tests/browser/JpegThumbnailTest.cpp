// The quick JPEG reads behind the thumbnails: frame size, reduced decode, damaged files.
#include <gtest/gtest.h>

#include "BrowserTestSupport.h"
#include "RasterJpegThumbnail.h"
#include "TestSupport.h"

TEST(ReducedJpegDecode, PicksTheSmallestScaleThatStillCoversTheRequest) {
    testsupport::TempDir dir;
    browsertest::WriteSolidPicture(dir / "a.jpg", 800, 600, 0x3080C0, RASTER_FORMAT_JPG);
    uint32_t width = 0;
    uint32_t height = 0;
    ASSERT_TRUE(ReadJpegFrameSize((dir / "a.jpg").c_str(), width, height));
    EXPECT_EQ(width, 800u);
    EXPECT_EQ(height, 600u);

    RasterImage reduced;
    ASSERT_TRUE(DecodeJpegReduced((dir / "a.jpg").c_str(), 128, 96, reduced));
    EXPECT_EQ(reduced.GetWidth(), 200u);   // 1/4; 1/8 would give 100 x 75
    EXPECT_EQ(reduced.GetHeight(), 150u);
    EXPECT_EQ(reduced.GetBpp(), 24u);
    const uint32_t centre = browsertest::CentreColor(reduced);
    EXPECT_NEAR(RasterRed(centre), 0xC0, 6);
    EXPECT_NEAR(RasterGreen(centre), 0x80, 6);
    EXPECT_NEAR(RasterBlue(centre), 0x30, 6);

    ASSERT_TRUE(DecodeJpegReduced((dir / "a.jpg").c_str(), 1000, 10, reduced));
    EXPECT_EQ(reduced.GetWidth(), 800u) << "nothing smaller covers the request";
}

TEST(ReducedJpegDecode, DamagedOrForeignFilesFailAndLeaveTheImage) {
    testsupport::TempDir dir;
    browsertest::WriteSolidPicture(dir / "big.jpg", 1600, 1200, 0x3080C0, RASTER_FORMAT_JPG);
    std::vector<uint8_t> bytes = testsupport::ReadFileBytes(dir / "big.jpg");
    bytes.resize(bytes.size() / 3);
    testsupport::WriteFileBytes(dir / "cut.jpg", bytes);
    testsupport::WriteFileBytes(dir / "text.jpg", {'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'e', 'g'});

    RasterImage kept = testsupport::MakeSolidImage(7, 5, 0);
    for (const char* name : {"cut.jpg", "text.jpg", "missing.jpg"}) {
        EXPECT_FALSE(DecodeJpegReduced((dir / name).c_str(), 60, 45, kept)) << name;
        EXPECT_EQ(kept.GetWidth(), 7u) << name;
    }
    uint32_t width = 0;
    uint32_t height = 0;
    EXPECT_FALSE(ReadJpegFrameSize((dir / "text.jpg").c_str(), width, height));
    std::vector<uint8_t> thumbnail;
    EXPECT_FALSE(ReadExifThumbnail((dir / "big.jpg").c_str(), thumbnail));
}
