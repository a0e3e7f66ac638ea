#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "image/RasterFile.h"
#include "image/RasterImage.h"
#include "image/formats/RasterImageWMF.h"
#include "TestSupport.h"

namespace {

using testsupport::PictureColor;

constexpr uint32_t kRed = 0x0000FF;
constexpr uint32_t kBlue = 0xFF0000;
constexpr uint32_t kWhite = 0xFFFFFF;

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// Builds a placeable WMF record by record.
class WmfWriter {
public:
    WmfWriter(int16_t left, int16_t top, int16_t right, int16_t bottom, uint16_t inch) {
        Put32(m_bytes, 0x9AC6CDD7);
        Put16(m_bytes, 0);
        for (int16_t v : {left, top, right, bottom}) Put16(m_bytes, uint16_t(v));
        Put16(m_bytes, inch);
        Put32(m_bytes, 0);
        uint16_t checksum = 0;
        for (size_t i = 0; i < 20; i += 2) checksum ^= uint16_t(m_bytes[i] | (m_bytes[i + 1] << 8));
        Put16(m_bytes, checksum);
        // Metafile header: disk, 9 words, version 3, size (patched), 16 objects, max record, 0.
        for (uint32_t v : {2u, 9u, 0x300u}) Put16(m_bytes, v);
        Put32(m_bytes, 0);
        Put16(m_bytes, 16);
        Put32(m_bytes, 64);
        Put16(m_bytes, 0);
    }

    WmfWriter& Record(uint16_t function, std::initializer_list<int> words) {
        Put32(m_bytes, uint32_t(3 + words.size()));
        Put16(m_bytes, function);
        for (int w : words) Put16(m_bytes, uint16_t(w));
        return *this;
    }

    std::vector<uint8_t> Finish() {
        Record(0x0000, {});
        return m_bytes;
    }

private:
    std::vector<uint8_t> m_bytes;
};

// Builds an EMF whose reference device has 10 pixels per millimetre.
class EmfWriter {
public:
    // Frame in .01 mm.
    EmfWriter(int32_t frameRight, int32_t frameBottom) {
        Put32(m_bytes, 1);
        Put32(m_bytes, 88);
        for (int32_t v : {0, 0, frameRight / 10, frameBottom / 10}) Put32(m_bytes, uint32_t(v));  // bounds
        for (int32_t v : {0, 0, frameRight, frameBottom}) Put32(m_bytes, uint32_t(v));            // frame
        Put32(m_bytes, 0x464D4520);
        Put32(m_bytes, 0x10000);
        Put32(m_bytes, 0);  // bytes (patched)
        Put32(m_bytes, 0);  // records
        Put16(m_bytes, 16);
        Put16(m_bytes, 0);
        for (int i = 0; i < 3; ++i) Put32(m_bytes, 0);  // description, palette
        for (int32_t v : {1000, 1000, 100, 100}) Put32(m_bytes, uint32_t(v));  // device px, mm
    }

    EmfWriter& Record(uint32_t type, std::initializer_list<uint32_t> dwords) {
        Put32(m_bytes, type);
        Put32(m_bytes, uint32_t(8 + 4 * dwords.size()));
        for (uint32_t d : dwords) Put32(m_bytes, d);
        return *this;
    }

    // A record whose body is given as raw bytes (padded to 4).
    EmfWriter& Raw(uint32_t type, std::vector<uint8_t> body) {
        while (body.size() % 4) body.push_back(0);
        Put32(m_bytes, type);
        Put32(m_bytes, uint32_t(8 + body.size()));
        m_bytes.insert(m_bytes.end(), body.begin(), body.end());
        return *this;
    }

    std::vector<uint8_t> Finish() {
        Record(14, {0, 0, 20});
        return m_bytes;
    }

private:
    std::vector<uint8_t> m_bytes;
};

bool Decode(std::vector<uint8_t> bytes, RasterImage& image) {
    RasterMemFile file(bytes.data(), uint32_t(bytes.size()));
    RasterImageWMF wmf;
    const bool ok = wmf.Decode(&file);
    if (ok) {
        image.TakeOver(wmf);
    } else {
        image.SetLastError(wmf.LastErrorText());
    }
    return ok;
}

// WMF object records.
constexpr uint16_t kCreateBrush = 0x02FC;
constexpr uint16_t kCreatePen = 0x02FA;
constexpr uint16_t kSelectObject = 0x012D;
constexpr uint16_t kRectangle = 0x041B;
constexpr uint16_t kEllipse = 0x0418;
constexpr uint16_t kSaveDc = 0x001E;
constexpr uint16_t kRestoreDc = 0x0127;
constexpr uint16_t kIntersectClip = 0x0416;
constexpr uint16_t kTextOut = 0x0521;

WmfWriter& SolidBrushAndNoPen(WmfWriter& w, uint32_t color) {
    // Brush in slot 0, null pen in slot 1.
    w.Record(kCreateBrush, {0, int(color & 0xFFFF), int(color >> 16), 0});
    w.Record(kCreatePen, {5, 0, 0, 0, 0});
    w.Record(kSelectObject, {0});
    w.Record(kSelectObject, {1});
    return w;
}

}  // namespace

TEST(WmfDecode, PlaceableSizeFollowsItsUnitsPerInchAt96Dpi) {
    WmfWriter w(0, 0, 1440, 720, 1440);
    RasterImage image;
    ASSERT_TRUE(Decode(w.Finish(), image)) << image.LastErrorText();
    EXPECT_EQ(image.GetWidth(), 96u);
    EXPECT_EQ(image.GetHeight(), 48u);
    EXPECT_EQ(image.GetBpp(), 24u);
    EXPECT_EQ(PictureColor(image, 10, 10), kWhite);  // drawn onto white
}

TEST(WmfDecode, FilledRectangleLandsWhereItsLogicalCoordinatesSay) {
    WmfWriter w(0, 0, 1440, 720, 1440);
    SolidBrushAndNoPen(w, kRed).Record(kRectangle, {720, 720, 0, 0});  // bottom, right, top, left
    RasterImage image;
    ASSERT_TRUE(Decode(w.Finish(), image)) << image.LastErrorText();
    EXPECT_EQ(PictureColor(image, 5, 5), kRed);
    EXPECT_EQ(PictureColor(image, 47, 47), kRed);
    EXPECT_EQ(PictureColor(image, 48, 5), kWhite);
    EXPECT_EQ(PictureColor(image, 90, 40), kWhite);
}

TEST(WmfDecode, EllipseEdgesAreAntiAliased) {
    WmfWriter w(0, 0, 1000, 1000, 1000);  // 96 x 96
    SolidBrushAndNoPen(w, 0).Record(kEllipse, {1000, 1000, 0, 0});
    RasterImage image;
    ASSERT_TRUE(Decode(w.Finish(), image)) << image.LastErrorText();
    EXPECT_EQ(PictureColor(image, 48, 48), 0u);
    EXPECT_EQ(PictureColor(image, 1, 1), kWhite);
    int between = 0;
    for (uint32_t x = 0; x < 96; ++x) {
        const uint8_t v = RasterRed(PictureColor(image, x, 20));
        if (v > 0 && v < 255) ++between;
    }
    EXPECT_GE(between, 2);  // both edges on that row are blended
}

TEST(WmfDecode, ClipAndSavedStatesApply) {
    WmfWriter w(0, 0, 960, 480, 960);  // 96 x 48
    SolidBrushAndNoPen(w, kBlue)
        .Record(kSaveDc, {})
        .Record(kIntersectClip, {480, 480, 0, 0})  // left half only
        .Record(kRectangle, {480, 960, 0, 0})
        .Record(kRestoreDc, {-1})
        .Record(kRectangle, {480, 960, 240, 720});  // lower right, no clip any more
    RasterImage image;
    ASSERT_TRUE(Decode(w.Finish(), image)) << image.LastErrorText();
    EXPECT_EQ(PictureColor(image, 10, 10), kBlue);
    EXPECT_EQ(PictureColor(image, 60, 10), kWhite);  // clipped away
    EXPECT_EQ(PictureColor(image, 85, 40), kBlue);   // drawn after the restore
}

TEST(WmfDecode, TextIsDrawnInTheTextColour) {
    WmfWriter w(0, 0, 2000, 500, 1000);  // 192 x 48
    // Font 300 units high, text "HH" at (100, 100) with top alignment.
    w.Record(0x02FB, {-300, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 0});
    w.Record(kSelectObject, {0});
    w.Record(kTextOut, {2, 'H' | ('H' << 8), 100, 100});
    RasterImage image;
    ASSERT_TRUE(Decode(w.Finish(), image)) << image.LastErrorText();
    int dark = 0;
    for (uint32_t y = 0; y < 48; ++y) {
        for (uint32_t x = 0; x < 192; ++x) dark += RasterGreen(PictureColor(image, x, y)) < 100;
    }
    EXPECT_GT(dark, 20);
}

TEST(WmfDecode, RefusesOtherDataAndSurvivesDamage) {
    RasterImage image;
    EXPECT_FALSE(Decode({'B', 'M', 0, 0, 0, 0}, image));
    EXPECT_STREQ(image.LastErrorText(), "WMF: not a Windows metafile");
    // A plain metafile without any window extent states no size.
    std::vector<uint8_t> plain{1, 0, 9, 0, 0, 3, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0};
    EXPECT_FALSE(Decode(plain, image));
    // Every prefix of a file with shapes, and records whose sizes run past the end.
    WmfWriter w(0, 0, 1440, 720, 1440);
    SolidBrushAndNoPen(w, kRed).Record(kRectangle, {720, 720, 0, 0}).Record(kEllipse, {700, 1400, 10, 800});
    std::vector<uint8_t> bytes = w.Finish();
    for (size_t n = 0; n <= bytes.size(); ++n) {
        RasterImage prefix;
        Decode(std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(n)), prefix);
    }
    std::vector<uint8_t> lying = bytes;
    lying[22 + 18] = 0xFF;  // first record claims a huge size
    lying[22 + 19] = 0xFF;
    EXPECT_TRUE(Decode(lying, image));  // nothing is drawn, the picture stays white
}

TEST(WmfDecode, HugeBoundingBoxIsScaledDownNotAllocated) {
    WmfWriter w(-32000, -32000, 32000, 32000, 1);  // 6,144,000 pixels a side at 96 dpi
    RasterImage image;
    ASSERT_TRUE(Decode(w.Finish(), image)) << image.LastErrorText();
    EXPECT_EQ(image.GetWidth(), 4096u);
    EXPECT_EQ(image.GetHeight(), 4096u);
}

TEST(EmfDecode, FrameGivesTheSizeAndDeviceUnitsMapOntoIt) {
    EmfWriter w(2540, 1270);  // 1 x 0.5 inch -> 96 x 48; device 254 x 127 pixels
    w.Record(39, {1, 0, kBlue, 0})          // CreateBrushIndirect slot 1
        .Record(37, {1})                    // SelectObject
        .Record(37, {0x80000008})           // stock NULL_PEN
        .Record(43, {0, 0, 127, 127});      // Rectangle over the left half (device pixels)
    RasterImage image;
    ASSERT_TRUE(Decode(w.Finish(), image)) << image.LastErrorText();
    EXPECT_EQ(image.GetWidth(), 96u);
    EXPECT_EQ(image.GetHeight(), 48u);
    EXPECT_EQ(PictureColor(image, 10, 24), kBlue);
    EXPECT_EQ(PictureColor(image, 80, 24), kWhite);
}

TEST(EmfDecode, WorldTransformScalesTheDrawing) {
    EmfWriter w(2540, 1270);
    const float two = 2.0f, zero = 0.0f;
    uint32_t twoBits, zeroBits;
    std::memcpy(&twoBits, &two, 4);
    std::memcpy(&zeroBits, &zero, 4);
    w.Record(35, {twoBits, zeroBits, zeroBits, twoBits, zeroBits, zeroBits})  // SetWorldTransform x2
        .Record(39, {1, 0, kRed, 0})
        .Record(37, {1})
        .Record(37, {0x80000008})
        .Record(43, {64, 0, 127, 64});  // becomes 128..254 x 0..128: the right half
    RasterImage image;
    ASSERT_TRUE(Decode(w.Finish(), image)) << image.LastErrorText();
    EXPECT_EQ(PictureColor(image, 10, 24), kWhite);
    EXPECT_EQ(PictureColor(image, 80, 24), kRed);
}

TEST(EmfDecode, PathsFillWhatTheyOutline) {
    EmfWriter w(2540, 2540);  // 96 x 96, device 254 x 254
    w.Record(39, {1, 0, 0, 0}).Record(37, {1}).Record(37, {0x80000008});
    w.Record(59, {})                                      // BeginPath
        .Record(27, {0, 0})                               // MoveTo
        .Record(54, {254, 0})                             // LineTo
        .Record(54, {0, 254})
        .Record(61, {})                                   // CloseFigure
        .Record(60, {})                                   // EndPath
        .Record(62, {0, 0, 254, 254});                    // FillPath
    RasterImage image;
    ASSERT_TRUE(Decode(w.Finish(), image)) << image.LastErrorText();
    EXPECT_EQ(PictureColor(image, 10, 10), 0u);       // inside the upper-left triangle
    EXPECT_EQ(PictureColor(image, 85, 85), kWhite);   // outside it
}

TEST(EmfDecode, DamagedFilesFailOrDrawWhatIsThere) {
    EmfWriter w(2540, 1270);
    w.Record(39, {1, 0, kBlue, 0}).Record(37, {1}).Record(43, {0, 0, 127, 127});
    w.Raw(86, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F});  // Polygon16, absurd count
    const std::vector<uint8_t> bytes = w.Finish();
    for (size_t n = 0; n <= bytes.size(); ++n) {
        RasterImage image;
        Decode(std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(n)), image);
    }
    RasterImage image;
    EXPECT_TRUE(Decode(bytes, image)) << image.LastErrorText();
}
