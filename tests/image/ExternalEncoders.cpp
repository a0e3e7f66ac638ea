#include "ExternalEncoders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "CodecTestHelpers.h"
#include "FormatFixtures.h"
#include "image/formats/RasterFormatSupport.h"

namespace external {

namespace {

// command with {in} and {out} replaced by the quoted paths.
std::string WithPaths(std::string command, const std::filesystem::path& in, const std::filesystem::path& out) {
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"{in}", Quoted(in)}, {"{out}", Quoted(out)}}) {
        for (size_t at; (at = command.find(key)) != std::string::npos;) command.replace(at, key.size(), value);
    }
    return command;
}

}  // namespace

bool HaveProgram(const char* name) {
    return Run(std::string("command -v ") + name);
}

bool Run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

void WritePng(RasterImage& image, const std::filesystem::path& path) {
    testsupport::WriteFileBytes(path, codectest::EncodeToBytes(image, RASTER_FORMAT_PNG));
}

void WriteJpegWithOrientation(RasterImage& image, int orientation, const std::filesystem::path& path) {
    image.SetJpegQuality(95);
    const std::vector<uint8_t> jpeg = codectest::EncodeToBytes(image, RASTER_FORMAT_JPG);
    ASSERT_GT(jpeg.size(), 2u);
    // "Exif\0\0", then a little-endian TIFF header and one IFD holding only the orientation.
    const uint8_t exif[] = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0,
                            0x12, 0x01, 3, 0, 1, 0, 0, 0, uint8_t(orientation), 0, 0, 0, 0, 0, 0, 0};
    const uint16_t length = uint16_t(sizeof(exif) + 2);
    std::vector<uint8_t> file(jpeg.begin(), jpeg.begin() + 2);
    const uint8_t marker[] = {0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length)};
    file.insert(file.end(), marker, marker + sizeof(marker));
    file.insert(file.end(), exif, exif + sizeof(exif));
    file.insert(file.end(), jpeg.begin() + 2, jpeg.end());
    testsupport::WriteFileBytes(path, file);
}

std::vector<uint8_t> EncodeWith(const testsupport::TempDir& dir, RasterImage& source, const std::string& command,
                                const std::string& outName) {
    const std::filesystem::path in = dir / "source.png";
    const std::filesystem::path out = dir / outName;
    WritePng(source, in);
    const std::string line = WithPaths(command, in, out);
    if (!Run(line)) {
        ADD_FAILURE() << "failed: " << line;
        return {};
    }
    return testsupport::ReadFileBytes(out);
}

void EditHeifProperties(std::vector<uint8_t>& heif, const std::function<void(const char*, uint8_t*, uint32_t)>& edit) {
    const size_t at = codectest::FindBytes(heif, {'i', 'p', 'c', 'o'});
    ASSERT_NE(at, std::string::npos);
    ASSERT_GE(at, 4u);
    const size_t end = at - 4 + Be32(&heif[at - 4]);
    ASSERT_LE(end, heif.size());
    for (size_t box = at + 4; box + 8 <= end;) {
        const uint32_t size = Be32(&heif[box]);
        ASSERT_GE(size, 8u);
        const char type[5] = {char(heif[box + 4]), char(heif[box + 5]), char(heif[box + 6]), char(heif[box + 7]), 0};
        edit(type, &heif[box], size);
        box += size;
    }
}

bool LoadOrientedPhotoThrough(const testsupport::TempDir& dir, const std::string& command, const std::string& outName,
                              uint32_t type, OrientedLoad& load) {
    RasterImage source = codectest::MakeSmoothImage(64, 48);
    WriteJpegWithOrientation(source, 6, dir / "o6.jpg");
    if (!Run(WithPaths(command, dir / "o6.jpg", dir / outName))) return false;
    load.options.upright = RasterUpright::Turn;
    load.options.metadata = &load.metadata;
    return load.picture.Load((dir / outName).c_str(), type, load.options);
}

void ExpectReadsAsSource(const std::vector<uint8_t>& file, uint32_t type, const RasterImage& source, bool lossless) {
    constexpr double kLossyPsnr = 40.0;
    RasterImage decoded;
    ASSERT_TRUE(codectest::DecodeBytes(file, type, decoded)) << decoded.LastErrorText();
    EXPECT_EQ(decoded.HasAlpha(), source.HasAlpha());
    if (lossless) {
        EXPECT_TRUE(testsupport::SamePixels(decoded, source));
    } else {
        ASSERT_EQ(decoded.GetWidth(), source.GetWidth());
        ASSERT_EQ(decoded.GetHeight(), source.GetHeight());
        EXPECT_GE(testsupport::Psnr(decoded, source), kLossyPsnr);
    }
    RasterImage detected;
    ASSERT_TRUE(codectest::DecodeBytes(file, RASTER_FORMAT_UNKNOWN, detected));
    EXPECT_EQ(detected.GetType(), type);
    EXPECT_TRUE(testsupport::SamePixels(detected, decoded));
    fixtures::ExpectPrefixesHandled(file, type, file.size() / 29 + 1);
}

void ExpectTiffExifAndNoTurn(const std::vector<uint8_t>& exif, int orientation) {
    ASSERT_GE(exif.size(), 4u);
    EXPECT_EQ(std::string(exif.begin(), exif.begin() + 4), std::string("II*\0", 4));
    EXPECT_EQ(orientation, 1);
}

int LargestDifference(const RasterImage& a, const RasterImage& b) {
    int largest = 0;
    for (uint32_t y = 0; y < a.GetHeight(); ++y) {
        for (uint32_t x = 0; x < a.GetWidth(); ++x) {
            const uint8_t* p = a.PixelPointer(x, y);
            const uint8_t* q = b.PixelPointer(x, y);
            for (int c = 0; c < 3; ++c) largest = std::max(largest, std::abs(int(p[c]) - int(q[c])));
            if (a.HasAlpha() && b.HasAlpha()) {
                largest = std::max(largest, std::abs(int(*a.AlphaPointer(x, y)) - int(*b.AlphaPointer(x, y))));
            }
        }
    }
    return largest;
}

}  // namespace external
