// Turns thumbnails upright by the EXIF orientation of their picture file, as the picture view
// shows the picture.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/RasterImage.h"

namespace thumbs {

// The file's EXIF orientation, 1..8; 1 when it has none or the file cannot be read.
int PictureOrientation(const char* path);
// The same for a JPEG stream in memory.
int PictureOrientation(const uint8_t* data, size_t size);
// Orientations 5 to 8 exchange width and height.
inline bool SwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }
// Turns image upright for orientation; false when an operation fails.
bool TurnUpright(RasterImage& image, int orientation);

}  // namespace thumbs
