#include "image/formats/RasterMetafileCommon.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/RasterFile.h"
#include "image/formats/RasterFormatSupport.h"
#include "image/formats/RasterImageBMP.h"

namespace metafile {

namespace {

constexpr uint32_t kPenNull = 5;
constexpr uint32_t kBrushSolid = 0;
constexpr uint32_t kBrushNull = 1;
constexpr uint32_t kWhite = 0xFFFFFF;
// Stock objects.
constexpr uint32_t kStockWhiteBrush = 0;
constexpr uint32_t kStockLightGreyBrush = 1;
constexpr uint32_t kStockGreyBrush = 2;
constexpr uint32_t kStockDarkGreyBrush = 3;
constexpr uint32_t kStockBlackBrush = 4;
constexpr uint32_t kStockNullBrush = 5;
constexpr uint32_t kStockWhitePen = 6;
constexpr uint32_t kStockBlackPen = 7;
constexpr uint32_t kStockNullPen = 8;
constexpr uint32_t kStockFirstFont = 10;
constexpr uint32_t kStockLastFont = 17;
constexpr uint32_t kStockDcBrush = 18;
constexpr uint32_t kStockDcPen = 19;
// Largest side a metafile is drawn at; larger headers are scaled down.
constexpr double kMaxOutputSide = 4096;
constexpr size_t kBmpFileHeaderSize = 14;
constexpr size_t kCoreHeaderSize = 12;
constexpr uint32_t kBitFields = 3;

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

}  // namespace

uint16_t RecordView::U16(size_t offset) const {
    const uint8_t* p = Bytes(offset, 2);
    return p ? Le16(p) : 0;
}

uint32_t RecordView::U32(size_t offset) const {
    const uint8_t* p = Bytes(offset, 4);
    return p ? Le32(p) : 0;
}

float RecordView::F32(size_t offset) const {
    const uint32_t bits = U32(offset);
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return std::isfinite(value) ? value : 0.0f;
}

ObjectTable::ObjectTable(size_t slots) : m_slots(slots) {}

void ObjectTable::AddToFreeSlot(const GdiObject& object) {
    for (GdiObject& slot : m_slots) {
        if (slot.kind == GdiObject::Kind::Empty) {
            slot = object;
            return;
        }
    }
}

void ObjectTable::Set(uint32_t index, const GdiObject& object) {
    if (index < m_slots.size()) m_slots[index] = object;
}

const GdiObject* ObjectTable::Get(uint32_t index) const {
    if (index >= m_slots.size() || m_slots[index].kind == GdiObject::Kind::Empty) return nullptr;
    return &m_slots[index];
}

void ObjectTable::Delete(uint32_t index) {
    if (index < m_slots.size()) m_slots[index] = GdiObject{};
}

void SelectIntoCanvas(Canvas& canvas, const GdiObject& object) {
    switch (object.kind) {
        case GdiObject::Kind::Pen: canvas.SetPen(object.pen); break;
        case GdiObject::Kind::Brush: canvas.SetBrush(object.brush); break;
        case GdiObject::Kind::Font: canvas.SetFont(object.font); break;
        default: break;
    }
}

bool SelectStockObject(Canvas& canvas, uint32_t stock) {
    const auto grey = [](uint8_t v) { return RasterRgb(v, v, v); };
    switch (stock) {
        case kStockWhiteBrush: canvas.SetBrush({kBrushSolid, kWhite, 0}); return true;
        case kStockLightGreyBrush: canvas.SetBrush({kBrushSolid, grey(0xC0), 0}); return true;
        case kStockGreyBrush: canvas.SetBrush({kBrushSolid, grey(0x80), 0}); return true;
        case kStockDarkGreyBrush: canvas.SetBrush({kBrushSolid, grey(0x40), 0}); return true;
        case kStockBlackBrush:
        case kStockDcBrush: canvas.SetBrush({kBrushSolid, 0, 0}); return true;
        case kStockNullBrush: canvas.SetBrush({kBrushNull, 0, 0}); return true;
        case kStockWhitePen: canvas.SetPen({0, 0, kWhite}); return true;
        case kStockBlackPen:
        case kStockDcPen: canvas.SetPen({0, 0, 0}); return true;
        case kStockNullPen: canvas.SetPen({kPenNull, 0, 0}); return true;
        default:
            if (stock >= kStockFirstFont && stock <= kStockLastFont) {
                canvas.SetFont(Font{});
                return true;
            }
            return false;
    }
}

void ResetDeviceContext(Canvas& canvas) {
    SelectStockObject(canvas, kStockBlackPen);
    SelectStockObject(canvas, kStockWhiteBrush);
    canvas.SetFont(Font{});
    canvas.SetTextColor(0);
    canvas.SetBkColor(kWhite);
}

bool DecodeDib(const uint8_t* info, size_t infoSize, const uint8_t* bits, size_t bitsSize, RasterImage& picture,
               bool& topDown) {
    if (!info || infoSize < 4) return false;
    const uint32_t headerSize = Le32(info);
    if (headerSize < kCoreHeaderSize || headerSize > infoSize) return false;
    topDown = headerSize > kCoreHeaderSize && infoSize >= 12 && int32_t(Le32(info + 8)) < 0;
    // Where the pixels start inside the info block when they follow it directly.
    size_t paletteBytes = 0;
    if (headerSize > kCoreHeaderSize && infoSize >= 36) {
        const uint16_t bitCount = Le16(info + 14);
        const uint32_t compression = Le32(info + 16);
        uint32_t used = Le32(info + 32);
        if (used == 0 && bitCount <= 8) used = 1u << bitCount;
        if (used > 256) used = 256;
        paletteBytes = size_t(used) * 4;
        if (compression == kBitFields && headerSize == 40) paletteBytes += 12;
    }
    const size_t pixelOffset = kBmpFileHeaderSize + std::min(infoSize, headerSize + paletteBytes);
    std::vector<uint8_t> file(kBmpFileHeaderSize);
    file.insert(file.end(), info, info + infoSize);
    if (bits) file.insert(file.end(), bits, bits + bitsSize);
    file[0] = 'B';
    file[1] = 'M';
    PutLe32(&file[2], uint32_t(file.size()));
    PutLe32(&file[10], uint32_t(bits ? kBmpFileHeaderSize + infoSize : pixelOffset));
    RasterMemFile stream(file.data(), uint32_t(file.size()));
    RasterImageBMP bmp;
    if (!bmp.Decode(&stream)) return false;
    if (!picture.TakeOver(bmp)) return false;
    if (picture.GetBpp() < 24) {
        picture.AlphaFromTransparentIndex();
        if (!picture.IncreaseBpp(24)) return false;
    }
    return picture.IsValid() && picture.GetBpp() == 24;
}

uint32_t AverageColor(const RasterImage& picture) {
    if (!picture.IsValid() || picture.GetBpp() != 24) return 0;
    uint64_t sum[3] = {0, 0, 0};
    for (uint32_t y = 0; y < picture.GetHeight(); ++y) {
        const uint8_t* p = picture.RowPointer(y);
        for (uint32_t x = 0; x < picture.GetWidth(); ++x, p += 3) {
            sum[0] += p[0];
            sum[1] += p[1];
            sum[2] += p[2];
        }
    }
    const uint64_t n = uint64_t(picture.GetWidth()) * picture.GetHeight();
    return RasterRgb(uint8_t(sum[2] / n), uint8_t(sum[1] / n), uint8_t(sum[0] / n));
}

std::string Latin1ToUtf8(const uint8_t* text, size_t length) {
    std::string out;
    for (size_t i = 0; i < length && text[i]; ++i) AppendUtf8(out, text[i]);
    return out;
}

std::string Utf16LeToUtf8(const uint8_t* text, size_t units) {
    std::string out;
    for (size_t i = 0; i < units; ++i) {
        uint32_t code = Le16(text + 2 * i);
        if (code == 0) break;
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < units) {
            const uint32_t low = Le16(text + 2 * (i + 1));
            if (low >= 0xDC00 && low < 0xE000) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (code >= 0xD800 && code < 0xE000) code = 0xFFFD;
        AppendUtf8(out, code);
    }
    return out;
}

bool FitOutputSize(double width, double height, uint32_t& outWidth, uint32_t& outHeight) {
    width = std::fabs(width);
    height = std::fabs(height);
    if (!std::isfinite(width) || !std::isfinite(height) || width < 0.5 || height < 0.5) return false;
    const double scale = std::min(1.0, kMaxOutputSide / std::max(width, height));
    outWidth = uint32_t(std::max(1.0, std::round(width * scale)));
    outHeight = uint32_t(std::max(1.0, std::round(height * scale)));
    return true;
}

}  // namespace metafile
