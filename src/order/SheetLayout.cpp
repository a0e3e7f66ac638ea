#include "order/SheetLayout.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace order {

namespace {

struct NamedPaper {
    std::string_view name;
    double widthMm;
    double heightMm;
};

constexpr NamedPaper kNamedPapers[] = {
    {"a4", 210.0, 297.0},
    {"letter", 215.9, 279.4},
};

// The largest side a paper may have: a metre and a half (a roll).
constexpr double kLongestPaperMm = 1500.0;

bool ParseMillimetres(std::string_view text, double& value) {
    if (text.empty()) return false;
    const char* end = text.data() + text.size();
    const auto [stop, problem] = std::from_chars(text.data(), end, value);
    return problem == std::errc{} && stop == end && value > 0 && value <= kLongestPaperMm;
}

std::optional<Paper> MeasuredPaper(std::string_view name) {
    if (!name.ends_with("mm")) return std::nullopt;
    name.remove_suffix(2);
    const size_t cross = name.find('x');
    if (cross == std::string_view::npos) return std::nullopt;
    Paper paper;
    if (!ParseMillimetres(name.substr(0, cross), paper.widthMm) ||
        !ParseMillimetres(name.substr(cross + 1), paper.heightMm)) {
        return std::nullopt;
    }
    return paper;
}

// How each print lies on a sheet in one of the ways a sheet is tried.
enum class Lie { AsItIs, Turned, LongAcross, LongDown };
constexpr std::array<Lie, 4> kLies = {Lie::AsItIs, Lie::Turned, Lie::LongAcross, Lie::LongDown};

bool TurnedFor(Lie lie, const PrintSizeMm& size) {
    switch (lie) {
        case Lie::AsItIs: return false;
        case Lie::Turned: return true;
        case Lie::LongAcross: return size.heightMm > size.widthMm;
        case Lie::LongDown: return size.widthMm > size.heightMm;
    }
    return false;
}

struct Shelf {
    double top = 0;
    double height = 0;
    double nextX = 0;  // where the next print on it starts
};

// Where a print of w x h goes on the shelves of a sheet of that size: a shelf with room, else
// a new one below the last (added to shelves); null when neither has room.
Shelf* FindRoom(std::vector<Shelf>& shelves, double w, double h, double width, double height, double gap) {
    for (Shelf& shelf : shelves) {
        if (h <= shelf.height && shelf.nextX + w <= width) return &shelf;
    }
    const double top = shelves.empty() ? 0.0 : shelves.back().top + shelves.back().height + gap;
    if (w <= width && top + h <= height) return &shelves.emplace_back(Shelf{top, h, 0.0});
    return nullptr;
}

// A sheet packed from pending (largest first) with every print lying as lie says, or turned
// from that when only so it finds room; the prints placed leave pending.
Sheet PackOneSheet(const std::vector<PrintSizeMm>& prints, std::vector<int>& pending, Lie lie, double width,
                   double height, double gap) {
    Sheet sheet;
    std::vector<Shelf> shelves;
    std::vector<int> left;
    for (const int index : pending) {
        const PrintSizeMm& size = prints[size_t(index)];
        bool turned = TurnedFor(lie, size);
        Shelf* home = nullptr;
        for (int tries = 0; tries < 2 && home == nullptr; ++tries) {
            if (tries == 1) turned = !turned;
            home = FindRoom(shelves, turned ? size.heightMm : size.widthMm, turned ? size.widthMm : size.heightMm,
                            width, height, gap);
        }
        if (home == nullptr) {
            left.push_back(index);
            continue;
        }
        const double w = turned ? size.heightMm : size.widthMm;
        const double h = turned ? size.widthMm : size.heightMm;
        sheet.prints.push_back({index, home->nextX, home->top, w, h, turned});
        home->nextX += w + gap;
    }
    pending = std::move(left);
    return sheet;
}

bool FitsEitherWay(const PrintSizeMm& size, double width, double height) {
    return (size.widthMm <= width && size.heightMm <= height) || (size.heightMm <= width && size.widthMm <= height);
}

}  // namespace

std::optional<Paper> PaperNamed(std::string_view name, std::string* error) {
    std::optional<Paper> paper;
    for (const NamedPaper& named : kNamedPapers) {
        if (named.name == name) paper = Paper{named.widthMm, named.heightMm};
    }
    if (!paper) paper = MeasuredPaper(name);
    if (!paper) {
        if (error) *error = "unknown paper '" + std::string(name) + "' (a4, letter or WxHmm such as 100x150mm)";
        return std::nullopt;
    }
    if (!(paper->PrintableWidthMm() > 0) || !(paper->PrintableHeightMm() > 0)) {
        if (error) *error = "paper '" + std::string(name) + "' leaves nothing inside its margins";
        return std::nullopt;
    }
    return paper;
}

SheetPlan PackPrints(const std::vector<PrintSizeMm>& prints, double printableWidthMm, double printableHeightMm,
                     double gapMm) {
    SheetPlan plan;
    std::vector<int> pending;
    for (int i = 0; i < int(prints.size()); ++i) {
        if (FitsEitherWay(prints[size_t(i)], printableWidthMm, printableHeightMm)) {
            pending.push_back(i);
        } else {
            plan.tooLarge.push_back(i);
        }
    }
    const auto area = [&prints](int i) { return prints[size_t(i)].widthMm * prints[size_t(i)].heightMm; };
    std::stable_sort(pending.begin(), pending.end(), [&area](int a, int b) { return area(a) > area(b); });

    while (!pending.empty()) {
        Sheet best;
        std::vector<int> bestLeft;
        for (const Lie lie : kLies) {
            std::vector<int> left = pending;
            Sheet sheet = PackOneSheet(prints, left, lie, printableWidthMm, printableHeightMm, gapMm);
            if (sheet.prints.size() > best.prints.size()) {
                best = std::move(sheet);
                bestLeft = std::move(left);
            }
        }
        // Every pending print fits alone one way or the other, so some way places one; should
        // rounding ever say otherwise, the rest is too large rather than a sheet without end.
        if (best.prints.empty()) {
            plan.tooLarge.insert(plan.tooLarge.end(), pending.begin(), pending.end());
            break;
        }
        pending = std::move(bestLeft);
        plan.sheets.push_back(std::move(best));
    }
    return plan;
}

}  // namespace order
