#include "doc/LosslessPlan.h"

#include <vector>

#include "image/formats/RasterJpegThumbnail.h"

#include <cstdio>

LosslessPlan::LosslessPlan(const JpegFrameFacts& facts)
    : m_source(facts),
      m_fromJpeg(LosslessUnsupportedReason(facts).empty()),
      m_chain(facts.size, facts.orientation) {}

LosslessPlan LosslessPlan::FromJpegFile(const std::string& path) {
    // The header comes first: a photo is not read a second time for it. Only a frame header
    // that lies beyond a megabyte of other segments needs the whole file.
    const std::vector<uint8_t> start = ReadFileStart(path.c_str(), kJpegHeaderBytes);
    if (start.size() < 2 || start[0] != 0xFF || start[1] != 0xD8) return LosslessPlan();
    JpegFrameFacts facts;
    std::string reason;
    if (ReadJpegFrameFacts(start.data(), start.size(), facts, reason) && facts.frameMarker != 0) {
        return LosslessPlan(facts);
    }
    if (start.size() < kJpegHeaderBytes) return LosslessPlan();
    const LosslessJpegResult header = CheckLosslessJpegFile(path, LosslessJpegRequest{});
    const bool haveFacts = header.status != LosslessJpegStatus::NotJpeg && header.status != LosslessJpegStatus::Damaged &&
                           header.source.frameMarker != 0;
    return haveFacts ? LosslessPlan(header.source) : LosslessPlan();
}

void LosslessPlan::TurnRight() { m_chain.Apply(kLayoutTurnRight); }
void LosslessPlan::TurnLeft() { m_chain.Apply(kLayoutTurnLeft); }
void LosslessPlan::Mirror() { m_chain.Apply(kLayoutMirror); }
void LosslessPlan::Flip() { m_chain.Apply(kLayoutFlip); }
void LosslessPlan::Spoil() { m_spoiled = true; }

void LosslessPlan::Cut(const RasterRect& box) {
    if (!m_chain.Cut(box)) Spoil();
}

LosslessLayout LosslessPlan::Check() const {
    return PlanLosslessCut(m_chain.ShownPlace(), m_source.size, m_source.grid, m_chain.Layout());
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

RasterRect LosslessPlan::WrittenPart() const {
    const RasterRect written = Check().shown;
    const RasterRect place = m_chain.ShownPlace();
    return {written.left - place.left, written.top - place.top, written.right - place.left, written.bottom - place.top};
}

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
    request.layout = m_chain.Layout();
    request.storedCut = m_chain.StoredCut();
    request.allowTrim = allowTrim;
    return request;
}

ShownGrid LosslessPlan::GridInPicture() const {
    ShownGrid grid = ShownGridOf(m_source.size, m_source.grid, m_chain.Layout());
    const RasterRect place = m_chain.ShownPlace();
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
    const RasterRect place = m_chain.ShownPlace();
    const RasterRect shown{place.left + box.left, place.top + box.top, place.left + box.right, place.top + box.bottom};
    const RasterRect snapped = SnapCornerToGrid(shown, ShownGridOf(m_source.size, m_source.grid, m_chain.Layout()), place);
    return {snapped.left - place.left, snapped.top - place.top, snapped.right - place.left, snapped.bottom - place.top};
}
