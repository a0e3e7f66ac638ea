// The byte streams the codecs read and write: the growable memory buffer and the C stream.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "image/RasterFile.h"
#include "TestSupport.h"

namespace {

std::vector<uint8_t> Sequence(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(i * 7 + 3);
    return v;
}

// ---- RasterMemFile -------------------------------------------------------------------------

TEST(RasterMemFile, OpenStartsAnEmptyOwnedBufferOnlyOnce) {
    RasterMemFile file;
    EXPECT_EQ(file.GetBuffer(), nullptr);
    ASSERT_TRUE(file.Open());
    EXPECT_NE(file.GetBuffer(), nullptr);
    EXPECT_EQ(file.Size(), 0);
    EXPECT_EQ(file.Tell(), 0);
    EXPECT_EQ(file.GetCapacity(), 0);
    EXPECT_FALSE(file.Open());

    uint8_t caller[4] = {1, 2, 3, 4};
    RasterMemFile onBuffer(caller, sizeof(caller));
    EXPECT_FALSE(onBuffer.Open());
    EXPECT_EQ(onBuffer.Size(), 4);
    EXPECT_EQ(onBuffer.GetCapacity(), 4);
}

TEST(RasterMemFile, WritesGrowInWhole64KiBStepsPastTheNeededLength) {
    struct Case {
        size_t written;
        int32_t capacity;
    };
    for (const Case& c : {Case{1, 65536}, Case{65535, 65536}, Case{65536, 131072}, Case{70000, 131072}}) {
        SCOPED_TRACE(c.written);
        RasterMemFile file;
        ASSERT_TRUE(file.Open());
        const std::vector<uint8_t> data = Sequence(c.written);
        EXPECT_EQ(file.Write(data.data(), 1, data.size()), data.size());
        EXPECT_EQ(file.GetCapacity(), c.capacity);
        EXPECT_EQ(file.Size(), int64_t(c.written));
        EXPECT_EQ(file.Tell(), int64_t(c.written));
        EXPECT_EQ(0, std::memcmp(file.GetBuffer(), data.data(), data.size()));
    }
}

TEST(RasterMemFile, WriteReturnsWholeItemsAndRefusesNothingToWrite) {
    RasterMemFile file;
    const uint32_t items[3] = {1, 2, 3};
    EXPECT_EQ(file.Write(items, 4, 3), 0u);   // no buffer yet
    ASSERT_TRUE(file.Open());
    EXPECT_EQ(file.Write(items, 4, 3), 3u);
    EXPECT_EQ(file.Size(), 12);
    EXPECT_EQ(file.Write(nullptr, 1, 5), 0u);
    EXPECT_EQ(file.Write(items, 0, 5), 0u);
    EXPECT_EQ(file.Write(items, 4, 0), 0u);
    EXPECT_EQ(file.Size(), 12);
}

TEST(RasterMemFile, OverwritingInsideTheDataKeepsItsSize) {
    RasterMemFile file;
    ASSERT_TRUE(file.Open());
    const std::vector<uint8_t> data = Sequence(10);
    file.Write(data.data(), 1, 10);
    ASSERT_TRUE(file.Seek(2, RASTER_SEEK_SET));
    const uint8_t x[2] = {0xAA, 0xBB};
    file.Write(x, 1, 2);
    EXPECT_EQ(file.Size(), 10);
    EXPECT_EQ(file.Tell(), 4);
    EXPECT_EQ(file.GetBuffer()[2], 0xAA);
    EXPECT_EQ(file.GetBuffer()[9], data[9]);
}

TEST(RasterMemFile, ReadCopiesWhatIsThereAndCountsWholeItems) {
    std::vector<uint8_t> data = Sequence(10);
    RasterMemFile file(data.data(), uint32_t(data.size()));
    uint8_t out[16] = {};
    EXPECT_EQ(file.Read(out, 4, 2), 2u);
    EXPECT_EQ(0, std::memcmp(out, data.data(), 8));
    // Two bytes left: they are copied, but they are no whole 4-byte item.
    std::memset(out, 0, sizeof(out));
    EXPECT_EQ(file.Read(out, 4, 1), 0u);
    EXPECT_EQ(out[0], data[8]);
    EXPECT_EQ(out[1], data[9]);
    EXPECT_EQ(file.Tell(), 10);
    EXPECT_TRUE(file.Eof());
    EXPECT_EQ(file.Read(out, 1, 1), 0u);
    EXPECT_EQ(file.GetC(), EOF);
}

TEST(RasterMemFile, SeekFromEachOriginAndItsEdges) {
    std::vector<uint8_t> data = Sequence(10);
    RasterMemFile file(data.data(), uint32_t(data.size()));
    EXPECT_TRUE(file.Seek(3, RASTER_SEEK_SET));
    EXPECT_EQ(file.Tell(), 3);
    EXPECT_TRUE(file.Seek(2, RASTER_SEEK_CUR));
    EXPECT_EQ(file.Tell(), 5);
    EXPECT_TRUE(file.Seek(-1, RASTER_SEEK_END));
    EXPECT_EQ(file.Tell(), 9);
    EXPECT_EQ(file.GetC(), data[9]);
    EXPECT_TRUE(file.Seek(-100, RASTER_SEEK_CUR));
    EXPECT_EQ(file.Tell(), 0);
    EXPECT_TRUE(file.Seek(50, RASTER_SEEK_SET));   // past the end is allowed ...
    EXPECT_TRUE(file.Eof());                       // ... and reads nothing
    EXPECT_FALSE(file.Seek(0, 3));
    EXPECT_EQ(file.Tell(), 50);

    RasterMemFile none;
    EXPECT_FALSE(none.Seek(0, RASTER_SEEK_SET));
}

TEST(RasterMemFile, WritingPastTheEndLeavesZerosInTheGap) {
    RasterMemFile file;
    ASSERT_TRUE(file.Open());
    const uint8_t a = 0x11;
    file.Write(&a, 1, 1);
    ASSERT_TRUE(file.Seek(1000, RASTER_SEEK_SET));
    file.Write(&a, 1, 1);
    ASSERT_TRUE(file.Seek(3000, RASTER_SEEK_SET));
    file.PutC(0x22);
    ASSERT_EQ(file.Size(), 3001);
    for (int64_t i = 1; i < 3000; ++i) {
        if (i != 1000) {
            ASSERT_EQ(file.GetBuffer()[i], 0) << i;
        }
    }
    EXPECT_EQ(file.GetBuffer()[3000], 0x22);
}

TEST(RasterMemFile, PutCGrowsLikeWrite) {
    RasterMemFile file;
    ASSERT_TRUE(file.Open());
    EXPECT_TRUE(file.PutC(7));
    EXPECT_EQ(file.GetCapacity(), 65536);
    for (int i = 1; i < 65536; ++i) ASSERT_TRUE(file.PutC(uint8_t(i)));
    EXPECT_EQ(file.GetCapacity(), 65536);
    EXPECT_TRUE(file.PutC(9));
    EXPECT_EQ(file.GetCapacity(), 131072);
    EXPECT_EQ(file.Size(), 65537);
    EXPECT_EQ(file.GetBuffer()[0], 7);
    EXPECT_EQ(file.GetBuffer()[65536], 9);

    RasterMemFile none;
    EXPECT_FALSE(none.PutC(1));
}

TEST(RasterMemFile, CallersBufferIsCopiedWhenItMustGrowAndNeverFreed) {
    // A stack buffer: freeing or reallocating it would be caught at once.
    uint8_t caller[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    {
        RasterMemFile file(caller, sizeof(caller));
        ASSERT_TRUE(file.Seek(0, RASTER_SEEK_END));
        const std::vector<uint8_t> more = Sequence(100);
        EXPECT_EQ(file.Write(more.data(), 1, more.size()), more.size());
        EXPECT_NE(file.GetBuffer(), caller);
        EXPECT_EQ(file.Size(), 108);
        EXPECT_EQ(0, std::memcmp(file.GetBuffer(), caller, sizeof(caller)));
        EXPECT_EQ(0, std::memcmp(file.GetBuffer() + 8, more.data(), more.size()));
    }
    const uint8_t expected[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(0, std::memcmp(caller, expected, sizeof(caller)));

    // Writes that fit stay in the caller's buffer.
    uint8_t small[4] = {0, 0, 0, 0};
    RasterMemFile inPlace(small, sizeof(small));
    const uint8_t x = 0x5A;
    inPlace.Seek(1, RASTER_SEEK_SET);
    inPlace.Write(&x, 1, 1);
    EXPECT_EQ(inPlace.GetBuffer(), small);
    EXPECT_EQ(small[1], 0x5A);
}

TEST(RasterMemFile, TextReading) {
    const char text[] = "12 abc\nsecond line\n";
    RasterMemFile file(reinterpret_cast<uint8_t*>(const_cast<char*>(text)), uint32_t(sizeof(text) - 1));
    int number = 0;
    EXPECT_EQ(file.Scanf("%d", &number), 1);
    EXPECT_EQ(number, 12);
    char line[32];
    ASSERT_NE(file.GetS(line, sizeof(line)), nullptr);
    EXPECT_STREQ(line, " abc\n");
    ASSERT_NE(file.GetS(line, 7), nullptr);
    EXPECT_STREQ(line, "second");
    ASSERT_NE(file.GetS(line, sizeof(line)), nullptr);
    EXPECT_STREQ(line, " line\n");
    EXPECT_EQ(file.GetS(line, sizeof(line)), nullptr);
    EXPECT_EQ(file.Scanf("%d", &number), EOF);
}

// ---- RasterIOFile --------------------------------------------------------------------------

TEST(RasterIOFile, OpensWritesReadsAndSeeks) {
    testsupport::TempDir dir;
    const std::string path = (dir / "data.bin").string();
    {
        RasterIOFile file;
        EXPECT_FALSE(file.Open((dir / "missing" / "x").string().c_str(), "rb"));
        ASSERT_TRUE(file.Open(path.c_str(), "wb"));
        EXPECT_FALSE(file.Open(path.c_str(), "wb"));
        const std::vector<uint8_t> data = Sequence(300);
        EXPECT_EQ(file.Write(data.data(), 3, 100), 100u);
        EXPECT_TRUE(file.PutC(0xEE));
        EXPECT_TRUE(file.Flush());
        EXPECT_EQ(file.Size(), 301);
        EXPECT_EQ(file.Tell(), 301);
    }   // closed by the object that opened it
    ASSERT_EQ(testsupport::ReadFileBytes(path).size(), 301u);

    RasterIOFile file;
    ASSERT_TRUE(file.Open(path.c_str(), "rb"));
    EXPECT_TRUE(file.Seek(-1, RASTER_SEEK_END));
    EXPECT_EQ(file.GetC(), 0xEE);
    EXPECT_EQ(file.GetC(), EOF);
    EXPECT_TRUE(file.Eof());
    EXPECT_TRUE(file.Seek(10, RASTER_SEEK_SET));
    EXPECT_TRUE(file.Seek(5, RASTER_SEEK_CUR));
    EXPECT_EQ(file.Tell(), 15);
    EXPECT_FALSE(file.Seek(0, 7));
    uint8_t out[4];
    EXPECT_EQ(file.Read(out, 2, 2), 2u);
    EXPECT_EQ(out[0], Sequence(300)[15]);
    EXPECT_EQ(file.Error(), 0);
    EXPECT_TRUE(file.Close());
    EXPECT_FALSE(file.Close());
    EXPECT_EQ(file.Read(out, 1, 1), 0u);
}

TEST(RasterIOFile, StreamHandedInStaysOpenForTheCaller) {
    testsupport::TempDir dir;
    const std::string path = (dir / "stream.bin").string();
    FILE* stream = std::fopen(path.c_str(), "w+b");
    ASSERT_NE(stream, nullptr);
    {
        RasterIOFile file(stream);
        const uint8_t a[2] = {1, 2};
        EXPECT_EQ(file.Write(a, 1, 2), 2u);
    }
    // Still ours to use and close.
    EXPECT_EQ(std::fputc(3, stream), 3);
    EXPECT_EQ(std::fclose(stream), 0);
    EXPECT_EQ(testsupport::ReadFileBytes(path), (std::vector<uint8_t>{1, 2, 3}));
}

}  // namespace
