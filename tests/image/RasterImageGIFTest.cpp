#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "FormatFixtures.h"
#include "image/RasterFile.h"
#include "image/RasterImage.h"
#include "TestSupport.h"

using testsupport::MakePatternImage;
using testsupport::PictureColor;

namespace {

using Bytes = std::vector<uint8_t>;

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

constexpr uint32_t kBlack = RasterRgb(0, 0, 0);
constexpr uint32_t kRed = RasterRgb(255, 0, 0);
constexpr uint32_t kGreen = RasterRgb(0, 255, 0);
constexpr uint32_t kBlue = RasterRgb(0, 0, 255);
// Global map of the composition tests: 0 black, 1 red, 2 green, 3 blue.
const std::vector<Rgb> kFourColors = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};

void PutLe16(Bytes& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

// Writes a colour table padded to a power of two; returns the size field (log2(n) - 1).
uint8_t PutColorTable(Bytes& out, std::vector<Rgb> map) {
    uint8_t bits = 1;
    while ((1u << bits) < map.size()) ++bits;
    map.resize(size_t(1) << bits, Rgb{0, 0, 0});
    for (const Rgb& c : map) out.insert(out.end(), {c.r, c.g, c.b});
    return uint8_t(bits - 1);
}

// LZW data that never grows the code table past 9-bit codes: a clear code every 200
// pixels. Minimum code size 8, so any index 0..255 is valid whatever the colour map.
void PutLzw(Bytes& out, const std::vector<uint8_t>& indices) {
    constexpr uint32_t kClear = 256, kEnd = 257;
    Bytes packed;
    uint32_t bitBuffer = 0, bitCount = 0;
    auto emit = [&](uint32_t code) {
        bitBuffer |= code << bitCount;
        bitCount += 9;
        while (bitCount >= 8) {
            packed.push_back(uint8_t(bitBuffer));
            bitBuffer >>= 8;
            bitCount -= 8;
        }
    };
    emit(kClear);
    for (size_t i = 0; i < indices.size(); ++i) {
        if (i > 0 && i % 200 == 0) emit(kClear);
        emit(indices[i]);
    }
    emit(kEnd);
    if (bitCount > 0) packed.push_back(uint8_t(bitBuffer));
    out.push_back(8);
    for (size_t i = 0; i < packed.size(); i += 255) {
        const size_t n = std::min<size_t>(255, packed.size() - i);
        out.push_back(uint8_t(n));
        out.insert(out.end(), packed.begin() + ptrdiff_t(i), packed.begin() + ptrdiff_t(i + n));
    }
    out.push_back(0);
}

// Builds GIF files byte by byte, so that every field can carry a hostile value.
class GifBuilder {
public:
    GifBuilder(uint32_t width, uint32_t height, const std::vector<Rgb>& globalMap = {}, uint8_t background = 0,
               const char* signature = "GIF89a") {
        for (int i = 0; i < 6; ++i) m_bytes.push_back(uint8_t(signature[i]));
        PutLe16(m_bytes, width);
        PutLe16(m_bytes, height);
        Bytes table;
        const uint8_t size = globalMap.empty() ? 0 : PutColorTable(table, globalMap);
        m_bytes.push_back(uint8_t((globalMap.empty() ? 0 : 0x80) | 0x70 | size));
        m_bytes.push_back(background);
        m_bytes.push_back(0);
        m_bytes.insert(m_bytes.end(), table.begin(), table.end());
    }

    GifBuilder& Control(int transparentIndex, int disposal) {
        m_bytes.insert(m_bytes.end(), {0x21, 0xF9, 4});
        m_bytes.push_back(uint8_t((disposal << 2) | (transparentIndex >= 0 ? 1 : 0)));
        PutLe16(m_bytes, 0);
        m_bytes.push_back(uint8_t(transparentIndex >= 0 ? transparentIndex : 0));
        m_bytes.push_back(0);
        return *this;
    }

    // indices: width x height, top row first.
    GifBuilder& Image(uint32_t left, uint32_t top, uint32_t width, uint32_t height, const std::vector<uint8_t>& indices,
                      const std::vector<Rgb>& localMap = {}, bool interlaced = false) {
        m_bytes.push_back(0x2C);
        PutLe16(m_bytes, left);
        PutLe16(m_bytes, top);
        PutLe16(m_bytes, width);
        PutLe16(m_bytes, height);
        Bytes table;
        const uint8_t size = localMap.empty() ? 0 : PutColorTable(table, localMap);
        m_bytes.push_back(uint8_t((localMap.empty() ? 0 : 0x80) | (interlaced ? 0x40 : 0) | size));
        m_bytes.insert(m_bytes.end(), table.begin(), table.end());
        PutLzw(m_bytes, interlaced ? InterlacedOrder(indices, width, height) : indices);
        return *this;
    }

    GifBuilder& Comment(const std::string& text) {
        m_bytes.insert(m_bytes.end(), {0x21, 0xFE, uint8_t(text.size())});
        m_bytes.insert(m_bytes.end(), text.begin(), text.end());
        m_bytes.push_back(0);
        return *this;
    }

    size_t Size() const { return m_bytes.size(); }
    Bytes Finish(bool trailer = true) const {
        Bytes out = m_bytes;
        if (trailer) out.push_back(0x3B);
        return out;
    }

private:
    static std::vector<uint8_t> InterlacedOrder(const std::vector<uint8_t>& rows, uint32_t width, uint32_t height) {
        std::vector<uint8_t> out;
        const uint32_t start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass) {
            for (uint32_t y = start[pass]; y < height; y += step[pass]) {
                out.insert(out.end(), rows.begin() + ptrdiff_t(y * width), rows.begin() + ptrdiff_t((y + 1) * width));
            }
        }
        return out;
    }

    Bytes m_bytes;
};

// The block structure of a GIF file (LZW data skipped).
struct ParsedImage {
    uint32_t left = 0, top = 0, width = 0, height = 0;
    std::vector<Rgb> localMap;
    bool hasControl = false;
    int transparentIndex = -1;
    int disposal = 0;
};

struct ParsedGif {
    std::string signature;
    uint32_t width = 0, height = 0;
    std::vector<Rgb> globalMap;
    std::vector<ParsedImage> images;
    bool endsWithTrailer = false;
};

::testing::AssertionResult ParseGif(const Bytes& b, ParsedGif& out) {
    size_t pos = 0;
    auto need = [&](size_t n) { return pos + n <= b.size(); };
    auto le16 = [&](size_t at) { return uint32_t(b[at] | (b[at + 1] << 8)); };
    auto readTable = [&](uint8_t flags, std::vector<Rgb>& table) {
        const size_t n = size_t(2) << (flags & 7);
        if (!need(n * 3)) return false;
        for (size_t i = 0; i < n; ++i) table.push_back(Rgb{b[pos + 3 * i], b[pos + 3 * i + 1], b[pos + 3 * i + 2]});
        pos += n * 3;
        return true;
    };
    auto skipSubBlocks = [&]() {
        while (need(1)) {
            const uint8_t n = b[pos++];
            if (n == 0) return true;
            if (!need(n)) return false;
            pos += n;
        }
        return false;
    };
    if (!need(13)) return ::testing::AssertionFailure() << "no header";
    out.signature.assign(b.begin(), b.begin() + 6);
    out.width = le16(6);
    out.height = le16(8);
    const uint8_t screenFlags = b[10];
    pos = 13;
    if ((screenFlags & 0x80) && !readTable(screenFlags, out.globalMap)) return ::testing::AssertionFailure() << "global map";
    ParsedImage next;
    while (need(1)) {
        const uint8_t record = b[pos++];
        if (record == 0x3B) {
            out.endsWithTrailer = pos == b.size();
            return ::testing::AssertionSuccess();
        }
        if (record == 0x21) {
            if (!need(2)) return ::testing::AssertionFailure() << "extension";
            const uint8_t label = b[pos];
            if (label == 0xF9 && b[pos + 1] == 4 && need(6)) {
                next.hasControl = true;
                next.disposal = (b[pos + 2] >> 2) & 7;
                next.transparentIndex = (b[pos + 2] & 1) ? b[pos + 5] : -1;
            }
            ++pos;
            if (!skipSubBlocks()) return ::testing::AssertionFailure() << "extension data";
        } else if (record == 0x2C) {
            if (!need(9)) return ::testing::AssertionFailure() << "descriptor";
            next.left = le16(pos);
            next.top = le16(pos + 2);
            next.width = le16(pos + 4);
            next.height = le16(pos + 6);
            const uint8_t flags = b[pos + 8];
            pos += 9;
            if ((flags & 0x80) && !readTable(flags, next.localMap)) return ::testing::AssertionFailure() << "local map";
            if (!need(1)) return ::testing::AssertionFailure() << "code size";
            ++pos;
            if (!skipSubBlocks()) return ::testing::AssertionFailure() << "image data";
            out.images.push_back(next);
            next = ParsedImage{};
        } else {
            return ::testing::AssertionFailure() << "unknown record " << int(record) << " at " << pos - 1;
        }
    }
    return ::testing::AssertionFailure() << "no trailer";
}

Bytes EncodeGif(RasterImage& image) {
    RasterMemFile file;
    file.Open();
    EXPECT_TRUE(image.Encode(&file, RASTER_FORMAT_GIF)) << image.LastErrorText();
    return Bytes(file.GetBuffer(), file.GetBuffer() + file.Size());
}

bool DecodeGif(Bytes bytes, RasterImage& out) {
    return out.Decode(bytes.data(), uint32_t(bytes.size()), RASTER_FORMAT_GIF);
}

// Same size and the same colour everywhere, whatever the depths.
::testing::AssertionResult SameColors(const RasterImage& a, const RasterImage& b) {
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) {
        return ::testing::AssertionFailure() << "sizes differ";
    }
    for (uint32_t y = 0; y < a.GetHeight(); ++y) {
        for (uint32_t x = 0; x < a.GetWidth(); ++x) {
            if (PictureColor(a, x, y) != PictureColor(b, x, y)) {
                return ::testing::AssertionFailure() << "picture pixel (" << x << ", " << y << ") differs: " << std::hex
                                                     << PictureColor(a, x, y) << " vs " << PictureColor(b, x, y);
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// Colours of a picture row, left to right.
std::vector<uint32_t> RowColors(const RasterImage& image, uint32_t y) {
    std::vector<uint32_t> row;
    for (uint32_t x = 0; x < image.GetWidth(); ++x) row.push_back(PictureColor(image, x, y));
    return row;
}

RasterImage MakePaletteImage(uint32_t width, uint32_t height, uint32_t bpp) {
    RasterImage image = MakePatternImage(width, height, bpp);
    RasterRgbQuad* palette = image.GetPalette();
    for (uint32_t i = 0; i < image.GetPaletteSize(); ++i) {
        palette[i] = RasterRgbQuad{uint8_t(i * 7), uint8_t(255 - i), uint8_t(i * 13), 0};
    }
    return image;
}

}  // namespace

// ---- writing ---------------------------------------------------------------------------

TEST(GifEncode, PictureOf34x15BecomesTwoCellImagesHoldingThePixels) {
    RasterImage image = MakePatternImage(34, 15);
    ParsedGif gif;
    ASSERT_TRUE(ParseGif(EncodeGif(image), gif));
    EXPECT_EQ(gif.signature, "GIF89a");
    EXPECT_EQ(gif.width, 34u);
    EXPECT_EQ(gif.height, 15u);
    EXPECT_TRUE(gif.globalMap.empty());
    EXPECT_TRUE(gif.endsWithTrailer);
    ASSERT_EQ(gif.images.size(), 2u);
    for (uint32_t cell = 0; cell < 2; ++cell) {
        const ParsedImage& im = gif.images[cell];
        EXPECT_EQ(im.left, 17 * cell);
        EXPECT_EQ(im.top, 0u);
        EXPECT_EQ(im.width, 17u);
        EXPECT_EQ(im.height, 15u);
        EXPECT_FALSE(im.hasControl);
        ASSERT_EQ(im.localMap.size(), 256u);
        for (uint32_t row = 0; row < 15; ++row) {        // counted from the bottom of the cell
            for (uint32_t column = 0; column < 17; ++column) {
                const uint32_t c = PictureColor(image, im.left + column, 14 - row);
                const Rgb& entry = im.localMap[1 + column + 17 * row];
                EXPECT_EQ(RasterRgb(entry.r, entry.g, entry.b), c) << "cell " << cell << " entry " << 1 + column + 17 * row;
            }
        }
    }
}

TEST(GifEncode, EdgeCellsAreNarrowerAndLowerAndFollowRowOrder) {
    RasterImage image = MakePatternImage(18, 16);
    ParsedGif gif;
    ASSERT_TRUE(ParseGif(EncodeGif(image), gif));
    ASSERT_EQ(gif.images.size(), 4u);
    const uint32_t expected[4][4] = {{0, 0, 17, 15}, {17, 0, 1, 15}, {0, 15, 17, 1}, {17, 15, 1, 1}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(gif.images[i].left, expected[i][0]);
        EXPECT_EQ(gif.images[i].top, expected[i][1]);
        EXPECT_EQ(gif.images[i].width, expected[i][2]);
        EXPECT_EQ(gif.images[i].height, expected[i][3]);
    }
    // The 17 x 1 bottom cell: its only row is row 0 from the bottom.
    const Rgb& entry = gif.images[2].localMap[1 + 5];
    EXPECT_EQ(RasterRgb(entry.r, entry.g, entry.b), PictureColor(image, 5, 15));
}

TEST(GifEncode, TransparentColourTakesEntryZeroOfEveryCell) {
    RasterImage image = MakePatternImage(20, 3);
    image.SetTransparentIndex(0);
    image.SetTransparentColor(RasterRgbQuad{10, 20, 30, 0});
    ParsedGif gif;
    ASSERT_TRUE(ParseGif(EncodeGif(image), gif));
    ASSERT_EQ(gif.images.size(), 2u);
    for (const ParsedImage& im : gif.images) {
        EXPECT_TRUE(im.hasControl);
        EXPECT_EQ(im.transparentIndex, 0);
        EXPECT_EQ(im.localMap[0], (Rgb{30, 20, 10}));
    }
}

TEST(GifEncode, PaletteImageIsOneImageWithItsPaletteAndTransparentIndex) {
    for (uint32_t bpp : {1u, 4u, 8u}) {
        RasterImage image = MakePaletteImage(9, 5, bpp);
        image.SetTransparentIndex(1);
        ParsedGif gif;
        ASSERT_TRUE(ParseGif(EncodeGif(image), gif));
        EXPECT_EQ(gif.signature, "GIF89a");
        ASSERT_EQ(gif.globalMap.size(), image.GetPaletteSize());
        const RasterRgbQuad& p = image.GetPalette()[3 % image.GetPaletteSize()];
        EXPECT_EQ(gif.globalMap[3 % image.GetPaletteSize()], (Rgb{p.rgbRed, p.rgbGreen, p.rgbBlue}));
        ASSERT_EQ(gif.images.size(), 1u);
        EXPECT_EQ(gif.images[0].width, 9u);
        EXPECT_TRUE(gif.images[0].localMap.empty());
        EXPECT_EQ(gif.images[0].transparentIndex, 1);
    }
}

TEST(GifEncode, RefusesPicturesBeyondTheFormatsSizeField) {
    RasterImage image;
    ASSERT_NE(image.Create(65536, 1, 24, 0), nullptr);
    RasterMemFile file;
    file.Open();
    EXPECT_FALSE(image.Encode(&file, RASTER_FORMAT_GIF));
    EXPECT_STREQ(image.LastErrorText(), "GIF: pictures wider or higher than 65535 pixels cannot be saved");
}

// ---- round trips -------------------------------------------------------------------------

TEST(GifRoundTrip, TrueColourPicturesOfAwkwardSizesComeBackUnchanged) {
    const uint32_t sizes[][2] = {{1, 1}, {17, 15}, {18, 16}, {100, 37}};
    for (const auto& size : sizes) {
        RasterImage image = MakePatternImage(size[0], size[1]);
        RasterImage decoded;
        ASSERT_TRUE(DecodeGif(EncodeGif(image), decoded)) << decoded.LastErrorText();
        EXPECT_TRUE(SameColors(image, decoded)) << size[0] << "x" << size[1];
        EXPECT_FALSE(decoded.IsTransparent());
        // A single cell is a single image covering the screen: a palette image.
        EXPECT_EQ(decoded.GetBpp(), size[0] <= 17 && size[1] <= 15 ? 8u : 24u);
    }
}

TEST(GifRoundTrip, TransparentColourSurvivesTheMosaic) {
    RasterImage image = MakePatternImage(40, 20);
    const RasterRgbQuad key{1, 2, 3, 0};
    for (uint32_t x = 5; x < 30; ++x) std::memcpy(image.PixelPointer(x, 7), &key, 3);
    image.SetTransparentIndex(0);
    image.SetTransparentColor(key);
    RasterImage decoded;
    ASSERT_TRUE(DecodeGif(EncodeGif(image), decoded)) << decoded.LastErrorText();
    EXPECT_TRUE(SameColors(image, decoded));
    EXPECT_EQ(decoded.GetBpp(), 24u);
    EXPECT_EQ(decoded.GetTransparentIndex(), 0);
    const RasterRgbQuad got = decoded.GetTransparentColor();
    EXPECT_EQ(std::memcmp(&got, &key, 3), 0);
}

TEST(GifRoundTrip, PaletteImagesKeepDepthPaletteIndicesAndTransparentIndex) {
    for (uint32_t bpp : {1u, 4u, 8u}) {
        RasterImage image = MakePaletteImage(23, 11, bpp);
        image.SetTransparentIndex(bpp == 1 ? 1 : 9);
        RasterImage decoded;
        ASSERT_TRUE(DecodeGif(EncodeGif(image), decoded)) << decoded.LastErrorText();
        ASSERT_EQ(decoded.GetBpp(), bpp);
        EXPECT_TRUE(testsupport::SamePixels(image, decoded));
        EXPECT_EQ(std::memcmp(decoded.GetPalette(), image.GetPalette(), image.GetPaletteSize() * 4), 0);
        for (uint32_t y = 0; y < 11; ++y) {
            for (uint32_t x = 0; x < 23; ++x) ASSERT_EQ(decoded.GetPixelIndex(x, y), image.GetPixelIndex(x, y));
        }
        EXPECT_EQ(decoded.GetTransparentIndex(), image.GetTransparentIndex());
        EXPECT_EQ(decoded.GetType(), uint32_t(RASTER_FORMAT_GIF));
    }
}

// ---- reading ---------------------------------------------------------------------------

TEST(GifDecode, SingleCoveringImageIsAPaletteImageWithTheControlsTransparentIndex) {
    const Bytes file = GifBuilder(3, 2, kFourColors, 0, "GIF87a").Control(2, 0).Image(0, 0, 3, 2, {0, 1, 2, 3, 2, 1}).Finish();
    RasterImage image;
    ASSERT_TRUE(DecodeGif(file, image)) << image.LastErrorText();
    EXPECT_EQ(image.GetBpp(), 4u);
    EXPECT_EQ(image.GetTransparentIndex(), 2);
    EXPECT_EQ(RowColors(image, 0), (std::vector<uint32_t>{kBlack, kRed, kGreen}));
    EXPECT_EQ(RowColors(image, 1), (std::vector<uint32_t>{kBlue, kGreen, kRed}));
}

TEST(GifDecode, InterlacedRowsLandInPictureOrder) {
    std::vector<uint8_t> indices;
    for (uint32_t y = 0; y < 11; ++y) indices.insert(indices.end(), {uint8_t(y), uint8_t(200 - y)});
    const Bytes file = GifBuilder(2, 11).Image(0, 0, 2, 11, indices, {}, true).Finish();
    RasterImage image;
    ASSERT_TRUE(DecodeGif(file, image)) << image.LastErrorText();
    ASSERT_EQ(image.GetBpp(), 8u);
    for (uint32_t y = 0; y < 11; ++y) {
        EXPECT_EQ(image.GetPixelIndex(0, 10 - y), y);
        EXPECT_EQ(image.GetPixelIndex(1, 10 - y), 200 - y);
    }
    // Without colour maps a grey ramp stands in.
    EXPECT_EQ(PictureColor(image, 1, 0), RasterRgb(200, 200, 200));
}

TEST(GifDecode, ImagesAreCompositedAtTheirOffsetsWithTransparentPixelsSkipped) {
    const Bytes file = GifBuilder(4, 3, kFourColors, 3)
                           .Control(-1, 1).Image(0, 0, 2, 2, {1, 1, 1, 1})
                           .Control(0, 0).Image(1, 1, 3, 2, {2, 0, 2, 2, 2, 2})
                           .Finish();
    RasterImage image;
    ASSERT_TRUE(DecodeGif(file, image)) << image.LastErrorText();
    ASSERT_EQ(image.GetBpp(), 24u);
    ASSERT_EQ(image.GetTransparentIndex(), 0);
    const RasterRgbQuad t = image.GetTransparentColor();
    const uint32_t key = RasterRgb(t.rgbRed, t.rgbGreen, t.rgbBlue);
    EXPECT_EQ(key, kBlack);  // the transparent entry's colour, unused by any shown pixel
    EXPECT_EQ(RowColors(image, 0), (std::vector<uint32_t>{kRed, kRed, key, key}));
    EXPECT_EQ(RowColors(image, 1), (std::vector<uint32_t>{kRed, kGreen, key, kGreen}));
    EXPECT_EQ(RowColors(image, 2), (std::vector<uint32_t>{key, kGreen, kGreen, kGreen}));
}

TEST(GifDecode, UncoveredScreenWithoutTransparencyTakesTheBackgroundColour) {
    const Bytes file = GifBuilder(3, 1, kFourColors, 3).Image(1, 0, 1, 1, {1}).Finish();
    RasterImage image;
    ASSERT_TRUE(DecodeGif(file, image)) << image.LastErrorText();
    EXPECT_EQ(image.GetBpp(), 24u);
    EXPECT_FALSE(image.IsTransparent());
    EXPECT_EQ(RowColors(image, 0), (std::vector<uint32_t>{kBlue, kRed, kBlue}));
}

TEST(GifDecode, TransparentColourNeverEqualsAShownPixel) {
    // Entries 0 and 1 are both black; 1 is the transparent one.
    const std::vector<Rgb> map = {{0, 0, 0}, {0, 0, 0}};
    const Bytes file = GifBuilder(3, 1, map).Control(1, 0).Image(1, 0, 2, 1, {0, 1}).Finish();
    RasterImage image;
    ASSERT_TRUE(DecodeGif(file, image)) << image.LastErrorText();
    ASSERT_TRUE(image.IsTransparent());
    const RasterRgbQuad t = image.GetTransparentColor();
    const uint32_t key = RasterRgb(t.rgbRed, t.rgbGreen, t.rgbBlue);
    EXPECT_NE(key, kBlack);
    EXPECT_EQ(RowColors(image, 0), (std::vector<uint32_t>{key, kBlack, key}));
    // What the rest of the system does with it: only the uncovered pixels become transparent.
    ASSERT_TRUE(image.AlphaFromTransparentIndex());
    EXPECT_EQ(*image.AlphaPointer(0, 0), 0);
    EXPECT_EQ(*image.AlphaPointer(1, 0), 255);
    EXPECT_EQ(*image.AlphaPointer(2, 0), 0);
}

TEST(GifDecode, DisposalMethodsRestoreBackgroundOrPreviousContent) {
    RasterImage image;
    const Bytes toBackground = GifBuilder(3, 1, kFourColors, 3)
                                   .Control(-1, 2).Image(0, 0, 3, 1, {1, 1, 1})
                                   .Control(-1, 0).Image(2, 0, 1, 1, {2})
                                   .Finish();
    ASSERT_TRUE(DecodeGif(toBackground, image)) << image.LastErrorText();
    EXPECT_EQ(RowColors(image, 0), (std::vector<uint32_t>{kBlue, kBlue, kGreen}));

    const Bytes toPrevious = GifBuilder(3, 1, kFourColors, 3)
                                 .Control(-1, 1).Image(0, 0, 3, 1, {1, 1, 1})
                                 .Control(-1, 3).Image(0, 0, 2, 1, {2, 2})
                                 .Image(2, 0, 1, 1, {0})
                                 .Finish();
    ASSERT_TRUE(DecodeGif(toPrevious, image)) << image.LastErrorText();
    EXPECT_EQ(RowColors(image, 0), (std::vector<uint32_t>{kRed, kRed, kBlack}));

    // The last image's own disposal is not carried out: it is the picture shown.
    const Bytes lastDisposed = GifBuilder(2, 1, kFourColors, 3)
                                   .Image(0, 0, 1, 1, {1})
                                   .Control(-1, 2).Image(1, 0, 1, 1, {2})
                                   .Finish();
    ASSERT_TRUE(DecodeGif(lastDisposed, image)) << image.LastErrorText();
    EXPECT_EQ(RowColors(image, 0), (std::vector<uint32_t>{kRed, kGreen}));
}

TEST(GifDecode, LocalColourMapsApplyToTheirImageOnly) {
    const Bytes file = GifBuilder(2, 1, kFourColors)
                           .Image(0, 0, 1, 1, {1}, {{9, 9, 9}, {50, 60, 70}})
                           .Image(1, 0, 1, 1, {1})
                           .Comment("made by hand")
                           .Finish();
    RasterImage image;
    ASSERT_TRUE(DecodeGif(file, image)) << image.LastErrorText();
    EXPECT_EQ(RowColors(image, 0), (std::vector<uint32_t>{RasterRgb(50, 60, 70), kRed}));
}

TEST(GifDecode, ImagesReachingPastTheScreenAreClipped) {
    std::vector<uint8_t> indices(4 * 3);
    for (size_t i = 0; i < indices.size(); ++i) indices[i] = uint8_t(10 + i);
    const Bytes file = GifBuilder(3, 2, {}, 0).Image(1, 1, 4, 3, indices).Image(70, 70, 1, 1, {5}).Finish();
    RasterImage image;
    ASSERT_TRUE(DecodeGif(file, image)) << image.LastErrorText();
    ASSERT_EQ(image.GetWidth(), 3u);
    ASSERT_EQ(image.GetHeight(), 2u);
    EXPECT_EQ(RowColors(image, 0), (std::vector<uint32_t>{0, 0, 0}));
    EXPECT_EQ(RowColors(image, 1), (std::vector<uint32_t>{0, RasterRgb(10, 10, 10), RasterRgb(11, 11, 11)}));
}

TEST(GifDecode, ZeroSizedImagesAreSkipped) {
    const Bytes file = GifBuilder(2, 1, kFourColors).Image(0, 0, 0, 0, {}).Image(0, 0, 2, 1, {1, 2}).Finish();
    RasterImage image;
    ASSERT_TRUE(DecodeGif(file, image)) << image.LastErrorText();
    EXPECT_EQ(image.GetBpp(), 4u);
    EXPECT_EQ(RowColors(image, 0), (std::vector<uint32_t>{kRed, kGreen}));
}

TEST(GifDecode, ReadingStopsAfterTheImageLimit) {
    constexpr uint32_t kImages = 4097;
    GifBuilder builder(kImages, 1, kFourColors, 3);
    for (uint32_t i = 0; i < kImages; ++i) builder.Image(i, 0, 1, 1, {1});
    RasterImage image;
    ASSERT_TRUE(DecodeGif(builder.Finish(), image)) << image.LastErrorText();
    EXPECT_EQ(PictureColor(image, 0, 0), kRed);
    EXPECT_EQ(PictureColor(image, 4095, 0), kRed);
    EXPECT_EQ(PictureColor(image, 4096, 0), kBlue);  // image 4097 is not read
}

// ---- damaged and hostile files ------------------------------------------------------------

TEST(GifDecodeHostile, RejectsOtherSignaturesAndEmptyScreens) {
    RasterImage image;
    EXPECT_FALSE(DecodeGif(GifBuilder(1, 1, {}, 0, "GIF88a").Image(0, 0, 1, 1, {0}).Finish(), image));
    EXPECT_STREQ(image.LastErrorText(), "GIF: not a GIF file");
    EXPECT_FALSE(DecodeGif(Bytes{'G', 'I', 'F'}, image));
    EXPECT_FALSE(DecodeGif(GifBuilder(0, 5).Image(0, 0, 1, 1, {0}).Finish(), image));
    EXPECT_STREQ(image.LastErrorText(), "GIF: invalid logical screen size");
    EXPECT_FALSE(DecodeGif(GifBuilder(4, 4, kFourColors).Finish(), image));
    EXPECT_FALSE(image.IsValid());
}

TEST(GifDecodeHostile, HugeScreensFailBeforeAllocating) {
    RasterImage image;
    EXPECT_FALSE(DecodeGif(GifBuilder(65535, 65535).Image(0, 0, 1, 1, {0}).Finish(), image));
    EXPECT_STREQ(image.LastErrorText(), RasterTooLargeFor(65535, 65535, 8).text);
    // Fits as a palette image but not as the 24-bit picture a composition needs.
    const fixtures::ScopedMemoryLimit limit(fixtures::kSmallMemoryLimit);
    EXPECT_FALSE(DecodeGif(GifBuilder(10000, 10000).Image(5, 5, 1, 1, {0}).Finish(), image));
    EXPECT_STREQ(image.LastErrorText(), RasterTooLargeFor(10000, 10000, 24).text);
}

TEST(GifDecodeHostile, OversizedImageDataIsRefusedBeforeDecoding) {
    RasterImage image;
    EXPECT_FALSE(DecodeGif(GifBuilder(1, 1).Image(0, 0, 65535, 65535, {0}).Finish(), image));
    EXPECT_STREQ(image.LastErrorText(), "GIF: too much image data");
}

TEST(GifDecodeHostile, ImagesEntirelyOutsideTheScreenShowNothing) {
    RasterImage image;
    EXPECT_FALSE(DecodeGif(GifBuilder(2, 2).Image(2, 0, 1, 1, {0}).Image(65535, 65535, 1, 1, {0}).Finish(), image));
    EXPECT_FALSE(image.IsValid());
}

TEST(GifDecodeHostile, TruncatedSingleImageFailsUnlessOnlyTheTrailerIsMissing) {
    std::vector<uint8_t> indices(30 * 20);
    for (size_t i = 0; i < indices.size(); ++i) indices[i] = uint8_t(i * 7);
    GifBuilder builder(30, 20);
    builder.Image(0, 0, 30, 20, indices, {}, true);
    const size_t imageEnd = builder.Size();
    const Bytes file = builder.Finish();
    RasterImage reference;
    ASSERT_TRUE(DecodeGif(file, reference));
    for (size_t length = 0; length < file.size(); ++length) {
        RasterImage image;
        const bool decoded = DecodeGif(Bytes(file.begin(), file.begin() + ptrdiff_t(length)), image);
        if (length < imageEnd) {
            EXPECT_FALSE(decoded) << "length " << length;
            EXPECT_FALSE(image.IsValid());
            EXPECT_NE(image.LastErrorText()[0], '\0');
        } else {
            ASSERT_TRUE(decoded) << "length " << length;
            EXPECT_TRUE(testsupport::SamePixels(reference, image));
        }
    }
}

TEST(GifDecodeHostile, DamagedLaterImageLeavesThePictureOfTheImagesBefore) {
    GifBuilder builder(3, 1, kFourColors, 3);
    builder.Image(0, 0, 3, 1, {1, 2, 1});
    const size_t firstEnd = builder.Size();
    builder.Image(1, 0, 1, 1, {3});
    const Bytes whole = builder.Finish();
    RasterImage image;
    ASSERT_TRUE(DecodeGif(Bytes(whole.begin(), whole.begin() + ptrdiff_t(firstEnd + 12)), image));
    EXPECT_EQ(image.GetBpp(), 4u);  // still the single covering image
    EXPECT_EQ(RowColors(image, 0), (std::vector<uint32_t>{kRed, kGreen, kRed}));

    // Garbage instead of a record.
    Bytes garbage(whole.begin(), whole.begin() + ptrdiff_t(firstEnd));
    garbage.insert(garbage.end(), {0x99, 0x00, 0x00});
    ASSERT_TRUE(DecodeGif(garbage, image));
    EXPECT_EQ(RowColors(image, 0), (std::vector<uint32_t>{kRed, kGreen, kRed}));
}

TEST(GifDecodeHostile, CorruptedBytesNeverCrash) {
    GifBuilder builder(12, 9, kFourColors, 1);
    std::vector<uint8_t> a(12 * 9), b(5 * 4);
    for (size_t i = 0; i < a.size(); ++i) a[i] = uint8_t(i % 4);
    for (size_t i = 0; i < b.size(); ++i) b[i] = uint8_t(i % 3);
    const Bytes file = builder.Control(0, 3).Image(0, 0, 12, 9, a).Control(-1, 2).Image(4, 3, 5, 4, b, {}, true).Finish();
    for (size_t at = 0; at < file.size(); ++at) {
        for (uint8_t value : {uint8_t(0x00), uint8_t(0xFF), uint8_t(file[at] ^ 0x55)}) {
            Bytes damaged = file;
            damaged[at] = value;
            RasterImage image;
            if (DecodeGif(damaged, image)) {
                EXPECT_TRUE(image.IsValid());
            } else {
                EXPECT_NE(image.LastErrorText()[0], '\0');
            }
        }
    }
}
