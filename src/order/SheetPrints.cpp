#include "order/SheetPrints.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "doc/CropBoxModel.h"

#include "image/RasterImage.h"
#include "image/metadata/ColourConversion.h"

#include "order/OrderPhotoCut.h"
#include "order/SheetWorkers.h"

#include "platform/RasterQtBridge.h"

namespace order {

namespace {

// A preset with a size on paper, or null (Free, unknown).
const cropbox::PrintSizePreset* SizedPreset(uint32_t id) {
    const cropbox::PrintSizePreset* preset = cropbox::FindPreset(id);
    return preset != nullptr && preset->width > 0 && preset->height > 0 ? preset : nullptr;
}

double LongMm(const cropbox::PrintSizePreset& preset) {
    return std::max(preset.width, preset.height) * kMillimetresPerInch;
}
double ShortMm(const cropbox::PrintSizePreset& preset) {
    return std::min(preset.width, preset.height) * kMillimetresPerInch;
}

// How a photo is cut and how large it prints.
struct PrintChoice {
    KeptCrop box;                                      // the whole photo when it keeps none
    CutNarrowing narrowing;                            // for a fallback size
    const cropbox::PrintSizePreset* size = nullptr;    // printed at exactly this size
    const cropbox::PrintSizePreset* fitIn = nullptr;   // else fitted inside this one
};

PrintChoice ChoosePrint(const std::optional<KeptCrop>& box, const SheetPrintOptions& options) {
    PrintChoice choice;
    if (box) choice.box = *box;
    if (box) choice.size = SizedPreset(box->preset);
    if (choice.size == nullptr) {
        if (const cropbox::PrintSizePreset* fallback = SizedPreset(options.fallbackPreset)) {
            choice.size = fallback;
            choice.narrowing.longOverShort = LongMm(*fallback) / ShortMm(*fallback);
        }
    }
    if (choice.size == nullptr) {
        choice.fitIn = SizedPreset(options.defaultPreset);
        if (choice.fitIn == nullptr) choice.fitIn = SizedPreset(kDefaultSheetPreset);
    }
    return choice;
}

// The size on paper of a cut of width x height pixels.
PrintSizeMm PaperSizeOf(const PrintChoice& choice, int width, int height) {
    const bool portrait = height > width;
    if (choice.size != nullptr) {
        const double longMm = LongMm(*choice.size);
        const double shortMm = ShortMm(*choice.size);
        return portrait ? PrintSizeMm{shortMm, longMm} : PrintSizeMm{longMm, shortMm};
    }
    const double scale = std::min(LongMm(*choice.fitIn) / std::max(width, height),
                                  ShortMm(*choice.fitIn) / std::min(width, height));
    return {width * scale, height * scale};
}

int PixelsAtSharpDpi(double mm) {
    return std::max(1, int(std::lround(mm / kMillimetresPerInch * cropbox::kSharpPrintDpi)));
}

SheetPrint Unprintable(SheetPrint print, std::string problem) {
    print.problem = std::move(problem);
    return print;
}

}  // namespace

SheetPrint PrepareSheetPrint(const std::string& photo, const SheetPrintOptions& options,
                             const std::atomic<bool>* stop) {
    SheetPrint print;
    print.photo = photo;
    print.name = std::filesystem::path(photo).filename().string();
    const BoxLookup lookup = options.boxes ? options.boxes(photo) : ReadBoxFromSidecar(photo);
    if (!lookup.error.empty()) return Unprintable(std::move(print), lookup.error);
    const PrintChoice choice = ChoosePrint(lookup.crop, options);

    RasterImage cut;
    CutDetails details;
    if (!CutPhotoPixels(photo, choice.box, choice.narrowing, cut, details, stop)) {
        return Unprintable(std::move(print), details.reason);
    }
    const int width = int(cut.GetWidth());
    const int height = int(cut.GetHeight());
    print.size = PaperSizeOf(choice, width, height);
    const double longInches = std::max(print.size.widthMm, print.size.heightMm) / kMillimetresPerInch;
    print.dpi = int(std::lround(std::max(width, height) / longInches));
    print.lowDpi = print.dpi < cropbox::kLowPrintDpi;

    if (cut.GetBpp() != 24 && !cut.IncreaseBpp(24)) {
        return Unprintable(std::move(print), "it cannot be printed: there is not enough memory");
    }
    // A PDF carries the numbers only: they must already mean sRGB.
    if (details.metadata && !details.metadata->icc.empty()) ConvertToSrgbColours(cut, details.metadata->icc);
    const int sharpWidth = PixelsAtSharpDpi(print.size.widthMm);
    const int sharpHeight = PixelsAtSharpDpi(print.size.heightMm);
    if (width > sharpWidth && height > sharpHeight &&
        !cut.Rescale(uint32_t(sharpWidth), uint32_t(sharpHeight), RASTER_RESCALE_AREA)) {
        return Unprintable(std::move(print), "it cannot be reduced: there is not enough memory");
    }
    print.pixels = QImage(int(cut.GetWidth()), int(cut.GetHeight()), QImage::Format_RGB32);
    if (print.pixels.isNull() || !CopyOpaqueInto(cut, print.pixels, 0, 0)) {
        print.pixels = QImage();
        return Unprintable(std::move(print), "it cannot be printed: there is not enough memory");
    }
    return print;
}

std::vector<SheetPrint> PrepareSheetPrints(const std::vector<std::string>& photos, const SheetPrintOptions& options,
                                           const std::atomic<bool>* stop,
                                           const std::function<void(int done)>& progress) {
    std::vector<SheetPrint> prints(photos.size());
    std::atomic<int> done{0};
    ForEachOnWorkers(
        int(photos.size()), options.workers,
        [&](int index) {
            prints[size_t(index)] = PrepareSheetPrint(photos[size_t(index)], options, stop);
            const int finished = ++done;
            if (progress) progress(finished);
        },
        [&](int index) {
            SheetPrint& print = prints[size_t(index)];
            print.photo = photos[size_t(index)];
            print.name = std::filesystem::path(print.photo).filename().string();
            print.problem = "stopped";
        },
        stop);
    return prints;
}

std::vector<PrintSizeMm> PrintableSizes(const std::vector<SheetPrint>& prints, std::vector<int>* indices) {
    std::vector<PrintSizeMm> sizes;
    if (indices) indices->clear();
    for (int i = 0; i < int(prints.size()); ++i) {
        if (!prints[size_t(i)].Printable()) continue;
        sizes.push_back(prints[size_t(i)].size);
        if (indices) indices->push_back(i);
    }
    return sizes;
}

}  // namespace order
