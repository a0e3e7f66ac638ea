// The fine turn as three shears (Paeth): the turn that takes a target point back to its source
// point is X(a) Y(b) X(a), with X(a) moving row y along by a * y, Y(b) moving column x down by
// b * x, a = -tan(angle / 2) and b = sin(angle), all about the source's centre. A shear moves a
// whole row (or column) by one amount, so it filters with four weights that stay the same along
// it: cheap, and in plain vector steps.
//
// Pass one shears the source's rows into the sheared picture, kept whole for the rows the next
// passes read. Then each target row is made at once: its row of the column shear (from four rows
// of the sheared picture, column by column) and the last row shear of that. Where a target
// pixel's point lies outside the source it is white; the shears repeat the outermost pixels.
#include "image/resample/RasterRotateFine.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <numbers>
#include <system_error>
#include <thread>
#include <vector>

#include "image/RasterGeometrySupport.h"
#include "image/resample/RasterRotateFineAvx2.h"

namespace raster_resample {

namespace {

using raster_geometry::AllocateArray;
using raster_geometry::AllocatePlane;
using raster_geometry::kCancelledText;
using raster_geometry::kNoMemoryText;
using raster_geometry::MallocArray;
using raster_geometry::PlaneArray;

constexpr int64_t kChannels = 3;
// Bytes kept free after every row of the work planes: the column kernel's last group may pass
// the row's end.
constexpr size_t kRowSlack = 2 * kShiftGroup;
// Added before rounding a region's sides outwards, so that sides a turn keeps on whole pixels
// (quarter turns, no turn) are not widened by the error of the sine and cosine.
constexpr double kWholeSlack = 1e-9;

double Radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

// A shift by `amount` pixels: its whole part (the tap at 0) and the weights of its fraction.
struct Shift {
    int64_t whole;
    ShiftTaps taps;
};

Shift ShiftBy(double amount) {
    const double whole = std::floor(amount);
    return Shift{int64_t(whole), KeysTaps(amount - whole)};
}

// Columns [left, right) and rows [top, bottom) in the source's picture coordinates.
struct Span {
    int64_t left, top, right, bottom;
    int64_t Width() const { return right - left; }
    int64_t Height() const { return bottom - top; }
};

struct ShearPlan {
    const RasterImage* source;
    Span target;      // the region asked for
    Span sheared;     // the rows of the first shear the column shear reads, over its columns
    double rowShear;  // a: row y moves by a * y
    double columnShear;   // b: column x moves by b * x
    double halfWidth, halfHeight;
    double cosine, sine;
    bool vector;

    // Distances from the centre of pixel centres.
    double RowOffset(int64_t y) const { return double(y) + 0.5 - halfHeight; }
    double ColumnOffset(int64_t x) const { return double(x) + 0.5 - halfWidth; }
};

// The first shear's rows: source row y (repeated above and below the source) moved along.
class RowShear {
public:
    RowShear(const ShearPlan& plan, uint8_t* plane, size_t stride) : m_plan(plan), m_plane(plane), m_stride(stride) {}

    // Sheared rows first .. end - 1 (counted from sheared.top); false when out of memory.
    bool Rows(int64_t first, int64_t end, const std::atomic<bool>& stop) const {
        const Span& span = m_plan.sheared;
        const auto reach = size_t(span.Width() + 3) * kChannels;
        MallocArray<uint8_t> padded = AllocateArray<uint8_t>(reach);
        if (!padded) return false;
        for (int64_t row = first; row < end && !stop.load(std::memory_order_relaxed); ++row) {
            const int64_t y = span.top + row;
            const Shift shift = ShiftBy(m_plan.rowShear * m_plan.RowOffset(y));
            const uint8_t* in = SourceRun(y, span.left + shift.whole - 1, span.Width() + 3, padded.get());
            ShiftAnyPath(in, shift.taps, size_t(span.Width()) * kChannels, m_plane + size_t(row) * m_stride,
                         m_plan.vector);
        }
        return true;
    }

    static void ShiftAnyPath(const uint8_t* in, ShiftTaps taps, size_t count, uint8_t* out, bool vector) {
        size_t done = 0;
#if defined(RASTER_BLEND_AVX2)
        if (vector) done = rasteravx2::ShiftRowGroups(in, taps, count, out);
#else
        (void)vector;
#endif
        ShiftRowPortable(in, taps, done, count, out);
    }

private:
    // count pixels of source row y from column x, the outermost pixels standing for those past
    // the sides: in the source itself when they all lie inside, else copied into padded.
    const uint8_t* SourceRun(int64_t y, int64_t x, int64_t count, uint8_t* padded) const {
        const RasterImage& source = *m_plan.source;
        const int64_t width = source.GetWidth();
        const int64_t height = source.GetHeight();
        const uint8_t* row = source.RowPointer(uint32_t(height - 1 - std::clamp<int64_t>(y, 0, height - 1)));
        if (x >= 0 && x + count <= width) return row + x * kChannels;
        CopyEdgeRepeated(row, width, x, count, padded);
        return padded;
    }

    static void CopyEdgeRepeated(const uint8_t* row, int64_t width, int64_t x, int64_t count, uint8_t* out) {
        const int64_t inFirst = std::clamp<int64_t>(x, 0, width);
        const int64_t inEnd = std::clamp<int64_t>(x + count, 0, width);
        int64_t at = 0;
        for (; at < count && x + at < inFirst; ++at) std::memcpy(out + at * kChannels, row, kChannels);
        if (inEnd > inFirst) {
            std::memcpy(out + at * kChannels, row + inFirst * kChannels, size_t(inEnd - inFirst) * kChannels);
            at += inEnd - inFirst;
        }
        for (; at < count; ++at) std::memcpy(out + at * kChannels, row + (width - 1) * kChannels, kChannels);
    }

    const ShearPlan& m_plan;
    uint8_t* m_plane;
    size_t m_stride;
};

// The column shear's weights and row offsets, per column of the sheared plane.
struct ColumnShear {
    MallocArray<int32_t> pair01;
    MallocArray<int32_t> pair23;
    std::vector<int64_t> whole;   // per column: the row offset of its tap at 0

    bool Prepare(const ShearPlan& plan) {
        const int64_t columns = plan.sheared.Width();
        const auto bytes = size_t(columns * kChannels) + kRowSlack;
        pair01 = AllocateArray<int32_t>(bytes);
        pair23 = AllocateArray<int32_t>(bytes);
        if (!pair01 || !pair23) return false;
        std::fill_n(pair01.get(), bytes, 0);
        std::fill_n(pair23.get(), bytes, 0);
        whole.resize(size_t(columns));
        for (int64_t i = 0; i < columns; ++i) {
            const Shift shift = ShiftBy(plan.columnShear * plan.ColumnOffset(plan.sheared.left + i));
            whole[size_t(i)] = shift.whole;
            for (int64_t c = 0; c < kChannels; ++c) {
                pair01[size_t(i * kChannels + c)] = TapPair(shift.taps.w[0], shift.taps.w[1]);
                pair23[size_t(i * kChannels + c)] = TapPair(shift.taps.w[2], shift.taps.w[3]);
            }
        }
        return true;
    }
};

// The target pixels of a row whose points lie inside the source: [first, end), maybe empty.
struct InsideRun {
    int64_t first;
    int64_t end;
};

// Where, along target row y, the point (x, y) turned back lands inside the source: each of
// its two coordinates is linear in x, so each bounds x on both sides.
InsideRun InsideOf(const ShearPlan& plan, int64_t y) {
    const double dy = plan.RowOffset(y);
    double low = -HUGE_VAL;
    double high = HUGE_VAL;
    // source offset = along * dx + base, kept within -half .. half; dx = x + 0.5 - halfWidth.
    auto bound = [&](double along, double base, double half) {
        if (along == 0.0) {
            if (std::fabs(base) > half) high = -HUGE_VAL;
            return;
        }
        double a = (-half - base) / along;
        double b = (half - base) / along;
        if (a > b) std::swap(a, b);
        low = std::max(low, a);
        high = std::min(high, b);
    };
    bound(plan.cosine, -dy * plan.sine, plan.halfWidth);
    bound(plan.sine, dy * plan.cosine, plan.halfHeight);
    const double shift = plan.halfWidth - 0.5;   // x = dx + halfWidth - 0.5
    const double first = std::ceil(std::max(low + shift, double(plan.target.left)) - kWholeSlack);
    const double last = std::floor(std::min(high + shift, double(plan.target.right - 1)) + kWholeSlack);
    if (!(first <= last)) return InsideRun{plan.target.left, plan.target.left};
    return InsideRun{int64_t(first), int64_t(last) + 1};
}

// The column shear and the last row shear of target rows, each into a target row at once.
class TargetRows {
public:
    TargetRows(const ShearPlan& plan, const uint8_t* sheared, size_t stride, const ColumnShear& columns,
               RasterImage& target)
        : m_plan(plan), m_sheared(sheared), m_stride(stride), m_columns(columns), m_target(target) {}

    bool Rows(int64_t first, int64_t end, const std::atomic<bool>& stop) const {
        const size_t rowBytes = size_t(m_plan.sheared.Width() * kChannels) + kRowSlack;
        MallocArray<uint8_t> between = AllocateArray<uint8_t>(rowBytes * kBatch);
        if (!between) return false;
        uint8_t* batch[kBatch];
        for (size_t r = 0; r < kBatch; ++r) batch[r] = between.get() + r * rowBytes;
        for (int64_t row = first; row < end && !stop.load(std::memory_order_relaxed);) {
            const auto count = size_t(std::min<int64_t>(int64_t(kBatch), end - row));
            ShearColumns(m_plan.target.top + row, count, batch);
            for (size_t r = 0; r < count; ++r, ++row) {
                uint8_t* out = m_target.RowPointer(uint32_t(m_plan.target.Height() - 1 - row));
                ShearLastRow(m_plan.target.top + row, batch[r], out);
            }
        }
        return true;
    }

private:
#if defined(RASTER_BLEND_AVX2)
    static constexpr size_t kBatch = rasteravx2::kColumnBatch;
#else
    static constexpr size_t kBatch = 4;
#endif

    // Rows y .. y + count - 1 of the column shear over the sheared plane's columns into out:
    // runs of columns whose taps start on the same row share their rows.
    void ShearColumns(int64_t y, size_t count, uint8_t* const out[kBatch]) const {
        const int64_t columns = m_plan.sheared.Width();
        const ColumnTaps taps{m_columns.pair01.get(), m_columns.pair23.get()};
        for (int64_t i = 0; i < columns;) {
            const int64_t whole = m_columns.whole[size_t(i)];
            int64_t end = i + 1;
            while (end < columns && m_columns.whole[size_t(end)] == whole) ++end;
            const uint8_t* top = m_sheared + size_t(y + whole - 1 - m_plan.sheared.top) * m_stride;
            const auto from = size_t(i * kChannels);
            const auto to = size_t(end * kChannels);
#if defined(RASTER_BLEND_AVX2)
            if (m_plan.vector && count == kBatch) {
                rasteravx2::ShiftColumnGroups(top, m_stride, taps, from, to, out);
                i = end;
                continue;
            }
#endif
            for (size_t r = 0; r < count; ++r) {
                const uint8_t* rows[4];
                for (size_t k = 0; k < 4; ++k) rows[k] = top + (r + k) * m_stride;
                ShiftColumnsPortable(rows, taps, from, to, out[r]);
            }
            i = end;
        }
    }

    void ShearLastRow(int64_t y, const uint8_t* between, uint8_t* out) const {
        const Shift shift = ShiftBy(m_plan.rowShear * m_plan.RowOffset(y));
        const uint8_t* in = between + size_t(m_plan.target.left + shift.whole - 1 - m_plan.sheared.left) * kChannels;
        RowShear::ShiftAnyPath(in, shift.taps, size_t(m_plan.target.Width()) * kChannels, out, m_plan.vector);
        const InsideRun inside = InsideOf(m_plan, y);
        const auto before = size_t(inside.first - m_plan.target.left) * kChannels;
        const auto after = size_t(inside.end - m_plan.target.left) * kChannels;
        std::memset(out, 255, before);
        std::memset(out + after, 255, size_t(m_plan.target.Width()) * kChannels - after);
    }

    const ShearPlan& m_plan;
    const uint8_t* m_sheared;
    size_t m_stride;
    const ColumnShear& m_columns;
    RasterImage& m_target;
};

// Runs work(first, end) over `count` rows split into `workers` bands, all but the first on
// threads of their own (a thread that cannot start leaves its band to the caller). False when
// a band failed or source was asked to stop.
template <typename Work>
bool InBands(int64_t count, unsigned workers, const RasterImage& source, Work work) {
    workers = unsigned(std::clamp<int64_t>(workers, 1, std::max<int64_t>(1, count)));
    std::atomic<bool> stop{false};
    // A band works through its rows in slices, so that a stop request is seen soon.
    auto band = [&](int64_t first, int64_t end) {
        constexpr int64_t kSlice = 64;
        for (int64_t at = first; at < end && !stop.load(); at += kSlice) {
            if (source.IsEscaped() || !work(at, std::min(end, at + kSlice), stop)) stop = true;
        }
    };
    auto start = [&](unsigned b) { return count * b / workers; };
    std::vector<std::thread> threads;
    std::vector<unsigned> leftOver;
    for (unsigned b = 1; b < workers; ++b) {
        try {
            threads.emplace_back(band, start(b), start(b + 1));
        } catch (const std::system_error&) {
            leftOver.push_back(b);
        }
    }
    band(0, start(1));
    for (const unsigned b : leftOver) band(start(b), start(b + 1));
    for (std::thread& thread : threads) thread.join();
    return !stop.load();
}

bool VectorPathFits(FineTurnPath path) {
#if defined(RASTER_BLEND_AVX2)
    return path != FineTurnPath::Portable && rasteravx2::Avx2Supported();
#else
    (void)path;
    return false;
#endif
}

ShearPlan PlanShears(const RasterImage& source, double degrees, const RasterRect& region, FineTurnPath path) {
    const double angle = Radians(degrees);
    ShearPlan plan{};
    plan.source = &source;
    plan.target = Span{region.left, region.top, region.right, region.bottom};
    plan.rowShear = -std::tan(angle / 2.0);
    plan.columnShear = std::sin(angle);
    plan.halfWidth = source.GetWidth() / 2.0;
    plan.halfHeight = source.GetHeight() / 2.0;
    plan.cosine = std::cos(angle);
    plan.sine = plan.columnShear;
    plan.vector = VectorPathFits(path);
    // The last row shear reads the columns its shifts reach from the target's; the column shear
    // the rows its shifts reach from the target's rows. Shifts are linear, so the ends decide.
    auto rowWhole = [&](int64_t y) { return ShiftBy(plan.rowShear * plan.RowOffset(y)).whole; };
    auto columnWhole = [&](int64_t x) { return ShiftBy(plan.columnShear * plan.ColumnOffset(x)).whole; };
    const int64_t rowLow = std::min(rowWhole(region.top), rowWhole(region.bottom - 1));
    const int64_t rowHigh = std::max(rowWhole(region.top), rowWhole(region.bottom - 1));
    plan.sheared.left = region.left + rowLow - 1;
    plan.sheared.right = region.right + rowHigh + 2;
    const int64_t columnLow = std::min(columnWhole(plan.sheared.left), columnWhole(plan.sheared.right - 1));
    const int64_t columnHigh = std::max(columnWhole(plan.sheared.left), columnWhole(plan.sheared.right - 1));
    plan.sheared.top = region.top + columnLow - 1;
    plan.sheared.bottom = region.bottom + columnHigh + 2;
    return plan;
}

// target as a 24-bit picture of width x height: kept when it is one, else made anew with
// source's type and resolution.
bool PrepareTarget(const RasterImage& source, RasterImage& target, uint32_t width, uint32_t height) {
    if (target.IsValid() && !target.IsBorrowed() && target.GetBpp() == 24 && target.GetWidth() == width &&
        target.GetHeight() == height) {
        return true;
    }
    RasterImage blank(source.GetType());
    // Create keeps the pixels-per-metre fields these set.
    blank.SetXDpi(source.GetXDpi());
    blank.SetYDpi(source.GetYDpi());
    if (!blank.Create(width, height, 24, source.GetType())) {
        target.SetLastError(blank.LastErrorText());
        return false;
    }
    if (target.TakeOver(blank)) return true;
    target.SetLastError(raster_geometry::kBorrowedText);
    return false;
}

}  // namespace

ShiftTaps KeysTaps(double t) {
    const double w0 = t * (t * (-0.5 * t + 1.0) - 0.5);
    const double w2 = t * (t * (-1.5 * t + 2.0) + 0.5);
    const double w3 = t * t * (0.5 * t - 0.5);
    const auto q0 = int16_t(std::lround(w0 * kTapOne));
    const auto q2 = int16_t(std::lround(w2 * kTapOne));
    const auto q3 = int16_t(std::lround(w3 * kTapOne));
    // The tap at 0 takes what rounding left over, so a flat row stays flat.
    return ShiftTaps{{q0, int16_t(kTapOne - q0 - q2 - q3), q2, q3}};
}

void ShiftRowPortable(const uint8_t* in, ShiftTaps taps, size_t first, size_t count, uint8_t* out) {
    for (size_t b = first; b < count; ++b) {
        out[b] = TapLevel(taps.w[0] * in[b] + taps.w[1] * in[b + 3] + taps.w[2] * in[b + 6] + taps.w[3] * in[b + 9]);
    }
}

void ShiftColumnsPortable(const uint8_t* const rows[4], ColumnTaps taps, size_t first, size_t end, uint8_t* out) {
    for (size_t b = first; b < end; ++b) {
        const int32_t upper = int16_t(taps.pair01[b]) * rows[0][b] + int16_t(uint32_t(taps.pair01[b]) >> 16) * rows[1][b];
        const int32_t lower = int16_t(taps.pair23[b]) * rows[2][b] + int16_t(uint32_t(taps.pair23[b]) >> 16) * rows[3][b];
        out[b] = TapLevel(upper + lower);
    }
}

RasterRect WholeTurnedRegion(uint32_t width, uint32_t height, double degrees) {
    const double c = std::fabs(std::cos(Radians(degrees)));
    const double s = std::fabs(std::sin(Radians(degrees)));
    const double halfW = (width * c + height * s) / 2.0;
    const double halfH = (width * s + height * c) / 2.0;
    return RasterRect{int32_t(std::floor(width / 2.0 - halfW + kWholeSlack)),
                      int32_t(std::floor(height / 2.0 - halfH + kWholeSlack)),
                      int32_t(std::ceil(width / 2.0 + halfW - kWholeSlack)),
                      int32_t(std::ceil(height / 2.0 + halfH - kWholeSlack))};
}

bool RenderTurnedRegion(const RasterImage& source, double degrees, const RasterRect& region, RasterImage& target,
                        const FineTurnOptions& options) {
    if (!source.IsValid() || &source == &target) return false;
    if (source.GetBpp() != 24) {
        target.SetLastError("RasterImage: the fine turn needs a 24-bit picture");
        return false;
    }
    if (region.right <= region.left || region.bottom <= region.top || std::fabs(degrees) > 90.0) {
        target.SetLastError("RasterImage: the turned region is empty or the turn too large");
        return false;
    }
    if (!PrepareTarget(source, target, uint32_t(int64_t(region.right) - region.left),
                       uint32_t(int64_t(region.bottom) - region.top))) {
        return false;
    }
    const ShearPlan plan = PlanShears(source, degrees, region, options.path);
    const size_t stride = size_t(plan.sheared.Width()) * kChannels + kRowSlack;
    // From the shared block pool: the next turn of about this size gets the same block back.
    const PlaneArray sheared = AllocatePlane(stride * size_t(plan.sheared.Height()));
    ColumnShear columns;
    if (!sheared || !columns.Prepare(plan)) {
        target.SetLastError(kNoMemoryText);
        return false;
    }
    const unsigned workers = options.threads != 0 ? options.threads : std::max(1u, std::thread::hardware_concurrency());
    const RowShear rowShear(plan, sheared.get(), stride);
    const TargetRows targetRows(plan, sheared.get(), stride, columns, target);
    auto shearRows = [&](int64_t first, int64_t end, const std::atomic<bool>& stop) {
        return rowShear.Rows(first, end, stop);
    };
    auto makeRows = [&](int64_t first, int64_t end, const std::atomic<bool>& stop) {
        return targetRows.Rows(first, end, stop);
    };
    if (InBands(plan.sheared.Height(), workers, source, shearRows) &&
        InBands(plan.target.Height(), workers, source, makeRows)) {
        return true;
    }
    target.SetLastError(source.IsEscaped() ? kCancelledText : kNoMemoryText);
    return false;
}

}  // namespace raster_resample
