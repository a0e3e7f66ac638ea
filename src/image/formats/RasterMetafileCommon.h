// Pieces shared by the WMF and EMF players: bounds-checked record access, the GDI object
// table, stock objects, embedded device-independent bitmaps and text conversion.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image/formats/RasterMetafileCanvas.h"

namespace metafile {

// Little-endian view of one record. Reads past the end give 0 and mark the view short.
class RecordView {
public:
    RecordView(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    size_t Size() const { return m_size; }
    bool Has(size_t offset, size_t length) const { return offset <= m_size && length <= m_size - offset; }
    uint16_t U16(size_t offset) const;
    int16_t S16(size_t offset) const { return int16_t(U16(offset)); }
    uint32_t U32(size_t offset) const;
    int32_t S32(size_t offset) const { return int32_t(U32(offset)); }
    float F32(size_t offset) const;
    // Pointer to length bytes at offset, or null when they are not all inside the record.
    const uint8_t* Bytes(size_t offset, size_t length) const { return Has(offset, length) ? m_data + offset : nullptr; }

private:
    const uint8_t* m_data;
    size_t m_size;
};

struct GdiObject {
    enum class Kind { Empty, Pen, Brush, Font, Other };
    Kind kind = Kind::Empty;
    Pen pen;
    Brush brush;
    Font font;
};

// Metafile object handles: WMF fills the lowest free slot, EMF names the slot.
class ObjectTable {
public:
    explicit ObjectTable(size_t slots);
    void AddToFreeSlot(const GdiObject& object);
    void Set(uint32_t index, const GdiObject& object);
    const GdiObject* Get(uint32_t index) const;
    void Delete(uint32_t index);

private:
    std::vector<GdiObject> m_slots;
};

// Makes the object current on the canvas (pens, brushes and fonts).
void SelectIntoCanvas(Canvas& canvas, const GdiObject& object);
// Stock object numbers (WHITE_BRUSH = 0 ... DC_PEN = 19); false for unknown ones.
bool SelectStockObject(Canvas& canvas, uint32_t stock);
// The default pen, brush, font and colours of a new device context.
void ResetDeviceContext(Canvas& canvas);

// Decodes a device-independent bitmap (info header + palette, then the bits) into a 24-bit
// picture. topDown tells whether the rows were stored top row first.
bool DecodeDib(const uint8_t* info, size_t infoSize, const uint8_t* bits, size_t bitsSize, RasterImage& picture,
               bool& topDown);
// Average colour of a picture (COLORREF), for pattern brushes.
uint32_t AverageColor(const RasterImage& picture);

std::string Latin1ToUtf8(const uint8_t* text, size_t length);
std::string Utf16LeToUtf8(const uint8_t* text, size_t units);

// Output size for a picture of the given physical size: scaled down (keeping the aspect)
// so that no side exceeds the largest size a metafile is drawn at.
bool FitOutputSize(double width, double height, uint32_t& outWidth, uint32_t& outHeight);

}  // namespace metafile
