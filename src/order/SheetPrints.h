// Each photo of a print order made ready for a sheet: cut as the view's Cut cuts it by its kept
// box (OrderPhotoCut's engine), its colours converted to sRGB through its ICC profile (a PDF
// carries no profile, so printers and viewers take the numbers for sRGB), and its pixels
// reduced with the area filter to kSharpPrintDpi at its print size when it has more (else its
// own pixels, never enlarged).
//
// The print size of a photo:
//  - its box's print-size preset, from its sidecar, in the cut's orientation;
//  - when its box has none (no sidecar, or a Free box) and a fallback size is given: the
//    largest centred box of that size's ratio, in the photo's own orientation, inside the box
//    (or the whole photo), printed at that size;
//  - else the cut (box or whole photo) fitted inside the default preset's size, turned to the
//    cut's orientation.
//
// No widget; every function may run on worker threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QImage>

#include "order/OrderExport.h"
#include "order/SheetLayout.h"

namespace order {

// The print size of photos with neither a box of a print size nor a fallback: 6x4.
inline constexpr uint32_t kDefaultSheetPreset = 32792;

struct SheetPrintOptions {
    uint32_t fallbackPreset = 0;                    // preset id for boxes without a size; 0: none
    uint32_t defaultPreset = kDefaultSheetPreset;  // photos with neither
    BoxSource boxes;                                // empty: ReadBoxFromSidecar
    int workers = 0;                                // threads for PrepareSheetPrints; 0: one per core
};

struct SheetPrint {
    std::string photo;    // the path given
    std::string name;     // its file name, for lists and messages
    std::string problem;  // why it cannot be printed; empty when it can
    QImage pixels;        // sRGB, QImage::Format_RGB32, upright as the photo stands
    PrintSizeMm size;     // on paper, as the photo stands
    int dpi = 0;          // the cut's own pixels at that size (the long sides' ratio, rounded)
    bool lowDpi = false;  // dpi under cropbox::kLowPrintDpi: soft in print

    bool Printable() const { return problem.empty(); }
};

// One photo made ready; stop (may be null) ends the decode early, with a problem.
SheetPrint PrepareSheetPrint(const std::string& photo, const SheetPrintOptions& options,
                             const std::atomic<bool>* stop);

// Every photo, in the given order, prepared on options.workers threads (one photo in flight
// per worker). progress (may be empty) is called from the workers, at the same time, with
// the number of photos done. Once stop is set, the photos not started get the problem
// "stopped".
std::vector<SheetPrint> PrepareSheetPrints(const std::vector<std::string>& photos, const SheetPrintOptions& options,
                                           const std::atomic<bool>* stop,
                                           const std::function<void(int done)>& progress = {});

// The sizes of the printable ones, for PackPrints, and the index in prints of each size.
std::vector<PrintSizeMm> PrintableSizes(const std::vector<SheetPrint>& prints, std::vector<int>* indices);

}  // namespace order
