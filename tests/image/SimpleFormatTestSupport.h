// Helpers for the tests of the read-only formats (TGA, PCX, ICO, WBMP): decoding bytes
// with one format class, walking the prefixes of a file, and making real files with
// ImageMagick from a synthetic picture.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "image/RasterFile.h"
#include "image/RasterImage.h"

namespace simpleformat {

// Decodes bytes with the format class directly, as the dispatcher would.
template <class Format>
bool DecodeBytes(Format& image, std::vector<uint8_t> bytes) {
    RasterMemFile file(bytes.empty() ? nullptr : bytes.data(), uint32_t(bytes.size()));
    if (bytes.empty()) file.Open();
    return image.Decode(&file);
}

// Every prefix of bytes (the whole file included) must either give a valid picture or
// fail with a last-error text and no picture.
template <class Format>
void ExpectEveryPrefixHandled(const std::vector<uint8_t>& bytes) {
    for (size_t n = 0; n <= bytes.size(); ++n) {
        Format image;
        const std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + std::ptrdiff_t(n));
        if (DecodeBytes(image, prefix)) {
            EXPECT_TRUE(image.IsValid()) << "prefix " << n;
        } else {
            EXPECT_FALSE(image.IsValid()) << "prefix " << n;
            EXPECT_STRNE(image.LastErrorText(), "") << "prefix " << n;
        }
    }
}

// Decoding bytes fails with exactly this last-error text and leaves no picture.
template <class Format>
void ExpectDecodeFails(const std::vector<uint8_t>& bytes, const char* error, const std::string& what) {
    Format image;
    EXPECT_FALSE(DecodeBytes(image, bytes)) << what;
    EXPECT_FALSE(image.IsValid()) << what;
    EXPECT_STREQ(image.LastErrorText(), error) << what;
}

// Encoding a picture as type fails with the read-only format's text.
void ExpectCannotBeWritten(uint32_t type, const char* error);

// Detection through the dispatcher (type 0) on a copy of bytes.
bool DecodeByDetection(RasterImage& image, std::vector<uint8_t> bytes);

// The real ImageMagick convert program, or an empty string when it is not installed.
std::string ConvertProgram();

// Writes source (24-bit, alpha plane kept) to a temporary PPM or PAM file, runs
// `convert <file> <options> <outputSpec>` and returns the produced bytes; outputSpec is a
// file name whose extension picks the format (e.g. "out.tga"). False when convert fails.
bool ConvertPicture(const RasterImage& source, const std::string& options, const std::string& outputName,
                    std::vector<uint8_t>& out);

// A 1-bit black-and-white source through a PBM file, for formats that hold only that.
bool ConvertBilevel(const RasterImage& source, const std::string& options, const std::string& outputName,
                    std::vector<uint8_t>& out);

// A copy of a palette picture at 24 bits (alpha plane kept), for comparing with SamePixels.
RasterImage ToTrueColor(const RasterImage& image);

}  // namespace simpleformat
