// BMP reading and writing: round trips, every header kind real files use, RLE, bit masks,
// and damaged or hostile files.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "image/RasterFile.h"
#include "image/RasterImage.h"
#include "TestSupport.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

// Describes a BMP file to build. Fields a header kind cannot hold are left out of it.
struct BmpRecipe {
    uint32_t headerSize = 40;
    int32_t width = 1;
    int32_t height = 1;
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t clrUsed = 0;
    int32_t pelsPerMeter = 3780;
    uint32_t masks[4] = {0, 0, 0, 0};   // written into headers of 52 bytes and more
    Bytes betweenHeaderAndPixels;       // masks behind a 40-byte header, palette
    Bytes pixels;
    // Replaces the natural pixel offset when non-zero.
    uint32_t pixelOffset = 0;
};

Bytes BuildBmp(const BmpRecipe& s) {
    Bytes info;
    Put32(info, s.headerSize);
    if (s.headerSize == 12) {
        Put16(info, uint32_t(s.width));
        Put16(info, uint32_t(s.height));
        Put16(info, 1);
        Put16(info, s.bitCount);
    } else {
        Put32(info, uint32_t(s.width));
        Put32(info, uint32_t(s.height));
        Put16(info, 1);
        Put16(info, s.bitCount);
        Put32(info, s.compression);
        Put32(info, uint32_t(s.pixels.size()));
        Put32(info, uint32_t(s.pelsPerMeter));
        Put32(info, uint32_t(s.pelsPerMeter));
        Put32(info, s.clrUsed);
        Put32(info, 0);
        for (uint32_t mask : s.masks) {
            if (info.size() + 4 <= s.headerSize) Put32(info, mask);
        }
        info.resize(s.headerSize, 0);   // colour space fields of V4 / V5 stay zero
    }
    const uint32_t offset = 14 + uint32_t(info.size() + s.betweenHeaderAndPixels.size());
    Bytes file{'B', 'M'};
    Put32(file, uint32_t(offset + s.pixels.size()));
    Put32(file, 0);
    Put32(file, s.pixelOffset ? s.pixelOffset : offset);
    Append(file, info);
    Append(file, s.betweenHeaderAndPixels);
    Append(file, s.pixels);
    return file;
}

// Palette entries blue, green, red, reserved (reserved bytes deliberately non-zero).
Bytes Quads(std::initializer_list<uint32_t> colors) {
    Bytes b;
    for (uint32_t c : colors) {
        b.push_back(RasterBlue(c));
        b.push_back(RasterGreen(c));
        b.push_back(RasterRed(c));
        b.push_back(0x7F);
    }
    return b;
}

Bytes Masks(uint32_t r, uint32_t g, uint32_t b) {
    Bytes out;
    Put32(out, r);
    Put32(out, g);
    Put32(out, b);
    return out;
}

bool DecodeBytes(RasterImage& image, Bytes bytes) {
    return image.Decode(bytes.data(), uint32_t(bytes.size()), RASTER_FORMAT_BMP);
}

// Decodes a built file that must be accepted (an empty image otherwise).
RasterImage MustDecode(const BmpRecipe& recipe) {
    RasterImage image;
    EXPECT_TRUE(DecodeBytes(image, BuildBmp(recipe))) << image.LastErrorText();
    return image;
}

Bytes EncodeToBytes(RasterImage& image) {
    RasterMemFile file;
    EXPECT_TRUE(file.Open());
    EXPECT_TRUE(image.Encode(&file, RASTER_FORMAT_BMP)) << image.LastErrorText();
    const auto* data = file.GetBuffer();
    return Bytes(data, data + file.Size());
}

uint32_t Le32At(const Bytes& b, size_t at) {
    return uint32_t(b[at]) | (uint32_t(b[at + 1]) << 8) | (uint32_t(b[at + 2]) << 16) | (uint32_t(b[at + 3]) << 24);
}
uint32_t Le16At(const Bytes& b, size_t at) { return uint32_t(b[at]) | (uint32_t(b[at + 1]) << 8); }

constexpr uint32_t kRed = RasterRgb(255, 0, 0);
constexpr uint32_t kGreen = RasterRgb(0, 255, 0);
constexpr uint32_t kBlue = RasterRgb(0, 0, 255);
constexpr uint32_t kWhite = RasterRgb(255, 255, 255);
constexpr uint32_t kBlack = 0;

// ---- writing and round trips ---------------------------------------------------------------

TEST(BmpWrite, FileIsHeaderFollowedByUnchangedStorageBlockAndReadsBackAtEveryDepth) {
    for (uint32_t bpp : {1u, 4u, 8u, 24u}) {
        SCOPED_TRACE(bpp);
        RasterImage image = testsupport::MakePatternImage(13, 7, bpp);
        image.SetXDpi(300);
        image.SetYDpi(72);
        const Bytes file = EncodeToBytes(image);
        const uint32_t paletteBytes = image.GetPaletteSize() * 4;
        ASSERT_EQ(file.size(), 14 + image.GetBlockSize());
        EXPECT_EQ(file[0], 'B');
        EXPECT_EQ(file[1], 'M');
        EXPECT_EQ(Le32At(file, 2), file.size());
        EXPECT_EQ(Le32At(file, 6), 0u);
        EXPECT_EQ(Le32At(file, 10), 54 + paletteBytes);
        EXPECT_EQ(0, std::memcmp(file.data() + 14, image.GetBlock(), image.GetBlockSize()));

        RasterImage back;
        ASSERT_TRUE(DecodeBytes(back, file)) << back.LastErrorText();
        EXPECT_TRUE(testsupport::SamePixels(image, back));
        EXPECT_EQ(back.GetBpp(), bpp);
        EXPECT_EQ(back.GetType(), uint32_t(RASTER_FORMAT_BMP));
        EXPECT_EQ(back.GetXDpi(), 300);
        EXPECT_EQ(back.GetYDpi(), 72);
        EXPECT_FALSE(back.HasAlpha());
    }
}

TEST(BmpWrite, PictureWithAlphaPlaneBecomes32BitFileThatKeepsTheAlpha) {
    RasterImage image = testsupport::MakePatternImage(5, 3, 24);
    testsupport::AddPatternAlpha(image);
    const Bytes file = EncodeToBytes(image);
    ASSERT_EQ(file.size(), 54u + 5 * 3 * 4);
    EXPECT_EQ(Le32At(file, 2), file.size());
    EXPECT_EQ(Le32At(file, 10), 54u);
    EXPECT_EQ(Le32At(file, 14), 40u);
    EXPECT_EQ(Le16At(file, 28), 32u);
    EXPECT_EQ(Le32At(file, 30), 0u);
    EXPECT_EQ(Le32At(file, 34), 5u * 3 * 4);
    // First stored pixel: blue, green, red, alpha.
    const uint8_t* p = image.PixelPointer(0, 0);
    EXPECT_EQ(Bytes(file.begin() + 54, file.begin() + 58), (Bytes{p[0], p[1], p[2], *image.AlphaPointer(0, 0)}));

    RasterImage back;
    ASSERT_TRUE(DecodeBytes(back, file)) << back.LastErrorText();
    EXPECT_EQ(back.GetBpp(), 24u);
    ASSERT_TRUE(back.HasAlpha());
    EXPECT_TRUE(testsupport::SamePixels(image, back));
}

TEST(BmpWrite, PaletteImageWithAlphaPlaneWritesThePaletteFile) {
    RasterImage image = testsupport::MakePatternImage(6, 4, 8);
    image.CreateAlpha();
    const Bytes file = EncodeToBytes(image);
    EXPECT_EQ(file.size(), 14 + image.GetBlockSize());
    EXPECT_EQ(Le16At(file, 28), 8u);
}

TEST(BmpWrite, RefusesInvalidImageAndMissingFile) {
    RasterImage empty;
    RasterMemFile file;
    ASSERT_TRUE(file.Open());
    EXPECT_FALSE(empty.Encode(&file, RASTER_FORMAT_BMP));
    EXPECT_STREQ(empty.LastErrorText(), "null image!!!");
    RasterImage image = testsupport::MakePatternImage(2, 2, 24);
    EXPECT_FALSE(image.Encode(nullptr, RASTER_FORMAT_BMP));
    EXPECT_STREQ(image.LastErrorText(), "null file handler");
}

// ---- header kinds --------------------------------------------------------------------------

TEST(BmpRead, Os2CoreHeaderWithThreeBytePaletteEntries) {
    BmpRecipe s;
    s.headerSize = 12;
    s.width = 3;
    s.height = 2;
    s.bitCount = 8;
    Bytes palette(256 * 3, 0);
    palette[3 * 1 + 2] = 255;   // entry 1 red
    palette[3 * 2 + 1] = 255;   // entry 2 green
    s.betweenHeaderAndPixels = palette;
    s.pixels = {1, 2, 0, 0, /* top row */ 2, 1, 1, 0};
    const RasterImage image = MustDecode(s);
    ASSERT_TRUE(image.IsValid());
    EXPECT_EQ(image.GetBpp(), 8u);
    EXPECT_EQ(testsupport::PictureColor(image, 0, 1), kRed);
    EXPECT_EQ(testsupport::PictureColor(image, 1, 1), kGreen);
    EXPECT_EQ(testsupport::PictureColor(image, 2, 1), kBlack);
    EXPECT_EQ(testsupport::PictureColor(image, 0, 0), kGreen);
    EXPECT_EQ(image.GetXDpi(), 96);   // core files carry no resolution
}

TEST(BmpRead, Os2CoreHeaderWithShortPaletteEndingAtThePixels) {
    BmpRecipe s;
    s.headerSize = 12;
    s.width = 2;
    s.height = 1;
    s.bitCount = 4;
    s.betweenHeaderAndPixels = {0, 0, 255, /**/ 255, 255, 255};   // red, white: 2 of 16 entries
    s.pixels = {0x10, 0, 0, 0};
    const RasterImage image = MustDecode(s);
    ASSERT_TRUE(image.IsValid());
    EXPECT_EQ(testsupport::PictureColor(image, 0, 0), kWhite);
    EXPECT_EQ(testsupport::PictureColor(image, 1, 0), kRed);
}

TEST(BmpRead, Os2Version2HeaderIsRead) {
    for (uint32_t headerSize : {16u, 64u}) {
        SCOPED_TRACE(headerSize);
        BmpRecipe s;
        s.headerSize = headerSize;
        s.width = 1;
        s.height = 1;
        s.pixels = {10, 20, 30, 0};
        Bytes file = BuildBmp(s);
        RasterImage image;
        ASSERT_TRUE(DecodeBytes(image, file)) << image.LastErrorText();
        EXPECT_EQ(testsupport::PictureColor(image, 0, 0), RasterRgb(30, 20, 10));
    }
}

TEST(BmpRead, PaletteDepthsReadWithReservedBytesCleared) {
    struct Case {
        uint16_t bitCount;
        Bytes row;   // one row of four pixels: indices 1, 0, 1, 1
    };
    for (const Case& c : {Case{1, {0xB0, 0, 0, 0}}, Case{4, {0x10, 0x11, 0, 0}}, Case{8, {1, 0, 1, 1}}}) {
        SCOPED_TRACE(c.bitCount);
        BmpRecipe s;
        s.width = 4;
        s.bitCount = c.bitCount;
        s.clrUsed = 2;
        s.betweenHeaderAndPixels = Quads({kBlue, kRed});
        s.pixels = c.row;
        const RasterImage image = MustDecode(s);
        ASSERT_TRUE(image.IsValid());
        EXPECT_EQ(image.GetBpp(), c.bitCount);
        EXPECT_EQ(testsupport::PictureColor(image, 0, 0), kRed);
        EXPECT_EQ(testsupport::PictureColor(image, 1, 0), kBlue);
        EXPECT_EQ(testsupport::PictureColor(image, 3, 0), kRed);
        EXPECT_EQ(image.GetPalette()[0].rgbReserved, 0);
        EXPECT_EQ(image.GetPalette()[1].rgbReserved, 0);
    }
}

TEST(BmpRead, IndicesBeyondAShortPaletteAreBlack) {
    BmpRecipe s;
    s.width = 2;
    s.bitCount = 8;
    s.clrUsed = 1;
    s.betweenHeaderAndPixels = Quads({kWhite});
    s.pixels = {0, 200, 0, 0};
    const RasterImage image = MustDecode(s);
    ASSERT_TRUE(image.IsValid());
    EXPECT_EQ(testsupport::PictureColor(image, 0, 0), kWhite);
    EXPECT_EQ(testsupport::PictureColor(image, 1, 0), kBlack);
}

TEST(BmpRead, FileWithoutPaletteGetsAGreyRamp) {
    BmpRecipe s;
    s.width = 2;
    s.bitCount = 1;
    s.pixels = {0x40, 0, 0, 0};
    const RasterImage image = MustDecode(s);
    ASSERT_TRUE(image.IsValid());
    EXPECT_EQ(testsupport::PictureColor(image, 0, 0), kBlack);
    EXPECT_EQ(testsupport::PictureColor(image, 1, 0), kWhite);
}

TEST(BmpRead, TwoBitFileBecomesFourBitPicture) {
    BmpRecipe s;
    s.width = 5;
    s.bitCount = 2;
    s.betweenHeaderAndPixels = Quads({kBlack, kRed, kGreen, kBlue});
    s.pixels = {0b00011011, 0b01000000, 0, 0};   // 0 1 2 3 1
    const RasterImage image = MustDecode(s);
    ASSERT_TRUE(image.IsValid());
    EXPECT_EQ(image.GetBpp(), 4u);
    const uint32_t expected[] = {kBlack, kRed, kGreen, kBlue, kRed};
    for (uint32_t x = 0; x < 5; ++x) EXPECT_EQ(testsupport::PictureColor(image, x, 0), expected[x]) << x;
}

TEST(BmpRead, TopDownRowsArePutBottomUp) {
    BmpRecipe s;
    s.width = 1;
    s.height = -2;
    s.pixels = {0, 0, 255, 0, /* second file row = bottom */ 255, 0, 0, 0};
    const RasterImage image = MustDecode(s);
    ASSERT_TRUE(image.IsValid());
    EXPECT_EQ(image.GetHeight(), 2u);
    EXPECT_EQ(testsupport::PictureColor(image, 0, 0), kRed);
    EXPECT_EQ(testsupport::PictureColor(image, 0, 1), kBlue);
}

TEST(BmpRead, LastRowWithoutItsPaddingIsAccepted) {
    BmpRecipe s;
    s.width = 1;
    s.height = 2;
    s.pixels = {1, 2, 3, 0, 4, 5, 6};   // top row lacks its padding byte
    const RasterImage image = MustDecode(s);
    ASSERT_TRUE(image.IsValid());
    EXPECT_EQ(testsupport::PictureColor(image, 0, 0), RasterRgb(6, 5, 4));
}

TEST(BmpRead, ResolutionComesFromPixelsPerMetre) {
    struct Case {
        int32_t ppm;
        int32_t dpi;
    };
    for (const Case& c : {Case{2835, 72}, Case{3780, 96}, Case{11811, 300}, Case{0, 96}, Case{-5, 96},
                          Case{INT32_MAX, 54546085}}) {
        BmpRecipe s;
        s.pelsPerMeter = c.ppm;
        s.pixels = {0, 0, 0, 0};
        RasterImage image;
        ASSERT_TRUE(DecodeBytes(image, BuildBmp(s)));
        EXPECT_EQ(image.GetXDpi(), c.dpi) << c.ppm;
        EXPECT_EQ(image.GetYDpi(), c.dpi) << c.ppm;
    }
}

TEST(BmpRead, PictureAtTheStreamPositionWithOffsetsCountedFromThere) {
    BmpRecipe s;
    s.width = 2;
    s.bitCount = 8;
    s.clrUsed = 2;
    s.betweenHeaderAndPixels = Quads({kBlue, kGreen});
    s.pixels = {1, 0, 0, 0};
    Bytes data = {'j', 'u', 'n', 'k', '!'};
    Append(data, BuildBmp(s));
    RasterMemFile file(data.data(), uint32_t(data.size()));
    ASSERT_TRUE(file.Seek(5, RASTER_SEEK_SET));
    RasterImage image;
    ASSERT_TRUE(image.Decode(&file, RASTER_FORMAT_BMP)) << image.LastErrorText();
    EXPECT_EQ(testsupport::PictureColor(image, 0, 0), kGreen);
    EXPECT_EQ(testsupport::PictureColor(image, 1, 0), kBlue);
}

// ---- 16- and 32-bit pixels and masks ----------------------------------------------------

TEST(BmpRead, Uncompressed16BitIs555) {
    BmpRecipe s;
    s.width = 2;
    s.bitCount = 16;
    s.pixels = {0x00, 0x7C, /* red */ 0x10, 0x42 /* 0x4210: 16, 16, 16 */};
    const RasterImage image = MustDecode(s);
    ASSERT_TRUE(image.IsValid());
    EXPECT_EQ(image.GetBpp(), 24u);
    EXPECT_EQ(testsupport::PictureColor(image, 0, 0), kRed);
    EXPECT_EQ(testsupport::PictureColor(image, 1, 0), RasterRgb(132, 132, 132));   // round(16 * 255 / 31)
}

TEST(BmpRead, BitfieldMasks565BehindAnInfoHeader) {
    BmpRecipe s;
    s.width = 3;
    s.bitCount = 16;
    s.compression = 3;
    s.betweenHeaderAndPixels = Masks(0xF800, 0x07E0, 0x001F);
    // white, green 32 of 63, blue 1 of 31
    s.pixels = {0xFF, 0xFF, 0x00, 0x04, 0x01, 0x00, 0, 0};
    const RasterImage image = MustDecode(s);
    ASSERT_TRUE(image.IsValid());
    EXPECT_EQ(testsupport::PictureColor(image, 0, 0), kWhite);
    EXPECT_EQ(testsupport::PictureColor(image, 1, 0), RasterRgb(0, 130, 0));   // round(32 * 255 / 63)
    EXPECT_EQ(testsupport::PictureColor(image, 2, 0), RasterRgb(0, 0, 8));     // round(255 / 31)
    EXPECT_FALSE(image.HasAlpha());
}

TEST(BmpRead, BitfieldMasks555InAVersion2Header) {
    BmpRecipe s;
    s.headerSize = 52;
    s.width = 1;
    s.bitCount = 16;
    s.compression = 3;
    s.masks[0] = 0x7C00;
    s.masks[1] = 0x03E0;
    s.masks[2] = 0x001F;
    s.pixels = {0xE0, 0x03, 0, 0};
    const RasterImage image = MustDecode(s);
    ASSERT_TRUE(image.IsValid());
    EXPECT_EQ(testsupport::PictureColor(image, 0, 0), kGreen);
}

TEST(BmpRead, AlphaMaskOfAVersion3HeaderGivesAlphaPlane) {
    BmpRecipe s;
    s.headerSize = 56;
    s.width = 2;
    s.bitCount = 16;
    s.compression = 3;
    const uint32_t masks[4] = {0x7C00, 0x03E0, 0x001F, 0x8000};   // 1-5-5-5
    std::memcpy(s.masks, masks, sizeof(masks));
    s.pixels = {0x1F, 0x80, /* opaque blue */ 0x1F, 0x00 /* transparent blue */};
    const RasterImage image = MustDecode(s);
    ASSERT_TRUE(image.IsValid());
    ASSERT_TRUE(image.HasAlpha());
    EXPECT_EQ(*image.AlphaPointer(0, 0), 255);
    EXPECT_EQ(*image.AlphaPointer(1, 0), 0);
    EXPECT_EQ(testsupport::PictureColor(image, 1, 0), kBlue);
}

TEST(BmpRead, AlphaBitfieldsBehindAnInfoHeader) {
    BmpRecipe s;
    s.width = 2;
    s.bitCount = 32;
    s.compression = 6;
    Bytes masks = Masks(0x0000FF00, 0x00FF0000, 0xFF000000);   // an unusual order: A R G B in bytes
    Put32(masks, 0x000000FF);
    s.betweenHeaderAndPixels = masks;
    s.pixels = {0x80, 0xFF, 0x00, 0x00, /* red, alpha 128 */ 0x00, 0x00, 0x00, 0xFF /* blue, transparent */};
    const RasterImage image = MustDecode(s);
    ASSERT_TRUE(image.IsValid());
    EXPECT_EQ(testsupport::PictureColor(image, 0, 0), kRed);
    EXPECT_EQ(testsupport::PictureColor(image, 1, 0), kBlue);
    ASSERT_TRUE(image.HasAlpha());
    EXPECT_EQ(*image.AlphaPointer(0, 0), 128);
    EXPECT_EQ(*image.AlphaPointer(1, 0), 0);
}

TEST(BmpRead, MasksWiderThanEightBitsScaleToEightBits) {
    for (uint32_t headerSize : {108u, 124u}) {
        SCOPED_TRACE(headerSize);
        BmpRecipe s;
        s.headerSize = headerSize;
        s.width = 1;
        s.bitCount = 32;
        s.compression = 3;
        const uint32_t masks[4] = {0x3FF00000, 0x000FFC00, 0x000003FF, 0};   // 10-10-10
        std::memcpy(s.masks, masks, sizeof(masks));
        s.pixels.clear();
        Put32(s.pixels, (1023u << 20) | (512u << 10) | 0u);
        const RasterImage image = MustDecode(s);
        ASSERT_TRUE(image.IsValid());
        EXPECT_EQ(testsupport::PictureColor(image, 0, 0), RasterRgb(255, 128, 0));   // round(512 * 255 / 1023)
        EXPECT_FALSE(image.HasAlpha());
    }
}

TEST(BmpRead, ThirtyTwoBitAlphaOnlyWhenTheAlphaBytesDiffer) {
    struct Case {
        uint8_t first;
        uint8_t second;
        bool alpha;
    };
    for (const Case& c : {Case{0, 0, false}, Case{128, 128, false}, Case{255, 255, false}, Case{255, 0, true}}) {
        SCOPED_TRACE(int(c.first) * 1000 + c.second);
        BmpRecipe s;
        s.width = 2;
        s.bitCount = 32;
        s.pixels = {1, 2, 3, c.first, 4, 5, 6, c.second};
        const RasterImage image = MustDecode(s);
        ASSERT_TRUE(image.IsValid());
        EXPECT_EQ(testsupport::PictureColor(image, 1, 0), RasterRgb(6, 5, 4));
        ASSERT_EQ(image.HasAlpha(), c.alpha);
        if (c.alpha) {
            EXPECT_EQ(*image.AlphaPointer(1, 0), c.second);
        }
    }
}

TEST(BmpRead, EmptyColourMasksMeanTheUsualLayout) {
    BmpRecipe s;
    s.width = 1;
    s.bitCount = 32;
    s.compression = 3;
    s.betweenHeaderAndPixels = Masks(0, 0, 0);
    s.pixels = {10, 20, 30, 0};
    const RasterImage image = MustDecode(s);
    ASSERT_TRUE(image.IsValid());
    EXPECT_EQ(testsupport::PictureColor(image, 0, 0), RasterRgb(30, 20, 10));
}

// ---- RLE -----------------------------------------------------------------------------------

TEST(BmpRead, Rle8RunsLiteralsDeltaAndEndCodes) {
    BmpRecipe s;
    s.width = 5;
    s.height = 4;
    s.bitCount = 8;
    s.compression = 1;
    s.clrUsed = 4;
    s.betweenHeaderAndPixels = Quads({kBlack, kRed, kGreen, kBlue});
    s.pixels = {
        3, 1, 0, 3, 2, 3, 2, 0,   // stored row 0: run of 3 red, literal green blue green (padded)
        0, 0,                     // end of line
        9, 3, 0, 0,               // stored row 1: 9 blue, clipped at the edge; end of line
        0, 2, 2, 1,               // delta from (0, 2): right 2, up 1
        1, 1,                     // one red at (2, 3); stored row 2 was skipped
        0, 1,                     // end of bitmap
    };
    const RasterImage image = MustDecode(s);
    ASSERT_TRUE(image.IsValid());
    const uint32_t row0[] = {kRed, kRed, kRed, kGreen, kBlue};
    for (uint32_t x = 0; x < 5; ++x) {
        EXPECT_EQ(testsupport::PictureColor(image, x, 3), row0[x]) << x;
        EXPECT_EQ(testsupport::PictureColor(image, x, 2), kBlue) << x;
        EXPECT_EQ(testsupport::PictureColor(image, x, 1), kBlack) << x;
        EXPECT_EQ(testsupport::PictureColor(image, x, 0), x == 2 ? kRed : kBlack) << x;
    }
}

TEST(BmpRead, Rle4RunsAlternateNibblesAndLiteralsArePadded) {
    BmpRecipe s;
    s.width = 6;
    s.height = 2;
    s.bitCount = 4;
    s.compression = 2;
    s.clrUsed = 3;
    s.betweenHeaderAndPixels = Quads({kBlack, kRed, kGreen});
    s.pixels = {
        5, 0x12, 0, 0,               // row 0: 1 2 1 2 1 (last pixel stays 0)
        0, 5, 0x21, 0x21, 0x20, 0,   // row 1: literal 2 1 2 1 2 in three bytes, padded to a word
        0, 1,
    };
    const RasterImage image = MustDecode(s);
    ASSERT_TRUE(image.IsValid());
    const uint32_t bottom[] = {kRed, kGreen, kRed, kGreen, kRed, kBlack};
    const uint32_t top[] = {kGreen, kRed, kGreen, kRed, kGreen, kBlack};
    for (uint32_t x = 0; x < 6; ++x) {
        EXPECT_EQ(testsupport::PictureColor(image, x, 1), bottom[x]) << x;
        EXPECT_EQ(testsupport::PictureColor(image, x, 0), top[x]) << x;
    }
}

TEST(BmpRead, RleWithoutEndOfBitmapIsAcceptedOnceTheLastRowIsReached) {
    BmpRecipe s;
    s.width = 2;
    s.height = 2;
    s.bitCount = 8;
    s.compression = 1;
    s.clrUsed = 2;
    s.betweenHeaderAndPixels = Quads({kBlack, kWhite});
    s.pixels = {2, 1, 0, 0, 1, 1};
    const RasterImage image = MustDecode(s);
    ASSERT_TRUE(image.IsValid());
    EXPECT_EQ(testsupport::PictureColor(image, 0, 0), kWhite);
    EXPECT_EQ(testsupport::PictureColor(image, 1, 0), kBlack);
}

TEST(BmpRead, RleEndingBeforeTheLastRowFails) {
    BmpRecipe s;
    s.width = 2;
    s.height = 3;
    s.bitCount = 8;
    s.compression = 1;
    s.betweenHeaderAndPixels = Quads({kBlack, kWhite});
    s.clrUsed = 2;
    s.pixels = {2, 1, 0, 0, 0, 3, 1};   // literal of 3 announced, 1 byte there
    RasterImage image;
    EXPECT_FALSE(DecodeBytes(image, BuildBmp(s)));
    EXPECT_STREQ(image.LastErrorText(), "BMP: pixel data is truncated");
    EXPECT_FALSE(image.IsValid());
}

// ---- damaged and hostile files ---------------------------------------------------------

BmpRecipe SmallValidSpec() {
    BmpRecipe s;
    s.width = 2;
    s.height = 2;
    s.bitCount = 8;
    s.clrUsed = 2;
    s.betweenHeaderAndPixels = Quads({kBlack, kWhite});
    s.pixels = {0, 1, 0, 0, 1, 0, 0, 0};
    return s;
}

void ExpectRejected(const Bytes& file, const char* error) {
    RasterImage image = testsupport::MakeSolidImage(3, 3, kRed);
    EXPECT_FALSE(DecodeBytes(image, file));
    EXPECT_STREQ(image.LastErrorText(), error);
    // A failed decode leaves the picture as it was.
    ASSERT_TRUE(image.IsValid());
    EXPECT_EQ(image.GetWidth(), 3u);
    EXPECT_EQ(testsupport::PictureColor(image, 1, 1), kRed);
}

TEST(BmpHostile, WrongSignatureOrTooShort) {
    Bytes file = BuildBmp(SmallValidSpec());
    file[1] = 'A';
    ExpectRejected(file, "BMP: not a BMP file");
    ExpectRejected(Bytes{'B', 'M', 0, 0}, "BMP: not a BMP file");
    ExpectRejected(Bytes{'B'}, "BMP: not a BMP file");
}

TEST(BmpHostile, UnknownHeaderSizes) {
    for (uint32_t size : {0u, 8u, 39u + 26u, 100u, 125u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(size);
        Bytes file = BuildBmp(SmallValidSpec());
        file[14] = uint8_t(size);
        file[15] = uint8_t(size >> 8);
        file[16] = uint8_t(size >> 16);
        file[17] = uint8_t(size >> 24);
        ExpectRejected(file, "BMP: unsupported header size");
    }
}

TEST(BmpHostile, HeaderRunningPastTheEnd) {
    Bytes file = BuildBmp(SmallValidSpec());
    file.resize(14 + 30);
    ExpectRejected(file, "BMP: the header runs past the end of the file");
    BmpRecipe s = SmallValidSpec();
    s.bitCount = 16;
    s.compression = 3;
    s.betweenHeaderAndPixels.clear();
    s.pixels.clear();
    ExpectRejected(BuildBmp(s), "BMP: the header runs past the end of the file");   // masks missing
}

TEST(BmpHostile, BadSizes) {
    for (auto [w, h] : {std::pair{0, 1}, std::pair{-3, 1}, std::pair{1, 0}, std::pair{1, INT32_MIN}}) {
        BmpRecipe s = SmallValidSpec();
        s.width = w;
        s.height = h;
        ExpectRejected(BuildBmp(s), "BMP: bad width or height");
    }
}

TEST(BmpHostile, HugeSizesFailBeforeAnyAllocation) {
    BmpRecipe s = SmallValidSpec();
    s.width = INT32_MAX;
    s.height = INT32_MAX;
    ExpectRejected(BuildBmp(s), RasterTooLargeFor(INT32_MAX, INT32_MAX, 8).text);
    s.compression = 1;   // RLE8 cannot be checked against its data size
    ExpectRejected(BuildBmp(s), RasterTooLargeFor(INT32_MAX, INT32_MAX, 8).text);
    s = SmallValidSpec();
    s.width = 20000;
    s.height = -20000;   // within the memory limit, far beyond the data
    ExpectRejected(BuildBmp(s), "BMP: pixel data is truncated");
}

TEST(BmpHostile, UnsupportedDepthsAndCompressions) {
    for (uint16_t bits : {0, 3, 7, 15, 48, 64}) {
        BmpRecipe s = SmallValidSpec();
        s.bitCount = bits;
        ExpectRejected(BuildBmp(s), "BMP: unsupported bit depth");
    }
    struct Case {
        uint16_t bits;
        uint32_t compression;
    };
    for (const Case& c : {Case{4, 1}, Case{8, 2}, Case{24, 3}, Case{8, 6}, Case{8, 7}, Case{8, 0x80000000u}}) {
        BmpRecipe s = SmallValidSpec();
        s.bitCount = c.bits;
        s.compression = c.compression;
        ExpectRejected(BuildBmp(s), "BMP: unsupported compression");
    }
    BmpRecipe s = SmallValidSpec();
    s.compression = 4;
    ExpectRejected(BuildBmp(s), "BMP: JPEG or PNG data inside a BMP file is not supported");
}

TEST(BmpHostile, BadMasks) {
    for (auto masks : {Masks(0xF0F0, 0x0F00, 0x000F), Masks(0x1F0000, 0x07E0, 0x001F)}) {
        BmpRecipe s;
        s.bitCount = 16;
        s.compression = 3;
        s.betweenHeaderAndPixels = masks;
        s.pixels = {0, 0, 0, 0};
        ExpectRejected(BuildBmp(s), "BMP: bad colour masks");
    }
}

TEST(BmpHostile, OffsetsAndPalettesPastTheEnd) {
    BmpRecipe s = SmallValidSpec();
    s.clrUsed = 256;   // only 2 entries are there, and the pixel offset leaves room for all
    s.pixelOffset = 100000;
    ExpectRejected(BuildBmp(s), "BMP: the palette runs past the end of the file");
    s = SmallValidSpec();
    s.bitCount = 24;
    s.betweenHeaderAndPixels.clear();
    s.pixelOffset = 100000;
    ExpectRejected(BuildBmp(s), "BMP: pixel data offset past the end of the file");
    s = SmallValidSpec();
    s.clrUsed = 0xFFFFFFFFu;
    s.pixelOffset = 1;   // points into the headers: the declared palette decides
    ExpectRejected(BuildBmp(s), "BMP: the palette runs past the end of the file");
    s = SmallValidSpec();
    s.pixels.clear();
    ExpectRejected(BuildBmp(s), "BMP: pixel data offset past the end of the file");
}

TEST(BmpHostile, TruncatedPixelData) {
    Bytes file = BuildBmp(SmallValidSpec());
    file.pop_back();
    file.pop_back();   // the last row's padding may go ...
    RasterImage image;
    EXPECT_TRUE(DecodeBytes(image, file));
    file.pop_back();   // ... but not its pixels
    ExpectRejected(file, "BMP: pixel data is truncated");
}

// Every prefix of a file either decodes or fails with a message; never reads outside the data.
TEST(BmpHostile, EveryTruncationFailsCleanly) {
    BmpRecipe rle;
    rle.width = 7;
    rle.height = 3;
    rle.bitCount = 4;
    rle.compression = 2;
    rle.betweenHeaderAndPixels = Quads({kBlack, kWhite, kRed});
    rle.pixels = {4, 0x12, 0, 3, 0x12, 0x10, 0, 0, 0, 2, 1, 1, 9, 0x21, 0, 0, 0, 1};
    BmpRecipe v5;
    v5.headerSize = 124;
    v5.width = 3;
    v5.height = -2;
    v5.bitCount = 32;
    v5.compression = 3;
    const uint32_t masks[4] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    std::memcpy(v5.masks, masks, sizeof(masks));
    v5.pixels = Bytes(24, 0x5A);
    v5.pixels[3] = 0;
    RasterImage reference = testsupport::MakePatternImage(5, 4, 24);
    testsupport::AddPatternAlpha(reference);
    for (const Bytes& whole : {BuildBmp(rle), BuildBmp(v5), EncodeToBytes(reference)}) {
        for (size_t n = 0; n < whole.size(); ++n) {
            Bytes part(whole.begin(), whole.begin() + std::ptrdiff_t(n));
            RasterImage image;
            if (!DecodeBytes(image, part)) {
                EXPECT_STRNE(image.LastErrorText(), "") << n;
                EXPECT_FALSE(image.IsValid());
            }
        }
        RasterImage image;
        EXPECT_TRUE(DecodeBytes(image, whole)) << image.LastErrorText();
    }
}

}  // namespace
