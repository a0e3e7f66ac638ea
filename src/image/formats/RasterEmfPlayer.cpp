// Plays enhanced metafiles (EMF) onto a metafile canvas.
#include <algorithm>
#include <cmath>

#include "image/formats/RasterFormatSupport.h"
#include "image/formats/RasterMetafileCommon.h"
#include "image/formats/RasterMetafilePlayers.h"

namespace metafile {

namespace {

constexpr uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr size_t kMinHeaderSize = 88;
constexpr size_t kRecordHeaderSize = 8;
constexpr double kOutputDpi = 96;
constexpr double kHundredthsOfMmPerInch = 2540;
constexpr uint32_t kStockObjectFlag = 0x80000000u;
constexpr uint32_t kMaxHandles = 65535;
// Some writers understate the handle count; handles are named by index, so a larger table is safe.
constexpr uint32_t kMinHandles = 256;
constexpr uint32_t kExtTextOpaque = 0x0002;
constexpr uint32_t kPenGeometric = 0x00010000;

// Map modes.
enum : uint32_t {
    kMapText = 1,
    kMapLoMetric = 2,
    kMapHiMetric = 3,
    kMapLoEnglish = 4,
    kMapHiEnglish = 5,
    kMapTwips = 6,
    kMapIsotropic = 7,
    kMapAnisotropic = 8,
};

// World transform modes.
enum : uint32_t { kXformIdentity = 1, kXformLeftMultiply = 2, kXformRightMultiply = 3, kXformSet = 4 };

// Record types.
enum : uint32_t {
    kHeader = 1,
    kPolyBezier = 2,
    kPolygon = 3,
    kPolyline = 4,
    kPolyBezierTo = 5,
    kPolylineTo = 6,
    kPolyPolyline = 7,
    kPolyPolygon = 8,
    kSetWindowExtEx = 9,
    kSetWindowOrgEx = 10,
    kSetViewportExtEx = 11,
    kSetViewportOrgEx = 12,
    kEof = 14,
    kSetPixelV = 15,
    kSetMapMode = 17,
    kSetBkMode = 18,
    kSetPolyFillMode = 19,
    kSetTextAlign = 22,
    kSetTextColor = 24,
    kSetBkColor = 25,
    kMoveToEx = 27,
    kExcludeClipRect = 29,
    kIntersectClipRect = 30,
    kSaveDc = 33,
    kRestoreDc = 34,
    kSetWorldTransform = 35,
    kModifyWorldTransform = 36,
    kSelectObject = 37,
    kCreatePen = 38,
    kCreateBrushIndirect = 39,
    kDeleteObject = 40,
    kEllipse = 42,
    kRectangle = 43,
    kRoundRect = 44,
    kArc = 45,
    kChord = 46,
    kPie = 47,
    kLineTo = 54,
    kArcTo = 55,
    kBeginPath = 59,
    kEndPath = 60,
    kCloseFigure = 61,
    kFillPath = 62,
    kStrokeAndFillPath = 63,
    kStrokePath = 64,
    kSelectClipPath = 67,
    kAbortPath = 68,
    kBitBlt = 76,
    kStretchBlt = 77,
    kSetDiBitsToDevice = 80,
    kStretchDiBits = 81,
    kExtCreateFontIndirectW = 82,
    kExtTextOutA = 83,
    kExtTextOutW = 84,
    kPolyBezier16 = 85,
    kPolygon16 = 86,
    kPolyline16 = 87,
    kPolyBezierTo16 = 88,
    kPolylineTo16 = 89,
    kPolyPolyline16 = 90,
    kPolyPolygon16 = 91,
    kCreateMonoBrush = 93,
    kCreateDibPatternBrushPt = 94,
    kExtCreatePen = 95,
};

struct EmfHeader {
    int32_t frameLeft, frameTop, frameRight, frameBottom;  // .01 mm
    int32_t boundsLeft, boundsTop, boundsRight, boundsBottom;  // reference device pixels
    double devicePixelsPerHmmX, devicePixelsPerHmmY;
    uint32_t handles;
};

bool ReadHeader(const uint8_t* data, size_t size, EmfHeader& h) {
    if (size < kMinHeaderSize || Le32(data) != kHeader || Le32(data + 40) != kEmfSignature) return false;
    const uint32_t headerSize = Le32(data + 4);
    if (headerSize < kMinHeaderSize || headerSize > size || headerSize % 4 != 0) return false;
    h.boundsLeft = int32_t(Le32(data + 8));
    h.boundsTop = int32_t(Le32(data + 12));
    h.boundsRight = int32_t(Le32(data + 16));
    h.boundsBottom = int32_t(Le32(data + 20));
    h.frameLeft = int32_t(Le32(data + 24));
    h.frameTop = int32_t(Le32(data + 28));
    h.frameRight = int32_t(Le32(data + 32));
    h.frameBottom = int32_t(Le32(data + 36));
    h.handles = std::clamp<uint32_t>(Le16(data + 56), kMinHandles, kMaxHandles);
    const double devX = int32_t(Le32(data + 72)), devY = int32_t(Le32(data + 76));
    const double mmX = int32_t(Le32(data + 80)), mmY = int32_t(Le32(data + 84));
    h.devicePixelsPerHmmX = (devX > 0 && mmX > 0) ? devX / (mmX * 100) : kOutputDpi / kHundredthsOfMmPerInch;
    h.devicePixelsPerHmmY = (devY > 0 && mmY > 0) ? devY / (mmY * 100) : kOutputDpi / kHundredthsOfMmPerInch;
    return true;
}

template <class Visit>
void ForEachRecord(const uint8_t* data, size_t size, Visit visit) {
    size_t offset = 0;
    while (offset + kRecordHeaderSize <= size) {
        const uint32_t type = Le32(data + offset);
        const uint32_t bytes = Le32(data + offset + 4);
        if (bytes < kRecordHeaderSize || bytes % 4 != 0 || bytes > size - offset) return;
        if (type == kEof) return;
        if (!visit(type, RecordView(data + offset, bytes))) return;
        offset += bytes;
    }
}

Point Pt32(const RecordView& r, size_t offset) { return {double(r.S32(offset)), double(r.S32(offset + 4))}; }
Point Pt16(const RecordView& r, size_t offset) { return {double(r.S16(offset)), double(r.S16(offset + 2))}; }

std::vector<Point> Points(const RecordView& r, size_t offset, size_t count, bool small) {
    const size_t stride = small ? 4 : 8;
    std::vector<Point> points;
    if (count > r.Size() / stride || !r.Has(offset, count * stride)) return points;
    points.reserve(count);
    for (size_t i = 0; i < count; ++i) points.push_back(small ? Pt16(r, offset + i * 4) : Pt32(r, offset + i * 8));
    return points;
}

// Poly-poly records: bounds, number of polys, total points, counts, then points.
std::vector<std::vector<Point>> PolyPoints(const RecordView& r, bool small) {
    std::vector<std::vector<Point>> all;
    const uint32_t polys = r.U32(24);
    const uint32_t total = r.U32(28);
    if (polys > r.Size() / 4 || !r.Has(32, size_t(polys) * 4)) return all;
    size_t offset = 32 + size_t(polys) * 4;
    uint64_t used = 0;
    for (uint32_t i = 0; i < polys; ++i) {
        const uint32_t count = r.U32(32 + 4 * i);
        used += count;
        if (used > total) return {};
        std::vector<Point> points = Points(r, offset, count, small);
        if (points.size() != count) return {};
        offset += size_t(count) * (small ? 4 : 8);
        all.push_back(std::move(points));
    }
    return all;
}

Transform XformAt(const RecordView& r, size_t offset) {
    Transform t;
    t.m11 = r.F32(offset);
    t.m12 = r.F32(offset + 4);
    t.m21 = r.F32(offset + 8);
    t.m22 = r.F32(offset + 12);
    t.dx = r.F32(offset + 16);
    t.dy = r.F32(offset + 20);
    return t;
}

class EmfPlayer {
public:
    EmfPlayer(Canvas& canvas, const EmfHeader& header)
        : m_canvas(canvas), m_objects(header.handles), m_header(header) {}
    bool Play(uint32_t type, const RecordView& r);

private:
    bool State(uint32_t type, const RecordView& r);
    bool Objects(uint32_t type, const RecordView& r);
    void Shapes(uint32_t type, const RecordView& r);
    void Paths(uint32_t type);
    void Text(uint32_t type, const RecordView& r);
    void Bitmaps(uint32_t type, const RecordView& r);
    void SetMapMode(uint32_t mode);
    void DrawBitmap(const RecordView& r, size_t offBmi, size_t offBits, double xSrc, double ySrc, double srcW,
                    double srcH, double xDst, double yDst, double dstW, double dstH, bool dibCoordinates);

    Canvas& m_canvas;
    ObjectTable m_objects;
    EmfHeader m_header;
};

void EmfPlayer::SetMapMode(uint32_t mode) {
    // Fixed modes: device pixels per logical unit from the reference device; y grows upwards.
    double hmmPerUnit = 0;
    switch (mode) {
        case kMapLoMetric: hmmPerUnit = 10; break;
        case kMapHiMetric: hmmPerUnit = 1; break;
        case kMapLoEnglish: hmmPerUnit = 25.4; break;
        case kMapHiEnglish: hmmPerUnit = 2.54; break;
        case kMapTwips: hmmPerUnit = kHundredthsOfMmPerInch / 1440; break;
        case kMapText:
            m_canvas.SetIsotropic(false);
            m_canvas.SetWindowExt(1, 1);
            m_canvas.SetViewportExt(1, 1);
            return;
        case kMapIsotropic: m_canvas.SetIsotropic(true); return;
        case kMapAnisotropic: m_canvas.SetIsotropic(false); return;
        default: return;
    }
    m_canvas.SetIsotropic(false);
    m_canvas.SetWindowExt(1, 1);
    m_canvas.SetViewportExt(hmmPerUnit * m_header.devicePixelsPerHmmX, -hmmPerUnit * m_header.devicePixelsPerHmmY);
}

bool EmfPlayer::State(uint32_t type, const RecordView& r) {
    switch (type) {
        case kSetWindowExtEx: m_canvas.SetWindowExt(r.S32(8), r.S32(12)); return true;
        case kSetWindowOrgEx: m_canvas.SetWindowOrg(r.S32(8), r.S32(12)); return true;
        case kSetViewportExtEx: m_canvas.SetViewportExt(r.S32(8), r.S32(12)); return true;
        case kSetViewportOrgEx: m_canvas.SetViewportOrg(r.S32(8), r.S32(12)); return true;
        case kSetMapMode: SetMapMode(r.U32(8)); return true;
        case kSetBkMode: m_canvas.SetBkMode(r.U32(8)); return true;
        case kSetPolyFillMode: m_canvas.SetPolyFillMode(r.U32(8)); return true;
        case kSetTextAlign: m_canvas.SetTextAlign(r.U32(8)); return true;
        case kSetTextColor: m_canvas.SetTextColor(r.U32(8) & 0xFFFFFF); return true;
        case kSetBkColor: m_canvas.SetBkColor(r.U32(8) & 0xFFFFFF); return true;
        case kSaveDc: m_canvas.SaveState(); return true;
        case kRestoreDc: m_canvas.RestoreState(r.S32(8)); return true;
        case kSetWorldTransform: m_canvas.SetWorldTransform(XformAt(r, 8)); return true;
        case kModifyWorldTransform: {
            const Transform t = XformAt(r, 8);
            const Transform& world = m_canvas.WorldTransform();
            switch (r.U32(32)) {
                case kXformIdentity: m_canvas.SetWorldTransform(Transform{}); break;
                case kXformLeftMultiply: m_canvas.SetWorldTransform(t.Then(world)); break;
                case kXformRightMultiply: m_canvas.SetWorldTransform(world.Then(t)); break;
                case kXformSet: m_canvas.SetWorldTransform(t); break;
                default: break;
            }
            return true;
        }
        case kIntersectClipRect: m_canvas.IntersectClipRect(r.S32(8), r.S32(12), r.S32(16), r.S32(20)); return true;
        case kExcludeClipRect: m_canvas.ExcludeClipRect(r.S32(8), r.S32(12), r.S32(16), r.S32(20)); return true;
        default: return false;
    }
}

bool EmfPlayer::Objects(uint32_t type, const RecordView& r) {
    switch (type) {
        case kSelectObject: {
            const uint32_t handle = r.U32(8);
            if (handle & kStockObjectFlag) {
                SelectStockObject(m_canvas, handle & ~kStockObjectFlag);
            } else if (const GdiObject* object = m_objects.Get(handle)) {
                SelectIntoCanvas(m_canvas, *object);
            }
            return true;
        }
        case kDeleteObject: m_objects.Delete(r.U32(8)); return true;
        case kCreatePen: {
            GdiObject o;
            o.kind = GdiObject::Kind::Pen;
            o.pen = Pen{r.U32(12), double(r.S32(16)), r.U32(24) & 0xFFFFFF};
            m_objects.Set(r.U32(8), o);
            return true;
        }
        case kExtCreatePen: {
            GdiObject o;
            o.kind = GdiObject::Kind::Pen;
            const uint32_t style = r.U32(24);
            // Cosmetic pens are one device pixel wide whatever their stated width.
            o.pen = Pen{style, (style & kPenGeometric) ? double(r.U32(28)) : 0.0, r.U32(36) & 0xFFFFFF};
            m_objects.Set(r.U32(8), o);
            return true;
        }
        case kCreateBrushIndirect: {
            GdiObject o;
            o.kind = GdiObject::Kind::Brush;
            o.brush = Brush{r.U32(12), r.U32(16) & 0xFFFFFF, r.U32(20)};
            m_objects.Set(r.U32(8), o);
            return true;
        }
        case kCreateMonoBrush:
        case kCreateDibPatternBrushPt: {
            GdiObject o;
            o.kind = GdiObject::Kind::Brush;
            RasterImage pattern;
            bool topDown = false;
            const uint32_t offBmi = r.U32(16), cbBmi = r.U32(20), offBits = r.U32(24), cbBits = r.U32(28);
            o.brush.color = DecodeDib(r.Bytes(offBmi, cbBmi), cbBmi, r.Bytes(offBits, cbBits), cbBits, pattern, topDown)
                                ? AverageColor(pattern)
                                : RasterRgb(0x80, 0x80, 0x80);
            m_objects.Set(r.U32(8), o);
            return true;
        }
        case kExtCreateFontIndirectW: {
            GdiObject o;
            o.kind = GdiObject::Kind::Font;
            o.font.height = r.S32(12);
            o.font.escapement = r.S32(20);
            o.font.weight = r.S32(28);
            o.font.italic = r.Bytes(32, 1) && *r.Bytes(32, 1);
            o.font.underline = r.Bytes(33, 1) && *r.Bytes(33, 1);
            o.font.strikeOut = r.Bytes(34, 1) && *r.Bytes(34, 1);
            m_objects.Set(r.U32(8), o);
            return true;
        }
        default: return false;
    }
}

void EmfPlayer::Shapes(uint32_t type, const RecordView& r) {
    const bool small = type >= kPolyBezier16 && type <= kPolyPolygon16;
    switch (type) {
        case kPolygon:
        case kPolygon16: m_canvas.Polygon(Points(r, 28, r.U32(24), small)); break;
        case kPolyline:
        case kPolyline16: m_canvas.Polyline(Points(r, 28, r.U32(24), small)); break;
        case kPolylineTo:
        case kPolylineTo16: m_canvas.PolylineTo(Points(r, 28, r.U32(24), small)); break;
        case kPolyBezier:
        case kPolyBezier16: m_canvas.PolyBezier(Points(r, 28, r.U32(24), small)); break;
        case kPolyBezierTo:
        case kPolyBezierTo16: m_canvas.PolyBezierTo(Points(r, 28, r.U32(24), small)); break;
        case kPolyPolygon:
        case kPolyPolygon16: m_canvas.PolyPolygon(PolyPoints(r, small)); break;
        case kPolyPolyline:
        case kPolyPolyline16: m_canvas.PolyPolyline(PolyPoints(r, small)); break;
        case kMoveToEx: m_canvas.MoveTo(Pt32(r, 8)); break;
        case kLineTo: m_canvas.LineTo(Pt32(r, 8)); break;
        case kSetPixelV: m_canvas.SetPixel(Pt32(r, 8), r.U32(16) & 0xFFFFFF); break;
        case kRectangle: m_canvas.Rectangle(r.S32(8), r.S32(12), r.S32(16), r.S32(20)); break;
        case kEllipse: m_canvas.Ellipse(r.S32(8), r.S32(12), r.S32(16), r.S32(20)); break;
        case kRoundRect:
            m_canvas.RoundRect(r.S32(8), r.S32(12), r.S32(16), r.S32(20), r.S32(24), r.S32(28));
            break;
        case kArc:
        case kArcTo:
        case kChord:
        case kPie: {
            const ArcKind kind = type == kPie ? ArcKind::Pie : type == kChord ? ArcKind::Chord : ArcKind::Arc;
            m_canvas.Arc(kind, r.S32(8), r.S32(12), r.S32(16), r.S32(20), Pt32(r, 24), Pt32(r, 32));
            break;
        }
        default: break;
    }
}

void EmfPlayer::Paths(uint32_t type) {
    switch (type) {
        case kBeginPath: m_canvas.BeginPath(); break;
        case kEndPath: m_canvas.EndPath(); break;
        case kCloseFigure: m_canvas.CloseFigure(); break;
        case kFillPath: m_canvas.FillPath(); break;
        case kStrokePath: m_canvas.StrokePath(); break;
        case kStrokeAndFillPath: m_canvas.StrokeAndFillPath(); break;
        case kSelectClipPath: m_canvas.SelectClipPath(); break;
        case kAbortPath: m_canvas.AbortPath(); break;
        default: break;
    }
}

void EmfPlayer::Text(uint32_t type, const RecordView& r) {
    // EMRTEXT starts at 36: reference point, character count, string offset, options, rectangle.
    const Point reference = Pt32(r, 36);
    const uint32_t count = r.U32(44);
    const uint32_t offString = r.U32(48);
    const uint32_t options = r.U32(52);
    if (options & kExtTextOpaque) {
        m_canvas.FillRect(r.S32(56), r.S32(60), r.S32(64), r.S32(68), m_canvas.BkColor());
    }
    const size_t unitSize = type == kExtTextOutW ? 2 : 1;
    if (count > r.Size()) return;
    const uint8_t* text = r.Bytes(offString, size_t(count) * unitSize);
    if (!text) return;
    m_canvas.TextOut(reference, unitSize == 2 ? Utf16LeToUtf8(text, count) : Latin1ToUtf8(text, count));
}

void EmfPlayer::DrawBitmap(const RecordView& r, size_t offBmi, size_t offBits, double xSrc, double ySrc, double srcW,
                           double srcH, double xDst, double yDst, double dstW, double dstH, bool dibCoordinates) {
    const uint32_t cbBmi = r.U32(offBmi + 4), cbBits = r.U32(offBits + 4);
    const uint32_t bmi = r.U32(offBmi), bits = r.U32(offBits);
    if (cbBmi == 0) return;
    RasterImage picture;
    bool topDown = false;
    if (!DecodeDib(r.Bytes(bmi, cbBmi), cbBmi, r.Bytes(bits, cbBits), cbBits, picture, topDown)) return;
    // DIB source rectangles count rows from the bottom of a bottom-up bitmap.
    const double top = (dibCoordinates && !topDown) ? double(picture.GetHeight()) - ySrc - srcH : ySrc;
    m_canvas.DrawPicture(picture, xSrc, top, srcW, srcH, xDst, yDst, dstW, dstH);
}

void EmfPlayer::Bitmaps(uint32_t type, const RecordView& r) {
    switch (type) {
        case kStretchDiBits:
            DrawBitmap(r, 48, 56, r.S32(32), r.S32(36), r.S32(40), r.S32(44), r.S32(24), r.S32(28), r.S32(72),
                       r.S32(76), true);
            break;
        case kSetDiBitsToDevice:
            DrawBitmap(r, 48, 56, r.S32(32), r.S32(36), r.S32(40), r.S32(44), r.S32(24), r.S32(28), r.S32(40),
                       r.S32(44), true);
            break;
        case kBitBlt:
        case kStretchBlt: {
            const double xDst = r.S32(24), yDst = r.S32(28), w = r.S32(32), h = r.S32(36);
            if (r.U32(88) == 0) {  // no source bitmap: a pattern operation
                m_canvas.PatBlt(xDst, yDst, w, h, r.U32(40));
                break;
            }
            const double srcW = type == kStretchBlt ? r.S32(100) : w;
            const double srcH = type == kStretchBlt ? r.S32(104) : h;
            DrawBitmap(r, 84, 92, r.S32(44), r.S32(48), srcW, srcH, xDst, yDst, w, h, false);
            break;
        }
        default: break;
    }
}

bool EmfPlayer::Play(uint32_t type, const RecordView& r) {
    if (!State(type, r) && !Objects(type, r)) {
        if (type >= kBeginPath && type <= kAbortPath) {
            Paths(type);
        } else if (type == kExtTextOutA || type == kExtTextOutW) {
            Text(type, r);
        } else if (type == kBitBlt || type == kStretchBlt || type == kSetDiBitsToDevice || type == kStretchDiBits) {
            Bitmaps(type, r);
        } else {
            Shapes(type, r);
        }
    }
    return !m_canvas.OutOfBudget();
}

}  // namespace

bool IsEmf(const uint8_t* data, size_t size) {
    EmfHeader header;
    return ReadHeader(data, size, header);
}

bool PlayEmf(const uint8_t* data, size_t size, RasterImage& picture, const char*& error) {
    EmfHeader header;
    if (!ReadHeader(data, size, header)) {
        error = "EMF: not an enhanced metafile";
        return false;
    }
    // The frame (.01 mm) gives the size at 96 dpi and, through the reference device, the part
    // of the device space that the picture covers. Without a usable frame the bounds serve.
    double left = header.frameLeft * header.devicePixelsPerHmmX;
    double top = header.frameTop * header.devicePixelsPerHmmY;
    double right = header.frameRight * header.devicePixelsPerHmmX;
    double bottom = header.frameBottom * header.devicePixelsPerHmmY;
    double physicalWidth = (double(header.frameRight) - header.frameLeft) * kOutputDpi / kHundredthsOfMmPerInch;
    double physicalHeight = (double(header.frameBottom) - header.frameTop) * kOutputDpi / kHundredthsOfMmPerInch;
    if (!(physicalWidth >= 1 && physicalHeight >= 1)) {
        left = header.boundsLeft;
        top = header.boundsTop;
        right = double(header.boundsRight) + 1;
        bottom = double(header.boundsBottom) + 1;
        physicalWidth = right - left;
        physicalHeight = bottom - top;
    }
    uint32_t width = 0, height = 0;
    if (right <= left || bottom <= top || !FitOutputSize(physicalWidth, physicalHeight, width, height)) {
        error = "EMF: the metafile states no picture size";
        return false;
    }
    Canvas canvas;
    if (!RasterImage::FitsMemoryLimit(width, height, 32) || !canvas.Begin(width, height)) {
        picture.RefuseTooLarge(width, height, RasterImage::PixelBytes(width, height, 32));
        error = picture.LastErrorText();
        return false;
    }
    Transform deviceToOutput;
    deviceToOutput.m11 = width / (right - left);
    deviceToOutput.m22 = height / (bottom - top);
    deviceToOutput.dx = -left * deviceToOutput.m11;
    deviceToOutput.dy = -top * deviceToOutput.m22;
    canvas.SetDeviceToOutput(deviceToOutput);
    ResetDeviceContext(canvas);
    EmfPlayer player(canvas, header);
    ForEachRecord(data, size, [&](uint32_t type, const RecordView& r) { return player.Play(type, r); });
    if (!canvas.Finish(picture)) {
        error = picture.LastErrorText();
        return false;
    }
    return true;
}

}  // namespace metafile
