// Sheets written to a PDF file: a page per sheet, exactly the paper's size, drawn at
// kPdfUnitsPerInch so every position lands well within 0.1 mm. The file is written beside its
// name and renamed over it once whole: a failed write never leaves a partial PDF, nor destroys
// the old one.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QPainter>

#include "order/SheetLayout.h"
#include "order/SheetPainter.h"
#include "order/SheetPrints.h"

namespace order {

inline constexpr int kPdfUnitsPerInch = 1200;

// Paints page (0-based) with geometry's origin at the paper's printable area.
using PaintPage = std::function<void(QPainter& painter, int page, const SheetGeometry& geometry)>;

// Writes pages pages of paper to path; false with error set (when given) when the file cannot
// be written, naming why.
bool WritePdfPages(const std::string& path, const Paper& paper, int pages, const PaintPage& paint,
                   std::string* error = nullptr);

// The plan's sheets of prints (indices as for PaintSheet) as a PDF.
bool WriteSheetsPdf(const std::string& path, const Paper& paper, const SheetPlan& plan,
                    const std::vector<SheetPrint>& prints, const std::vector<int>* indices, bool cutMarks,
                    std::string* error = nullptr);

}  // namespace order
