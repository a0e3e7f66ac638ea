// A contact sheet: photos whole and upright, reduced, in a grid of N columns over as many
// sheets as it takes, each with its file name beneath and, when asked, its date (EXIF
// DateTimeOriginal, else the file's modification time) and its print size (when its sidecar
// keeps a box of a print size). The layout is plain arithmetic; the entries are prepared on
// worker threads; the painting and the PDF follow the sheets'.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include <QImage>
#include <QPainter>
#include <QRectF>

#include "order/OrderExport.h"
#include "order/SheetLayout.h"
#include "order/SheetPainter.h"

namespace order {

inline constexpr int kMaxContactColumns = 20;
// The height of one caption line, and the font that fills it.
inline constexpr double kContactCaptionLineMm = 4.0;
inline constexpr double kContactCaptionFontPt = 7.0;

struct ContactOptions {
    int columns = 4;  // 1..kMaxContactColumns
    bool date = false;
    bool printSize = false;
    double gapMm = kDefaultPrintGapMm;  // between cells
    BoxSource boxes;                    // for the print size; empty: ReadBoxFromSidecar
    int workers = 0;                    // 0: one per core
};

// The grid on one sheet: cells of equal size, each a square for the picture and the caption
// lines beneath it; millimetres from the printable area's top left corner.
struct ContactLayout {
    int columns = 0;
    int rows = 0;  // per sheet
    int sheets = 0;
    double cellWidthMm = 0;
    double pictureMm = 0;  // the square the picture is fitted into, centred across, at its foot
    double captionMm = 0;  // the caption lines' height
    double gapMm = 0;

    int PerSheet() const { return columns * rows; }
    // The square of the entry at index (over all sheets) on its sheet.
    QRectF PictureSquareMm(int index) const;
    // The caption's box beneath it.
    QRectF CaptionMm(int index) const;
};

// The layout of count entries; rows 0 (and sheets 0) when not even one row fits.
ContactLayout LayoutContactSheet(int count, const Paper& paper, const ContactOptions& options);

struct ContactEntry {
    std::string photo;
    std::string problem;               // why it could not be read; it is then left out
    QImage thumbnail;                  // sRGB, upright, Format_RGB32
    std::vector<std::string> caption;  // file name, then the date and the print size when asked
};

// The entries, in the given order; thumbnails reduced to kSharpPrintDpi at the layout's
// picture square.
std::vector<ContactEntry> PrepareContactEntries(const std::vector<std::string>& photos, const ContactLayout& layout,
                                                const ContactOptions& options, const std::atomic<bool>* stop);

// Paints the sheet-th sheet of entries (the readable ones, in order).
void PaintContactSheet(QPainter& painter, const ContactLayout& layout, int sheet,
                       const std::vector<const ContactEntry*>& entries, const SheetGeometry& geometry);

// Everything above in one go: the readable photos' contact sheets as a PDF; the ones that
// could not be read are returned in skipped ("NAME: why").
bool WriteContactPdf(const std::string& path, const Paper& paper, const std::vector<std::string>& photos,
                     const ContactOptions& options, std::vector<std::string>* skipped, std::string* error = nullptr);

}  // namespace order
