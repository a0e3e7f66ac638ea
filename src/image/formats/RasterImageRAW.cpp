// Camera raw files through LibRaw: developed with the camera's white balance into 8-bit sRGB.
// Only reached as the last try of content detection.
#include "image/formats/RasterImageRAW.h"

#include <cstring>
#include <exception>
#include <memory>
#include <string>

#include "image/formats/RasterFormatSupport.h"
#include "image/formats/RasterLibRaw.h"

namespace {

// Raw data LibRaw may hold while developing one file.
constexpr unsigned kMaxRawMemoryMb = 1024;
constexpr int kOutputBitsPerSample = 8;
constexpr int kOutputColorSrgb = 1;
// Raw files are at least this large; smaller data is not worth handing to LibRaw.
constexpr size_t kMinRawFileSize = 512;

void IgnoreDataError(void*, const char*, const int) {}

// One file's developing state and its developed picture, given back to the library.
struct RawDeleter {
    const LibRawFunctions* lib;
    void operator()(libraw_data_t* raw) const { lib->close(raw); }
};
using RawState = std::unique_ptr<libraw_data_t, RawDeleter>;

struct ProcessedImageDeleter {
    const LibRawFunctions* lib;
    void operator()(libraw_processed_image_t* image) const { lib->clearMem(image); }
};
using ProcessedImage = std::unique_ptr<libraw_processed_image_t, ProcessedImageDeleter>;

}  // namespace

bool RasterImageRAW::Sniff(const uint8_t*, size_t, uint64_t size) {
    // LibRaw alone can tell a raw file (some are known only by their length): everything
    // Decode would hand to it passes.
    return size >= kMinRawFileSize && size <= RASTER_MAX_MEMORY;
}

bool RasterImageRAW::Decode(RasterFile* file) {
    // LibRaw needs the whole file at hand, but finding out that a file is no raw file reads
    // only a few places of it: the file is mapped, not read, so an unknown file of any size
    // costs only the pages LibRaw looks at.
    RasterStreamBytes data;
    if (!file || !data.Open(file) || data.Size() < kMinRawFileSize) {
        SetLastError("RAW: not a camera raw file");
        return false;
    }
    const LibRawFunctions* lib = LoadedLibRaw();
    if (!lib) {
        SetLastError((std::string("RAW: camera raw files need ") + LibRawFileName() + ", which is not installed").c_str());
        return false;
    }
    try {
        RawState raw(lib->init(LIBRAW_OPTIONS_NONE), RawDeleter{lib});
        if (!raw) {
            SetLastError("RAW: not enough memory to develop the picture");
            return false;
        }
        lib->setDataErrorHandler(raw.get(), IgnoreDataError, nullptr);
        raw->params.use_camera_wb = 1;
        raw->params.output_bps = kOutputBitsPerSample;
        raw->params.output_color = kOutputColorSrgb;
        raw->params.max_raw_memory_mb = kMaxRawMemoryMb;

        int status = lib->openBuffer(raw.get(), data.Data(), data.Size());
        if (status != LIBRAW_SUCCESS) {
            SetLastError("RAW: not a camera raw file");
            return false;
        }
        const auto& sizes = raw->sizes;
        if (!CheckMemoryLimit(sizes.width, sizes.height, 24) || !CheckMemoryLimit(sizes.raw_width, sizes.raw_height, 24)) {
            return false;
        }
        if ((status = lib->unpack(raw.get())) != LIBRAW_SUCCESS ||
            (status = lib->process(raw.get())) != LIBRAW_SUCCESS) {
            SetLastError(lib->errorText(status));
            return false;
        }
        int error = 0;
        ProcessedImage developed(lib->makeMemImage(raw.get(), &error), ProcessedImageDeleter{lib});
        if (!developed || error != LIBRAW_SUCCESS) {
            SetLastError(developed ? lib->errorText(error) : "RAW: cannot develop the picture");
            return false;
        }
        const uint32_t width = developed->width;
        const uint32_t height = developed->height;
        const uint32_t colors = developed->colors;
        if (developed->type != LIBRAW_IMAGE_BITMAP || developed->bits != kOutputBitsPerSample ||
            (colors != 1 && colors != 3) || uint64_t(width) * height * colors > developed->data_size) {
            SetLastError("RAW: unexpected developed picture");
            return false;
        }
        if (!Create(width, height, 24, RASTER_FORMAT_RAW)) return false;
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* src = developed->data + size_t(y) * width * colors;
            uint8_t* dst = RowPointer(height - 1 - y);
            for (uint32_t x = 0; x < width; ++x, src += colors, dst += 3) {
                dst[0] = src[colors == 3 ? 2 : 0];
                dst[1] = src[colors == 3 ? 1 : 0];
                dst[2] = src[0];
            }
        }
        return true;
    } catch (const std::exception&) {
        Destroy();
        SetLastError("RAW: not enough memory to develop the picture");
        return false;
    }
}

bool RasterImageRAW::Encode(RasterFile*) {
    return RasterFormatNotWritable(*this, "camera raw");
}
