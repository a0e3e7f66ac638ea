// The quick JPEG reads behind the thumbnails: frame size, reduced decode, damaged files.
#include <gtest/gtest.h>

#include <algorithm>
#include <bitset>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

#include "BrowserTestSupport.h"
#include "image/RasterBlockPool.h"
#include "image/formats/RasterJpegThumbnail.h"
#include "image/formats/RasterJpegThumbnailScans.h"
#include "TestSupport.h"

TEST(ReducedJpegDecode, PicksTheSmallestScaleThatStillCoversTheRequest) {
    testsupport::TempDir dir;
    browsertest::WriteSolidPicture(dir / "a.jpg", 800, 600, 0x3080C0, RASTER_FORMAT_JPG);
    uint32_t width = 0;
    uint32_t height = 0;
    ASSERT_TRUE(ReadJpegFrameSize((dir / "a.jpg").c_str(), width, height));
    EXPECT_EQ(width, 800u);
    EXPECT_EQ(height, 600u);

    RasterImage reduced;
    ASSERT_TRUE(DecodeJpegReduced((dir / "a.jpg").c_str(), 128, 96, reduced));
    EXPECT_EQ(reduced.GetWidth(), 200u);   // 1/4; 1/8 would give 100 x 75
    EXPECT_EQ(reduced.GetHeight(), 150u);
    EXPECT_EQ(reduced.GetBpp(), 24u);
    const uint32_t centre = browsertest::CentreColor(reduced);
    EXPECT_NEAR(RasterRed(centre), 0xC0, 6);
    EXPECT_NEAR(RasterGreen(centre), 0x80, 6);
    EXPECT_NEAR(RasterBlue(centre), 0x30, 6);

    ASSERT_TRUE(DecodeJpegReduced((dir / "a.jpg").c_str(), 1000, 10, reduced));
    EXPECT_EQ(reduced.GetWidth(), 800u) << "nothing smaller covers the request";
}

TEST(ReducedJpegDecode, DamagedOrForeignFilesFailAndLeaveTheImage) {
    testsupport::TempDir dir;
    browsertest::WriteSolidPicture(dir / "big.jpg", 1600, 1200, 0x3080C0, RASTER_FORMAT_JPG);
    std::vector<uint8_t> bytes = testsupport::ReadFileBytes(dir / "big.jpg");
    bytes.resize(bytes.size() / 3);
    testsupport::WriteFileBytes(dir / "cut.jpg", bytes);
    testsupport::WriteFileBytes(dir / "text.jpg", {'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'e', 'g'});

    RasterImage kept = testsupport::MakeSolidImage(7, 5, 0);
    for (const char* name : {"cut.jpg", "text.jpg", "missing.jpg"}) {
        EXPECT_FALSE(DecodeJpegReduced((dir / name).c_str(), 60, 45, kept)) << name;
        EXPECT_EQ(kept.GetWidth(), 7u) << name;
    }
    uint32_t width = 0;
    uint32_t height = 0;
    EXPECT_FALSE(ReadJpegFrameSize((dir / "text.jpg").c_str(), width, height));
    std::vector<uint8_t> thumbnail;
    EXPECT_FALSE(ReadExifThumbnail((dir / "big.jpg").c_str(), thumbnail));
}

// ---- progressive streams decoded at 1/8 without their AC scans ------------------------------

namespace {

struct EncodeOptions {
    bool progressive = true;
    int chromaSampling = 1;   // 1: 4:4:4, 2: 4:2:0
    int restartRows = 0;      // restart interval in MCU rows, 0 for none
};

// A textured picture (every block has AC energy) as a JPEG stream written by libjpeg itself.
std::vector<uint8_t> EncodeTexturedJpeg(uint32_t width, uint32_t height, const EncodeOptions& options) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    cinfo.comp_info[0].h_samp_factor = options.chromaSampling;
    cinfo.comp_info[0].v_samp_factor = options.chromaSampling;
    cinfo.restart_in_rows = options.restartRows;
    if (options.progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(size_t(width) * 3);
    while (cinfo.next_scanline < height) {
        const uint32_t y = cinfo.next_scanline;
        for (uint32_t x = 0; x < width; ++x) {
            row[3 * x] = uint8_t((x * 7 + y * 13) ^ (x * y / 5));
            row[3 * x + 1] = uint8_t(x * 3 + (y & 16 ? 90 : 0));
            row[3 * x + 2] = uint8_t((y * 5) ^ (x & 8 ? 0x55 : 0));
        }
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&cinfo, &pointer, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

// libjpeg's own decode of the whole stream at 1/8 with the options of the reduced decode,
// rows top first, 3 bytes a pixel in blue, green, red order.
std::vector<uint8_t> LibjpegEighth(const std::vector<uint8_t>& stream, uint32_t& width, uint32_t& height) {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, stream.data(), static_cast<unsigned long>(stream.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGR;
    cinfo.dct_method = JDCT_IFAST;
    cinfo.do_fancy_upsampling = FALSE;
    cinfo.scale_num = 1;
    cinfo.scale_denom = 8;
    jpeg_start_decompress(&cinfo);
    width = cinfo.output_width;
    height = cinfo.output_height;
    std::vector<uint8_t> pixels(size_t(width) * height * 3);
    while (cinfo.output_scanline < height) {
        JSAMPROW pointer = pixels.data() + size_t(cinfo.output_scanline) * width * 3;
        jpeg_read_scanlines(&cinfo, &pointer, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return pixels;
}

// Rows of reduced (stored bottom-up) that differ from expected (top first, as LibjpegEighth
// gives them); every row when the sizes differ.
int DifferingRows(const RasterImage& reduced, const std::vector<uint8_t>& expected, uint32_t width, uint32_t height) {
    if (reduced.GetWidth() != width || reduced.GetHeight() != height) return int(height);
    int differing = 0;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = reduced.RowPointer(height - 1 - y);
        differing += std::memcmp(row, expected.data() + size_t(y) * width * 3, size_t(width) * 3) != 0;
    }
    return differing;
}

// Start-of-scan headers of a stream: the first coefficient of each scan.
std::vector<int> ScanFirstCoefficients(const std::vector<uint8_t>& stream) {
    std::vector<int> starts;
    for (size_t i = 0; i + 5 < stream.size(); ++i) {
        if (stream[i] != 0xFF || stream[i + 1] != 0xDA) continue;
        const size_t components = stream[i + 4];
        if (i + 5 + 2 * components < stream.size()) starts.push_back(stream[i + 5 + 2 * components]);
    }
    return starts;
}

}  // namespace

TEST(ReducedJpegDecode, ProgressiveStreamsGiveExactlyThePixelsOfTheWholeStream) {
    const struct {
        const char* name;
        EncodeOptions options;
    } cases[] = {
        {"4:4:4", {true, 1, 0}},
        {"4:2:0, chroma scaled in the transform", {true, 2, 0}},
        {"4:4:4 with restart markers", {true, 1, 1}},
        {"baseline", {false, 2, 0}},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> stream = EncodeTexturedJpeg(517, 389, c.options);
        uint32_t width = 0;
        uint32_t height = 0;
        const std::vector<uint8_t> expected = LibjpegEighth(stream, width, height);
        ASSERT_EQ(width, 65u) << c.name;
        ASSERT_EQ(height, 49u) << c.name;

        RasterImage reduced;
        ASSERT_TRUE(DecodeJpegReduced(stream.data(), stream.size(), 60, 45, reduced)) << c.name;
        EXPECT_EQ(DifferingRows(reduced, expected, width, height), 0)
            << c.name << ": rows differ from libjpeg's decode of the whole stream";
    }
}

TEST(ReducedJpegDecode, CoefficientMemoryLeftByAnotherPictureDoesNotShowThrough) {
    // The coefficients of a progressive frame come from the block pool, which hands out what
    // the last owner left. At 4:2:0 the chroma keeps its AC scans, which write only the nonzero
    // coefficients: anything but zeros underneath would change the pixels.
    const std::vector<uint8_t> first = EncodeTexturedJpeg(1100, 800, {true, 2, 0});
    const std::vector<uint8_t> second = EncodeTexturedJpeg(1024, 768, {true, 2, 0});
    RasterImage reduced;
    ASSERT_TRUE(DecodeJpegReduced(first.data(), first.size(), 100, 80, reduced));
    EXPECT_GT(RasterBlockPool::Shared().Kept().blocks, 0u) << "the first frame's block is kept for the next";
    uint32_t width = 0;
    uint32_t height = 0;
    const std::vector<uint8_t> expected = LibjpegEighth(second, width, height);
    ASSERT_TRUE(DecodeJpegReduced(second.data(), second.size(), 100, 80, reduced));
    EXPECT_EQ(DifferingRows(reduced, expected, width, height), 0);
}

TEST(ReducedJpegDecode, OnlyTheAcScansOfSingleSampleComponentsAreDropped) {
    const std::vector<uint8_t> progressive = EncodeTexturedJpeg(300, 200, {true, 1, 0});
    const std::vector<int> starts = ScanFirstCoefficients(progressive);
    const auto acScans = size_t(std::count_if(starts.begin(), starts.end(), [](int s) { return s > 0; }));
    ASSERT_GT(acScans, 0u);

    std::bitset<256> all;
    all.set();
    std::vector<uint8_t> lean;
    size_t dropped = 0;
    ASSERT_TRUE(DropAcScans(progressive.data(), progressive.size(), all, lean, dropped));
    EXPECT_EQ(dropped, acScans);
    const std::vector<int> kept = ScanFirstCoefficients(lean);
    EXPECT_EQ(kept.size(), starts.size() - acScans);
    EXPECT_TRUE(std::all_of(kept.begin(), kept.end(), [](int s) { return s == 0; }));
    EXPECT_EQ(lean[lean.size() - 2], 0xFF);
    EXPECT_EQ(lean.back(), 0xD9) << "the end marker is kept";

    // Component 1 (luma) alone: the chroma AC scans stay.
    std::bitset<256> luma;
    luma.set(1);
    ASSERT_TRUE(DropAcScans(progressive.data(), progressive.size(), luma, lean, dropped));
    EXPECT_GT(dropped, 0u);
    EXPECT_LT(dropped, acScans);

    // A baseline stream has no AC-only scan.
    const std::vector<uint8_t> baseline = EncodeTexturedJpeg(300, 200, {false, 1, 0});
    ASSERT_TRUE(DropAcScans(baseline.data(), baseline.size(), all, lean, dropped));
    EXPECT_EQ(dropped, 0u);
    EXPECT_EQ(lean, baseline);
}

TEST(ReducedJpegDecode, ProgressiveFramesBeyondThePictureMemoryLimitAreRefusedBeforeAnyIsAllocated) {
    // A small progressive file whose frame claims 30000 x 30000 pixels (4:4:4: 5.4 GB of
    // coefficients) and whose only scan ends at an end-of-image marker: libjpeg fills the rest
    // of the frame with zeros instead of stopping, so without a limit every coefficient of the
    // frame would be allocated and written.
    std::vector<uint8_t> stream = EncodeTexturedJpeg(64, 64, {true, 1, 0});
    const uint8_t startOfFrame[] = {0xFF, 0xC2};
    const auto sof = std::search(stream.begin(), stream.end(), std::begin(startOfFrame), std::end(startOfFrame));
    ASSERT_NE(sof, stream.end());
    constexpr uint16_t kClaimed = 30000;
    sof[5] = sof[7] = uint8_t(kClaimed >> 8);   // height, then width, big-endian
    sof[6] = sof[8] = uint8_t(kClaimed & 0xFF);
    const uint8_t startOfScan[] = {0xFF, 0xDA};
    const auto firstScan = std::search(stream.begin(), stream.end(), std::begin(startOfScan), std::end(startOfScan));
    ASSERT_NE(firstScan, stream.end());
    const auto secondScan = std::search(firstScan + 2, stream.end(), std::begin(startOfScan), std::end(startOfScan));
    ASSERT_NE(secondScan, stream.end());
    stream.erase(secondScan, stream.end());
    stream.insert(stream.end(), {0xFF, 0xD9});

    uint32_t width = 0;
    uint32_t height = 0;
    ASSERT_TRUE(ReadJpegFrameSize(stream.data(), stream.size(), width, height));
    EXPECT_EQ(width, kClaimed);
    RasterImage reduced;
    EXPECT_FALSE(DecodeJpegReduced(stream.data(), stream.size(), 16, 16, reduced));
    EXPECT_FALSE(reduced.IsValid());
}

TEST(ReducedJpegDecode, DamagedProgressiveStreamsFailWithoutHarm) {
    const std::vector<uint8_t> progressive = EncodeTexturedJpeg(300, 200, {true, 1, 0});
    std::bitset<256> all;
    all.set();
    std::vector<uint8_t> lean;
    size_t dropped = 0;
    // Cut anywhere: the walk fails instead of reading past the end, and the reduced decode
    // reports the damage (a stream cut before its end is never a thumbnail).
    for (size_t cut = 0; cut + 1 < progressive.size(); cut += 97) {
        const std::vector<uint8_t> part(progressive.begin(), progressive.begin() + std::ptrdiff_t(cut));
        EXPECT_FALSE(DropAcScans(part.data(), part.size(), all, lean, dropped)) << cut;
        RasterImage reduced;
        EXPECT_FALSE(DecodeJpegReduced(part.data(), part.size(), 30, 20, reduced)) << cut;
    }
    // A scan header whose length does not match its component count.
    std::vector<uint8_t> broken = progressive;
    const uint8_t startOfScan[] = {0xFF, 0xDA};
    const auto sos = std::search(broken.begin(), broken.end(), std::begin(startOfScan), std::end(startOfScan));
    ASSERT_NE(sos, broken.end());
    sos[4] = 9;
    EXPECT_FALSE(DropAcScans(broken.data(), broken.size(), all, lean, dropped));
}
