// Where a picture goes on a printed page: its size in inches for a print-size preset (turned
// to the picture's orientation), centred on the paper, or fitted into the printable area for
// the free preset; a cut of the crop box at exactly its print size; and the resolution it gets
// there. Plain arithmetic in inches.
#pragma once

#include <cstdint>
#include <string>

#include "platform/PicturePrinter.h"

namespace printlayout {

// Below this many picture pixels per inch a print looks soft; the print dialog warns.
inline constexpr double kMinimumPrintDpi = 150;

struct Inches {
    double width = 0;
    double height = 0;
};

// The paper and its unprintable margins (PrintPaper, in inches), as the printer reports them.
using Page = PrintPaper;

struct Placement {
    double left = 0;    // inches from the paper's top left corner
    double top = 0;
    double width = 0;   // 0 x 0 when nothing can be placed
    double height = 0;
    double dpi = 0;            // picture pixels per inch on the paper (the lower of the two sides)
    bool shrunkToPage = false; // the preset's print is larger than the printable area
    bool lowResolution = false; // dpi under kMinimumPrintDpi
};

// The print size of a preset, its long side across for a landscape or square picture and
// down for a portrait one; 0 x 0 for the free preset or an unknown id.
Inches PresetPrintSize(uint32_t presetId, int pictureWidth, int pictureHeight);

// Places a pictureWidth x pictureHeight picture on page. A preset prints at its size, the
// picture fitted into it with its own proportions and centred on the paper; a print larger
// than the printable area is shrunk into it. The free preset fits the picture into the
// printable area, centred there.
Placement PlacePicture(uint32_t presetId, int pictureWidth, int pictureHeight, const Page& page);

// Places the cut of a crop box of that preset at exactly the preset's print size, turned as
// the cut is: the box has the print's proportions, and the pixel or two its sides were
// rounded by must not shrink the print. Centred on the paper; shrunk into the printable area
// like PlacePicture when larger. Nothing is placed for the free preset.
Placement PlaceBoxCut(uint32_t presetId, int cutWidth, int cutHeight, const Page& page);

// The warning the print dialog shows for a placement of the print called name, or empty when
// there is none.
std::string PlacementWarning(const Placement& placement, const std::string& name);

}  // namespace printlayout
