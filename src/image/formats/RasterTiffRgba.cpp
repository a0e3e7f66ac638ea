// The less common TIFF layouts through libtiff's own RGBA conversion, a band of rows at a
// time. For colour pages libtiff hands out alpha premultiplied (it premultiplies unassociated
// alpha itself), so colours are divided by alpha again here; its grey-with-alpha output is
// left straight.
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "image/formats/RasterFormatSupport.h"
#include "image/formats/RasterTiffPage.h"

namespace {

struct RgbaImageEnd {
    void operator()(TIFFRGBAImage* rgba) const { TIFFRGBAImageEnd(rgba); }
};

}  // namespace

bool ReadTiffRgba(RasterImage& image, TIFF* tif, const TiffPage& page) {
    char message[1024] = {};
    TIFFRGBAImage rgba{};
    if (!TIFFRGBAImageOK(tif, message) || !TIFFRGBAImageBegin(&rgba, tif, 1, message)) {
        if (image.LastErrorText()[0] == '\0') {
            char text[sizeof(message) + 8];  // cut to the error text's size when stored
            std::snprintf(text, sizeof(text), "TIFF: %s", message[0] ? message : "unsupported picture layout");
            image.SetLastError(text);
        }
        return false;
    }
    std::unique_ptr<TIFFRGBAImage, RgbaImageEnd> guard(&rgba);
    rgba.req_orientation = ORIENTATION_TOPLEFT;

    const uint32_t width = rgba.width;
    const uint32_t height = rgba.height;
    uint32_t bandRows = page.tiled ? page.tileLength : page.rowsPerStrip;
    // libtiff flips rows only within what it is asked for, so flipped pages go in one piece.
    if (bandRows == 0 || bandRows > height || page.orientation != ORIENTATION_TOPLEFT) bandRows = height;
    // The picture first, so that a refusal names its whole size; then libtiff's band.
    if (!image.CheckMemoryLimit(width, height, 24) || !image.CheckMemoryLimit(width, bandRows, 32)) return false;
    std::vector<uint32_t> band;
    try {
        band.resize(size_t(width) * bandRows);
    } catch (const std::bad_alloc&) {
        image.SetLastError("TIFF: can't allocate memory");
        return false;
    }
    if (!CreateDecodedImage(image, width, height, 24)) return false;
    const bool withAlpha = rgba.alpha != 0;
    const bool premultiplied = withAlpha && page.photometric != PHOTOMETRIC_MINISBLACK &&
                               page.photometric != PHOTOMETRIC_MINISWHITE;
    if (withAlpha && !CreateDecodedAlpha(image)) return false;

    for (uint32_t y0 = 0; y0 < height; y0 += bandRows) {
        if (DecodeStopRequested(image)) return false;
        const uint32_t rows = y0 + bandRows > height ? height - y0 : bandRows;
        rgba.row_offset = int(y0);
        rgba.col_offset = 0;
        if (!TIFFRGBAImageGet(&rgba, band.data(), width, rows)) {
            if (image.LastErrorText()[0] == '\0') image.SetLastError("TIFF: damaged or truncated picture data");
            return false;
        }
        for (uint32_t r = 0; r < rows; ++r) {
            if (DecodeStopRequested(image)) return false;
            const uint32_t* src = band.data() + size_t(r) * width;
            for (uint32_t x = 0; x < width; ++x) {
                const uint32_t abgr = src[x];
                const uint32_t a = withAlpha ? TIFFGetA(abgr) : 255;
                const uint32_t divisor = premultiplied ? a : 255;
                PutPictureRgb(image, x, y0 + r, uint8_t(Unpremultiply(TIFFGetR(abgr), divisor, 255)),
                              uint8_t(Unpremultiply(TIFFGetG(abgr), divisor, 255)),
                              uint8_t(Unpremultiply(TIFFGetB(abgr), divisor, 255)));
                if (withAlpha) PictureAlpha(image, x, y0 + r) = uint8_t(a);
            }
        }
    }
    return true;
}
