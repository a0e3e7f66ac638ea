#include "view/DisplayCopies.h"

#include <algorithm>
#include <cmath>

#include "doc/PictureDocument.h"
#include "image/metadata/ColourConversion.h"
#include "image/resample/RasterRotateFine.h"
#include "view/ViewPainter.h"

namespace {

// Rescaling into another picture only reads the source (its error text aside), so the
// document's picture serves as the source without being copied first.
bool RescaleInto(const RasterImage& source, QSize size, RasterImage& copy) {
    return const_cast<RasterImage&>(source).Rescale(uint32_t(size.width()), uint32_t(size.height()),
                                                    RASTER_RESCALE_AREA, &copy);
}

}  // namespace

void DisplayCopies::Clear() {
    m_viewCopy.Destroy();
    m_reduced.Destroy();
    m_reducedLogical.Destroy();
    ForgetShown();
}

void DisplayCopies::ForgetShown() {
    m_shownCopy.Destroy();
    m_shownRatio = 0;
}

void DisplayCopies::ReduceAhead(const RasterImage& work, QSize bound, qreal ratio, std::vector<RasterImage>& made) {
    made.clear();
    made.reserve(2);  // no reallocation: a copy of a picture would copy its pixels
    made.emplace_back();
    made.emplace_back();
    if (!ReduceToFit(work, bound * ratio, made[0])) made[0].Destroy();
    if (ratio > 1 && !ReduceToFit(work, bound, made[1])) made[1].Destroy();
}

void DisplayCopies::AdoptAhead(std::vector<RasterImage>& made, QSize workSize, QSize bound, qreal ratio) {
    m_ahead.swap(made);
    m_aheadWork = workSize;
    m_aheadBound = bound;
    m_aheadRatio = ratio;
}

void DisplayCopies::Reduce(const PictureDocument& document, QSize bound, qreal ratio) {
    m_reduced.Destroy();
    m_reducedLogical.Destroy();
    const RasterImage& work = document.ShownPicture();
    std::vector<RasterImage> ahead;
    ahead.swap(m_ahead);
    if (!work.IsValid()) return;
    const QSize workSize(int(work.GetWidth()), int(work.GetHeight()));
    if (ahead.size() == 2 && m_aheadWork == workSize && m_aheadBound == bound && m_aheadRatio == ratio) {
        m_reduced.TakeOver(ahead[0]);
        m_reducedLogical.TakeOver(ahead[1]);
        return;
    }
    // Without memory for them, relayouts simply use the working picture.
    if (!ReduceToFit(work, bound * ratio, m_reduced)) m_reduced.Destroy();
    // View copies are made at logical pixels: on a HiDPI screen a smaller reduction serves them.
    if (ratio > 1 && !ReduceToFit(work, bound, m_reducedLogical)) m_reducedLogical.Destroy();
}

bool DisplayCopies::ReduceToFit(const RasterImage& work, QSize bound, RasterImage& reduced) {
    const double workWidth = work.GetWidth();
    const double workHeight = work.GetHeight();
    const double scale = std::min(bound.width() / workWidth, bound.height() / workHeight);
    constexpr double kWorthReducing = 0.8;
    if (!(scale > 0) || scale >= kWorthReducing) return true;
    const int w = int(std::max(1L, std::lround(workWidth * scale)));
    const int h = int(std::max(1L, std::lround(workHeight * scale)));
    return RescaleInto(work, {w, h}, reduced);
}

const RasterImage& DisplayCopies::ScaleSource(const RasterImage& work, QSize target) const {
    const auto fits = [target](const RasterImage& reduced) {
        return reduced.IsValid() && uint32_t(target.width()) <= reduced.GetWidth() &&
               uint32_t(target.height()) <= reduced.GetHeight();
    };
    if (fits(m_reducedLogical)) return m_reducedLogical;
    return fits(m_reduced) ? m_reduced : work;
}

bool DisplayCopies::MakeScaledCopy(const PictureDocument& document, QSize size, RasterImage& copy) const {
    const RasterImage& work = document.ShownPicture();
    const bool made = size == QSize(int(work.GetWidth()), int(work.GetHeight()))
                          ? copy.Copy(work)
                          : RescaleInto(ScaleSource(work, size), size, copy);
    // Shown in the colours the picture's colour profile means.
    if (made && copy.IsValid()) ConvertToScreenColours(copy, document.Metadata().icc);
    // Straightened: turned about its centre within its own rectangle, as Cut will sample it.
    if (made && copy.IsValid() && document.StraightenDegrees() != 0.0) {
        RasterImage turned;
        const RasterRect whole{0, 0, int32_t(copy.GetWidth()), int32_t(copy.GetHeight())};
        return raster_resample::RenderTurnedRegion(copy, document.StraightenDegrees(), whole, turned, {0}) &&
               copy.TakeOver(turned);
    }
    return made;
}

bool DisplayCopies::Fit(const PictureDocument& document) {
    const cropbox::Size size = document.ViewSize();
    if (document.PicturesValid() && !document.ShownPicture().IsValid()) return RefitViewCopy({size.width, size.height});
    m_viewCopy.Destroy();
    ForgetShown();
    if (!document.PicturesValid()) return false;
    return MakeScaledCopy(document, {size.width, size.height}, m_viewCopy);
}

bool DisplayCopies::RefitViewCopy(QSize size) {
    ForgetShown();
    if (!m_viewCopy.IsValid()) return false;
    if (size == QSize(int(m_viewCopy.GetWidth()), int(m_viewCopy.GetHeight()))) return true;
    RasterImage refitted;
    if (!RescaleInto(m_viewCopy, size, refitted)) return false;
    return m_viewCopy.TakeOver(refitted);
}

void DisplayCopies::ApplyLightPreview(const PictureDocument& document) {
    // A stand-in made from the last view copy carries the preview already.
    if (!document.ShownPicture().IsValid()) return;
    PictureDocument::ApplyLightValues(m_viewCopy, document.Contrast(), document.Brightness());
    ForgetShown();
}

const RasterImage& DisplayCopies::Shown(const PictureDocument& document, qreal ratio, bool makeNew) {
    if (!m_viewCopy.IsValid() || !document.ShownPicture().IsValid()) return m_viewCopy;
    const QSize viewSize(int(m_viewCopy.GetWidth()), int(m_viewCopy.GetHeight()));
    const QSize size = ViewPainter::ShownSize(viewSize, ratio);
    if (size == viewSize || size.isEmpty()) return m_viewCopy;
    if (m_shownRatio == ratio && m_shownCopy.IsValid()) return m_shownCopy;
    if (!makeNew) return m_viewCopy;
    m_shownRatio = ratio;
    if (!MakeScaledCopy(document, size, m_shownCopy)) {
        m_shownCopy.Destroy();
        return m_viewCopy;
    }
    PictureDocument::ApplyLightValues(m_shownCopy, document.Contrast(), document.Brightness());
    return m_shownCopy;
}
