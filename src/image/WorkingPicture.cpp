#include "image/WorkingPicture.h"

namespace {
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kWorkingBpp = 24;
}  // namespace

bool MakeWorkingPicture(RasterImage& picture) {
    if (picture.IsTransparent() && !picture.AlphaFromTransparentIndex()) return false;
    if (!picture.IncreaseBpp(kWorkingBpp) || picture.GetBpp() != kWorkingBpp) return false;
    if (picture.HasAlpha()) {
        if (!picture.FlattenAlpha(kWhite)) return false;
        picture.DeleteAlpha();
    }
    return true;
}
