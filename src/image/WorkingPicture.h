// The form every picture takes in the view, whether opened from a file or pasted, and in the
// cutter dialog.
#pragma once

#include "image/RasterImage.h"

// 24 bits per pixel, no alpha plane, transparent parts white. False when the picture could not
// be converted (memory): the caller treats it as a picture it could not read.
bool MakeWorkingPicture(RasterImage& picture);
