// Straight libjpeg-turbo coding of blue-green-red rows, the baselines the image core's JPEG
// codec is measured against. Rows are bottom-up and padded to 4 bytes like RasterImage's.
#pragma once

#include <cstddef>
#include <cstdint>

// Decoded rows. A picture decoded into again keeps its block when it is large enough, as the
// image core keeps its blocks in the block pool: a baseline timed in a loop then writes into
// memory already mapped, like its subject.
struct BareBgrPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t stride = 0;
    uint8_t* rows = nullptr;   // malloc'ed, stride * height bytes, bottom row first
    size_t capacity = 0;       // bytes of the block rows points to
    BareBgrPicture() = default;
    BareBgrPicture(const BareBgrPicture&) = delete;
    BareBgrPicture& operator=(const BareBgrPicture&) = delete;
    ~BareBgrPicture();
};

// Decodes to B,G,R (JCS_EXT_BGR) into out's rows, allocated anew only when out's block is too
// small; false on a bad stream.
bool BareJpegDecode(const uint8_t* data, size_t size, BareBgrPicture& out);
// The same, reduced in the DCT domain to scaleNum / 8 of the picture's size.
bool BareJpegDecodeScaled(const uint8_t* data, size_t size, unsigned scaleNum, BareBgrPicture& out);

// A JPEG file in the buffer libjpeg's memory destination grew.
struct BareJpegFile {
    unsigned char* data = nullptr;
    unsigned long size = 0;
    BareJpegFile() = default;
    BareJpegFile(const BareJpegFile&) = delete;
    BareJpegFile& operator=(const BareJpegFile&) = delete;
    ~BareJpegFile();
};

// Encodes bottom-up B,G,R rows: baseline, 1 x 1 sampling for every component, density in
// dots per inch, as the image core writes JPEG. False on failure.
bool BareJpegEncode(const uint8_t* rows, uint32_t width, uint32_t height, uint32_t stride, int quality, int dpi,
                    BareJpegFile& out);
