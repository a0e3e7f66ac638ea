// "Apply to Selected": every selected photo gets the box's shape, print size and border, and a
// centred box of that print size in its own orientation (portrait photos get portrait boxes).
#pragma once

#include <QString>
#include <QStringList>

#include "doc/CropBoxModel.h"

#include "image/metadata/CropSidecar.h"

namespace applyboxes {

// The photo's upright size and EXIF orientation: from the headers of a JPEG, else from a
// decode. False when it cannot be read.
bool ReadPhotoGeometry(const QString& path, cropbox::Size& upright, int& orientation);
// The largest box of the print's ratio (long over short side; 0 for a free box: the whole
// picture) centred on a picture of that size, turned to the picture's orientation.
cropbox::Rect CentredBox(cropbox::Size upright, double ratio);
// The kept box for a photo of that geometry with box's shape, preset and border.
KeptCrop CentredKeptBox(cropbox::Size upright, int orientation, const cropbox::CropBoxModel& box);

struct Outcome {
    int applied = 0;
    QStringList kept;    // photos whose own box was left as it was
    QStringList failed;  // "NAME: why"
    QStringList notes;   // where boxes could not go into sidecars
};
// Gives each photo a centred box (replacing one it keeps only when replace).
Outcome ApplyToPhotos(const QStringList& photos, const cropbox::CropBoxModel& box, bool replace);

}  // namespace applyboxes
