// TIFF reading: files written by ImageMagick's convert and by libtiff itself, compared with
// the pictures they were made from; damaged, truncated and oversized files.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstring>
#include <functional>

#include "FormatFixtures.h"
#include "image/RasterFile.h"
#include "image/formats/RasterImageTIF.h"
#include "TestSupport.h"

using fixtures::Convert;
using fixtures::DecodeBytes;
using fixtures::HaveConvert;
using fixtures::Quoted;
using testsupport::MakePatternImage;
using testsupport::PictureColor;
using testsupport::ReadFileBytes;
using testsupport::SamePixels;
using testsupport::TempDir;

namespace {

// ---- files from convert --------------------------------------------------------------------

class TiffFromConvert : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is not installed";
    }

    // Writes source as BMP, converts it with the options to TIFF and decodes the result.
    RasterImage RoundTrip(const RasterImage& source, const std::string& options) {
        fixtures::WriteBmp(source, m_dir / "source.bmp");
        return ConvertAndDecode(m_dir / "source.bmp", options);
    }

    // Each set of options must give the source's pixels at the given depth.
    void ExpectRoundTrips(const RasterImage& source, uint32_t bpp, std::initializer_list<const char*> optionSets) {
        for (const char* options : optionSets) {
            SCOPED_TRACE(options);
            const RasterImage image = RoundTrip(source, options);
            EXPECT_EQ(image.GetBpp(), bpp);
            EXPECT_TRUE(SamePixels(image, source));
        }
    }

    RasterImage ConvertAndDecode(const std::filesystem::path& input, const std::string& options) {
        const auto output = m_dir / "out.tif";
        EXPECT_TRUE(Convert(Quoted(input) + " " + options + " " + Quoted(output)));
        RasterImage image;
        EXPECT_TRUE(image.Load(output.string().c_str(), RASTER_FORMAT_TIF)) << image.LastErrorText();
        return image;
    }

    TempDir m_dir;
};

TEST_F(TiffFromConvert, LosslessColourCompressionsGiveTheSourceExactly) {
    const RasterImage source = MakePatternImage(45, 31);
    for (const char* compression : {"None", "LZW", "Zip", "RLE"}) {
        SCOPED_TRACE(compression);
        const RasterImage image = RoundTrip(source, std::string("-compress ") + compression + " -type TrueColor");
        EXPECT_EQ(image.GetBpp(), 24u);
        EXPECT_TRUE(SamePixels(image, source));
    }
}

TEST_F(TiffFromConvert, JpegCompressedTiffIsCloseToTheSource) {
    const RasterImage source = MakePatternImage(64, 40);
    for (const char* sampling : {"1x1", "2x2"}) {
        SCOPED_TRACE(sampling);
        const RasterImage image =
            RoundTrip(source, std::string("-compress JPEG -quality 98 -sampling-factor ") + sampling);
        ASSERT_TRUE(image.IsValid());
        EXPECT_GE(testsupport::Psnr(image, source), sampling[0] == '1' ? 40.0 : 30.0);
    }
}

TEST_F(TiffFromConvert, SixteenBitColourIsReducedExactly) {
    const RasterImage source = MakePatternImage(33, 17);
    const RasterImage image = RoundTrip(source, "-depth 16 -compress Zip -type TrueColor");
    EXPECT_TRUE(SamePixels(image, source));
}

TEST_F(TiffFromConvert, GreyBecomesAnEightBitGreyPicture) {
    ExpectRoundTrips(fixtures::MakeGreyPattern(30, 20), 8,
                     {"-type Grayscale -depth 8", "-type Grayscale -depth 16",
                      "-type Grayscale -depth 8 -define tiff:photometric=min-is-white"});
}

TEST_F(TiffFromConvert, BilevelBecomesAOneBitPicture) {
    ExpectRoundTrips(fixtures::MakeBilevelPattern(37, 23), 1,
                     {"-type Bilevel -depth 1", "-type Bilevel -compress Group4", "-type Bilevel -compress Fax",
                      "-type Bilevel -depth 1 -define tiff:photometric=min-is-white"});
}

TEST_F(TiffFromConvert, PaletteFilesStayPalettePictures) {
    const RasterImage source = fixtures::MakeFewColourPattern(29, 19);
    const RasterImage image = RoundTrip(source, "-type Palette -compress LZW");
    EXPECT_LE(image.GetBpp(), 8u);
    EXPECT_TRUE(SamePixels(image, source));
}

TEST_F(TiffFromConvert, UnassociatedAlphaIsKeptExactly) {
    RasterImage source = MakePatternImage(26, 14);
    testsupport::AddPatternAlpha(source);
    fixtures::WritePamWithAlpha(source, m_dir / "source.pam");
    const RasterImage image = ConvertAndDecode(m_dir / "source.pam", "-compress LZW");
    ASSERT_TRUE(image.HasAlpha());
    // Colour under fully transparent pixels is not kept by every writer: compare where seen.
    for (uint32_t y = 0; y < source.GetHeight(); ++y) {
        for (uint32_t x = 0; x < source.GetWidth(); ++x) {
            const RasterRgbQuad a = image.GetPixelColor(x, y, true);
            const RasterRgbQuad b = source.GetPixelColor(x, y, true);
            ASSERT_EQ(a.rgbReserved, b.rgbReserved) << x << "," << y;
            if (b.rgbReserved == 0) continue;
            ASSERT_EQ(a.rgbRed, b.rgbRed) << x << "," << y;
            ASSERT_EQ(a.rgbGreen, b.rgbGreen);
            ASSERT_EQ(a.rgbBlue, b.rgbBlue);
        }
    }
}

TEST_F(TiffFromConvert, ResolutionBecomesDotsPerInch) {
    const RasterImage source = MakePatternImage(8, 8);
    RasterImage inch = RoundTrip(source, "-units PixelsPerInch -density 300x150");
    EXPECT_EQ(inch.GetXDpi(), 300);
    EXPECT_EQ(inch.GetYDpi(), 150);
    RasterImage centimetre = RoundTrip(source, "-units PixelsPerCentimeter -density 118.11");
    EXPECT_EQ(centimetre.GetXDpi(), 300);
    EXPECT_EQ(centimetre.GetYDpi(), 300);
}

TEST_F(TiffFromConvert, EveryPrefixFailsCleanlyOrGivesAPicture) {
    fixtures::WriteBmp(MakePatternImage(20, 12), m_dir / "source.bmp");
    for (const char* options : {"-compress LZW", "-compress JPEG", "-compress Zip -depth 16"}) {
        SCOPED_TRACE(options);
        ASSERT_TRUE(Convert(Quoted(m_dir / "source.bmp") + " " + options + " " + Quoted(m_dir / "p.tif")));
        fixtures::ExpectPrefixesHandled(ReadFileBytes(m_dir / "p.tif"), RASTER_FORMAT_TIF, 7);
    }
}

// ---- files from libtiff's own writer ---------------------------------------------------------

struct TiffLayout {
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t bits = 8;
    uint16_t samples = 1;
    uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    uint16_t planar = PLANARCONFIG_CONTIG;
    uint16_t compression = COMPRESSION_NONE;
    uint16_t orientation = ORIENTATION_TOPLEFT;
    uint32_t tile = 0;  // square tiles of this size; 0 = strips of 3 rows
    std::vector<uint16_t> extraSamples;
    std::vector<uint16_t> colourMap;  // red, green, blue thirds
};

TiffLayout Layout(uint32_t width, uint32_t height, uint16_t samples, uint16_t photometric) {
    TiffLayout layout;
    layout.width = width;
    layout.height = height;
    layout.samples = samples;
    layout.photometric = photometric;
    return layout;
}

// sample(x, y, s) gives each sample's value; 16-bit samples are written in host order.
std::vector<uint8_t> WriteTiff(const TiffLayout& layout, const std::function<uint32_t(uint32_t, uint32_t, uint32_t)>& sample) {
    TempDir dir;
    const auto path = dir / "t.tif";
    TIFF* tif = TIFFOpen(path.string().c_str(), "w");
    EXPECT_NE(tif, nullptr);
    if (!tif) return {};
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, layout.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, layout.height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, layout.bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, layout.samples);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, layout.photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, layout.planar);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, layout.compression);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, layout.orientation);
    if (!layout.extraSamples.empty()) {
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, uint16_t(layout.extraSamples.size()), layout.extraSamples.data());
    }
    if (!layout.colourMap.empty()) {
        const size_t n = layout.colourMap.size() / 3;
        TIFFSetField(tif, TIFFTAG_COLORMAP, layout.colourMap.data(), layout.colourMap.data() + n,
                     layout.colourMap.data() + 2 * n);
    }
    const bool separate = layout.planar == PLANARCONFIG_SEPARATE;
    const uint32_t perPlane = separate ? 1 : layout.samples;
    const uint16_t planes = separate ? layout.samples : 1;
    // Packs samples [x0, x0 + count) of row y, plane p into out (big-endian bit order).
    auto pack = [&](uint32_t y, uint16_t p, uint32_t x0, uint32_t count, uint8_t* out) {
        uint64_t bit = 0;
        for (uint32_t x = x0; x < x0 + count; ++x) {
            for (uint32_t s = 0; s < perPlane; ++s) {
                const uint32_t v = (x < layout.width && y < layout.height) ? sample(x, y, separate ? p : s) : 0;
                if (layout.bits == 16) {
                    const auto v16 = uint16_t(v);
                    std::memcpy(out + bit / 8, &v16, 2);
                } else {
                    for (int b = layout.bits - 1; b >= 0; --b, ++bit) {
                        if ((v >> b) & 1) out[bit / 8] |= uint8_t(0x80 >> (bit % 8));
                    }
                    continue;
                }
                bit += 16;
            }
        }
    };
    if (layout.tile) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, layout.tile);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, layout.tile);
        const tmsize_t rowBytes = TIFFTileRowSize(tif);
        std::vector<uint8_t> buffer(size_t(TIFFTileSize(tif)));
        for (uint16_t p = 0; p < planes; ++p) {
            for (uint32_t ty = 0; ty < layout.height; ty += layout.tile) {
                for (uint32_t tx = 0; tx < layout.width; tx += layout.tile) {
                    std::fill(buffer.begin(), buffer.end(), 0);
                    for (uint32_t r = 0; r < layout.tile; ++r) pack(ty + r, p, tx, layout.tile, &buffer[size_t(r * rowBytes)]);
                    EXPECT_GE(TIFFWriteEncodedTile(tif, TIFFComputeTile(tif, tx, ty, 0, p), buffer.data(), tmsize_t(buffer.size())), 0);
                }
            }
        }
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 3u);
        std::vector<uint8_t> row(size_t(TIFFScanlineSize(tif)));
        for (uint16_t p = 0; p < planes; ++p) {
            for (uint32_t y = 0; y < layout.height; ++y) {
                std::fill(row.begin(), row.end(), 0);
                pack(y, p, 0, layout.width, row.data());
                EXPECT_EQ(TIFFWriteScanline(tif, row.data(), y, p), 1);
            }
        }
    }
    TIFFClose(tif);
    return ReadFileBytes(path);
}

RasterImage DecodeTiff(const std::vector<uint8_t>& bytes) {
    RasterImage image;
    EXPECT_TRUE(DecodeBytes(bytes, RASTER_FORMAT_TIF, image)) << image.LastErrorText();
    return image;
}

uint32_t Channel(uint32_t x, uint32_t y, uint32_t s) { return (x * 37 + y * 11 + s * 91) & 0xFF; }

TEST(TiffFromLibtiff, TilesAndSeparatePlanesGiveTheSamePicture) {
    TiffLayout layout = Layout(37, 21, 3, PHOTOMETRIC_RGB);
    for (uint32_t tile : {0u, 16u}) {
        for (uint16_t planar : {uint16_t(PLANARCONFIG_CONTIG), uint16_t(PLANARCONFIG_SEPARATE)}) {
            SCOPED_TRACE(testing::Message() << "tile " << tile << " planar " << planar);
            layout.tile = tile;
            layout.planar = planar;
            layout.compression = tile ? COMPRESSION_ADOBE_DEFLATE : COMPRESSION_LZW;
            const RasterImage image = DecodeTiff(WriteTiff(layout, Channel));
            ASSERT_EQ(image.GetWidth(), 37u);
            ASSERT_EQ(image.GetHeight(), 21u);
            for (uint32_t y = 0; y < 21; ++y) {
                for (uint32_t x = 0; x < 37; ++x) {
                    ASSERT_EQ(PictureColor(image, x, y), RasterRgb(uint8_t(Channel(x, y, 0)), uint8_t(Channel(x, y, 1)),
                                                                   uint8_t(Channel(x, y, 2))));
                }
            }
        }
    }
}

TEST(TiffFromLibtiff, ExtraSamplesThatAreNotAlphaAreSkippedInEitherLayout) {
    TiffLayout layout = Layout(7, 5, 2, PHOTOMETRIC_MINISBLACK);
    layout.extraSamples = {EXTRASAMPLE_UNSPECIFIED};
    for (uint16_t planar : {uint16_t(PLANARCONFIG_CONTIG), uint16_t(PLANARCONFIG_SEPARATE)}) {
        SCOPED_TRACE(planar);
        layout.planar = planar;
        const RasterImage image = DecodeTiff(WriteTiff(layout, Channel));
        EXPECT_FALSE(image.HasAlpha());
        for (uint32_t x = 0; x < 7; ++x) {
            const auto v = uint8_t(Channel(x, 3, 0));
            EXPECT_EQ(PictureColor(image, x, 3), RasterRgb(v, v, v));
        }
    }
}

TEST(TiffFromLibtiff, AssociatedAlphaIsTakenOutOfTheColours) {
    TiffLayout layout = Layout(16, 4, 4, PHOTOMETRIC_RGB);
    layout.extraSamples = {EXTRASAMPLE_ASSOCALPHA};
    const uint32_t alphas[4] = {255, 128, 51, 0};
    // Straight colours that premultiply without rounding: (value * alpha) divisible by 255.
    auto straight = [](uint32_t x, uint32_t s) { return s == 0 ? 255u : s == 1 ? (x * 15) % 256 : 0u; };
    const RasterImage image = DecodeTiff(WriteTiff(layout, [&](uint32_t x, uint32_t y, uint32_t s) {
        if (s == 3) return alphas[y];
        return (straight(x, s) * alphas[y] + 127) / 255;
    }));
    ASSERT_TRUE(image.HasAlpha());
    for (uint32_t y = 0; y < 4; ++y) {
        for (uint32_t x = 0; x < 16; ++x) {
            const RasterRgbQuad c = image.GetPixelColor(x, 3 - y, true);
            EXPECT_EQ(c.rgbReserved, alphas[y]);
            if (alphas[y] == 0) continue;
            EXPECT_EQ(c.rgbRed, 255);
            EXPECT_NEAR(c.rgbGreen, straight(x, 1), alphas[y] >= 128 ? 1 : 3) << x << "," << y;
            EXPECT_EQ(c.rgbBlue, 0);
        }
    }
}

TEST(TiffFromLibtiff, CmykIsConvertedThroughTheBlackChannel) {
    TiffLayout layout = Layout(4, 1, 4, PHOTOMETRIC_SEPARATED);
    const uint32_t inks[4][4] = {{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 128, 0, 51}, {0, 0, 0, 255}};
    const RasterImage image = DecodeTiff(WriteTiff(layout, [&](uint32_t x, uint32_t, uint32_t s) { return inks[x][s]; }));
    EXPECT_EQ(PictureColor(image, 0, 0), RasterRgb(255, 255, 255));
    EXPECT_EQ(PictureColor(image, 1, 0), RasterRgb(0, 255, 255));
    EXPECT_EQ(PictureColor(image, 2, 0), RasterRgb(204, 102, 204));  // 255*204/255, 127*204/255
    EXPECT_EQ(PictureColor(image, 3, 0), RasterRgb(0, 0, 0));
}

TEST(TiffFromLibtiff, LowDepthsKeepTheirIndicesAndScaleTheirGreys) {
    TiffLayout layout = Layout(9, 5, 1, PHOTOMETRIC_MINISBLACK);
    layout.bits = 4;
    layout.photometric = PHOTOMETRIC_PALETTE;
    layout.colourMap.resize(48);
    for (uint16_t i = 0; i < 16; ++i) {
        layout.colourMap[i] = uint16_t(i * 4369);              // red ramp, 16-bit values
        layout.colourMap[16 + i] = uint16_t((15 - i) * 4369);  // green falls
        layout.colourMap[32 + i] = 0x8080;
    }
    auto index = [](uint32_t x, uint32_t y, uint32_t) { return (x + 2 * y) % 16; };
    const RasterImage palette = DecodeTiff(WriteTiff(layout, index));
    ASSERT_EQ(palette.GetBpp(), 4u);
    EXPECT_EQ(palette.GetPixelIndex(3, 4), 3u);  // picture row 0 is stored row 4
    EXPECT_EQ(PictureColor(palette, 3, 1), RasterRgb(85, 170, 128));

    layout = TiffLayout{};
    layout.width = 5;
    layout.height = 2;
    layout.bits = 2;
    const RasterImage grey = DecodeTiff(WriteTiff(layout, [](uint32_t x, uint32_t, uint32_t) { return x % 4; }));
    ASSERT_EQ(grey.GetBpp(), 4u);
    EXPECT_EQ(PictureColor(grey, 2, 0), RasterRgb(170, 170, 170));

    layout.bits = 12;
    layout.photometric = PHOTOMETRIC_MINISWHITE;
    const RasterImage deep = DecodeTiff(WriteTiff(layout, [](uint32_t x, uint32_t, uint32_t) { return x * 1000; }));
    ASSERT_EQ(deep.GetBpp(), 8u);
    EXPECT_EQ(PictureColor(deep, 0, 0), RasterRgb(255, 255, 255));
    EXPECT_EQ(PictureColor(deep, 3, 1), RasterRgb(68, 68, 68));  // 255 - round(3000 * 255 / 4095)
}

TEST(TiffFromLibtiff, OrientationIsApplied) {
    TiffLayout layout = Layout(3, 2, 3, PHOTOMETRIC_RGB);
    auto colour = [](uint32_t x, uint32_t y, uint32_t s) { return s == 0 ? x * 50 : s == 1 ? y * 50 : 7u; };
    layout.orientation = ORIENTATION_BOTLEFT;
    const RasterImage flipped = DecodeTiff(WriteTiff(layout, colour));
    EXPECT_EQ(PictureColor(flipped, 2, 0), RasterRgb(100, 50, 7));
    layout.orientation = ORIENTATION_RIGHTTOP;  // rotated a quarter turn clockwise for viewing
    const RasterImage turned = DecodeTiff(WriteTiff(layout, colour));
    ASSERT_EQ(turned.GetWidth(), 2u);
    ASSERT_EQ(turned.GetHeight(), 3u);
    EXPECT_EQ(PictureColor(turned, 1, 2), RasterRgb(100, 0, 7));  // file row 0 is the right column
    EXPECT_EQ(PictureColor(turned, 0, 0), RasterRgb(0, 50, 7));
}

TEST(TiffFromLibtiff, YCbCrWithoutJpegGoesThroughLibtiffConversion) {
    // Neutral chroma: grey levels from luma alone (default 2x2 subsampling needs packed
    // blocks, so use no subsampling).
    std::vector<uint8_t> bytes;
    {
        TempDir dir;
        TIFF* tif = TIFFOpen((dir / "y.tif").string().c_str(), "w");
        ASSERT_NE(tif, nullptr);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 8u);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 6u);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
        TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, 1, 1);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 6u);
        uint8_t row[24];
        for (uint32_t y = 0; y < 6; ++y) {
            for (uint32_t x = 0; x < 8; ++x) {
                row[3 * x] = uint8_t(x * 30);
                row[3 * x + 1] = row[3 * x + 2] = 128;
            }
            TIFFWriteScanline(tif, row, y, 0);
        }
        TIFFClose(tif);
        bytes = ReadFileBytes(dir / "y.tif");
    }
    const RasterImage image = DecodeTiff(bytes);
    ASSERT_EQ(image.GetBpp(), 24u);
    for (uint32_t x = 0; x < 8; ++x) {
        const uint32_t c = PictureColor(image, x, 5);
        EXPECT_NEAR(RasterRed(c), x * 30, 2);
        EXPECT_EQ(RasterRed(c), RasterGreen(c));
        EXPECT_EQ(RasterRed(c), RasterBlue(c));
    }
}

// ---- hostile files -----------------------------------------------------------------------------

// A little-endian TIFF with one grey strip described by the given values and data.
std::vector<uint8_t> HandMadeTiff(uint32_t width, uint32_t height, uint16_t bits, uint16_t compression,
                                  uint32_t stripBytes, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> b = {'I', 'I', 42, 0, 8, 0, 0, 0};
    struct Entry { uint16_t tag, type; uint32_t value; };
    const uint32_t dataOffset = 8 + 2 + 8 * 12 + 4;
    const Entry entries[] = {{256, 4, width}, {257, 4, height}, {258, 3, bits}, {259, 3, compression},
                             {262, 3, 1},     {273, 4, dataOffset}, {278, 4, height}, {279, 4, stripBytes}};
    auto put16 = [&](uint32_t v) { b.push_back(uint8_t(v)); b.push_back(uint8_t(v >> 8)); };
    auto put32 = [&](uint32_t v) { put16(v & 0xFFFF); put16(v >> 16); };
    put16(8);
    for (const Entry& e : entries) {
        put16(e.tag);
        put16(e.type);
        put32(1);
        put32(e.value);
    }
    put32(0);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

TEST(TiffHostile, HugePictureOverAFewBytesFailsBeforeAllocating) {
    for (uint16_t compression : {uint16_t(COMPRESSION_NONE), uint16_t(COMPRESSION_LZW), uint16_t(COMPRESSION_ADOBE_DEFLATE)}) {
        SCOPED_TRACE(compression);
        RasterImage image;
        const std::vector<uint8_t> data(16, 0x80);
        EXPECT_FALSE(DecodeBytes(HandMadeTiff(65535, 65535, 1, compression, 16, data), RASTER_FORMAT_TIF, image));
        // Uncompressed strips that cannot hold the rows are caught as missing data.
        const std::string error = image.LastErrorText();
        EXPECT_TRUE(error == "Decode: the picture is far larger than its data allows" ||
                    (compression == COMPRESSION_NONE &&
                     error == "TIFF: strip or tile data missing or beyond the end of the file"))
            << error;
    }
}

TEST(TiffHostile, StripBeyondTheEndOfTheFileIsRejected) {
    RasterImage image;
    EXPECT_FALSE(DecodeBytes(HandMadeTiff(8, 8, 8, COMPRESSION_NONE, 64, std::vector<uint8_t>(20, 1)),
                             RASTER_FORMAT_TIF, image));
    EXPECT_STREQ(image.LastErrorText(), "TIFF: strip or tile data missing or beyond the end of the file");
}

TEST(TiffHostile, DamagedDataFailsQuietlyWithLibtiffsMessage) {
    std::vector<uint8_t> garbage(40, 0xFF);
    testing::internal::CaptureStderr();
    RasterImage image;
    const bool decoded = DecodeBytes(HandMadeTiff(8, 8, 8, COMPRESSION_LZW, 40, garbage), RASTER_FORMAT_TIF, image);
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(decoded);
    EXPECT_EQ(printed, "");
    EXPECT_EQ(std::string(image.LastErrorText()).rfind("TIFF: ", 0), 0u) << image.LastErrorText();
}

TEST(TiffHostile, HandMadeFileDecodesWhenItsDataIsComplete) {
    std::vector<uint8_t> data(64);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 4);
    const RasterImage image = DecodeTiff(HandMadeTiff(8, 8, 8, COMPRESSION_NONE, 64, data));
    EXPECT_EQ(PictureColor(image, 1, 2), RasterRgb(68, 68, 68));
}

TEST(TiffFormat, OtherDataIsNotTakenForTiffAndTiffIsNotWritten) {
    RasterImage image;
    EXPECT_FALSE(DecodeBytes({'P', '6', ' ', '1'}, RASTER_FORMAT_TIF, image));
    EXPECT_STREQ(image.LastErrorText(), "TIFF: not a TIFF file");
    RasterImage source = MakePatternImage(4, 4);
    RasterMemFile out;
    out.Open();
    EXPECT_FALSE(source.Encode(&out, RASTER_FORMAT_TIF));
}

TEST(TiffFormat, DetectionByContentFindsTiff) {
    std::vector<uint8_t> data(64, 9);
    RasterImage image;
    ASSERT_TRUE(DecodeBytes(HandMadeTiff(8, 8, 8, COMPRESSION_NONE, 64, data), RASTER_FORMAT_UNKNOWN, image))
        << image.LastErrorText();
    EXPECT_EQ(image.GetType(), uint32_t(RASTER_FORMAT_TIF));
}

TEST(Tiff, InputsThatOnceBrokeTheReaderFailCleanlyOrDecode) {
    fixtures::ExpectRegressionFilesHandled("tiff", RASTER_FORMAT_TIF);
}

}  // namespace
