#include "ThumbOrientation.h"

#include <libexif/exif-data.h>

namespace thumbs {

int PictureOrientation(const char* path) {
    ExifData* data = path ? exif_data_new_from_file(path) : nullptr;
    if (!data) return 1;
    int orientation = 1;
    if (ExifEntry* entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION)) {
        if (entry->format == EXIF_FORMAT_SHORT && entry->components >= 1 && entry->data) {
            orientation = exif_get_short(entry->data, exif_data_get_byte_order(data));
        }
    }
    exif_data_unref(data);
    return orientation >= 1 && orientation <= 8 ? orientation : 1;
}

bool TurnUpright(RasterImage& image, int orientation) {
    switch (orientation) {
    case 2: return image.Mirror();
    case 3: return image.Mirror() && image.Flip();   // a half turn
    case 4: return image.Flip();
    case 5: return image.RotateRight() && image.Mirror();
    case 6: return image.RotateRight();
    case 7: return image.RotateLeft() && image.Mirror();
    case 8: return image.RotateLeft();
    default: return true;
    }
}

}  // namespace thumbs
