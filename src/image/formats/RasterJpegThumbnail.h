// Quick pictures of JPEG files for the thumbnail list: the frame size read from the headers
// alone, the small picture a camera stores in the EXIF block, and a decode reduced in the
// DCT domain (libjpeg-turbo's n/8 scaling), which costs a fraction of a full decode.
//
// Each works on the file's bytes in memory, so that a thumbnail reads its file once; the
// forms taking a path read the whole file first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/RasterImage.h"

// Width and height from the frame header; false for data that is no readable JPEG.
bool ReadJpegFrameSize(const uint8_t* data, size_t size, uint32_t& width, uint32_t& height);
bool ReadJpegFrameSize(const char* path, uint32_t& width, uint32_t& height);

// Decodes the stream at the smallest scale n/8 whose size is still at least minWidth x minHeight
// (full size when none is), into a 24-bit picture. Grey files give grey 24-bit pixels; files
// the reduced path cannot convert (CMYK) fail, and so does a damaged file. On failure image
// keeps what it held and false is returned. A progressive stream decoded at 1/8 is decoded
// without the scans that cannot change the result (RasterJpegThumbnailScans.h).
bool DecodeJpegReduced(const uint8_t* data, size_t size, uint32_t minWidth, uint32_t minHeight, RasterImage& image);
bool DecodeJpegReduced(const char* path, uint32_t minWidth, uint32_t minHeight, RasterImage& image);

// The JPEG bytes of the thumbnail stored in the stream's EXIF block; false when there is none.
bool ReadExifThumbnail(const uint8_t* data, size_t size, std::vector<uint8_t>& bytes);
bool ReadExifThumbnail(const char* path, std::vector<uint8_t>& bytes);

// The whole file; false when it cannot be read or holds more than maxBytes.
bool ReadWholeFile(const char* path, std::vector<uint8_t>& bytes, uint64_t maxBytes = RASTER_MAX_MEMORY);
// Up to count bytes from the start of the file (its headers); fewer when it is shorter or
// cannot be read.
std::vector<uint8_t> ReadFileStart(const char* path, size_t count);
// The start of a file read for a JPEG's headers (EXIF, colour profile and frame header).
inline constexpr size_t kJpegHeaderBytes = size_t(1) << 20;
