#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <utility>
#include <vector>

#include "image/RasterFile.h"
#include "image/RasterImage.h"
#include "image/formats/RasterImageMNG.h"
#include "TestSupport.h"

namespace {

using testsupport::TempDir;

class MngDecode : public ::testing::Test {
protected:
    void SetUp() override {
        if (testsupport::ImageMagickConvert().empty()) GTEST_SKIP() << "ImageMagick is not installed";
    }

    // Writes the picture that `source` (convert arguments) describes as NAME and as raw RGBA.
    void Make(const std::string& source, const std::string& name) {
        const std::string path = (m_dir / name).string();
        ASSERT_TRUE(testsupport::RunImageMagick(source + " '" + path + "'"));
        ASSERT_TRUE(testsupport::RunImageMagick(source + " -depth 8 'rgba:" + path + ".rgba'"));
    }

    bool Decode(const std::string& name, RasterImage& image) {
        std::vector<uint8_t> bytes = testsupport::ReadFileBytes(m_dir / name);
        RasterMemFile file(bytes.data(), uint32_t(bytes.size()));
        RasterImageMNG mng;
        const bool ok = mng.Decode(&file);
        if (ok) {
            image.TakeOver(mng);
        } else {
            image.SetLastError(mng.LastErrorText());
        }
        return ok;
    }

    std::vector<uint8_t> Rgba(const std::string& name) { return testsupport::ReadFileBytes(m_dir / (name + ".rgba")); }

    TempDir m_dir;
};

}  // namespace

TEST_F(MngDecode, KeepsColoursAndAlphaOfTheFirstFrame) {
    Make("-size 40x30 xc:none -fill 'rgba(255,0,0,0.5)' -draw 'rectangle 5,5 20,20' "
         "-fill blue -draw 'circle 30,15 35,15'",
         "shapes.mng");
    RasterImage image;
    ASSERT_TRUE(Decode("shapes.mng", image)) << image.LastErrorText();
    ASSERT_EQ(image.GetWidth(), 40u);
    ASSERT_EQ(image.GetHeight(), 30u);
    ASSERT_TRUE(image.HasAlpha());
    const std::vector<uint8_t> rgba = Rgba("shapes.mng");
    ASSERT_EQ(rgba.size(), 40u * 30u * 4u);
    for (uint32_t y = 0; y < 30; ++y) {
        for (uint32_t x = 0; x < 40; ++x) {
            const uint8_t* expected = &rgba[(y * 40 + x) * 4];
            const RasterRgbQuad c = image.GetPixelColor(x, 29 - y, true);
            ASSERT_EQ(c.rgbReserved, expected[3]) << x << "," << y;
            if (expected[3] == 0) continue;  // colour of a fully transparent pixel is free
            ASSERT_EQ(c.rgbRed, expected[0]) << x << "," << y;
            ASSERT_EQ(c.rgbGreen, expected[1]) << x << "," << y;
            ASSERT_EQ(c.rgbBlue, expected[2]) << x << "," << y;
        }
    }
}

TEST_F(MngDecode, AnimationGivesItsFirstFrameOpaque) {
    Make("-delay 10 -size 20x20 xc:red xc:blue", "anim.mng");
    RasterImage image;
    ASSERT_TRUE(Decode("anim.mng", image)) << image.LastErrorText();
    EXPECT_FALSE(image.HasAlpha());
    EXPECT_EQ(testsupport::PictureColor(image, 0, 0), RasterRgb(255, 0, 0));
    EXPECT_EQ(testsupport::PictureColor(image, 19, 19), RasterRgb(255, 0, 0));
}

TEST_F(MngDecode, JngIsReadWithinJpegLoss) {
    Make("-size 48x32 gradient:red-blue", "ramp.jng");
    RasterImage image;
    ASSERT_TRUE(Decode("ramp.jng", image)) << image.LastErrorText();
    const std::vector<uint8_t> rgba = Rgba("ramp.jng");
    RasterImage expected;
    ASSERT_TRUE(expected.Create(48, 32, 24, 0));
    for (uint32_t y = 0; y < 32; ++y) {
        for (uint32_t x = 0; x < 48; ++x) {
            const uint8_t* p = &rgba[(y * 48 + x) * 4];
            expected.SetPixelColor(x, 31 - y, RasterRgbQuad{p[2], p[1], p[0], 0});
        }
    }
    EXPECT_GE(testsupport::Psnr(image, expected), 40.0);
}

TEST_F(MngDecode, DamagedFilesFailCleanly) {
    Make("-size 24x24 gradient:white-green", "small.mng");
    const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(m_dir / "small.mng");
    for (size_t n = 0; n < bytes.size(); ++n) {
        std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + long(n));
        RasterMemFile file(prefix.data(), uint32_t(prefix.size()));
        RasterImageMNG mng;
        if (!mng.Decode(&file)) {
            EXPECT_STRNE(mng.LastErrorText(), "") << n;
        }
    }
}

TEST(MngHeader, RefusesPicturesTheDataCannotFill) {
    // Signature and a well-formed MHDR claiming 9000 x 9000 pixels, then the end.
    std::vector<uint8_t> bytes{0x8A, 'M', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 28};
    std::vector<uint8_t> chunk{'M', 'H', 'D', 'R', 0, 0, 0x23, 0x28, 0, 0, 0x23, 0x28};
    chunk.resize(chunk.size() + 20, 0);
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), chunk.data(), uInt(chunk.size()));
    bytes.insert(bytes.end(), chunk.begin(), chunk.end());
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(uint8_t(crc >> shift));
    const uint8_t mend[] = {0, 0, 0, 0, 'M', 'E', 'N', 'D', 0x21, 0x20, 0xF7, 0xD5};
    bytes.insert(bytes.end(), mend, mend + sizeof(mend));
    RasterMemFile file(bytes.data(), uint32_t(bytes.size()));
    RasterImageMNG mng;
    EXPECT_FALSE(mng.Decode(&file));
    EXPECT_STREQ(mng.LastErrorText(), "MNG: the picture is larger than its data can fill");
}

namespace {

// One chunk: length, type, data, CRC over type and data.
void AppendChunk(std::vector<uint8_t>& bytes, const char* type, const std::vector<uint8_t>& data) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(uint8_t(data.size() >> shift));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), body.data(), uInt(body.size()));
    bytes.insert(bytes.end(), body.begin(), body.end());
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(uint8_t(crc >> shift));
}

std::vector<uint8_t> BigEndian(uint32_t value) {
    return {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value)};
}

// A 2 x 2 MNG of one red frame with no delay after it, optionally repeated for ever (TERM: repeat,
// 2^31 - 1 times) and inside a LOOP of 2^31 - 1 iterations.
std::vector<uint8_t> RedFrameMng(bool term, bool loop) {
    std::vector<uint8_t> bytes{0x8A, 'M', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> mhdr;
    for (uint32_t v : {2u, 2u, 1000u, 0u, 0u, 0u, 0u}) {
        const std::vector<uint8_t> b = BigEndian(v);
        mhdr.insert(mhdr.end(), b.begin(), b.end());
    }
    AppendChunk(bytes, "MHDR", mhdr);
    if (term) AppendChunk(bytes, "TERM", {3, 0, 0, 0, 0, 0, 0x7F, 0xFF, 0xFF, 0xFF});
    if (loop) AppendChunk(bytes, "LOOP", {0, 0x7F, 0xFF, 0xFF, 0xFF});
    // Framing mode 1, no name, the delay between frames changed to 0 for good.
    AppendChunk(bytes, "FRAM", {1, 0, 2, 0, 0, 0, 0, 0, 0, 0});
    AppendChunk(bytes, "IHDR", {0, 0, 0, 2, 0, 0, 0, 2, 8, 2, 0, 0, 0});
    const uint8_t rows[] = {0, 255, 0, 0, 255, 0, 0, 0, 255, 0, 0, 255, 0, 0};
    std::vector<uint8_t> packed(compressBound(sizeof rows));
    uLongf size = uLongf(packed.size());
    compress(packed.data(), &size, rows, sizeof rows);
    packed.resize(size);
    AppendChunk(bytes, "IDAT", packed);
    AppendChunk(bytes, "IEND", {});
    if (loop) AppendChunk(bytes, "ENDL", {0});
    AppendChunk(bytes, "MEND", {});
    return bytes;
}

}  // namespace

// libmng plays undelayed frames, and repetitions of frames it cannot draw, without returning:
// only the first frame is wanted, so the stream is played once and the decode ends at once.
TEST(MngRepetition, EndlessRepetitionsAndLoopsArePlayedOnce) {
    for (const auto& [term, loop] : {std::pair{true, false}, std::pair{false, true}, std::pair{true, true}}) {
        std::vector<uint8_t> bytes = RedFrameMng(term, loop);
        RasterMemFile file(bytes.data(), uint32_t(bytes.size()));
        RasterImageMNG mng;
        ASSERT_TRUE(mng.Decode(&file)) << "TERM " << term << ", LOOP " << loop << ": " << mng.LastErrorText();
        EXPECT_EQ(mng.GetWidth(), 2u);
        EXPECT_EQ(testsupport::PictureColor(mng, 1, 1), RasterRgb(255, 0, 0));
    }
}
