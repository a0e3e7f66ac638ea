#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/formats/RasterImageTGA.h"
#include "SimpleFormatTestSupport.h"
#include "TestSupport.h"

using simpleformat::DecodeBytes;
using simpleformat::ExpectDecodeFails;
using testsupport::PictureColor;

namespace {

enum : uint8_t { kRightToLeft = 0x10, kTopDown = 0x20 };

struct TgaFile {
    uint8_t imageType = 2;
    uint8_t pixelBits = 24;
    uint8_t descriptor = 0;
    uint16_t width = 1;
    uint16_t height = 1;
    std::vector<uint8_t> id;
    uint8_t mapType = 0;
    uint16_t mapFirst = 0;
    uint16_t mapLength = 0;
    uint8_t mapBits = 0;
    std::vector<uint8_t> map;
    std::vector<uint8_t> pixels;  // as stored (already RLE-coded for types 9-11)
    int attributesType = -1;      // >= 0: add a TGA 2.0 extension area and footer

    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> b(18, 0);
        b[0] = uint8_t(id.size());
        b[1] = mapType;
        b[2] = imageType;
        b[3] = uint8_t(mapFirst);
        b[4] = uint8_t(mapFirst >> 8);
        b[5] = uint8_t(mapLength);
        b[6] = uint8_t(mapLength >> 8);
        b[7] = mapBits;
        b[12] = uint8_t(width);
        b[13] = uint8_t(width >> 8);
        b[14] = uint8_t(height);
        b[15] = uint8_t(height >> 8);
        b[16] = pixelBits;
        b[17] = descriptor;
        b.insert(b.end(), id.begin(), id.end());
        b.insert(b.end(), map.begin(), map.end());
        b.insert(b.end(), pixels.begin(), pixels.end());
        if (attributesType >= 0) {
            const auto extension = uint32_t(b.size());
            std::vector<uint8_t> area(495, 0);
            area[0] = 495 & 0xFF;
            area[1] = 495 >> 8;
            area[494] = uint8_t(attributesType);
            b.insert(b.end(), area.begin(), area.end());
            const uint8_t footer[8] = {uint8_t(extension), uint8_t(extension >> 8), uint8_t(extension >> 16),
                                       uint8_t(extension >> 24), 0, 0, 0, 0};
            b.insert(b.end(), footer, footer + 8);
            const char signature[] = "TRUEVISION-XFILE.";
            b.insert(b.end(), signature, signature + sizeof(signature));
        }
        return b;
    }
};

// RLE packets over the whole pixel stream (so packets run on across rows): runs of equal
// pixels become repeat packets, the rest raw packets, at most 128 pixels each.
std::vector<uint8_t> RleCode(const std::vector<uint8_t>& raw, size_t pixelBytes) {
    std::vector<uint8_t> out;
    const size_t count = raw.size() / pixelBytes;
    auto same = [&](size_t a, size_t b) {
        return std::memcmp(&raw[a * pixelBytes], &raw[b * pixelBytes], pixelBytes) == 0;
    };
    size_t i = 0;
    while (i < count) {
        size_t run = 1;
        while (i + run < count && run < 128 && same(i, i + run)) ++run;
        if (run >= 2) {
            out.push_back(uint8_t(0x80 | (run - 1)));
            out.insert(out.end(), raw.begin() + std::ptrdiff_t(i * pixelBytes),
                       raw.begin() + std::ptrdiff_t((i + 1) * pixelBytes));
            i += run;
            continue;
        }
        size_t literal = 1;
        while (i + literal < count && literal < 128 && !(i + literal + 1 < count && same(i + literal, i + literal + 1))) {
            ++literal;
        }
        out.push_back(uint8_t(literal - 1));
        out.insert(out.end(), raw.begin() + std::ptrdiff_t(i * pixelBytes),
                   raw.begin() + std::ptrdiff_t((i + literal) * pixelBytes));
        i += literal;
    }
    return out;
}

// The picture's pixels in the file order the descriptor asks for, 3 bytes blue-green-red.
std::vector<uint8_t> FileOrderPixels(const RasterImage& picture, uint8_t descriptor) {
    std::vector<uint8_t> raw;
    const uint32_t w = picture.GetWidth();
    const uint32_t h = picture.GetHeight();
    for (uint32_t r = 0; r < h; ++r) {
        const uint32_t y = (descriptor & kTopDown) ? h - 1 - r : r;
        for (uint32_t c = 0; c < w; ++c) {
            const uint32_t x = (descriptor & kRightToLeft) ? w - 1 - c : c;
            const uint8_t* p = picture.PixelPointer(x, y);
            raw.insert(raw.end(), p, p + 3);
        }
    }
    return raw;
}

TgaFile TrueColorFile(const RasterImage& picture, uint8_t descriptor, bool rle) {
    TgaFile f;
    f.imageType = rle ? 10 : 2;
    f.descriptor = descriptor;
    f.width = uint16_t(picture.GetWidth());
    f.height = uint16_t(picture.GetHeight());
    f.pixels = FileOrderPixels(picture, descriptor);
    if (rle) f.pixels = RleCode(f.pixels, 3);
    return f;
}

// One row of 32-bit pixels with the given alpha values.
TgaFile AlphaFile(const std::vector<uint8_t>& alphas, uint8_t descriptor) {
    TgaFile f;
    f.pixelBits = 32;
    f.descriptor = descriptor;
    f.width = uint16_t(alphas.size());
    for (size_t i = 0; i < alphas.size(); ++i) {
        f.pixels.insert(f.pixels.end(), {uint8_t(10 * i), 20, 30, alphas[i]});
    }
    return f;
}


}  // namespace

TEST(RasterImageTGA, DecodesTrueColourInEveryOrientationPlainAndRle) {
    const RasterImage picture = testsupport::MakePatternImage(29, 13);
    for (uint8_t descriptor : {uint8_t(0), uint8_t(kTopDown), uint8_t(kRightToLeft), uint8_t(kTopDown | kRightToLeft)}) {
        for (bool rle : {false, true}) {
            TgaFile f = TrueColorFile(picture, descriptor, rle);
            f.id = {'h', 'i'};
            RasterImageTGA image;
            ASSERT_TRUE(DecodeBytes(image, f.Bytes())) << image.LastErrorText();
            EXPECT_EQ(image.GetBpp(), 24u);
            EXPECT_FALSE(image.HasAlpha());
            EXPECT_TRUE(testsupport::SamePixels(image, picture)) << "descriptor " << int(descriptor) << " rle " << rle;
        }
    }
}

TEST(RasterImageTGA, RlePacketsCrossRowsAndStopAtTheLastPixel) {
    // 3 x 2 picture, one repeat packet of 128 pixels: six pixels are used, the rest ignored.
    TgaFile f;
    f.imageType = 10;
    f.width = 3;
    f.height = 2;
    f.pixels = {0xFF, 0x01, 0x02, 0x03};
    RasterImageTGA image;
    ASSERT_TRUE(DecodeBytes(image, f.Bytes())) << image.LastErrorText();
    for (uint32_t y = 0; y < 2; ++y) {
        for (uint32_t x = 0; x < 3; ++x) EXPECT_EQ(PictureColor(image, x, y), RasterRgb(3, 2, 1));
    }
    // A raw packet that starts in the first row and ends in the second.
    f.pixels = {0x81, 9, 9, 9, 0x03, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};
    ASSERT_TRUE(DecodeBytes(image, f.Bytes())) << image.LastErrorText();
    EXPECT_EQ(PictureColor(image, 1, 1), RasterRgb(9, 9, 9));   // bottom row first
    EXPECT_EQ(PictureColor(image, 2, 1), RasterRgb(1, 1, 1));
    EXPECT_EQ(PictureColor(image, 0, 0), RasterRgb(2, 2, 2));
    EXPECT_EQ(PictureColor(image, 2, 0), RasterRgb(4, 4, 4));
}

TEST(RasterImageTGA, ExpandsFifteenAndSixteenBitColours) {
    for (uint8_t bits : {uint8_t(15), uint8_t(16)}) {
        TgaFile f;
        f.pixelBits = bits;
        f.width = 4;
        // red, green, blue, mid grey (16 of 31 per channel)
        f.pixels = {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0x10, 0x42};
        RasterImageTGA image;
        ASSERT_TRUE(DecodeBytes(image, f.Bytes())) << image.LastErrorText();
        EXPECT_EQ(PictureColor(image, 0, 0), RasterRgb(255, 0, 0));
        EXPECT_EQ(PictureColor(image, 1, 0), RasterRgb(0, 255, 0));
        EXPECT_EQ(PictureColor(image, 2, 0), RasterRgb(0, 0, 255));
        EXPECT_EQ(PictureColor(image, 3, 0), RasterRgb(132, 132, 132));
        EXPECT_FALSE(image.HasAlpha());
    }
}

TEST(RasterImageTGA, ColourMappedIndicesStartAtTheFirstMapEntry) {
    TgaFile f;
    f.imageType = 1;
    f.pixelBits = 8;
    f.mapType = 1;
    f.mapFirst = 2;
    f.mapLength = 3;
    f.mapBits = 24;
    f.map = {0, 0, 255, 0, 255, 0, 255, 0, 0};  // entries 2, 3, 4: red, green, blue
    f.width = 5;
    f.pixels = {2, 3, 4, 0, 5};
    RasterImageTGA image;
    ASSERT_TRUE(DecodeBytes(image, f.Bytes())) << image.LastErrorText();
    EXPECT_EQ(image.GetBpp(), 8u);
    EXPECT_EQ(PictureColor(image, 0, 0), RasterRgb(255, 0, 0));
    EXPECT_EQ(PictureColor(image, 1, 0), RasterRgb(0, 255, 0));
    EXPECT_EQ(PictureColor(image, 2, 0), RasterRgb(0, 0, 255));
    EXPECT_EQ(PictureColor(image, 3, 0), RasterRgb(0, 0, 0));  // outside the map
    EXPECT_EQ(PictureColor(image, 4, 0), RasterRgb(0, 0, 0));

    // 16-bit map entries, RLE indices.
    f.imageType = 9;
    f.mapFirst = 0;
    f.mapLength = 2;
    f.mapBits = 16;
    f.map = {0x00, 0x7C, 0xFF, 0x7F};  // red, white
    f.pixels = {0x82, 1, 0x01, 0, 0};
    ASSERT_TRUE(DecodeBytes(image, f.Bytes())) << image.LastErrorText();
    EXPECT_EQ(PictureColor(image, 0, 0), RasterRgb(255, 255, 255));
    EXPECT_EQ(PictureColor(image, 2, 0), RasterRgb(255, 255, 255));
    EXPECT_EQ(PictureColor(image, 3, 0), RasterRgb(255, 0, 0));
}

TEST(RasterImageTGA, DecodesGreyPlainAndRle) {
    TgaFile f;
    f.imageType = 3;
    f.pixelBits = 8;
    f.width = 3;
    f.pixels = {0, 100, 255};
    RasterImageTGA image;
    ASSERT_TRUE(DecodeBytes(image, f.Bytes())) << image.LastErrorText();
    EXPECT_EQ(image.GetBpp(), 8u);
    EXPECT_TRUE(image.IsGrayPalette());
    EXPECT_EQ(PictureColor(image, 1, 0), RasterRgb(100, 100, 100));
    f.imageType = 11;
    f.pixels = {0x82, 77};
    ASSERT_TRUE(DecodeBytes(image, f.Bytes())) << image.LastErrorText();
    EXPECT_EQ(PictureColor(image, 2, 0), RasterRgb(77, 77, 77));
}

TEST(RasterImageTGA, ThirtyTwoBitAlphaBecomesAnAlphaPlane) {
    RasterImageTGA image;
    ASSERT_TRUE(DecodeBytes(image, AlphaFile({0, 128, 255}, 8).Bytes())) << image.LastErrorText();
    EXPECT_EQ(image.GetBpp(), 24u);
    ASSERT_TRUE(image.HasAlpha());
    EXPECT_EQ(*image.AlphaPointer(0, 0), 0);
    EXPECT_EQ(*image.AlphaPointer(1, 0), 128);
    EXPECT_EQ(*image.AlphaPointer(2, 0), 255);
    EXPECT_EQ(PictureColor(image, 1, 0), RasterRgb(30, 20, 10));

    // Alpha bytes that vary count even when the descriptor forgot to declare them.
    ASSERT_TRUE(DecodeBytes(image, AlphaFile({0, 128, 255}, 0).Bytes()));
    EXPECT_TRUE(image.HasAlpha());
}

TEST(RasterImageTGA, AlphaThatMeansNothingGivesNoPlane) {
    RasterImageTGA image;
    ASSERT_TRUE(DecodeBytes(image, AlphaFile({0, 0, 0}, 0).Bytes()));
    EXPECT_FALSE(image.HasAlpha()) << "all-zero alpha without declared alpha bits";
    ASSERT_TRUE(DecodeBytes(image, AlphaFile({255, 255, 255}, 8).Bytes()));
    EXPECT_FALSE(image.HasAlpha()) << "all opaque";
    TgaFile f = AlphaFile({0, 128, 255}, 8);
    f.attributesType = 2;  // "undefined data, retain": not alpha
    ASSERT_TRUE(DecodeBytes(image, f.Bytes()));
    EXPECT_FALSE(image.HasAlpha()) << "extension area says the bits are not alpha";
    f.attributesType = 3;
    ASSERT_TRUE(DecodeBytes(image, f.Bytes()));
    EXPECT_TRUE(image.HasAlpha()) << "extension area says alpha";
    f.attributesType = 0;  // "no alpha", but the descriptor declares 8 alpha bits
    ASSERT_TRUE(DecodeBytes(image, f.Bytes()));
    EXPECT_TRUE(image.HasAlpha()) << "declared alpha bits win over an unfilled extension area";
    f.descriptor = 0;
    ASSERT_TRUE(DecodeBytes(image, f.Bytes()));
    EXPECT_FALSE(image.HasAlpha()) << "neither the descriptor nor the extension area declare alpha";
}

TEST(RasterImageTGA, PremultipliedAlphaIsUndone) {
    TgaFile f;
    f.pixelBits = 32;
    f.descriptor = 8;
    f.width = 2;
    f.pixels = {64, 32, 128, 128, 9, 9, 9, 255};
    f.attributesType = 4;
    RasterImageTGA image;
    ASSERT_TRUE(DecodeBytes(image, f.Bytes())) << image.LastErrorText();
    ASSERT_TRUE(image.HasAlpha());
    EXPECT_EQ(PictureColor(image, 0, 0), RasterRgb(255, 64, 128));
    EXPECT_EQ(PictureColor(image, 1, 0), RasterRgb(9, 9, 9));
}

TEST(RasterImageTGA, SixteenBitAttributeBitGivesAlphaWhenDeclared) {
    TgaFile f;
    f.pixelBits = 16;
    f.descriptor = 1;
    f.width = 2;
    f.pixels = {0x1F, 0x80, 0x1F, 0x00};  // blue opaque, blue transparent
    RasterImageTGA image;
    ASSERT_TRUE(DecodeBytes(image, f.Bytes())) << image.LastErrorText();
    ASSERT_TRUE(image.HasAlpha());
    EXPECT_EQ(*image.AlphaPointer(0, 0), 255);
    EXPECT_EQ(*image.AlphaPointer(1, 0), 0);
    f.descriptor = 0;  // undeclared attribute bits are ignored
    ASSERT_TRUE(DecodeBytes(image, f.Bytes()));
    EXPECT_FALSE(image.HasAlpha());
}

TEST(RasterImageTGA, RejectsImplausibleHeaders) {
    struct Case {
        const char* what;
        TgaFile file;
        const char* error;
    };
    TgaFile base;
    base.width = 2;
    base.pixels.assign(6, 0);
    auto with = [&](auto change) {
        TgaFile f = base;
        change(f);
        return f;
    };
    const Case cases[] = {
        {"no image data", with([](TgaFile& f) { f.imageType = 0; }), "TGA: unknown or unsupported image type"},
        {"type 4", with([](TgaFile& f) { f.imageType = 4; }), "TGA: unknown or unsupported image type"},
        {"huffman type 32", with([](TgaFile& f) { f.imageType = 32; }), "TGA: unknown or unsupported image type"},
        {"map type 2", with([](TgaFile& f) { f.mapType = 2; }), "TGA: invalid colour map type"},
        {"map length without map", with([](TgaFile& f) { f.mapLength = 4; }), "TGA: invalid colour map"},
        {"odd map depth", with([](TgaFile& f) {
             f.mapType = 1; f.mapLength = 1; f.mapBits = 12; f.map = {0, 0};
         }), "TGA: invalid colour map"},
        {"mapped without map", with([](TgaFile& f) { f.imageType = 1; f.pixelBits = 8; }),
         "TGA: unsupported colour-mapped depth"},
        {"true colour 8 bits", with([](TgaFile& f) { f.pixelBits = 8; }), "TGA: unsupported true-colour depth"},
        {"grey 16 bits", with([](TgaFile& f) { f.imageType = 3; f.pixelBits = 16; }), "TGA: unsupported grey depth"},
        {"zero width", with([](TgaFile& f) { f.width = 0; }), "TGA: invalid picture size"},
        {"zero height", with([](TgaFile& f) { f.height = 0; }), "TGA: invalid picture size"},
        {"interleaved", with([](TgaFile& f) { f.descriptor = 0x40; }), "TGA: unsupported image descriptor"},
        {"short pixels", with([](TgaFile& f) { f.pixels.pop_back(); }), "TGA: image data truncated"},
        {"map past the end", with([](TgaFile& f) {
             f.mapType = 1; f.mapLength = 300; f.mapBits = 24; f.pixels.clear();
         }), "TGA: image data truncated"},
        {"rle runs dry", with([](TgaFile& f) { f.imageType = 10; f.width = 200; f.pixels = {0x80, 1, 2, 3, 0x80, 1, 2, 3}; }),
         "TGA: image data truncated"},
    };
    for (const Case& c : cases) ExpectDecodeFails<RasterImageTGA>(c.file.Bytes(), c.error, c.what);
    ExpectDecodeFails<RasterImageTGA>({}, "TGA: file too short", "empty");
    ExpectDecodeFails<RasterImageTGA>(std::vector<uint8_t>(17, 0), "TGA: file too short", "17 bytes");
}

TEST(RasterImageTGA, HugeHeadersOverFewBytesFailBeforeAllocating) {
    TgaFile f;
    f.width = 65535;
    f.height = 65535;
    f.pixels = {0xFF, 1, 2, 3};
    f.imageType = 10;
    ExpectDecodeFails<RasterImageTGA>(f.Bytes(), RasterTooLargeFor(65535, 65535, 24).text, "65535 x 65535 true colour");
    // Within the memory limit (about 500 MB) but far beyond what 4 bytes of RLE can fill.
    f.imageType = 11;
    f.pixelBits = 8;
    f.height = 8000;
    f.pixels = {0xFF, 7};
    ExpectDecodeFails<RasterImageTGA>(f.Bytes(), "TGA: image data truncated", "65535 x 8000 grey RLE");
}

TEST(RasterImageTGA, EveryPrefixFailsCleanlyOrDecodes) {
    RasterImage picture = testsupport::MakePatternImage(9, 5);
    TgaFile f = TrueColorFile(picture, kTopDown, true);
    f.attributesType = 3;
    simpleformat::ExpectEveryPrefixHandled<RasterImageTGA>(f.Bytes());
}

TEST(RasterImageTGA, IsFoundByContentDetection) {
    const RasterImage picture = testsupport::MakePatternImage(6, 4);
    RasterImage image;
    ASSERT_TRUE(simpleformat::DecodeByDetection(image, TrueColorFile(picture, 0, true).Bytes())) << image.LastErrorText();
    EXPECT_EQ(image.GetType(), uint32_t(RASTER_FORMAT_TGA));
    EXPECT_TRUE(testsupport::SamePixels(image, picture));
}

TEST(RasterImageTGA, CannotBeWritten) {
    simpleformat::ExpectCannotBeWritten(RASTER_FORMAT_TGA, "Encode: TGA cannot be saved");
}

TEST(RasterImageTGA, MatchesImageMagickOutputExactly) {
    if (simpleformat::ConvertProgram().empty()) GTEST_SKIP() << "ImageMagick convert is not installed";
    // Few enough pixels for a 256-entry colour map to hold every colour.
    const RasterImage picture = testsupport::MakePatternImage(23, 11);
    RasterImage grey = testsupport::MakePatternImage(23, 11);
    for (uint32_t y = 0; y < 11; ++y) {
        for (uint32_t x = 0; x < 23; ++x) {
            uint8_t* p = grey.PixelPointer(x, y);
            p[1] = p[2] = p[0];
        }
    }
    RasterImage withAlpha = picture;
    testsupport::AddPatternAlpha(withAlpha);
    struct Case {
        const char* options;
        const RasterImage* source;
        uint8_t imageType;
    };
    const Case cases[] = {
        {"-compress None", &picture, 2},  {"-compress RLE", &picture, 10},
        {"-type Palette -compress None", &picture, 1}, {"-type Palette -compress RLE", &picture, 9},
        {"-type Grayscale -compress None", &grey, 3},  {"-type Grayscale -compress RLE", &grey, 11},
        {"-compress None", &withAlpha, 2},
    };
    for (const Case& c : cases) {
        // ImageMagick 6 writes the rows in the order it holds them (top first) and only
        // states the orientation it was given: without one it claims a bottom-left origin
        // over top-first rows. Stating the top-left origin makes the file consistent.
        const std::string options = std::string(c.options) + " -orient TopLeft";
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(simpleformat::ConvertPicture(*c.source, options, "out.tga", bytes)) << c.options;
        ASSERT_GE(bytes.size(), 18u);
        EXPECT_EQ(bytes[2], c.imageType) << c.options;
        RasterImageTGA image;
        ASSERT_TRUE(DecodeBytes(image, bytes)) << c.options << ": " << image.LastErrorText();
        EXPECT_TRUE(testsupport::SamePixels(simpleformat::ToTrueColor(image), *c.source)) << c.options;
    }
}
