// Photos with metadata for the tests: colour profiles made with lcms, a camera file from the
// corpus tagged by exiftool (another program's writer), and the readers of exiftool and
// exiv2 for checking what a save wrote.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "CliRun.h"

namespace testsupport {

// A Display P3 profile (P3 primaries, D65 white, gamma 2.2); padded with a private tag to
// more than one JPEG segment holds when large is set.
std::vector<uint8_t> MakeDisplayP3Profile(bool large = false);
// lcms's own sRGB profile.
std::vector<uint8_t> MakeSrgbProfile();

// The tags TaggedPhoto writes, as exiftool prints them back.
struct PhotoTag {
    const char* name;    // exiftool's tag name
    const char* value;   // exiftool's printed value (-s3)
};
const std::vector<PhotoTag>& TaggedPhotoTags();

// Landscape_6.jpg of the corpus (stored 1200 x 1800, orientation 6: upright 1800 x 1200)
// copied to dir/name and tagged by exiftool with TaggedPhotoTags and the profile icc.
// Empty path when exiftool is missing or fails.
std::filesystem::path TaggedPhoto(const TempDir& dir, const std::string& name, const std::vector<uint8_t>& icc);

// exiftool's printed value of tag in file (-s3); "-n" in options gives numbers.
std::string ExifToolValue(const TempDir& dir, const std::filesystem::path& file, const std::string& tag,
                          bool numeric = false);
// Every tag exiftool prints for file, by name (-s; the first of equal names); one run of
// exiftool instead of one per tag.
std::map<std::string, std::string> ExifToolTags(const TempDir& dir, const std::filesystem::path& file,
                                                bool numeric = false);
// exiftool's binary value of tag in file (-b), e.g. ICC_Profile or ThumbnailImage.
std::vector<uint8_t> ExifToolBinary(const TempDir& dir, const std::filesystem::path& file, const std::string& tag);
// exiv2's value of key in file ("exiv2 -K key -Pv"), trimmed.
std::string Exiv2Value(const TempDir& dir, const std::filesystem::path& file, const std::string& key);

// A small JPEG with segment (marker, payload) inserted right after SOI.
std::vector<uint8_t> JpegWithSegments(const std::vector<std::pair<int, std::vector<uint8_t>>>& segments);

}  // namespace testsupport
