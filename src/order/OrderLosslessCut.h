// A print order's photo written "as the original": a rectangle box on a JPEG whose corner
// lies on the block grid is cut by moving the file's DCT blocks, not a pixel changed; any
// other box, or a photo that is no such JPEG, is encoded again at the quality its own file
// was written at (the JPEG's tables tell it; kFallbackQuality for other formats).
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image/metadata/CropSidecar.h"
#include "order/OrderPhotoCut.h"

namespace order {

inline constexpr int kFallbackQuality = 90;

// The cut of photo by box as the original: the blocks moved when they can be, else CutPhoto
// at the photo's own quality. format is the file's to be written.
PhotoCut CutPhotoAsOriginal(const std::string& photo, const KeptCrop& box, uint32_t format,
                            const std::atomic<bool>* stop);

// The blocks moved, or nothing when box cannot be cut so (a shape, a border, a turn, a
// corner off the block grid, a partial block a turn brings to the front, no such JPEG).
std::optional<PhotoCut> CutPhotoWithoutLoss(const std::vector<uint8_t>& file, const KeptCrop& box);

}  // namespace order
