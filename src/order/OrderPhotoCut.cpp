#include "order/OrderPhotoCut.h"

#include <algorithm>
#include <cmath>

#include <QFile>

#include "doc/CropBoxModel.h"
#include "doc/CutOperation.h"
#include "doc/KeptBox.h"
#include "doc/PictureLoader.h"
#include "doc/StraightenGeometry.h"

#include "image/PictureMetadata.h"
#include "image/RasterFile.h"
#include "image/RasterImage.h"

namespace order {

namespace {

// A cut that encodes itself, with the photo's metadata, into memory: the export writes the
// bytes itself, so that a full disk is told apart from a picture that cannot be encoded.
class EncodableCut : public RasterImage {
public:
    bool EncodeInto(std::vector<uint8_t>& bytes, uint32_t format, PictureMetadata* metadata) {
        RasterMemFile file;
        if (!file.Open() || !EncodeWithMetadata(&file, format, metadata)) return false;
        bytes.assign(file.GetBuffer(), file.GetBuffer() + file.Size());
        return true;
    }
};

std::string SizeText(cropbox::Size size) { return std::to_string(size.width) + " x " + std::to_string(size.height); }

std::string CoreReason(const RasterImage& picture, const char* fallback) {
    return picture.LastErrorText()[0] != '\0' ? picture.LastErrorText() : fallback;
}

PhotoCut Failure(std::string reason) {
    PhotoCut cut;
    cut.reason = std::move(reason);
    return cut;
}

// The largest rectangle of that ratio centred in rect.
cropbox::Rect NarrowedToRatio(const cropbox::Rect& rect, double widthOverHeight) {
    if (!(widthOverHeight > 0) || rect.IsEmpty()) return rect;
    int width = rect.Width();
    int height = int(std::lround(width / widthOverHeight));
    if (height > rect.Height()) {
        height = rect.Height();
        width = std::min(rect.Width(), int(std::lround(height * widthOverHeight)));
    }
    const int left = rect.left + (rect.Width() - width) / 2;
    const int top = rect.top + (rect.Height() - height) / 2;
    return {left, top, left + std::max(width, 1), top + std::max(height, 1)};
}

}  // namespace

int PrintDpiOf(uint32_t presetId, int width, int height) {
    cropbox::CropBoxModel box;
    box.m_presetId = presetId;
    return box.PrintDpi({width, height});
}

bool CutPhotoPixels(const std::string& photo, const KeptCrop& box, CutNarrowing narrowing, RasterImage& cut,
                    CutDetails& details, const std::atomic<bool>* stop) {
    const auto fail = [&details](std::string reason) {
        details.reason = std::move(reason);
        return false;
    };
    OpenedPicture opened;
    if (!PictureLoader::OpenFull(QFile::decodeName(photo.c_str()), opened, stop)) {
        return fail(opened.error.toStdString());
    }
    const cropbox::Size upright{int(opened.picture.GetWidth()), int(opened.picture.GetHeight())};
    const cropbox::Size stored = keptbox::StoredSize(upright, opened.orientation);
    // A photo edited since its box was placed would be cut somewhere else than was chosen.
    if (!keptbox::PlacedOn(box, stored)) {
        return fail("changed since its box was placed: now " + SizeText(stored) + ", the box was placed on " +
                    SizeText({int(box.placedWidth), int(box.placedHeight)}));
    }
    const double narrowTo = narrowing.longOverShort > 0 && upright.height > upright.width
                                ? 1.0 / narrowing.longOverShort
                                : narrowing.longOverShort;
    const cropbox::Rect rect = NarrowedToRatio(keptbox::UprightRect(box, opened.orientation, upright), narrowTo);
    if (rect.IsEmpty()) return fail("its box holds no pixels");

    // The whole picture laid out one to one: the box in the view's pixels is the picture's.
    cropbox::CropBoxModel choices;
    choices.m_borderId = box.border;
    const int shape = box.shape >= cropbox::kShapeRectangle && box.shape <= cropbox::kShapeOval
                          ? box.shape
                          : int(cropbox::kShapeRectangle);
    CutRequest request{upright.width, upright.height, upright.width,           upright.height,
                       rect,          shape,          choices.BorderFraction()};
    // The turn the box was placed with, as the view's Cut samples it.
    request.straightenDegrees = straighten::ControlDegrees(box.angle);
    if (!CutPicture(opened.picture, request, cut)) {
        return fail("it cannot be cut: there is not enough memory");
    }
    // A print size's dpi makes the file print at exactly that size at 100 %; the free size
    // keeps the photo's own.
    const int printDpi = PrintDpiOf(box.preset, int(cut.GetWidth()), int(cut.GetHeight()));
    cut.SetXDpi(printDpi > 0 ? printDpi : opened.picture.GetXDpi());
    cut.SetYDpi(printDpi > 0 ? printDpi : opened.picture.GetYDpi());
    details.metadata = opened.metadata;
    details.reason.clear();
    return true;
}

PhotoCut CutPhoto(const std::string& photo, const KeptCrop& box, uint32_t format, int quality,
                  const std::atomic<bool>* stop) {
    EncodableCut cut;
    CutDetails details;
    if (!CutPhotoPixels(photo, box, {}, cut, details, stop)) return Failure(details.reason);
    cut.SetJpegQuality(uint8_t(quality));

    PhotoCut made;
    made.width = int(cut.GetWidth());
    made.height = int(cut.GetHeight());
    made.dpi = cut.GetXDpi();
    // Save fits the metadata to the cut's pixels (orientation 1, its size, a new thumbnail).
    PictureMetadata metadata = details.metadata ? *details.metadata : PictureMetadata{};
    cut.WatchEscapeFlag(stop);
    const bool encoded = cut.EncodeInto(made.bytes, format, &metadata);
    cut.WatchEscapeFlag(nullptr);
    if (!encoded) return Failure("it cannot be encoded: " + std::string(CoreReason(cut, "the encoder failed")));
    made.ok = true;
    return made;
}

}  // namespace order
