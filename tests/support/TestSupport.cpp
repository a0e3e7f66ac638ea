#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

namespace testsupport {

std::filesystem::path CorpusDir() { return SNIPWELL_CORPUS; }
std::filesystem::path TestDataDir() { return SNIPWELL_TEST_DATA; }
std::filesystem::path CliPath() { return SNIPWELL_CLI_PATH; }

RasterImage MakePatternImage(uint32_t width, uint32_t height, uint32_t bpp) {
    RasterImage image;
    if (!image.Create(width, height, bpp, 0)) return image;
    if (image.GetBpp() <= 8) {
        image.SetGrayPalette();
        const uint32_t entries = image.GetPaletteSize();
        for (uint32_t y = 0; y < height; ++y) {
            for (uint32_t x = 0; x < width; ++x) image.SetPixelIndex(x, y, uint8_t((x * 7 + y * 13 + x * y) % entries));
        }
        return image;
    }
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* p = image.PixelPointer(x, y);
            p[0] = uint8_t(x * 255 / (width > 1 ? width - 1 : 1));           // blue: horizontal ramp
            p[1] = uint8_t(y * 255 / (height > 1 ? height - 1 : 1));         // green: vertical ramp
            p[2] = uint8_t(((x / 3 + y / 5) & 1) ? 200 : 30) ^ uint8_t(x * 31 + y * 17);  // red: checker + noise
        }
    }
    return image;
}

RasterImage MakeSolidImage(uint32_t width, uint32_t height, uint32_t color) {
    RasterImage image;
    if (!image.Create(width, height, 24, 0)) return image;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* p = image.PixelPointer(x, y);
            p[0] = RasterBlue(color);
            p[1] = RasterGreen(color);
            p[2] = RasterRed(color);
        }
    }
    return image;
}

void AddPatternAlpha(RasterImage& image) {
    if (!image.CreateAlpha()) return;
    const uint32_t width = image.GetWidth();
    for (uint32_t y = 0; y < image.GetHeight(); ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t v = (x + 3 * y) % 5;
            *image.AlphaPointer(x, y) = v == 0 ? 0 : v == 1 ? 255 : uint8_t((x * 37 + y * 11) & 0xFF);
        }
    }
}

std::vector<uint8_t> PatchyPlane(size_t stride, uint32_t height, std::mt19937& rng) {
    std::vector<uint8_t> plane(stride * height);
    size_t i = 0;
    while (i < plane.size()) {
        const size_t run = 1 + rng() % 60;
        const uint32_t kind = rng() % 4;
        const auto level = uint8_t(kind == 0 ? 0 : kind == 1 ? 255 : rng());
        for (size_t k = 0; k < run && i < plane.size(); ++k, ++i) plane[i] = kind == 3 ? uint8_t(rng()) : level;
    }
    return plane;
}

uint32_t PictureColor(const RasterImage& image, uint32_t x, uint32_t y) {
    const RasterRgbQuad c = image.GetPixelColor(x, image.GetHeight() - 1 - y, false);
    return RasterRgb(c.rgbRed, c.rgbGreen, c.rgbBlue);
}

::testing::AssertionResult SamePixels(const RasterImage& a, const RasterImage& b) {
    if (!a.IsValid() || !b.IsValid()) return ::testing::AssertionFailure() << "an image is invalid";
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) {
        return ::testing::AssertionFailure() << "sizes differ: " << a.GetWidth() << "x" << a.GetHeight()
                                             << " vs " << b.GetWidth() << "x" << b.GetHeight();
    }
    if (a.HasAlpha() != b.HasAlpha()) {
        return ::testing::AssertionFailure() << "alpha planes differ: " << a.HasAlpha() << " vs " << b.HasAlpha();
    }
    for (uint32_t y = 0; y < a.GetHeight(); ++y) {
        for (uint32_t x = 0; x < a.GetWidth(); ++x) {
            const RasterRgbQuad ca = a.GetPixelColor(x, y, true);
            const RasterRgbQuad cb = b.GetPixelColor(x, y, true);
            const bool alphaDiffers = a.HasAlpha() && ca.rgbReserved != cb.rgbReserved;
            if (ca.rgbBlue != cb.rgbBlue || ca.rgbGreen != cb.rgbGreen || ca.rgbRed != cb.rgbRed || alphaDiffers) {
                std::ostringstream s;
                s << "pixel (" << x << ", stored row " << y << ") differs: BGRA(" << int(ca.rgbBlue) << ","
                  << int(ca.rgbGreen) << "," << int(ca.rgbRed) << "," << int(ca.rgbReserved) << ") vs ("
                  << int(cb.rgbBlue) << "," << int(cb.rgbGreen) << "," << int(cb.rgbRed) << ","
                  << int(cb.rgbReserved) << ")";
                return ::testing::AssertionFailure() << s.str();
            }
        }
    }
    return ::testing::AssertionSuccess();
}

double Psnr(const RasterImage& a, const RasterImage& b) {
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return 0.0;
    double sum = 0.0;
    for (uint32_t y = 0; y < a.GetHeight(); ++y) {
        for (uint32_t x = 0; x < a.GetWidth(); ++x) {
            const RasterRgbQuad ca = a.GetPixelColor(x, y, false);
            const RasterRgbQuad cb = b.GetPixelColor(x, y, false);
            const double d[3] = {double(ca.rgbBlue) - cb.rgbBlue, double(ca.rgbGreen) - cb.rgbGreen,
                                 double(ca.rgbRed) - cb.rgbRed};
            sum += d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
        }
    }
    const double mse = sum / (3.0 * a.GetWidth() * a.GetHeight());
    if (mse == 0.0) return std::numeric_limits<double>::infinity();
    return 10.0 * std::log10(255.0 * 255.0 / mse);
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "snipwell-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string ImageMagickConvert() {
    const std::filesystem::path convert = "/usr/bin/convert";
    std::error_code ec;
    return std::filesystem::exists(convert, ec) ? convert.string() : std::string();
}

bool RunImageMagick(const std::string& arguments) {
    const std::string convert = ImageMagickConvert();
    if (convert.empty()) return false;
    const std::string command = convert + " " + arguments + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace testsupport
