#include "SimpleFormatTestSupport.h"

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "TestSupport.h"

namespace simpleformat {

namespace {

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Picture rows top first, as the netpbm formats store them.
std::vector<uint8_t> NetpbmBytes(const RasterImage& source) {
    const uint32_t w = source.GetWidth();
    const uint32_t h = source.GetHeight();
    const bool alpha = source.HasAlpha();
    std::string head = alpha ? "P7\nWIDTH " + std::to_string(w) + "\nHEIGHT " + std::to_string(h) +
                                   "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n"
                             : "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    std::vector<uint8_t> bytes(head.begin(), head.end());
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            const RasterRgbQuad c = source.GetPixelColor(x, h - 1 - y, true);
            bytes.insert(bytes.end(), {c.rgbRed, c.rgbGreen, c.rgbBlue});
            if (alpha) bytes.push_back(c.rgbReserved);
        }
    }
    return bytes;
}

// P4: 1 = black, rows padded to bytes.
std::vector<uint8_t> PbmBytes(const RasterImage& source) {
    const uint32_t w = source.GetWidth();
    const uint32_t h = source.GetHeight();
    const std::string head = "P4\n" + std::to_string(w) + " " + std::to_string(h) + "\n";
    std::vector<uint8_t> bytes(head.begin(), head.end());
    for (uint32_t y = 0; y < h; ++y) {
        std::vector<uint8_t> row((w + 7) / 8, 0);
        for (uint32_t x = 0; x < w; ++x) {
            const RasterRgbQuad c = source.GetPixelColor(x, h - 1 - y, false);
            if (c.rgbRed < 128) row[x / 8] |= uint8_t(0x80 >> (x % 8));
        }
        bytes.insert(bytes.end(), row.begin(), row.end());
    }
    return bytes;
}

bool RunConvert(const std::vector<uint8_t>& input, const std::string& inputName, const std::string& options,
                const std::string& outputName, std::vector<uint8_t>& out) {
    const std::string program = ConvertProgram();
    if (program.empty()) return false;
    testsupport::TempDir dir;
    testsupport::WriteFileBytes(dir / inputName, input);
    const std::string command = program + " " + ShellQuote((dir / inputName).string()) + " " + options + " " +
                                ShellQuote((dir / outputName).string()) + " 2>/dev/null";
    if (std::system(command.c_str()) != 0) return false;
    out = testsupport::ReadFileBytes(dir / outputName);
    return !out.empty();
}

}  // namespace

bool DecodeByDetection(RasterImage& image, std::vector<uint8_t> bytes) {
    return image.Decode(bytes.data(), uint32_t(bytes.size()), RASTER_FORMAT_UNKNOWN);
}

void ExpectCannotBeWritten(uint32_t type, const char* error) {
    RasterImage image = testsupport::MakeSolidImage(4, 4, 0);
    RasterMemFile file;
    ASSERT_TRUE(file.Open());
    EXPECT_FALSE(image.Encode(&file, type));
    EXPECT_STREQ(image.LastErrorText(), error);
}

std::string ConvertProgram() {
    return testsupport::ImageMagickConvert();
}

bool ConvertPicture(const RasterImage& source, const std::string& options, const std::string& outputName,
                    std::vector<uint8_t>& out) {
    return RunConvert(NetpbmBytes(source), source.HasAlpha() ? "in.pam" : "in.ppm", options, outputName, out);
}

bool ConvertBilevel(const RasterImage& source, const std::string& options, const std::string& outputName,
                    std::vector<uint8_t>& out) {
    return RunConvert(PbmBytes(source), "in.pbm", options, outputName, out);
}

RasterImage ToTrueColor(const RasterImage& image) {
    RasterImage result;
    if (!result.Create(image.GetWidth(), image.GetHeight(), 24, 0)) return result;
    for (uint32_t y = 0; y < image.GetHeight(); ++y) {
        for (uint32_t x = 0; x < image.GetWidth(); ++x) {
            const RasterRgbQuad c = image.GetPixelColor(x, y, false);
            uint8_t* p = result.PixelPointer(x, y);
            p[0] = c.rgbBlue;
            p[1] = c.rgbGreen;
            p[2] = c.rgbRed;
        }
    }
    if (image.HasAlpha()) result.CopyAlpha(image);
    return result;
}

}  // namespace simpleformat
