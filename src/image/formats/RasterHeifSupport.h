// What the HEIF/AVIF reader and the browser's HEIF thumbnail share: a libheif context over
// bytes in memory with the core's limits set, and the decode of one image of it into a
// RasterImage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "image/RasterImage.h"

struct heif_context;
struct heif_error;
struct heif_image;
struct heif_image_handle;

struct HeifContextDeleter {
    void operator()(heif_context* context) const;
};
struct HeifHandleDeleter {
    void operator()(const heif_image_handle* handle) const;
};
struct HeifImageDeleter {
    void operator()(heif_image* picture) const;
};
using HeifImagePtr = std::unique_ptr<heif_image, HeifImageDeleter>;
using HeifContextPtr = std::unique_ptr<heif_context, HeifContextDeleter>;
using HeifHandlePtr = std::unique_ptr<const heif_image_handle, HeifHandleDeleter>;

// Sets "what: libheif's message" as the image's last error and returns false.
bool FailWithHeifError(RasterImage& image, const heif_error& error, const char* what);

// Reads the file's structure (no pixels yet) from data, which must outlive the context.
// False with the last error in image when libheif refuses it.
bool OpenHeifContext(const uint8_t* data, size_t size, HeifContextPtr& context, RasterImage& image);
// The primary image; null with the last error in image.
HeifHandlePtr PrimaryHeifImage(heif_context* context, RasterImage& image);

// The ICC profile the image is tagged with (a "prof" or "rICC" colour box); empty when it has
// none or only colour parameters.
std::vector<uint8_t> HeifIccProfile(const heif_image_handle* handle);

// Decodes the image with its rotation, mirror and clean aperture applied, into a 24-bit
// picture with an alpha plane when the image has alpha; deeper samples are rounded to 8 bits.
// The size is checked against the memory limit first. The image's escape flag is looked at
// before and after libheif's decode, which cannot be stopped while it runs.
bool DecodeHeifImage(const heif_image_handle* handle, RasterImage& image, uint32_t type);
