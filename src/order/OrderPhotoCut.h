// One photo of a print order, from its file and kept box to the bytes of its cut file: opened
// upright as the program opens it, checked against the size its box was placed on, cut as the
// view's Cut cuts, given the print's dpi as Cut gives it, and encoded with the photo's
// metadata as Save writes it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/PictureMetadata.h"
#include "image/RasterImage.h"
#include "image/metadata/CropSidecar.h"

namespace order {

struct PhotoCut {
    bool ok = false;
    std::string reason;          // why it could not be made
    std::vector<uint8_t> bytes;  // the encoded file
    int width = 0;               // the cut's pixels
    int height = 0;
    int dpi = 0;  // written into the file (horizontal)
};

// What comes with a cut's pixels: why there are none, or the photo's metadata.
struct CutDetails {
    std::string reason;                               // why it could not be made
    std::shared_ptr<const PictureMetadata> metadata;  // the photo's, as it was read (may be null)
};

// How a box is narrowed before the cut: to the largest centred rectangle inside it of the
// ratio longOverShort, lying as the photo lies (portrait in a portrait photo); 0: the box as
// it is.
struct CutNarrowing {
    double longOverShort = 0;
};

// Cuts photo by box into cut, upright, before it is encoded (what the file, a sheet or a print
// is made from), with the print's dpi set as CutPhoto sets it; false with details.reason set
// when it cannot. stop as for CutPhoto.
bool CutPhotoPixels(const std::string& photo, const KeptCrop& box, CutNarrowing narrowing, RasterImage& cut,
                    CutDetails& details, const std::atomic<bool>* stop);

// The cut of photo by box, encoded as format at quality. stop (may be null) ends a decode or
// encode early, with a failure.
PhotoCut CutPhoto(const std::string& photo, const KeptCrop& box, uint32_t format, int quality,
                  const std::atomic<bool>* stop);

// The dpi a cut of that size prints at in the print size presetId: the cut's long side over
// the print's long side, rounded; 0 for the free size (the photo's own dpi is kept).
int PrintDpiOf(uint32_t presetId, int width, int height);

}  // namespace order
