// A photo's kept box (its sidecar crop, in fractions of the picture as stored in the file)
// against the picture the program works on, which is upright by the file's EXIF orientation:
// the rectangle both ways, and whether the kept box still belongs to the file.
#pragma once

#include "doc/CropBoxModel.h"
#include "image/metadata/CropSidecar.h"

namespace keptbox {

// The stored picture's size of an upright picture of that size.
cropbox::Size StoredSize(cropbox::Size upright, int orientation);
// The kept rectangle in the upright picture's pixels (right and bottom exclusive), rounded;
// empty for an empty picture.
cropbox::Rect UprightRect(const KeptCrop& crop, int orientation, cropbox::Size upright);
// Sets crop's rectangle from one in the upright picture's pixels (clamped to the picture),
// and the placed size to the stored picture's.
void SetUprightRect(KeptCrop& crop, const cropbox::Rect& rect, int orientation, cropbox::Size upright);
// The box was placed on a picture of this stored size (always so for another tool's crop,
// which records none).
bool PlacedOn(const KeptCrop& crop, cropbox::Size stored);

}  // namespace keptbox
