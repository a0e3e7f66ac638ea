#include "view/CompositionGuides.h"

#include <QTransform>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kPhi = std::numbers::phi;
// The phi grid divides each side at 1 / (1 + phi) and phi / (1 + phi).
constexpr double kPhiGridStep = 1.0 / (1.0 + kPhi);
// Quarter turns of the spiral drawn; past this its squares are below a pixel on any screen.
constexpr int kSpiralQuarters = 12;
constexpr int kPointsPerQuarter = 24;

void AddGrid(std::vector<QLineF>& lines, const QRectF& box, double first, double second) {
    for (const double f : {first, second}) {
        const double x = box.left() + box.width() * f;
        const double y = box.top() + box.height() * f;
        lines.emplace_back(x, box.top(), x, box.bottom());
        lines.emplace_back(box.left(), y, box.right(), y);
    }
}

// From each corner a line at 45 degrees into the box, to the side it meets first.
void AddDiagonals(std::vector<QLineF>& lines, const QRectF& box) {
    const double reach = std::min(box.width(), box.height());
    const QPointF corners[] = {box.topLeft(), box.topRight(), box.bottomRight(), box.bottomLeft()};
    const QPointF inward[] = {{1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
    for (int i = 0; i < 4; ++i) lines.emplace_back(corners[i], corners[i] + inward[i] * reach);
}

// The golden rectangle (phi x 1, landscape) mapped onto box: turned upright for a portrait
// box, mirrored for the other turns.
QTransform GoldenToBox(const QRectF& box, int spiralTurn) {
    const bool portrait = box.height() > box.width();
    QTransform unitToBox;
    // Mirroring inside the golden rectangle first, then onto the box.
    const int turn = ((spiralTurn % kSpiralTurns) + kSpiralTurns) % kSpiralTurns;
    const bool mirrorX = turn == 1 || turn == 2;
    const bool mirrorY = turn == 2 || turn == 3;
    QTransform mirror(mirrorX ? -1 : 1, 0, 0, mirrorY ? -1 : 1, mirrorX ? kPhi : 0, mirrorY ? 1 : 0);
    if (portrait) {
        // x of the golden rectangle runs down the box, y across it.
        unitToBox = QTransform(0, box.height() / kPhi, box.width(), 0, box.left(), box.top());
    } else {
        unitToBox = QTransform(box.width() / kPhi, 0, 0, box.height(), box.left(), box.top());
    }
    return mirror * unitToBox;
}

// Walks the squares of the golden rectangle: each step cuts the square off the side the
// spiral runs along (side 0..3: left, top, right, bottom in turn) and calls visit(square, the
// centre of its quarter arc, side).
template <class Visit>
void WalkGoldenSquares(Visit visit) {
    double x = 0, y = 0, w = kPhi, h = 1;
    for (int i = 0; i < kSpiralQuarters; ++i) {
        QRectF square;
        QPointF centre;
        switch (i % 4) {
        case 0:   // square at the left
            square = QRectF(x, y, h, h);
            centre = QPointF(x + h, y + h);
            x += h;
            w -= h;
            break;
        case 1:   // at the top
            square = QRectF(x, y, w, w);
            centre = QPointF(x, y + w);
            y += w;
            h -= w;
            break;
        case 2:   // at the right
            square = QRectF(x + w - h, y, h, h);
            centre = QPointF(x + w - h, y);
            w -= h;
            break;
        default:  // at the bottom
            square = QRectF(x, y + h - w, w, w);
            centre = QPointF(x + w, y + h - w);
            h -= w;
            break;
        }
        visit(square, centre, i % 4);
    }
}

}  // namespace

CompositionGuide NextGuide(CompositionGuide guide) {
    return GuideFromNumber((int(guide) + 1) % kCompositionGuideCount);
}

CompositionGuide GuideFromNumber(int number) {
    return number > 0 && number < kCompositionGuideCount ? CompositionGuide(number) : CompositionGuide::None;
}

QString GuideName(CompositionGuide guide) {
    switch (guide) {
    case CompositionGuide::Thirds: return QStringLiteral("Rule of Thirds");
    case CompositionGuide::GoldenRatio: return QStringLiteral("Golden Ratio");
    case CompositionGuide::Diagonals: return QStringLiteral("Diagonals");
    case CompositionGuide::GoldenSpiral: return QStringLiteral("Golden Spiral");
    case CompositionGuide::None: break;
    }
    return QStringLiteral("No Guides");
}

std::vector<QLineF> GuideLines(CompositionGuide guide, const QRectF& box, int spiralTurn) {
    std::vector<QLineF> lines;
    if (box.isEmpty()) return lines;
    switch (guide) {
    case CompositionGuide::Thirds: AddGrid(lines, box, 1.0 / 3.0, 2.0 / 3.0); break;
    case CompositionGuide::GoldenRatio: AddGrid(lines, box, kPhiGridStep, 1.0 - kPhiGridStep); break;
    case CompositionGuide::Diagonals: AddDiagonals(lines, box); break;
    case CompositionGuide::GoldenSpiral: {
        const QTransform toBox = GoldenToBox(box, spiralTurn);
        // The inner edge of each square: where the next square begins.
        WalkGoldenSquares([&](const QRectF& square, const QPointF&, int side) {
            const QLineF edge = side == 0   ? QLineF(square.topRight(), square.bottomRight())
                                : side == 1 ? QLineF(square.bottomLeft(), square.bottomRight())
                                : side == 2 ? QLineF(square.topLeft(), square.bottomLeft())
                                            : QLineF(square.topLeft(), square.topRight());
            lines.push_back(toBox.map(edge));
        });
        break;
    }
    case CompositionGuide::None: break;
    }
    return lines;
}

QPolygonF GoldenSpiral(const QRectF& box, int spiralTurn) {
    QPolygonF spiral;
    if (box.isEmpty()) return spiral;
    const QTransform toBox = GoldenToBox(box, spiralTurn);
    WalkGoldenSquares([&](const QRectF& square, const QPointF& centre, int side) {
        // The quarter arc from the side's outer corner inward, in screen angles (y down).
        const double startDegrees = 180.0 + 90.0 * side;
        const double radius = square.width();
        for (int k = spiral.isEmpty() ? 0 : 1; k <= kPointsPerQuarter; ++k) {
            const double angle = (startDegrees + 90.0 * k / kPointsPerQuarter) * std::numbers::pi / 180.0;
            spiral << toBox.map(centre + QPointF(std::cos(angle), std::sin(angle)) * radius);
        }
    });
    return spiral;
}

std::vector<QLineF> FineGridLines(const QRectF& area, double spacing) {
    std::vector<QLineF> lines;
    if (!(spacing > 0.0) || area.isEmpty()) return lines;
    const QPointF centre = area.center();
    // Lines at centre + k * spacing for every k that lands inside the area.
    const auto reachX = int(std::floor(area.width() / 2.0 / spacing));
    const auto reachY = int(std::floor(area.height() / 2.0 / spacing));
    for (int k = -reachX; k <= reachX; ++k) {
        const double x = centre.x() + k * spacing;
        lines.emplace_back(x, area.top(), x, area.bottom());
    }
    for (int k = -reachY; k <= reachY; ++k) {
        const double y = centre.y() + k * spacing;
        lines.emplace_back(area.left(), y, area.right(), y);
    }
    return lines;
}
