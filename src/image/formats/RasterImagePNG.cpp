// PNG through libpng.
//
// libpng reports fatal errors by longjmp to the point set with setjmp(png_jmpbuf(...)).
// The functions that call setjmp keep all their state in a heap-held plain job record and
// have no C++ objects with destructors, so nothing is skipped on the error path except
// libpng's own frames; the job's heap blocks are freed after the jump.
#include "image/formats/RasterImagePNG.h"

#include <png.h>

#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/formats/RasterFormatSupport.h"
#include "image/metadata/MetadataBlocks.h"

namespace {

constexpr size_t kSignatureSize = 8;

// ---- shared callbacks ----------------------------------------------------------------------

struct PngJob {
    RasterFile* file;
    RasterImage* image;
    PictureMetadata* metadata;   // null: the metadata chunks are not kept
    png_structp png;
    png_infop info;
    uint8_t* buffer;        // malloc: rows that need converting
    char message[RASTER_ERROR_TEXT_SIZE];
    bool imageFailed;       // the image refused; its own text is the error
    bool ok;
};

[[noreturn]] void OnPngError(png_structp png, png_const_charp text) {
    auto* job = static_cast<PngJob*>(png_get_error_ptr(png));
    std::snprintf(job->message, sizeof(job->message), "%s", text ? text : "PNG error");
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

void ReadData(png_structp png, png_bytep data, png_size_t length) {
    auto* job = static_cast<PngJob*>(png_get_io_ptr(png));
    if (job->file->Read(data, 1, length) != length) png_error(png, "Unexpected end of PNG data");
}

void WriteData(png_structp png, png_bytep data, png_size_t length) {
    auto* job = static_cast<PngJob*>(png_get_io_ptr(png));
    if (job->file->Write(data, 1, length) != length) png_error(png, "Write error");
}

void FlushData(png_structp png) {
    static_cast<PngJob*>(png_get_io_ptr(png))->file->Flush();
}

bool Refuse(PngJob* job, const char* text) {
    std::snprintf(job->message, sizeof(job->message), "%s", text);
    return false;
}

// ---- decoding ------------------------------------------------------------------------------

// How the decoded rows reach the image.
struct ReadLayout {
    uint32_t imageBpp;      // 1, 4, 8 or 24
    uint32_t channels;      // bytes per pixel delivered by libpng for split rows
    bool splitAlpha;        // rows carry an alpha byte per pixel
    bool twoBit;            // 2-bit samples, widened to 4 bits in place afterwards
    bool greyPalette;
};

// Picture row y (0 = top) of the image's bottom-up storage.
uint8_t* PictureRow(RasterImage* image, uint32_t y) {
    return image->RowPointer(image->GetHeight() - 1 - y);
}

// Widens a row of 2-bit samples to 4-bit samples in place, from the right end, so that
// no source byte is overwritten before it is read.
void WidenTwoBitRow(uint8_t* row, uint32_t width) {
    auto sample = [row](uint32_t x) { return uint8_t((row[x >> 2] >> (6 - 2 * (x & 3))) & 3); };
    for (uint32_t pair = (width + 1) / 2; pair-- > 0;) {
        const uint32_t x = pair * 2;
        const uint8_t hi = sample(x);
        const uint8_t lo = x + 1 < width ? sample(x + 1) : 0;
        row[pair] = uint8_t((hi << 4) | lo);
    }
}

// Splits a row of grey+alpha or blue, green, red, alpha pixels into colour and alpha.
void SplitAlphaRow(const uint8_t* source, uint32_t width, uint32_t channels, uint8_t* colour, uint8_t* alpha) {
    if (channels == 2) {
        for (uint32_t x = 0; x < width; ++x, source += 2) {
            colour[x] = source[0];
            alpha[x] = source[1];
        }
        return;
    }
    uint32_t x = 0;
    if constexpr (std::endian::native == std::endian::little) {
        // Four pixels at a time as words: sixteen bytes in, twelve colour bytes and four
        // alpha bytes out, by shifts instead of sixteen single-byte moves.
        for (; x + 4 <= width; x += 4, source += 16, colour += 12) {
            uint32_t w[4];
            std::memcpy(w, source, sizeof(w));
            const uint32_t colours[3] = {(w[0] & 0x00FFFFFFu) | (w[1] << 24), ((w[1] >> 8) & 0x0000FFFFu) | (w[2] << 16),
                                         ((w[2] >> 16) & 0x000000FFu) | (w[3] << 8)};
            const uint32_t alphas = (w[0] >> 24) | ((w[1] >> 24) << 8) | ((w[2] >> 24) << 16) | (w[3] & 0xFF000000u);
            std::memcpy(colour, colours, sizeof(colours));
            std::memcpy(alpha + x, &alphas, sizeof(alphas));
        }
    }
    for (; x < width; ++x, source += 4, colour += 3) {
        colour[0] = source[0];
        colour[1] = source[1];
        colour[2] = source[2];
        alpha[x] = source[3];
    }
}

void SplitPictureRow(PngJob* job, uint32_t y, const uint8_t* source, uint32_t channels) {
    RasterImage* image = job->image;
    const uint32_t width = image->GetWidth();
    const uint32_t stored = image->GetHeight() - 1 - y;
    SplitAlphaRow(source, width, channels, image->RowPointer(stored), image->AlphaPointer(0, stored));
}

void SetGreyPalette(RasterImage* image, uint32_t fileDepth) {
    if (fileDepth != 2) {
        image->SetGrayPalette();
        return;
    }
    // A 2-bit file lives in a 4-bit image: its four levels take the first entries.
    const RasterRgbQuad levels[4] = {{0, 0, 0, 0}, {85, 85, 85, 0}, {170, 170, 170, 0}, {255, 255, 255, 0}};
    image->SetPalette(levels, 4);
}

void CopyFilePalette(PngJob* job) {
    png_colorp entries = nullptr;
    int count = 0;
    if (!png_get_PLTE(job->png, job->info, &entries, &count) || !entries) return;
    RasterRgbQuad* palette = job->image->GetPalette();
    const uint32_t n = uint32_t(count) < job->image->GetPaletteSize() ? uint32_t(count) : job->image->GetPaletteSize();
    for (uint32_t i = 0; i < n; ++i) palette[i] = RasterRgbQuad{entries[i].blue, entries[i].green, entries[i].red, 0};
}

// Transparency of files that keep it outside the pixels (a 16-bit file's tRNS has become an
// alpha channel before this point).
void ApplyTransparency(PngJob* job, int colorType, int fileDepth) {
    png_bytep alphas = nullptr;
    int count = 0;
    png_color_16p key = nullptr;
    if (!png_get_tRNS(job->png, job->info, &alphas, &count, &key)) return;
    RasterImage* image = job->image;
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        if (!alphas || count <= 0) return;
        if (count == 1 && alphas[0] == 0) {
            image->SetTransparentIndex(0);
            return;
        }
        // Entries past the chunk's end are opaque.
        RasterRgbQuad* palette = image->GetPalette();
        for (uint32_t i = 0; i < image->GetPaletteSize(); ++i) {
            palette[i].rgbReserved = int(i) < count ? alphas[i] : 255;
        }
        image->SetPaletteAlphaEnabled(true);
        return;
    }
    if (!key || fileDepth > 8) return;
    if (colorType == PNG_COLOR_TYPE_GRAY) {
        // The key is a sample value, which is also the pixel's palette index.
        if (key->gray < (1u << fileDepth)) image->SetTransparentIndex(key->gray);
        return;
    }
    if (colorType == PNG_COLOR_TYPE_RGB && key->red <= 255 && key->green <= 255 && key->blue <= 255) {
        image->SetTransparentColor(RasterRgbQuad{uint8_t(key->blue), uint8_t(key->green), uint8_t(key->red), 0});
        image->SetTransparentIndex(0);
    }
}

int32_t DpiFromPhys(png_uint_32 value, int unit) {
    uint64_t dpi = value;
    if (unit == PNG_RESOLUTION_METER) dpi = (uint64_t(value) * 254 + 5000) / 10000;
    return dpi > uint64_t(INT32_MAX) ? INT32_MAX : int32_t(dpi);
}

void ApplyResolution(PngJob* job) {
    png_uint_32 x = 0, y = 0;
    int unit = 0;
    if (!png_get_pHYs(job->png, job->info, &x, &y, &unit)) return;
    job->image->SetXDpi(DpiFromPhys(x, unit));
    job->image->SetYDpi(DpiFromPhys(y, unit));
}

// Chooses libpng's transforms for the file and how its rows land in the image.
bool ChooseLayout(PngJob* job, int colorType, int depth, ReadLayout& layout) {
    png_structp png = job->png;
    png_infop info = job->info;
    layout = ReadLayout{0, 0, false, false, false};
    const bool hasKey = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (depth == 16) {
        // An 8-bit key would also hide every colour that merely rounds to it, so a
        // 16-bit file's transparent colour becomes an exact alpha channel instead.
        if (hasKey && (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_RGB)) {
            png_set_tRNS_to_alpha(png);
            colorType |= PNG_COLOR_MASK_ALPHA;
        }
        png_set_scale_16(png);
        depth = 8;
    }
    switch (colorType) {
        case PNG_COLOR_TYPE_GRAY:
            layout.imageBpp = uint32_t(depth == 2 ? 4 : depth);
            layout.twoBit = depth == 2;
            layout.greyPalette = true;
            return true;
        case PNG_COLOR_TYPE_PALETTE:
            layout.imageBpp = uint32_t(depth == 2 ? 4 : depth);
            layout.twoBit = depth == 2;
            return true;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            layout.imageBpp = 8;
            layout.greyPalette = true;
            layout.splitAlpha = true;
            layout.channels = 2;
            return true;
        case PNG_COLOR_TYPE_RGB:
            png_set_bgr(png);
            layout.imageBpp = 24;
            return true;
        case PNG_COLOR_TYPE_RGB_ALPHA:
            png_set_bgr(png);
            layout.imageBpp = 24;
            layout.splitAlpha = true;
            layout.channels = 4;
            return true;
        default:
            return Refuse(job, "unknown PNG color type");
    }
}

void ReadRows(PngJob* job, const ReadLayout& layout, int passes, size_t rowBytes) {
    RasterImage* image = job->image;
    const uint32_t height = image->GetHeight();
    for (int pass = 0; pass < passes; ++pass) {
        for (uint32_t y = 0; y < height; ++y) {
            if (image->IsEscaped()) png_error(job->png, RASTER_DECODE_STOPPED);
            if (!layout.splitAlpha) {
                png_read_row(job->png, PictureRow(image, y), nullptr);
            } else if (passes == 1) {
                png_read_row(job->png, job->buffer, nullptr);
                SplitPictureRow(job, y, job->buffer, layout.channels);
            } else {
                png_read_row(job->png, job->buffer + size_t(y) * rowBytes, nullptr);
            }
        }
    }
    if (layout.splitAlpha && passes > 1) {
        for (uint32_t y = 0; y < height; ++y) SplitPictureRow(job, y, job->buffer + size_t(y) * rowBytes, layout.channels);
    }
    if (layout.twoBit) {
        for (uint32_t y = 0; y < height; ++y) WidenTwoBitRow(image->RowPointer(y), image->GetWidth());
    }
}

// The metadata chunks libpng has read; its getters do not raise errors, so no longjmp can
// leave this halfway.
void CollectMetadata(PngJob* job, PictureMetadata& metadata) {
    metadata.Clear();
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 profileLength = 0;
    if (png_get_iCCP(job->png, job->info, &name, &compression, &profile, &profileLength) && profile) {
        metadata.icc.assign(profile, profile + profileLength);
    }
    png_uint_32 exifLength = 0;
    png_bytep exif = nullptr;
    if (png_get_eXIf_1(job->png, job->info, &exifLength, &exif) && exif) {
        metadata.exif.assign(exif, exif + exifLength);
        StripExifPrefix(metadata.exif);
    }
    png_textp texts = nullptr;
    int count = 0;
    png_get_text(job->png, job->info, &texts, &count);
    for (int i = 0; i < count && texts; ++i) {
        const size_t length = texts[i].compression > 0 ? texts[i].itxt_length : texts[i].text_length;
        if (texts[i].key && texts[i].text) AddPngTextChunk(texts[i].key, texts[i].text, length, metadata);
    }
}

bool DecodeSteps(PngJob* job) {
    png_structp png = job->png;
    png_infop info = job->info;
    png_set_read_fn(png, job, ReadData);
    png_set_sig_bytes(png, int(kSignatureSize));
    // Sizes beyond what an image may hold are refused below; libpng only needs to let
    // them through to that check.
    png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int depth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colorType, &interlace, nullptr, nullptr);
    ReadLayout layout;
    if (!ChooseLayout(job, colorType, depth, layout)) return false;
    if (!RasterImage::FitsMemoryLimit(width, height, layout.imageBpp) ||
        (layout.splitAlpha && !RasterImage::FitsMemoryLimit(width, height, 32))) {
        return Refuse(job, RasterTooLargeFor(width, height, layout.splitAlpha ? 32 : layout.imageBpp).text);
    }
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);

    RasterImage* image = job->image;
    if (!image->Create(width, height, layout.imageBpp, RASTER_FORMAT_PNG)) {
        job->imageFailed = true;
        return false;
    }
    // libpng's row must fit the padded storage row it is written into.
    if (!layout.splitAlpha && rowBytes > image->GetStride()) return Refuse(job, "PNG row size mismatch");
    if (layout.greyPalette) SetGreyPalette(image, uint32_t(depth));
    else if (colorType == PNG_COLOR_TYPE_PALETTE) CopyFilePalette(job);
    ApplyTransparency(job, colorType, depth);
    ApplyResolution(job);
    if (layout.splitAlpha) {
        if (!image->CreateAlpha()) return Refuse(job, "RasterImage::Create can't allocate memory");
        const size_t rows = passes > 1 ? size_t(height) : 1;
        job->buffer = static_cast<uint8_t*>(std::malloc(rows * rowBytes));
        if (!job->buffer) return Refuse(job, "RasterImage::Create can't allocate memory");
    }
    ReadRows(job, layout, passes, rowBytes);
    // Also checks the last chunks' checksums; the chunks after the pixels may carry metadata.
    png_read_end(png, job->metadata ? info : nullptr);
    if (job->metadata) CollectMetadata(job, *job->metadata);
    return true;
}

void ReleaseReadJob(PngJob* job) {
    if (job->png) png_destroy_read_struct(&job->png, job->info ? &job->info : nullptr, nullptr);
    job->png = nullptr;
    job->info = nullptr;
    std::free(job->buffer);
    job->buffer = nullptr;
}

bool RunDecode(PngJob* job) {
    job->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, job, OnPngError, OnPngWarning);
    if (!job->png) return Refuse(job, "Failed to create PNG structure");
    job->info = png_create_info_struct(job->png);
    if (!job->info) {
        ReleaseReadJob(job);
        return Refuse(job, "Failed to initialize PNG info structure");
    }
    if (setjmp(png_jmpbuf(job->png))) {
        ReleaseReadJob(job);
        return false;
    }
    job->ok = DecodeSteps(job);
    ReleaseReadJob(job);
    return job->ok;
}

// ---- encoding ------------------------------------------------------------------------------

// Whether a palette is exactly the grey ramp of its depth, so indices are grey levels.
bool HasGreyRamp(const RasterImage* image) {
    const RasterRgbQuad* palette = image->GetPalette();
    const uint32_t n = image->GetPaletteSize();
    if (!palette || n < 2) return false;
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t level = i * 255 / (n - 1);
        if (palette[i].rgbRed != level || palette[i].rgbGreen != level || palette[i].rgbBlue != level) return false;
    }
    return true;
}

int32_t ValidTransparentIndex(const RasterImage* image) {
    const int32_t t = image->GetTransparentIndex();
    if (image->GetBpp() == 24) return t >= 0 ? t : -1;
    return t >= 0 && uint32_t(t) < image->GetPaletteSize() ? t : -1;
}

// A palette row with indices 0 and swapIndex exchanged.
void SwapIndexRow(const uint8_t* source, uint8_t* out, uint32_t width, uint32_t bpp, uint8_t swapIndex) {
    auto swapped = [swapIndex](uint8_t v) { return v == 0 ? swapIndex : v == swapIndex ? uint8_t(0) : v; };
    if (bpp == 8) {
        for (uint32_t x = 0; x < width; ++x) out[x] = swapped(source[x]);
        return;
    }
    const uint32_t perByte = 8 / bpp;
    const uint8_t mask = uint8_t((1u << bpp) - 1);
    const size_t bytes = (size_t(width) * bpp + 7) / 8;
    for (size_t i = 0; i < bytes; ++i) {
        uint8_t packed = 0;
        for (uint32_t k = 0; k < perByte; ++k) {
            const uint32_t shift = 8 - bpp * (k + 1);
            packed = uint8_t(packed | (swapped(uint8_t((source[i] >> shift) & mask)) << shift));
        }
        out[i] = packed;
    }
}

// Blue, green, red, alpha; pixels of the transparent colour get alpha 0 when keyed.
void InterleaveAlphaRow(const uint8_t* bgr, const uint8_t* alpha, uint32_t width, const RasterRgbQuad* key, uint8_t* out) {
    for (uint32_t x = 0; x < width; ++x, bgr += 3, out += 4) {
        out[0] = bgr[0];
        out[1] = bgr[1];
        out[2] = bgr[2];
        const bool keyed = key && bgr[0] == key->rgbBlue && bgr[1] == key->rgbGreen && bgr[2] == key->rgbRed;
        out[3] = keyed ? 0 : alpha[x];
    }
}

enum class WriteMode { Rgb, Rgba, Grey, Palette };

void WriteHeaderChunks(PngJob* job, WriteMode mode, int32_t transparent) {
    png_structp png = job->png;
    png_infop info = job->info;
    RasterImage* image = job->image;
    const int depth = mode == WriteMode::Rgb || mode == WriteMode::Rgba ? 8 : int(image->GetBpp());
    const int colorType = mode == WriteMode::Rgb     ? PNG_COLOR_TYPE_RGB
                          : mode == WriteMode::Rgba  ? PNG_COLOR_TYPE_RGB_ALPHA
                          : mode == WriteMode::Grey  ? PNG_COLOR_TYPE_GRAY
                                                     : PNG_COLOR_TYPE_PALETTE;
    png_set_IHDR(png, info, image->GetWidth(), image->GetHeight(), depth, colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);

    png_color_16 background{};
    const RasterRgbQuad key = image->GetTransparentColor();
    if (mode == WriteMode::Palette) {
        png_color entries[256];
        const RasterRgbQuad* palette = image->GetPalette();
        const uint32_t n = image->GetPaletteSize();
        int white = -1;
        for (uint32_t i = 0; i < n; ++i) {
            // The transparent entry travels to index 0 so that one tRNS entry covers it.
            uint32_t from = i;
            if (transparent > 0 && i == 0) from = uint32_t(transparent);
            else if (transparent > 0 && i == uint32_t(transparent)) from = 0;
            entries[i] = png_color{palette[from].rgbRed, palette[from].rgbGreen, palette[from].rgbBlue};
            if (white < 0 && entries[i].red == 255 && entries[i].green == 255 && entries[i].blue == 255) white = int(i);
        }
        png_set_PLTE(png, info, entries, int(n));
        if (transparent >= 0) {
            png_byte alpha[1] = {0};
            png_set_tRNS(png, info, alpha, 1, nullptr);
            png_set_bKGD(png, info, &background);   // index 0
        } else if (white >= 0) {
            background.index = png_byte(white);
            png_set_bKGD(png, info, &background);
        }
    } else if (mode == WriteMode::Grey) {
        background.gray = png_uint_16(transparent >= 0 ? transparent : (1 << depth) - 1);
        if (transparent >= 0) png_set_tRNS(png, info, nullptr, 0, &background);
        png_set_bKGD(png, info, &background);
    } else {
        background.red = transparent >= 0 ? key.rgbRed : 255;
        background.green = transparent >= 0 ? key.rgbGreen : 255;
        background.blue = transparent >= 0 ? key.rgbBlue : 255;
        // A file with an alpha channel may not carry tRNS; its keyed pixels get alpha 0.
        if (transparent >= 0 && mode == WriteMode::Rgb) png_set_tRNS(png, info, nullptr, 0, &background);
        png_set_bKGD(png, info, &background);
    }
    const RasterBitmapInfoHeader& header = image->GetHeader();
    if (header.biXPelsPerMeter > 0 && header.biYPelsPerMeter > 0) {
        png_set_pHYs(png, info, png_uint_32(header.biXPelsPerMeter), png_uint_32(header.biYPelsPerMeter),
                     PNG_RESOLUTION_METER);
    }
    png_write_info(png, info);
}

void WriteRows(PngJob* job, WriteMode mode, int32_t transparent) {
    RasterImage* image = job->image;
    const uint32_t width = image->GetWidth();
    const uint32_t height = image->GetHeight();
    const RasterRgbQuad key = image->GetTransparentColor();
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t stored = height - 1 - y;
        const uint8_t* row = image->RowPointer(stored);
        if (mode == WriteMode::Rgba) {
            InterleaveAlphaRow(row, image->AlphaPointer(0, stored), width, transparent >= 0 ? &key : nullptr, job->buffer);
            row = job->buffer;
        } else if (mode == WriteMode::Palette && transparent > 0) {
            SwapIndexRow(row, job->buffer, width, image->GetBpp(), uint8_t(transparent));
            row = job->buffer;
        }
        png_write_row(job->png, row);
    }
}

bool EncodeSteps(PngJob* job) {
    RasterImage* image = job->image;
    const WriteMode mode = image->GetBpp() == 24 ? (image->HasAlpha() ? WriteMode::Rgba : WriteMode::Rgb)
                           : HasGreyRamp(image)  ? WriteMode::Grey
                                                 : WriteMode::Palette;
    const int32_t transparent = ValidTransparentIndex(image);
    job->buffer = static_cast<uint8_t*>(std::malloc(size_t(image->GetWidth()) * 4));
    if (!job->buffer) return false;
    png_set_write_fn(job->png, job, WriteData, FlushData);
    WriteHeaderChunks(job, mode, transparent);
    if (mode == WriteMode::Rgb || mode == WriteMode::Rgba) png_set_bgr(job->png);
    WriteRows(job, mode, transparent);
    png_write_end(job->png, job->info);
    return true;
}

void ReleaseWriteJob(PngJob* job) {
    if (job->png) png_destroy_write_struct(&job->png, job->info ? &job->info : nullptr);
    job->png = nullptr;
    job->info = nullptr;
    std::free(job->buffer);
    job->buffer = nullptr;
}

bool RunEncode(PngJob* job) {
    job->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, job, OnPngError, OnPngWarning);
    if (!job->png) return Refuse(job, "Failed to create PNG structure");
    job->info = png_create_info_struct(job->png);
    if (!job->info) {
        ReleaseWriteJob(job);
        return Refuse(job, "Failed to initialize PNG info structure");
    }
    if (setjmp(png_jmpbuf(job->png))) {
        ReleaseWriteJob(job);
        return Refuse(job, "Error saving PNG file");
    }
    job->ok = EncodeSteps(job);
    ReleaseWriteJob(job);
    if (!job->ok) return Refuse(job, "Error saving PNG file");
    return true;
}

PngJob* NewJob(RasterImage* image, RasterFile* file) {
    auto* job = static_cast<PngJob*>(std::calloc(1, sizeof(PngJob)));
    if (job) {
        job->image = image;
        job->file = file;
    }
    return job;
}

}  // namespace

bool RasterImagePNG::Decode(RasterFile* file) {
    if (!file) {
        SetLastError("null file handler");
        return false;
    }
    uint8_t signature[kSignatureSize];
    if (!ReadExact(file, signature, kSignatureSize) || png_sig_cmp(signature, 0, kSignatureSize) != 0) {
        SetLastError("Not a PNG file");
        return false;
    }
    ResetPictureFields(*this);
    PngJob* job = NewJob(this, file);
    if (!job) {
        SetLastError("RasterImage::Create can't allocate memory");
        return false;
    }
    job->metadata = m_metadata;
    const bool ok = RunDecode(job);
    if (!ok) {
        if (m_metadata) m_metadata->Clear();
        if (!job->imageFailed) SetLastError(job->message[0] ? job->message : "PNG decode failed");
        Destroy();
    }
    std::free(job);
    return ok;
}

bool RasterImagePNG::Encode(RasterFile* file) {
    if (!CanEncode(*this, file)) return false;
    PngJob* job = NewJob(this, file);
    if (!job) {
        SetLastError("Failed to create PNG structure");
        return false;
    }
    const bool ok = RunEncode(job);
    if (!ok) SetLastError(job->message);
    std::free(job);
    return ok;
}

bool RasterImagePNG::Sniff(const uint8_t* head, size_t count, uint64_t) {
    return count >= kSignatureSize && png_sig_cmp(head, 0, kSignatureSize) == 0;
}
