#include "CutterComposition.h"

#include <algorithm>
#include <cstdint>

#include "RasterBlendRow.h"
#include "RasterResampleKernels.h"

namespace cutter {

namespace {

using raster_resample::BilinearRows;
using raster_resample::Scale;
using raster_resample::SourcePlane;

// Rescale's choice: the area average when both sides shrink, bilinear sampling otherwise.
bool AveragesArea(const RasterImage& cutter, uint32_t width, uint32_t height) {
    return width < cutter.GetWidth() && height < cutter.GetHeight();
}

bool SameSize(const RasterImage& cutter, uint32_t width, uint32_t height) {
    return width == cutter.GetWidth() && height == cutter.GetHeight();
}

Scale ScaleTo(const RasterImage& cutter, uint32_t width, uint32_t height) {
    return Scale{float(cutter.GetWidth()) / float(width), float(cutter.GetHeight()) / float(height)};
}

// Where the picture overlaps the cut: columns [left, right) and picture rows [top, bottom)
// of the cut.
struct Overlap {
    int64_t left;
    int64_t right;
    int64_t top;
    int64_t bottom;
};

Overlap OverlapOf(const RasterImage& picture, const CutLayout& layout) {
    return Overlap{std::max<int64_t>(0, layout.pictureX),
                   std::min<int64_t>(layout.width, layout.pictureX + int64_t(picture.GetWidth())),
                   std::max<int64_t>(0, layout.pictureY),
                   std::min<int64_t>(layout.height, layout.pictureY + int64_t(picture.GetHeight()))};
}

// Bilinear sampling of the cutter, row by row: the alpha plane always, the colours unless
// they are one colour all over (which bilinear sampling keeps exactly).
class CutterRows {
public:
    bool Prepare(const RasterImage& cutter, const std::optional<uint32_t>& uniformColour, uint32_t width,
                 uint32_t height) {
        m_width = width;
        m_colour = uniformColour;
        const Scale scale = ScaleTo(cutter, width, height);
        const uint32_t w = cutter.GetWidth();
        const uint32_t h = cutter.GetHeight();
        if (!m_alpha.Prepare(SourcePlane{cutter.GetAlphaPlane(), w, w, h}, width, 1, scale)) return false;
        return m_colour || m_colours.Prepare(SourcePlane{cutter.GetBits(), cutter.GetStride(), w, h}, width, 3, scale);
    }

    // Stored row y of the scaled cutter into row y of out.
    void Sample(uint32_t y, RasterImage& out) {
        m_alpha.Sample(y, out.AlphaPointer(0, y));
        if (m_colour) {
            FillPixelRow(out.RowPointer(y), *m_colour, m_width);
        } else {
            m_colours.Sample(y, out.RowPointer(y));
        }
    }

private:
    uint32_t m_width = 0;
    std::optional<uint32_t> m_colour;
    BilinearRows m_alpha;
    BilinearRows m_colours;
};

// The enlarged cutter with the picture blended in, one row at a time: each row is blended
// while it is still in cache from being sampled.
bool SampleAndBlend(const RasterImage& cutter, const std::optional<uint32_t>& uniformColour,
                    const RasterImage& picture, const CutLayout& layout, RasterImage& cut) {
    RasterImage out;
    if (!out.Create(layout.width, layout.height, 24, RASTER_FORMAT_UNKNOWN) || !out.CreateAlpha()) return false;
    CutterRows rows;
    if (!rows.Prepare(cutter, uniformColour, layout.width, layout.height)) return false;
    BuildProductTable();
    const Overlap overlap = OverlapOf(picture, layout);
    const int64_t pictureHeight = picture.GetHeight();
    // Stored rows go bottom-up: walking them upwards goes up through memory in both pictures.
    for (uint32_t y = 0; y < layout.height; ++y) {
        rows.Sample(y, out);
        const int64_t row = int64_t(layout.height) - 1 - y;  // picture row of the cut
        if (row < overlap.top || row >= overlap.bottom || overlap.left >= overlap.right) continue;
        const auto pictureRow = uint32_t(pictureHeight - 1 - (row - layout.pictureY));
        const auto left = uint32_t(overlap.left);
        // Only the cut has alpha: the picture shows where the cut is transparent.
        AlphaBlendRow(out.PixelPointer(left, y), picture.PixelPointer(uint32_t(overlap.left - layout.pictureX), pictureRow),
                      out.AlphaPointer(left, y), nullptr, size_t(overlap.right - overlap.left));
    }
    return cut.TakeOver(out);
}

}  // namespace

bool ScaleCutter(RasterImage& cutter, const std::optional<uint32_t>& uniformColour, uint32_t width, uint32_t height,
                 RasterImage& scaled) {
    if (!uniformColour || !cutter.HasAlpha() || SameSize(cutter, width, height) ||
        AveragesArea(cutter, width, height)) {
        return cutter.Rescale(width, height, RASTER_RESCALE_AREA, &scaled);
    }
    // Bilinear sampling keeps a colour shared by every pixel exactly: only the alpha plane
    // needs scaling.
    if (!scaled.Create(width, height, 24, RASTER_FORMAT_UNKNOWN)) return false;
    scaled.FillColor(*uniformColour);
    uint8_t* alpha = RasterImage::RescalePlane(cutter.ExtractChannel(RASTER_CHANNEL_ALPHA), cutter.GetWidth(),
                                               cutter.GetHeight(), width, height);
    if (!alpha) return false;
    scaled.AdoptAlphaPlane(alpha);
    return true;
}

bool ComposeCut(RasterImage& cutter, const std::optional<uint32_t>& uniformColour, const RasterImage& picture,
                const CutLayout& layout, RasterImage& cut) {
    if (layout.width == 0 || layout.height == 0) return false;
    const bool rowByRow = cutter.HasAlpha() && !picture.HasAlpha() && cutter.GetBpp() == 24 &&
                          picture.GetBpp() == 24 && !SameSize(cutter, layout.width, layout.height) &&
                          !AveragesArea(cutter, layout.width, layout.height);
    if (rowByRow) return SampleAndBlend(cutter, uniformColour, picture, layout, cut);
    RasterImage scaled;
    if (!ScaleCutter(cutter, uniformColour, layout.width, layout.height, scaled)) return false;
    // An offset beyond the 32-bit range puts the picture wholly beside the cut either way.
    const auto x = int32_t(std::clamp<int64_t>(layout.pictureX, INT32_MIN, INT32_MAX));
    const auto y = int32_t(std::clamp<int64_t>(layout.pictureY, INT32_MIN, INT32_MAX));
    if (!scaled.PasteAll(picture, 0, 0, x, y, RASTER_PASTE_ALPHA_BLEND, 1.0)) {
        return false;
    }
    return cut.TakeOver(scaled);
}

}  // namespace cutter
