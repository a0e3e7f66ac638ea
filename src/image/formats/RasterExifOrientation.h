// The EXIF Orientation tag of JPEG files, and turning a decoded picture upright by it.
// Cameras store the sensor's rows as shot and record how the camera was held; a picture
// shown, cut or saved without this turn lies on its side or upside down.
#pragma once

#include <cstddef>
#include <cstdint>

class RasterImage;
class RasterFile;

// Orientation values 1..8 as the EXIF standard numbers them (1 = stored upright).
constexpr int RASTER_EXIF_ORIENTATION_NONE = 0;     // no tag, or an unreadable one
constexpr int RASTER_EXIF_ORIENTATION_UPRIGHT = 1;
constexpr int RASTER_EXIF_ORIENTATION_MAX = 8;

// The Orientation of IFD0 in the first Exif APP1 block before the image data of a JPEG
// stream (data starts with the SOI marker); RASTER_EXIF_ORIENTATION_NONE when there is none
// or the block is damaged. Every offset is checked against the data.
int ReadExifOrientation(const uint8_t* data, size_t size);
// The same, reading the stream from its current position (only the header segments are read).
int ReadExifOrientation(RasterFile* file);
// The same for a file; RASTER_EXIF_ORIENTATION_NONE when it cannot be opened.
int ReadExifOrientationFromFile(const char* path);

// orientation when it is one of 1..8, otherwise RASTER_EXIF_ORIENTATION_UPRIGHT (no tag, or
// an unreadable one, means the picture is taken as stored).
inline int ExifOrientationOrUpright(int orientation) {
    return orientation >= RASTER_EXIF_ORIENTATION_UPRIGHT && orientation <= RASTER_EXIF_ORIENTATION_MAX
               ? orientation
               : RASTER_EXIF_ORIENTATION_UPRIGHT;
}
// Orientations 5 to 8 exchange width and height.
inline bool ExifOrientationSwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

// Turns image upright for the given orientation: 2 mirror, 3 half turn, 4 flip, 5 transpose,
// 6 quarter turn right, 7 transverse, 8 quarter turn left; other values change nothing.
// On failure (memory) the image is left as it was and false is returned.
bool ApplyExifOrientation(RasterImage& image, int orientation);
