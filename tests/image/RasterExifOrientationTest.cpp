#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/formats/RasterExifOrientation.h"
#include "image/RasterImage.h"
#include "TestSupport.h"

using testsupport::MakePatternImage;
using testsupport::PictureColor;
using testsupport::ReadFileBytes;

namespace {

using Bytes = std::vector<uint8_t>;

std::filesystem::path ExifCorpusFile(const std::string& name) {
    return testsupport::CorpusDir() / "exif-orientation" / name;
}

// Where the upright pixel (u, v) of a w x h picture lies in the stored picture of the given
// orientation, straight from the tag's definition (which side row 0 and column 0 show).
void StoredPosition(int orientation, uint32_t w, uint32_t h, uint32_t u, uint32_t v, uint32_t& x, uint32_t& y) {
    switch (orientation) {
        case 2: x = w - 1 - u; y = v; break;          // row 0 top, column 0 right
        case 3: x = w - 1 - u; y = h - 1 - v; break;  // row 0 bottom, column 0 right
        case 4: x = u; y = h - 1 - v; break;          // row 0 bottom, column 0 left
        case 5: x = v; y = u; break;                  // row 0 left, column 0 top
        case 6: x = v; y = w - 1 - u; break;          // row 0 right, column 0 top
        case 7: x = h - 1 - v; y = w - 1 - u; break;  // row 0 right, column 0 bottom
        case 8: x = h - 1 - v; y = u; break;          // row 0 left, column 0 bottom
        default: x = u; y = v; break;
    }
}

// The picture a camera would store for the upright picture under the orientation.
RasterImage StoredFor(const RasterImage& upright, int orientation) {
    const uint32_t w = upright.GetWidth();
    const uint32_t h = upright.GetHeight();
    const bool swapped = orientation >= 5;
    RasterImage stored;
    stored.Create(swapped ? h : w, swapped ? w : h, 24, 0);
    for (uint32_t v = 0; v < h; ++v) {
        for (uint32_t u = 0; u < w; ++u) {
            uint32_t x = 0;
            uint32_t y = 0;
            StoredPosition(orientation, w, h, u, v, x, y);
            stored.SetPixelColor(x, stored.GetHeight() - 1 - y, upright.GetPixelColor(u, h - 1 - v));
        }
    }
    return stored;
}

// A JPEG header: SOI, the given segments, SOS.
Bytes JpegWith(const std::vector<Bytes>& segments) {
    Bytes out = {0xFF, 0xD8};
    for (const Bytes& s : segments) out.insert(out.end(), s.begin(), s.end());
    out.insert(out.end(), {0xFF, 0xDA, 0x00, 0x02});
    return out;
}

Bytes Segment(uint8_t marker, const Bytes& payload) {
    const size_t length = payload.size() + 2;
    Bytes out = {0xFF, marker, uint8_t(length >> 8), uint8_t(length)};
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

// "Exif\0\0" and a TIFF block with one IFD0 entry: tag, type, count, value.
Bytes ExifPayload(bool little, uint16_t tag, uint16_t type, uint32_t count, uint32_t value,
                  uint32_t ifdOffset = 8, uint16_t entries = 1) {
    Bytes out = {'E', 'x', 'i', 'f', 0, 0};
    auto put16 = [&](uint32_t v) {
        if (little) out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)});
        else out.insert(out.end(), {uint8_t(v >> 8), uint8_t(v)});
    };
    auto put32 = [&](uint32_t v) {
        if (little) out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
        else out.insert(out.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
    };
    out.insert(out.end(), little ? std::initializer_list<uint8_t>{'I', 'I'} : std::initializer_list<uint8_t>{'M', 'M'});
    put16(42);
    put32(ifdOffset);
    put16(entries);
    put16(tag);
    put16(type);
    put32(count);
    if (type == 3) {
        put16(value);
        put16(0);
    } else {
        put32(value);
    }
    put32(0);  // no next IFD
    return out;
}

int OrientationOf(const Bytes& jpeg) { return ReadExifOrientation(jpeg.data(), jpeg.size()); }

}  // namespace

TEST(RasterExifOrientation, EveryOrientationTurnsTheStoredPictureUpright) {
    const RasterImage upright = MakePatternImage(7, 4);
    for (int orientation = 1; orientation <= 8; ++orientation) {
        RasterImage picture = StoredFor(upright, orientation);
        ASSERT_TRUE(ApplyExifOrientation(picture, orientation)) << orientation;
        EXPECT_TRUE(testsupport::SamePixels(picture, upright)) << "orientation " << orientation;
    }
}

TEST(RasterExifOrientation, ValuesOutsideTheTagsRangeChangeNothing) {
    const RasterImage original = MakePatternImage(5, 3);
    for (int orientation : {0, 9, -1, 1000}) {
        RasterImage picture(original);
        EXPECT_TRUE(ApplyExifOrientation(picture, orientation));
        EXPECT_TRUE(testsupport::SamePixels(picture, original));
    }
    RasterImage empty;
    EXPECT_FALSE(ApplyExifOrientation(empty, 6));
}

TEST(RasterExifOrientation, ReadsTheTagOfEveryCorpusPhotoFromFileAndMemory) {
    for (const char* kind : {"Landscape", "Portrait"}) {
        for (int n = 0; n <= 8; ++n) {
            const auto path = ExifCorpusFile(std::string(kind) + "_" + std::to_string(n) + ".jpg");
            EXPECT_EQ(ReadExifOrientationFromFile(path.c_str()), n) << path;
            const Bytes bytes = ReadFileBytes(path);
            EXPECT_EQ(ReadExifOrientation(bytes.data(), bytes.size()), n) << path;
        }
    }
    EXPECT_EQ(ReadExifOrientationFromFile("/nonexistent/picture.jpg"), 0);
}

TEST(RasterExifOrientation, ReadsBothByteOrdersAndSkipsOtherSegments) {
    const Bytes app0 = Segment(0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
    const Bytes xmp = Segment(0xE1, {'h', 't', 't', 'p', ':', '/', '/', 'n', 's'});
    EXPECT_EQ(OrientationOf(JpegWith({app0, xmp, Segment(0xE1, ExifPayload(true, 0x0112, 3, 1, 6))})), 6);
    EXPECT_EQ(OrientationOf(JpegWith({Segment(0xE1, ExifPayload(false, 0x0112, 3, 1, 8))})), 8);
    EXPECT_EQ(OrientationOf(JpegWith({Segment(0xE1, ExifPayload(false, 0x0112, 4, 1, 3))})), 3);
    // Fill bytes before a marker are allowed.
    Bytes filled = JpegWith({Segment(0xE1, ExifPayload(true, 0x0112, 3, 1, 5))});
    filled.insert(filled.begin() + 2, {0xFF, 0xFF});
    EXPECT_EQ(OrientationOf(filled), 5);
}

TEST(RasterExifOrientation, DamagedOrMissingTagsReadAsNone) {
    // Value out of range, another tag, an odd type, a count that is not one.
    EXPECT_EQ(OrientationOf(JpegWith({Segment(0xE1, ExifPayload(true, 0x0112, 3, 1, 9))})), 0);
    EXPECT_EQ(OrientationOf(JpegWith({Segment(0xE1, ExifPayload(true, 0x0110, 3, 1, 6))})), 0);
    EXPECT_EQ(OrientationOf(JpegWith({Segment(0xE1, ExifPayload(true, 0x0112, 2, 1, 6))})), 0);
    EXPECT_EQ(OrientationOf(JpegWith({Segment(0xE1, ExifPayload(true, 0x0112, 3, 7, 6))})), 0);
    // IFD offset past the block, and an entry count larger than the block.
    EXPECT_EQ(OrientationOf(JpegWith({Segment(0xE1, ExifPayload(true, 0x0112, 3, 1, 6, 0xFFFFFFF0u))})), 0);
    EXPECT_EQ(OrientationOf(JpegWith({Segment(0xE1, ExifPayload(true, 0x0112, 3, 1, 6, 8, 0xFFFF))})), 6);
    // Not a JPEG, a bad segment length, image data before any Exif block.
    EXPECT_EQ(OrientationOf({0x89, 'P', 'N', 'G'}), 0);
    EXPECT_EQ(OrientationOf({0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x01}), 0);
    EXPECT_EQ(OrientationOf(JpegWith({})), 0);
    EXPECT_EQ(ReadExifOrientation(nullptr, 100), 0);
}

TEST(RasterExifOrientation, EveryTruncationOfARealHeaderIsReadSafely) {
    const Bytes bytes = ReadFileBytes(ExifCorpusFile("Landscape_6.jpg"));
    ASSERT_GT(bytes.size(), 4096u);
    for (size_t size = 0; size < 4096; ++size) {
        // A copy of exactly size bytes, so that a read past the end shows under the sanitizers.
        const Bytes head(bytes.begin(), bytes.begin() + ptrdiff_t(size));
        const int orientation = ReadExifOrientation(head.data(), head.size());
        ASSERT_TRUE(orientation == 0 || orientation == 6) << size;
    }
}
