// Helpers for the format reader tests: writing source pictures that ImageMagick's convert
// turns into test files, running convert, decoding bytes, and checking truncated files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "image/RasterImage.h"
#include "TestSupport.h"

namespace fixtures {

// True when ImageMagick's convert can be run.
bool HaveConvert();
// Runs "convert <arguments>"; true on success.
bool Convert(const std::string& arguments);
// Quoted path for a shell command line.
std::string Quoted(const std::filesystem::path& path);

// A BMP file of the picture (24-bit or palette), as convert's source.
void WriteBmp(const RasterImage& image, const std::filesystem::path& path);
// A PAM file (RGB_ALPHA) of a 24-bit picture with its alpha plane.
void WritePamWithAlpha(const RasterImage& image, const std::filesystem::path& path);

// Decodes bytes with the given format id through a memory stream.
bool DecodeBytes(const std::vector<uint8_t>& bytes, uint32_t type, RasterImage& image);

// The bytes of a text, and a followed by b, for files made by hand.
std::vector<uint8_t> TextBytes(const std::string& text);
std::vector<uint8_t> Joined(std::vector<uint8_t> a, const std::vector<uint8_t>& b);
// Decodes bytes as type, expecting a picture.
RasterImage MustDecode(const std::vector<uint8_t>& bytes, uint32_t type);
// Decodes bytes as type, expecting a failure that leaves no picture; its last error text.
std::string FailureText(const std::vector<uint8_t>& bytes, uint32_t type);

// Lowers the image core's memory limit while it lives, so that a refusal for size can be
// tested on a picture that fits the core's own bound without allocating that much.
class ScopedMemoryLimit {
public:
    explicit ScopedMemoryLimit(uint64_t bytes) : m_previous(RasterImage::MemoryLimit()) {
        RasterImage::SetMemoryLimit(bytes);
    }
    ~ScopedMemoryLimit() { RasterImage::SetMemoryLimit(m_previous); }
    ScopedMemoryLimit(const ScopedMemoryLimit&) = delete;
    ScopedMemoryLimit& operator=(const ScopedMemoryLimit&) = delete;

private:
    uint64_t m_previous;
};
constexpr uint64_t kSmallMemoryLimit = uint64_t(256) << 20;

// Every prefix of a valid file (step bytes apart, plus the last few) must either fail with
// an error text or give a valid picture.
void ExpectPrefixesHandled(const std::vector<uint8_t>& bytes, uint32_t type, size_t step = 1);

// Decodes every file of tests/data/fuzz-regressions/<folder>: each must fail with an error
// text or give a picture (and the folder must not be empty).
void ExpectRegressionFilesHandled(const std::string& folder, uint32_t type);

// A 24-bit picture turned grey (all three channels equal).
RasterImage MakeGreyPattern(uint32_t width, uint32_t height);
// A 24-bit picture of only black and white pixels.
RasterImage MakeBilevelPattern(uint32_t width, uint32_t height);
// A 24-bit picture with few colours (a palette writer keeps them exactly).
RasterImage MakeFewColourPattern(uint32_t width, uint32_t height);

// Tests of files that convert writes, from a picture of ours (through a BMP) or from a file.
// output is "<convert's format>:<file name>", e.g. "ppm:a.ppm".
class ConvertedFiles : public ::testing::Test {
protected:
    void SetUp() override;
    std::vector<uint8_t> Make(const RasterImage& source, const std::string& options, const std::string& output);
    std::vector<uint8_t> MakeFrom(const std::filesystem::path& input, const std::string& options,
                                  const std::string& output);

    testsupport::TempDir m_dir;
};

}  // namespace fixtures
