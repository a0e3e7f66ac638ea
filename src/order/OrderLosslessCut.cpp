#include "order/OrderLosslessCut.h"

#include "commands/CommandIds.h"
#include "doc/CropBoxModel.h"
#include "doc/KeptBox.h"
#include "doc/LosslessPlan.h"
#include "image/RasterFormatIds.h"
#include "image/formats/JpegQualityEstimate.h"
#include "image/formats/LosslessJpeg.h"
#include "image/formats/RasterJpegThumbnail.h"

namespace order {

std::optional<PhotoCut> CutPhotoWithoutLoss(const std::vector<uint8_t>& file, const KeptCrop& box) {
    const bool plain = (box.shape == 0 || box.shape == cropbox::kShapeRectangle) &&
                       (box.border == 0 || box.border == cmd::ID_BORDER_NONE) && box.angle == 0.0;
    if (!plain) return std::nullopt;
    JpegFrameFacts facts;
    std::string reason;
    if (!ReadJpegFrameFacts(file.data(), file.size(), facts, reason)) return std::nullopt;
    LosslessPlan plan(facts);
    if (plan.GetState() == LosslessPlan::State::NotJpeg) return std::nullopt;
    // The box was placed on the photo as it stands upright, as the program shows it.
    const PixelSize shown = plan.PictureSize();
    const cropbox::Size upright{int(shown.width), int(shown.height)};
    if (!keptbox::PlacedOn(box, {int(facts.size.width), int(facts.size.height)})) return std::nullopt;
    const cropbox::Rect rect = keptbox::UprightRect(box, facts.orientation, upright);
    if (rect.IsEmpty() || rect.left < 0 || rect.top < 0 || rect.right > upright.width || rect.bottom > upright.height) {
        return std::nullopt;
    }
    plan.Cut(RasterRect{rect.left, rect.top, rect.right, rect.bottom});
    if (plan.GetState() != LosslessPlan::State::Lossless) return std::nullopt;

    LosslessJpegRequest request = plan.Request(false);
    const int dpi = PrintDpiOf(box.preset, rect.Width(), rect.Height());
    request.xDpi = request.yDpi = dpi;
    LosslessJpegTransformer transformer;
    PhotoCut cut;
    const LosslessJpegResult result = transformer.Transform(file.data(), file.size(), request, cut.bytes);
    if (!result.Written()) return std::nullopt;
    cut.ok = true;
    cut.width = rect.Width();
    cut.height = rect.Height();
    cut.dpi = dpi > 0 ? dpi : (facts.xDpi > 0 ? facts.xDpi : 0);
    return cut;
}

PhotoCut CutPhotoAsOriginal(const std::string& photo, const KeptCrop& box, uint32_t format,
                            const std::atomic<bool>* stop) {
    std::vector<uint8_t> file;
    if (!ReadWholeFile(photo.c_str(), file)) return CutPhoto(photo, box, format, kFallbackQuality, stop);
    if (format == RASTER_FORMAT_JPG) {
        if (std::optional<PhotoCut> moved = CutPhotoWithoutLoss(file, box)) return std::move(*moved);
    }
    const int quality = EstimateJpegQuality(file.data(), file.size()).value_or(kFallbackQuality);
    file = {};
    return CutPhoto(photo, box, format, quality, stop);
}

}  // namespace order
