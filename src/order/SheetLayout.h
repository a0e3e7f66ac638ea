// Prints laid out on sheets of paper at their exact sizes: the paper (its size and margins, in
// millimetres) and the packing of print sizes onto as few sheets as it takes. Pure arithmetic,
// no picture and no Qt: the preview, the printer, the PDF and the tests all lay out alike.
//
// Packing is shelf packing: the prints are taken largest first (by area, ties in the order's
// sequence); a print goes on the first shelf of the sheet with room for it, else opens a new
// shelf below the last one; a print that fits on no shelf of this sheet waits for the next
// sheet, so smaller prints fill what the large ones leave. Each sheet is packed four ways
// (every print as it is; every print turned a quarter; every print with its long side across
// the paper; every print with its long side down the paper) and keeps the way that places the
// most prints, the first of those on a tie, so a print is turned only when that fits more.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace order {

inline constexpr double kMillimetresPerInch = 25.4;
// The margin on every side of a paper named by PaperNamed: inside what home printers reach.
inline constexpr double kDefaultSheetMarginMm = 5.0;
// The space between two prints, for the scissors.
inline constexpr double kDefaultPrintGapMm = 3.0;

struct Paper {
    double widthMm = 0;  // as the sheet is fed: portrait for a4 and letter
    double heightMm = 0;
    double leftMm = kDefaultSheetMarginMm;
    double topMm = kDefaultSheetMarginMm;
    double rightMm = kDefaultSheetMarginMm;
    double bottomMm = kDefaultSheetMarginMm;

    double PrintableWidthMm() const { return widthMm - leftMm - rightMm; }
    double PrintableHeightMm() const { return heightMm - topMm - bottomMm; }
};

// "a4" (210 x 297 mm), "letter" (215.9 x 279.4 mm) or "WxHmm" (e.g. "100x150mm", decimals
// allowed), with kDefaultSheetMarginMm on every side. nullopt, with error set when given, for
// any other name or a paper with no printable area left.
std::optional<Paper> PaperNamed(std::string_view name, std::string* error = nullptr);

// A print's size on paper, as the photo stands (not turned).
struct PrintSizeMm {
    double widthMm = 0;
    double heightMm = 0;
};

// One print placed on a sheet: millimetres from the printable area's top left corner; the
// size as it lies on the sheet (width and height swapped when turned).
struct PlacedPrint {
    int print = 0;  // index in the packed sizes
    double xMm = 0;
    double yMm = 0;
    double widthMm = 0;
    double heightMm = 0;
    bool turned = false;  // turned a quarter from the way the photo stands
};

struct Sheet {
    std::vector<PlacedPrint> prints;
};

struct SheetPlan {
    std::vector<Sheet> sheets;
    std::vector<int> tooLarge;  // prints that fit the printable area neither way
};

// Packs prints (see the top of this file) into printable areas of that size with gapMm between
// neighbouring prints.
SheetPlan PackPrints(const std::vector<PrintSizeMm>& prints, double printableWidthMm, double printableHeightMm,
                     double gapMm = kDefaultPrintGapMm);

}  // namespace order
