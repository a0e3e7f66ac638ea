// The picture view's "Ext. Cutter" command: runs the "Alpha Picture Cutter" dialog over the
// working picture.
#pragma once

#include <cstdint>
#include <vector>

#include "image/RasterImage.h"

class QWidget;

// Opens the dialog with work as the picture to cut. On OK gives the cut picture, without its
// alpha plane, in result and returns true; on Cancel, or when the cut cannot be built, leaves
// result as it was and returns false. The caller replaces its working picture by result.
// icc: the picture's colour profile, which the dialog's preview follows (empty: sRGB).
bool RunExtCutter(QWidget* parent, const RasterImage& work, RasterImage& result,
                  const std::vector<uint8_t>& icc = {});
