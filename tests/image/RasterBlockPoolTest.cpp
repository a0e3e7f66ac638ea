// The store of large freed picture blocks: which blocks it hands out again, its limits, its
// use from several threads, and pictures made in reused blocks.
#include <gtest/gtest.h>

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "image/RasterBlockPool.h"
#include "image/RasterImage.h"
#include "TestSupport.h"

using testsupport::AddPatternAlpha;
using testsupport::MakePatternImage;
using testsupport::SamePixels;

namespace {

constexpr size_t kMiB = size_t(1) << 20;

// Takes blocks from a pool and gives back whatever the test did not hand back itself.
class Holder {
public:
    explicit Holder(RasterBlockPool& pool) : m_pool(pool) {}
    ~Holder() {
        for (uint8_t* block : m_blocks) m_pool.Release(block);
    }
    uint8_t* Take(size_t bytes) {
        uint8_t* block = m_pool.Allocate(bytes);
        if (block) {
            std::memset(block, 0x3C, bytes);  // every byte asked for is there to be written
            m_blocks.push_back(block);
        }
        return block;
    }
    void GiveBack(uint8_t* block) {
        std::erase(m_blocks, block);
        m_pool.Release(block);
    }

private:
    RasterBlockPool& m_pool;
    std::vector<uint8_t*> m_blocks;
};

}  // namespace

TEST(RasterBlockPool, ReusesAFreedBlockForTheSameOrASlightlySmallerSize) {
    RasterBlockPool pool;
    Holder holder(pool);
    uint8_t* first = holder.Take(8 * kMiB);
    ASSERT_NE(first, nullptr);
    holder.GiveBack(first);
    EXPECT_EQ(pool.Kept().blocks, 1u);
    EXPECT_GE(pool.Kept().bytes, 8 * kMiB);

    uint8_t* again = holder.Take(8 * kMiB);
    EXPECT_EQ(again, first);
    EXPECT_EQ(pool.Kept().blocks, 0u);
    EXPECT_EQ(pool.Kept().bytes, 0u);

    holder.GiveBack(again);
    EXPECT_EQ(holder.Take(8 * kMiB - 300 * 1024 - 7), first);
}

TEST(RasterBlockPool, NeverHandsOutABlockTooSmallOrFarTooLarge) {
    RasterBlockPool pool;
    Holder holder(pool);
    uint8_t* small = holder.Take(4 * kMiB);
    uint8_t* large = holder.Take(40 * kMiB);
    const size_t smallUsable = malloc_usable_size(small);
    holder.GiveBack(small);
    holder.GiveBack(large);
    ASSERT_EQ(pool.Kept().blocks, 2u);

    // Between the two: the small one is too small, the large one wastes too much.
    uint8_t* middle = holder.Take(12 * kMiB);
    EXPECT_NE(middle, small);
    EXPECT_NE(middle, large);
    EXPECT_EQ(pool.Kept().blocks, 2u);
    EXPECT_GE(malloc_usable_size(middle), 12 * kMiB);
    // One byte more than the small one holds.
    EXPECT_NE(holder.Take(smallUsable + 1), small);
    EXPECT_EQ(pool.Kept().blocks, 2u);
}

TEST(RasterBlockPool, ChoosesTheSmallestBlockThatFits) {
    RasterBlockPool pool;
    Holder holder(pool);
    // The allocator may give more than asked (alignment): the blocks are ranked by what they hold.
    std::vector<uint8_t*> blocks{holder.Take(16 * kMiB), holder.Take(8 * kMiB), holder.Take(12 * kMiB)};
    std::sort(blocks.begin(), blocks.end(),
              [](uint8_t* a, uint8_t* b) { return malloc_usable_size(a) < malloc_usable_size(b); });
    for (uint8_t* block : blocks) holder.GiveBack(block);
    EXPECT_EQ(holder.Take(malloc_usable_size(blocks[1])), blocks[1]);
    EXPECT_EQ(holder.Take(malloc_usable_size(blocks[0]) - 1000), blocks[0]);
    EXPECT_EQ(holder.Take(malloc_usable_size(blocks[2])), blocks[2]);
}

TEST(RasterBlockPool, JudgesABlockByWhatTheAllocatorGaveNotByWhatItWasAskedFor) {
    RasterBlockPool pool;
    Holder holder(pool);
    // A plane from plain malloc, given back by a picture that adopted it.
    auto* plane = static_cast<uint8_t*>(std::malloc(5 * kMiB));
    ASSERT_NE(plane, nullptr);
    const size_t usable = malloc_usable_size(plane);
    pool.Release(plane);
    EXPECT_EQ(pool.Kept().bytes, usable);
    EXPECT_NE(holder.Take(usable + 1), plane);
    EXPECT_EQ(holder.Take(usable), plane);
}

TEST(RasterBlockPool, KeepsNoSmallBlocksAndNothingBeyondItsByteLimit) {
    RasterBlockPool pool(RasterBlockPool::Limits{4, 16 * kMiB});
    pool.Release(std::malloc(64 * 1024));
    pool.Release(std::malloc(RasterBlockPool::kLargeBlockBytes - 4096));
    pool.Release(nullptr);
    EXPECT_EQ(pool.Kept().blocks, 0u);
    // Small requests come straight from the allocator, as do zero-byte ones (as nothing).
    uint8_t* small = pool.Allocate(1000);
    ASSERT_NE(small, nullptr);
    pool.Release(small);
    EXPECT_EQ(pool.Allocate(0), nullptr);
    // Larger than all the pool may keep.
    Holder holder(pool);
    holder.GiveBack(holder.Take(20 * kMiB));
    EXPECT_EQ(pool.Kept().blocks, 0u);
}

TEST(RasterBlockPool, EvictsTheOldestBlocksBeyondItsLimits) {
    RasterBlockPool pool(RasterBlockPool::Limits{3, 20 * kMiB});
    Holder holder(pool);
    std::vector<uint8_t*> blocks;
    for (size_t i = 0; i < 5; ++i) blocks.push_back(holder.Take(3 * kMiB + i * 64 * 1024));
    for (uint8_t* block : blocks) holder.GiveBack(block);
    EXPECT_EQ(pool.Kept().blocks, 3u);
    // The newest three are kept; the oldest two are gone.
    std::set<uint8_t*> handedOut;
    for (size_t i = 0; i < 3; ++i) handedOut.insert(holder.Take(3 * kMiB));
    EXPECT_EQ(handedOut, (std::set<uint8_t*>{blocks[2], blocks[3], blocks[4]}));
    EXPECT_EQ(pool.Kept().blocks, 0u);

    // The byte limit: three 8 MiB blocks do not fit in 20 MiB, the first one goes.
    std::vector<uint8_t*> large{holder.Take(8 * kMiB), holder.Take(8 * kMiB), holder.Take(8 * kMiB)};
    for (uint8_t* block : large) holder.GiveBack(block);
    EXPECT_EQ(pool.Kept().blocks, 2u);
    EXPECT_LE(pool.Kept().bytes, 20 * kMiB);
    const std::set<uint8_t*> kept{holder.Take(8 * kMiB), holder.Take(8 * kMiB)};
    EXPECT_EQ(kept, (std::set<uint8_t*>{large[1], large[2]}));
}

TEST(RasterBlockPool, ReleaseAllAndCloseFreeWhatIsKept) {
    RasterBlockPool pool;
    Holder holder(pool);
    holder.GiveBack(holder.Take(3 * kMiB));
    // Larger than whatever the first block holds (its alignment may leave it up to about
    // 6 MiB), so that it cannot be reused for this one.
    holder.GiveBack(holder.Take(9 * kMiB));
    ASSERT_EQ(pool.Kept().blocks, 2u);
    pool.ReleaseAll();
    EXPECT_EQ(pool.Kept().blocks, 0u);
    EXPECT_EQ(pool.Kept().bytes, 0u);
    holder.GiveBack(holder.Take(3 * kMiB));
    EXPECT_EQ(pool.Kept().blocks, 1u);
    // A closed pool keeps nothing more but still hands out blocks.
    pool.Close();
    EXPECT_EQ(pool.Kept().blocks, 0u);
    uint8_t* block = holder.Take(3 * kMiB);
    ASSERT_NE(block, nullptr);
    holder.GiveBack(block);
    EXPECT_EQ(pool.Kept().blocks, 0u);
}

TEST(RasterBlockPool, ServesSeveralThreadsWithoutHandingOneBlockToTwo) {
    RasterBlockPool pool(RasterBlockPool::Limits{4, 24 * kMiB});
    constexpr int kThreads = 4;
    constexpr int kRounds = 60;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&pool, &failures, t] {
            for (int round = 0; round < kRounds; ++round) {
                const size_t bytes = (2 + size_t((round + t) % 3)) * kMiB + size_t(t) * 4096;
                uint8_t* block = pool.Allocate(bytes);
                if (!block) {
                    ++failures;
                    continue;
                }
                // The block is this thread's alone until it is given back.
                const auto mark = uint8_t(t * 16 + round % 16);
                std::memset(block, mark, 64 * 1024);
                std::memset(block + bytes - 4096, mark, 4096);
                std::this_thread::yield();
                if (block[0] != mark || block[32 * 1024] != mark || block[bytes - 1] != mark) ++failures;
                pool.Release(block);
                if (round % 20 == 19) pool.ReleaseAll();
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_LE(pool.Kept().blocks, 4u);
    EXPECT_LE(pool.Kept().bytes, 24 * kMiB);
}

#if defined(__SANITIZE_ADDRESS__)
TEST(RasterBlockPoolDeathTest, AKeptBlockCannotBeTouchedUnnoticed) {
    RasterBlockPool pool;
    uint8_t* block = pool.Allocate(3 * kMiB);
    ASSERT_NE(block, nullptr);
    block[100] = 1;
    pool.Release(block);
    volatile uint8_t* stale = block;
    EXPECT_DEATH(stale[100] = 2, "use-after-poison");
    // Handed out again, it is usable everywhere.
    uint8_t* again = pool.Allocate(3 * kMiB);
    ASSERT_EQ(again, block);
    std::memset(again, 7, 3 * kMiB);
    pool.Release(again);
}
#endif

// ---- pictures in reused blocks ------------------------------------------------------------

namespace {

// Large enough that pixel blocks and alpha planes go through the pool.
constexpr uint32_t kWidth = 1603;
constexpr uint32_t kHeight = 1397;

// Leaves in the shared pool a pixel block and an alpha plane for a width x height picture of
// depth bpp full of bytes that no operation writes, and returns the pixel block.
const uint8_t* PrimeWithLeftovers(uint32_t width, uint32_t height, uint32_t bpp) {
    RasterImage leftover;
    if (!leftover.Create(width, height, bpp, 0) || !leftover.CreateAlpha()) return nullptr;
    std::memset(leftover.GetBits(), 0xA7, leftover.GetHeader().biSizeImage);
    std::memset(leftover.GetAlphaPlane(), 0x5B, size_t(width) * height);
    const uint8_t* block = leftover.GetBlock();
    leftover.Destroy();
    return block;
}

RasterImage PatternWithAlpha(uint32_t width, uint32_t height) {
    RasterImage image = MakePatternImage(width, height);
    AddPatternAlpha(image);
    return image;
}

// An operation whose result (resultWidth x resultHeight, resultBpp) is a new picture: its
// source is made first, then the pool is primed, then the operation runs.
struct ReuseCase {
    std::string name;
    uint32_t resultWidth;
    uint32_t resultHeight;
    uint32_t resultBpp;
    std::function<RasterImage()> source;
    std::function<bool(RasterImage& source, RasterImage& result)> apply;
};

// In-place operations: the source becomes the result, which then gets its new block.
std::function<bool(RasterImage&, RasterImage&)> InPlace(bool (*operation)(RasterImage&)) {
    return [operation](RasterImage& source, RasterImage& result) {
        result.TakeOver(source);
        return operation(result);
    };
}

std::vector<ReuseCase> ReuseCases() {
    const auto photo = [] { return PatternWithAlpha(kWidth, kHeight); };
    return {
        {"copy", kWidth, kHeight, 24, photo, [](RasterImage& s, RasterImage& r) { return r.Copy(s); }},
        {"rotate left", kHeight, kWidth, 24, photo, [](RasterImage& s, RasterImage& r) { return s.RotateLeft(&r); }},
        {"rotate right, 8 bits", kHeight, kWidth, 8, [] { return MakePatternImage(kWidth, kHeight, 8); },
         [](RasterImage& s, RasterImage& r) { return s.RotateRight(&r); }},
        {"mirror", kWidth, kHeight, 24, photo, InPlace([](RasterImage& r) { return r.Mirror(); })},
        {"enlarge", kWidth, kHeight, 24, [] { return PatternWithAlpha(401, 299); },
         [](RasterImage& s, RasterImage& r) { return s.Rescale(kWidth, kHeight, RASTER_RESCALE_AREA, &r); }},
        {"shrink", kWidth, kHeight, 24, [] { return PatternWithAlpha(kWidth * 2 - 5, kHeight + 3); },
         [](RasterImage& s, RasterImage& r) { return s.Rescale(kWidth, kHeight, RASTER_RESCALE_AREA, &r); }},
        {"crop", kWidth, kHeight, 24, [] { return PatternWithAlpha(kWidth + 40, kHeight + 30); },
         [](RasterImage& s, RasterImage& r) { return s.Crop(RasterRect{17, 11, 17 + kWidth, 11 + kHeight}, &r); }},
        // The window starts above and left of the picture: that part is not the picture's.
        {"copy a region reaching outside", kWidth, kHeight, 24, [] { return PatternWithAlpha(kWidth - 31, kHeight - 17); },
         [](RasterImage& s, RasterImage& r) { return s.CopyRegion(-31, -17, r); }},
        {"4 bits to 24", kWidth, kHeight, 24, [] { return MakePatternImage(kWidth, kHeight, 4); },
         InPlace([](RasterImage& r) { return r.IncreaseBpp(24); })},
    };
}

// The result of c with the pool emptied first, or primed with leftovers of the result's size
// first (then *primed is the leftover pixel block).
bool MakeResult(const ReuseCase& c, RasterImage& result, const uint8_t** primed) {
    RasterImage source = c.source();
    RasterBlockPool::Shared().ReleaseAll();
    if (primed) *primed = PrimeWithLeftovers(c.resultWidth, c.resultHeight, c.resultBpp);
    return c.apply(source, result);
}

}  // namespace

TEST(RasterBlockPoolPictures, OperationsGiveTheSameBytesInReusedBlocksAsInFreshOnes) {
    for (const ReuseCase& c : ReuseCases()) {
        SCOPED_TRACE(c.name);
        RasterImage fresh;
        ASSERT_TRUE(MakeResult(c, fresh, nullptr));
        ASSERT_EQ(fresh.GetWidth(), c.resultWidth);
        ASSERT_EQ(fresh.GetHeight(), c.resultHeight);
        ASSERT_EQ(fresh.GetBpp(), c.resultBpp);

        const uint8_t* primed = nullptr;
        RasterImage reused;
        ASSERT_TRUE(MakeResult(c, reused, &primed));
        ASSERT_NE(primed, nullptr);
        EXPECT_EQ(reused.GetBlock(), primed) << "the leftover block was not reused";
        EXPECT_TRUE(SamePixels(reused, fresh));
        EXPECT_EQ(std::memcmp(reused.GetBits(), fresh.GetBits(), fresh.GetHeader().biSizeImage), 0)
            << "row padding differs";
    }
    RasterBlockPool::Shared().ReleaseAll();
}

TEST(RasterBlockPoolPictures, DecodingIntoAReusedBlockGivesTheSamePicture) {
    const RasterImage original = MakePatternImage(kWidth, kHeight);
    for (const uint32_t type : {RASTER_FORMAT_PNG, RASTER_FORMAT_JPG, RASTER_FORMAT_BMP}) {
        SCOPED_TRACE(type);
        testsupport::TempDir dir;
        const std::string path = (dir / "picture").string();
        ASSERT_TRUE(RasterImage(original).Save(path.c_str(), type));
        RasterBlockPool::Shared().ReleaseAll();
        RasterImage fresh;
        ASSERT_TRUE(fresh.Load(path.c_str(), type));
        RasterBlockPool::Shared().ReleaseAll();
        const uint8_t* primed = PrimeWithLeftovers(kWidth, kHeight, 24);
        RasterImage reused;
        ASSERT_TRUE(reused.Load(path.c_str(), type));
        EXPECT_EQ(reused.GetBlock(), primed);
        EXPECT_TRUE(SamePixels(reused, fresh));
    }
    RasterBlockPool::Shared().ReleaseAll();
}

TEST(RasterBlockPoolPictures, AReleasedPictureLeavesItsBlocksForTheNextOfItsSize) {
    RasterBlockPool::Shared().ReleaseAll();
    RasterImage first = PatternWithAlpha(kWidth, kHeight);
    const uint8_t* block = first.GetBlock();
    const uint8_t* alpha = first.GetAlphaPlane();
    first.Destroy();
    EXPECT_EQ(RasterBlockPool::Shared().Kept().blocks, 2u);
    RasterImage second;
    ASSERT_NE(second.Create(kWidth - 3, kHeight, 24, 0), nullptr);
    ASSERT_TRUE(second.CreateAlpha());
    EXPECT_EQ(second.GetBlock(), block);
    EXPECT_EQ(second.GetAlphaPlane(), alpha);
    // CreateAlpha makes the reused plane opaque, whatever it held.
    const uint8_t* plane = second.GetAlphaPlane();
    const size_t count = size_t(second.GetWidth()) * second.GetHeight();
    EXPECT_TRUE(std::all_of(plane, plane + count, [](uint8_t a) { return a == RASTER_ALPHA_OPAQUE; }));
    // Deleting the plane and adopting one made elsewhere give blocks back too.
    second.DeleteAlpha();
    EXPECT_EQ(RasterBlockPool::Shared().Kept().blocks, 1u);
    auto* adopted = static_cast<uint8_t*>(std::malloc(count));
    ASSERT_NE(adopted, nullptr);
    second.AdoptAlphaPlane(adopted);
    second.AdoptAlphaPlane(nullptr);
    EXPECT_EQ(RasterBlockPool::Shared().Kept().blocks, 2u);
    RasterBlockPool::Shared().ReleaseAll();
}

TEST(RasterBlockPoolPictures, ANewPictureInAReusedBlockHasCleanRowEnds) {
    // 1603 pixels: 200 whole bytes and 3 bits at 1 bit per pixel, 3 bytes of padding at 24 bits.
    for (const uint32_t bpp : {1u, 4u, 8u, 24u}) {
        SCOPED_TRACE(bpp);
        const uint32_t height = uint32_t((3 * kMiB) / RasterImage::StrideFor(kWidth, bpp));
        RasterBlockPool::Shared().ReleaseAll();
        const uint8_t* primed = PrimeWithLeftovers(kWidth, height, bpp);
        RasterImage image;
        ASSERT_NE(image.Create(kWidth, height, bpp, 0), nullptr);
        ASSERT_EQ(image.GetBlock(), primed);
        const size_t whole = size_t(kWidth) * bpp / 8;
        const uint8_t lastBits = uint8_t(0xFF >> ((kWidth * bpp) % 8));  // the bits past the last pixel
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* row = image.RowPointer(y);
            if (whole < image.GetStride() && (row[whole] & lastBits) != 0) FAIL() << "stale bits in row " << y;
            for (size_t i = whole + 1; i < image.GetStride(); ++i) {
                if (row[i] != 0) FAIL() << "stale padding in row " << y;
            }
        }
    }
    RasterBlockPool::Shared().ReleaseAll();
}
