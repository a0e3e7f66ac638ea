// The logical screen on which the images of a multi-image GIF file are composited.
//
// The canvas is a 24-bit picture plus a "painted" mask. Pixels that no image has covered
// (or that a "restore to background" disposal cleared) stay unpainted until Finish, which
// fills them with the background colour, or with a transparent colour when the file uses
// transparency. That colour is chosen so that no painted pixel has it, because the rest of
// the system turns every pixel of the transparent colour into a transparent one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/RasterImage.h"

// A rectangle in picture coordinates (y = 0 at the top), already clipped to the screen.
struct RasterGifRect {
    uint32_t left = 0;
    uint32_t top = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    bool IsEmpty() const { return width == 0 || height == 0; }
};

// GIF disposal methods (what happens to an image's area before the next image is drawn).
enum class RasterGifDisposal : int {
    Unspecified = 0,
    Keep = 1,
    RestoreBackground = 2,
    RestorePrevious = 3,
};

class RasterGifCanvas {
public:
    // Allocates the picture and the mask; false with image's last error on failure.
    bool Create(uint32_t width, uint32_t height, RasterImage& errorSink);
    bool IsCreated() const { return m_image.IsValid(); }

    // Draws one image: indices holds rect.height rows of rect.width palette indices (row r
    // at indices + r * stride); pixels equal to transparentIndex (when >= 0) are left as
    // they are. palette has 256 entries. First carries out the previous image's disposal;
    // disposal is remembered for the next image. False only when memory runs out.
    bool DrawImage(const RasterGifRect& rect, const uint8_t* indices, ptrdiff_t stride,
                   const RasterRgbQuad* palette, int transparentIndex, RasterGifDisposal disposal);

    // Fills the unpainted pixels and moves the picture into out. With transparent, they get
    // a colour that no painted pixel has (preferredKey when possible) and out gets
    // transparent index 0 and that colour; otherwise they get background.
    bool Finish(bool transparent, RasterRgbQuad preferredKey, RasterRgbQuad background, RasterImage& out);

private:
    void ApplyPendingDisposal();
    bool SaveArea(const RasterGifRect& rect);
    RasterRgbQuad PickUnusedColor(RasterRgbQuad preferred) const;
    uint8_t* Pixel(uint32_t x, uint32_t y) { return m_image.PixelPointer(x, m_image.GetHeight() - 1 - y); }
    uint8_t* Painted(uint32_t x, uint32_t y) { return m_painted.data() + size_t(y) * m_image.GetWidth() + x; }

    RasterImage m_image;
    std::vector<uint8_t> m_painted;   // picture-row order, 1 = covered by an image

    RasterGifDisposal m_pendingDisposal = RasterGifDisposal::Unspecified;
    RasterGifRect m_pendingRect;
    std::vector<uint8_t> m_savedPixels;   // area under the last image (restore previous)
    std::vector<uint8_t> m_savedPainted;
};
