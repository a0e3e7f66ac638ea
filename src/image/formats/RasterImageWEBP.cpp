// WebP reading through libwebp. The container is read by libwebp's demuxer, which gives the
// first frame's bitstream (the whole picture of a still file) and the metadata chunks. The
// bitstream is decoded incrementally, a slice of data at a time, so that a load told to stop
// (the image's escape flag) ends between slices.
#include "image/formats/RasterImageWEBP.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "image/PictureMetadata.h"
#include "image/formats/RasterFormatSupport.h"
#include "image/formats/RasterInterleavedRows.h"
#include "image/formats/RasterMetadataBlocks.h"

namespace {

constexpr size_t kRiffHeaderSize = 12;
// Data handed to the incremental decoder between two looks at the escape flag.
constexpr size_t kSliceBytes = size_t(256) << 10;
constexpr uint32_t kRgbaChannels = 4;

struct DemuxDeleter {
    void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};
using DemuxPtr = std::unique_ptr<WebPDemuxer, DemuxDeleter>;

struct IdecDeleter {
    void operator()(WebPIDecoder* idec) const { WebPIDelete(idec); }
};

// Feeds the bitstream to an incremental decoder set up by config, slice by slice.
bool RunIncremental(RasterImage& image, const uint8_t* data, size_t size, WebPDecoderConfig& config) {
    std::unique_ptr<WebPIDecoder, IdecDeleter> idec(WebPIDecode(nullptr, 0, &config));
    if (!idec) {
        image.SetLastError("WebP: the decoder could not be set up");
        return false;
    }
    size_t fed = 0;
    VP8StatusCode status = VP8_STATUS_SUSPENDED;
    while (status == VP8_STATUS_SUSPENDED && fed < size) {
        if (image.IsEscaped()) {
            image.SetLastError("WebP: decoding stopped");
            return false;
        }
        fed = std::min(size, fed + kSliceBytes);
        status = WebPIUpdate(idec.get(), data, fed);
    }
    if (status == VP8_STATUS_OK) return true;
    image.SetLastError(status == VP8_STATUS_SUSPENDED ? "WebP: the picture data ends early" : "WebP: damaged picture data");
    return false;
}

// An opaque frame that fills the canvas: straight into the image's rows, bottom-up.
bool DecodeOpaque(RasterImage& image, const WebPIterator& frame) {
    if (!image.Create(uint32_t(frame.width), uint32_t(frame.height), 24, RASTER_FORMAT_WEBP)) return false;
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) return false;
    config.options.flip = 1;
    config.output.colorspace = MODE_BGR;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = image.GetBits();
    config.output.u.RGBA.stride = int(image.GetStride());
    config.output.u.RGBA.size = size_t(image.GetStride()) * image.GetHeight();
    return RunIncremental(image, frame.fragment.bytes, frame.fragment.size, config);
}

// A frame with alpha, or one that covers only part of the canvas (an animation's first
// frame may): decoded to RGBA, then placed on a transparent canvas.
bool DecodeOntoCanvas(RasterImage& image, const WebPIterator& frame, uint32_t canvasWidth, uint32_t canvasHeight) {
    const uint32_t width = uint32_t(frame.width);
    const uint32_t height = uint32_t(frame.height);
    // Left uninitialised: a file that claims a large picture but ends early touches little.
    const size_t bytes = size_t(width) * kRgbaChannels * height;
    std::unique_ptr<uint8_t[]> rgba(new (std::nothrow) uint8_t[bytes]);
    if (!rgba) {
        image.SetLastError("RasterImage::Create can't allocate memory");
        return false;
    }
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) return false;
    config.output.colorspace = MODE_RGBA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = rgba.get();
    config.output.u.RGBA.stride = int(width * kRgbaChannels);
    config.output.u.RGBA.size = bytes;
    if (!RunIncremental(image, frame.fragment.bytes, frame.fragment.size, config)) return false;

    if (!image.Create(canvasWidth, canvasHeight, 24, RASTER_FORMAT_WEBP)) return false;
    if (!image.CreateAlpha()) return false;
    image.FillColor(RasterRgb(255, 255, 255));
    image.SetAlphaLevel(0);
    const uint32_t left = uint32_t(frame.x_offset);
    const uint32_t top = uint32_t(frame.y_offset);
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t stored = canvasHeight - 1 - (top + y);
        PutInterleavedRow(rgba.get() + size_t(y) * width * kRgbaChannels, width, kRgbaChannels,
                          image.PixelPointer(left, stored), image.AlphaPointer(left, stored));
    }
    return true;
}

void CopyChunk(const WebPDemuxer* demux, const char* fourcc, std::vector<uint8_t>& out) {
    WebPChunkIterator chunk;
    if (!WebPDemuxGetChunk(demux, fourcc, 1, &chunk)) return;
    out.assign(chunk.chunk.bytes, chunk.chunk.bytes + chunk.chunk.size);
    WebPDemuxReleaseChunkIterator(&chunk);
}

void ReadMetadata(const WebPDemuxer* demux, PictureMetadata& metadata) {
    std::vector<uint8_t> exif;
    CopyChunk(demux, "EXIF", exif);
    if (!exif.empty()) ExifWithoutPrefix(exif.data(), exif.size(), metadata.exif);
    CopyChunk(demux, "XMP ", metadata.xmp);
    CopyChunk(demux, "ICCP", metadata.icc);
}

// Whether the frame fits the canvas it claims to be part of.
bool FrameInsideCanvas(const WebPIterator& frame, uint32_t canvasWidth, uint32_t canvasHeight) {
    return frame.width > 0 && frame.height > 0 && frame.x_offset >= 0 && frame.y_offset >= 0 &&
           uint64_t(frame.x_offset) + uint64_t(frame.width) <= canvasWidth &&
           uint64_t(frame.y_offset) + uint64_t(frame.height) <= canvasHeight;
}

}  // namespace

bool RasterImageWEBP::Decode(RasterFile* file) {
    RasterStreamBytes bytes;
    if (!OpenWholeFormatData(*this, file, bytes, &Sniff, "Not a WebP file")) return false;
    const WebPData data{bytes.Data(), bytes.Size()};
    DemuxPtr demux(WebPDemux(&data));
    if (!demux) {
        SetLastError("WebP: damaged or incomplete file");
        return false;
    }
    const uint32_t canvasWidth = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH);
    const uint32_t canvasHeight = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT);
    if (!CheckMemoryLimit(canvasWidth, canvasHeight, 32)) {
        return false;
    }
    WebPIterator frame;
    if (!WebPDemuxGetFrame(demux.get(), 1, &frame)) {
        SetLastError("WebP: the file holds no picture");
        return false;
    }
    bool ok = FrameInsideCanvas(frame, canvasWidth, canvasHeight);
    if (!ok) SetLastError("WebP: the frame lies outside the picture");
    const bool wholeCanvas = uint32_t(frame.width) == canvasWidth && uint32_t(frame.height) == canvasHeight;
    if (ok) {
        ok = frame.has_alpha || !wholeCanvas ? DecodeOntoCanvas(*this, frame, canvasWidth, canvasHeight)
                                             : DecodeOpaque(*this, frame);
    }
    WebPDemuxReleaseIterator(&frame);
    if (!ok) {
        if (LastErrorText()[0] == '\0') SetLastError("WebP decode failed");
        Destroy();
        return false;
    }
    if (m_metadata) ReadMetadata(demux.get(), *m_metadata);
    return true;
}

bool RasterImageWEBP::Sniff(const uint8_t* head, size_t count, uint64_t) {
    return count >= kRiffHeaderSize && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WEBP", 4) == 0;
}
