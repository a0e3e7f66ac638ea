// The fine turn: every target pixel maps back onto the source (the inverse turn about the
// source's centre) and is sampled there by the cubic filter. Rows are independent, so bands of
// them go to worker threads; each row is handed to the vector kernel in groups of eight pixels
// and the rest of it to the portable one.
#include "image/resample/RasterRotateFine.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <numbers>
#include <system_error>
#include <thread>
#include <vector>

#include "image/RasterGeometrySupport.h"
#include "image/resample/RasterRotateFineAvx2.h"

namespace raster_resample {

namespace {

using raster_geometry::CreateBlankLike;
using raster_geometry::kCancelledText;

constexpr uint32_t kChannels = 3;
// Added before rounding a region's sides outwards, so that sides a turn keeps on whole pixels
// (quarter turns, no turn) are not widened by the error of the sine and cosine.
constexpr double kWholeSlack = 1e-9;

double Radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

uint8_t Level(float value) {
    const float rounded = std::nearbyint(value);
    return uint8_t(rounded < 0.0f ? 0.0f : rounded > 255.0f ? 255.0f : rounded);
}

// How target rows map onto the source: the turn's sine and cosine and the region's corner.
struct TurnPlan {
    TurnSource source;
    RasterRect region;
    double cosine;
    double sine;
    bool vector;

    // Target row y of the region (top row = 0). Target point (X, Y), taken from the source's
    // centre, came from the source point (X cos - Y sin, X sin + Y cos): the inverse of an
    // anticlockwise turn as seen, with rows counted downwards.
    TurnRow Row(uint32_t y) const {
        const double halfW = source.width / 2.0;
        const double halfH = source.height / 2.0;
        const double dx = region.left + 0.5 - halfW;
        const double dy = region.top + double(y) + 0.5 - halfH;
        return TurnRow{float(halfW - 0.5 + dx * cosine - dy * sine), float(halfH - 0.5 + dx * sine + dy * cosine),
                       float(cosine), float(sine)};
    }
};

void TurnRowAnyPath(const TurnPlan& plan, uint32_t y, uint8_t* out) {
    const TurnRow row = plan.Row(y);
    const auto count = size_t(plan.region.right - plan.region.left);
    size_t done = 0;
#if defined(RASTER_BLEND_AVX2)
    if (plan.vector) done = rasteravx2::TurnRowGroups(plan.source, row, count, out);
#endif
    TurnRowPortable(plan.source, row, done, count, out);
}

// Target rows first .. end - 1 (picture order) into target; false when a stop was asked for.
bool TurnBand(const TurnPlan& plan, RasterImage& source, RasterImage& target, uint32_t first, uint32_t end,
              const std::atomic<bool>& stopped) {
    const uint32_t height = target.GetHeight();
    for (uint32_t y = first; y < end; ++y) {
        if (stopped.load(std::memory_order_relaxed) || source.IsEscaped()) return false;
        TurnRowAnyPath(plan, y, target.RowPointer(height - 1 - y));
    }
    return true;
}

// The rows split into `workers` bands, all but the first on threads of their own; a thread
// that cannot be started leaves its band to the caller.
bool TurnAllRows(const TurnPlan& plan, RasterImage& source, RasterImage& target, unsigned workers) {
    const uint32_t height = target.GetHeight();
    workers = std::clamp(workers, 1u, std::max(1u, height));
    std::atomic<bool> stopped{false};
    std::vector<std::thread> threads;
    std::vector<std::pair<uint32_t, uint32_t>> leftOver;
    auto bandStart = [&](unsigned band) { return uint32_t(uint64_t(height) * band / workers); };
    for (unsigned band = 1; band < workers; ++band) {
        const uint32_t first = bandStart(band);
        const uint32_t end = bandStart(band + 1);
        try {
            threads.emplace_back([&, first, end] {
                if (!TurnBand(plan, source, target, first, end, stopped)) stopped = true;
            });
        } catch (const std::system_error&) {
            leftOver.emplace_back(first, end);
        }
    }
    bool finished = TurnBand(plan, source, target, 0, bandStart(1), stopped);
    for (const auto& [first, end] : leftOver) finished = finished && TurnBand(plan, source, target, first, end, stopped);
    if (!finished) stopped = true;
    for (std::thread& thread : threads) thread.join();
    return !stopped.load();
}

// target as a 24-bit picture of width x height: kept when it is one, else made anew.
bool PrepareTarget(RasterImage& source, RasterImage& target, uint32_t width, uint32_t height) {
    if (target.IsValid() && !target.IsBorrowed() && target.GetBpp() == 24 && target.GetWidth() == width &&
        target.GetHeight() == height) {
        return true;
    }
    RasterImage blank;
    if (!CreateBlankLike(blank, source, width, height, 24)) return false;
    return target.TakeOver(blank);
}

bool VectorPathFits(const RasterImage& source, FineTurnPath path) {
#if defined(RASTER_BLEND_AVX2)
    const bool offsetsFit = uint64_t(source.GetStride()) * source.GetHeight() < uint64_t(INT32_MAX);
    return path != FineTurnPath::Portable && offsetsFit && rasteravx2::Avx2Supported();
#else
    (void)source;
    (void)path;
    return false;
#endif
}

}  // namespace

void TurnRowPortable(const TurnSource& source, const TurnRow& row, size_t first, size_t count, uint8_t* out) {
    const auto lastX = int64_t(source.width) - 1;
    const auto lastY = int64_t(source.height) - 1;
    for (size_t i = first; i < count; ++i) {
        uint8_t* pixel = out + i * kChannels;
        const float x = row.x0 + float(i) * row.stepX;
        const float y = row.y0 + float(i) * row.stepY;
        if (!SampleInside(x, y, source)) {
            pixel[0] = pixel[1] = pixel[2] = 255;
            continue;
        }
        const float wholeX = std::floor(x);
        const float wholeY = std::floor(y);
        const CubicWeights wx = KeysWeights(x - wholeX);
        const CubicWeights wy = KeysWeights(y - wholeY);
        const uint8_t* taps[4][4];
        for (int j = 0; j < 4; ++j) {
            const int64_t pictureRow = std::clamp(int64_t(wholeY) + j - 1, int64_t(0), lastY);
            const uint8_t* stored = source.bits + size_t(lastY - pictureRow) * source.stride;
            for (int k = 0; k < 4; ++k) taps[j][k] = stored + std::clamp(int64_t(wholeX) + k - 1, int64_t(0), lastX) * kChannels;
        }
        for (uint32_t c = 0; c < kChannels; ++c) {
            float line[4];
            for (int j = 0; j < 4; ++j) {
                line[j] = wx.w[0] * float(taps[j][0][c]) + wx.w[1] * float(taps[j][1][c]) + wx.w[2] * float(taps[j][2][c]) +
                          wx.w[3] * float(taps[j][3][c]);
            }
            pixel[c] = Level(wy.w[0] * line[0] + wy.w[1] * line[1] + wy.w[2] * line[2] + wy.w[3] * line[3]);
        }
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

bool RenderTurnedRegion(RasterImage& source, double degrees, const RasterRect& region, RasterImage& target,
                        const FineTurnOptions& options) {
    if (!source.IsValid() || &source == &target) return false;
    if (source.GetBpp() != 24) {
        source.SetLastError("RasterImage: the fine turn needs a 24-bit picture");
        return false;
    }
    if (region.right <= region.left || region.bottom <= region.top) {
        source.SetLastError("RasterImage: the turned region is empty");
        return false;
    }
    const auto width = uint32_t(int64_t(region.right) - region.left);
    const auto height = uint32_t(int64_t(region.bottom) - region.top);
    if (!PrepareTarget(source, target, width, height)) return false;

    const double angle = Radians(degrees);
    const TurnPlan plan{TurnSource{source.GetBits(), source.GetStride(), source.GetWidth(), source.GetHeight()},
                        region, std::cos(angle), std::sin(angle), VectorPathFits(source, options.path)};
    const unsigned workers = options.threads != 0 ? options.threads : std::max(1u, std::thread::hardware_concurrency());
    if (TurnAllRows(plan, source, target, workers)) return true;
    source.SetLastError(kCancelledText);
    return false;
}

}  // namespace raster_resample
