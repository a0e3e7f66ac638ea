// The composition guides' geometry inside a box.
#include <gtest/gtest.h>

#include <QLineF>
#include <QRectF>

#include <cmath>
#include <set>
#include <utility>

#include "view/CompositionGuides.h"

namespace {

constexpr double kEpsilon = 1e-6;

bool Inside(const QRectF& box, QPointF p) {
    return p.x() >= box.left() - kEpsilon && p.x() <= box.right() + kEpsilon && p.y() >= box.top() - kEpsilon &&
           p.y() <= box.bottom() + kEpsilon;
}

TEST(CompositionGuides, GridsDivideEachSideAtTheirFractions) {
    const QRectF box(10, 20, 300, 150);
    const struct {
        CompositionGuide guide;
        double first;
    } cases[] = {{CompositionGuide::Thirds, 1.0 / 3.0}, {CompositionGuide::GoldenRatio, 0.3819660113}};
    for (const auto& c : cases) {
        SCOPED_TRACE(GuideName(c.guide).toStdString());
        const std::vector<QLineF> lines = GuideLines(c.guide, box);
        ASSERT_EQ(lines.size(), 4u);
        std::set<std::pair<long, long>> verticals, horizontals;
        for (const QLineF& line : lines) {
            if (line.x1() == line.x2()) {
                EXPECT_EQ(line.y1(), box.top());
                EXPECT_EQ(line.y2(), box.bottom());
                verticals.insert({std::lround(line.x1() * 1000), 0});
            } else {
                ASSERT_EQ(line.y1(), line.y2());
                EXPECT_EQ(line.x1(), box.left());
                EXPECT_EQ(line.x2(), box.right());
                horizontals.insert({std::lround(line.y1() * 1000), 0});
            }
        }
        const auto at = [](double v) { return std::pair<long, long>{std::lround(v * 1000), 0}; };
        EXPECT_EQ(verticals, (std::set{at(10 + 300 * c.first), at(10 + 300 * (1 - c.first))}));
        EXPECT_EQ(horizontals, (std::set{at(20 + 150 * c.first), at(20 + 150 * (1 - c.first))}));
    }
    EXPECT_TRUE(GuideLines(CompositionGuide::None, box).empty());
    EXPECT_TRUE(GuideLines(CompositionGuide::Thirds, QRectF()).empty());
}

TEST(CompositionGuides, DiagonalsLeaveEachCornerAtFortyFiveDegreesAndStayInside) {
    for (const QRectF& box : {QRectF(0, 0, 300, 150), QRectF(5, 5, 100, 240)}) {
        const std::vector<QLineF> lines = GuideLines(CompositionGuide::Diagonals, box);
        ASSERT_EQ(lines.size(), 4u);
        std::set<std::pair<double, double>> starts;
        for (const QLineF& line : lines) {
            starts.insert({line.x1(), line.y1()});
            EXPECT_NEAR(std::abs(line.dx()), std::abs(line.dy()), kEpsilon);
            EXPECT_TRUE(Inside(box, line.p2()));
            // It reaches the far side of the box's short direction.
            EXPECT_NEAR(std::abs(line.dx()), std::min(box.width(), box.height()), kEpsilon);
        }
        EXPECT_EQ(starts, (std::set<std::pair<double, double>>{{box.left(), box.top()},
                                                               {box.right(), box.top()},
                                                               {box.right(), box.bottom()},
                                                               {box.left(), box.bottom()}}));
    }
}

TEST(CompositionGuides, TheSpiralStaysInsideStartsAtAnotherCornerForEachTurnAndWindsInward) {
    for (const QRectF& box : {QRectF(0, 0, 323.6, 200), QRectF(50, 10, 120, 400)}) {
        std::set<std::pair<long, long>> starts, ends;
        for (int turn = 0; turn < kSpiralTurns; ++turn) {
            SCOPED_TRACE(testing::Message() << box.width() << "x" << box.height() << " turn " << turn);
            const QPolygonF spiral = GoldenSpiral(box, turn);
            ASSERT_GT(spiral.size(), 100);
            const double size = std::max(box.width(), box.height());
            for (qsizetype i = 0; i < spiral.size(); ++i) {
                ASSERT_TRUE(Inside(box, spiral[i])) << i;
                if (i > 0) {
                    ASSERT_LT(QLineF(spiral[i - 1], spiral[i]).length(), size / 20) << i;   // no jumps
                }
            }
            const QPointF first = spiral.first();
            EXPECT_TRUE((std::abs(first.x() - box.left()) < kEpsilon || std::abs(first.x() - box.right()) < kEpsilon) &&
                        (std::abs(first.y() - box.top()) < kEpsilon || std::abs(first.y() - box.bottom()) < kEpsilon));
            starts.insert({std::lround(first.x()), std::lround(first.y())});
            // The end lies well inside: the spiral winds toward its eye.
            const QPointF last = spiral.last();
            EXPECT_GT(std::min(last.x() - box.left(), box.right() - last.x()), box.width() * 0.2);
            EXPECT_GT(std::min(last.y() - box.top(), box.bottom() - last.y()), box.height() * 0.2);
            ends.insert({std::lround(last.x()), std::lround(last.y())});
            // The edges of its squares lie inside the box.
            for (const QLineF& line : GuideLines(CompositionGuide::GoldenSpiral, box, turn)) {
                EXPECT_TRUE(Inside(box, line.p1()) && Inside(box, line.p2()));
            }
        }
        EXPECT_EQ(starts.size(), 4u);
        EXPECT_EQ(ends.size(), 4u);
    }
}

TEST(CompositionGuides, TheFineGridCrossesAtTheCentreAndStaysInside) {
    const QRectF area(10, 20, 300, 150);
    const std::vector<QLineF> lines = FineGridLines(area, 24.0);
    // 150 / 24 = 6.25 to each side across, 75 / 24 = 3.1 down: 13 verticals, 7 horizontals.
    ASSERT_EQ(lines.size(), 20u);
    int verticals = 0;
    bool throughCentre[2] = {false, false};
    for (const QLineF& line : lines) {
        EXPECT_TRUE(Inside(area, line.p1()) && Inside(area, line.p2()));
        const bool vertical = line.x1() == line.x2();
        verticals += vertical;
        const double offset = vertical ? line.x1() - area.center().x() : line.y1() - area.center().y();
        EXPECT_NEAR(std::remainder(offset, 24.0), 0.0, kEpsilon);
        if (std::fabs(offset) < kEpsilon) throughCentre[vertical] = true;
    }
    EXPECT_EQ(verticals, 13);
    EXPECT_TRUE(throughCentre[0] && throughCentre[1]);
    EXPECT_TRUE(FineGridLines(area, 0.0).empty());
}

TEST(CompositionGuides, OCyclesThroughEveryGuideAndBackToNone) {
    CompositionGuide guide = CompositionGuide::None;
    std::set<QString> names;
    for (int i = 0; i < kCompositionGuideCount; ++i) {
        names.insert(GuideName(guide));
        guide = NextGuide(guide);
    }
    EXPECT_EQ(guide, CompositionGuide::None);
    EXPECT_EQ(names.size(), size_t(kCompositionGuideCount));
    for (const int stored : {-1, 5, 99}) EXPECT_EQ(GuideFromNumber(stored), CompositionGuide::None);
    EXPECT_EQ(GuideFromNumber(4), CompositionGuide::GoldenSpiral);
}

}  // namespace
