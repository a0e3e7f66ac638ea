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
#include "image/compose/RasterBlendRow.h"
#include "image/resample/RasterResampleKernels.h"
#include "image/resample/RasterSamplingAvx2.h"
#include "image/resample/RasterSamplingAvx512.h"
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
        if (GetParam() == BlendPath::Avx512 && !Avx512SamplingAvailable()) {
            GTEST_SKIP() << "no AVX-512 on this processor";
        }
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
                         testing::Values(BlendPath::Table, BlendPath::Simd, BlendPath::Avx2, BlendPath::Avx512),
                         [](const testing::TestParamInfo<BlendPath>& info) {
                             return info.param == BlendPath::Avx512 ? "Avx512"
                                    : info.param == BlendPath::Avx2 ? "Avx2"
                                    : info.param == BlendPath::Simd ? "Sse2"
                                                                    : "ByteByByte";
                         });

namespace {

// Rows that mostly repeat the one below them, with runs of one value (grey levels, or one
// colour whose channels are equal) and a few changed stretches: pairs of source rows then
// share long still stretches, on which every row between them is that value.
std::vector<uint8_t> MostlyStillPlane(size_t stride, uint32_t height, std::mt19937& rng) {
    std::vector<uint8_t> plane(stride * height);
    for (size_t i = 0; i < stride;) {
        const size_t run = 1 + rng() % 90;
        const auto level = uint8_t(rng() % 3 == 0 ? 0 : rng() % 2 ? 255 : rng());
        for (size_t k = 0; k < run && i < stride; ++k, ++i) plane[i] = level;
    }
    for (uint32_t y = 1; y < height; ++y) {
        std::copy_n(plane.begin() + long((y - 1) * stride), stride, plane.begin() + long(y * stride));
        const size_t changes = rng() % 3;
        for (size_t c = 0; c < changes; ++c) {
            const size_t from = rng() % stride;
            const size_t length = std::min(stride - from, size_t(1 + rng() % 12));
            const auto level = uint8_t(rng());
            for (size_t k = 0; k < length; ++k) plane[y * stride + from + k] = rng() % 4 ? level : uint8_t(rng());
        }
    }
    return plane;
}

struct SamplingCase {
    uint32_t width;
    uint32_t height;
    uint32_t newWidth;
    uint32_t newHeight;
    int channels;
};

// Samples every row of c on `path` by pieces: the row in ranges cut at random places, each
// written into a row full of a marker that the other bytes must keep.
void ExpectRangesEqualTheRules(const SamplingCase& c, const std::vector<uint8_t>& source, size_t stride,
                               BlendPath path, std::mt19937& rng) {
    const std::vector<uint8_t> expected =
        ReferenceBilinear(source.data(), stride, c.width, c.height, c.newWidth, c.newHeight, c.channels);
    BilinearRows rows;
    const Scale scale{float(c.width) / float(c.newWidth), float(c.height) / float(c.newHeight)};
    ASSERT_TRUE(rows.Prepare(SourcePlane{source.data(), stride, c.width, c.height}, c.newWidth, c.channels, scale, path));
    const size_t rowBytes = size_t(c.newWidth) * size_t(c.channels);
    ASSERT_EQ(rows.RowBytes(), rowBytes);
    for (uint32_t y = 0; y < c.newHeight; ++y) {
        rows.SelectRow(y);
        const size_t first = rng() % (rowBytes + 1);
        const size_t last = first + rng() % (rowBytes - first + 1);
        std::vector<uint8_t> row(rowBytes, 0xA5);
        rows.SampleRange(first, last, row.data());
        const auto want = expected.begin() + long(y * rowBytes);
        for (size_t i = 0; i < rowBytes; ++i) {
            const uint8_t wanted = i >= first && i < last ? want[i] : uint8_t(0xA5);
            ASSERT_EQ(row[i], wanted) << c.width << "x" << c.height << " -> " << c.newWidth << "x" << c.newHeight
                                      << ", " << c.channels << " channels, row " << y << ", byte " << i << " of range "
                                      << first << ".." << last;
        }
        // The rest of the row, sampled afterwards, completes it.
        rows.SampleRange(0, first, row.data());
        rows.SampleRange(last, rowBytes, row.data());
        ASSERT_TRUE(std::equal(row.begin(), row.end(), want)) << "row " << y << " completed";
    }
}

}  // namespace

TEST_P(SamplingPath, StillStretchesOfTheSourceRowsGiveTheBytesOfTheRules) {
    std::mt19937 rng(5040);
    for (int round = 0; round < 80; ++round) {
        const int channels = round % 3 ? 1 : 3;
        const uint32_t width = 4 + rng() % 120;
        const uint32_t height = 2 + rng() % 12;
        // Enlargements by a little up to very much, and some reductions across.
        const uint32_t newWidth = round % 7 == 6 ? 1 + rng() % width : width + 1 + rng() % (round % 2 ? 40 : 900);
        const uint32_t newHeight = height + rng() % 40;
        const size_t stride = size_t(width) * size_t(channels) + rng() % 4;
        const std::vector<uint8_t> source = MostlyStillPlane(stride, height, rng);
        ExpectRangesEqualTheRules(SamplingCase{width, height, newWidth, newHeight, channels}, source, stride, GetParam(),
                                  rng);
    }
}

// A row between the same two equal source rows as the row before it says so, and callers that
// copy such rows (the whole rescale among them) give the bytes of the rules; rows whose source
// rows differ, or that lie between other rows than the one before, never say so.
TEST_P(SamplingPath, RowsBetweenEqualSourceRowsRepeatTheRowBefore) {
    std::mt19937 rng(1729);
    size_t repeats = 0;
    for (int round = 0; round < 40; ++round) {
        const int channels = round % 2 ? 3 : 1;
        const uint32_t width = 3 + rng() % 60;
        const uint32_t height = 2 + rng() % 10;
        const uint32_t newWidth = round % 5 == 4 ? 1 + rng() % width : width + rng() % 200;
        const uint32_t newHeight = round % 7 == 6 ? 1 + rng() % height : height + rng() % 50;
        const size_t stride = size_t(width) * size_t(channels) + rng() % 3;
        const std::vector<uint8_t> source = MostlyStillPlane(stride, height, rng);
        const std::vector<uint8_t> expected =
            ReferenceBilinear(source.data(), stride, width, height, newWidth, newHeight, channels);
        const size_t rowBytes = size_t(newWidth) * size_t(channels);
        SCOPED_TRACE(testing::Message() << width << "x" << height << " -> " << newWidth << "x" << newHeight << ", "
                                        << channels << " channels");

        BilinearRows rows;
        const Scale scale{float(width) / float(newWidth), float(height) / float(newHeight)};
        ASSERT_TRUE(rows.Prepare(SourcePlane{source.data(), stride, width, height}, newWidth, channels, scale,
                                 GetParam()));
        for (uint32_t y = 0; y < newHeight; ++y) {
            rows.SelectRow(y);
            if (!rows.RowRepeats()) continue;
            ++repeats;
            ASSERT_GT(y, 0u);
            ASSERT_TRUE(std::equal(expected.begin() + long(y * rowBytes), expected.begin() + long((y + 1) * rowBytes),
                                   expected.begin() + long((y - 1) * rowBytes)))
                << "row " << y;
        }
        // Out of order, a row follows another pair's row: never a repeat.
        rows.SelectRow(0);
        rows.SelectRow(newHeight - 1);
        const uint32_t lastIndex = std::min(height - 1, uint32_t(float(newHeight - 1) * scale.y));
        if (lastIndex > 0) {
            EXPECT_FALSE(rows.RowRepeats());
        }

        std::vector<uint8_t> whole(rowBytes * newHeight + 1, 0xA5);
        ASSERT_EQ(raster_resample::Bilinear(SourcePlane{source.data(), stride, width, height},
                                            raster_resample::TargetPlane{whole.data(), rowBytes, newWidth, newHeight},
                                            channels, scale, raster_resample::Stopper{}),
                  raster_resample::Outcome::Done);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), whole.begin()));
        EXPECT_EQ(whole.back(), 0xA5);
    }
    EXPECT_GT(repeats, 100u);
}

TEST_P(SamplingPath, AnyRangeOfARowGivesItsBytesAndLeavesTheRestAlone) {
    std::mt19937 rng(720);
    for (int round = 0; round < 60; ++round) {
        const int channels = round % 2 ? 3 : 1;
        const uint32_t width = 1 + rng() % 70;
        const uint32_t height = 1 + rng() % 20;
        const uint32_t newWidth = round % 5 == 4 ? 1 + rng() % width : width + 1 + rng() % 300;
        const uint32_t newHeight = 1 + rng() % 50;
        const size_t stride = size_t(width) * size_t(channels);
        const std::vector<uint8_t> source = PatchyPlane(stride, height, rng);
        ExpectRangesEqualTheRules(SamplingCase{width, height, newWidth, newHeight, channels}, source, stride, GetParam(),
                                  rng);
    }
}

// The 512-bit pairing gives the floats of the AVX2 pairing, and its flat block search from
// bitmaps the flat blocks of the AVX2 scan, for rows of every length (tails of the 64-value
// words included), one and three channels, and blocks whose spans start anywhere, reach the
// row's end, or run longer than the search looks.
#if defined(RASTER_BLEND_AVX2)
TEST(RasterBilinearRowsWide, PairingAndFlatBlocksEqualTheAvx2Ones) {
    if (!Avx512SamplingAvailable()) GTEST_SKIP() << "no AVX-512 on this processor";
    std::mt19937 rng(4711);
    size_t flatBlocks = 0;
    for (int round = 0; round < 300; ++round) {
        const size_t channels = round % 2 ? 3 : 1;
        const size_t count = 1 + rng() % 400;
        const std::vector<uint8_t> plane = MostlyStillPlane(count, 2, rng);
        const uint8_t* r0 = plane.data();
        const uint8_t* r1 = plane.data() + count;
        const size_t padded = count + raster_resample::kFlatReach;
        std::vector<float> top(padded, 0.0f), rise(padded, 0.0f), wideTop(padded, 0.0f), wideRise(padded, 0.0f);
        for (size_t k = 0; k < count; ++k) {
            top[k] = float(r0[k]);
            rise[k] = float(int(r1[k]) - int(r0[k]));
        }
        std::vector<uint64_t> still(count / 64 + 2, ~uint64_t(0)), level(count / 64 + 2, ~uint64_t(0));
        rasteravx512::PairRows(r0, r1, count, wideTop.data(), wideRise.data(), still.data(), level.data());
        ASSERT_TRUE(std::equal(top.begin(), top.end(), wideTop.begin())) << count;
        ASSERT_TRUE(std::equal(rise.begin(), rise.end(), wideRise.begin())) << count;

        std::vector<uint64_t> spans(64);
        for (uint64_t& span : spans) {
            const size_t lo = rng() % count;
            const size_t hi = std::min(count - 1, lo + rng() % 40);
            span = uint64_t(lo) | uint64_t(hi) << 32;
        }
        std::vector<int16_t> expected(spans.size()), flat(spans.size());
        rasteravx2::FindFlatBlocks(top.data(), rise.data(), spans.data(), spans.size(), count, channels,
                                   expected.data());
        rasteravx512::FindFlatBlocks(r0, still.data(), level.data(), spans.data(), spans.size(), count, channels,
                                     flat.data());
        ASSERT_EQ(flat, expected) << count << " values, " << channels << " channels";
        flatBlocks += size_t(std::count_if(flat.begin(), flat.end(), [](int16_t v) { return v >= 0; }));
    }
    EXPECT_GT(flatBlocks, 1000u);  // the rows do have flat blocks to find
}
#endif
