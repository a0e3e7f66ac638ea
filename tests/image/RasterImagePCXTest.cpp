#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "FormatFixtures.h"
#include "image/formats/RasterImagePCX.h"
#include "SimpleFormatTestSupport.h"
#include "TestSupport.h"

using simpleformat::DecodeBytes;
using simpleformat::ExpectDecodeFails;
using testsupport::PictureColor;

namespace {

// Standard PCX run-length coding of one block of bytes.
std::vector<uint8_t> RleCode(const std::vector<uint8_t>& raw) {
    std::vector<uint8_t> out;
    size_t i = 0;
    while (i < raw.size()) {
        size_t run = 1;
        while (i + run < raw.size() && run < 63 && raw[i + run] == raw[i]) ++run;
        if (run > 1 || raw[i] >= 0xC0) out.push_back(uint8_t(0xC0 | run));
        out.push_back(raw[i]);
        i += run;
    }
    return out;
}

struct PcxFile {
    uint8_t version = 5;
    uint8_t encoding = 1;
    uint8_t bits = 8;
    uint8_t planes = 1;
    uint16_t xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    uint16_t hDpi = 0, vDpi = 0;
    uint16_t bytesPerLine = 1;
    std::array<uint8_t, 48> palette{};
    std::vector<std::vector<uint8_t>> lines;  // decoded scan lines, planes x bytesPerLine each
    std::vector<uint8_t> trailer;             // 768 palette bytes, or none
    std::vector<uint8_t> data;                // when set, used instead of coding the lines

    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> b(128, 0);
        b[0] = 0x0A;
        b[1] = version;
        b[2] = encoding;
        b[3] = bits;
        const uint16_t words[] = {xMin, yMin, xMax, yMax, hDpi, vDpi};
        for (size_t i = 0; i < 6; ++i) {
            b[4 + 2 * i] = uint8_t(words[i]);
            b[5 + 2 * i] = uint8_t(words[i] >> 8);
        }
        std::copy(palette.begin(), palette.end(), b.begin() + 16);
        b[65] = planes;
        b[66] = uint8_t(bytesPerLine);
        b[67] = uint8_t(bytesPerLine >> 8);
        b[68] = 1;
        if (!data.empty()) {
            b.insert(b.end(), data.begin(), data.end());
        } else {
            for (const auto& line : lines) {
                const std::vector<uint8_t> coded = encoding ? RleCode(line) : line;
                b.insert(b.end(), coded.begin(), coded.end());
            }
        }
        if (!trailer.empty()) {
            b.push_back(0x0C);
            b.insert(b.end(), trailer.begin(), trailer.end());
        }
        return b;
    }
};

// A w x h file of the given layout whose pixel (x, y) (picture coordinates) has the index
// index(x, y); the padding bytes of every line are 0xEE.
PcxFile IndexedFile(uint8_t bits, uint8_t planes, uint16_t w, uint16_t h,
                    const std::function<uint32_t(uint32_t, uint32_t)>& index) {
    PcxFile f;
    f.bits = bits;
    f.planes = planes;
    f.xMax = uint16_t(w - 1);
    f.yMax = uint16_t(h - 1);
    f.bytesPerLine = uint16_t((w * bits + 7) / 8 + 1);
    for (uint32_t y = 0; y < h; ++y) {
        std::vector<uint8_t> line(size_t(planes) * f.bytesPerLine, 0);
        for (uint32_t p = 0; p < planes; ++p) line[size_t(p + 1) * f.bytesPerLine - 1] = 0xEE;
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t v = index(x, y);
            for (uint32_t p = 0; p < planes; ++p) {
                const uint32_t part = (v >> (p * bits)) & ((1u << bits) - 1);
                const uint32_t bit = x * bits;
                line[p * f.bytesPerLine + bit / 8] |= uint8_t(part << (8 - bits - bit % 8));
            }
        }
        f.lines.push_back(line);
    }
    return f;
}

PcxFile TrueColorFile(const RasterImage& picture, bool withAlpha) {
    PcxFile f;
    const uint32_t w = picture.GetWidth();
    const uint32_t h = picture.GetHeight();
    f.planes = withAlpha ? 4 : 3;
    f.xMax = uint16_t(w - 1);
    f.yMax = uint16_t(h - 1);
    f.bytesPerLine = uint16_t(w + (w % 2));
    for (uint32_t y = 0; y < h; ++y) {
        std::vector<uint8_t> line(size_t(f.planes) * f.bytesPerLine, 0xEE);
        for (uint32_t x = 0; x < w; ++x) {
            const RasterRgbQuad c = picture.GetPixelColor(x, h - 1 - y, true);
            line[x] = c.rgbRed;
            line[f.bytesPerLine + x] = c.rgbGreen;
            line[2 * f.bytesPerLine + x] = c.rgbBlue;
            if (withAlpha) line[3 * f.bytesPerLine + x] = c.rgbReserved;
        }
        f.lines.push_back(line);
    }
    return f;
}

uint32_t Pattern(uint32_t x, uint32_t y) { return x * 7 + y * 3 + x * y; }

void SetHeaderColour(PcxFile& f, uint32_t i, uint8_t r, uint8_t g, uint8_t b) {
    f.palette[3 * i] = r;
    f.palette[3 * i + 1] = g;
    f.palette[3 * i + 2] = b;
}


}  // namespace

TEST(RasterImagePCX, DecodesTwentyFourBitPlanesPlainAndRle) {
    const RasterImage picture = testsupport::MakePatternImage(31, 9);
    for (uint8_t encoding : {uint8_t(0), uint8_t(1)}) {
        PcxFile f = TrueColorFile(picture, false);
        f.encoding = encoding;
        RasterImagePCX image;
        ASSERT_TRUE(DecodeBytes(image, f.Bytes())) << image.LastErrorText();
        EXPECT_EQ(image.GetBpp(), 24u);
        EXPECT_EQ(image.GetType(), uint32_t(RASTER_FORMAT_PCX));
        EXPECT_TRUE(testsupport::SamePixels(image, picture)) << "encoding " << int(encoding);
    }
}

TEST(RasterImagePCX, FourthPlaneBecomesAlpha) {
    RasterImage picture = testsupport::MakePatternImage(12, 5);
    testsupport::AddPatternAlpha(picture);
    RasterImagePCX image;
    ASSERT_TRUE(DecodeBytes(image, TrueColorFile(picture, true).Bytes())) << image.LastErrorText();
    EXPECT_TRUE(testsupport::SamePixels(image, picture));
}

TEST(RasterImagePCX, EightBitUsesTheTrailerPaletteOrGrey) {
    PcxFile f = IndexedFile(8, 1, 17, 6, [](uint32_t x, uint32_t y) { return Pattern(x, y) & 0xFF; });
    f.trailer.resize(768);
    for (uint32_t i = 0; i < 256; ++i) {
        f.trailer[3 * i] = uint8_t(i);
        f.trailer[3 * i + 1] = uint8_t(255 - i);
        f.trailer[3 * i + 2] = uint8_t(i * 3);
    }
    RasterImagePCX image;
    ASSERT_TRUE(DecodeBytes(image, f.Bytes())) << image.LastErrorText();
    EXPECT_EQ(image.GetBpp(), 8u);
    for (uint32_t y = 0; y < 6; ++y) {
        for (uint32_t x = 0; x < 17; ++x) {
            const uint8_t i = uint8_t(Pattern(x, y));
            ASSERT_EQ(PictureColor(image, x, y), RasterRgb(i, uint8_t(255 - i), uint8_t(i * 3))) << x << "," << y;
        }
    }
    f.trailer.clear();
    ASSERT_TRUE(DecodeBytes(image, f.Bytes())) << image.LastErrorText();
    EXPECT_TRUE(image.IsGrayPalette());
    EXPECT_EQ(PictureColor(image, 3, 2), RasterRgb(uint8_t(Pattern(3, 2)), uint8_t(Pattern(3, 2)), uint8_t(Pattern(3, 2))));
}

TEST(RasterImagePCX, MonochromeIsBlackAndWhiteUnlessTheHeaderSaysOtherwise) {
    PcxFile f = IndexedFile(1, 1, 11, 3, [](uint32_t x, uint32_t y) { return (x + y) & 1; });
    RasterImagePCX image;
    ASSERT_TRUE(DecodeBytes(image, f.Bytes())) << image.LastErrorText();
    EXPECT_EQ(image.GetBpp(), 1u);
    EXPECT_EQ(PictureColor(image, 0, 0), RasterRgb(0, 0, 0));
    EXPECT_EQ(PictureColor(image, 1, 0), RasterRgb(255, 255, 255));
    EXPECT_EQ(PictureColor(image, 10, 2), RasterRgb(0, 0, 0));
    SetHeaderColour(f, 0, 0, 0, 128);
    SetHeaderColour(f, 1, 255, 255, 0);
    ASSERT_TRUE(DecodeBytes(image, f.Bytes()));
    EXPECT_EQ(PictureColor(image, 0, 0), RasterRgb(0, 0, 128));
    EXPECT_EQ(PictureColor(image, 1, 0), RasterRgb(255, 255, 0));
}

TEST(RasterImagePCX, SixteenColourPlanesUseTheHeaderPalette) {
    PcxFile f = IndexedFile(1, 4, 19, 4, [](uint32_t x, uint32_t y) { return Pattern(x, y) & 15; });
    for (uint32_t i = 0; i < 16; ++i) SetHeaderColour(f, i, uint8_t(i * 16), uint8_t(i), uint8_t(255 - i));
    RasterImagePCX image;
    ASSERT_TRUE(DecodeBytes(image, f.Bytes())) << image.LastErrorText();
    EXPECT_EQ(image.GetBpp(), 4u);
    for (uint32_t y = 0; y < 4; ++y) {
        for (uint32_t x = 0; x < 19; ++x) {
            const uint32_t i = Pattern(x, y) & 15;
            ASSERT_EQ(PictureColor(image, x, y), RasterRgb(uint8_t(i * 16), uint8_t(i), uint8_t(255 - i))) << x << "," << y;
        }
    }
    // Version 3 files carry no palette: the EGA colours stand in (index 6 is brown).
    f.version = 3;
    ASSERT_TRUE(DecodeBytes(image, f.Bytes()));
    EXPECT_EQ(image.GetPalette()[6].rgbRed, 170);
    EXPECT_EQ(image.GetPalette()[6].rgbGreen, 85);
    EXPECT_EQ(image.GetPalette()[6].rgbBlue, 0);
}

TEST(RasterImagePCX, PackedTwoAndFourBitPixels) {
    for (uint8_t bits : {uint8_t(2), uint8_t(4)}) {
        const uint32_t mask = (1u << bits) - 1;
        PcxFile f = IndexedFile(bits, 1, 13, 3, [&](uint32_t x, uint32_t y) { return Pattern(x, y) & mask; });
        for (uint32_t i = 0; i < 16; ++i) SetHeaderColour(f, i, uint8_t(i * 10), 1, 2);
        RasterImagePCX image;
        ASSERT_TRUE(DecodeBytes(image, f.Bytes())) << image.LastErrorText();
        EXPECT_EQ(image.GetBpp(), 4u);
        for (uint32_t y = 0; y < 3; ++y) {
            for (uint32_t x = 0; x < 13; ++x) {
                ASSERT_EQ(PictureColor(image, x, y), RasterRgb(uint8_t((Pattern(x, y) & mask) * 10), 1, 2))
                    << int(bits) << ": " << x << "," << y;
            }
        }
    }
}

TEST(RasterImagePCX, WindowOffsetsAndResolution) {
    PcxFile f = IndexedFile(8, 1, 5, 2, [](uint32_t x, uint32_t) { return x; });
    f.xMin = 100;
    f.xMax = 104;
    f.yMin = 7;
    f.yMax = 8;
    f.hDpi = 300;
    f.vDpi = 150;
    RasterImagePCX image;
    ASSERT_TRUE(DecodeBytes(image, f.Bytes())) << image.LastErrorText();
    EXPECT_EQ(image.GetWidth(), 5u);
    EXPECT_EQ(image.GetHeight(), 2u);
    EXPECT_EQ(image.GetXDpi(), 300);
    EXPECT_EQ(image.GetYDpi(), 150);
}

TEST(RasterImagePCX, RunsMayContinueIntoTheNextLine) {
    // 4 x 2 grey picture, bytesPerLine 4: one run of 8 bytes covers both lines.
    PcxFile f;
    f.xMax = 3;
    f.yMax = 1;
    f.bytesPerLine = 4;
    f.data = {0xC8, 0x42};
    RasterImagePCX image;
    ASSERT_TRUE(DecodeBytes(image, f.Bytes())) << image.LastErrorText();
    EXPECT_EQ(PictureColor(image, 3, 1), RasterRgb(0x42, 0x42, 0x42));
    // A zero-length run is skipped.
    f.data = {0xC0, 0x11, 0xC8, 0x43};
    ASSERT_TRUE(DecodeBytes(image, f.Bytes())) << image.LastErrorText();
    EXPECT_EQ(PictureColor(image, 0, 0), RasterRgb(0x43, 0x43, 0x43));
}

TEST(RasterImagePCX, RejectsImplausibleHeaders) {
    const PcxFile base = IndexedFile(8, 1, 4, 2, [](uint32_t x, uint32_t) { return x; });
    auto with = [&](auto change) {
        PcxFile f = base;
        change(f);
        return f.Bytes();
    };
    std::vector<uint8_t> notPcx = base.Bytes();
    notPcx[0] = 0x0B;
    ExpectDecodeFails<RasterImagePCX>(notPcx, "PCX: not a PCX file", "manufacturer");
    ExpectDecodeFails<RasterImagePCX>(with([](PcxFile& f) { f.version = 1; }), "PCX: unknown version or encoding", "version 1");
    ExpectDecodeFails<RasterImagePCX>(with([](PcxFile& f) { f.version = 6; }), "PCX: unknown version or encoding", "version 6");
    ExpectDecodeFails<RasterImagePCX>(with([](PcxFile& f) { f.encoding = 2; }), "PCX: unknown version or encoding", "encoding 2");
    ExpectDecodeFails<RasterImagePCX>(with([](PcxFile& f) { f.xMin = 5; }), "PCX: invalid picture window", "xMax < xMin");
    ExpectDecodeFails<RasterImagePCX>(with([](PcxFile& f) { f.yMin = 2; }), "PCX: invalid picture window", "yMax < yMin");
    ExpectDecodeFails<RasterImagePCX>(with([](PcxFile& f) { f.planes = 2; }), "PCX: unsupported bit depth and plane count", "8 x 2");
    ExpectDecodeFails<RasterImagePCX>(with([](PcxFile& f) { f.bits = 1; f.planes = 0; }), "PCX: unsupported bit depth and plane count", "no planes");
    ExpectDecodeFails<RasterImagePCX>(with([](PcxFile& f) { f.bits = 2; f.planes = 4; }), "PCX: unsupported bit depth and plane count", "2 x 4");
    ExpectDecodeFails<RasterImagePCX>(with([](PcxFile& f) { f.bits = 16; }), "PCX: unsupported bit depth and plane count", "16 bits");
    ExpectDecodeFails<RasterImagePCX>(with([](PcxFile& f) { f.bytesPerLine = 3; }), "PCX: BytesPerLine too small", "short lines");
    ExpectDecodeFails<RasterImagePCX>(with([](PcxFile& f) { f.lines.pop_back(); }), "PCX: image data truncated", "missing line");
    ExpectDecodeFails<RasterImagePCX>(std::vector<uint8_t>(127, 0x0A), "PCX: file too short", "127 bytes");
}

TEST(RasterImagePCX, HugeHeadersOverFewBytesFailBeforeAllocating) {
    PcxFile f;
    f.xMax = 65535;
    f.yMax = 65535;
    f.bits = 1;
    f.bytesPerLine = 8192;
    f.data = {0xFF, 0xFF};
    {
        // 512 MB of 1-bit pixels over a limit of 256 MB.
        const fixtures::ScopedMemoryLimit limit(fixtures::kSmallMemoryLimit);
        ExpectDecodeFails<RasterImagePCX>(f.Bytes(), RasterTooLargeFor(65536, 65536, 1).text, "65536 x 65536");
    }
    // 65535 x 65535 fits the limit (about 512 MB) but two bytes cannot fill it.
    f.xMax = 65534;
    f.yMax = 65534;
    ExpectDecodeFails<RasterImagePCX>(f.Bytes(), "PCX: image data truncated", "65535 x 65535");
}

TEST(RasterImagePCX, EveryPrefixFailsCleanlyOrDecodes) {
    PcxFile f = IndexedFile(8, 1, 7, 4, [](uint32_t x, uint32_t y) { return Pattern(x, y) & 0xFF; });
    f.trailer.assign(768, 0x33);
    simpleformat::ExpectEveryPrefixHandled<RasterImagePCX>(f.Bytes());
}

TEST(RasterImagePCX, IsFoundByContentDetection) {
    const RasterImage picture = testsupport::MakePatternImage(6, 4);
    RasterImage image;
    ASSERT_TRUE(simpleformat::DecodeByDetection(image, TrueColorFile(picture, false).Bytes())) << image.LastErrorText();
    EXPECT_EQ(image.GetType(), uint32_t(RASTER_FORMAT_PCX));
    EXPECT_TRUE(testsupport::SamePixels(image, picture));
}

TEST(RasterImagePCX, CannotBeWritten) {
    simpleformat::ExpectCannotBeWritten(RASTER_FORMAT_PCX, "Encode: PCX cannot be saved");
}

TEST(RasterImagePCX, MatchesImageMagickOutputExactly) {
    if (simpleformat::ConvertProgram().empty()) GTEST_SKIP() << "ImageMagick convert is not installed";
    // Few enough pixels for a 256-entry palette to hold every colour.
    const RasterImage picture = testsupport::MakePatternImage(23, 11);
    for (const char* options : {"", "-type Palette"}) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(simpleformat::ConvertPicture(picture, options, "out.pcx", bytes)) << options;
        RasterImagePCX image;
        ASSERT_TRUE(DecodeBytes(image, bytes)) << options << ": " << image.LastErrorText();
        EXPECT_TRUE(testsupport::SamePixels(simpleformat::ToTrueColor(image), picture)) << options;
    }
}
