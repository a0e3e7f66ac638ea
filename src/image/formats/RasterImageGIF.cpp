// GIF reading.
//
// A file whose only image covers the logical screen exactly becomes a palette image (1, 4
// or 8 bits) with the transparent index of its graphic control extension. Anything else
// (several images, or an image smaller than or offset within the screen) is composited onto
// a 24-bit picture of the screen size; see RasterGifCanvas for the background and
// transparency rules.
//
// Limits, so that hostile files end quickly:
// - the screen must fit the memory limit before anything is allocated;
// - at most kMaxImages images are read;
// - the LZW data of every image is decoded in full even where the image is clipped, so
//   the declared areas of all images together may not exceed the screen area plus
//   kExtraPixelBudget pixels.
// When a limit is reached, or an image's data is damaged or cut short, reading stops and the
// images completed before it make the picture (a damaged image is never shown in part); if
// no image was completed the decode fails. A missing trailer is not an error.
#include "image/formats/RasterImageGIF.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "image/formats/RasterFormatSupport.h"
#include "image/formats/RasterGifCanvas.h"

namespace {

constexpr uint32_t kMaxImages = 4096;
constexpr uint64_t kExtraPixelBudget = uint64_t(1) << 28;
constexpr size_t kSignatureSize = 6;
constexpr uint32_t kPaletteEntries = 256;

int ReadFromRasterFile(GifFileType* gif, GifByteType* buffer, int length) {
    if (length <= 0) return 0;
    auto* file = static_cast<RasterFile*>(gif->UserData);
    return int(file->Read(buffer, 1, size_t(length)));
}

struct GifReaderCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using GifReader = std::unique_ptr<GifFileType, GifReaderCloser>;

bool IsGifSignature(const uint8_t* bytes, size_t count) {
    return count >= kSignatureSize && (std::memcmp(bytes, GIF87_STAMP, kSignatureSize) == 0 ||
                                       std::memcmp(bytes, GIF89_STAMP, kSignatureSize) == 0);
}

bool HasGifSignature(RasterFile* file) {
    const int64_t start = file->Tell();
    uint8_t signature[kSignatureSize];
    const bool read = ReadExact(file, signature, kSignatureSize);
    file->Seek(start, RASTER_SEEK_SET);
    return read && IsGifSignature(signature, kSignatureSize);
}

// A colour map as 256 palette entries; entries the file does not define are black. Without
// a colour map a grey ramp stands in.
struct GifPalette {
    RasterRgbQuad entries[kPaletteEntries];
    uint32_t count;
};

GifPalette PaletteFrom(const ColorMapObject* map) {
    GifPalette palette{};
    if (!map || !map->Colors || map->ColorCount <= 0) {
        for (uint32_t i = 0; i < kPaletteEntries; ++i) palette.entries[i] = RasterRgbQuad{uint8_t(i), uint8_t(i), uint8_t(i), 0};
        palette.count = kPaletteEntries;
        return palette;
    }
    palette.count = uint32_t(map->ColorCount) < kPaletteEntries ? uint32_t(map->ColorCount) : kPaletteEntries;
    for (uint32_t i = 0; i < palette.count; ++i) {
        const GifColorType& c = map->Colors[i];
        palette.entries[i] = RasterRgbQuad{c.Blue, c.Green, c.Red, 0};
    }
    return palette;
}

// What the graphic control extension says about the next image.
struct GifControl {
    int transparentIndex = NO_TRANSPARENT_COLOR;
    RasterGifDisposal disposal = RasterGifDisposal::Unspecified;
};

GifControl ControlFrom(const GifByteType* block) {
    GifControl control;
    GraphicsControlBlock gcb{};
    if (block && DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK) {
        control.transparentIndex = gcb.TransparentColor;
        if (gcb.DisposalMode >= DISPOSE_DO_NOT && gcb.DisposalMode <= DISPOSE_PREVIOUS) {
            control.disposal = RasterGifDisposal(gcb.DisposalMode);
        }
    }
    return control;
}

// Rows of palette indices in picture order: row y at origin + y * stride (the stride is
// negative when the rows belong to a bottom-up image).
struct IndexRows {
    uint8_t* origin;
    ptrdiff_t stride;
    uint8_t* Row(uint32_t y) const { return origin + ptrdiff_t(y) * stride; }
};

// The descriptor's rectangle clipped to the screen.
RasterGifRect ClipToScreen(const GifImageDesc& desc, uint32_t screenWidth, uint32_t screenHeight) {
    RasterGifRect rect;
    const int64_t left = desc.Left;
    const int64_t top = desc.Top;
    const int64_t right = std::min<int64_t>(left + desc.Width, screenWidth);
    const int64_t bottom = std::min<int64_t>(top + desc.Height, screenHeight);
    if (desc.Width <= 0 || desc.Height <= 0 || left >= right || top >= bottom) return rect;
    rect.left = uint32_t(left);
    rect.top = uint32_t(top);
    rect.width = uint32_t(right - left);
    rect.height = uint32_t(bottom - top);
    return rect;
}

// Row of the image that the n-th row of the data stream fills.
uint32_t ImageRowOf(uint32_t n, uint32_t height, bool interlaced) {
    if (!interlaced) return n;
    // Passes: every 8th row from 0, every 8th from 4, every 4th from 2, every 2nd from 1.
    static constexpr uint32_t kStart[4] = {0, 4, 2, 1};
    static constexpr uint32_t kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        const uint32_t rows = height > kStart[pass] ? (height - kStart[pass] + kStep[pass] - 1) / kStep[pass] : 0;
        if (n < rows) return kStart[pass] + n * kStep[pass];
        n -= rows;
    }
    return height;  // not reached for n < height
}

class GifDecoder {
public:
    GifDecoder(GifFileType* gif, RasterImage& target)
        : m_gif(gif), m_target(target),
          m_screenWidth(uint32_t(gif->SWidth)), m_screenHeight(uint32_t(gif->SHeight)) {}

    bool Run();

private:
    enum class Step { Continue, Stop };

    Step ReadExtension();
    Step ReadImage();
    bool DecodeRows(const GifImageDesc& desc, const RasterGifRect& clip, const IndexRows& rows);
    bool SkipImageData();
    bool StartComposite();
    bool DrawOnCanvas(const RasterGifRect& rect, const uint8_t* indices, ptrdiff_t stride,
                      const GifPalette& palette, const GifControl& control);
    bool FinishSingle(RasterImage& picture);
    bool FinishComposite(RasterImage& picture);
    void NoteTransparency(const GifPalette& palette, const GifControl& control);
    Step Stop(const char* reason);

    GifFileType* m_gif;
    RasterImage& m_target;
    const uint32_t m_screenWidth;
    const uint32_t m_screenHeight;

    GifControl m_nextControl;
    uint32_t m_imagesRead = 0;
    uint32_t m_imagesShown = 0;
    uint64_t m_pixelsDecoded = 0;
    std::vector<uint8_t> m_line;
    char m_stopReason[RASTER_ERROR_TEXT_SIZE] = "";

    // The first image while it is the only one and covers the screen.
    RasterImage m_single;
    GifPalette m_singlePalette{};
    GifControl m_singleControl;

    RasterGifCanvas m_canvas;
    bool m_transparent = false;
    RasterRgbQuad m_transparentColor{};
};

GifDecoder::Step GifDecoder::Stop(const char* reason) {
    std::snprintf(m_stopReason, sizeof(m_stopReason), "%s", reason);
    return Step::Stop;
}

bool GifDecoder::Run() {
    if (m_screenWidth == 0 || m_screenHeight == 0) {
        m_target.SetLastError("GIF: invalid logical screen size");
        return false;
    }
    if (!m_target.CheckMemoryLimit(m_screenWidth, m_screenHeight, 8)) {
        return false;
    }

    Step step = Step::Continue;
    while (step == Step::Continue) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(m_gif, &record) != GIF_OK) {
            step = Stop("GIF: damaged or truncated file");
            break;
        }
        switch (record) {
            case EXTENSION_RECORD_TYPE: step = ReadExtension(); break;
            case IMAGE_DESC_RECORD_TYPE: step = ReadImage(); break;
            case TERMINATE_RECORD_TYPE: step = Step::Stop; break;
            default: step = Stop("GIF: damaged or truncated file"); break;
        }
    }

    if (m_imagesShown == 0) {
        m_target.SetLastError(m_stopReason[0] ? m_stopReason : "GIF: the file holds no image on its screen");
        return false;
    }
    RasterImage picture;
    const bool finished = m_canvas.IsCreated() ? FinishComposite(picture) : FinishSingle(picture);
    if (!finished) return false;

    // Keep the caller's options (for example the JPEG quality); the rest is the file's.
    const int32_t transparentIndex = picture.GetTransparentIndex();
    const RasterRgbQuad transparentColor = picture.GetTransparentColor();
    picture.CopyInfoFrom(m_target);
    picture.SetType(RASTER_FORMAT_GIF);
    picture.SetTransparentIndex(transparentIndex);
    picture.SetTransparentColor(transparentColor);
    picture.SetXDpi(RASTER_DEFAULT_DPI);
    picture.SetYDpi(RASTER_DEFAULT_DPI);
    picture.ClearLastError();
    return m_target.TakeOver(picture);
}

GifDecoder::Step GifDecoder::ReadExtension() {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(m_gif, &code, &block) != GIF_OK) return Stop("GIF: damaged or truncated file");
    if (code == GRAPHICS_EXT_FUNC_CODE) m_nextControl = ControlFrom(block);
    while (block) {
        if (DGifGetExtensionNext(m_gif, &block) != GIF_OK) return Stop("GIF: damaged or truncated file");
    }
    return Step::Continue;
}

bool GifDecoder::SkipImageData() {
    int codeSize = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(m_gif, &codeSize, &block) != GIF_OK) return false;
    while (block) {
        if (DGifGetCodeNext(m_gif, &block) != GIF_OK) return false;
    }
    return true;
}

bool GifDecoder::DecodeRows(const GifImageDesc& desc, const RasterGifRect& clip, const IndexRows& rows) {
    const auto width = uint32_t(desc.Width);
    const auto height = uint32_t(desc.Height);
    try {
        m_line.resize(width);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const int64_t clipOffset = int64_t(clip.left) - desc.Left;
    for (uint32_t n = 0; n < height; ++n) {
        if (DecodeStopRequested(m_target)) return false;
        if (DGifGetLine(m_gif, m_line.data(), int(width)) != GIF_OK) return false;
        const int64_t y = int64_t(desc.Top) + ImageRowOf(n, height, desc.Interlace);
        if (clip.IsEmpty() || y < clip.top || y >= int64_t(clip.top) + clip.height) continue;
        std::memcpy(rows.Row(uint32_t(y - clip.top)), m_line.data() + clipOffset, clip.width);
    }
    return true;
}

GifDecoder::Step GifDecoder::ReadImage() {
    if (DGifGetImageDesc(m_gif) != GIF_OK) return Stop("GIF: damaged or truncated file");
    const GifImageDesc desc = m_gif->Image;
    const GifControl control = m_nextControl;
    m_nextControl = GifControl{};

    if (m_imagesRead >= kMaxImages) return Stop("GIF: too many images");
    ++m_imagesRead;
    if (desc.Width <= 0 || desc.Height <= 0) {
        return SkipImageData() ? Step::Continue : Stop("GIF: damaged or truncated file");
    }
    const uint64_t area = uint64_t(desc.Width) * uint64_t(desc.Height);
    const uint64_t budget = uint64_t(m_screenWidth) * m_screenHeight + kExtraPixelBudget;
    if (m_pixelsDecoded + area > budget) return Stop("GIF: too much image data");
    m_pixelsDecoded += area;

    const GifPalette palette = PaletteFrom(desc.ColorMap ? desc.ColorMap : m_gif->SColorMap);
    const RasterGifRect clip = ClipToScreen(desc, m_screenWidth, m_screenHeight);
    const bool coversScreen = desc.Left == 0 && desc.Top == 0 && uint32_t(desc.Width) == m_screenWidth &&
                              uint32_t(desc.Height) == m_screenHeight;

    if (m_imagesShown == 0 && coversScreen) {
        // Possibly the only image: decode straight into a palette image.
        if (!m_single.Create(m_screenWidth, m_screenHeight, 8, RASTER_FORMAT_GIF)) return Stop(m_single.LastErrorText());
        const IndexRows rows{m_single.RowPointer(m_screenHeight - 1), -ptrdiff_t(m_single.GetStride())};
        if (!DecodeRows(desc, clip, rows)) {
            m_single.Destroy();
            return Stop(m_target.IsEscaped() ? RASTER_DECODE_STOPPED : "GIF: damaged or truncated image data");
        }
        m_singlePalette = palette;
        m_singleControl = control;
        ++m_imagesShown;
        return Step::Continue;
    }

    if (!RasterImage::FitsMemoryLimit(m_screenWidth, m_screenHeight, 24)) {
        return Stop(RasterTooLargeFor(m_screenWidth, m_screenHeight, 24).text);
    }
    std::vector<uint8_t> indices;
    try {
        indices.resize(size_t(clip.width) * clip.height);
    } catch (const std::bad_alloc&) {
        return Stop("RasterImage::Create can't allocate memory");
    }
    const IndexRows rows{indices.data(), ptrdiff_t(clip.width)};
    if (!DecodeRows(desc, clip, rows)) {
        return Stop(m_target.IsEscaped() ? RASTER_DECODE_STOPPED : "GIF: damaged or truncated image data");
    }
    if (clip.IsEmpty()) return Step::Continue;  // entirely outside the screen

    if (!m_canvas.IsCreated() && !StartComposite()) return Stop(m_target.LastErrorText());
    if (!DrawOnCanvas(clip, indices.data(), ptrdiff_t(clip.width), palette, control)) {
        return Stop("RasterImage::Create can't allocate memory");
    }
    ++m_imagesShown;
    return Step::Continue;
}

void GifDecoder::NoteTransparency(const GifPalette& palette, const GifControl& control) {
    if (control.transparentIndex < 0 || m_transparent) return;
    m_transparent = true;
    m_transparentColor = palette.entries[control.transparentIndex];
}

bool GifDecoder::DrawOnCanvas(const RasterGifRect& rect, const uint8_t* indices, ptrdiff_t stride,
                              const GifPalette& palette, const GifControl& control) {
    NoteTransparency(palette, control);
    return m_canvas.DrawImage(rect, indices, stride, palette.entries, control.transparentIndex, control.disposal);
}

bool GifDecoder::StartComposite() {
    if (!m_canvas.Create(m_screenWidth, m_screenHeight, m_target)) return false;
    if (!m_single.IsValid()) return true;
    // The first image covered the screen: it becomes the canvas's first layer.
    const RasterGifRect whole{0, 0, m_screenWidth, m_screenHeight};
    const bool drawn = DrawOnCanvas(whole, m_single.RowPointer(m_screenHeight - 1),
                                    -ptrdiff_t(m_single.GetStride()), m_singlePalette, m_singleControl);
    m_single.Destroy();
    return drawn;
}

bool GifDecoder::FinishComposite(RasterImage& picture) {
    const RasterRgbQuad* background = nullptr;
    RasterRgbQuad black{0, 0, 0, 0};
    const GifPalette global = PaletteFrom(m_gif->SColorMap);
    const int index = m_gif->SBackGroundColor;
    background = (index >= 0 && uint32_t(index) < global.count) ? &global.entries[index] : &black;
    if (!m_canvas.Finish(m_transparent, m_transparentColor, *background, picture)) {
        m_target.SetLastError("GIF: composition failed");
        return false;
    }
    return true;
}

// Depth that holds every index of the picture: 1 or 4 bits when the colour map is that
// small and no pixel (nor the transparent index) points past it, else 8.
uint32_t NarrowestDepth(const RasterImage& image, uint32_t colorCount, int transparentIndex) {
    const uint32_t depth = colorCount <= 2 ? 1 : (colorCount <= 16 ? 4 : 8);
    if (depth == 8) return 8;
    const uint32_t limit = 1u << depth;
    if (transparentIndex >= int(limit)) return 8;
    for (uint32_t y = 0; y < image.GetHeight(); ++y) {
        const uint8_t* row = image.RowPointer(y);
        for (uint32_t x = 0; x < image.GetWidth(); ++x) {
            if (row[x] >= limit) return 8;
        }
    }
    return depth;
}

bool GifDecoder::FinishSingle(RasterImage& picture) {
    const int transparentIndex = m_singleControl.transparentIndex;
    const uint32_t depth = NarrowestDepth(m_single, m_singlePalette.count, transparentIndex);
    if (depth == 8) {
        picture.TakeOver(m_single);
    } else {
        if (!picture.Create(m_screenWidth, m_screenHeight, depth, RASTER_FORMAT_GIF)) {
            m_target.SetLastError(picture.LastErrorText());
            return false;
        }
        for (uint32_t y = 0; y < m_screenHeight; ++y) {
            const uint8_t* row = m_single.RowPointer(y);
            for (uint32_t x = 0; x < m_screenWidth; ++x) picture.SetPixelIndex(x, y, row[x]);
        }
    }
    picture.SetPalette(m_singlePalette.entries, kPaletteEntries);
    if (transparentIndex >= 0) {
        picture.SetTransparentIndex(transparentIndex);
        picture.SetTransparentColor(m_singlePalette.entries[transparentIndex]);
    } else {
        picture.SetTransparentIndex(-1);
    }
    return true;
}

}  // namespace

bool RasterImageGIF::Decode(RasterFile* file) {
    if (!file) {
        SetLastError("null file handler");
        return false;
    }
    if (!HasGifSignature(file)) {
        SetLastError("GIF: not a GIF file");
        return false;
    }
    int error = 0;
    GifReader gif(DGifOpen(file, ReadFromRasterFile, &error));
    if (!gif) {
        SetLastError("GIF: damaged or truncated header");
        return false;
    }
    GifDecoder decoder(gif.get(), *this);
    return decoder.Run();
}

bool RasterImageGIF::Sniff(const uint8_t* head, size_t count, uint64_t) { return IsGifSignature(head, count); }
