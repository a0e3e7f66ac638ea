#include <gtest/gtest.h>

#include <png.h>
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "CodecTestHelpers.h"
#include "image/RasterImage.h"
#include "TestSupport.h"

using codectest::DecodeBytes;
using codectest::EncodeToBytes;

namespace {

// ---- PNG files made with libpng itself -----------------------------------------------------

struct PngRecipe {
    uint32_t width = 0;
    uint32_t height = 0;
    int depth = 8;
    int colorType = PNG_COLOR_TYPE_RGB;
    bool interlaced = false;
    std::vector<std::vector<uint8_t>> rows;   // packed as PNG stores them, top row first
    std::vector<png_color> palette;
    std::vector<uint8_t> paletteAlpha;        // tRNS of a palette file
    bool hasKey = false;                      // tRNS of a grey or RGB file
    png_color_16 key{};
    bool hasPhys = false;
    png_uint_32 physX = 0, physY = 0;
    int physUnit = PNG_RESOLUTION_METER;
};

void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

std::vector<uint8_t> WritePng(const PngRecipe& recipe) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, AppendBytes, nullptr);
    png_set_IHDR(png, info, recipe.width, recipe.height, recipe.depth, recipe.colorType,
                 recipe.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!recipe.palette.empty()) png_set_PLTE(png, info, recipe.palette.data(), int(recipe.palette.size()));
    if (!recipe.paletteAlpha.empty()) {
        png_set_tRNS(png, info, recipe.paletteAlpha.data(), int(recipe.paletteAlpha.size()), nullptr);
    }
    if (recipe.hasKey) png_set_tRNS(png, info, nullptr, 1, &recipe.key);
    if (recipe.hasPhys) png_set_pHYs(png, info, recipe.physX, recipe.physY, recipe.physUnit);
    png_write_info(png, info);
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass) {
        for (const auto& row : recipe.rows) png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// A 13 x 9 file of the given type with rows filled by fill(x, y, sample) -> sample value.
template <class Fill>
PngRecipe MakeRecipe(int colorType, int depth, Fill fill, uint32_t width = 13, uint32_t height = 9) {
    PngRecipe recipe;
    recipe.width = width;
    recipe.height = height;
    recipe.depth = depth;
    recipe.colorType = colorType;
    const int channels = colorType == PNG_COLOR_TYPE_RGB ? 3 : colorType == PNG_COLOR_TYPE_RGB_ALPHA ? 4
                         : colorType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2 : 1;
    const size_t rowBytes = (size_t(width) * channels * depth + 7) / 8;
    for (uint32_t y = 0; y < height; ++y) {
        std::vector<uint8_t> row(rowBytes, 0);
        for (uint32_t x = 0; x < width; ++x) {
            for (int c = 0; c < channels; ++c) {
                const uint32_t v = fill(x, y, c);
                const size_t sample = size_t(x) * channels + c;
                if (depth == 16) {
                    row[sample * 2] = uint8_t(v >> 8);
                    row[sample * 2 + 1] = uint8_t(v);
                } else if (depth == 8) {
                    row[sample] = uint8_t(v);
                } else {
                    const size_t bit = sample * depth;
                    row[bit / 8] = uint8_t(row[bit / 8] | (v << (8 - depth - bit % 8)));
                }
            }
        }
        recipe.rows.push_back(row);
    }
    return recipe;
}

// Data offset and length of the first chunk of this type, or npos.
size_t FindChunk(const std::vector<uint8_t>& png, const char* type, uint32_t* length = nullptr) {
    size_t pos = 8;
    while (pos + 12 <= png.size()) {
        const uint32_t n = (uint32_t(png[pos]) << 24) | (png[pos + 1] << 16) | (png[pos + 2] << 8) | png[pos + 3];
        if (std::memcmp(&png[pos + 4], type, 4) == 0) {
            if (length) *length = n;
            return pos + 8;
        }
        pos += 12 + size_t(n);
    }
    return std::string::npos;
}

RasterImage Decoded(const std::vector<uint8_t>& png) {
    RasterImage image;
    EXPECT_TRUE(DecodeBytes(png, RASTER_FORMAT_PNG, image)) << image.LastErrorText();
    return image;
}

RasterImage RoundTrip(RasterImage& image) {
    return Decoded(EncodeToBytes(image, RASTER_FORMAT_PNG));
}

// A palette image of the given depth whose entries are distinct colours.
RasterImage MakeColourPaletteImage(uint32_t bpp) {
    RasterImage image = testsupport::MakePatternImage(19, 11, bpp);
    RasterRgbQuad* palette = image.GetPalette();
    for (uint32_t i = 0; i < image.GetPaletteSize(); ++i) {
        palette[i] = RasterRgbQuad{uint8_t(i * 3), uint8_t(255 - i), uint8_t(i * 7 + 1), 0};
    }
    return image;
}

void ExpectSameColours(const RasterImage& a, const RasterImage& b) {
    ASSERT_EQ(a.GetWidth(), b.GetWidth());
    ASSERT_EQ(a.GetHeight(), b.GetHeight());
    for (uint32_t y = 0; y < a.GetHeight(); ++y) {
        for (uint32_t x = 0; x < a.GetWidth(); ++x) {
            ASSERT_EQ(testsupport::PictureColor(a, x, y), testsupport::PictureColor(b, x, y)) << x << "," << y;
        }
    }
}

void ExpectDecodeFails(const std::vector<uint8_t>& bytes, const char* what) {
    RasterImage image;
    EXPECT_FALSE(DecodeBytes(bytes, RASTER_FORMAT_PNG, image)) << what;
    EXPECT_FALSE(image.IsValid()) << what;
    EXPECT_NE(std::string(image.LastErrorText()), "") << what;
}

void FixChunkCrc(std::vector<uint8_t>& png, size_t dataOffset, uint32_t length) {
    const uint32_t crc = uint32_t(crc32(0, &png[dataOffset - 4], length + 4));
    for (int i = 0; i < 4; ++i) png[dataOffset + length + i] = uint8_t(crc >> (24 - 8 * i));
}

}  // namespace

// ---- write paths ---------------------------------------------------------------------------

TEST(PngCodec, RgbRoundTripIsExactWithWhiteBackgroundAndResolution) {
    RasterImage image = testsupport::MakePatternImage(37, 23, 24);
    image.SetXDpi(300);
    image.SetYDpi(200);
    const std::vector<uint8_t> png = EncodeToBytes(image, RASTER_FORMAT_PNG);
    const size_t ihdr = FindChunk(png, "IHDR");
    ASSERT_NE(ihdr, std::string::npos);
    EXPECT_EQ(png[ihdr + 8], 8);    // depth
    EXPECT_EQ(png[ihdr + 9], 2);    // RGB
    EXPECT_EQ(png[ihdr + 12], 0);   // not interlaced
    const size_t bkgd = FindChunk(png, "bKGD");
    ASSERT_NE(bkgd, std::string::npos);
    EXPECT_EQ(std::vector<uint8_t>(png.begin() + long(bkgd), png.begin() + long(bkgd) + 6),
              (std::vector<uint8_t>{0, 255, 0, 255, 0, 255}));
    EXPECT_EQ(FindChunk(png, "tRNS"), std::string::npos);

    RasterImage decoded = Decoded(png);
    EXPECT_TRUE(testsupport::SamePixels(image, decoded));
    EXPECT_FALSE(decoded.HasAlpha());
    EXPECT_FALSE(decoded.IsTransparent());
    EXPECT_EQ(decoded.GetXDpi(), 300);
    EXPECT_EQ(decoded.GetYDpi(), 200);
}

TEST(PngCodec, AlphaPlaneIsWrittenAsRgba) {
    RasterImage image = testsupport::MakePatternImage(21, 14, 24);
    testsupport::AddPatternAlpha(image);
    const std::vector<uint8_t> png = EncodeToBytes(image, RASTER_FORMAT_PNG);
    EXPECT_EQ(png[FindChunk(png, "IHDR") + 9], 6);
    RasterImage decoded = Decoded(png);
    ASSERT_TRUE(decoded.HasAlpha());
    EXPECT_TRUE(testsupport::SamePixels(image, decoded));
}

TEST(PngCodec, TransparentColourOfAnRgbaImageGetsAlphaZeroInTheFileOnly) {
    RasterImage image = testsupport::MakePatternImage(20, 10, 24);
    ASSERT_TRUE(image.CreateAlpha());
    const RasterRgbQuad key = image.GetPixelColor(4, 3, false);
    image.SetTransparentColor(key);
    image.SetTransparentIndex(0);
    const RasterImage before = image;

    RasterImage decoded = RoundTrip(image);
    EXPECT_TRUE(testsupport::SamePixels(before, image)) << "the saved image itself is unchanged";
    ASSERT_TRUE(decoded.HasAlpha());
    for (uint32_t y = 0; y < 10; ++y) {
        for (uint32_t x = 0; x < 20; ++x) {
            const RasterRgbQuad c = image.GetPixelColor(x, y, false);
            const bool keyed = c.rgbBlue == key.rgbBlue && c.rgbGreen == key.rgbGreen && c.rgbRed == key.rgbRed;
            EXPECT_EQ(*decoded.AlphaPointer(x, y), keyed ? 0 : 255) << x << "," << y;
        }
    }
}

TEST(PngCodec, TransparentColourOfAnRgbImageTravelsInTrnsAndBackground) {
    RasterImage image = testsupport::MakePatternImage(16, 8, 24);
    image.SetTransparentColor(RasterRgbQuad{10, 20, 30, 0});
    image.SetTransparentIndex(0);
    const std::vector<uint8_t> png = EncodeToBytes(image, RASTER_FORMAT_PNG);
    uint32_t length = 0;
    const size_t trns = FindChunk(png, "tRNS", &length);
    ASSERT_NE(trns, std::string::npos);
    EXPECT_EQ(std::vector<uint8_t>(png.begin() + long(trns), png.begin() + long(trns) + 6),
              (std::vector<uint8_t>{0, 30, 0, 20, 0, 10}));   // red, green, blue
    const size_t bkgd = FindChunk(png, "bKGD");
    EXPECT_EQ(std::vector<uint8_t>(png.begin() + long(bkgd), png.begin() + long(bkgd) + 6),
              (std::vector<uint8_t>{0, 30, 0, 20, 0, 10}));

    RasterImage decoded = Decoded(png);
    EXPECT_TRUE(testsupport::SamePixels(image, decoded));
    EXPECT_EQ(decoded.GetTransparentIndex(), 0);
    const RasterRgbQuad key = decoded.GetTransparentColor();
    EXPECT_EQ(RasterRgb(key.rgbRed, key.rgbGreen, key.rgbBlue), RasterRgb(30, 20, 10));
}

TEST(PngCodec, ColourPaletteImagesKeepDepthPaletteAndIndices) {
    for (uint32_t bpp : {1u, 4u, 8u}) {
        RasterImage image = MakeColourPaletteImage(bpp);
        const std::vector<uint8_t> png = EncodeToBytes(image, RASTER_FORMAT_PNG);
        EXPECT_EQ(png[FindChunk(png, "IHDR") + 9], 3) << bpp;
        RasterImage decoded = Decoded(png);
        EXPECT_EQ(decoded.GetBpp(), bpp);
        EXPECT_TRUE(testsupport::SamePixels(image, decoded)) << bpp;
        for (uint32_t y = 0; y < image.GetHeight(); ++y) {
            for (uint32_t x = 0; x < image.GetWidth(); ++x) {
                ASSERT_EQ(decoded.GetPixelIndex(x, y), image.GetPixelIndex(x, y)) << bpp;
            }
        }
    }
}

TEST(PngCodec, GreyRampPalettesAreWrittenAsGreyFiles) {
    for (uint32_t bpp : {1u, 4u, 8u}) {
        RasterImage image = testsupport::MakePatternImage(19, 7, bpp);
        const std::vector<uint8_t> png = EncodeToBytes(image, RASTER_FORMAT_PNG);
        const size_t ihdr = FindChunk(png, "IHDR");
        EXPECT_EQ(png[ihdr + 8], bpp);
        EXPECT_EQ(png[ihdr + 9], 0) << "grey colour type at " << bpp;
        RasterImage decoded = Decoded(png);
        EXPECT_EQ(decoded.GetBpp(), bpp);
        EXPECT_TRUE(testsupport::SamePixels(image, decoded)) << bpp;
    }
    // A grey palette that is not the ramp (here: inverted) must stay a palette.
    RasterImage inverted = testsupport::MakePatternImage(8, 8, 8);
    RasterRgbQuad* palette = inverted.GetPalette();
    for (int i = 0; i < 256; ++i) palette[i] = RasterRgbQuad{uint8_t(255 - i), uint8_t(255 - i), uint8_t(255 - i), 0};
    RasterImage decoded = RoundTrip(inverted);
    ExpectSameColours(inverted, decoded);
}

TEST(PngCodec, TransparentPaletteEntryIsWrittenAtIndexZero) {
    for (uint32_t bpp : {1u, 4u, 8u}) {
        RasterImage image = MakeColourPaletteImage(bpp);
        const int32_t transparent = bpp == 1 ? 1 : 5;
        image.SetTransparentIndex(transparent);
        const RasterImage before = image;
        const RasterRgbQuad moved = image.GetPalette()[transparent];

        const std::vector<uint8_t> png = EncodeToBytes(image, RASTER_FORMAT_PNG);
        EXPECT_TRUE(testsupport::SamePixels(before, image)) << "the saved image itself is unchanged";
        const size_t plte = FindChunk(png, "PLTE");
        EXPECT_EQ(RasterRgb(png[plte], png[plte + 1], png[plte + 2]), RasterRgb(moved.rgbRed, moved.rgbGreen, moved.rgbBlue));
        uint32_t length = 0;
        const size_t trns = FindChunk(png, "tRNS", &length);
        ASSERT_NE(trns, std::string::npos);
        EXPECT_EQ(length, 1u);
        EXPECT_EQ(png[trns], 0);
        EXPECT_EQ(png[FindChunk(png, "bKGD")], 0) << "background: the transparent entry";

        RasterImage decoded = Decoded(png);
        EXPECT_EQ(decoded.GetTransparentIndex(), 0);
        ExpectSameColours(image, decoded);
        RasterImage expectedAlpha = image;
        ASSERT_TRUE(expectedAlpha.AlphaFromTransparentIndex());
        ASSERT_TRUE(decoded.AlphaFromTransparentIndex());
        EXPECT_EQ(std::memcmp(expectedAlpha.GetAlphaPlane(), decoded.GetAlphaPlane(), size_t(19) * 11), 0) << bpp;
    }
}

TEST(PngCodec, SavedFileLoadsByExtensionAndByContent) {
    testsupport::TempDir dir;
    RasterImage image = testsupport::MakePatternImage(30, 20, 24);
    testsupport::AddPatternAlpha(image);
    const std::string png = (dir / "cut.png").string();
    ASSERT_TRUE(image.Save(png.c_str(), RASTER_FORMAT_PNG)) << image.LastErrorText();
    RasterImage byExtension;
    ASSERT_TRUE(byExtension.Load(png.c_str(), RasterImage::TypeFromExtension(png.c_str())));
    EXPECT_TRUE(testsupport::SamePixels(image, byExtension));

    const std::string odd = (dir / "cut.xyz").string();
    testsupport::WriteFileBytes(odd, testsupport::ReadFileBytes(png));
    RasterImage byContent;
    ASSERT_TRUE(byContent.Load(odd.c_str(), RasterImage::TypeFromExtension(odd.c_str())));
    EXPECT_EQ(byContent.GetType(), uint32_t(RASTER_FORMAT_PNG));
    EXPECT_TRUE(testsupport::SamePixels(image, byContent));
}

TEST(PngCodec, ShortWriteGivesTheSaveError) {
    RasterImage image = testsupport::MakePatternImage(64, 64, 24);
    codectest::ShortWriteFile file(50);
    EXPECT_FALSE(image.Encode(&file, RASTER_FORMAT_PNG));
    EXPECT_STREQ(image.LastErrorText(), "Error saving PNG file");
}

// ---- read paths ----------------------------------------------------------------------------

TEST(PngCodec, PaletteTransparencyWithSeveralEntriesBecomesPaletteAlpha) {
    PngRecipe recipe = MakeRecipe(PNG_COLOR_TYPE_PALETTE, 8, [](uint32_t x, uint32_t, int) { return x % 5; });
    for (int i = 0; i < 5; ++i) recipe.palette.push_back(png_color{uint8_t(i * 50), 7, 9});
    recipe.paletteAlpha = {0, 128, 200};
    RasterImage decoded = Decoded(WritePng(recipe));
    EXPECT_FALSE(decoded.IsTransparent());
    EXPECT_TRUE(decoded.IsPaletteAlphaEnabled());
    const RasterRgbQuad* palette = decoded.GetPalette();
    EXPECT_EQ(palette[0].rgbReserved, 0);
    EXPECT_EQ(palette[1].rgbReserved, 128);
    EXPECT_EQ(palette[2].rgbReserved, 200);
    EXPECT_EQ(palette[3].rgbReserved, 255) << "entries beyond the chunk are opaque";
    EXPECT_EQ(palette[4].rgbRed, 200);
}

TEST(PngCodec, SingleTransparentPaletteEntryBecomesTheTransparentIndex) {
    PngRecipe recipe = MakeRecipe(PNG_COLOR_TYPE_PALETTE, 4, [](uint32_t x, uint32_t, int) { return x % 3; });
    recipe.palette = {png_color{1, 2, 3}, png_color{4, 5, 6}, png_color{7, 8, 9}};
    recipe.paletteAlpha = {0};
    RasterImage decoded = Decoded(WritePng(recipe));
    EXPECT_EQ(decoded.GetTransparentIndex(), 0);
    EXPECT_FALSE(decoded.IsPaletteAlphaEnabled());
}

TEST(PngCodec, GreyTransparencyKeyIsThePixelIndex) {
    for (int depth : {2, 4, 8}) {
        PngRecipe recipe = MakeRecipe(PNG_COLOR_TYPE_GRAY, depth, [depth](uint32_t x, uint32_t, int) { return x % (1u << depth); });
        recipe.hasKey = true;
        recipe.key.gray = png_uint_16(depth == 8 ? 77 : 3);
        RasterImage decoded = Decoded(WritePng(recipe));
        EXPECT_EQ(decoded.GetTransparentIndex(), depth == 8 ? 77 : 3) << depth;
        ASSERT_TRUE(decoded.AlphaFromTransparentIndex());
        for (uint32_t x = 0; x < 13; ++x) {
            EXPECT_EQ(*decoded.AlphaPointer(x, 0), x % (1u << depth) == uint32_t(recipe.key.gray) ? 0 : 255) << depth;
        }
    }
}

TEST(PngCodec, TwoBitGreyGetsAFourLevelPalette) {
    PngRecipe recipe = MakeRecipe(PNG_COLOR_TYPE_GRAY, 2, [](uint32_t x, uint32_t y, int) { return (x + y) % 4; });
    RasterImage decoded = Decoded(WritePng(recipe));
    ASSERT_EQ(decoded.GetBpp(), 4u);
    const RasterRgbQuad* palette = decoded.GetPalette();
    EXPECT_EQ(palette[0].rgbRed, 0);
    EXPECT_EQ(palette[1].rgbRed, 85);
    EXPECT_EQ(palette[2].rgbGreen, 170);
    EXPECT_EQ(palette[3].rgbBlue, 255);
    for (uint32_t y = 0; y < 9; ++y) {
        for (uint32_t x = 0; x < 13; ++x) {
            ASSERT_EQ(testsupport::PictureColor(decoded, x, y) & 0xFF, ((x + y) % 4) * 85u) << x << "," << y;
        }
    }
}

TEST(PngCodec, GreyWithAlphaBecomesGreyPaletteAndAlphaPlane) {
    PngRecipe recipe = MakeRecipe(PNG_COLOR_TYPE_GRAY_ALPHA, 8, [](uint32_t x, uint32_t y, int c) { return c == 0 ? x * 19 : y * 30; });
    RasterImage decoded = Decoded(WritePng(recipe));
    ASSERT_EQ(decoded.GetBpp(), 8u);
    ASSERT_TRUE(decoded.HasAlpha());
    EXPECT_TRUE(decoded.IsGrayPalette());
    EXPECT_EQ(testsupport::PictureColor(decoded, 5, 2), RasterRgb(95, 95, 95));
    EXPECT_EQ(*decoded.AlphaPointer(5, 9 - 1 - 2), 60);
}

TEST(PngCodec, SixteenBitKeyedColourBecomesAnExactAlphaPlane) {
    // Neighbouring 16-bit values reduce to the same 8-bit colour; only the key is clear.
    PngRecipe recipe = MakeRecipe(PNG_COLOR_TYPE_RGB, 16, [](uint32_t x, uint32_t, int) { return 0x1234u + x % 2; });
    recipe.hasKey = true;
    recipe.key.red = recipe.key.green = recipe.key.blue = 0x1234;
    RasterImage decoded = Decoded(WritePng(recipe));
    ASSERT_TRUE(decoded.HasAlpha());
    EXPECT_FALSE(decoded.IsTransparent());
    EXPECT_EQ(*decoded.AlphaPointer(0, 0), 0);
    EXPECT_EQ(*decoded.AlphaPointer(1, 0), 255);
    EXPECT_EQ(testsupport::PictureColor(decoded, 0, 0), testsupport::PictureColor(decoded, 1, 0));
}

TEST(PngCodec, EarlierPictureInTheSameImageLeavesNoTransparencyOrResolution) {
    PngRecipe keyed = MakeRecipe(PNG_COLOR_TYPE_GRAY, 8, [](uint32_t x, uint32_t, int) { return x; });
    keyed.hasKey = true;
    keyed.key.gray = 3;
    keyed.hasPhys = true;
    keyed.physX = keyed.physY = 11811;
    PngRecipe plain = MakeRecipe(PNG_COLOR_TYPE_GRAY, 8, [](uint32_t x, uint32_t, int) { return x; });
    RasterImage image;
    ASSERT_TRUE(DecodeBytes(WritePng(keyed), RASTER_FORMAT_PNG, image));
    ASSERT_EQ(image.GetTransparentIndex(), 3);
    ASSERT_TRUE(DecodeBytes(WritePng(plain), RASTER_FORMAT_PNG, image));
    EXPECT_FALSE(image.IsTransparent());
    EXPECT_FALSE(image.IsPaletteAlphaEnabled());
    EXPECT_EQ(image.GetXDpi(), 96);
}

TEST(PngCodec, ResolutionInMetresOrUnknownUnit) {
    PngRecipe recipe = MakeRecipe(PNG_COLOR_TYPE_RGB, 8, [](uint32_t, uint32_t, int) { return 0u; });
    recipe.hasPhys = true;
    recipe.physX = 11811;   // 299.99 dpi
    recipe.physY = 2835;    // 72.009 dpi
    RasterImage metres = Decoded(WritePng(recipe));
    EXPECT_EQ(metres.GetXDpi(), 300);
    EXPECT_EQ(metres.GetYDpi(), 72);
    recipe.physUnit = PNG_RESOLUTION_UNKNOWN;
    recipe.physX = 150;
    recipe.physY = 600;
    RasterImage unknown = Decoded(WritePng(recipe));
    EXPECT_EQ(unknown.GetXDpi(), 150);
    EXPECT_EQ(unknown.GetYDpi(), 600);
}

TEST(PngCodec, InterlacedFilesDecodeLikeTheirProgressiveTwins) {
    struct Case {
        int colorType;
        int depth;
    };
    for (Case c : {Case{PNG_COLOR_TYPE_RGB_ALPHA, 8}, Case{PNG_COLOR_TYPE_GRAY, 2}, Case{PNG_COLOR_TYPE_RGB, 16}}) {
        PngRecipe recipe = MakeRecipe(c.colorType, c.depth, [c](uint32_t x, uint32_t y, int ch) {
            const uint32_t v = x * 37 + y * 11 + uint32_t(ch) * 101;
            return c.depth == 16 ? v * 97 : v % (1u << c.depth);
        }, 17, 12);
        const RasterImage plain = Decoded(WritePng(recipe));
        recipe.interlaced = true;
        const RasterImage interlaced = Decoded(WritePng(recipe));
        EXPECT_TRUE(testsupport::SamePixels(plain, interlaced)) << c.colorType << "/" << c.depth;
    }
}

// ---- damaged input -------------------------------------------------------------------------

TEST(PngCodec, DamagedFilesFailCleanly) {
    RasterImage image = testsupport::MakePatternImage(30, 30, 24);
    const std::vector<uint8_t> good = EncodeToBytes(image, RASTER_FORMAT_PNG);
    ExpectDecodeFails({}, "empty");
    ExpectDecodeFails({0xFF, 0xD8, 0xFF, 0xE0, 0, 0, 0, 0, 0, 0}, "not a PNG");
    ExpectDecodeFails(std::vector<uint8_t>(good.begin(), good.begin() + 20), "cut in the header");
    ExpectDecodeFails(std::vector<uint8_t>(good.begin(), good.begin() + long(good.size()) - 30), "cut in the data");

    std::vector<uint8_t> badCrc = good;
    badCrc[FindChunk(badCrc, "IDAT") + 10] ^= 0x40;
    ExpectDecodeFails(badCrc, "damaged image data");
}

TEST(PngCodec, OversizedHeaderIsRefusedBeforeAllocating) {
    RasterImage small = testsupport::MakePatternImage(8, 8, 24);
    std::vector<uint8_t> png = EncodeToBytes(small, RASTER_FORMAT_PNG);
    const size_t ihdr = FindChunk(png, "IHDR");
    const uint8_t side[4] = {0x00, 0x01, 0x86, 0xA0};   // 100000
    std::memcpy(&png[ihdr], side, 4);
    std::memcpy(&png[ihdr + 4], side, 4);
    FixChunkCrc(png, ihdr, 13);
    RasterImage decoded;
    EXPECT_FALSE(DecodeBytes(png, RASTER_FORMAT_PNG, decoded));
    EXPECT_STREQ(decoded.LastErrorText(), RasterTooLargeFor(100000, 100000, 24).text);
}

TEST(PngCodec, MutatedFilesNeverCrash) {
    RasterImage image = testsupport::MakePatternImage(24, 16, 24);
    testsupport::AddPatternAlpha(image);
    codectest::Mutator mutator(EncodeToBytes(image, RASTER_FORMAT_PNG), 8);
    for (int round = 0; round < 300; ++round) {
        const std::vector<uint8_t> bytes = mutator.Next(round);
        RasterImage decoded;
        if (DecodeBytes(bytes, RASTER_FORMAT_PNG, decoded)) {
            EXPECT_TRUE(decoded.IsValid());
        } else {
            EXPECT_NE(std::string(decoded.LastErrorText()), "");
        }
    }
}
