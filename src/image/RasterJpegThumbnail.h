// Quick pictures of JPEG files for the thumbnail list: the frame size read from the headers
// alone, the small picture a camera stores in the EXIF block, and a decode reduced in the
// DCT domain (libjpeg-turbo's n/8 scaling), which costs a fraction of a full decode.
#pragma once

#include <cstdint>
#include <vector>

#include "RasterImage.h"

// Width and height from the frame header; false for a file that is no readable JPEG.
bool ReadJpegFrameSize(const char* path, uint32_t& width, uint32_t& height);

// Decodes the file at the smallest scale n/8 whose size is still at least minWidth x minHeight
// (full size when none is), into a 24-bit picture. Grey files give grey 24-bit pixels; files
// the reduced path cannot convert (CMYK) fail, and so does a damaged file. On failure image
// keeps what it held and false is returned.
bool DecodeJpegReduced(const char* path, uint32_t minWidth, uint32_t minHeight, RasterImage& image);

// The JPEG bytes of the thumbnail stored in the file's EXIF block; false when there is none.
bool ReadExifThumbnail(const char* path, std::vector<uint8_t>& bytes);
