#include "image/formats/RasterImageTIF.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>

#include "image/formats/RasterFormatSupport.h"
#include "image/formats/RasterTiffPage.h"

namespace {

// libtiff may ask for at most this much in one allocation besides the file's own size
// (the raw strip buffers can legitimately grow up to the file size).
constexpr uint64_t kTiffAllocationSlack = uint64_t(256) << 20;
// How far each compression can expand data at most (generously); see PlausibleDecodedSize.
constexpr uint64_t kRatioUncompressed = 1;
constexpr uint64_t kRatioPackBits = 128;
constexpr uint64_t kRatioOther = 4096;
constexpr uint16_t kMaxBitsPerSample = 16;

// ---- libtiff client procedures over a RasterFile ------------------------------------------

struct TiffSource {
    RasterFile* file;
    int64_t start;  // TIFF offsets count from here
};

tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t size) {
    auto* source = static_cast<TiffSource*>(handle);
    if (size <= 0) return 0;
    return tmsize_t(source->file->Read(buffer, 1, size_t(size)));
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) {
    return -1;  // read-only
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
    auto* source = static_cast<TiffSource*>(handle);
    RasterFile* file = source->file;
    int64_t base;
    switch (whence) {
        case SEEK_SET: base = source->start; break;
        case SEEK_CUR: base = file->Tell(); break;
        case SEEK_END: base = file->Size(); break;
        default: return toff_t(-1);
    }
    const auto delta = int64_t(offset);  // SEEK_CUR and SEEK_END may move backwards
    if (base < 0 || (delta > 0 && base > INT64_MAX - delta)) return toff_t(-1);
    const int64_t target = base + delta;
    if (target < source->start || !file->Seek(target, RASTER_SEEK_SET)) return toff_t(-1);
    return toff_t(target - source->start);
}

int CloseProc(thandle_t) { return 0; }

toff_t SizeProc(thandle_t handle) {
    auto* source = static_cast<TiffSource*>(handle);
    const int64_t size = source->file->Size();
    return size > source->start ? toff_t(size - source->start) : 0;
}

int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

// ---- messages ----------------------------------------------------------------------------

// The first error of a decode goes into the image's last error text; nothing reaches stderr.
int OnTiffError(TIFF*, void* data, const char* module, const char* format, va_list args) {
    auto* image = static_cast<RasterImage*>(data);
    if (image->LastErrorText()[0] != '\0') return 1;
    char message[RASTER_ERROR_TEXT_SIZE];
    std::vsnprintf(message, sizeof(message), format, args);
    char text[2 * RASTER_ERROR_TEXT_SIZE];  // cut to the error text's size when stored
    std::snprintf(text, sizeof(text), "TIFF: %s%s%s", module ? module : "", module ? ": " : "", message);
    image->SetLastError(text);
    return 1;
}

int OnTiffWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// Messages libtiff raises outside an open file go to the global handlers: keep them quiet.
void SilenceGlobalHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};

TIFF* OpenTiff(RasterImage& image, TiffSource& source, uint64_t fileSize) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) return nullptr;
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(kTiffAllocationSlack + fileSize));
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnTiffError, &image);
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnTiffWarning, nullptr);
    TIFF* tif = TIFFClientOpenExt("RasterFile", "rm", &source, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc,
                                  MapProc, UnmapProc, options);
    TIFFOpenOptionsFree(options);
    return tif;
}

// Byte order mark and version (42 classic, 43 BigTIFF).
constexpr size_t kTiffSignatureSize = 4;

bool IsTiffSignature(const uint8_t* b, size_t count) {
    if (count < kTiffSignatureSize) return false;
    const bool little = b[0] == 'I' && b[1] == 'I' && (b[2] == 42 || b[2] == 43) && b[3] == 0;
    const bool big = b[0] == 'M' && b[1] == 'M' && b[2] == 0 && (b[3] == 42 || b[3] == 43);
    return little || big;
}

bool HasTiffSignature(RasterFile* file, int64_t start) {
    uint8_t b[kTiffSignatureSize] = {};
    const bool read = ReadExact(file, b, kTiffSignatureSize);
    if (!file->Seek(start, RASTER_SEEK_SET) || !read) return false;
    return IsTiffSignature(b, kTiffSignatureSize);
}

// ---- the page ----------------------------------------------------------------------------

void ReadPageTags(TIFF* tif, TiffPage& page) {
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &page.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &page.height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &page.bitsPerSample);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &page.samplesPerPixel);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &page.planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &page.compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &page.orientation);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &page.photometric)) {
        page.photometric = page.samplesPerPixel >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    }
    page.tiled = TIFFIsTiled(tif) != 0;
    if (page.tiled) {
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &page.tileWidth);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &page.tileLength);
    } else {
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &page.rowsPerStrip);
    }
    if (page.orientation < ORIENTATION_TOPLEFT || page.orientation > ORIENTATION_LEFTBOT) {
        page.orientation = ORIENTATION_TOPLEFT;
    }
}

// The alpha sample among the extra samples, if any.
void FindAlpha(TIFF* tif, TiffPage& page) {
    uint16_t count = 0;
    uint16_t* types = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &count, &types) || !types) {
        // Without the tag, libtiff's own convention: a fourth RGB sample is associated alpha.
        if (page.photometric == PHOTOMETRIC_RGB && page.samplesPerPixel == 4) {
            page.alphaSample = 3;
            page.associatedAlpha = true;
        }
        return;
    }
    if (count > page.samplesPerPixel) return;
    for (uint16_t i = 0; i < count; ++i) {
        if (types[i] == EXTRASAMPLE_ASSOCALPHA || types[i] == EXTRASAMPLE_UNASSALPHA) {
            page.alphaSample = page.samplesPerPixel - count + i;
            page.associatedAlpha = types[i] == EXTRASAMPLE_ASSOCALPHA;
            return;
        }
    }
}

// True when our own reader handles the page; sets its colour and alpha.
bool ClassifyForSamples(TIFF* tif, TiffPage& page) {
    uint16_t sampleFormat = SAMPLEFORMAT_UINT;
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &sampleFormat);
    if (sampleFormat != SAMPLEFORMAT_UINT || page.bitsPerSample == 0 || page.bitsPerSample > kMaxBitsPerSample ||
        page.compression == COMPRESSION_OJPEG) {
        return false;
    }
    uint16_t colourSamples = 1;
    switch (page.photometric) {
        case PHOTOMETRIC_MINISBLACK:
        case PHOTOMETRIC_MINISWHITE: page.colour = TiffColour::Grey; break;
        case PHOTOMETRIC_PALETTE: page.colour = TiffColour::Palette; break;
        case PHOTOMETRIC_RGB: page.colour = TiffColour::Rgb; colourSamples = 3; break;
        case PHOTOMETRIC_YCBCR:
            // libtiff's JPEG codec turns YCbCr into RGB itself when asked to.
            if (page.compression != COMPRESSION_JPEG || page.bitsPerSample != 8 ||
                page.planar != PLANARCONFIG_CONTIG || !TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB)) {
                return false;
            }
            page.colour = TiffColour::Rgb;
            colourSamples = 3;
            break;
        case PHOTOMETRIC_SEPARATED: {
            uint16_t inkSet = INKSET_CMYK;
            TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &inkSet);
            if (inkSet != INKSET_CMYK) return false;
            page.colour = TiffColour::Cmyk;
            colourSamples = 4;
            break;
        }
        default: return false;
    }
    if (page.samplesPerPixel < colourSamples) return false;
    FindAlpha(tif, page);
    if (page.alphaSample >= 0 && page.alphaSample < colourSamples) page.alphaSample = -1;
    page.usedSamples = page.alphaSample >= 0 ? uint16_t(page.alphaSample + 1) : colourSamples;
    return true;
}

uint64_t MaxExpansion(const TiffPage& page) {
    switch (page.compression) {
        case COMPRESSION_NONE: return kRatioUncompressed;
        case COMPRESSION_PACKBITS: return kRatioPackBits;
        case COMPRESSION_CCITTRLE:
        case COMPRESSION_CCITTRLEW:
        case COMPRESSION_CCITTFAX3:
        case COMPRESSION_CCITTFAX4:
        case COMPRESSION_JBIG:
            // A blank fax row can take a single bit.
            return page.width > kRatioOther ? page.width : kRatioOther;
        default: return kRatioOther;
    }
}

// Every strip or tile must lie inside the file, and the data must be able to hold the
// picture: checked before anything of picture size is allocated.
bool DataCoversPicture(RasterImage& image, TIFF* tif, const TiffPage& page, uint64_t fileSize) {
    if (page.width == 0 || page.height == 0 || (page.tiled && (page.tileWidth == 0 || page.tileLength == 0))) {
        image.SetLastError("TIFF: bad picture size");
        return false;
    }
    const uint32_t pieces = page.tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    const uint64_t pieceBytes = page.tiled ? TIFFTileSize64(tif) : TIFFStripSize64(tif);
    if (pieces == 0 || pieceBytes == 0) {
        if (image.LastErrorText()[0] == '\0') image.SetLastError("TIFF: bad strip or tile layout");
        return false;
    }
    uint64_t dataBytes = 0;
    for (uint32_t i = 0; i < pieces; ++i) {
        const uint64_t offset = TIFFGetStrileOffset(tif, i);
        const uint64_t count = TIFFGetStrileByteCount(tif, i);
        if (count == 0 || offset > fileSize || count > fileSize - offset) {
            image.SetLastError("TIFF: strip or tile data missing or beyond the end of the file");
            return false;
        }
        dataBytes += count;
    }
    const uint64_t decodedBytes = pieceBytes > UINT64_MAX / pieces ? UINT64_MAX : pieceBytes * pieces;
    return PlausibleDecodedSize(image, decodedBytes, dataBytes, MaxExpansion(page));
}

int32_t DpiFrom(float value, uint16_t unit) {
    if (!std::isfinite(value) || value <= 0.0f) return 0;
    const double dpi = unit == RESUNIT_CENTIMETER ? double(value) * 2.54 : double(value);
    return dpi < 1.0 || dpi > 1.0e6 ? 0 : int32_t(std::lround(dpi));
}

void ReadResolution(RasterImage& image, TIFF* tif, const TiffPage& page) {
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (unit != RESUNIT_INCH && unit != RESUNIT_CENTIMETER) return;  // no absolute size
    float x = 0.0f;
    float y = 0.0f;
    const int32_t xDpi = TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) ? DpiFrom(x, unit) : 0;
    const int32_t yDpi = TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y) ? DpiFrom(y, unit) : 0;
    const bool swap = page.Transposed();
    if (xDpi > 0) swap ? image.SetYDpi(xDpi) : image.SetXDpi(xDpi);
    if (yDpi > 0) swap ? image.SetXDpi(yDpi) : image.SetYDpi(yDpi);
}

}  // namespace

bool RasterImageTIF::Decode(RasterFile* file) {
    if (!file) {
        SetLastError("null file handler");
        return false;
    }
    const int64_t start = file->Tell();
    if (start < 0 || !HasTiffSignature(file, start)) {
        SetLastError("TIFF: not a TIFF file");
        return false;
    }
    SilenceGlobalHandlers();
    ClearLastError();
    SetType(RASTER_FORMAT_TIF);
    TiffSource source{file, start};
    const uint64_t fileSize = RemainingBytes(file);
    std::unique_ptr<TIFF, TiffCloser> tif(OpenTiff(*this, source, fileSize));
    if (!tif) {
        if (LastErrorText()[0] == '\0') SetLastError("TIFF: can't read the file header");
        return false;
    }
    TiffPage page;
    ReadPageTags(tif.get(), page);
    if (!DataCoversPicture(*this, tif.get(), page, fileSize)) return false;
    const bool ours = ClassifyForSamples(tif.get(), page);
    const bool read = ours ? ReadTiffSamples(*this, tif.get(), page) : ReadTiffRgba(*this, tif.get(), page);
    if (!read) {
        Destroy();
        if (LastErrorText()[0] == '\0') SetLastError("TIFF: damaged or truncated picture data");
        return false;
    }
    ReadResolution(*this, tif.get(), page);
    return true;
}

bool RasterImageTIF::Encode(RasterFile*) {
    return RasterFormatNotWritable(*this, "TIFF");
}

bool RasterImageTIF::Sniff(const uint8_t* head, size_t count, uint64_t) { return IsTiffSignature(head, count); }
