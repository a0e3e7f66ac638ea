// The metadata blocks of the newer containers in the form PictureMetadata keeps them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// An EXIF block as HEIF and JPEG XL store it: a 4-byte big-endian offset, then (after that
// many bytes) the TIFF structure. False when the offset points past the data.
bool ExifFromOffsetBlock(const uint8_t* data, size_t size, std::vector<uint8_t>& exif);

// An EXIF block that may or may not start with JPEG's "Exif\0\0" (writers of WebP differ):
// the TIFF structure without that prefix.
void ExifWithoutPrefix(const uint8_t* data, size_t size, std::vector<uint8_t>& exif);
