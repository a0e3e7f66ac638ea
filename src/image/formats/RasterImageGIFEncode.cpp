// GIF writing.
//
// Palette images become one GIF image with their palette (2, 16 or 256 entries) as the
// global colour map. A 24-bit picture is written without colour loss as a mosaic: cells of
// 17 x 15 pixels (smaller at the right and bottom edges), top row of cells first, each left
// to right, every cell its own image at its offset with a local 256-entry colour map that
// holds the cell's pixels: entry 1 + column + 17 x row (row counted from the bottom of the
// cell) is that pixel's colour, so 17 x 15 + 1 = 256 entries always suffice. With a
// transparent index, entry 0 is the transparent colour, pixels of that colour use it, and a
// graphic control extension marks it. The alpha plane is not written.
#include "image/formats/RasterImageGIF.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "image/formats/RasterFormatSupport.h"

namespace {

constexpr uint32_t kCellWidth = 17;
constexpr uint32_t kCellHeight = 15;
constexpr uint32_t kMaxGifSide = 0xFFFF;
constexpr int kColorResolution = 8;
constexpr int kMapEntries = 256;
constexpr uint8_t kMosaicTransparentEntry = 0;
static_assert(1 + kCellWidth * kCellHeight == kMapEntries, "a mosaic cell must fill one colour map");

int WriteToRasterFile(GifFileType* gif, const GifByteType* buffer, int length) {
    if (length <= 0) return 0;
    auto* file = static_cast<RasterFile*>(gif->UserData);
    return int(file->Write(buffer, 1, size_t(length)));
}

struct ColorMapFree {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using ColorMap = std::unique_ptr<ColorMapObject, ColorMapFree>;

GifColorType GifColor(const RasterRgbQuad& c) {
    return GifColorType{c.rgbRed, c.rgbGreen, c.rgbBlue};
}

// The giflib encoder, closed (trailer written) by Close or, after a failure, on destruction.
class GifWriter {
public:
    explicit GifWriter(RasterFile* file) {
        int error = 0;
        m_gif = EGifOpen(file, WriteToRasterFile, &error);
        if (m_gif) EGifSetGifVersion(m_gif, true);
    }
    ~GifWriter() {
        if (m_gif) {
            int error = 0;
            EGifCloseFile(m_gif, &error);
        }
    }
    GifWriter(const GifWriter&) = delete;
    GifWriter& operator=(const GifWriter&) = delete;

    bool IsOpen() const { return m_gif != nullptr; }

    bool PutScreen(uint32_t width, uint32_t height, const ColorMapObject* globalMap) {
        return EGifPutScreenDesc(m_gif, int(width), int(height), kColorResolution, 0, globalMap) == GIF_OK;
    }

    bool PutControl(int transparentIndex, int disposal) {
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = disposal;
        gcb.UserInputFlag = false;
        gcb.DelayTime = 0;
        gcb.TransparentColor = transparentIndex;
        GifByteType block[4];
        const size_t length = EGifGCBToExtension(&gcb, block);
        return EGifPutExtension(m_gif, GRAPHICS_EXT_FUNC_CODE, int(length), block) == GIF_OK;
    }

    bool PutImage(uint32_t left, uint32_t top, uint32_t width, uint32_t height, const ColorMapObject* localMap) {
        return EGifPutImageDesc(m_gif, int(left), int(top), int(width), int(height), false, localMap) == GIF_OK;
    }

    bool PutRow(GifPixelType* row, uint32_t width) { return EGifPutLine(m_gif, row, int(width)) == GIF_OK; }

    // Writes the trailer.
    bool Close() {
        int error = 0;
        const bool closed = EGifCloseFile(m_gif, &error) == GIF_OK;
        m_gif = nullptr;
        return closed;
    }

private:
    GifFileType* m_gif = nullptr;
};

bool WritePaletteImage(const RasterImage& image, GifWriter& writer) {
    const uint32_t width = image.GetWidth();
    const uint32_t height = image.GetHeight();
    const uint32_t entries = image.GetPaletteSize();
    ColorMap map(GifMakeMapObject(int(entries), nullptr));
    if (!map) return false;
    const RasterRgbQuad* palette = image.GetPalette();
    for (uint32_t i = 0; i < entries; ++i) map->Colors[i] = GifColor(palette[i]);

    if (!writer.PutScreen(width, height, map.get())) return false;
    const int32_t transparent = image.GetTransparentIndex();
    if (transparent >= 0 && uint32_t(transparent) < entries && !writer.PutControl(transparent, DISPOSAL_UNSPECIFIED)) {
        return false;
    }
    if (!writer.PutImage(0, 0, width, height, nullptr)) return false;

    std::unique_ptr<GifPixelType[]> row(new (std::nothrow) GifPixelType[width]);
    if (!row) return false;
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t stored = height - 1 - y;
        for (uint32_t x = 0; x < width; ++x) row[x] = image.GetPixelIndex(x, stored);
        if (!writer.PutRow(row.get(), width)) return false;
    }
    return true;
}

bool SameColor(const uint8_t* bgr, const RasterRgbQuad& c) {
    return bgr[0] == c.rgbBlue && bgr[1] == c.rgbGreen && bgr[2] == c.rgbRed;
}

// One mosaic cell at (left, top) in picture coordinates.
bool WriteCell(const RasterImage& image, uint32_t left, uint32_t top, uint32_t width, uint32_t height,
               ColorMapObject& map, GifWriter& writer) {
    const bool transparent = image.IsTransparent();
    const RasterRgbQuad key = image.GetTransparentColor();
    std::memset(map.Colors, 0, sizeof(GifColorType) * kMapEntries);
    if (transparent) map.Colors[kMosaicTransparentEntry] = GifColor(key);

    GifPixelType indices[kCellWidth * kCellHeight];
    for (uint32_t row = 0; row < height; ++row) {               // row 0 = top of the cell
        const uint32_t fromBottom = height - 1 - row;
        const uint8_t* p = image.PixelPointer(left, image.GetHeight() - 1 - (top + row));
        for (uint32_t column = 0; column < width; ++column, p += 3) {
            const auto entry = uint8_t(1 + column + kCellWidth * fromBottom);
            map.Colors[entry] = GifColorType{p[2], p[1], p[0]};
            indices[row * width + column] = (transparent && SameColor(p, key)) ? kMosaicTransparentEntry : entry;
        }
    }
    if (transparent && !writer.PutControl(kMosaicTransparentEntry, DISPOSE_DO_NOT)) return false;
    if (!writer.PutImage(left, top, width, height, &map)) return false;
    for (uint32_t row = 0; row < height; ++row) {
        if (!writer.PutRow(indices + row * width, width)) return false;
    }
    return true;
}

bool WriteMosaic(const RasterImage& image, GifWriter& writer) {
    const uint32_t width = image.GetWidth();
    const uint32_t height = image.GetHeight();
    ColorMap map(GifMakeMapObject(kMapEntries, nullptr));
    if (!map) return false;
    if (!writer.PutScreen(width, height, nullptr)) return false;
    for (uint32_t top = 0; top < height; top += kCellHeight) {
        const uint32_t cellHeight = std::min(kCellHeight, height - top);
        for (uint32_t left = 0; left < width; left += kCellWidth) {
            const uint32_t cellWidth = std::min(kCellWidth, width - left);
            if (!WriteCell(image, left, top, cellWidth, cellHeight, *map, writer)) return false;
        }
    }
    return true;
}

}  // namespace

bool RasterImageGIF::Encode(RasterFile* file) {
    if (!file || !IsValid()) {
        SetLastError(file ? "null image!!!" : "null file handler");
        return false;
    }
    if (GetWidth() > kMaxGifSide || GetHeight() > kMaxGifSide) {
        SetLastError("GIF: pictures wider or higher than 65535 pixels cannot be saved");
        return false;
    }
    GifWriter writer(file);
    if (!writer.IsOpen()) {
        SetLastError("GIF: cannot start the encoder");
        return false;
    }
    const bool written = GetBpp() == 24 ? WriteMosaic(*this, writer) : WritePaletteImage(*this, writer);
    if (!written || !writer.Close()) {
        SetLastError("GIF: write failed");
        return false;
    }
    return true;
}
