// Feeds arbitrary bytes to content detection and every decoder it reaches. A picture that
// decodes is then put through what the program does right after loading (transparency to
// alpha, 24 bits, flatten, drop alpha) and a small rescale, so a decoder that hands out an
// inconsistent image (header, palette, alpha plane or stride not matching) shows up as a
// sanitizer report here instead of in the program.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/RasterImage.h"

namespace {

[[noreturn]] void Inconsistent(const char* what) {
    // A plain abort gives libFuzzer a crash with the input saved.
    std::fprintf(stderr, "fuzz_decode: inconsistent image: %s\n", what);
    std::abort();
}

// The invariants every valid image must keep, whichever decoder made it.
void CheckShape(const RasterImage& image) {
    if (!image.IsValid()) Inconsistent("decode succeeded without storage");
    const uint32_t bpp = image.GetBpp();
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24) Inconsistent("depth not 1, 4, 8 or 24");
    if (image.GetWidth() == 0 || image.GetHeight() == 0) Inconsistent("empty size");
    if (int32_t(image.GetWidth()) <= 0 || int32_t(image.GetHeight()) <= 0) Inconsistent("negative size");
    if (image.GetStride() != RasterImage::StrideFor(image.GetWidth(), bpp)) Inconsistent("stride");
    const uint32_t entries = bpp == 24 ? 0 : (1u << bpp);
    if (image.GetPaletteSize() != entries) Inconsistent("palette size");
    const size_t expectedBlock = sizeof(RasterBitmapInfoHeader) + size_t(entries) * sizeof(RasterRgbQuad) +
                                 size_t(image.GetStride()) * image.GetHeight();
    if (image.GetBlockSize() != expectedBlock) Inconsistent("block size");
    if (image.GetBits() != image.GetBlock() + expectedBlock - size_t(image.GetStride()) * image.GetHeight()) {
        Inconsistent("pixel pointer");
    }
    // The block's own header is what GDI-style consumers and the BMP writer see.
    RasterBitmapInfoHeader stored;
    std::memcpy(&stored, image.GetBlock(), sizeof(stored));
    const RasterBitmapInfoHeader& header = image.GetHeader();
    if (stored.biWidth != header.biWidth || stored.biHeight != header.biHeight ||
        stored.biBitCount != header.biBitCount || stored.biClrUsed != header.biClrUsed ||
        stored.biSizeImage != header.biSizeImage) {
        Inconsistent("block header differs from the image header");
    }
}

// Reads every byte that an operation may read, so an uninitialised or short block surfaces
// under the sanitizers; the sum is only there to keep the loads.
uint32_t TouchPixels(const RasterImage& image) {
    uint32_t sum = 0;
    const uint32_t rowBytes = (image.GetWidth() * image.GetBpp() + 7) / 8;
    for (uint32_t y = 0; y < image.GetHeight(); ++y) {
        const uint8_t* row = image.RowPointer(y);
        for (uint32_t i = 0; i < rowBytes; ++i) sum += row[i];
    }
    if (const uint8_t* alpha = image.GetAlphaPlane()) {
        const size_t n = size_t(image.GetWidth()) * image.GetHeight();
        for (size_t i = 0; i < n; ++i) sum += alpha[i];
    }
    return sum;
}

void Normalize(RasterImage& image) {
    if (image.IsTransparent()) image.AlphaFromTransparentIndex();
    if (!image.IncreaseBpp(24)) Inconsistent("IncreaseBpp(24) failed on a decoded image");
    CheckShape(image);
    if (image.HasAlpha() && !image.FlattenAlpha(0xFFFFFF)) Inconsistent("FlattenAlpha failed");
    image.DeleteAlpha();
}

volatile uint32_t g_sink;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > UINT32_MAX) return 0;
    // Decode takes a writable buffer; give it a private copy so the input stays intact.
    std::vector<uint8_t> buffer(data, data + size);
    RasterImage image;
    if (!image.Decode(buffer.data(), uint32_t(buffer.size()), RASTER_FORMAT_UNKNOWN)) return 0;
    CheckShape(image);
    g_sink = TouchPixels(image);

    // Keep big pictures from turning each run into a slow one: the decoders have been
    // exercised by now, the normalisation only needs a small picture to prove consistency.
    const uint64_t pixels = uint64_t(image.GetWidth()) * image.GetHeight();
    if (pixels > (1u << 22)) return 0;
    Normalize(image);
    RasterImage small;
    if (!image.Rescale(7, 5, RASTER_RESCALE_AREA, &small)) Inconsistent("Rescale failed");
    CheckShape(small);
    g_sink = TouchPixels(small);
    return 0;
}
