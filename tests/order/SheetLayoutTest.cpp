// Paper names and the packing of prints onto sheets: the counts a person expects on A4 and
// Letter, turning only when it fits more, mixed sizes largest first, and every print inside
// the printable area with the gap kept to every neighbour.
#include "order/SheetLayout.h"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using order::PackPrints;
using order::PrintSizeMm;

constexpr PrintSizeMm kSixByFour{152.4, 101.6};
constexpr PrintSizeMm kFiveByThreeHalf{127.0, 88.9};
constexpr PrintSizeMm kSevenByFive{177.8, 127.0};
constexpr PrintSizeMm kThreeHalfByTwoHalf{88.9, 63.5};
constexpr double kA4Printable[2] = {200.0, 287.0};  // 210 x 297 less 5 mm on every side
constexpr double kTolerance = 1e-9;

std::vector<PrintSizeMm> Copies(PrintSizeMm size, int count) { return std::vector<PrintSizeMm>(size_t(count), size); }

// Every print inside the area, no two closer than gap, each at its size (turned or not), and
// every print placed once or named too large.
void ExpectSoundPlan(const order::SheetPlan& plan, const std::vector<PrintSizeMm>& prints, double width,
                     double height, double gap) {
    std::vector<int> seen(prints.size(), 0);
    for (const int index : plan.tooLarge) ++seen[size_t(index)];
    for (const order::Sheet& sheet : plan.sheets) {
        EXPECT_FALSE(sheet.prints.empty());
        for (size_t a = 0; a < sheet.prints.size(); ++a) {
            const order::PlacedPrint& p = sheet.prints[a];
            ++seen[size_t(p.print)];
            const PrintSizeMm size = prints[size_t(p.print)];
            EXPECT_NEAR(p.widthMm, p.turned ? size.heightMm : size.widthMm, kTolerance);
            EXPECT_NEAR(p.heightMm, p.turned ? size.widthMm : size.heightMm, kTolerance);
            EXPECT_GE(p.xMm, -kTolerance);
            EXPECT_GE(p.yMm, -kTolerance);
            EXPECT_LE(p.xMm + p.widthMm, width + kTolerance);
            EXPECT_LE(p.yMm + p.heightMm, height + kTolerance);
            for (size_t b = a + 1; b < sheet.prints.size(); ++b) {
                const order::PlacedPrint& q = sheet.prints[b];
                const bool apart = p.xMm + p.widthMm + gap <= q.xMm + kTolerance ||
                                   q.xMm + q.widthMm + gap <= p.xMm + kTolerance ||
                                   p.yMm + p.heightMm + gap <= q.yMm + kTolerance ||
                                   q.yMm + q.heightMm + gap <= p.yMm + kTolerance;
                EXPECT_TRUE(apart) << "prints " << p.print << " and " << q.print << " overlap or touch";
            }
        }
    }
    for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], 1) << "print " << i;
}

TEST(SheetLayoutTest, PapersByName) {
    struct Case {
        const char* name;
        bool known;
        double width;
        double height;
    };
    const Case cases[] = {
        {"a4", true, 210.0, 297.0},        {"letter", true, 215.9, 279.4}, {"100x150mm", true, 100.0, 150.0},
        {"89.5x127mm", true, 89.5, 127.0}, {"A4", false, 0, 0},            {"100x150", false, 0, 0},
        {"x150mm", false, 0, 0},           {"0x150mm", false, 0, 0},       {"10x10mm", false, 0, 0},
        {"-5x150mm", false, 0, 0},         {"100x150mmm", false, 0, 0},    {"", false, 0, 0},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto paper = order::PaperNamed(c.name, &error);
        ASSERT_EQ(paper.has_value(), c.known) << c.name;
        if (!c.known) {
            EXPECT_NE(error.find(c.name), std::string::npos) << error;
            continue;
        }
        EXPECT_DOUBLE_EQ(paper->widthMm, c.width) << c.name;
        EXPECT_DOUBLE_EQ(paper->heightMm, c.height) << c.name;
        EXPECT_DOUBLE_EQ(paper->PrintableWidthMm(), c.width - 2 * order::kDefaultSheetMarginMm) << c.name;
        EXPECT_DOUBLE_EQ(paper->PrintableHeightMm(), c.height - 2 * order::kDefaultSheetMarginMm) << c.name;
    }
}

TEST(SheetLayoutTest, PrintsPerSheetOfOneSize) {
    struct Case {
        const char* what;
        PrintSizeMm print;
        int count;
        double width;
        double height;
        double gap;
        std::vector<size_t> perSheet;
        size_t turned;  // prints of the first sheet turned a quarter
    };
    const Case cases[] = {
        // Landscape 6x4 stacks twice down A4; turned, not even two fit across.
        {"6x4 on A4", kSixByFour, 5, kA4Printable[0], kA4Printable[1], 3.0, {2, 2, 1}, 0},
        // Turned, 5x3.5 fits two across and two down; as it is, three down only.
        {"5x3.5 on A4", kFiveByThreeHalf, 4, kA4Printable[0], kA4Printable[1], 3.0, {4}, 4},
        // The second fits only turned, below the first: one turned is enough.
        {"portrait 6x4 on A4", {101.6, 152.4}, 3, kA4Printable[0], kA4Printable[1], 3.0, {2, 1}, 1},
        {"6x4 on Letter", kSixByFour, 2, 205.9, 269.4, 3.0, {2}, 0},
        // Without a gap three 3.5x2.5 fit across A4's 200 mm turned (3 x 63.5): nine a sheet.
        {"3.5x2.5 on A4, no gap", kThreeHalfByTwoHalf, 9, kA4Printable[0], kA4Printable[1], 0.0, {9}, 9},
        // With the gap, three across would take 196.5 mm: still nine.
        {"3.5x2.5 on A4", kThreeHalfByTwoHalf, 10, kA4Printable[0], kA4Printable[1], 3.0, {9, 1}, 9},
        {"exactly the printable area", {200.0, 287.0}, 2, kA4Printable[0], kA4Printable[1], 3.0, {1, 1}, 0},
    };
    for (const Case& c : cases) {
        const std::vector<PrintSizeMm> prints = Copies(c.print, c.count);
        const order::SheetPlan plan = PackPrints(prints, c.width, c.height, c.gap);
        std::vector<size_t> perSheet;
        for (const order::Sheet& sheet : plan.sheets) perSheet.push_back(sheet.prints.size());
        EXPECT_EQ(perSheet, c.perSheet) << c.what;
        ASSERT_FALSE(plan.sheets.empty()) << c.what;
        const auto& first = plan.sheets[0].prints;
        EXPECT_EQ(size_t(std::count_if(first.begin(), first.end(), [](const auto& p) { return p.turned; })), c.turned)
            << c.what;
        ExpectSoundPlan(plan, prints, c.width, c.height, c.gap);
    }
}

TEST(SheetLayoutTest, MixedSizesPackLargestFirstAndTooLargeAreNamed) {
    const std::vector<PrintSizeMm> prints = {kThreeHalfByTwoHalf, kSixByFour,        {300.0, 400.0},
                                             kSevenByFive,         kFiveByThreeHalf,  {101.6, 152.4},
                                             kThreeHalfByTwoHalf, kFiveByThreeHalf};
    const order::SheetPlan plan = PackPrints(prints, kA4Printable[0], kA4Printable[1], 3.0);
    EXPECT_EQ(plan.tooLarge, std::vector<int>{2});
    ExpectSoundPlan(plan, prints, kA4Printable[0], kA4Printable[1], 3.0);
    ASSERT_FALSE(plan.sheets.empty());
    // 7x5 is placed first, and the smaller prints fill what it leaves on its sheet.
    EXPECT_EQ(plan.sheets[0].prints.front().print, 3);
    EXPECT_GT(plan.sheets[0].prints.size(), 1u);
    // Seven prints of 1.45 A4 pages' area in all: not a sheet a size.
    EXPECT_LE(plan.sheets.size(), 3u);
}

}  // namespace
