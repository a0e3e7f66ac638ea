#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <string>
#include <vector>

#include "image/formats/RasterImageICO.h"
#include "SimpleFormatTestSupport.h"
#include "TestSupport.h"

using simpleformat::DecodeBytes;
using simpleformat::ExpectDecodeFails;
using testsupport::PictureColor;

namespace {

void PutLe(std::vector<uint8_t>& b, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(i < 4 ? uint8_t(v >> (8 * i)) : uint8_t(0));
}

void PutBe32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 3; i >= 0; --i) b.push_back(uint8_t(v >> (8 * i)));
}

// A bitmap entry: info header (height doubled), palette, colour rows, AND mask rows.
struct IconBitmap {
    uint32_t width = 4;
    uint32_t height = 4;
    uint32_t bits = 8;
    std::vector<RasterRgbQuad> palette;
    // Picture coordinates; a palette index, or 0xAARRGGBB for 24 and 32 bits.
    std::function<uint32_t(uint32_t, uint32_t)> value = [](uint32_t, uint32_t) { return 0u; };
    std::function<bool(uint32_t, uint32_t)> transparent = [](uint32_t, uint32_t) { return false; };
    bool withMask = true;
    uint32_t colorsUsed = 0;
    uint32_t compression = 0;

    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> b;
        PutLe(b, 40, 4);
        PutLe(b, width, 4);
        PutLe(b, 2 * height, 4);
        PutLe(b, 1, 2);
        PutLe(b, bits, 2);
        PutLe(b, compression, 4);
        PutLe(b, 0, 4 * 3);
        PutLe(b, colorsUsed, 4);
        PutLe(b, 0, 4);
        for (const RasterRgbQuad& q : palette) b.insert(b.end(), {q.rgbBlue, q.rgbGreen, q.rgbRed, 0});
        const uint32_t stride = (width * bits + 31) / 32 * 4;
        for (uint32_t row = 0; row < height; ++row) {
            const uint32_t y = height - 1 - row;  // bottom row first
            std::vector<uint8_t> line(stride, 0);
            for (uint32_t x = 0; x < width; ++x) {
                const uint32_t v = value(x, y);
                if (bits >= 24) {
                    for (uint32_t i = 0; i < bits / 8; ++i) line[x * (bits / 8) + i] = uint8_t(v >> (8 * i));
                } else {
                    line[x * bits / 8] |= uint8_t(v << (8 - bits - (x * bits) % 8));
                }
            }
            b.insert(b.end(), line.begin(), line.end());
        }
        if (!withMask) return b;
        const uint32_t maskStride = (width + 31) / 32 * 4;
        for (uint32_t row = 0; row < height; ++row) {
            const uint32_t y = height - 1 - row;
            std::vector<uint8_t> line(maskStride, 0);
            for (uint32_t x = 0; x < width; ++x) {
                if (transparent(x, y)) line[x / 8] |= uint8_t(0x80 >> (x % 8));
            }
            b.insert(b.end(), line.begin(), line.end());
        }
        return b;
    }
};

// An icon (type 1) or cursor (type 2) file holding the images in this order. The
// directory's own size and depth fields are filled with misleading values on purpose:
// the decoder must go by the image headers.
std::vector<uint8_t> IconFile(const std::vector<std::vector<uint8_t>>& images, uint16_t type = 1) {
    std::vector<uint8_t> b;
    PutLe(b, 0, 2);
    PutLe(b, type, 2);
    PutLe(b, uint32_t(images.size()), 2);
    uint32_t offset = uint32_t(6 + 16 * images.size());
    for (const auto& image : images) {
        b.insert(b.end(), {0, 0, 0, 0});  // width and height 0 mean 256
        PutLe(b, 1, 2);
        PutLe(b, 1, 2);
        PutLe(b, uint32_t(image.size()), 4);
        PutLe(b, offset, 4);
        offset += uint32_t(image.size());
    }
    for (const auto& image : images) b.insert(b.end(), image.begin(), image.end());
    return b;
}

std::vector<RasterRgbQuad> Palette(uint32_t n) {
    std::vector<RasterRgbQuad> p;
    for (uint32_t i = 0; i < n; ++i) p.push_back(RasterRgbQuad{uint8_t(i * 3), uint8_t(255 - i), uint8_t(i * 7), 0});
    return p;
}

uint32_t PaletteColour(uint32_t i) { return RasterRgb(uint8_t(i * 7), uint8_t(255 - i), uint8_t(i * 3)); }

uint32_t Pattern(uint32_t x, uint32_t y) { return x * 5 + y * 3 + x * y; }

// A PNG of w x h RGBA pixels, stored with zlib.
std::vector<uint8_t> PngFile(uint32_t w, uint32_t h, const std::function<uint32_t(uint32_t, uint32_t)>& rgba) {
    std::vector<uint8_t> b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    auto chunk = [&](const char* type, const std::vector<uint8_t>& data) {
        PutBe32(b, uint32_t(data.size()));
        const size_t start = b.size();
        b.insert(b.end(), type, type + 4);
        b.insert(b.end(), data.begin(), data.end());
        PutBe32(b, uint32_t(crc32(0, b.data() + start, uInt(b.size() - start))));
    };
    std::vector<uint8_t> ihdr;
    PutBe32(ihdr, w);
    PutBe32(ihdr, h);
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
    chunk("IHDR", ihdr);
    std::vector<uint8_t> raw;
    for (uint32_t y = 0; y < h; ++y) {
        raw.push_back(0);
        for (uint32_t x = 0; x < w; ++x) PutBe32(raw, rgba(x, y));
    }
    uLongf size = compressBound(uLong(raw.size()));
    std::vector<uint8_t> z(size);
    compress(z.data(), &size, raw.data(), uLong(raw.size()));
    z.resize(size);
    chunk("IDAT", z);
    chunk("IEND", {});
    return b;
}


}  // namespace

TEST(RasterImageICO, PaletteIconWithAndMaskGetsAlpha) {
    IconBitmap bmp;
    bmp.width = 21;
    bmp.height = 6;
    bmp.palette = Palette(256);
    bmp.value = [](uint32_t x, uint32_t y) { return Pattern(x, y) & 0xFF; };
    bmp.transparent = [](uint32_t x, uint32_t y) { return x == 0 || y == 5; };
    RasterImageICO image;
    ASSERT_TRUE(DecodeBytes(image, IconFile({bmp.Bytes()}))) << image.LastErrorText();
    EXPECT_EQ(image.GetType(), uint32_t(RASTER_FORMAT_ICO));
    ASSERT_EQ(image.GetWidth(), 21u);
    ASSERT_EQ(image.GetHeight(), 6u);
    EXPECT_EQ(image.GetBpp(), 8u);
    ASSERT_TRUE(image.HasAlpha());
    for (uint32_t y = 0; y < 6; ++y) {
        for (uint32_t x = 0; x < 21; ++x) {
            ASSERT_EQ(PictureColor(image, x, y), PaletteColour(Pattern(x, y) & 0xFF)) << x << "," << y;
            ASSERT_EQ(*image.AlphaPointer(x, 5 - y), bmp.transparent(x, y) ? 0 : 255) << x << "," << y;
        }
    }
}

TEST(RasterImageICO, DecodesOneFourAndTwentyFourBitIcons) {
    for (uint32_t bits : {1u, 4u, 24u}) {
        IconBitmap bmp;
        bmp.width = 35;  // rows and mask rows need padding
        bmp.height = 3;
        bmp.bits = bits;
        const uint32_t mask = bits == 24 ? 0xFFFFFF : (1u << bits) - 1;
        if (bits <= 8) bmp.palette = Palette(1u << bits);
        bmp.value = [&](uint32_t x, uint32_t y) { return bits == 24 ? Pattern(x, y) * 0x010203u : Pattern(x, y) & mask; };
        RasterImageICO image;
        ASSERT_TRUE(DecodeBytes(image, IconFile({bmp.Bytes()}))) << bits << ": " << image.LastErrorText();
        EXPECT_EQ(image.GetBpp(), bits);
        EXPECT_FALSE(image.HasAlpha()) << "an empty AND mask needs no plane";
        for (uint32_t y = 0; y < 3; ++y) {
            for (uint32_t x = 0; x < 35; ++x) {
                const uint32_t v = bmp.value(x, y);
                const uint32_t expected = bits == 24 ? RasterRgb(uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)) : PaletteColour(v);
                ASSERT_EQ(PictureColor(image, x, y), expected) << bits << ": " << x << "," << y;
            }
        }
    }
}

TEST(RasterImageICO, ThirtyTwoBitAlphaWinsOverTheMaskUnlessItIsEmpty) {
    IconBitmap bmp;
    bmp.width = 3;
    bmp.height = 1;
    bmp.bits = 32;
    bmp.value = [](uint32_t x, uint32_t) { return (x == 0 ? 0u : x == 1 ? 0x80000000u : 0xFF000000u) | 0x102030u; };
    bmp.transparent = [](uint32_t x, uint32_t) { return x == 2; };
    RasterImageICO image;
    ASSERT_TRUE(DecodeBytes(image, IconFile({bmp.Bytes()}))) << image.LastErrorText();
    EXPECT_EQ(image.GetBpp(), 24u);
    EXPECT_EQ(PictureColor(image, 0, 0), RasterRgb(0x10, 0x20, 0x30));
    ASSERT_TRUE(image.HasAlpha());
    EXPECT_EQ(*image.AlphaPointer(0, 0), 0);
    EXPECT_EQ(*image.AlphaPointer(1, 0), 0x80);
    EXPECT_EQ(*image.AlphaPointer(2, 0), 0xFF);

    // All alpha bytes zero: the colours carry no alpha, the mask decides.
    bmp.value = [](uint32_t, uint32_t) { return 0x102030u; };
    ASSERT_TRUE(DecodeBytes(image, IconFile({bmp.Bytes()})));
    ASSERT_TRUE(image.HasAlpha());
    EXPECT_EQ(*image.AlphaPointer(0, 0), 255);
    EXPECT_EQ(*image.AlphaPointer(2, 0), 0);

    // All opaque: no plane. Without a mask at all: still decodes.
    bmp.value = [](uint32_t, uint32_t) { return 0xFF102030u; };
    bmp.withMask = false;
    ASSERT_TRUE(DecodeBytes(image, IconFile({bmp.Bytes()}))) << image.LastErrorText();
    EXPECT_FALSE(image.HasAlpha());
}

TEST(RasterImageICO, ChoosesTheLargestThenTheDeepestImage) {
    auto make = [](uint32_t size, uint32_t bits, uint8_t tag) {
        IconBitmap bmp;
        bmp.width = bmp.height = size;
        bmp.bits = bits;
        if (bits <= 8) bmp.palette = std::vector<RasterRgbQuad>(1u << bits, RasterRgbQuad{tag, tag, tag, 0});
        bmp.value = [tag, bits](uint32_t, uint32_t) { return bits <= 8 ? 0u : 0xFF000000u | tag; };
        return bmp.Bytes();
    };
    const std::vector<uint8_t> file =
        IconFile({make(16, 32, 1), make(32, 4, 2), make(32, 8, 3), make(24, 24, 4)});
    RasterImageICO image;
    ASSERT_TRUE(DecodeBytes(image, file)) << image.LastErrorText();
    EXPECT_EQ(image.GetWidth(), 32u);
    EXPECT_EQ(image.GetBpp(), 8u);
    EXPECT_EQ(PictureColor(image, 5, 5), RasterRgb(3, 3, 3));
}

TEST(RasterImageICO, FallsBackWhenTheBestImageIsDamaged) {
    IconBitmap small;
    small.width = small.height = 8;
    small.bits = 24;
    small.value = [](uint32_t, uint32_t) { return 0x00FF00u; };
    IconBitmap big;
    big.width = big.height = 48;
    big.bits = 24;
    std::vector<uint8_t> damaged = big.Bytes();
    damaged.resize(100);  // header fine, rows missing
    RasterImageICO image;
    ASSERT_TRUE(DecodeBytes(image, IconFile({damaged, small.Bytes()}))) << image.LastErrorText();
    EXPECT_EQ(image.GetWidth(), 8u);
    EXPECT_EQ(PictureColor(image, 0, 0), RasterRgb(0, 255, 0));
    ExpectDecodeFails<RasterImageICO>(IconFile({damaged}), "ICO: image data truncated", "only the damaged image");

    // Fallbacks are bounded: a directory of many broken images is not decoded endlessly.
    auto damagedOf = [&](uint32_t size) {
        IconBitmap b;
        b.width = b.height = size;
        std::vector<uint8_t> bytes = b.Bytes();
        bytes.resize(60);
        return bytes;
    };
    ASSERT_TRUE(DecodeBytes(image, IconFile({damagedOf(40), damagedOf(41), damagedOf(42), small.Bytes()})));
    ExpectDecodeFails<RasterImageICO>(IconFile({damagedOf(40), damagedOf(41), damagedOf(42), damagedOf(43), small.Bytes()}),
                      "ICO: image data truncated", "five images, four broken");
}

TEST(RasterImageICO, DecodesCursors) {
    IconBitmap bmp;
    bmp.bits = 1;
    bmp.palette = {RasterRgbQuad{0, 0, 0, 0}, RasterRgbQuad{255, 255, 255, 0}};
    bmp.value = [](uint32_t x, uint32_t) { return x & 1; };
    RasterImageICO image;
    ASSERT_TRUE(DecodeBytes(image, IconFile({bmp.Bytes()}, 2))) << image.LastErrorText();
    EXPECT_EQ(PictureColor(image, 1, 0), RasterRgb(255, 255, 255));
}

TEST(RasterImageICO, DecodesPngEntries) {
    auto rgba = [](uint32_t x, uint32_t y) { return (Pattern(x, y) * 0x01020300u) | (x == 0 ? 0u : 0xFFu); };
    const std::vector<uint8_t> png = PngFile(5, 3, rgba);
    {
        // The PNG reader itself may not be part of this build yet.
        RasterImage probe;
        if (!probe.Decode(std::vector<uint8_t>(png).data(), uint32_t(png.size()), RASTER_FORMAT_PNG)) {
            GTEST_SKIP() << "PNG reader unavailable: " << probe.LastErrorText();
        }
    }
    IconBitmap small;
    small.width = small.height = 2;
    small.bits = 24;
    RasterImageICO image;
    ASSERT_TRUE(DecodeBytes(image, IconFile({small.Bytes(), png}))) << image.LastErrorText();
    EXPECT_EQ(image.GetType(), uint32_t(RASTER_FORMAT_ICO));
    ASSERT_EQ(image.GetWidth(), 5u);
    ASSERT_EQ(image.GetHeight(), 3u);
    ASSERT_TRUE(image.HasAlpha());
    for (uint32_t y = 0; y < 3; ++y) {
        for (uint32_t x = 0; x < 5; ++x) {
            const uint32_t v = rgba(x, y);
            EXPECT_EQ(PictureColor(image, x, y), RasterRgb(uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8)));
            EXPECT_EQ(*image.AlphaPointer(x, 2 - y), uint8_t(v));
        }
    }
}

TEST(RasterImageICO, RejectsBadDirectoriesAndEntries) {
    IconBitmap bmp;
    const std::vector<uint8_t> good = IconFile({bmp.Bytes()});
    auto patched = [&](size_t at, std::vector<uint8_t> bytes) {
        std::vector<uint8_t> f = good;
        std::copy(bytes.begin(), bytes.end(), f.begin() + std::ptrdiff_t(at));
        return f;
    };
    ExpectDecodeFails<RasterImageICO>(patched(0, {1}), "ICO: not an icon or cursor file", "reserved");
    ExpectDecodeFails<RasterImageICO>(patched(2, {3}), "ICO: not an icon or cursor file", "type 3");
    ExpectDecodeFails<RasterImageICO>(patched(4, {0}), "ICO: not an icon or cursor file", "no entries");
    ExpectDecodeFails<RasterImageICO>(patched(4, {200}), "ICO: icon directory truncated", "200 entries");
    ExpectDecodeFails<RasterImageICO>(patched(18, {10, 0, 0, 0}), "ICO: no readable image in the icon directory", "offset in directory");
    ExpectDecodeFails<RasterImageICO>(patched(18, {0, 0, 1, 0}), "ICO: no readable image in the icon directory", "offset past end");
    ExpectDecodeFails<RasterImageICO>(patched(22 + 16, {1}), "ICO: no readable image in the icon directory", "compressed bitmap");
    ExpectDecodeFails<RasterImageICO>(patched(22 + 14, {16}), "ICO: no readable image in the icon directory", "16 bits");
    ExpectDecodeFails<RasterImageICO>(patched(22 + 32, {0, 2}), "ICO: invalid palette size", "512 colours for 8 bits");
    ExpectDecodeFails<RasterImageICO>({0, 0, 1, 0}, "ICO: file too short", "4 bytes");
}

TEST(RasterImageICO, HugeImagesOverFewBytesFailBeforeAllocating) {
    IconBitmap bmp;
    std::vector<uint8_t> entry = bmp.Bytes();
    auto setSize = [&](uint32_t w, uint32_t h) {
        for (int i = 0; i < 4; ++i) {
            entry[4 + i] = uint8_t(w >> (8 * i));
            entry[8 + i] = uint8_t((2 * h) >> (8 * i));
        }
    };
    // Within the memory limit (about 500 MB) but far beyond the bytes present.
    setSize(65535, 8000);
    ExpectDecodeFails<RasterImageICO>(IconFile({entry}), "ICO: image data truncated", "65535 x 8000 over a few bytes");
    setSize(100000, 100000);
    ExpectDecodeFails<RasterImageICO>(IconFile({entry}), RasterTooLargeFor(100000, 100000, 8).text, "100000 x 100000");
}

TEST(RasterImageICO, EveryPrefixFailsCleanlyOrDecodes) {
    IconBitmap a;
    a.width = a.height = 5;
    a.bits = 32;
    a.value = [](uint32_t x, uint32_t y) { return Pattern(x, y) * 0x01010101u; };
    IconBitmap b;
    b.palette = Palette(16);
    b.bits = 4;
    b.colorsUsed = 16;
    simpleformat::ExpectEveryPrefixHandled<RasterImageICO>(IconFile({a.Bytes(), b.Bytes()}));
}

TEST(RasterImageICO, IsFoundByContentDetection) {
    IconBitmap bmp;
    bmp.bits = 24;
    bmp.value = [](uint32_t x, uint32_t y) { return Pattern(x, y); };
    RasterImage image;
    ASSERT_TRUE(simpleformat::DecodeByDetection(image, IconFile({bmp.Bytes()}))) << image.LastErrorText();
    EXPECT_EQ(image.GetType(), uint32_t(RASTER_FORMAT_ICO));
}

TEST(RasterImageICO, CannotBeWritten) {
    simpleformat::ExpectCannotBeWritten(RASTER_FORMAT_ICO, "Encode: ICO cannot be saved");
}

TEST(RasterImageICO, MatchesImageMagickOutputExactly) {
    if (simpleformat::ConvertProgram().empty()) GTEST_SKIP() << "ImageMagick convert is not installed";
    const RasterImage picture = testsupport::MakePatternImage(29, 17);
    RasterImage withAlpha = picture;
    testsupport::AddPatternAlpha(withAlpha);
    const RasterImage sixteen = simpleformat::ToTrueColor(testsupport::MakePatternImage(29, 17, 4));
    struct Case {
        const char* options;
        const RasterImage* source;
    };
    for (const Case& c : {Case{"", &picture}, Case{"", &withAlpha}, Case{"-type Palette", &sixteen}}) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(simpleformat::ConvertPicture(*c.source, c.options, "out.ico", bytes)) << c.options;
        RasterImageICO image;
        ASSERT_TRUE(DecodeBytes(image, bytes)) << c.options << ": " << image.LastErrorText();
        EXPECT_TRUE(testsupport::SamePixels(simpleformat::ToTrueColor(image), *c.source)) << c.options;
    }
}
