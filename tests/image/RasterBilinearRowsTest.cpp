// Bilinear sampling row by row, on every path (byte by byte, SSE2, AVX2), gives the bytes of
// the sampling rules for any row order: enlargements and reductions of either side, one and
// three channels, rows of every remainder, and flat stretches next to busy ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <ostream>
#include <random>
#include <vector>

#include "BilinearReference.h"
#include "RasterBlendRow.h"
#include "RasterResampleKernels.h"
#include "TestSupport.h"

using raster_resample::BilinearRows;
using raster_resample::Scale;
using raster_resample::SourcePlane;
using testsupport::PatchyPlane;

namespace {

class SamplingPath : public testing::TestWithParam<BlendPath> {
protected:
    void SetUp() override {
        if (GetParam() == BlendPath::Simd && !kSimdBlendAvailable) GTEST_SKIP() << "no SSE2 on this target";
        if (GetParam() == BlendPath::Avx2 && !Avx2BlendAvailable()) GTEST_SKIP() << "no AVX2 on this processor";
    }
};

}  // namespace

void PrintTo(BlendPath path, std::ostream* out);

TEST_P(SamplingPath, RowsInAnyOrderEqualTheSamplingRules) {
    std::mt19937 rng(8128);
    for (int round = 0; round < 120; ++round) {
        const int channels = round % 2 ? 3 : 1;
        const uint32_t width = 1 + rng() % 90;
        const uint32_t height = 1 + rng() % 30;
        // Mostly enlargements (the flat and grouped paths), some reductions across (source
        // columns skipped: scattered groups), never both sides reduced.
        uint32_t newWidth = round % 5 == 4 ? 1 + rng() % width : width + rng() % 260;
        const uint32_t newHeight = round % 5 == 4 ? height + 1 + rng() % 20 : 1 + rng() % 60;
        if (newWidth == width && newHeight == height) ++newWidth;
        const size_t stride = size_t(width) * size_t(channels) + rng() % 5;  // padded rows too
        const std::vector<uint8_t> source = PatchyPlane(stride, height, rng);
        const std::vector<uint8_t> expected =
            ReferenceBilinear(source.data(), stride, width, height, newWidth, newHeight, channels);

        BilinearRows rows;
        const Scale scale{float(width) / float(newWidth), float(height) / float(newHeight)};
        ASSERT_TRUE(rows.Prepare(SourcePlane{source.data(), stride, width, height}, newWidth, channels, scale,
                                 GetParam()));
        std::vector<uint32_t> order(newHeight);
        std::iota(order.begin(), order.end(), 0u);
        std::shuffle(order.begin(), order.end(), rng);
        const size_t rowBytes = size_t(newWidth) * size_t(channels);
        for (uint32_t y : order) {
            std::vector<uint8_t> row(rowBytes);  // exactly the row: a write past it is caught
            rows.Sample(y, row.data());
            ASSERT_TRUE(std::equal(row.begin(), row.end(), expected.begin() + long(y * rowBytes)))
                << width << "x" << height << " -> " << newWidth << "x" << newHeight << ", " << channels
                << " channels, row " << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(RasterBilinearRows, SamplingPath,
                         testing::Values(BlendPath::Table, BlendPath::Simd, BlendPath::Avx2),
                         [](const testing::TestParamInfo<BlendPath>& info) {
                             return info.param == BlendPath::Avx2   ? "Avx2"
                                    : info.param == BlendPath::Simd ? "Sse2"
                                                                    : "ByteByByte";
                         });
