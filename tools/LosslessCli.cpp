#include "LosslessCli.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "image/RasterFormatIds.h"
#include "image/formats/JpegFrameFacts.h"
#include "image/formats/LosslessJpeg.h"
#include "image/formats/LosslessJpegGeometry.h"

namespace cli {

namespace {

constexpr std::string_view kCrop = "crop";

// The layout step of a turning operation; nullopt for the others.
std::optional<int> LayoutStepOf(std::string_view name) {
    if (name == "rotate-right") return kLayoutTurnRight;
    if (name == "rotate-left") return kLayoutTurnLeft;
    if (name == "mirror") return kLayoutMirror;
    if (name == "flip") return kLayoutFlip;
    return std::nullopt;
}

RasterRect CropRect(const Step& step) {
    return {int32_t(step.values[0]), int32_t(step.values[1]), int32_t(step.values[2]), int32_t(step.values[3])};
}

// The steps composed on chain; beforeLastCrop receives the chain as it was before the last crop.
std::string Compose(const std::vector<Step>& steps, LayoutChain& chain, std::optional<LayoutChain>& beforeLastCrop) {
    for (const Step& step : steps) {
        if (const auto layoutStep = LayoutStepOf(StepName(step))) {
            chain.Apply(*layoutStep);
            continue;
        }
        beforeLastCrop = chain;
        if (!chain.Cut(CropRect(step))) return "crop keeps no pixel of the picture";
    }
    return {};
}

// The last crop's arguments moved so that the result's top-left corner sits on the grid.
std::string SnappedCropText(const LayoutChain& chain, const LayoutChain& before, const JpegFrameFacts& facts) {
    const int layout = chain.Layout();
    const RasterRect within = ShownRectOf(before.StoredCut(), facts.size, layout);
    const RasterRect snapped = SnapCornerToGrid(chain.ShownPlace(), ShownGridOf(facts.size, facts.grid, layout), within);
    const RasterRect inBefore = ShownRectOf(StoredRectOf(snapped, facts.size, layout), facts.size, before.Layout());
    const RasterRect origin = before.ShownPlace();
    return "crop " + std::to_string(inBefore.left - origin.left) + " " + std::to_string(inBefore.top - origin.top) +
           " " + std::to_string(inBefore.right - origin.left) + " " + std::to_string(inBefore.bottom - origin.top);
}

}  // namespace

bool GoesLossless(const Options& options, bool leadingCut, const std::vector<Step>& steps, uint32_t inType,
                  uint32_t outType) {
    if (options.recompress || options.quality || leadingCut || steps.empty()) return false;
    if (inType != RASTER_FORMAT_JPG || outType != RASTER_FORMAT_JPG) return false;
    for (const Step& step : steps) {
        if (StepName(step) != kCrop && !LayoutStepOf(StepName(step))) return false;
    }
    return true;
}

std::string RunLossless(const Options& options, const std::string& in, const std::string& out,
                        const std::vector<Step>& steps) {
    const LosslessJpegResult header = CheckLosslessJpegFile(in, LosslessJpegRequest{});
    const JpegFrameFacts& facts = header.source;
    if (facts.frameMarker == 0) return in + ": " + header.reason + " (--recompress decodes what can be decoded)";
    // Without --strip the picture is taken upright, as the decode path and the program show it.
    LayoutChain chain(facts.size, options.strip ? kLayoutUpright : facts.orientation);
    std::optional<LayoutChain> beforeLastCrop;
    if (std::string error = Compose(steps, chain, beforeLastCrop); !error.empty()) return error;

    LosslessJpegRequest request;
    request.layout = chain.Layout();
    request.storedCut = chain.StoredCut();
    request.allowTrim = options.trim;
    request.keepMetadata = !options.strip;
    const LosslessJpegResult result = SaveLosslessJpeg(in, request, out);
    switch (result.status) {
        case LosslessJpegStatus::Written: break;
        case LosslessJpegStatus::CornerOffGrid: {
            std::string text = out + ": not lossless: " + result.reason;
            if (beforeLastCrop) text += "; the nearest lossless is " + SnappedCropText(chain, *beforeLastCrop, facts);
            return text + " (or --recompress to re-encode)";
        }
        case LosslessJpegStatus::NeedsTrim:
            return out + ": not lossless: " + result.reason + "; --trim leaves them out, --recompress re-encodes";
        case LosslessJpegStatus::Failed: return result.reason;
        default: return out + ": not lossless: " + result.reason + " (--recompress re-encodes)";
    }
    if (result.metadataDropped) {
        std::fprintf(stderr, "snipwell-cli: %s: a metadata block could not be written and is left out\n", out.c_str());
    }
    return {};
}

}  // namespace cli
