#include <gtest/gtest.h>
extern "C" {
#include <jbig.h>  // jbigkit has no C++ guards
}

#include <vector>

#include "image/RasterFile.h"
#include "image/RasterImage.h"
#include "image/formats/RasterImageJBG.h"
#include "TestSupport.h"

namespace {

void Collect(unsigned char* start, size_t length, void* target) {
    auto* out = static_cast<std::vector<uint8_t>*>(target);
    out->insert(out->end(), start, start + length);
}

// Encodes planes (each MSB-first rows of (width + 7) / 8 bytes) with jbigkit's encoder.
std::vector<uint8_t> EncodeJbig(uint32_t width, uint32_t height, std::vector<std::vector<uint8_t>>& planes) {
    std::vector<unsigned char*> pointers;
    for (auto& plane : planes) pointers.push_back(plane.data());
    std::vector<uint8_t> out;
    jbg_enc_state state;
    jbg_enc_init(&state, width, height, int(planes.size()), pointers.data(), Collect, &out);
    jbg_enc_out(&state);
    jbg_enc_free(&state);
    return out;
}

// A bilevel picture: a diagonal band and a frame, 1 = black.
std::vector<uint8_t> BilevelPlane(uint32_t width, uint32_t height) {
    const size_t rowBytes = (width + 7) / 8;
    std::vector<uint8_t> plane(rowBytes * height, 0);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const bool black = x == 0 || y == 0 || (x + y) % 7 < 2;
            if (black) plane[y * rowBytes + x / 8] |= uint8_t(0x80 >> (x % 8));
        }
    }
    return plane;
}

bool DecodeBytes(RasterImage& image, std::vector<uint8_t>& bytes) {
    RasterMemFile file(bytes.data(), uint32_t(bytes.size()));
    RasterImageJBG jbg;
    const bool ok = jbg.Decode(&file);
    if (ok) {
        image.TakeOver(jbg);
    } else {
        image.SetLastError(jbg.LastErrorText());
    }
    return ok;
}

}  // namespace

TEST(JbigDecode, BilevelPictureKeepsEveryPixelTopRowFirst) {
    const uint32_t width = 37, height = 21;
    std::vector<std::vector<uint8_t>> planes{BilevelPlane(width, height)};
    const std::vector<uint8_t> source = planes[0];
    std::vector<uint8_t> bytes = EncodeJbig(width, height, planes);

    RasterImage image;
    ASSERT_TRUE(DecodeBytes(image, bytes)) << image.LastErrorText();
    ASSERT_EQ(image.GetWidth(), width);
    ASSERT_EQ(image.GetHeight(), height);
    EXPECT_EQ(image.GetBpp(), 1u);
    EXPECT_EQ(image.GetType(), uint32_t(RASTER_FORMAT_JBG));
    const size_t rowBytes = (width + 7) / 8;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const bool black = source[y * rowBytes + x / 8] & (0x80 >> (x % 8));
            EXPECT_EQ(testsupport::PictureColor(image, x, y), black ? 0x000000u : 0xFFFFFFu) << x << "," << y;
        }
    }
}

TEST(JbigDecode, GreyPlanesBecomeAGreyRamp) {
    const uint32_t width = 16, height = 4, depth = 4;
    // One byte per pixel, values 0..15, split into four Gray-coded planes as jbigkit's tools do.
    std::vector<uint8_t> grey(width * height);
    for (uint32_t i = 0; i < grey.size(); ++i) grey[i] = uint8_t(i % 16);
    const size_t rowBytes = (width + 7) / 8;
    std::vector<std::vector<uint8_t>> planes(depth, std::vector<uint8_t>(rowBytes * height));
    std::vector<unsigned char*> pointers;
    for (auto& plane : planes) pointers.push_back(plane.data());
    jbg_split_planes(width, height, depth, depth, grey.data(), pointers.data(), 1);
    std::vector<uint8_t> bytes = EncodeJbig(width, height, planes);

    RasterImage image;
    ASSERT_TRUE(DecodeBytes(image, bytes)) << image.LastErrorText();
    EXPECT_EQ(image.GetBpp(), 8u);
    for (uint32_t x = 0; x < width; ++x) {
        const uint32_t v = x * 255 / 15;  // exact for a 4-bit ramp
        EXPECT_EQ(testsupport::PictureColor(image, x, 0), RasterRgb(uint8_t(v), uint8_t(v), uint8_t(v))) << x;
    }
}

TEST(JbigDecode, LoadFindsJbigByExtensionAndByContent) {
    std::vector<std::vector<uint8_t>> planes{BilevelPlane(20, 20)};
    const std::vector<uint8_t> bytes = EncodeJbig(20, 20, planes);
    testsupport::TempDir dir;
    testsupport::WriteFileBytes(dir / "page.jbg", bytes);
    testsupport::WriteFileBytes(dir / "page.bin", bytes);
    RasterImage byExtension;
    EXPECT_TRUE(byExtension.Load((dir / "page.jbg").c_str(), RasterImage::TypeFromExtension("page.jbg")));
    RasterImage byContent;
    EXPECT_TRUE(byContent.Load((dir / "page.bin").c_str(), 0)) << byContent.LastErrorText();
    EXPECT_EQ(byContent.GetType(), uint32_t(RASTER_FORMAT_JBG));
}

TEST(JbigDecode, DamagedFilesFailCleanly) {
    std::vector<std::vector<uint8_t>> planes{BilevelPlane(64, 48)};
    const std::vector<uint8_t> bytes = EncodeJbig(64, 48, planes);
    // Every prefix either fails or gives a picture; none crashes.
    for (size_t n = 0; n < bytes.size(); ++n) {
        std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + long(n));
        RasterImage image;
        if (!DecodeBytes(image, prefix)) {
            EXPECT_STRNE(image.LastErrorText(), "");
        }
    }
    // A header that claims 65535 x 65535 pixels over a few bytes.
    std::vector<uint8_t> bomb(bytes.begin(), bytes.begin() + 20);
    bomb[4] = bomb[8] = 0;
    bomb[5] = bomb[9] = 0;
    bomb[6] = bomb[10] = 0xFF;
    bomb[7] = bomb[11] = 0xFF;
    bomb.insert(bomb.end(), 8, 0);
    RasterImage image;
    EXPECT_FALSE(DecodeBytes(image, bomb));
    EXPECT_STREQ(image.LastErrorText(), "JBIG: the picture is larger than its data can fill");
    // 196608 x 196608 pixels no longer fit the memory limit at all.
    bomb[5] = bomb[9] = 3;
    bomb[6] = bomb[10] = bomb[7] = bomb[11] = 0;
    EXPECT_FALSE(DecodeBytes(image, bomb));
    EXPECT_STREQ(image.LastErrorText(), RasterTooLargeFor(196608, 196608, 1).text);
}

TEST(JbigDecode, RefusesDataThatIsNotJbig) {
    std::vector<uint8_t> text{'P', '6', '\n', '4', ' ', '4', '\n', '2', '5', '5', '\n',
                              0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    RasterImage image;
    EXPECT_FALSE(DecodeBytes(image, text));
}
