// The small picture a HEIF or AVIF file (a phone's photo) carries beside its primary image,
// for the thumbnail list: decoding it costs a fraction of the full picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/RasterImage.h"

// The primary image's size as shown (rotation applied) and its embedded thumbnail, turned
// the same way, as a 24-bit picture (with alpha when it has one). When the file carries
// several, the smallest that is at least minSide on its longer side (else the largest).
// False when the file carries none or it cannot be decoded; image keeps what it held then.
// icc, when not null, receives the colour profile the thumbnail's pixels mean: its own, else
// the primary image's (empty for none).
bool DecodeHeifThumbnail(const uint8_t* data, size_t size, uint32_t minSide, uint32_t& width, uint32_t& height,
                         RasterImage& image, std::vector<uint8_t>* icc = nullptr);
