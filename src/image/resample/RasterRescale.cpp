// Rescale and RescalePlane: resizing by nearest sampling, area averaging (both sides shrink,
// 24 bits) or bilinear sampling (everything else).
#include "image/RasterGeometrySupport.h"
#include "image/RasterImage.h"
#include "image/resample/RasterResampleKernels.h"

using namespace raster_geometry;
using namespace raster_resample;

namespace {

SourcePlane SourceOf(const RasterImage& image) {
    return SourcePlane{image.GetBits(), image.GetStride(), image.GetWidth(), image.GetHeight()};
}

TargetPlane TargetOf(RasterImage& image) {
    return TargetPlane{image.GetBits(), image.GetStride(), image.GetWidth(), image.GetHeight()};
}

// Palette images below 8 bits: indices copied pixel by pixel.
Outcome PickIndices(const RasterImage& source, RasterImage& target, Scale scale, Stopper stop) {
    for (uint32_t y = 0; y < target.GetHeight(); ++y) {
        if (stop()) return Outcome::Stopped;
        const uint32_t sy = ScaledIndex(y, scale.y, source.GetHeight());
        for (uint32_t x = 0; x < target.GetWidth(); ++x) {
            target.SetPixelIndex(x, y, source.GetPixelIndex(ScaledIndex(x, scale.x, source.GetWidth()), sy));
        }
    }
    return Outcome::Done;
}

// Palette images: the palette colours are blended and the nearest entry written.
Outcome InterpolateColors(const RasterImage& source, RasterImage& target, Scale scale, Stopper stop) {
    for (uint32_t y = 0; y < target.GetHeight(); ++y) {
        if (stop()) return Outcome::Stopped;
        const SamplePosition row = BilinearPosition(y, scale.y, source.GetHeight());
        for (uint32_t x = 0; x < target.GetWidth(); ++x) {
            const SamplePosition column = BilinearPosition(x, scale.x, source.GetWidth());
            const RasterRgbQuad c1 = source.GetPixelColor(column.index, row.index, false);
            const RasterRgbQuad c2 = source.GetPixelColor(column.next, row.index, false);
            const RasterRgbQuad c3 = source.GetPixelColor(column.index, row.next, false);
            const RasterRgbQuad c4 = source.GetPixelColor(column.next, row.next, false);
            const float dx = column.fraction;
            const float dy = row.fraction;
            const RasterRgbQuad blended{
                BilinearChannel(c1.rgbBlue, c2.rgbBlue, c3.rgbBlue, c4.rgbBlue, dx, dy),
                BilinearChannel(c1.rgbGreen, c2.rgbGreen, c3.rgbGreen, c4.rgbGreen, dx, dy),
                BilinearChannel(c1.rgbRed, c2.rgbRed, c3.rgbRed, c4.rgbRed, dx, dy), 0};
            target.SetPixelColor(x, y, blended, false);
        }
    }
    return Outcome::Done;
}

Outcome ResampleNearest(const RasterImage& source, RasterImage& target, Scale scale, Stopper stop) {
    switch (source.GetBpp()) {
        case 24: return Nearest(SourceOf(source), TargetOf(target), 3, scale, stop);
        case 8: return Nearest(SourceOf(source), TargetOf(target), 1, scale, stop);
        default: return PickIndices(source, target, scale, stop);
    }
}

Outcome ResampleBilinear(const RasterImage& source, RasterImage& target, Scale scale, Stopper stop) {
    if (source.GetBpp() == 24) return Bilinear(SourceOf(source), TargetOf(target), 3, scale, stop);
    return InterpolateColors(source, target, scale, stop);
}

// The new alpha plane of a palette image: nearest sampling.
uint8_t* PickAlpha(const RasterImage& source, uint32_t newWidth, uint32_t newHeight, Scale scale, Stopper stop) {
    PlaneArray plane = AllocatePlane(size_t(newWidth) * newHeight);
    if (!plane) return nullptr;
    const SourcePlane from{source.GetAlphaPlane(), source.GetWidth(), source.GetWidth(), source.GetHeight()};
    const TargetPlane to{plane.get(), newWidth, newWidth, newHeight};
    return Nearest(from, to, 1, scale, stop) == Outcome::Done ? plane.release() : nullptr;
}

bool Succeeded(RasterImage& image, Outcome outcome) {
    if (outcome == Outcome::NoMemory) image.SetLastError(kNoMemoryText);
    return outcome == Outcome::Done;  // a stop request has set its own text
}

}  // namespace

uint8_t* RasterImage::RescalePlane(uint8_t* plane, uint32_t width, uint32_t height, uint32_t newWidth,
                                   uint32_t newHeight) {
    PlaneArray input(plane);
    if (!plane || width < 1 || height < 1 || newWidth < 1 || newHeight < 1) return nullptr;
    if (width == newWidth && height == newHeight) return input.release();
    PlaneArray output = AllocatePlane(size_t(newWidth) * newHeight);
    if (!output) return nullptr;
    const Scale scale{float(width) / float(newWidth), float(height) / float(newHeight)};
    const SourcePlane source{plane, width, width, height};
    const TargetPlane target{output.get(), newWidth, newWidth, newHeight};
    Outcome outcome;
    if (newWidth < width && newHeight < height) {
        const auto nScale = int64_t(scale.y * scale.x * float(RASTER_RESCALE_ACCURACY));
        outcome = AreaShrink(source, target, 1, scale, nScale, Stopper{});
    } else {
        outcome = Bilinear(source, target, 1, scale, Stopper{});
    }
    return outcome == Outcome::Done ? output.release() : nullptr;
}

bool RasterImage::Rescale(uint32_t newWidth, uint32_t newHeight, int mode, RasterImage* destination) {
    if (!IsValid() || newWidth == 0 || newHeight == 0) return false;
    const uint32_t width = GetWidth();
    const uint32_t height = GetHeight();
    if (newWidth == width && newHeight == height) {
        if (!destination || destination == this || destination->Copy(*this)) return true;
        SetLastError(destination->LastErrorText());
        return false;
    }
    const Scale scale{float(width) / float(newWidth), float(height) / float(newHeight)};
    RasterImage result;
    if (!CreateBlankLike(result, *this, newWidth, newHeight, GetBpp())) return false;

    const bool trueColour = GetBpp() == 24;
    const Stopper stop{this, &StopRequested};
    // 24-bit alpha is resized like a colour channel; palette alpha by nearest sampling below.
    PlaneArray alpha;
    if (trueColour && m_alpha) {
        uint8_t* copy = CopyAlphaPlane(*this);
        if (copy) alpha.reset(RescalePlane(copy, width, height, newWidth, newHeight));
        if (!alpha) {
            SetLastError(kNoMemoryText);
            return false;
        }
    }

    // There is no bicubic mode: RASTER_RESCALE_BICUBIC and unknown modes take the area path.
    Outcome outcome;
    if (mode == RASTER_RESCALE_NEAREST) {
        outcome = ResampleNearest(*this, result, scale, stop);
    } else if (trueColour && newWidth < width && newHeight < height) {
        const auto nScale = int64_t(float(RASTER_RESCALE_ACCURACY) * scale.x * scale.y);
        outcome = AreaShrink(SourceOf(*this), TargetOf(result), 3, scale, nScale, stop);
    } else {
        outcome = ResampleBilinear(*this, result, scale, stop);
    }
    if (!Succeeded(*this, outcome)) return false;

    if (m_alpha) {
        if (!alpha) {
            alpha.reset(PickAlpha(*this, newWidth, newHeight, scale, stop));
            if (!alpha) return Succeeded(*this, IsEscaped() ? Outcome::Stopped : Outcome::NoMemory);
        }
        result.AdoptAlphaPlane(alpha.release());
    }
    return HandOver(*this, result, destination);
}
