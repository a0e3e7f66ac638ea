#include "cutter/CutterComposition.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "image/compose/RasterBlendRow.h"
#include "image/RasterBlockPool.h"
#include "image/resample/RasterResampleKernels.h"

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

// The rows of the cut: the cutter's alpha and colours sampled at the cut's size, and the
// picture blended in under them where it lies (columns [left, right) of the row).
class CutRows {
public:
    CutRows(const std::optional<uint32_t>& uniformColour, uint32_t width) : m_colour(uniformColour), m_width(width) {}

    // Bilinear sampling of the cutter: the alpha plane always, the colours unless they are one
    // colour all over (which bilinear sampling keeps exactly).
    bool Prepare(const RasterImage& cutter, uint32_t height) {
        const Scale scale = ScaleTo(cutter, m_width, height);
        const uint32_t w = cutter.GetWidth();
        const uint32_t h = cutter.GetHeight();
        if (!m_alpha.Prepare(SourcePlane{cutter.GetAlphaPlane(), w, w, h}, m_width, 1, scale)) return false;
        return m_colour || m_colours.Prepare(SourcePlane{cutter.GetBits(), cutter.GetStride(), w, h}, m_width, 3, scale);
    }

    // Stored row y of out, made after row y - 1 (if any); picture is null where no picture row
    // lies under it.
    void Make(uint32_t y, RasterImage& out, const uint8_t* picture, uint32_t left, uint32_t right) {
        uint8_t* alpha = out.AlphaPointer(0, y);
        uint8_t* row = out.RowPointer(y);
        m_alpha.SelectRow(y);
        const bool alphaRepeats = m_alpha.RowRepeats();
        if (alphaRepeats) {
            std::memcpy(alpha, alpha - m_width, m_width);  // the alpha plane has no row padding
        } else {
            m_alpha.SampleRange(0, m_width, alpha);
        }
        if (!picture) left = right = m_width;
        const size_t n = right - left;
        uint8_t* under = row + size_t(left) * 3;
        if (m_colour) {
            // Written once: the colour beside the picture, the blend over it.
            FillPixelRow(row, *m_colour, left);
            if (n) BlendUnderColorRow(under, picture, alpha + left, *m_colour, n);
            FillPixelRow(row + size_t(right) * 3, *m_colour, m_width - right);
            return;
        }
        m_colours.SelectRow(y);
        MakeColours(row, alpha, alphaRepeats, left, right);
        // Only the cut has alpha: the picture shows where the cut is transparent.
        if (n) AlphaBlendRow(under, picture, alpha + left, nullptr, n);
    }

private:
    // The cutter's colours of the row, before the picture is blended in. Between two equal
    // source rows, of the colours and of the alpha, every row has the colours of the first
    // and leaves out the same stretches: that first row's colours are kept and copied.
    void MakeColours(uint8_t* row, const uint8_t* alpha, bool alphaRepeats, uint32_t left, uint32_t right) {
        const size_t bytes = size_t(m_width) * 3;
        const bool sameStretches = m_kept.valid && m_kept.left == left && m_kept.right == right;
        if (alphaRepeats && m_colours.RowRepeats() && sameStretches) {
            std::memcpy(row, m_kept.colours.get(), bytes);
            return;
        }
        SampleColoursAround(row, alpha, left, right);
        m_kept.valid = m_colours.PairIsStill() && KeepRoom(bytes);
        if (!m_kept.valid) return;
        std::memcpy(m_kept.colours.get(), row, bytes);
        m_kept.left = left;
        m_kept.right = right;
    }

    bool KeepRoom(size_t bytes) {
        if (!m_kept.colours) m_kept.colours.reset(new (std::nothrow) uint8_t[bytes]);
        return m_kept.colours != nullptr;
    }

    // Pixels per stretch whose colours are skipped together (a whole number of the sampler's
    // 32-byte blocks).
    static constexpr uint32_t kSkipPixels = 32;  // read as two 16-byte vectors

    // The cutter's colours of the current row, except in whole stretches over the picture
    // (columns [left, right)) where the cutter is transparent: the blend takes the picture
    // as it is there, whatever colour lies under it.
    void SampleColoursAround(uint8_t* row, const uint8_t* alpha, uint32_t left, uint32_t right) {
        size_t pending = 0;  // first pixel not yet sampled
        for (size_t x = (size_t(left) + kSkipPixels - 1) / kSkipPixels * kSkipPixels; x + kSkipPixels <= right;
             x += kSkipPixels) {
            if (!AllTransparent(alpha + x)) continue;
            if (x > pending) m_colours.SampleRange(pending * 3, x * 3, row);
            pending = x + kSkipPixels;
        }
        m_colours.SampleRange(pending * 3, size_t(m_width) * 3, row);
    }

    static bool AllTransparent(const uint8_t* alpha) {
#ifdef __SSE2__
        const auto* vectors = reinterpret_cast<const __m128i*>(alpha);
        const __m128i any = _mm_or_si128(_mm_loadu_si128(vectors), _mm_loadu_si128(vectors + 1));
        return _mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) == 0xFFFF;
#else
        return std::all_of(alpha, alpha + kSkipPixels, [](uint8_t a) { return a == 0; });
#endif
    }

    // The colours of the first row between two equal source rows, and the picture's columns
    // they were made for (the stretches left out depend on them).
    struct KeptColours {
        std::unique_ptr<uint8_t[]> colours;
        bool valid = false;
        uint32_t left = 0;
        uint32_t right = 0;
    };

    std::optional<uint32_t> m_colour;
    uint32_t m_width;
    BilinearRows m_alpha;
    BilinearRows m_colours;
    KeptColours m_kept;
};

// The enlarged cutter with the picture blended in, one row at a time: each row is blended
// while it is still in cache from being sampled.
bool SampleAndBlend(const RasterImage& cutter, const std::optional<uint32_t>& uniformColour,
                    const RasterImage& picture, const CutLayout& layout, RasterImage& cut) {
    RasterImage out;
    if (!out.Create(layout.width, layout.height, 24, RASTER_FORMAT_UNKNOWN)) return false;
    // Every byte of the alpha plane is sampled below: it is not cleared first.
    uint8_t* alpha = RasterBlockPool::Shared().Allocate(size_t(layout.width) * layout.height);
    if (!alpha) return false;
    out.AdoptAlphaPlane(alpha);
    CutRows rows(uniformColour, layout.width);
    if (!rows.Prepare(cutter, layout.height)) return false;
    const Overlap overlap = OverlapOf(picture, layout);
    const bool columnsOverlap = overlap.left < overlap.right;
    const auto left = uint32_t(columnsOverlap ? overlap.left : 0);
    const auto right = uint32_t(columnsOverlap ? overlap.right : 0);
    const int64_t pictureHeight = picture.GetHeight();
    // Stored rows go bottom-up: walking them upwards goes up through memory in both pictures.
    for (uint32_t y = 0; y < layout.height; ++y) {
        const int64_t row = int64_t(layout.height) - 1 - y;  // picture row of the cut
        const uint8_t* under = nullptr;
        if (columnsOverlap && row >= overlap.top && row < overlap.bottom) {
            const auto pictureRow = uint32_t(pictureHeight - 1 - (row - layout.pictureY));
            under = picture.PixelPointer(uint32_t(overlap.left - layout.pictureX), pictureRow);
        }
        rows.Make(y, out, under, left, right);
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

bool RescaleWindow(RasterImage& picture, uint32_t width, uint32_t height, const RasterRect& window,
                   RasterImage& part) {
    if (window.left < 0 || window.top < 0 || window.right <= window.left || window.bottom <= window.top ||
        uint32_t(window.right) > width || uint32_t(window.bottom) > height || picture.GetBpp() != 24) {
        return false;
    }
    if (picture.HasAlpha() || SameSize(picture, width, height) || AveragesArea(picture, width, height)) {
        // No larger than the picture: made whole, then cut.
        RasterImage whole;
        return picture.Rescale(width, height, RASTER_RESCALE_AREA, &whole) && whole.Crop(window, &part);
    }
    const auto partWidth = uint32_t(window.right - window.left);
    const auto partHeight = uint32_t(window.bottom - window.top);
    BilinearRows rows;
    const uint32_t w = picture.GetWidth();
    if (!rows.Prepare(SourcePlane{picture.GetBits(), picture.GetStride(), w, picture.GetHeight()}, width, 3,
                      ScaleTo(picture, width, height))) {
        return false;
    }
    std::unique_ptr<uint8_t[]> row(new (std::nothrow) uint8_t[size_t(width) * 3]);
    if (!row || !part.Create(partWidth, partHeight, 24, RASTER_FORMAT_UNKNOWN)) return false;
    const size_t first = size_t(window.left) * 3;
    const size_t last = size_t(window.right) * 3;
    // Stored rows go bottom-up in both: the part's lowest row is the window's bottom row.
    const uint32_t lowest = height - uint32_t(window.bottom);
    for (uint32_t y = 0; y < partHeight; ++y) {
        rows.SelectRow(lowest + y);
        if (rows.RowRepeats()) {
            std::memcpy(part.RowPointer(y), part.RowPointer(y - 1), last - first);
            continue;
        }
        rows.SampleRange(first, last, row.get());
        std::memcpy(part.RowPointer(y), row.get() + first, last - first);
    }
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
