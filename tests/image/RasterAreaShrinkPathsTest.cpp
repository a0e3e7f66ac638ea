// The area average gives the bytes of its rules on both of its paths: the streaming reduction
// every processor runs, and with AVX2 the reduction a target row at a time. Ratios just above
// one, between two and four (runs of one to three whole pixels alternating between split
// ones), whole ratios (boundaries between pixels), runs at the limit of the fixed windows and
// of the 32-bit sums, one and three channels, rows of every length, flat stretches that reach
// the 255 clamp.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <random>
#include <vector>

#include "AreaShrinkReference.h"
#include "image/compose/RasterBlendRow.h"
#include "image/resample/RasterResampleKernels.h"
#include "TestSupport.h"

using raster_resample::AreaShrink;
using raster_resample::Outcome;
using raster_resample::Scale;
using raster_resample::SourcePlane;
using raster_resample::Stopper;
using raster_resample::TargetPlane;
using testsupport::PatchyPlane;

namespace {

struct ShrinkSize {
    uint32_t width;
    uint32_t height;
    uint32_t newWidth;
    uint32_t newHeight;
};

std::ostream& operator<<(std::ostream& out, const ShrinkSize& size) {
    return out << size.width << "x" << size.height << " -> " << size.newWidth << "x" << size.newHeight;
}

Scale ScaleOf(const ShrinkSize& size) {
    return Scale{float(size.width) / float(size.newWidth), float(size.height) / float(size.newHeight)};
}

int64_t WeightSum(const ShrinkSize& size) {
    const Scale scale = ScaleOf(size);
    return int64_t(float(RASTER_RESCALE_ACCURACY) * scale.x * scale.y);
}

// The plane shrunk on one path, packed; empty when the kernel did not finish.
std::vector<uint8_t> Shrink(const std::vector<uint8_t>& plane, size_t stride, const ShrinkSize& size, int channels,
                            BlendPath path) {
    std::vector<uint8_t> out(size_t(size.newWidth) * size.newHeight * size_t(channels));
    const SourcePlane source{plane.data(), stride, size.width, size.height};
    const TargetPlane target{out.data(), size_t(size.newWidth) * size_t(channels), size.newWidth, size.newHeight};
    if (AreaShrink(source, target, channels, ScaleOf(size), WeightSum(size), Stopper{}, path) != Outcome::Done) {
        return {};
    }
    return out;
}

class AreaShrinkPath : public testing::TestWithParam<BlendPath> {
protected:
    void SetUp() override {
        if (GetParam() == BlendPath::Avx2 && !Avx2BlendAvailable()) GTEST_SKIP() << "no AVX2 on this processor";
    }

    // Shrinks a new plane of each channel count on this path and compares with the rules.
    void ExpectTheRules(const ShrinkSize& size, std::mt19937& rng) {
        for (const int channels : {1, 3}) {
            const size_t stride = size_t(size.width) * size_t(channels) + rng() % 4;
            const std::vector<uint8_t> plane = PatchyPlane(stride, size.height, rng);
            const AreaReference expected =
                ReferenceAreaShrink(plane.data(), stride, int(size.width), int(size.height), int(size.newWidth),
                                    int(size.newHeight), channels, WeightSum(size));
            ASSERT_TRUE(expected.regular) << size;
            ASSERT_EQ(Shrink(plane, stride, size, channels, GetParam()), expected.pixels)
                << size << ", " << channels << " channel(s)";
        }
    }
};

}  // namespace

void PrintTo(BlendPath path, std::ostream* out);

TEST_P(AreaShrinkPath, ChosenRatiosFollowTheRules) {
    std::mt19937 rng(1103);
    const ShrinkSize sizes[] = {
        {101, 7, 100, 6},   {250, 9, 249, 8},   {67, 67, 60, 66},  // just above one: runs of 0 and 1
        {90, 30, 60, 20},   {64, 16, 32, 8},                       // 1.5, and 2 with no split pixel
        {270, 27, 100, 10}, {19, 11, 7, 4},     {41, 29, 15, 11},  // about 2.7: runs of 1 and 2
        {160, 90, 48, 27},  {320, 37, 96, 11},  {512, 24, 153, 7}, // 3 1/3 like the view copy
        {128, 64, 32, 16},  {90, 45, 20, 10},   {100, 50, 20, 10}, // 4 and 4.5; 5 with runs of 4
        {104, 52, 20, 10},  {200, 100, 23, 9},                     // runs of 5 and more
        {650, 130, 10, 2},  {40, 650, 20, 10},                     // runs of 64 on either axis
        {660, 132, 10, 2},  {40, 660, 20, 10},  {661, 7, 10, 3},   // runs of 65: 64-bit sums
        {9, 6, 6, 4},       {7, 5, 1, 1},       {33, 2, 32, 1},    // tiny targets and sources
    };
    for (const ShrinkSize& size : sizes) ExpectTheRules(size, rng);
}

TEST_P(AreaShrinkPath, RandomRatiosFollowTheRules) {
    std::mt19937 rng(4242);
    for (int round = 0; round < 120; ++round) {
        // Narrow and wide rows: the vector kernels leave remainders of every length.
        const uint32_t width = 2 + rng() % (round % 3 ? 120 : 400);
        const uint32_t height = 2 + rng() % 40;
        // Half the rounds shrink by less than 4, where the runs are short and irregular.
        const uint32_t nearer = width - 1 - rng() % (width - 1);
        const uint32_t newWidth = round % 2 ? 1 + rng() % (width - 1) : std::max(std::max(width / 4, 1u), nearer);
        const uint32_t newHeight = 1 + rng() % (height - 1);
        ExpectTheRules(ShrinkSize{width, height, newWidth, newHeight}, rng);
    }
}

TEST_P(AreaShrinkPath, FlatPlanesFollowTheRules) {
    // White gives weight sums above 255 times the truncated nScale, which are clamped, and
    // below it where truncated corner shares lose weight. The largest 32-bit weight sums (runs
    // of 64 both ways) are among them.
    const ShrinkSize sizes[] = {{650, 650, 10, 10}, {97, 89, 29, 27}, {10, 10, 3, 3}, {641, 300, 10, 299}};
    for (const ShrinkSize& size : sizes) {
        for (const int channels : {1, 3}) {
            for (const uint8_t level : {uint8_t(255), uint8_t(128)}) {
                const size_t stride = size_t(size.width) * size_t(channels);
                const std::vector<uint8_t> flat(stride * size.height, level);
                const AreaReference expected =
                    ReferenceAreaShrink(flat.data(), stride, int(size.width), int(size.height), int(size.newWidth),
                                        int(size.newHeight), channels, WeightSum(size));
                ASSERT_EQ(Shrink(flat, stride, size, channels, GetParam()), expected.pixels)
                    << size << ", " << channels << " channel(s) of " << int(level);
            }
        }
    }
}

namespace {

int g_rowsBeforeStop = 0;

bool StopAfterSomeRows(RasterImage&) {
    return g_rowsBeforeStop-- <= 0;
}

}  // namespace

TEST_P(AreaShrinkPath, AStopRequestMidwayEndsTheShrink) {
    const ShrinkSize size{300, 200, 90, 60};
    std::mt19937 rng(5);
    const std::vector<uint8_t> plane = PatchyPlane(size_t(size.width) * 3, size.height, rng);
    std::vector<uint8_t> out(size_t(size.newWidth) * size.newHeight * 3);
    RasterImage owner;
    g_rowsBeforeStop = 50;
    const Outcome outcome =
        AreaShrink(SourcePlane{plane.data(), size_t(size.width) * 3, size.width, size.height},
                   TargetPlane{out.data(), size_t(size.newWidth) * 3, size.newWidth, size.newHeight}, 3, ScaleOf(size),
                   WeightSum(size), Stopper{&owner, &StopAfterSomeRows}, GetParam());
    EXPECT_EQ(outcome, Outcome::Stopped);
}

INSTANTIATE_TEST_SUITE_P(Paths, AreaShrinkPath, testing::Values(BlendPath::Table, BlendPath::Avx2));

TEST(AreaShrinkPaths, AgreeWhereTheBoundariesAreWorkedOutExactly) {
    // Axes so long that float boundaries drift: both paths take the exact ones.
    if (!Avx2BlendAvailable()) GTEST_SKIP() << "no AVX2 on this processor";
    std::mt19937 rng(77);
    const ShrinkSize sizes[] = {{40000, 3, 39998, 2}, {5, 40000, 2, 39998}, {70000, 2, 69000, 1}};
    for (const ShrinkSize& size : sizes) {
        for (const int channels : {1, 3}) {
            const size_t stride = size_t(size.width) * size_t(channels);
            const std::vector<uint8_t> plane = PatchyPlane(stride, size.height, rng);
            const std::vector<uint8_t> portable = Shrink(plane, stride, size, channels, BlendPath::Table);
            ASSERT_FALSE(portable.empty());
            ASSERT_EQ(Shrink(plane, stride, size, channels, BlendPath::Avx2), portable)
                << size << ", " << channels << " channel(s)";
        }
    }
}
