// Helpers shared by the test programs: synthetic pictures, comparisons, temporary folders
// and the locations of the test pictures.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "image/RasterImage.h"

namespace testsupport {

// Folder of the shared picture corpus (pngsuite/, exif-orientation/).
std::filesystem::path CorpusDir();
// Folder of the small committed fixtures (tests/data).
std::filesystem::path TestDataDir();
// The snipwell-cli program built with the project.
std::filesystem::path CliPath();

// A w x h picture of the given depth whose pixels follow a fixed pattern (gradients and
// a checker), so that any misplaced pixel shows. Palette images get a grey ramp palette.
RasterImage MakePatternImage(uint32_t width, uint32_t height, uint32_t bpp = 24);
// A 24-bit picture filled with one colour (COLORREF 0x00BBGGRR).
RasterImage MakeSolidImage(uint32_t width, uint32_t height, uint32_t color);
// Adds an alpha plane whose values follow a pattern (0 and 255 included).
void AddPatternAlpha(RasterImage& image);

// Runs of one value (0, 255 or any) beside noise, row after row (rows `stride` bytes
// apart), so that flat stretches, stretches that only start or end flat, and busy ones all
// occur. Exactly stride * height bytes, so that a read past the plane is caught.
std::vector<uint8_t> PatchyPlane(size_t stride, uint32_t height, std::mt19937& rng);

// Pixel at picture coordinates (y = 0 at the top) as 0x00BBGGRR.
uint32_t PictureColor(const RasterImage& image, uint32_t x, uint32_t y);

// Same size, depth and pixels (24-bit colours compared through GetPixelColor; padding
// ignored); alpha planes compared when either has one. The message says where they differ.
::testing::AssertionResult SamePixels(const RasterImage& a, const RasterImage& b);

// Peak signal-to-noise ratio of the colour channels in dB (infinity when equal).
double Psnr(const RasterImage& a, const RasterImage& b);

// A fresh empty folder, removed with its content at the end of the scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// ImageMagick's convert (the real program, not a wrapper earlier on PATH); empty when
// it is not installed, so that tests can skip.
std::string ImageMagickConvert();
// Runs convert with the given arguments (shell-quoted by the caller); true on exit 0.
bool RunImageMagick(const std::string& arguments);

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

}  // namespace testsupport
