// The fine turn as three shears (Paeth): the turn that takes a target point back to its source
// point is X(a) Y(b) X(a), with X(a) moving row y along by a * y, Y(b) moving column x down by
// b * x, a = -tan(angle / 2) and b = sin(angle), all about the source's centre. A shear moves a
// whole row (or column) by one amount, so it filters with four weights that stay the same along
// it: cheap, and in plain vector steps.
//
// The target is made in tiles: each thread takes a band of rows, strip of columns by strip.
// Within a tile, the first shear makes the sheared rows (signed bytes) as they are needed, into
// a ring that holds the few the next step reads; then a few target rows at once take their rows
// of the column shear (from four sheared rows, column by column, into words that keep the sums'
// fraction bits) and the last row shear of those. Where a target pixel's point lies outside
// the source it is white; the shears repeat the outermost pixels.
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
// Values kept free after every row of the ring, the rows between the shears and the weight
// tables: the column kernel's last group may pass the row's end.
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

// The row shears' shifts of rows first .. end - 1, made once for the strips of a band.
struct RowShifts {
    int64_t first = 0;
    int64_t end = 0;
    MallocArray<Shift> shifts;
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
    const RowShifts* rowShifts = nullptr;   // when made

    // Distances from the centre of pixel centres.
    double RowOffset(int64_t y) const { return double(y) + 0.5 - halfHeight; }
    double ColumnOffset(int64_t x) const { return double(x) + 0.5 - halfWidth; }

    // The row shears' shift of row y.
    Shift RowShift(int64_t y) const {
        if (rowShifts && y >= rowShifts->first && y < rowShifts->end) return rowShifts->shifts[size_t(y - rowShifts->first)];
        return ShiftBy(rowShear * RowOffset(y));
    }
};

// The shifts of every row plan's shears reach: its target's and its sheared rows. Left empty
// when out of memory (each is then worked out where it is needed).
RowShifts MakeRowShifts(const ShearPlan& plan) {
    RowShifts made;
    made.first = std::min(plan.target.top, plan.sheared.top);
    made.end = std::max(plan.target.bottom, plan.sheared.bottom);
    made.shifts = AllocateArray<Shift>(size_t(made.end - made.first));
    if (!made.shifts) return RowShifts{};
    for (int64_t y = made.first; y < made.end; ++y) made.shifts[size_t(y - made.first)] = plan.RowShift(y);
    return made;
}

// The first shear's rows: source row y (repeated above and below the source) moved along.
class RowShear {
public:
    explicit RowShear(const ShearPlan& plan) : m_plan(plan) {}

    // Room for a source run that needs padding: the sheared row's pixels and the filter's reach.
    size_t PaddedBytes() const { return size_t(m_plan.sheared.Width() + 3) * kChannels; }

    // Sheared row `row` (counted from sheared.top) into out.
    void Row(int64_t row, uint8_t* padded, int8_t* out) const {
        const Span& span = m_plan.sheared;
        const int64_t y = span.top + row;
        const Shift shift = m_plan.RowShift(y);
        const int64_t x = span.left + shift.whole - 1;
        const uint8_t* in = SourceRun(y, x, span.Width() + 3, padded);
        const size_t count = size_t(span.Width()) * kChannels;
        size_t done = 0;
#if defined(RASTER_BLEND_AVX2)
        if (m_plan.vector) done = rasteravx2::ShiftRowBytesGroups(in, shift.taps, count, out, NextSourceRun(y, x, span.Width() + 3));
#endif
        ShiftRowBytesPortable(in, shift.taps, done, count, out);
    }

private:
    // The same run of the row after y when it lies inside the source, else null: rows follow
    // each other in memory downwards, which the processor's own fetching does not foresee.
    const uint8_t* NextSourceRun(int64_t y, int64_t x, int64_t count) const {
        const RasterImage& source = *m_plan.source;
        const int64_t height = source.GetHeight();
        if (y + 1 < 0 || y + 1 >= height || x < 0 || x + count > int64_t(source.GetWidth())) return nullptr;
        return source.RowPointer(uint32_t(height - 2 - y)) + x * kChannels;
    }

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
};

// The column shear's weights and row offsets, per column of the sheared rows.
struct ColumnShear {
    MallocArray<int16_t> weights[4];   // per byte of a row: tap k's weight
    std::vector<int64_t> whole;        // per column: the row offset of its tap at 0
    int64_t leastWhole = 0;
    int64_t greatestWhole = 0;

    bool Prepare(const ShearPlan& plan) {
        const int64_t columns = plan.sheared.Width();
        const auto bytes = size_t(columns * kChannels) + kRowSlack;
        for (MallocArray<int16_t>& tap : weights) {
            tap = AllocateArray<int16_t>(bytes);
            if (!tap) return false;
            std::fill_n(tap.get(), bytes, int16_t(0));
        }
        whole.resize(size_t(columns));
        for (int64_t i = 0; i < columns; ++i) {
            const Shift shift = ShiftBy(plan.columnShear * plan.ColumnOffset(plan.sheared.left + i));
            whole[size_t(i)] = shift.whole;
            for (size_t k = 0; k < 4; ++k) std::fill_n(weights[k].get() + i * kChannels, kChannels, shift.taps.w[k]);
        }
        const auto [least, greatest] = std::minmax_element(whole.begin(), whole.end());
        leastWhole = *least;
        greatestWhole = *greatest;
        return true;
    }

    ColumnTaps Taps() const { return ColumnTaps{{weights[0].get(), weights[1].get(), weights[2].get(), weights[3].get()}}; }
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

#if defined(RASTER_BLEND_AVX2)
constexpr size_t kColumnBatch = rasteravx2::kColumnBatch;
#else
constexpr size_t kColumnBatch = 4;
#endif
// The rows of the sheared picture a batch of the column shear reads from one column's first.
constexpr int64_t kBatchReach = int64_t(kColumnBatch) + 3;
// The most target columns a tile spans: the sheared rows of a strip this wide and the rows a
// batch of it reads stay in the processor's cache. Each strip also makes the columns its last
// shear reaches past its sides, so strips are as wide as that allows.
constexpr int64_t kStripWidth = 1024;

// The sheared rows a band of target rows reads, kept in a ring rather than as a whole picture,
// so that they are still in the processor's cache when read: a batch of target rows reads, in
// each column, its rows at an offset that grows along the row, so it needs the sheared rows
// from its top at the least offset to its bottom at the greatest; the next batch needs a few
// more below and none above. Row q lives in slot q % size; the first kBatchReach - 1 slots are
// repeated after the last, so that the rows a batch reads from any slot on lie a stride apart.
class ShearedRing {
public:
    // Room for `size` rows of rowValues, none held yet; false when out of memory.
    bool Prepare(const RowShear& shear, int64_t rowValues, int64_t size) {
        m_stride = size_t(rowValues) + kRowSlack;
        m_size = size;
        m_next = -1;
        const size_t bytes = m_stride * size_t(size + kBatchReach - 1);
        if (bytes > m_bytes) {
            m_plane = AllocatePlane(bytes);
            m_bytes = m_plane ? bytes : 0;
        }
        if (shear.PaddedBytes() > m_paddedBytes) {
            m_padded = AllocateArray<uint8_t>(shear.PaddedBytes());
            m_paddedBytes = m_padded ? shear.PaddedBytes() : 0;
        }
        return m_plane && m_padded;
    }

    // Makes sure rows first .. last are held (at most size of them); rows before first may go.
    void Hold(int64_t first, int64_t last, const RowShear& shear) {
        if (m_next < 0 || first >= m_next || m_next - first > m_size) m_next = first;
        for (; m_next <= last; ++m_next) {
            const int64_t slot = m_next % m_size;
            int8_t* row = SlotRow(slot);
            shear.Row(m_next, m_padded.get(), row);
            if (slot < kBatchReach - 1) std::memcpy(SlotRow(m_size + slot), row, m_stride);
        }
    }

    const int8_t* RowAt(int64_t q) const { return SlotRow(q % m_size); }
    size_t Stride() const { return m_stride; }

private:
    int8_t* SlotRow(int64_t slot) const { return reinterpret_cast<int8_t*>(m_plane.get()) + size_t(slot) * m_stride; }

    PlaneArray m_plane;
    size_t m_bytes = 0;
    MallocArray<uint8_t> m_padded;
    size_t m_paddedBytes = 0;
    size_t m_stride = 0;
    int64_t m_size = 1;
    int64_t m_next = -1;   // the row after the last one made
};

// A tile of the target (a strip of columns over a band of rows), made batch by batch: the
// column shear of a batch of rows from the sheared rows, then the last row shear of each of
// its rows into the target. The ring and the rows between the shears are kept for the next
// tile the renderer makes.
class TileRenderer {
public:
    // target holds the turned picture's region whole.
    TileRenderer(RasterImage& target, const Span& region) : m_target(target), m_region(region) {}

    // The tile plan.target; false when out of memory or stopped.
    bool Render(const ShearPlan& plan, const std::atomic<bool>& stop) {
        ColumnShear columns;
        const RowShear rowShear(plan);
        if (!columns.Prepare(plan) || !Prepare(plan, columns, rowShear)) return false;
        m_plan = &plan;
        m_columns = &columns;
        m_rowShear = &rowShear;
        const RasterImage& source = *plan.source;
        // In slices, so that a stop request is seen soon.
        constexpr int64_t kSlice = 64;
        for (int64_t row = 0; row < plan.target.Height();) {
            if (stop.load(std::memory_order_relaxed) || source.IsEscaped()) return false;
            const int64_t sliceEnd = std::min(plan.target.Height(), row + kSlice);
            while (row < sliceEnd) {
                const auto count = size_t(std::min<int64_t>(int64_t(kColumnBatch), sliceEnd - row));
                ShearColumns(plan.target.top + row, count);
                for (size_t r = 0; r < count; ++r, ++row) ShearLastRow(plan.target.top + row, m_batch[r]);
            }
        }
        return true;
    }

private:
    bool Prepare(const ShearPlan& plan, const ColumnShear& columns, const RowShear& rowShear) {
        const int64_t rowValues = plan.sheared.Width() * kChannels;
        const size_t betweenValues = size_t(rowValues) + kRowSlack;
        if (betweenValues > m_betweenValues) {
            m_between = AllocateArray<int16_t>(betweenValues * kColumnBatch);
            m_betweenValues = m_between ? betweenValues : 0;
            if (!m_between) return false;
        }
        for (size_t r = 0; r < kColumnBatch; ++r) m_batch[r] = m_between.get() + r * betweenValues;
        const int64_t ringRows = columns.greatestWhole - columns.leastWhole + kBatchReach;
        return m_ring.Prepare(rowShear, rowValues, ringRows);
    }

    // Rows y .. y + count - 1 of the column shear over the sheared rows' columns into the
    // batch: runs of columns whose taps start on the same row share their rows.
    void ShearColumns(int64_t y, size_t count) {
        const ShearPlan& plan = *m_plan;
        const ColumnShear& shear = *m_columns;
        const int64_t top = y - 1 - plan.sheared.top;   // the sheared row of a tap at -1 with no offset
        m_ring.Hold(top + shear.leastWhole, top + int64_t(count) + 2 + shear.greatestWhole, *m_rowShear);
        const int64_t columns = plan.sheared.Width();
        const ColumnTaps taps = shear.Taps();
        const size_t stride = m_ring.Stride();
        for (int64_t i = 0; i < columns;) {
            const int64_t whole = shear.whole[size_t(i)];
            int64_t end = i + 1;
            while (end < columns && shear.whole[size_t(end)] == whole) ++end;
            const int8_t* first = m_ring.RowAt(top + whole);
            const auto from = size_t(i * kChannels);
            const auto to = size_t(end * kChannels);
            i = end;
#if defined(RASTER_BLEND_AVX2)
            if (plan.vector && count == kColumnBatch) {
                rasteravx2::ShiftColumnGroups(first, stride, taps, from, to, m_batch);
                continue;
            }
#endif
            for (size_t r = 0; r < count; ++r) {
                const int8_t* rows[4];
                for (size_t k = 0; k < 4; ++k) rows[k] = first + (r + k) * stride;
                ShiftColumnsPortable(rows, taps, from, to, m_batch[r]);
            }
        }
    }

    // Where the tile's part of target row y lies in the target, or null past the region.
    uint8_t* TargetAt(int64_t y) const {
        if (y >= m_region.bottom) return nullptr;
        const int64_t left = (m_plan->target.left - m_region.left) * kChannels;
        return m_target.RowPointer(uint32_t(m_region.bottom - 1 - y)) + left;
    }

    void ShearLastRow(int64_t y, const int16_t* between) const {
        const ShearPlan& plan = *m_plan;
        uint8_t* out = TargetAt(y);
        const Shift shift = plan.RowShift(y);
        const int16_t* in = between + size_t(plan.target.left + shift.whole - 1 - plan.sheared.left) * kChannels;
        const size_t count = size_t(plan.target.Width()) * kChannels;
        size_t done = 0;
#if defined(RASTER_BLEND_AVX2)
        // Target rows follow each other in memory downwards: the next one is fetched ahead.
        const uint8_t* next = y + 1 < plan.target.bottom ? TargetAt(y + 1) : nullptr;
        if (plan.vector) done = rasteravx2::ShiftRowWordsGroups(in, shift.taps, count, out, next);
#endif
        ShiftRowWordsPortable(in, shift.taps, done, count, out);
        const InsideRun inside = InsideOf(plan, y);
        const auto before = size_t(inside.first - plan.target.left) * kChannels;
        const auto after = size_t(inside.end - plan.target.left) * kChannels;
        std::memset(out, 255, before);
        std::memset(out + after, 255, count - after);
    }

    RasterImage& m_target;
    Span m_region;
    const ShearPlan* m_plan = nullptr;
    const ColumnShear* m_columns = nullptr;
    const RowShear* m_rowShear = nullptr;
    ShearedRing m_ring;
    MallocArray<int16_t> m_between;
    size_t m_betweenValues = 0;
    int16_t* m_batch[kColumnBatch] = {};
};

// Runs work(first, end, stop) over `count` rows split into `workers` bands, all but the first
// on threads of their own (a thread that cannot start leaves its band to the caller); a band
// that fails sets stop, which the others watch. False when a band failed.
template <typename Work>
bool InBands(int64_t count, unsigned workers, Work work) {
    std::atomic<bool> stop{false};
    auto band = [&](int64_t first, int64_t end) {
        if (first < end && !work(first, end, stop)) stop = true;
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

namespace {

int8_t SignedLevel(int32_t level) { return int8_t(std::clamp(level, -128, 127)); }

}  // namespace

void ShiftRowBytesPortable(const uint8_t* in, ShiftTaps taps, size_t first, size_t count, int8_t* out) {
    for (size_t b = first; b < count; ++b) {
        int32_t sum = 0;
        for (size_t k = 0; k < 4; ++k) sum += MulHigh((in[b + 3 * k] - 128) * 256, taps.w[k]);
        out[b] = SignedLevel(MulHigh(sum, 1 << 8));
    }
}

void ShiftRowWordsPortable(const int16_t* in, ShiftTaps taps, size_t first, size_t count, uint8_t* out) {
    for (size_t b = first; b < count; ++b) {
        int32_t sum = 0;
        for (size_t k = 0; k < 4; ++k) sum += MulHigh(in[b + 3 * k], taps.w[k]);
        out[b] = uint8_t(SignedLevel(MulHigh(sum, 1 << 9)) + 128);
    }
}

void ShiftColumnsPortable(const int8_t* const rows[4], ColumnTaps taps, size_t first, size_t end, int16_t* out) {
    for (size_t b = first; b < end; ++b) {
        int32_t sum = 0;
        for (size_t k = 0; k < 4; ++k) sum += MulHigh(rows[k][b] * 256, taps.w[k][b]);
        out[b] = int16_t(sum);
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
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const int64_t height = int64_t(region.bottom) - region.top;
    const auto workers =
        unsigned(std::clamp<int64_t>(options.threads != 0 ? options.threads : cores, 1, std::max<int64_t>(1, height)));
    // Each band of rows strip by strip: a strip's sheared rows stay in the processor's cache
    // from the first shear to the second.
    auto band = [&](int64_t first, int64_t end, const std::atomic<bool>& stop) {
        TileRenderer renderer(target, Span{region.left, region.top, region.right, region.bottom});
        const RowShifts rowShifts = MakeRowShifts(
            PlanShears(source, degrees, {region.left, int32_t(region.top + first), region.right, int32_t(region.top + end)},
                       options.path));
        const int64_t width = int64_t(region.right) - region.left;
        const int64_t strips = (width + kStripWidth - 1) / kStripWidth;
        for (int64_t strip = 0; strip < strips; ++strip) {
            const RasterRect tile{int32_t(region.left + width * strip / strips), int32_t(region.top + first),
                                  int32_t(region.left + width * (strip + 1) / strips), int32_t(region.top + end)};
            ShearPlan plan = PlanShears(source, degrees, tile, options.path);
            plan.rowShifts = &rowShifts;
            if (!renderer.Render(plan, stop)) return false;
        }
        return true;
    };
    if (InBands(height, workers, band)) return true;
    target.SetLastError(source.IsEscaped() ? kCancelledText : kNoMemoryText);
    return false;
}

}  // namespace raster_resample
