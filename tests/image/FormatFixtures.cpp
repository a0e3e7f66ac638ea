#include "FormatFixtures.h"

#include <cstdlib>

#include "image/RasterFile.h"
#include "TestSupport.h"

namespace fixtures {

// The real ImageMagick program, not a wrapper earlier on PATH that may change the pictures.
bool HaveConvert() {
    return !testsupport::ImageMagickConvert().empty();
}

bool Convert(const std::string& arguments) {
    return testsupport::RunImageMagick(arguments);
}

std::string Quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

void WriteBmp(const RasterImage& image, const std::filesystem::path& path) {
    const size_t blockSize = image.GetBlockSize();
    std::vector<uint8_t> bytes(14 + blockSize);
    const uint32_t palette = image.GetPaletteSize() * 4;
    bytes[0] = 'B';
    bytes[1] = 'M';
    const auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    put32(2, uint32_t(bytes.size()));
    put32(10, 14 + 40 + palette);
    std::copy(image.GetBlock(), image.GetBlock() + blockSize, bytes.begin() + 14);
    testsupport::WriteFileBytes(path, bytes);
}

void WritePamWithAlpha(const RasterImage& image, const std::filesystem::path& path) {
    const uint32_t w = image.GetWidth();
    const uint32_t h = image.GetHeight();
    const std::string header = "P7\nWIDTH " + std::to_string(w) + "\nHEIGHT " + std::to_string(h) +
                               "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    std::vector<uint8_t> bytes(header.begin(), header.end());
    for (uint32_t y = 0; y < h; ++y) {
        const uint32_t stored = h - 1 - y;
        for (uint32_t x = 0; x < w; ++x) {
            const RasterRgbQuad c = image.GetPixelColor(x, stored, true);
            bytes.insert(bytes.end(), {c.rgbRed, c.rgbGreen, c.rgbBlue, c.rgbReserved});
        }
    }
    testsupport::WriteFileBytes(path, bytes);
}

bool DecodeBytes(const std::vector<uint8_t>& bytes, uint32_t type, RasterImage& image) {
    std::vector<uint8_t> copy(bytes);
    RasterMemFile file(copy.empty() ? nullptr : copy.data(), uint32_t(copy.size()));
    if (copy.empty()) file.Open();
    return image.Decode(&file, type);
}

std::vector<uint8_t> TextBytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::vector<uint8_t> Joined(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

RasterImage MustDecode(const std::vector<uint8_t>& bytes, uint32_t type) {
    RasterImage image;
    EXPECT_TRUE(DecodeBytes(bytes, type, image)) << image.LastErrorText();
    return image;
}

std::string FailureText(const std::vector<uint8_t>& bytes, uint32_t type) {
    RasterImage image;
    EXPECT_FALSE(DecodeBytes(bytes, type, image));
    EXPECT_FALSE(image.IsValid());
    return image.LastErrorText();
}

void ExpectPrefixesHandled(const std::vector<uint8_t>& bytes, uint32_t type, size_t step) {
    for (size_t n = 0; n < bytes.size(); n += (n + 16 >= bytes.size() ? 1 : step)) {
        std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + std::ptrdiff_t(n));
        RasterImage image;
        if (DecodeBytes(prefix, type, image)) {
            EXPECT_TRUE(image.IsValid()) << "prefix " << n;
            EXPECT_GT(image.GetWidth(), 0u);
        } else {
            EXPECT_FALSE(image.IsValid()) << "prefix " << n;
            EXPECT_STRNE(image.LastErrorText(), "") << "prefix " << n;
        }
    }
}

void ExpectRegressionFilesHandled(const std::string& folder, uint32_t type) {
    const auto path = testsupport::TestDataDir() / "fuzz-regressions" / folder;
    ASSERT_TRUE(std::filesystem::is_directory(path));
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
        SCOPED_TRACE(entry.path().filename().string());
        RasterImage image;
        if (!DecodeBytes(testsupport::ReadFileBytes(entry.path()), type, image)) {
            EXPECT_STRNE(image.LastErrorText(), "");
        }
        ++count;
    }
    EXPECT_GT(count, 0u);
}

RasterImage MakeGreyPattern(uint32_t width, uint32_t height) {
    RasterImage image = testsupport::MakePatternImage(width, height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* p = image.PixelPointer(x, y);
            p[1] = p[2] = p[0] = uint8_t((p[0] + p[2] * 3u) / 4);
        }
    }
    return image;
}

RasterImage MakeBilevelPattern(uint32_t width, uint32_t height) {
    RasterImage image = testsupport::MakePatternImage(width, height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* p = image.PixelPointer(x, y);
            p[0] = p[1] = p[2] = ((x * 3 + y * 5 + x * y) % 7) < 3 ? 255 : 0;
        }
    }
    return image;
}

RasterImage MakeFewColourPattern(uint32_t width, uint32_t height) {
    static const uint32_t colours[] = {RasterRgb(200, 10, 30), RasterRgb(0, 128, 255), RasterRgb(255, 255, 255),
                                       RasterRgb(17, 34, 51), RasterRgb(90, 200, 90)};
    RasterImage image = testsupport::MakePatternImage(width, height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t c = colours[(x / 2 + y * 3) % 5];
            uint8_t* p = image.PixelPointer(x, y);
            p[0] = RasterBlue(c);
            p[1] = RasterGreen(c);
            p[2] = RasterRed(c);
        }
    }
    return image;
}

void ConvertedFiles::SetUp() {
    if (!HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is not installed";
}

std::vector<uint8_t> ConvertedFiles::Make(const RasterImage& source, const std::string& options,
                                          const std::string& output) {
    WriteBmp(source, m_dir / "source.bmp");
    return MakeFrom(m_dir / "source.bmp", options, output);
}

std::vector<uint8_t> ConvertedFiles::MakeFrom(const std::filesystem::path& input, const std::string& options,
                                              const std::string& output) {
    const std::string name = output.substr(output.find(':') + 1);
    EXPECT_TRUE(Convert(Quoted(input) + " " + options + " " + output.substr(0, output.find(':') + 1) +
                        Quoted(m_dir / name)));
    return testsupport::ReadFileBytes(m_dir / name);
}

}  // namespace fixtures
