#include "image/formats/RasterMetafileCanvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace metafile {

namespace {

// Pen style bits.
constexpr uint32_t kPenStyleMask = 0x0F;
constexpr uint32_t kPenDash = 1;
constexpr uint32_t kPenDot = 2;
constexpr uint32_t kPenDashDot = 3;
constexpr uint32_t kPenDashDotDot = 4;
constexpr uint32_t kPenNull = 5;
constexpr uint32_t kPenEndCapMask = 0x0F00;
constexpr uint32_t kPenEndCapSquare = 0x0100;
constexpr uint32_t kPenEndCapFlat = 0x0200;
constexpr uint32_t kPenJoinMask = 0xF000;
constexpr uint32_t kPenJoinBevel = 0x1000;
constexpr uint32_t kPenJoinMiter = 0x2000;
// Brush styles.
constexpr uint32_t kBrushSolid = 0;
constexpr uint32_t kBrushNull = 1;
constexpr uint32_t kBrushHatched = 2;
// Hatch styles.
constexpr uint32_t kHatchHorizontal = 0;
constexpr uint32_t kHatchVertical = 1;
constexpr uint32_t kHatchForwardDiagonal = 2;
constexpr uint32_t kHatchBackwardDiagonal = 3;
constexpr uint32_t kHatchCross = 4;
constexpr int kHatchSize = 8;
// Raster operations of PatBlt.
constexpr uint32_t kRopBlackness = 0x00000042;
constexpr uint32_t kRopWhiteness = 0x00FF0062;
constexpr uint32_t kRopPatCopy = 0x00F00021;
// Pixel work allowed per output pixel before drawing stops.
constexpr double kWorkPerPixel = 64;
constexpr double kMinimumWork = 1e8;
constexpr double kDefaultFontHeight = 12;
constexpr double kPi = 3.14159265358979323846;

void SetColor(cairo_t* cr, uint32_t color) {
    cairo_set_source_rgb(cr, RasterRed(color) / 255.0, RasterGreen(color) / 255.0, RasterBlue(color) / 255.0);
}

bool Finite(Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }

}  // namespace

Transform Transform::Then(const Transform& next) const {
    Transform r;
    r.m11 = m11 * next.m11 + m12 * next.m21;
    r.m12 = m11 * next.m12 + m12 * next.m22;
    r.m21 = m21 * next.m11 + m22 * next.m21;
    r.m22 = m21 * next.m12 + m22 * next.m22;
    r.dx = dx * next.m11 + dy * next.m21 + next.dx;
    r.dy = dx * next.m12 + dy * next.m22 + next.dy;
    return r;
}

Canvas::Canvas() = default;

Canvas::~Canvas() {
    if (m_path) cairo_path_destroy(m_path);
    if (m_cr) cairo_destroy(m_cr);
    if (m_surface) cairo_surface_destroy(m_surface);
}

bool Canvas::Begin(uint32_t width, uint32_t height) {
    m_surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, int(width), int(height));
    if (cairo_surface_status(m_surface) != CAIRO_STATUS_SUCCESS) return false;
    m_cr = cairo_create(m_surface);
    if (cairo_status(m_cr) != CAIRO_STATUS_SUCCESS) return false;
    m_width = width;
    m_height = height;
    m_workBudget = std::max(kMinimumWork, kWorkPerPixel * width * height);
    cairo_set_source_rgb(m_cr, 1, 1, 1);
    cairo_paint(m_cr);
    cairo_set_antialias(m_cr, CAIRO_ANTIALIAS_GOOD);
    return true;
}

bool Canvas::Finish(RasterImage& image) const {
    if (!m_surface) return false;
    cairo_surface_flush(m_surface);
    if (!image.Create(m_width, m_height, 24, RASTER_FORMAT_WMF)) return false;
    const uint8_t* data = cairo_image_surface_get_data(m_surface);
    const int stride = cairo_image_surface_get_stride(m_surface);
    for (uint32_t y = 0; y < m_height; ++y) {
        const auto* src = reinterpret_cast<const uint32_t*>(data + size_t(y) * size_t(stride));
        uint8_t* dst = image.RowPointer(m_height - 1 - y);
        for (uint32_t x = 0; x < m_width; ++x, dst += 3) {
            dst[0] = uint8_t(src[x]);
            dst[1] = uint8_t(src[x] >> 8);
            dst[2] = uint8_t(src[x] >> 16);
        }
    }
    return true;
}

void Canvas::SetWindowExt(double x, double y) {
    if (x != 0 && y != 0 && std::isfinite(x) && std::isfinite(y)) m_state.windowExt = {x, y};
}

void Canvas::SetViewportExt(double x, double y) {
    if (x != 0 && y != 0 && std::isfinite(x) && std::isfinite(y)) m_state.viewportExt = {x, y};
}

Transform Canvas::LogicalToOutput() const {
    double sx = m_state.viewportExt.x / m_state.windowExt.x;
    double sy = m_state.viewportExt.y / m_state.windowExt.y;
    if (m_state.isotropic) {
        const double s = std::min(std::fabs(sx), std::fabs(sy));
        sx = std::copysign(s, sx);
        sy = std::copysign(s, sy);
    }
    Transform page;
    page.m11 = sx;
    page.m22 = sy;
    page.dx = m_state.viewportOrg.x - m_state.windowOrg.x * sx;
    page.dy = m_state.viewportOrg.y - m_state.windowOrg.y * sy;
    return m_state.world.Then(page).Then(m_deviceToOutput);
}

double Canvas::DeviceScale() const {
    const Transform t = LogicalToOutput();
    return std::sqrt(std::fabs(t.m11 * t.m22 - t.m12 * t.m21));
}

void Canvas::SaveState() {
    if (m_saved.size() < 4096) m_saved.push_back(m_state);
}

void Canvas::RestoreState(int32_t relative) {
    if (m_saved.empty()) return;
    size_t target;
    if (relative < 0) {
        const size_t back = size_t(-int64_t(relative));
        if (back > m_saved.size()) return;
        target = m_saved.size() - back;
    } else {
        if (relative == 0 || size_t(relative) > m_saved.size()) return;
        target = size_t(relative) - 1;
    }
    m_state = m_saved[target];
    m_saved.resize(target);
}

void Canvas::Charge(double pixels) {
    m_work += std::max(1.0, pixels);
}

// ---- clipping ------------------------------------------------------------------------------

void Canvas::ApplyClip() {
    cairo_reset_clip(m_cr);
    for (const ClipShape& shape : m_state.clips) {
        cairo_new_path(m_cr);
        for (const auto& ring : shape.rings) {
            for (size_t i = 0; i < ring.size(); ++i) {
                if (i == 0) cairo_move_to(m_cr, ring[i].x, ring[i].y);
                else cairo_line_to(m_cr, ring[i].x, ring[i].y);
            }
            cairo_close_path(m_cr);
        }
        cairo_set_fill_rule(m_cr, shape.evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
        cairo_clip(m_cr);
    }
    cairo_new_path(m_cr);
}

void Canvas::IntersectClipRect(double left, double top, double right, double bottom) {
    ClipShape shape;
    shape.rings.push_back({Map({left, top}), Map({right, top}), Map({right, bottom}), Map({left, bottom})});
    m_state.clips.push_back(std::move(shape));
}

void Canvas::ExcludeClipRect(double left, double top, double right, double bottom) {
    ClipShape shape;
    shape.evenOdd = true;
    const double w = m_width, h = m_height;
    shape.rings.push_back({{-1, -1}, {w + 1, -1}, {w + 1, h + 1}, {-1, h + 1}});
    shape.rings.push_back({Map({left, top}), Map({right, top}), Map({right, bottom}), Map({left, bottom})});
    m_state.clips.push_back(std::move(shape));
}

// ---- pens and brushes ----------------------------------------------------------------------

bool Canvas::UsePen() {
    const Pen& pen = m_state.pen;
    const uint32_t style = pen.style & kPenStyleMask;
    if (style == kPenNull) return false;
    SetColor(m_cr, pen.color);
    const double width = pen.width > 0 ? std::min(pen.width * DeviceScale(), 4096.0) : 1.0;
    cairo_set_line_width(m_cr, std::max(width, 1.0));
    switch (pen.style & kPenEndCapMask) {
        case kPenEndCapSquare: cairo_set_line_cap(m_cr, CAIRO_LINE_CAP_SQUARE); break;
        case kPenEndCapFlat: cairo_set_line_cap(m_cr, CAIRO_LINE_CAP_BUTT); break;
        default: cairo_set_line_cap(m_cr, CAIRO_LINE_CAP_ROUND); break;
    }
    switch (pen.style & kPenJoinMask) {
        case kPenJoinBevel: cairo_set_line_join(m_cr, CAIRO_LINE_JOIN_BEVEL); break;
        case kPenJoinMiter: cairo_set_line_join(m_cr, CAIRO_LINE_JOIN_MITER); break;
        default: cairo_set_line_join(m_cr, CAIRO_LINE_JOIN_ROUND); break;
    }
    const double unit = std::max(width, 1.0);
    const double dash[] = {6 * unit, 2 * unit};
    const double dot[] = {unit, unit};
    const double dashDot[] = {6 * unit, 2 * unit, unit, 2 * unit};
    const double dashDotDot[] = {6 * unit, 2 * unit, unit, 2 * unit, unit, 2 * unit};
    switch (style) {
        case kPenDash: cairo_set_dash(m_cr, dash, 2, 0); break;
        case kPenDot: cairo_set_dash(m_cr, dot, 2, 0); break;
        case kPenDashDot: cairo_set_dash(m_cr, dashDot, 4, 0); break;
        case kPenDashDotDot: cairo_set_dash(m_cr, dashDotDot, 6, 0); break;
        default: cairo_set_dash(m_cr, nullptr, 0, 0); break;
    }
    return true;
}

bool Canvas::UseBrush() {
    const Brush& brush = m_state.brush;
    if (brush.style == kBrushNull) return false;
    if (brush.style != kBrushHatched) {
        SetColor(m_cr, brush.color);
        return true;
    }
    // A small repeating tile with the hatch lines; the background shows through.
    cairo_surface_t* tile = cairo_image_surface_create(CAIRO_FORMAT_A8, kHatchSize, kHatchSize);
    cairo_t* tc = cairo_create(tile);
    cairo_set_line_width(tc, 1);
    const double h = kHatchSize, m = kHatchSize / 2.0 + 0.5;
    const uint32_t hatch = brush.hatch;
    if (hatch == kHatchHorizontal || hatch == kHatchCross) {
        cairo_move_to(tc, 0, m);
        cairo_line_to(tc, h, m);
    }
    if (hatch == kHatchVertical || hatch == kHatchCross) {
        cairo_move_to(tc, m, 0);
        cairo_line_to(tc, m, h);
    }
    if (hatch == kHatchForwardDiagonal || hatch > kHatchCross) {
        cairo_move_to(tc, 0, 0);
        cairo_line_to(tc, h, h);
    }
    if (hatch == kHatchBackwardDiagonal || hatch > kHatchCross) {
        cairo_move_to(tc, 0, h);
        cairo_line_to(tc, h, 0);
    }
    cairo_stroke(tc);
    cairo_destroy(tc);
    cairo_pattern_t* mask = cairo_pattern_create_for_surface(tile);
    cairo_pattern_set_extend(mask, CAIRO_EXTEND_REPEAT);
    // Hatching is drawn through the tile as a mask: push the colour and mask when filling.
    cairo_push_group(m_cr);
    SetColor(m_cr, brush.color);
    cairo_mask(m_cr, mask);
    cairo_pattern_t* group = cairo_pop_group(m_cr);
    cairo_pattern_set_extend(group, CAIRO_EXTEND_NONE);
    cairo_set_source(m_cr, group);
    cairo_pattern_destroy(group);
    cairo_pattern_destroy(mask);
    cairo_surface_destroy(tile);
    return true;
}

void Canvas::FillAndStroke(bool fill, bool stroke) {
    if (m_inPath) return;  // the shape was only added to the path
    if (OutOfBudget()) {
        cairo_new_path(m_cr);
        return;
    }
    double x1, y1, x2, y2;
    cairo_path_extents(m_cr, &x1, &y1, &x2, &y2);
    x1 = std::clamp(x1, 0.0, double(m_width));
    x2 = std::clamp(x2, 0.0, double(m_width));
    y1 = std::clamp(y1, 0.0, double(m_height));
    y2 = std::clamp(y2, 0.0, double(m_height));
    Charge((x2 - x1 + 2) * (y2 - y1 + 2));
    // The clip is applied around a copy of the path, so that the path survives it.
    cairo_path_t* path = cairo_copy_path(m_cr);
    cairo_save(m_cr);
    ApplyClip();
    cairo_append_path(m_cr, path);
    cairo_path_destroy(path);
    cairo_set_fill_rule(m_cr, m_state.polyFillMode == kPolyFillAlternate ? CAIRO_FILL_RULE_EVEN_ODD
                                                                          : CAIRO_FILL_RULE_WINDING);
    if (fill && UseBrush()) cairo_fill_preserve(m_cr);
    if (stroke && UsePen()) cairo_stroke_preserve(m_cr);
    cairo_new_path(m_cr);
    cairo_restore(m_cr);
}

// ---- shapes --------------------------------------------------------------------------------

void Canvas::AddPolyline(const std::vector<Point>& points, bool close) {
    bool first = true;
    for (const Point& p : points) {
        const Point d = Map(p);
        if (!Finite(d)) continue;
        if (first) cairo_move_to(m_cr, d.x, d.y);
        else cairo_line_to(m_cr, d.x, d.y);
        first = false;
    }
    if (close && !first) cairo_close_path(m_cr);
    Charge(double(points.size()));
}

void Canvas::MoveTo(Point p) {
    m_state.current = p;
    if (m_inPath) {
        const Point d = Map(p);
        if (Finite(d)) cairo_move_to(m_cr, d.x, d.y);
    }
}

void Canvas::ContinueFigure(const std::vector<Point>& points) {
    // Inside a path bracket a figure runs on from the current point; outside it each call
    // draws on its own from the current position.
    if (m_inPath && cairo_has_current_point(m_cr)) {
        for (const Point& p : points) {
            const Point d = Map(p);
            if (Finite(d)) cairo_line_to(m_cr, d.x, d.y);
        }
        Charge(double(points.size()));
        return;
    }
    std::vector<Point> all{m_state.current};
    all.insert(all.end(), points.begin(), points.end());
    if (!m_inPath) cairo_new_path(m_cr);
    AddPolyline(all, false);
}

void Canvas::LineTo(Point p) {
    ContinueFigure({p});
    m_state.current = p;
    FillAndStroke(false, true);
}

void Canvas::Polyline(const std::vector<Point>& points) {
    if (points.size() < 2) return;
    if (!m_inPath) cairo_new_path(m_cr);
    AddPolyline(points, false);
    FillAndStroke(false, true);
}

void Canvas::PolylineTo(const std::vector<Point>& points) {
    if (points.empty()) return;
    ContinueFigure(points);
    m_state.current = points.back();
    FillAndStroke(false, true);
}

void Canvas::PolyBezierTo(const std::vector<Point>& points) {
    if (points.size() < 3) return;
    if (!m_inPath) {
        cairo_new_path(m_cr);
        const Point s = Map(m_state.current);
        cairo_move_to(m_cr, s.x, s.y);
    } else if (!cairo_has_current_point(m_cr)) {
        const Point s = Map(m_state.current);
        cairo_move_to(m_cr, s.x, s.y);
    }
    for (size_t i = 0; i + 2 < points.size(); i += 3) {
        const Point a = Map(points[i]), b = Map(points[i + 1]), c = Map(points[i + 2]);
        if (Finite(a) && Finite(b) && Finite(c)) cairo_curve_to(m_cr, a.x, a.y, b.x, b.y, c.x, c.y);
        m_state.current = points[i + 2];
    }
    Charge(double(points.size()));
    FillAndStroke(false, true);
}

void Canvas::PolyBezier(const std::vector<Point>& points) {
    if (points.size() < 4) return;
    const Point saved = m_state.current;
    m_state.current = points[0];
    if (m_inPath) {
        const Point s = Map(points[0]);
        cairo_move_to(m_cr, s.x, s.y);
    }
    PolyBezierTo(std::vector<Point>(points.begin() + 1, points.end()));
    m_state.current = saved;
}

void Canvas::Polygon(const std::vector<Point>& points) {
    if (points.size() < 2) return;
    if (!m_inPath) cairo_new_path(m_cr);
    AddPolyline(points, true);
    FillAndStroke(true, true);
}

void Canvas::PolyPolygon(const std::vector<std::vector<Point>>& polygons) {
    if (!m_inPath) cairo_new_path(m_cr);
    for (const auto& polygon : polygons) AddPolyline(polygon, true);
    FillAndStroke(true, true);
}

void Canvas::PolyPolyline(const std::vector<std::vector<Point>>& lines) {
    if (!m_inPath) cairo_new_path(m_cr);
    for (const auto& line : lines) AddPolyline(line, false);
    FillAndStroke(false, true);
}

void Canvas::Rectangle(double left, double top, double right, double bottom) {
    Polygon({{left, top}, {right, top}, {right, bottom}, {left, bottom}});
}

void Canvas::AddEllipse(double left, double top, double right, double bottom) {
    // Four Bezier quarters in logical space, mapped point by point (the mapping is affine).
    constexpr double k = 0.5522847498307936;
    const double cx = (left + right) / 2, cy = (top + bottom) / 2;
    const double rx = (right - left) / 2, ry = (bottom - top) / 2;
    const Point start = Map({cx + rx, cy});
    if (!Finite(start)) return;
    cairo_move_to(m_cr, start.x, start.y);
    const double c[4][6] = {
        {cx + rx, cy + k * ry, cx + k * rx, cy + ry, cx, cy + ry},
        {cx - k * rx, cy + ry, cx - rx, cy + k * ry, cx - rx, cy},
        {cx - rx, cy - k * ry, cx - k * rx, cy - ry, cx, cy - ry},
        {cx + k * rx, cy - ry, cx + rx, cy - k * ry, cx + rx, cy},
    };
    for (const auto& q : c) {
        const Point a = Map({q[0], q[1]}), b = Map({q[2], q[3]}), e = Map({q[4], q[5]});
        cairo_curve_to(m_cr, a.x, a.y, b.x, b.y, e.x, e.y);
    }
    cairo_close_path(m_cr);
}

void Canvas::Ellipse(double left, double top, double right, double bottom) {
    if (!m_inPath) cairo_new_path(m_cr);
    AddEllipse(left, top, right, bottom);
    FillAndStroke(true, true);
}

void Canvas::RoundRect(double left, double top, double right, double bottom, double width, double height) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    const double rx = std::min(std::fabs(width) / 2, (right - left) / 2);
    const double ry = std::min(std::fabs(height) / 2, (bottom - top) / 2);
    if (rx <= 0 || ry <= 0) {
        Rectangle(left, top, right, bottom);
        return;
    }
    constexpr double k = 0.5522847498307936;
    if (!m_inPath) cairo_new_path(m_cr);
    auto line = [&](double x, double y) {
        const Point d = Map({x, y});
        cairo_line_to(m_cr, d.x, d.y);
    };
    auto curve = [&](double x1, double y1, double x2, double y2, double x3, double y3) {
        const Point a = Map({x1, y1}), b = Map({x2, y2}), c = Map({x3, y3});
        cairo_curve_to(m_cr, a.x, a.y, b.x, b.y, c.x, c.y);
    };
    const Point s = Map({left + rx, top});
    if (!Finite(s)) return;
    cairo_move_to(m_cr, s.x, s.y);
    line(right - rx, top);
    curve(right - rx + k * rx, top, right, top + ry - k * ry, right, top + ry);
    line(right, bottom - ry);
    curve(right, bottom - ry + k * ry, right - rx + k * rx, bottom, right - rx, bottom);
    line(left + rx, bottom);
    curve(left + rx - k * rx, bottom, left, bottom - ry + k * ry, left, bottom - ry);
    line(left, top + ry);
    curve(left, top + ry - k * ry, left + rx - k * rx, top, left + rx, top);
    cairo_close_path(m_cr);
    FillAndStroke(true, true);
}

void Canvas::AddArcPath(double left, double top, double right, double bottom, Point start, Point end,
                        bool moveFirst) {
    const double cx = (left + right) / 2, cy = (top + bottom) / 2;
    const double rx = std::fabs(right - left) / 2, ry = std::fabs(bottom - top) / 2;
    if (rx <= 0 || ry <= 0) return;
    // Angles of the radial lines through the start and end points; arcs run counter-clockwise
    // as the picture shows them (y grows downwards in logical space).
    double a1 = std::atan2(-(start.y - cy) / ry, (start.x - cx) / rx);
    double a2 = std::atan2(-(end.y - cy) / ry, (end.x - cx) / rx);
    if (a2 <= a1) a2 += 2 * kPi;
    const int steps = std::clamp(int((a2 - a1) / (kPi / 32)) + 1, 2, 256);
    for (int i = 0; i <= steps; ++i) {
        const double a = a1 + (a2 - a1) * i / steps;
        const Point d = Map({cx + rx * std::cos(a), cy - ry * std::sin(a)});
        if (i == 0 && moveFirst) cairo_move_to(m_cr, d.x, d.y);
        else cairo_line_to(m_cr, d.x, d.y);
    }
}

void Canvas::Arc(ArcKind kind, double left, double top, double right, double bottom, Point start, Point end) {
    if (!m_inPath) cairo_new_path(m_cr);
    const double cx = (left + right) / 2, cy = (top + bottom) / 2;
    if (kind == ArcKind::Pie) {
        const Point c = Map({cx, cy});
        cairo_move_to(m_cr, c.x, c.y);
        AddArcPath(left, top, right, bottom, start, end, false);
        cairo_close_path(m_cr);
    } else {
        AddArcPath(left, top, right, bottom, start, end, true);
        if (kind == ArcKind::Chord) cairo_close_path(m_cr);
    }
    FillAndStroke(kind != ArcKind::Arc, true);
}

void Canvas::FillRect(double left, double top, double right, double bottom, uint32_t color) {
    if (m_inPath) return;
    const Brush saved = m_state.brush;
    const Pen savedPen = m_state.pen;
    m_state.brush = Brush{kBrushSolid, color, 0};
    m_state.pen.style = kPenNull;
    cairo_new_path(m_cr);
    AddPolyline({{left, top}, {right, top}, {right, bottom}, {left, bottom}}, true);
    FillAndStroke(true, false);
    m_state.brush = saved;
    m_state.pen = savedPen;
}

void Canvas::PatBlt(double left, double top, double width, double height, uint32_t rop) {
    if (rop == kRopBlackness) {
        FillRect(left, top, left + width, top + height, 0x000000);
    } else if (rop == kRopWhiteness) {
        FillRect(left, top, left + width, top + height, 0xFFFFFF);
    } else if (rop == kRopPatCopy) {
        const Pen savedPen = m_state.pen;
        m_state.pen.style = kPenNull;
        cairo_new_path(m_cr);
        AddPolyline({{left, top}, {left + width, top}, {left + width, top + height}, {left, top + height}}, true);
        FillAndStroke(true, false);
        m_state.pen = savedPen;
    }
}

void Canvas::SetPixel(Point p, uint32_t color) {
    const Point d = Map(p);
    if (!Finite(d)) return;
    if (m_inPath) return;
    Charge(1);
    cairo_save(m_cr);
    ApplyClip();
    SetColor(m_cr, color);
    cairo_rectangle(m_cr, std::floor(d.x), std::floor(d.y), 1, 1);
    cairo_fill(m_cr);
    cairo_restore(m_cr);
}

// ---- text ----------------------------------------------------------------------------------

void Canvas::TextOut(Point p, const std::string& utf8) {
    if (utf8.empty() || m_inPath || OutOfBudget()) return;
    const Font& font = m_state.font;
    const double logicalHeight = font.height == 0 ? kDefaultFontHeight : std::fabs(font.height);
    const Transform t = LogicalToOutput();
    const double scaleY = std::sqrt(t.m21 * t.m21 + t.m22 * t.m22);
    double size = logicalHeight * scaleY;
    // A positive height is the cell height; the em size is a little smaller.
    if (font.height > 0) size *= 0.8;
    if (!(size >= 0.5) || size > 8192) return;
    const Point origin = Map(p);
    if (!Finite(origin)) return;

    cairo_save(m_cr);
    ApplyClip();
    cairo_select_font_face(m_cr, "sans-serif", font.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           font.weight >= 600 ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(m_cr, size);
    cairo_text_extents_t extents;
    cairo_text_extents(m_cr, utf8.c_str(), &extents);
    cairo_font_extents_t fe;
    cairo_font_extents(m_cr, &fe);
    Charge(extents.width * size + 1);
    cairo_translate(m_cr, origin.x, origin.y);
    // Escapement turns the baseline counter-clockwise; y grows downwards on the surface.
    cairo_rotate(m_cr, -font.escapement / 10.0 * kPi / 180.0);
    double x = 0, y = 0;
    const uint32_t align = m_state.textAlign;
    if ((align & kTextAlignCenter) == kTextAlignCenter) x = -extents.x_advance / 2;
    else if (align & kTextAlignRight) x = -extents.x_advance;
    if ((align & kTextAlignBaseline) == kTextAlignBaseline) y = 0;
    else if (align & kTextAlignBottom) y = -fe.descent;
    else y = fe.ascent;
    if (m_state.bkMode != kBkModeTransparent) {
        SetColor(m_cr, m_state.bkColor);
        cairo_rectangle(m_cr, x, y - fe.ascent, extents.x_advance, fe.ascent + fe.descent);
        cairo_fill(m_cr);
    }
    SetColor(m_cr, m_state.textColor);
    cairo_move_to(m_cr, x, y);
    cairo_show_text(m_cr, utf8.c_str());
    if (font.underline || font.strikeOut) {
        const double line = std::max(1.0, size / 14);
        if (font.underline) cairo_rectangle(m_cr, x, y + line, extents.x_advance, line);
        if (font.strikeOut) cairo_rectangle(m_cr, x, y - fe.ascent / 3, extents.x_advance, line);
        cairo_fill(m_cr);
    }
    cairo_restore(m_cr);
    if (align & kTextAlignUpdateCp) {
        // Advance the current position by the text's width in logical units.
        const double scaleX = std::sqrt(t.m11 * t.m11 + t.m12 * t.m12);
        if (scaleX > 0) m_state.current = {p.x + extents.x_advance / scaleX, p.y};
    }
}

// ---- pictures ------------------------------------------------------------------------------

void Canvas::DrawPicture(const RasterImage& picture, double srcX, double srcY, double srcW, double srcH,
                         double dstX, double dstY, double dstW, double dstH) {
    if (!picture.IsValid() || picture.GetBpp() != 24 || m_inPath || OutOfBudget()) return;
    if (srcW == 0 || srcH == 0 || dstW == 0 || dstH == 0) return;
    const uint32_t w = picture.GetWidth(), h = picture.GetHeight();
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(w), int(h));
    if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(image);
        return;
    }
    cairo_surface_flush(image);
    uint8_t* data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    for (uint32_t y = 0; y < h; ++y) {
        auto* dst = reinterpret_cast<uint32_t*>(data + size_t(y) * size_t(stride));
        const uint8_t* src = picture.RowPointer(h - 1 - y);
        const uint8_t* alpha = picture.HasAlpha() ? picture.AlphaPointer(0, h - 1 - y) : nullptr;
        for (uint32_t x = 0; x < w; ++x, src += 3) {
            const uint32_t a = alpha ? alpha[x] : 255;
            const auto pm = [a](uint32_t c) { return (c * a + 127) / 255; };
            dst[x] = (a << 24) | (pm(src[2]) << 16) | (pm(src[1]) << 8) | pm(src[0]);
        }
    }
    cairo_surface_mark_dirty(image);

    const Point p0 = Map({dstX, dstY});
    const Point px = Map({dstX + dstW, dstY});
    const Point py = Map({dstX, dstY + dstH});
    if (!Finite(p0) || !Finite(px) || !Finite(py)) {
        cairo_surface_destroy(image);
        return;
    }
    Charge(std::fabs((px.x - p0.x) * (py.y - p0.y)) + double(w) * h);
    cairo_save(m_cr);
    ApplyClip();
    // Map the source rectangle onto the destination parallelogram.
    cairo_matrix_t m;
    cairo_matrix_init(&m, (px.x - p0.x) / srcW, (px.y - p0.y) / srcW, (py.x - p0.x) / srcH, (py.y - p0.y) / srcH,
                      p0.x, p0.y);
    cairo_matrix_t check = m;
    if (cairo_matrix_invert(&check) == CAIRO_STATUS_SUCCESS) {
        cairo_transform(m_cr, &m);
        cairo_translate(m_cr, -srcX, -srcY);
        cairo_rectangle(m_cr, srcX, srcY, srcW, srcH);
        cairo_clip(m_cr);
        cairo_set_source_surface(m_cr, image, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(m_cr), CAIRO_FILTER_GOOD);
        cairo_paint(m_cr);
    }
    cairo_restore(m_cr);
    cairo_surface_destroy(image);
}

// ---- paths ---------------------------------------------------------------------------------

void Canvas::BeginPath() {
    if (m_path) {
        cairo_path_destroy(m_path);
        m_path = nullptr;
    }
    cairo_new_path(m_cr);
    m_inPath = true;
}

void Canvas::EndPath() {
    if (!m_inPath) return;
    m_inPath = false;
    if (m_path) cairo_path_destroy(m_path);
    m_path = cairo_copy_path(m_cr);
    cairo_new_path(m_cr);
}

void Canvas::AbortPath() {
    m_inPath = false;
    cairo_new_path(m_cr);
    if (m_path) {
        cairo_path_destroy(m_path);
        m_path = nullptr;
    }
}

void Canvas::CloseFigure() {
    if (m_inPath && cairo_has_current_point(m_cr)) cairo_close_path(m_cr);
}

void Canvas::FillPath() {
    if (!m_path) return;
    cairo_new_path(m_cr);
    cairo_append_path(m_cr, m_path);
    FillAndStroke(true, false);
    AbortPath();
}

void Canvas::StrokePath() {
    if (!m_path) return;
    cairo_new_path(m_cr);
    cairo_append_path(m_cr, m_path);
    FillAndStroke(false, true);
    AbortPath();
}

void Canvas::StrokeAndFillPath() {
    if (!m_path) return;
    cairo_new_path(m_cr);
    cairo_append_path(m_cr, m_path);
    FillAndStroke(true, true);
    AbortPath();
}

void Canvas::SelectClipPath() {
    if (!m_path) return;
    cairo_new_path(m_cr);
    cairo_append_path(m_cr, m_path);
    cairo_path_t* flat = cairo_copy_path_flat(m_cr);
    cairo_new_path(m_cr);
    ClipShape shape;
    shape.evenOdd = m_state.polyFillMode == kPolyFillAlternate;
    for (int i = 0; i < flat->num_data; i += flat->data[i].header.length) {
        const cairo_path_data_t& d = flat->data[i];
        if (d.header.type == CAIRO_PATH_MOVE_TO) shape.rings.emplace_back();
        if ((d.header.type == CAIRO_PATH_MOVE_TO || d.header.type == CAIRO_PATH_LINE_TO) && !shape.rings.empty()) {
            shape.rings.back().push_back({flat->data[i + 1].point.x, flat->data[i + 1].point.y});
        }
    }
    cairo_path_destroy(flat);
    m_state.clips.push_back(std::move(shape));
    AbortPath();
}

}  // namespace metafile
