#include "SheetCommand.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QGuiApplication>
#include <QString>

#include "doc/CropBoxChoices.h"
#include "doc/CropBoxModel.h"
#include "order/ContactSheet.h"
#include "order/SheetPdf.h"

#include "StrictNumber.h"
#include "ViewCut.h"

namespace cli {

const char* const kSheetSynopsis = "sheet --paper a4|letter|WxHmm [--size 6x4] [--gap MM] [--marks] OUT.pdf PHOTO...";
const char* const kSheetHelp =
    "places every PHOTO, cut by the box its sidecar keeps, at that box's print size on as few\n"
    "      sheets as it takes, into the PDF OUT (margins 5 mm on every side, gap MM between prints,\n"
    "      default 3; --marks adds cut marks). --size names the print size (6x4, 5x3.5, ...) of a\n"
    "      photo whose box has none: the largest centred box of that ratio in it; a photo with\n"
    "      neither prints whole inside the preset the program last used (6x4 at first).";
const char* const kContactSynopsis =
    "contact [--columns N] [--date] [--size] [--paper a4|letter|WxHmm] OUT.pdf PHOTO...";
const char* const kContactHelp =
    "every PHOTO whole in a grid of N columns (default 4) on sheets of paper (default a4,\n"
    "      margins 5 mm), into the PDF OUT, its file name beneath it, and its date (--date) and\n"
    "      box's print size (--size) when asked.";

namespace {

constexpr double kLargestGapMm = 50.0;

struct SheetArguments {
    std::optional<order::Paper> paper;
    uint32_t sizePreset = 0;
    double gapMm = order::kDefaultPrintGapMm;
    bool marks = false;
    order::ContactOptions contact;
    std::string out;
    std::vector<std::string> photos;
};

int Fail(const char* command, const std::string& text) {
    std::fprintf(stderr, "snipwell-cli: %s: %s\n", command, text.c_str());
    return 1;
}

std::optional<double> ParseMillimetres(std::string_view text, double largest) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, problem] = std::from_chars(text.data(), end, value);
    if (text.empty() || problem != std::errc{} || stop != end || !(value >= 0) || value > largest) return std::nullopt;
    return value;
}

// The preset id named by its name ("6x4"), 0 for none; Free is no print size.
uint32_t PresetNamed(std::string_view name) {
    for (const cropbox::PrintSizePreset* preset = cropbox::kPrintSizePresets; preset->name != nullptr; ++preset) {
        if (preset->width > 0 && name == preset->name) return preset->commandId;
    }
    return 0;
}

std::string PresetNames() {
    std::string names;
    for (const cropbox::PrintSizePreset* preset = cropbox::kPrintSizePresets; preset->name != nullptr; ++preset) {
        if (preset->width > 0) names += (names.empty() ? "" : ", ") + std::string(preset->name);
    }
    return names;
}

// Why OUT cannot be written, checked before any photo is read; empty when it can be tried.
// It must end in .pdf: a photo named first by mistake is never written over.
std::string OutProblem(const std::string& out) {
    const std::string extension = QString::fromStdString(std::filesystem::path(out).extension().string()).toLower().toStdString();
    if (extension != ".pdf") return "the output " + out + " must be a .pdf file (OUT.pdf comes before the photos)";
    const std::filesystem::path folder = std::filesystem::absolute(out).parent_path();
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) return out + ": its folder " + folder.string() + " does not exist";
    if (std::filesystem::is_directory(out, error)) return out + ": is a folder";
    return {};
}

// The options of "sheet" (contact false) or "contact"; the error text, empty when sound.
std::string ParseSheetArguments(int argc, char** argv, bool contact, SheetArguments& parsed) {
    std::vector<std::string> words;
    for (int i = 0; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (!word.starts_with("--")) {
            words.emplace_back(word);
            continue;
        }
        if (word == "--marks" && !contact) {
            parsed.marks = true;
            continue;
        }
        if (contact && (word == "--date" || word == "--size")) {
            (word == "--date" ? parsed.contact.date : parsed.contact.printSize) = true;
            continue;
        }
        const bool takesValue = word == "--paper" || (contact ? word == "--columns" : word == "--size" || word == "--gap");
        if (!takesValue) return "unknown option " + std::string(word);
        if (i + 1 >= argc) return std::string(word) + " needs a value";
        const std::string_view value = argv[++i];
        if (word == "--paper") {
            std::string error;
            parsed.paper = order::PaperNamed(value, &error);
            if (!parsed.paper) return error;
        } else if (word == "--size") {
            parsed.sizePreset = PresetNamed(value);
            if (parsed.sizePreset == 0) return "--size takes a print size (" + PresetNames() + "), not '" + std::string(value) + "'";
        } else if (word == "--gap") {
            const auto gap = ParseMillimetres(value, kLargestGapMm);
            if (!gap) return "--gap needs millimetres 0..50, not '" + std::string(value) + "'";
            parsed.gapMm = *gap;
        } else {
            const auto columns = rastertool::ParseInteger(value, 1, order::kMaxContactColumns);
            if (!columns) return "--columns needs a number 1..20, not '" + std::string(value) + "'";
            parsed.contact.columns = int(*columns);
        }
    }
    if (!contact && !parsed.paper) return "--paper is needed (a4, letter or WxHmm)";
    if (!parsed.paper) parsed.paper = order::PaperNamed("a4");
    if (words.empty()) return "names no output PDF (see --help)";
    parsed.out = words.front();
    parsed.photos.assign(words.begin() + 1, words.end());
    if (parsed.photos.empty()) return "names no photo (see --help)";
    return OutProblem(parsed.out);
}

// The painting needs Qt's GUI parts (fonts, images), not a screen.
template <typename Work>
int WithGuiApplication(Work work) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    rastertool::QuietQtNotes();
    static char programName[] = "snipwell-cli";
    char* arguments[] = {programName, nullptr};
    int count = 1;
    QGuiApplication application(count, arguments);
    return work();
}

// The size of photos with neither a box of a print size nor --size: the program's last.
uint32_t RememberedPreset() {
    cropbox::CropBoxModel box;
    box.m_presetId = order::kDefaultSheetPreset;
    cropbox::RestoreChoices(box);
    return box.m_presetId;
}

int MakeSheets(const SheetArguments& parsed) {
    order::SheetPrintOptions options;
    options.fallbackPreset = parsed.sizePreset;
    options.defaultPreset = RememberedPreset();
    const std::vector<order::SheetPrint> prints = order::PrepareSheetPrints(parsed.photos, options, nullptr);
    std::vector<int> indices;
    const std::vector<order::PrintSizeMm> sizes = order::PrintableSizes(prints, &indices);
    const order::Paper& paper = *parsed.paper;
    const order::SheetPlan plan = order::PackPrints(sizes, paper.PrintableWidthMm(), paper.PrintableHeightMm(), parsed.gapMm);

    int left = 0;
    for (const order::SheetPrint& print : prints) {
        if (!print.Printable()) {
            ++left;
            std::fprintf(stderr, "snipwell-cli: sheet: %s: not printed: %s\n", print.name.c_str(), print.problem.c_str());
        } else if (print.lowDpi) {
            std::fprintf(stderr, "snipwell-cli: sheet: %s prints at %d dpi, under %d: soft in print\n",
                         print.name.c_str(), print.dpi, cropbox::kLowPrintDpi);
        }
    }
    for (const int tooLarge : plan.tooLarge) {
        ++left;
        const order::SheetPrint& print = prints[size_t(indices[size_t(tooLarge)])];
        std::fprintf(stderr, "snipwell-cli: sheet: %s: not printed: %.1f x %.1f mm is larger than the paper's printable area\n",
                     print.name.c_str(), print.size.widthMm, print.size.heightMm);
    }
    if (plan.sheets.empty()) return Fail("sheet", "no photo can be printed; " + parsed.out + " was not written");
    std::string error;
    if (!order::WriteSheetsPdf(parsed.out, paper, plan, prints, &indices, parsed.marks, &error)) {
        return Fail("sheet", parsed.out + ": " + error);
    }
    std::printf("%s: %d prints on %d sheets\n", parsed.out.c_str(), int(prints.size()) - left, int(plan.sheets.size()));
    return left == 0 ? 0 : Fail("sheet", std::to_string(left) + " of " + std::to_string(prints.size()) + " photos not printed");
}

int MakeContactSheet(const SheetArguments& parsed) {
    std::vector<std::string> skipped;
    std::string error;
    const bool written = order::WriteContactPdf(parsed.out, *parsed.paper, parsed.photos, parsed.contact, &skipped, &error);
    for (const std::string& line : skipped) std::fprintf(stderr, "snipwell-cli: contact: %s: left out\n", line.c_str());
    if (!written) return Fail("contact", parsed.out + ": " + error);
    std::printf("%s: %d photos\n", parsed.out.c_str(), int(parsed.photos.size() - skipped.size()));
    return skipped.empty() ? 0 : Fail("contact", std::to_string(skipped.size()) + " photos left out");
}

}  // namespace

int RunSheetCommand(int argc, char** argv) {
    SheetArguments parsed;
    if (std::string error = ParseSheetArguments(argc, argv, false, parsed); !error.empty()) return Fail("sheet", error);
    return WithGuiApplication([&parsed] { return MakeSheets(parsed); });
}

int RunContactCommand(int argc, char** argv) {
    SheetArguments parsed;
    if (std::string error = ParseSheetArguments(argc, argv, true, parsed); !error.empty()) return Fail("contact", error);
    return WithGuiApplication([&parsed] { return MakeContactSheet(parsed); });
}

}  // namespace cli
