#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "image/RasterFile.h"
#include "image/RasterImage.h"
#include "image/formats/RasterImageRAW.h"
#include "TestSupport.h"

namespace {

constexpr uint32_t kWidth = 64;
constexpr uint32_t kHeight = 48;
constexpr uint16_t kDark = 300;
constexpr uint16_t kBright = 3000;

// A minimal linear DNG with an RGGB colour filter: dark left half, bright right half.
void WriteDng(const std::string& path) {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tiff, nullptr);
    TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, 0);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_CFA);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, kHeight);
    uint16_t repeat[2] = {2, 2};
    TIFFSetField(tiff, TIFFTAG_CFAREPEATPATTERNDIM, repeat);
    uint8_t pattern[4] = {0, 1, 1, 2};
    TIFFSetField(tiff, TIFFTAG_CFAPATTERN, uint16_t(4), pattern);
    uint8_t version[4] = {1, 4, 0, 0};
    TIFFSetField(tiff, TIFFTAG_DNGVERSION, version);
    TIFFSetField(tiff, TIFFTAG_MAKE, "Snipwell");
    TIFFSetField(tiff, TIFFTAG_MODEL, "Test");
    TIFFSetField(tiff, TIFFTAG_UNIQUECAMERAMODEL, "Snipwell Test");
    float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    TIFFSetField(tiff, TIFFTAG_COLORMATRIX1, uint16_t(9), identity);
    float neutral[3] = {1, 1, 1};
    TIFFSetField(tiff, TIFFTAG_ASSHOTNEUTRAL, uint16_t(3), neutral);
    uint32_t white = 4095;
    TIFFSetField(tiff, TIFFTAG_WHITELEVEL, uint16_t(1), &white);
    std::vector<uint16_t> row(kWidth);
    for (uint32_t y = 0; y < kHeight; ++y) {
        for (uint32_t x = 0; x < kWidth; ++x) row[x] = x < kWidth / 2 ? kDark : kBright;
        TIFFWriteScanline(tiff, row.data(), y, 0);
    }
    TIFFClose(tiff);
}

bool DecodeBytes(std::vector<uint8_t>& bytes, RasterImage& image) {
    RasterMemFile file(bytes.data(), uint32_t(bytes.size()));
    RasterImageRAW raw;
    const bool ok = raw.Decode(&file);
    if (ok) {
        image.TakeOver(raw);
    } else {
        image.SetLastError(raw.LastErrorText());
    }
    return ok;
}

int Luma(uint32_t c) {
    return (RasterRed(c) + RasterGreen(c) + RasterBlue(c)) / 3;
}

}  // namespace

TEST(CameraRawDecode, DevelopsALinearDngIntoAnOpaqueColourPicture) {
    testsupport::TempDir dir;
    const std::string path = (dir / "shot.dng").string();
    WriteDng(path);
    std::vector<uint8_t> bytes = testsupport::ReadFileBytes(path);

    RasterImage image;
    ASSERT_TRUE(DecodeBytes(bytes, image)) << image.LastErrorText();
    EXPECT_EQ(image.GetWidth(), kWidth);
    EXPECT_EQ(image.GetHeight(), kHeight);
    EXPECT_EQ(image.GetBpp(), 24u);
    EXPECT_FALSE(image.HasAlpha());
    EXPECT_EQ(image.GetType(), uint32_t(RASTER_FORMAT_RAW));
    // Away from the demosaicing seam the dark half stays darker, and a neutral raw stays grey.
    const uint32_t dark = testsupport::PictureColor(image, 8, kHeight / 2);
    const uint32_t bright = testsupport::PictureColor(image, kWidth - 8, kHeight / 2);
    EXPECT_LT(Luma(dark) + 40, Luma(bright));
    EXPECT_NEAR(RasterRed(bright), RasterGreen(bright), 12);
    EXPECT_NEAR(RasterBlue(bright), RasterGreen(bright), 12);
}

TEST(CameraRawDecode, RefusesDataThatIsNoCameraFile) {
    std::vector<uint8_t> noise(4096);
    uint32_t seed = 12345;
    for (uint8_t& b : noise) b = uint8_t((seed = seed * 1103515245u + 12345u) >> 16);
    RasterImage image;
    EXPECT_FALSE(DecodeBytes(noise, image));
    EXPECT_STRNE(image.LastErrorText(), "");
    std::vector<uint8_t> tiny{'I', 'I', 42, 0};
    EXPECT_FALSE(DecodeBytes(tiny, image));
}

TEST(CameraRawDecode, TruncatedDngFailsCleanly) {
    testsupport::TempDir dir;
    const std::string path = (dir / "shot.dng").string();
    WriteDng(path);
    const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(path);
    for (size_t n = 0; n < bytes.size(); n += 97) {
        std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + long(n));
        RasterImage image;
        DecodeBytes(prefix, image);  // either outcome is fine; it must not crash or hang
    }
}
