// Plays Windows metafiles (placeable and plain) onto a metafile canvas.
#include "image/formats/RasterMetafilePlayers.h"

#include <algorithm>
#include <cmath>

#include "image/formats/RasterFormatSupport.h"
#include "image/formats/RasterMetafileCommon.h"

namespace metafile {

namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr size_t kPlaceableHeaderSize = 22;
constexpr size_t kMetaHeaderSize = 18;
constexpr uint16_t kMetaHeaderWords = 9;
constexpr uint16_t kVersion1 = 0x0100;
constexpr uint16_t kVersion3 = 0x0300;
constexpr size_t kRecordHeaderSize = 6;
constexpr double kOutputDpi = 96;
constexpr uint16_t kDefaultTwipsPerInch = 1440;
// Largest object table a file may ask for.
constexpr uint16_t kMaxObjects = 4096;
// Some writers state too few objects; handles are assigned in order, so a larger table is safe.
constexpr uint16_t kMinObjects = 64;
constexpr uint32_t kMapModeIsotropic = 7;
constexpr uint16_t kExtTextOpaque = 0x0002;
constexpr uint16_t kExtTextClipped = 0x0004;

// Record functions.
enum : uint16_t {
    kEof = 0x0000,
    kSaveDc = 0x001E,
    kRealizePalette = 0x0035,
    kSetBkMode = 0x0102,
    kSetMapMode = 0x0103,
    kSetPolyFillMode = 0x0106,
    kRestoreDc = 0x0127,
    kSelectObject = 0x012D,
    kSetTextAlign = 0x012E,
    kDeleteObject = 0x01F0,
    kSetBkColor = 0x0201,
    kSetTextColor = 0x0209,
    kSetWindowOrg = 0x020B,
    kSetWindowExt = 0x020C,
    kOffsetWindowOrg = 0x020F,
    kLineTo = 0x0213,
    kMoveTo = 0x0214,
    kCreatePalette = 0x00F7,
    kCreatePatternBrush = 0x01F9,
    kDibCreatePatternBrush = 0x0142,
    kCreatePenIndirect = 0x02FA,
    kCreateFontIndirect = 0x02FB,
    kCreateBrushIndirect = 0x02FC,
    kCreateRegion = 0x06FF,
    kPolygon = 0x0324,
    kPolyline = 0x0325,
    kScaleWindowExt = 0x0410,
    kExcludeClipRect = 0x0415,
    kIntersectClipRect = 0x0416,
    kEllipse = 0x0418,
    kRectangle = 0x041B,
    kSetPixel = 0x041F,
    kTextOut = 0x0521,
    kPolyPolygon = 0x0538,
    kRoundRect = 0x061C,
    kPatBlt = 0x061D,
    kArc = 0x0817,
    kPie = 0x081A,
    kChord = 0x0830,
    kDibBitBlt = 0x0940,
    kExtTextOut = 0x0A32,
    kDibStretchBlt = 0x0B41,
    kStretchDib = 0x0F43,
};

struct WmfHeader {
    bool placeable = false;
    int16_t left = 0, top = 0, right = 0, bottom = 0;
    uint16_t inch = kDefaultTwipsPerInch;
    size_t recordsOffset = 0;
    uint16_t objects = 0;
};

bool ReadHeader(const uint8_t* data, size_t size, WmfHeader& header) {
    size_t offset = 0;
    if (size >= kPlaceableHeaderSize && Le32(data) == kPlaceableKey) {
        header.placeable = true;
        header.left = int16_t(Le16(data + 6));
        header.top = int16_t(Le16(data + 8));
        header.right = int16_t(Le16(data + 10));
        header.bottom = int16_t(Le16(data + 12));
        header.inch = Le16(data + 14);
        if (header.inch == 0) header.inch = kDefaultTwipsPerInch;
        offset = kPlaceableHeaderSize;
    }
    if (size < offset + kMetaHeaderSize) return false;
    const uint8_t* h = data + offset;
    const uint16_t type = Le16(h);
    const uint16_t words = Le16(h + 2);
    const uint16_t version = Le16(h + 4);
    if ((type != 1 && type != 2) || words != kMetaHeaderWords || (version != kVersion1 && version != kVersion3)) {
        return false;
    }
    header.objects = std::min(Le16(h + 10), kMaxObjects);
    header.recordsOffset = offset + kMetaHeaderSize;
    return true;
}

// Walks the records; stops at the end record, at a malformed size or when told to.
template <class Visit>
void ForEachRecord(const uint8_t* data, size_t size, size_t offset, Visit visit) {
    while (offset + kRecordHeaderSize <= size) {
        const uint64_t bytes = uint64_t(Le32(data + offset)) * 2;
        if (bytes < kRecordHeaderSize || bytes > size - offset) return;
        const uint16_t function = Le16(data + offset + 4);
        if (function == kEof) return;
        if (!visit(function, RecordView(data + offset, size_t(bytes)))) return;
        offset += size_t(bytes);
    }
}

Point Pt(const RecordView& r, size_t xOffset, size_t yOffset) {
    return {double(r.S16(xOffset)), double(r.S16(yOffset))};
}

// Points as x, y pairs of 16-bit values starting at offset; count limited to the record.
std::vector<Point> Points(const RecordView& r, size_t offset, size_t count) {
    std::vector<Point> points;
    if (!r.Has(offset, count * 4)) return points;
    points.reserve(count);
    for (size_t i = 0; i < count; ++i) points.push_back(Pt(r, offset + 4 * i, offset + 4 * i + 2));
    return points;
}

GdiObject PenFrom(const RecordView& r) {
    GdiObject o;
    o.kind = GdiObject::Kind::Pen;
    o.pen.style = r.U16(6);
    o.pen.width = r.S16(8);
    o.pen.color = r.U32(12) & 0xFFFFFF;
    return o;
}

GdiObject BrushFrom(const RecordView& r) {
    GdiObject o;
    o.kind = GdiObject::Kind::Brush;
    o.brush.style = r.U16(6);
    o.brush.color = r.U32(8) & 0xFFFFFF;
    o.brush.hatch = r.U16(12);
    return o;
}

GdiObject FontFrom(const RecordView& r) {
    GdiObject o;
    o.kind = GdiObject::Kind::Font;
    o.font.height = r.S16(6);
    o.font.escapement = r.S16(10);
    o.font.weight = r.S16(14);
    o.font.italic = r.Bytes(16, 1) && *r.Bytes(16, 1);
    o.font.underline = r.Bytes(17, 1) && *r.Bytes(17, 1);
    o.font.strikeOut = r.Bytes(18, 1) && *r.Bytes(18, 1);
    return o;
}

GdiObject PatternBrushFrom(const RecordView& r) {
    GdiObject o;
    o.kind = GdiObject::Kind::Brush;
    RasterImage pattern;
    bool topDown = false;
    const size_t dibOffset = 10;
    if (r.Size() > dibOffset && DecodeDib(r.Bytes(dibOffset, r.Size() - dibOffset), r.Size() - dibOffset, nullptr,
                                          0, pattern, topDown)) {
        o.brush.color = AverageColor(pattern);
    } else {
        o.brush.color = RasterRgb(0x80, 0x80, 0x80);
    }
    return o;
}

// Stretches an embedded bitmap: source rectangle in DIB coordinates (y from the bottom for
// bottom-up bitmaps), destination in logical units.
void DrawDib(Canvas& canvas, const RecordView& r, size_t dibOffset, double xSrc, double ySrc, double srcW,
             double srcH, double xDst, double yDst, double dstW, double dstH) {
    if (r.Size() <= dibOffset) return;
    RasterImage picture;
    bool topDown = false;
    if (!DecodeDib(r.Bytes(dibOffset, r.Size() - dibOffset), r.Size() - dibOffset, nullptr, 0, picture, topDown)) {
        return;
    }
    const double top = topDown ? ySrc : double(picture.GetHeight()) - ySrc - srcH;
    canvas.DrawPicture(picture, xSrc, top, srcW, srcH, xDst, yDst, dstW, dstH);
}

void TextAt(Canvas& canvas, Point p, const uint8_t* text, size_t length) {
    if (text) canvas.TextOut(p, Latin1ToUtf8(text, length));
}

class WmfPlayer {
public:
    WmfPlayer(Canvas& canvas, uint16_t objects)
        : m_canvas(canvas), m_objects(std::max(objects, kMinObjects)) {}

    bool Play(uint16_t function, const RecordView& r);

private:
    void Shape(uint16_t function, const RecordView& r);
    void Bitmap(uint16_t function, const RecordView& r);

    Canvas& m_canvas;
    ObjectTable m_objects;
};

void WmfPlayer::Shape(uint16_t function, const RecordView& r) {
    switch (function) {
        case kLineTo: m_canvas.LineTo(Pt(r, 8, 6)); break;
        case kMoveTo: m_canvas.MoveTo(Pt(r, 8, 6)); break;
        case kPolygon: m_canvas.Polygon(Points(r, 8, r.U16(6))); break;
        case kPolyline: m_canvas.Polyline(Points(r, 8, r.U16(6))); break;
        case kPolyPolygon: {
            const size_t polygons = r.U16(6);
            if (!r.Has(8, polygons * 2)) break;
            std::vector<std::vector<Point>> all;
            size_t offset = 8 + polygons * 2;
            for (size_t i = 0; i < polygons; ++i) {
                const size_t count = r.U16(8 + 2 * i);
                std::vector<Point> points = Points(r, offset, count);
                if (points.size() != count) return;
                all.push_back(std::move(points));
                offset += count * 4;
            }
            m_canvas.PolyPolygon(all);
            break;
        }
        case kRectangle: m_canvas.Rectangle(r.S16(12), r.S16(10), r.S16(8), r.S16(6)); break;
        case kEllipse: m_canvas.Ellipse(r.S16(12), r.S16(10), r.S16(8), r.S16(6)); break;
        case kRoundRect:
            m_canvas.RoundRect(r.S16(16), r.S16(14), r.S16(12), r.S16(10), r.S16(8), r.S16(6));
            break;
        case kArc:
        case kPie:
        case kChord: {
            const ArcKind kind = function == kArc ? ArcKind::Arc : function == kPie ? ArcKind::Pie : ArcKind::Chord;
            m_canvas.Arc(kind, r.S16(20), r.S16(18), r.S16(16), r.S16(14), Pt(r, 12, 10), Pt(r, 8, 6));
            break;
        }
        case kSetPixel: m_canvas.SetPixel(Pt(r, 12, 10), r.U32(6) & 0xFFFFFF); break;
        case kPatBlt: m_canvas.PatBlt(r.S16(16), r.S16(14), r.S16(12), r.S16(10), r.U32(6)); break;
        case kTextOut: {
            const size_t length = r.U16(6);
            const size_t padded = (length + 1) & ~size_t(1);
            TextAt(m_canvas, Pt(r, 10 + padded, 8 + padded), r.Bytes(8, length), length);
            break;
        }
        case kExtTextOut: {
            const size_t length = r.U16(10);
            const uint16_t options = r.U16(12);
            size_t offset = 14;
            if (options & (kExtTextOpaque | kExtTextClipped)) {
                if (options & kExtTextOpaque) {
                    m_canvas.FillRect(r.S16(14), r.S16(16), r.S16(18), r.S16(20), m_canvas.BkColor());
                }
                offset += 8;
            }
            TextAt(m_canvas, Pt(r, 8, 6), r.Bytes(offset, length), length);
            break;
        }
        default: Bitmap(function, r); break;
    }
}

void WmfPlayer::Bitmap(uint16_t function, const RecordView& r) {
    switch (function) {
        case kStretchDib:
            DrawDib(m_canvas, r, 28, r.S16(18), r.S16(16), r.S16(14), r.S16(12), r.S16(26), r.S16(24), r.S16(22),
                    r.S16(20));
            break;
        case kDibStretchBlt:
            DrawDib(m_canvas, r, 26, r.S16(16), r.S16(14), r.S16(12), r.S16(10), r.S16(24), r.S16(22), r.S16(20),
                    r.S16(18));
            break;
        case kDibBitBlt:
            DrawDib(m_canvas, r, 22, r.S16(12), r.S16(10), r.S16(16), r.S16(14), r.S16(20), r.S16(18), r.S16(16),
                    r.S16(14));
            break;
        default: break;
    }
}

bool WmfPlayer::Play(uint16_t function, const RecordView& r) {
    switch (function) {
        case kSaveDc: m_canvas.SaveState(); break;
        case kRestoreDc: m_canvas.RestoreState(r.S16(6)); break;
        case kSetBkMode: m_canvas.SetBkMode(r.U16(6)); break;
        case kSetMapMode: m_canvas.SetIsotropic(r.U16(6) == kMapModeIsotropic); break;
        case kSetPolyFillMode: m_canvas.SetPolyFillMode(r.U16(6)); break;
        case kSetTextAlign: m_canvas.SetTextAlign(r.U16(6)); break;
        case kSetBkColor: m_canvas.SetBkColor(r.U32(6) & 0xFFFFFF); break;
        case kSetTextColor: m_canvas.SetTextColor(r.U32(6) & 0xFFFFFF); break;
        case kSetWindowOrg: m_canvas.SetWindowOrg(r.S16(8), r.S16(6)); break;
        case kSetWindowExt: m_canvas.SetWindowExt(r.S16(8), r.S16(6)); break;
        case kOffsetWindowOrg: {
            const Point org = m_canvas.WindowOrg();
            m_canvas.SetWindowOrg(org.x + r.S16(8), org.y + r.S16(6));
            break;
        }
        case kScaleWindowExt: {
            const Point ext = m_canvas.WindowExt();
            const double xDenominator = r.S16(10), yDenominator = r.S16(6);
            if (xDenominator != 0 && yDenominator != 0) {
                m_canvas.SetWindowExt(ext.x * r.S16(12) / xDenominator, ext.y * r.S16(8) / yDenominator);
            }
            break;
        }
        case kSelectObject:
            if (const GdiObject* object = m_objects.Get(r.U16(6))) SelectIntoCanvas(m_canvas, *object);
            break;
        case kDeleteObject: m_objects.Delete(r.U16(6)); break;
        case kCreatePenIndirect: m_objects.AddToFreeSlot(PenFrom(r)); break;
        case kCreateBrushIndirect: m_objects.AddToFreeSlot(BrushFrom(r)); break;
        case kCreateFontIndirect: m_objects.AddToFreeSlot(FontFrom(r)); break;
        case kDibCreatePatternBrush: m_objects.AddToFreeSlot(PatternBrushFrom(r)); break;
        case kCreatePalette:
        case kCreatePatternBrush:
        case kCreateRegion: m_objects.AddToFreeSlot(GdiObject{GdiObject::Kind::Other, {}, {}, {}}); break;
        case kIntersectClipRect: m_canvas.IntersectClipRect(r.S16(12), r.S16(10), r.S16(8), r.S16(6)); break;
        case kExcludeClipRect: m_canvas.ExcludeClipRect(r.S16(12), r.S16(10), r.S16(8), r.S16(6)); break;
        case kRealizePalette: break;
        default: Shape(function, r); break;
    }
    return !m_canvas.OutOfBudget();
}

}  // namespace

bool IsWmf(const uint8_t* data, size_t size) {
    WmfHeader header;
    return ReadHeader(data, size, header);
}

bool PlayWmf(const uint8_t* data, size_t size, RasterImage& picture, const char*& error) {
    WmfHeader header;
    if (!ReadHeader(data, size, header)) {
        error = "WMF: not a Windows metafile";
        return false;
    }
    Canvas canvas;
    double logicalWidth, logicalHeight, physicalWidth, physicalHeight;
    Point origin{0, 0};
    if (header.placeable) {
        logicalWidth = double(header.right) - header.left;
        logicalHeight = double(header.bottom) - header.top;
        origin = {double(header.left), double(header.top)};
        physicalWidth = std::fabs(logicalWidth) * kOutputDpi / header.inch;
        physicalHeight = std::fabs(logicalHeight) * kOutputDpi / header.inch;
    } else {
        // A plain metafile states its size only through its window records.
        logicalWidth = logicalHeight = 0;
        ForEachRecord(data, size, header.recordsOffset, [&](uint16_t function, const RecordView& r) {
            if (function == kSetWindowOrg) origin = {double(r.S16(8)), double(r.S16(6))};
            if (function != kSetWindowExt) return true;
            logicalWidth = r.S16(8);
            logicalHeight = r.S16(6);
            return false;
        });
        physicalWidth = std::fabs(logicalWidth);
        physicalHeight = std::fabs(logicalHeight);
    }
    uint32_t width = 0, height = 0;
    if (logicalWidth == 0 || logicalHeight == 0 || !FitOutputSize(physicalWidth, physicalHeight, width, height)) {
        error = "WMF: the metafile states no picture size";
        return false;
    }
    if (!RasterImage::FitsMemoryLimit(width, height, 32) || !canvas.Begin(width, height)) {
        picture.RefuseTooLarge(width, height, RasterImage::PixelBytes(width, height, 32));
        error = picture.LastErrorText();
        return false;
    }
    ResetDeviceContext(canvas);
    canvas.SetWindowOrg(origin.x, origin.y);
    canvas.SetWindowExt(logicalWidth, logicalHeight);
    canvas.SetViewportExt(width, height);
    WmfPlayer player(canvas, header.objects);
    ForEachRecord(data, size, header.recordsOffset,
                  [&](uint16_t function, const RecordView& r) { return player.Play(function, r); });
    if (!canvas.Finish(picture)) {
        error = picture.LastErrorText();
        return false;
    }
    return true;
}

}  // namespace metafile
