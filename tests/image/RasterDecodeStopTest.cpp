// A decode stops once the image's escape flag is raised from outside (another thread in the
// program), in every format the browser lists, and a lowered flag changes nothing.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "image/RasterFile.h"
#include "image/formats/RasterFormatSupport.h"
#include "TestSupport.h"

using testsupport::MakePatternImage;

namespace {

constexpr uint32_t kWidth = 96;
constexpr uint32_t kHeight = 64;

std::vector<uint8_t> Encoded(RasterImage& picture, uint32_t type) {
    RasterMemFile file;
    EXPECT_TRUE(file.Open());
    EXPECT_TRUE(picture.Encode(&file, type)) << picture.LastErrorText();
    const auto* data = file.GetBuffer();
    return std::vector<uint8_t>(data, data + file.Size());
}

// An RGB TIFF in several strips, written by libtiff.
std::vector<uint8_t> TiffOf(const RasterImage& picture, const testsupport::TempDir& dir) {
    const std::string path = (dir / "stop.tif").string();
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    EXPECT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 8);
    std::vector<uint8_t> row(size_t(kWidth) * 3);
    for (uint32_t y = 0; y < kHeight; ++y) {
        const uint8_t* bgr = picture.RowPointer(kHeight - 1 - y);
        for (uint32_t x = 0; x < kWidth; ++x) {
            row[x * 3] = bgr[x * 3 + 2];
            row[x * 3 + 1] = bgr[x * 3 + 1];
            row[x * 3 + 2] = bgr[x * 3];
        }
        TIFFWriteScanline(tif, row.data(), y, 0);
    }
    TIFFClose(tif);
    return testsupport::ReadFileBytes(dir / "stop.tif");
}

}  // namespace

TEST(RasterDecodeStop, RaisedFlagStopsEveryListedFormatAndALoweredOneChangesNothing) {
    testsupport::TempDir dir;
    RasterImage picture = MakePatternImage(kWidth, kHeight);
    RasterImage palette = MakePatternImage(kWidth, kHeight, 8);
    const struct {
        const char* name;
        uint32_t type;
        std::vector<uint8_t> bytes;
    } files[] = {
        {"BMP", RASTER_FORMAT_BMP, Encoded(picture, RASTER_FORMAT_BMP)},
        {"GIF", RASTER_FORMAT_GIF, Encoded(palette, RASTER_FORMAT_GIF)},
        {"JPEG", RASTER_FORMAT_JPG, Encoded(picture, RASTER_FORMAT_JPG)},
        {"PNG", RASTER_FORMAT_PNG, Encoded(picture, RASTER_FORMAT_PNG)},
        {"TIFF", RASTER_FORMAT_TIF, TiffOf(picture, dir)},
    };
    for (const auto& file : files) {
        ASSERT_FALSE(file.bytes.empty()) << file.name;
        std::vector<uint8_t> bytes = file.bytes;
        std::atomic<bool> stop{true};
        RasterImage stopped;
        stopped.WatchEscapeFlag(&stop);
        EXPECT_FALSE(stopped.Decode(bytes.data(), uint32_t(bytes.size()), file.type)) << file.name;
        EXPECT_STREQ(stopped.LastErrorText(), RASTER_DECODE_STOPPED) << file.name;

        stop.store(false);
        RasterImage decoded;
        decoded.WatchEscapeFlag(&stop);
        ASSERT_TRUE(decoded.Decode(bytes.data(), uint32_t(bytes.size()), file.type)) << file.name << decoded.LastErrorText();
        EXPECT_EQ(decoded.GetWidth(), kWidth) << file.name;
        EXPECT_EQ(decoded.GetHeight(), kHeight) << file.name;
    }
}
