// Test files written at test time by other programs than ours (cwebp, img2webp, heif-enc,
// cjxl, ImageMagick), from source pictures written by our own lossless encoders.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "image/PictureMetadata.h"
#include "image/RasterImage.h"
#include "TestSupport.h"

namespace external {

// True when the program is on PATH.
bool HaveProgram(const char* name);
// Runs a shell command line with its output hidden; true on exit 0.
bool Run(const std::string& command);
std::string Quoted(const std::filesystem::path& path);

// Writes the picture (with its alpha plane) as a PNG file with our encoder.
void WritePng(RasterImage& image, const std::filesystem::path& path);
// A JPEG file of the picture whose EXIF block states the orientation (1..8).
void WriteJpegWithOrientation(RasterImage& image, int orientation, const std::filesystem::path& path);

// Runs command (with {in} and {out} replaced by the quoted paths) on a PNG of source and
// returns the output file's bytes; empty when the program failed.
std::vector<uint8_t> EncodeWith(const testsupport::TempDir& dir, RasterImage& source, const std::string& command,
                                const std::string& outName);

// Calls edit on each property box (type, its bytes from the box header on) inside the first
// ipco box of a HEIF file; edit may change the bytes but not the box's size.
void EditHeifProperties(std::vector<uint8_t>& heif, const std::function<void(const char* type, uint8_t* box, uint32_t size)>& edit);

// A photo as a camera writes it (a JPEG whose EXIF block says orientation 6: turn clockwise)
// run through command ({in} and {out} replaced by the quoted paths) into outName, then loaded
// as type the way the picture view loads, with its metadata. False when a step failed.
struct OrientedLoad {
    RasterImage picture;
    PictureMetadata metadata;
    RasterLoadOptions options;
};
bool LoadOrientedPhotoThrough(const testsupport::TempDir& dir, const std::string& command, const std::string& outName,
                              uint32_t type, OrientedLoad& load);

// The file decodes as type to source: exactly when lossless, else at 40 dB or more; it is
// found by content as the same picture, and every prefix of it fails cleanly or decodes.
void ExpectReadsAsSource(const std::vector<uint8_t>& file, uint32_t type, const RasterImage& source, bool lossless);

// The EXIF block a load handed back is a bare TIFF structure, and the load reported no turn.
void ExpectTiffExifAndNoTurn(const std::vector<uint8_t>& exif, int orientation);

// Largest difference of any colour or alpha byte; both pictures must have the same size.
int LargestDifference(const RasterImage& a, const RasterImage& b);

}  // namespace external
