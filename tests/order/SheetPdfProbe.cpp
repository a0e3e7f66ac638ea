#include "SheetPdfProbe.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "CliRun.h"

namespace sheetprobe {

namespace {

constexpr double kPointsPerMm = 72.0 / 25.4;

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (!folder.empty() && std::filesystem::exists(std::filesystem::path(folder) / program)) return true;
    }
    return false;
}

}  // namespace

std::string MissingTools() {
    for (const char* tool : {"pdfinfo", "pdfimages", "pdftoppm", "pdftotext"}) {
        if (!OnPath(tool)) return std::string(tool) + " is missing (poppler-utils): the PDF cannot be read back";
    }
    return {};
}

std::optional<PdfPages> ReadPages(const testsupport::TempDir& dir, const std::filesystem::path& pdf) {
    const testsupport::RunResult run = testsupport::RunProgram(dir, "pdfinfo", {pdf.string()});
    if (run.exitCode != 0) return std::nullopt;
    PdfPages pages;
    std::istringstream lines(run.out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.starts_with("Pages:")) pages.pages = std::atoi(line.c_str() + 6);
        double width = 0;
        double height = 0;
        if (std::sscanf(line.c_str(), "Page size: %lf x %lf pts", &width, &height) == 2) {
            pages.widthMm = width / kPointsPerMm;
            pages.heightMm = height / kPointsPerMm;
        }
    }
    return pages;
}

std::vector<PdfImage> ReadImages(const testsupport::TempDir& dir, const std::filesystem::path& pdf) {
    const testsupport::RunResult run = testsupport::RunProgram(dir, "pdfimages", {"-list", pdf.string()});
    std::vector<PdfImage> images;
    std::istringstream lines(run.out);
    std::string line;
    while (std::getline(lines, line)) {
        // page num type width height color comp bpc enc interp object ID x-ppi y-ppi size ratio
        std::istringstream words(line);
        PdfImage image;
        std::string num, type, color, comp, bpc, enc, interp, object, id;
        if (!(words >> image.page >> num >> type >> image.width >> image.height >> color >> comp >> bpc >> enc >>
              interp >> object >> id >> image.xPpi >> image.yPpi)) {
            continue;  // the heading lines
        }
        if (type == "image") images.push_back(image);
    }
    return images;
}

std::string ReadText(const testsupport::TempDir& dir, const std::filesystem::path& pdf) {
    const std::filesystem::path text = dir / "text.txt";
    testsupport::RunProgram(dir, "pdftotext", {"-layout", pdf.string(), text.string()});
    std::ifstream in(text);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

uint32_t Render::At(int x, int y) const {
    const size_t at = (size_t(y) * size_t(width) + size_t(x)) * 3;
    return uint32_t(rgb[at]) << 16 | uint32_t(rgb[at + 1]) << 8 | rgb[at + 2];
}

std::optional<Render> RenderPage(const testsupport::TempDir& dir, const std::filesystem::path& pdf, int page, int dpi) {
    const std::filesystem::path stem = dir / "render";
    const std::string number = std::to_string(page);
    const testsupport::RunResult made = testsupport::RunProgram(
        dir, "pdftoppm", {"-r", std::to_string(dpi), "-f", number, "-l", number, "-singlefile", pdf.string(), stem.string()});
    if (made.exitCode != 0) return std::nullopt;
    std::ifstream in(stem.string() + ".ppm", std::ios::binary);
    std::string magic;
    int maxValue = 0;
    Render render;
    render.dpi = dpi;
    if (!(in >> magic >> render.width >> render.height >> maxValue) || magic != "P6" || maxValue != 255) {
        return std::nullopt;
    }
    in.get();  // the one white space before the pixels
    render.rgb.resize(size_t(render.width) * size_t(render.height) * 3);
    if (!in.read(reinterpret_cast<char*>(render.rgb.data()), std::streamsize(render.rgb.size()))) return std::nullopt;
    return render;
}

ExtentMm ColourExtent(const Render& render, uint32_t rgb, int tolerance) {
    const auto near = [tolerance](uint32_t a, uint32_t b) {
        for (int shift : {16, 8, 0}) {
            if (std::abs(int((a >> shift) & 0xff) - int((b >> shift) & 0xff)) > tolerance) return false;
        }
        return true;
    };
    int left = render.width, top = render.height, right = -1, bottom = -1;
    for (int y = 0; y < render.height; ++y) {
        for (int x = 0; x < render.width; ++x) {
            if (!near(render.At(x, y), rgb)) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (right < 0) return {};
    const double mmPerDot = 25.4 / render.dpi;
    return {left * mmPerDot, top * mmPerDot, (right + 1 - left) * mmPerDot, (bottom + 1 - top) * mmPerDot};
}

}  // namespace sheetprobe
