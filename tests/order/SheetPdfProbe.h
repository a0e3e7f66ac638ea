// Our PDFs read back by poppler's tools, which are not ours: the page size and count
// (pdfinfo), every image's pixels and ppi (pdfimages -list), the text (pdftotext) and a page
// rendered at a known resolution (pdftoppm) in which a flat colour's extent can be measured.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace sheetprobe {

// Empty when poppler-utils is installed; else why a test skips.
std::string MissingTools();

// A PDF page box is given in whole points by Qt's writer: a page is its paper to this.
inline constexpr double kHalfPointMm = 0.5 * 25.4 / 72;

struct PdfPages {
    int pages = 0;
    double widthMm = 0;  // of the first page
    double heightMm = 0;
};
std::optional<PdfPages> ReadPages(const testsupport::TempDir& dir, const std::filesystem::path& pdf);

struct PdfImage {
    int page = 0;
    int width = 0;
    int height = 0;
    int xPpi = 0;
    int yPpi = 0;
};
std::vector<PdfImage> ReadImages(const testsupport::TempDir& dir, const std::filesystem::path& pdf);

std::string ReadText(const testsupport::TempDir& dir, const std::filesystem::path& pdf);

// A page rendered to RGB pixels at dpi dots per inch.
struct Render {
    int width = 0;
    int height = 0;
    int dpi = 0;
    std::vector<uint8_t> rgb;
    uint32_t At(int x, int y) const;  // 0xRRGGBB
};
std::optional<Render> RenderPage(const testsupport::TempDir& dir, const std::filesystem::path& pdf, int page, int dpi);

// Where the pixels of rgb (each channel within tolerance) lie in the render, in millimetres
// from the page's top left corner; empty (width 0) when none does.
struct ExtentMm {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};
ExtentMm ColourExtent(const Render& render, uint32_t rgb, int tolerance = 40);

}  // namespace sheetprobe
