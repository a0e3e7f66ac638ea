// Guard of the anti-aliased drawing layer for the whole run. Qt's raster painter needs no
// start call, so the guard proves instead that anti-aliased drawing works: it fills a small
// ellipse and checks that the edge is blended and the inside covered. The status is 0 when
// the drawing layer works; the application refuses to start otherwise.
#pragma once

#include <cstdint>
#include <functional>

class GDIPlus {
public:
    // The drawing check; tests pass one that fails. Without one the real check runs.
    using Probe = std::function<bool()>;

    static constexpr int kOk = 0;
    static constexpr int kDrawingFailed = 1;

    explicit GDIPlus(const Probe& probe = {});
    ~GDIPlus();
    GDIPlus(const GDIPlus&) = delete;
    GDIPlus& operator=(const GDIPlus&) = delete;

    int Status() const { return m_status; }
    // True while a started layer is held (only when the start succeeded).
    bool Started() const { return m_token != 0; }

    // The real check: anti-aliased filling of a small QImage through QPainter.
    static bool AntiAliasedDrawingWorks();

private:
    uintptr_t m_token = 0;  // non-zero while the layer is held
    int m_status = kDrawingFailed;
};
