#include "ThumbOrientation.h"

#include "RasterExifOrientation.h"

namespace thumbs {

int PictureOrientation(const char* path) {
    const int orientation = path ? ReadExifOrientationFromFile(path) : RASTER_EXIF_ORIENTATION_NONE;
    return orientation >= RASTER_EXIF_ORIENTATION_UPRIGHT && orientation <= RASTER_EXIF_ORIENTATION_MAX
               ? orientation
               : RASTER_EXIF_ORIENTATION_UPRIGHT;
}

bool TurnUpright(RasterImage& image, int orientation) { return ApplyExifOrientation(image, orientation); }

}  // namespace thumbs
