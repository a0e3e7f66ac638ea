// The drawing side of the metafile players (WMF and EMF): a GDI-like device context on a
// cairo image surface, anti-aliased. Coordinates given to it are logical units; it maps them
// through the world transform, the window/viewport mapping and the output mapping.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

#include "image/RasterImage.h"

namespace metafile {

struct Point {
    double x;
    double y;
};

// Affine transform: x' = m11 x + m21 y + dx, y' = m12 x + m22 y + dy (GDI XFORM order).
struct Transform {
    double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;
    Point Apply(Point p) const { return {m11 * p.x + m21 * p.y + dx, m12 * p.x + m22 * p.y + dy}; }
    // this followed by next.
    Transform Then(const Transform& next) const;
};

// GDI pen, brush and font as the players create them.
struct Pen {
    uint32_t style = 0;    // PS_* including end cap, join and geometric bits
    double width = 0;      // logical units; 0 = one device pixel
    uint32_t color = 0;    // COLORREF
};

struct Brush {
    uint32_t style = 0;    // BS_*
    uint32_t color = 0xFFFFFF;
    uint32_t hatch = 0;
};

struct Font {
    double height = 0;     // logical units; negative = character height
    double escapement = 0; // tenths of a degree, counter-clockwise
    int32_t weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
};

// Text alignment flags (TA_*).
constexpr uint32_t kTextAlignUpdateCp = 1;
constexpr uint32_t kTextAlignRight = 2;
constexpr uint32_t kTextAlignCenter = 6;
constexpr uint32_t kTextAlignBottom = 8;
constexpr uint32_t kTextAlignBaseline = 24;

constexpr uint32_t kBkModeTransparent = 1;
constexpr uint32_t kPolyFillAlternate = 1;

enum class ArcKind { Arc, Chord, Pie };

class Canvas {
public:
    Canvas();
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // A white surface of the output size. False when cairo cannot make it.
    bool Begin(uint32_t width, uint32_t height);
    // Copies the drawing into a 24-bit picture.
    bool Finish(RasterImage& image) const;

    // Maps reference-device coordinates (after window/viewport) to output pixels.
    void SetDeviceToOutput(const Transform& t) { m_deviceToOutput = t; }

    // ---- state ---------------------------------------------------------------------------
    void SetWindowOrg(double x, double y) { m_state.windowOrg = {x, y}; }
    void SetWindowExt(double x, double y);
    void SetViewportOrg(double x, double y) { m_state.viewportOrg = {x, y}; }
    void SetViewportExt(double x, double y);
    Point WindowOrg() const { return m_state.windowOrg; }
    Point WindowExt() const { return m_state.windowExt; }
    Point ViewportOrg() const { return m_state.viewportOrg; }
    Point ViewportExt() const { return m_state.viewportExt; }
    void SetIsotropic(bool isotropic) { m_state.isotropic = isotropic; }
    void SetWorldTransform(const Transform& t) { m_state.world = t; }
    const Transform& WorldTransform() const { return m_state.world; }

    void SetPen(const Pen& pen) { m_state.pen = pen; }
    void SetBrush(const Brush& brush) { m_state.brush = brush; }
    void SetFont(const Font& font) { m_state.font = font; }
    void SetTextColor(uint32_t color) { m_state.textColor = color; }
    void SetBkColor(uint32_t color) { m_state.bkColor = color; }
    uint32_t BkColor() const { return m_state.bkColor; }
    void SetBkMode(uint32_t mode) { m_state.bkMode = mode; }
    void SetPolyFillMode(uint32_t mode) { m_state.polyFillMode = mode; }
    void SetTextAlign(uint32_t align) { m_state.textAlign = align; }
    void SaveState();
    // relative < 0: back that many levels; > 0: to that absolute level.
    void RestoreState(int32_t relative);

    // ---- clipping --------------------------------------------------------------------------
    void IntersectClipRect(double left, double top, double right, double bottom);
    void ExcludeClipRect(double left, double top, double right, double bottom);

    // ---- drawing (logical coordinates) -----------------------------------------------------
    void MoveTo(Point p);
    void LineTo(Point p);
    Point CurrentPosition() const { return m_state.current; }
    void Polyline(const std::vector<Point>& points);
    void PolylineTo(const std::vector<Point>& points);
    void PolyBezier(const std::vector<Point>& points);   // first point then groups of three
    void PolyBezierTo(const std::vector<Point>& points);
    void Polygon(const std::vector<Point>& points);
    void PolyPolygon(const std::vector<std::vector<Point>>& polygons);
    void PolyPolyline(const std::vector<std::vector<Point>>& lines);
    void Rectangle(double left, double top, double right, double bottom);
    void RoundRect(double left, double top, double right, double bottom, double width, double height);
    void Ellipse(double left, double top, double right, double bottom);
    void Arc(ArcKind kind, double left, double top, double right, double bottom, Point start, Point end);
    void FillRect(double left, double top, double right, double bottom, uint32_t color);
    void PatBlt(double left, double top, double width, double height, uint32_t rop);
    void SetPixel(Point p, uint32_t color);
    // Text in UTF-8 at the reference point, with the current font, colour and alignment.
    void TextOut(Point p, const std::string& utf8);
    // A 24-bit picture (alpha plane respected) stretched into the destination rectangle;
    // the source rectangle is in picture coordinates (y = 0 at the top).
    void DrawPicture(const RasterImage& picture, double srcX, double srcY, double srcW, double srcH,
                     double dstX, double dstY, double dstW, double dstH);

    // ---- paths ---------------------------------------------------------------------------
    void BeginPath();
    void EndPath();
    void AbortPath();
    void CloseFigure();
    void FillPath();
    void StrokePath();
    void StrokeAndFillPath();
    void SelectClipPath();

    // Drawing stops once the work done exceeds what any sane picture needs.
    bool OutOfBudget() const { return m_work > m_workBudget; }

private:
    // A clip area in output pixels: polygons filled with the winding or even-odd rule.
    struct ClipShape {
        std::vector<std::vector<Point>> rings;
        bool evenOdd = false;
    };

    struct State {
        Point windowOrg{0, 0};
        Point windowExt{1, 1};
        Point viewportOrg{0, 0};
        Point viewportExt{1, 1};
        bool isotropic = false;
        Transform world;
        Pen pen;
        Brush brush;
        Font font;
        uint32_t textColor = 0;
        uint32_t bkColor = 0xFFFFFF;
        uint32_t bkMode = 2;  // opaque
        uint32_t polyFillMode = kPolyFillAlternate;
        uint32_t textAlign = 0;
        Point current{0, 0};
        std::vector<ClipShape> clips;  // all of them clip (intersection)
    };

    Transform LogicalToOutput() const;
    Point Map(Point p) const { return LogicalToOutput().Apply(p); }
    double DeviceScale() const;
    void AddPolyline(const std::vector<Point>& points, bool close);
    void ContinueFigure(const std::vector<Point>& points);
    void AddEllipse(double left, double top, double right, double bottom);
    void ApplyClip();
    bool UsePen();
    bool UseBrush();
    void FillAndStroke(bool fill, bool stroke);
    void Charge(double pixels);
    void AddArcPath(double left, double top, double right, double bottom, Point start, Point end, bool moveFirst);

    cairo_surface_t* m_surface = nullptr;
    cairo_t* m_cr = nullptr;
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    Transform m_deviceToOutput;
    State m_state;
    std::vector<State> m_saved;
    bool m_inPath = false;
    cairo_path_t* m_path = nullptr;  // the path being built (device space), kept across records
    double m_work = 0;
    double m_workBudget = 0;
};

}  // namespace metafile
