#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "CodecTestHelpers.h"
#include "image/RasterImage.h"
#include "TestSupport.h"

using codectest::DecodeBytes;
using codectest::EncodeToBytes;
using codectest::MakeSmoothImage;

namespace {

constexpr uint8_t kSof0 = 0xC0;
constexpr uint8_t kDqt = 0xDB;
constexpr uint8_t kApp0 = 0xE0;

// Offset of the payload (behind the length) of the first segment with this marker in the
// header part of a JPEG file, or npos.
size_t FindSegment(const std::vector<uint8_t>& jpeg, uint8_t marker) {
    size_t pos = 2;
    while (pos + 4 <= jpeg.size() && jpeg[pos] == 0xFF) {
        const uint8_t code = jpeg[pos + 1];
        if (code == marker) return pos + 4;
        if (code == 0xDA) break;   // start of scan: the header part is over
        pos += 2 + size_t((jpeg[pos + 2] << 8) | jpeg[pos + 3]);
    }
    return std::string::npos;
}

// Lets a test set a fractional quality, which the public setter cannot express.
class QualityImage : public RasterImage {
public:
    explicit QualityImage(const RasterImage& source) : RasterImage(source) {}
    void SetFractionalQuality(float quality) { m_info.jpegQuality = quality; }
};

std::vector<uint8_t> SmoothJpeg(uint32_t width = 64, uint32_t height = 48) {
    RasterImage image = MakeSmoothImage(width, height);
    return EncodeToBytes(image, RASTER_FORMAT_JPG);
}

// ---- CMYK files made with libjpeg itself ---------------------------------------------------

struct CmykPixels {
    std::vector<uint8_t> samples;   // c, m, y, k per pixel, top row first
    bool adobe = false;
};

// 16 x 16 CMYK picture of four flat 8 x 8 blocks.
std::vector<uint8_t> MakeCmykJpeg(bool adobeMarker) {
    const uint8_t blocks[4][4] = {{255, 255, 255, 255}, {200, 40, 120, 255}, {255, 128, 0, 100}, {30, 220, 90, 180}};
    std::vector<uint8_t> samples(16 * 16 * 4);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) std::memcpy(&samples[(y * 16 + x) * 4], blocks[(y / 8) * 2 + x / 8], 4);
    }
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = 16;
    cinfo.image_height = 16;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    cinfo.write_Adobe_marker = adobeMarker ? TRUE : FALSE;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < 16) {
        JSAMPROW row = &samples[cinfo.next_scanline * 16 * 4];
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> bytes(out, out + size);
    std::free(out);
    return bytes;
}

// The CMYK samples exactly as libjpeg hands them out.
CmykPixels DecodeCmykReference(const std::vector<uint8_t>& jpeg) {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), jpeg.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_CMYK;
    jpeg_start_decompress(&cinfo);
    CmykPixels pixels;
    pixels.adobe = cinfo.saw_Adobe_marker;
    pixels.samples.resize(size_t(cinfo.output_width) * cinfo.output_height * 4);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &pixels.samples[size_t(cinfo.output_scanline) * cinfo.output_width * 4];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return pixels;
}

void ExpectCmykRule(bool adobeMarker) {
    const std::vector<uint8_t> jpeg = MakeCmykJpeg(adobeMarker);
    const CmykPixels reference = DecodeCmykReference(jpeg);
    ASSERT_EQ(reference.adobe, adobeMarker);
    RasterImage image;
    ASSERT_TRUE(DecodeBytes(jpeg, RASTER_FORMAT_JPG, image)) << image.LastErrorText();
    ASSERT_EQ(image.GetBpp(), 24u);
    ASSERT_EQ(image.GetWidth(), 16u);
    for (uint32_t y = 0; y < 16; ++y) {
        for (uint32_t x = 0; x < 16; ++x) {
            const uint8_t* s = &reference.samples[(y * 16 + x) * 4];
            // Adobe files store inverted inks (255 = none); plain CMYK is inverted first.
            auto ink = [&](int i) { return uint32_t(adobeMarker ? s[i] : 255 - s[i]); };
            const uint32_t k = ink(3);
            const uint32_t expected = RasterRgb(uint8_t(ink(0) * k / 255), uint8_t(ink(1) * k / 255), uint8_t(ink(2) * k / 255));
            ASSERT_EQ(testsupport::PictureColor(image, x, y), expected) << "at " << x << "," << y;
        }
    }
}

// Offset of the first byte of entropy-coded data (behind the start-of-scan header), or npos.
size_t ScanDataStart(const std::vector<uint8_t>& jpeg) {
    size_t pos = 2;
    while (pos + 4 <= jpeg.size() && jpeg[pos] == 0xFF) {
        const size_t length = size_t((jpeg[pos + 2] << 8) | jpeg[pos + 3]);
        if (jpeg[pos + 1] == 0xDA) return pos + 2 + length;
        pos += 2 + length;
    }
    return std::string::npos;
}

// Blue, green, red rows, top first, as libjpeg's own memory source decodes the bytes (it ends
// short data with an end marker and goes on, as its documentation describes).
std::vector<uint8_t> DecodeBgrReference(const std::vector<uint8_t>& jpeg) {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    err.output_message = [](j_common_ptr) {};
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), jpeg.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&cinfo);
    std::vector<uint8_t> rows(size_t(cinfo.output_width) * cinfo.output_height * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &rows[size_t(cinfo.output_scanline) * cinfo.output_width * 3];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return rows;
}

void ExpectDecodeFails(const std::vector<uint8_t>& bytes, const char* what) {
    RasterImage image;
    EXPECT_FALSE(DecodeBytes(bytes, RASTER_FORMAT_JPG, image)) << what;
    EXPECT_FALSE(image.IsValid()) << what;
    EXPECT_NE(std::string(image.LastErrorText()), "") << what;
}

}  // namespace

// ---- writing and reading back --------------------------------------------------------------

TEST(JpegCodec, ColourRoundTripAtQuality90KeepsThePicture) {
    RasterImage original = MakeSmoothImage(96, 64);
    original.SetJpegQuality(90);
    const std::vector<uint8_t> jpeg = EncodeToBytes(original, RASTER_FORMAT_JPG);
    ASSERT_FALSE(jpeg.empty());
    RasterImage decoded;
    ASSERT_TRUE(DecodeBytes(jpeg, RASTER_FORMAT_JPG, decoded)) << decoded.LastErrorText();
    EXPECT_EQ(decoded.GetType(), uint32_t(RASTER_FORMAT_JPG));
    EXPECT_EQ(decoded.GetBpp(), 24u);
    EXPECT_FALSE(decoded.HasAlpha());
    EXPECT_GE(testsupport::Psnr(original, decoded), 40.0);
}

TEST(JpegCodec, GreyPaletteImagesAreWrittenAsOneComponentGrey) {
    RasterImage grey;
    ASSERT_TRUE(grey.Create(40, 24, 8, 0));
    grey.SetGrayPalette();
    for (uint32_t y = 0; y < 24; ++y) {
        for (uint32_t x = 0; x < 40; ++x) grey.SetPixelIndex(x, y, uint8_t(x * 6 + y));
    }
    const std::vector<uint8_t> jpeg = EncodeToBytes(grey, RASTER_FORMAT_JPG);
    const size_t sof = FindSegment(jpeg, kSof0);
    ASSERT_NE(sof, std::string::npos);
    EXPECT_EQ(jpeg[sof + 5], 1) << "component count";

    RasterImage decoded;
    ASSERT_TRUE(DecodeBytes(jpeg, RASTER_FORMAT_JPG, decoded)) << decoded.LastErrorText();
    EXPECT_EQ(decoded.GetBpp(), 8u);
    EXPECT_TRUE(decoded.IsGrayPalette());
    EXPECT_EQ(decoded.GetPalette()[200].rgbRed, 200);
    EXPECT_GE(testsupport::Psnr(grey, decoded), 40.0);
}

TEST(JpegCodec, GreyPaletteIsWrittenAsItsGreyLevelsNotItsIndices) {
    // An inverted grey palette and a 4-bit ramp: the file must hold what the picture shows.
    RasterImage inverted;
    ASSERT_TRUE(inverted.Create(16, 16, 8, 0));
    RasterRgbQuad palette[256];
    for (int i = 0; i < 256; ++i) palette[i] = RasterRgbQuad{uint8_t(255 - i), uint8_t(255 - i), uint8_t(255 - i), 0};
    inverted.SetPalette(palette, 256);
    RasterImage ramp4;
    ASSERT_TRUE(ramp4.Create(16, 16, 4, 0));
    ramp4.SetGrayPalette();
    for (uint32_t y = 0; y < 16; ++y) {
        for (uint32_t x = 0; x < 16; ++x) {
            inverted.SetPixelIndex(x, y, 10);
            ramp4.SetPixelIndex(x, y, 12);
        }
    }
    RasterImage decodedInverted, decodedRamp;
    ASSERT_TRUE(DecodeBytes(EncodeToBytes(inverted, RASTER_FORMAT_JPG), RASTER_FORMAT_JPG, decodedInverted));
    ASSERT_TRUE(DecodeBytes(EncodeToBytes(ramp4, RASTER_FORMAT_JPG), RASTER_FORMAT_JPG, decodedRamp));
    EXPECT_NEAR(decodedInverted.GetPixelColor(5, 5).rgbRed, 245, 1);
    EXPECT_NEAR(decodedRamp.GetPixelColor(5, 5).rgbRed, 12 * 17, 1);
}

TEST(JpegCodec, QualityIsRoundedToAWholeNumberWithBaselineTables) {
    // libjpeg's luminance table starts with 16, scaled by (200 - 2q)% for q >= 50.
    auto firstQuantValue = [](float quality) {
        QualityImage image(MakeSmoothImage(16, 16));
        image.SetFractionalQuality(quality);
        const std::vector<uint8_t> jpeg = EncodeToBytes(image, RASTER_FORMAT_JPG);
        const size_t dqt = FindSegment(jpeg, kDqt);
        EXPECT_NE(dqt, std::string::npos);
        EXPECT_EQ(jpeg[dqt] >> 4, 0) << "8-bit (baseline) table";
        return int(jpeg[dqt + 1]);
    };
    EXPECT_EQ(firstQuantValue(90.0f), 3);
    EXPECT_EQ(firstQuantValue(89.5f), 3);
    EXPECT_EQ(firstQuantValue(89.4f), 4);
    EXPECT_EQ(firstQuantValue(50.0f), 16);
    EXPECT_EQ(firstQuantValue(1.0f), 255) << "force baseline clamps to 8 bits";

    RasterImage low = MakeSmoothImage(64, 64), high = MakeSmoothImage(64, 64);
    low.SetJpegQuality(20);
    high.SetJpegQuality(95);
    EXPECT_LT(EncodeToBytes(low, RASTER_FORMAT_JPG).size(), EncodeToBytes(high, RASTER_FORMAT_JPG).size());
}

TEST(JpegCodec, EveryComponentIsSampledOneByOneInABaselineFrame) {
    const std::vector<uint8_t> jpeg = SmoothJpeg();
    const size_t sof = FindSegment(jpeg, kSof0);
    ASSERT_NE(sof, std::string::npos) << "baseline frame header";
    ASSERT_EQ(jpeg[sof + 5], 3);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(jpeg[sof + 6 + c * 3 + 1], 0x11) << "component " << c;
}

TEST(JpegCodec, DensityIsWrittenInDotsPerInchAndReadBack) {
    RasterImage image = MakeSmoothImage(16, 16);
    image.SetXDpi(300);
    image.SetYDpi(150);
    std::vector<uint8_t> jpeg = EncodeToBytes(image, RASTER_FORMAT_JPG);
    const size_t app0 = FindSegment(jpeg, kApp0);
    ASSERT_NE(app0, std::string::npos);
    ASSERT_EQ(std::memcmp(&jpeg[app0], "JFIF\0", 5), 0);
    EXPECT_EQ(jpeg[app0 + 7], 1) << "unit: dots per inch";
    EXPECT_EQ((jpeg[app0 + 8] << 8) | jpeg[app0 + 9], 300);
    EXPECT_EQ((jpeg[app0 + 10] << 8) | jpeg[app0 + 11], 150);

    RasterImage decoded;
    ASSERT_TRUE(DecodeBytes(jpeg, RASTER_FORMAT_JPG, decoded));
    EXPECT_EQ(decoded.GetXDpi(), 300);
    EXPECT_EQ(decoded.GetYDpi(), 150);

    // Dots per centimetre: 118 per cm is 299.72 per inch.
    jpeg[app0 + 7] = 2;
    jpeg[app0 + 8] = 0;
    jpeg[app0 + 9] = 118;
    ASSERT_TRUE(DecodeBytes(jpeg, RASTER_FORMAT_JPG, decoded));
    EXPECT_EQ(decoded.GetXDpi(), 300);
    // Unit 0 is only an aspect ratio: 96 dpi, also in an image that held another picture.
    jpeg[app0 + 7] = 0;
    ASSERT_TRUE(DecodeBytes(jpeg, RASTER_FORMAT_JPG, decoded));
    EXPECT_EQ(decoded.GetXDpi(), 96);
}

TEST(JpegCodec, AlphaPlaneIsNotWritten) {
    RasterImage image = MakeSmoothImage(24, 24);
    testsupport::AddPatternAlpha(image);
    RasterImage decoded;
    ASSERT_TRUE(DecodeBytes(EncodeToBytes(image, RASTER_FORMAT_JPG), RASTER_FORMAT_JPG, decoded));
    EXPECT_FALSE(decoded.HasAlpha());
    EXPECT_GE(testsupport::Psnr(image, decoded), 40.0);
}

TEST(JpegCodec, CmykWithAdobeMarkerIsEachChannelTimesBlack) {
    ExpectCmykRule(true);
}

TEST(JpegCodec, PlainCmykIsInvertedBeforeTheBlackRule) {
    ExpectCmykRule(false);
}

// ---- refusals ------------------------------------------------------------------------------

TEST(JpegCodec, OnlyColourOrGreyImagesCanBeSaved) {
    for (uint32_t bpp : {1u, 4u, 8u}) {
        RasterImage palette;
        ASSERT_TRUE(palette.Create(8, 8, bpp, 0));
        palette.GetPalette()[1] = RasterRgbQuad{0, 0, 255, 0};   // red: not grey
        std::string error;
        EXPECT_TRUE(EncodeToBytes(palette, RASTER_FORMAT_JPG, &error).empty()) << bpp;
        EXPECT_EQ(error, "JPEG can save only RGB or GreyScale images") << bpp;
    }
}

TEST(JpegCodec, ShortWriteFailsTheSave) {
    RasterImage image = MakeSmoothImage(200, 200);
    codectest::ShortWriteFile file(100);
    EXPECT_FALSE(image.Encode(&file, RASTER_FORMAT_JPG));
    EXPECT_NE(std::string(image.LastErrorText()), "");
}

TEST(JpegCodec, DamagedFilesFailCleanly) {
    const std::vector<uint8_t> good = SmoothJpeg(64, 64);
    ExpectDecodeFails({}, "empty");
    ExpectDecodeFails({0xFF, 0xD8}, "signature only");
    ExpectDecodeFails({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, "not a JPEG");
    ExpectDecodeFails(std::vector<uint8_t>(good.begin(), good.begin() + 100), "truncated in the header");
    // Damage before the first row of blocks is complete leaves nothing to show.
    const size_t scan = ScanDataStart(good);
    ASSERT_NE(scan, std::string::npos);
    ExpectDecodeFails(std::vector<uint8_t>(good.begin(), good.begin() + scan), "no scan data at all");
    ExpectDecodeFails(std::vector<uint8_t>(good.begin(), good.begin() + scan + 6), "truncated in the first row");

    std::vector<uint8_t> badHeader = good;
    const size_t sof = FindSegment(badHeader, kSof0);
    badHeader[sof] = 12;   // 12-bit samples: not a baseline 8-bit frame
    ExpectDecodeFails(badHeader, "unsupported precision");
}

TEST(JpegCodec, FileLackingOnlyItsEndMarkerStillLoadsAsSound) {
    std::vector<uint8_t> jpeg = SmoothJpeg();
    ASSERT_EQ(jpeg[jpeg.size() - 2], 0xFF);
    ASSERT_EQ(jpeg[jpeg.size() - 1], 0xD9);
    jpeg.resize(jpeg.size() - 2);
    RasterImage decoded;
    EXPECT_TRUE(DecodeBytes(jpeg, RASTER_FORMAT_JPG, decoded)) << decoded.LastErrorText();
    EXPECT_FALSE(decoded.HasLoadWarning()) << decoded.LoadWarningText();
}

// Scan data that ends early or is cut by a marker: the picture loads as libjpeg decodes it,
// the rows before the damage as in the sound file, and the load warning says what was wrong.
TEST(JpegCodec, DamagedScanDataLoadsAsLibjpegDecodesItWithAWarning) {
    const std::vector<uint8_t> good = SmoothJpeg(64, 128);
    RasterImage sound;
    ASSERT_TRUE(DecodeBytes(good, RASTER_FORMAT_JPG, sound));
    EXPECT_FALSE(sound.HasLoadWarning());
    const size_t half = ScanDataStart(good) + (good.size() - ScanDataStart(good)) / 2;
    std::vector<uint8_t> cutByMarker(good.begin(), good.begin() + half);
    cutByMarker.insert(cutByMarker.end(), {0xFF, 0xD9});
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* warning;
    } cases[] = {
        {"data ends in the scan", std::vector<uint8_t>(good.begin(), good.begin() + half), "the data ends early"},
        {"scan cut short by an end marker", cutByMarker, "corrupt data"},
    };
    for (const auto& c : cases) {
        RasterImage damaged;
        ASSERT_TRUE(DecodeBytes(c.bytes, RASTER_FORMAT_JPG, damaged)) << c.what << ": " << damaged.LastErrorText();
        EXPECT_STREQ(damaged.LoadWarningText(), c.warning) << c.what;
        ASSERT_EQ(damaged.GetWidth(), 64u);
        ASSERT_EQ(damaged.GetHeight(), 128u);
        const std::vector<uint8_t> reference = DecodeBgrReference(c.bytes);
        bool sameAsLibjpeg = true;
        for (uint32_t y = 0; y < 128 && sameAsLibjpeg; ++y) {
            sameAsLibjpeg = std::memcmp(damaged.RowPointer(127 - y), &reference[size_t(y) * 64 * 3], 64 * 3) == 0;
        }
        EXPECT_TRUE(sameAsLibjpeg) << c.what;
        for (uint32_t x = 0; x < 64; x += 9) {
            EXPECT_EQ(testsupport::PictureColor(damaged, x, 0), testsupport::PictureColor(sound, x, 0)) << c.what;
        }
        // A sound file decoded into the same image leaves no warning behind.
        ASSERT_TRUE(DecodeBytes(good, RASTER_FORMAT_JPG, damaged));
        EXPECT_FALSE(damaged.HasLoadWarning()) << c.what;
    }
}

TEST(JpegCodec, OversizedFrameIsRefusedBeforeAllocating) {
    std::vector<uint8_t> jpeg = SmoothJpeg();
    const size_t sof = FindSegment(jpeg, kSof0);
    ASSERT_NE(sof, std::string::npos);
    for (size_t i : {sof + 1, sof + 3}) {   // height and width: 60000
        jpeg[i] = 0xEA;
        jpeg[i + 1] = 0x60;
    }
    RasterImage image;
    EXPECT_FALSE(DecodeBytes(jpeg, RASTER_FORMAT_JPG, image));
    EXPECT_STREQ(image.LastErrorText(), RasterTooLargeFor(60000, 60000, 24).text);
}

TEST(JpegCodec, MutatedFilesNeverCrash) {
    codectest::Mutator mutator(SmoothJpeg(32, 32), 2);
    for (int round = 0; round < 300; ++round) {
        const std::vector<uint8_t> bytes = mutator.Next(round);
        RasterImage image;
        if (DecodeBytes(bytes, RASTER_FORMAT_JPG, image)) {
            EXPECT_TRUE(image.IsValid());
            EXPECT_LE(uint64_t(image.GetWidth()) * image.GetHeight(), uint64_t(65535) * 65535);
        } else {
            EXPECT_NE(std::string(image.LastErrorText()), "");
        }
    }
}
