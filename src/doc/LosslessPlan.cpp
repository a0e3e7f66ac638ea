#include "doc/LosslessPlan.h"

#include <algorithm>
#include <cstdio>

LosslessPlan::LosslessPlan(const JpegFrameFacts& facts)
    : m_source(facts),
      m_fromJpeg(LosslessUnsupportedReason(facts).empty()),
      m_layout(facts.orientation),
      m_storedCut{0, 0, int32_t(facts.size.width), int32_t(facts.size.height)} {}

LosslessPlan LosslessPlan::FromJpegFile(const std::string& path) {
    const LosslessJpegResult header = CheckLosslessJpegFile(path, LosslessJpegRequest{});
    const bool haveFacts = header.status != LosslessJpegStatus::NotJpeg && header.status != LosslessJpegStatus::Damaged &&
                           header.source.frameMarker != 0;
    return haveFacts ? LosslessPlan(header.source) : LosslessPlan();
}

void LosslessPlan::TurnRight() { m_layout = ComposeLayouts(m_layout, kLayoutTurnRight); }
void LosslessPlan::TurnLeft() { m_layout = ComposeLayouts(m_layout, kLayoutTurnLeft); }
void LosslessPlan::Mirror() { m_layout = ComposeLayouts(m_layout, kLayoutMirror); }
void LosslessPlan::Flip() { m_layout = ComposeLayouts(m_layout, kLayoutFlip); }
void LosslessPlan::Spoil() { m_spoiled = true; }

void LosslessPlan::Cut(const RasterRect& box) {
    if (!m_fromJpeg) return;
    const RasterRect place = ShownPlace();
    const int32_t width = place.right - place.left;
    const int32_t height = place.bottom - place.top;
    const RasterRect clipped{std::clamp(box.left, 0, width), std::clamp(box.top, 0, height),
                             std::clamp(box.right, 0, width), std::clamp(box.bottom, 0, height)};
    if (clipped.left >= clipped.right || clipped.top >= clipped.bottom) {
        Spoil();
        return;
    }
    const RasterRect shown{place.left + clipped.left, place.top + clipped.top, place.left + clipped.right,
                           place.top + clipped.bottom};
    m_storedCut = StoredRectOf(shown, m_source.size, m_layout);
}

RasterRect LosslessPlan::ShownPlace() const { return ShownRectOf(m_storedCut, m_source.size, m_layout); }

PixelSize LosslessPlan::PictureSize() const {
    const RasterRect place = ShownPlace();
    return {uint32_t(place.right - place.left), uint32_t(place.bottom - place.top)};
}

LosslessLayout LosslessPlan::Check() const {
    return PlanLosslessCut(ShownPlace(), m_source.size, m_source.grid, m_layout);
}

LosslessPlan::State LosslessPlan::GetState() const {
    if (!m_fromJpeg) return State::NotJpeg;
    if (m_spoiled) return State::Spoiled;
    switch (Check().verdict) {
        case LosslessVerdict::Lossless: return State::Lossless;
        case LosslessVerdict::NeedsTrim: return State::NeedsTrim;
        case LosslessVerdict::CornerOffGrid: return State::OffGrid;
        case LosslessVerdict::Empty: return State::Spoiled;
    }
    return State::Spoiled;
}

PixelSize LosslessPlan::Trim() const { return GetState() == State::NeedsTrim ? Check().trim : PixelSize{}; }

std::string LosslessPlan::Explanation() const {
    switch (GetState()) {
        case State::NotJpeg: return "Not opened from a JPEG that can be saved without re-encoding";
        case State::Spoiled: return "Changed beyond cuts and turns: the JPEG is re-encoded";
        case State::Lossless: return "Lossless JPEG save";
        case State::NeedsTrim: {
            const PixelSize trim = Trim();
            char text[160];
            std::snprintf(text, sizeof text, "Lossless JPEG save without %u column(s) and %u row(s) at the edge",
                          trim.width, trim.height);
            return text;
        }
        case State::OffGrid: return "The cut is off the JPEG block grid: " + LosslessVerdictText(Check());
    }
    return {};
}

LosslessJpegRequest LosslessPlan::Request(bool allowTrim) const {
    LosslessJpegRequest request;
    request.layout = m_layout;
    request.storedCut = m_storedCut;
    request.allowTrim = allowTrim;
    return request;
}

ShownGrid LosslessPlan::GridInPicture() const {
    ShownGrid grid = ShownGridOf(m_source.size, m_source.grid, m_layout);
    const RasterRect place = ShownPlace();
    const auto relative = [](uint32_t offset, int32_t origin, uint32_t step) {
        if (step == 0) return 0u;
        const int64_t shifted = (int64_t(offset) - origin) % int64_t(step);
        return uint32_t(shifted < 0 ? shifted + step : shifted);
    };
    grid.offset = {relative(grid.offset.width, place.left, grid.step.width),
                   relative(grid.offset.height, place.top, grid.step.height)};
    return grid;
}

RasterRect LosslessPlan::SnapBoxCorner(const RasterRect& box) const {
    const State state = GetState();
    if (state == State::NotJpeg || state == State::Spoiled) return box;
    const RasterRect place = ShownPlace();
    const RasterRect shown{place.left + box.left, place.top + box.top, place.left + box.right, place.top + box.bottom};
    const RasterRect snapped = SnapCornerToGrid(shown, ShownGridOf(m_source.size, m_source.grid, m_layout), place);
    return {snapped.left - place.left, snapped.top - place.top, snapped.right - place.left, snapped.bottom - place.top};
}
