#include "browser/ThumbOrientation.h"

#include "image/formats/RasterExifOrientation.h"

namespace thumbs {

namespace {
int UprightWhenUnknown(int orientation) {
    return orientation >= RASTER_EXIF_ORIENTATION_UPRIGHT && orientation <= RASTER_EXIF_ORIENTATION_MAX
               ? orientation
               : RASTER_EXIF_ORIENTATION_UPRIGHT;
}
}  // namespace

int PictureOrientation(const char* path) {
    return UprightWhenUnknown(path ? ReadExifOrientationFromFile(path) : RASTER_EXIF_ORIENTATION_NONE);
}

int PictureOrientation(const uint8_t* data, size_t size) { return UprightWhenUnknown(ReadExifOrientation(data, size)); }

bool TurnUpright(RasterImage& image, int orientation) { return ApplyExifOrientation(image, orientation); }

}  // namespace thumbs
