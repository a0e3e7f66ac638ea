// The quality a JPEG was written at, read back from its luminance quantisation table: the
// quality on libjpeg's scale (1..100) whose table comes nearest. Files written by libjpeg
// and its kin give back their own quality; a camera's own tables give the nearest one. Used
// where a photo is to be written again "as the original".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// The header segments of data (a whole JPEG file, or its start) are read up to the first
// scan; nothing when data is no JPEG or has no luminance table before it.
std::optional<int> EstimateJpegQuality(const uint8_t* data, size_t size);
