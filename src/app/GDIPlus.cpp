#include "app/GDIPlus.h"

#include "platform/AntiAliasedDrawing.h"

namespace {
constexpr int kProbeSize = 8;
constexpr uint8_t kCovered = 255;
}  // namespace

GDIPlus::GDIPlus(const Probe& probe) {
    const bool works = probe ? probe() : AntiAliasedDrawingWorks();
    m_status = works ? kOk : kDrawingFailed;
    if (works) m_token = 1;
}

GDIPlus::~GDIPlus() {
    // Nothing to shut down for the raster painter; only a started layer is released.
    if (m_status == kOk) m_token = 0;
}

bool GDIPlus::AntiAliasedDrawingWorks() {
    GreySurface surface(kProbeSize, kProbeSize);
    if (!surface.IsValid()) return false;
    surface.FillEllipse(0.5, 0.5, kProbeSize - 1.0, kProbeSize - 1.0, kCovered);
    const int centre = kProbeSize / 2;
    if (surface.Row(centre)[centre] != kCovered) return false;
    // The rim of the circle must be blended: some pixel lies strictly between empty and full.
    for (int y = 0; y < kProbeSize; ++y) {
        const uint8_t* row = surface.Row(y);
        for (int x = 0; x < kProbeSize; ++x) {
            if (row[x] > 0 && row[x] < kCovered) return true;
        }
    }
    return false;
}
