// MNG and JNG through libmng: the first frame as it is shown, with its alpha.
#include "image/formats/RasterImageMNG.h"

#include <cstdio>  // libmng pulls in jpeglib.h, which needs FILE

#include <libmng.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_set>
#include <vector>

#include "image/formats/RasterFormatSupport.h"

namespace {

constexpr uint8_t kMngSignature[8] = {0x8A, 'M', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr uint8_t kJngSignature[8] = {0x8B, 'J', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr size_t kSignatureSize = sizeof(kMngSignature);
constexpr uint32_t kCanvasBytesPerPixel = 4;  // RGBA
// zlib cannot expand data by more than about 1032:1; a canvas far larger than what the
// file could fill is refused before it is allocated.
constexpr uint64_t kMaxExpansion = 1100;
constexpr uint64_t kSmallCanvasBytes = 16u << 20;
// A frame is drawn line by line; this many canvas line requests per picture line means
// the stream loops without ever showing a frame.
constexpr uint64_t kMaxLineRequestsPerLine = 256;

// State shared with libmng's callbacks through the handle's user data.
struct MngSession {
    const std::vector<uint8_t>* data = nullptr;
    size_t position = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> canvas;  // RGBA rows, top row first
    bool refreshed = false;
    bool timerRequested = false;
    uint64_t lineRequests = 0;
    uint32_t ticks = 0;
    char error[RASTER_ERROR_TEXT_SIZE] = {};
};

MngSession& SessionOf(mng_handle handle) {
    return *static_cast<MngSession*>(mng_get_userdata(handle));
}

// libmng forgets some of its buffers on error paths. Every block it takes during one
// decode is tracked here, and whatever it still holds after cleanup is freed.
thread_local std::unordered_set<void*>* t_mngBlocks = nullptr;

mng_ptr MNG_DECL Allocate(mng_size_t length) {
    void* block = std::calloc(1, length);  // libmng expects zeroed memory
    if (block && t_mngBlocks) {
        try {
            t_mngBlocks->insert(block);
        } catch (const std::bad_alloc&) {
            std::free(block);
            return MNG_NULL;
        }
    }
    return block;
}

void MNG_DECL Release(mng_ptr pointer, mng_size_t) {
    if (t_mngBlocks) t_mngBlocks->erase(pointer);
    std::free(pointer);
}

// Tracks libmng's blocks for the lifetime of one decode.
class MngBlockScope {
public:
    MngBlockScope() { t_mngBlocks = &m_blocks; }
    ~MngBlockScope() {
        t_mngBlocks = nullptr;
        for (void* block : m_blocks) std::free(block);
    }
    MngBlockScope(const MngBlockScope&) = delete;
    MngBlockScope& operator=(const MngBlockScope&) = delete;

private:
    std::unordered_set<void*> m_blocks;
};

mng_bool MNG_DECL OpenStream(mng_handle) { return MNG_TRUE; }
mng_bool MNG_DECL CloseStream(mng_handle) { return MNG_TRUE; }

mng_bool MNG_DECL ReadData(mng_handle handle, mng_ptr buffer, mng_uint32 length, mng_uint32p read) {
    MngSession& s = SessionOf(handle);
    const size_t available = s.data->size() - s.position;
    const size_t n = length < available ? length : available;
    if (n) std::memcpy(buffer, s.data->data() + s.position, n);
    s.position += n;
    *read = mng_uint32(n);
    return MNG_TRUE;
}

mng_bool MNG_DECL ProcessHeader(mng_handle handle, mng_uint32 width, mng_uint32 height) {
    MngSession& s = SessionOf(handle);
    const uint64_t canvasBytes = uint64_t(width) * height * kCanvasBytesPerPixel;
    if (width == 0 || height == 0 || !RasterImage::FitsMemoryLimit(width, height, 24) ||
        canvasBytes > RasterImage::MemoryLimit()) {
        RasterTooLargeText(s.error, width, height, canvasBytes);
        return MNG_FALSE;
    }
    if (canvasBytes > kSmallCanvasBytes && canvasBytes / kMaxExpansion > s.data->size()) {
        std::strncpy(s.error, "MNG: the picture is larger than its data can fill", sizeof(s.error) - 1);
        return MNG_FALSE;
    }
    s.width = width;
    s.height = height;
    s.canvas.assign(size_t(canvasBytes), 0);
    return mng_set_canvasstyle(handle, MNG_CANVAS_RGBA8) == MNG_NOERROR ? MNG_TRUE : MNG_FALSE;
}

mng_ptr MNG_DECL CanvasLine(mng_handle handle, mng_uint32 line) {
    MngSession& s = SessionOf(handle);
    if (line >= s.height || s.canvas.empty()) return MNG_NULL;
    if (++s.lineRequests > kMaxLineRequestsPerLine * s.height) return MNG_NULL;
    return s.canvas.data() + size_t(line) * s.width * kCanvasBytesPerPixel;
}

mng_bool MNG_DECL Refresh(mng_handle handle, mng_uint32, mng_uint32, mng_uint32, mng_uint32) {
    SessionOf(handle).refreshed = true;
    return MNG_TRUE;
}

mng_uint32 MNG_DECL TickCount(mng_handle handle) {
    // Time only moves when asked, so no frame delay is ever waited for.
    return SessionOf(handle).ticks++;
}

mng_bool MNG_DECL SetTimer(mng_handle handle, mng_uint32) {
    // The first frame is complete once libmng wants to wait for the next one.
    SessionOf(handle).timerRequested = true;
    return MNG_TRUE;
}

mng_bool MNG_DECL OnError(mng_handle handle, mng_int32 code, mng_int8, mng_chunkid, mng_uint32, mng_int32,
                          mng_int32, mng_pchar text) {
    MngSession& s = SessionOf(handle);
    if (!s.error[0]) {
        if (text && *text) {
            std::strncpy(s.error, text, sizeof(s.error) - 1);
        } else {
            std::snprintf(s.error, sizeof(s.error), "MNG: decoding error %d", int(code));
        }
    }
    return MNG_FALSE;
}

// Owns a libmng handle.
class MngHandle {
public:
    explicit MngHandle(MngSession* session) : m_handle(mng_initialize(session, Allocate, Release, MNG_NULL)) {}
    ~MngHandle() {
        if (m_handle) mng_cleanup(&m_handle);
    }
    MngHandle(const MngHandle&) = delete;
    MngHandle& operator=(const MngHandle&) = delete;
    mng_handle get() const { return m_handle; }

private:
    mng_handle m_handle;
};

bool InstallCallbacks(mng_handle handle) {
    return mng_setcb_openstream(handle, OpenStream) == MNG_NOERROR &&
           mng_setcb_closestream(handle, CloseStream) == MNG_NOERROR &&
           mng_setcb_readdata(handle, ReadData) == MNG_NOERROR &&
           mng_setcb_processheader(handle, ProcessHeader) == MNG_NOERROR &&
           mng_setcb_getcanvasline(handle, CanvasLine) == MNG_NOERROR &&
           mng_setcb_refresh(handle, Refresh) == MNG_NOERROR &&
           mng_setcb_gettickcount(handle, TickCount) == MNG_NOERROR &&
           mng_setcb_settimer(handle, SetTimer) == MNG_NOERROR &&
           mng_setcb_errorproc(handle, OnError) == MNG_NOERROR;
}

uint32_t BigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

void PutBigEndian32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(value >> (24 - 8 * i));
}

// A chunk is its length (4 bytes), its type (4), its data and a CRC (4) over type and data.
constexpr size_t kChunkFrame = 12;

// Caps the 32-bit count at `offset` in the chunk at `at` to one, with a new CRC.
void CapCountAtOne(std::vector<uint8_t>& data, size_t at, size_t offset) {
    const uint32_t length = BigEndian32(&data[at]);
    if (offset + 4 > length) return;
    uint8_t* count = &data[at + 8 + offset];
    if (BigEndian32(count) <= 1) return;
    PutBigEndian32(count, 1);
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), &data[at + 4], uInt(4 + length));
    PutBigEndian32(&data[at + 8 + length], uint32_t(crc));
}

// Only the first frame is wanted, so the stream is played once: its repetition (TERM) is taken
// out and its loops (LOOP) run one iteration. libmng plays frames without delays, and frames it
// cannot draw, without returning or calling back: a TERM or LOOP of 2^31 iterations in a file of
// a few hundred bytes would hold the reader for hours.
void PlayOnce(std::vector<uint8_t>& data) {
    size_t at = kSignatureSize;
    while (at + kChunkFrame <= data.size()) {
        const uint32_t length = BigEndian32(&data[at]);
        if (length > data.size() - at - kChunkFrame) return;  // damaged: libmng reports it
        const uint8_t* type = &data[at + 4];
        if (std::memcmp(type, "TERM", 4) == 0) {
            data.erase(data.begin() + long(at), data.begin() + long(at + kChunkFrame + length));
            continue;
        }
        if (std::memcmp(type, "LOOP", 4) == 0) {
            // Nest level (1 byte), iteration count (4), then optionally a termination
            // condition (1), the least (4) and the most (4) iterations.
            CapCountAtOne(data, at, 1);
            CapCountAtOne(data, at, 6);
            CapCountAtOne(data, at, 10);
        }
        at += kChunkFrame + length;
    }
}

}  // namespace

bool RasterImageMNG::Decode(RasterFile* file) {
    uint8_t signature[kSignatureSize];
    if (!file || !ReadExact(file, signature, kSignatureSize) ||
        (std::memcmp(signature, kMngSignature, kSignatureSize) != 0 &&
         std::memcmp(signature, kJngSignature, kSignatureSize) != 0)) {
        SetLastError("MNG: not an MNG or JNG file");
        return false;
    }
    std::vector<uint8_t> data(signature, signature + kSignatureSize);
    std::vector<uint8_t> rest;
    if (!ReadAllBytes(file, rest)) {
        SetLastError("MNG: cannot read the file");
        return false;
    }
    data.insert(data.end(), rest.begin(), rest.end());
    if (std::memcmp(signature, kMngSignature, kSignatureSize) == 0) PlayOnce(data);

    MngSession session;
    session.data = &data;
    MngBlockScope blocks;  // outlives the handle
    MngHandle handle(&session);
    if (!handle.get() || !InstallCallbacks(handle.get())) {
        SetLastError("MNG: cannot start the decoder");
        return false;
    }
    const mng_retcode result = mng_readdisplay(handle.get());
    const bool frameShown = session.refreshed && !session.canvas.empty();
    if ((result != MNG_NOERROR && result != MNG_NEEDTIMERWAIT) || !frameShown) {
        SetLastError(session.error[0] ? session.error : "MNG: the file holds no complete frame");
        return false;
    }

    const uint32_t width = session.width;
    const uint32_t height = session.height;
    if (!Create(width, height, 24, RASTER_FORMAT_MNG) || !CreateAlpha()) {
        if (!LastErrorText()[0]) SetLastError("RasterImage::Create can't allocate memory");
        Destroy();
        return false;
    }
    bool anyTransparent = false;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* src = session.canvas.data() + size_t(y) * width * kCanvasBytesPerPixel;
        uint8_t* dst = RowPointer(height - 1 - y);
        uint8_t* alpha = AlphaPointer(0, height - 1 - y);
        for (uint32_t x = 0; x < width; ++x, src += 4, dst += 3) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
            alpha[x] = src[3];
            anyTransparent |= src[3] != RASTER_ALPHA_OPAQUE;
        }
    }
    if (!anyTransparent) DeleteAlpha();
    return true;
}

bool RasterImageMNG::Encode(RasterFile*) {
    return RasterFormatNotWritable(*this, "MNG/JNG");
}

bool RasterImageMNG::Sniff(const uint8_t* head, size_t count, uint64_t) {
    return count >= kSignatureSize && (std::memcmp(head, kMngSignature, kSignatureSize) == 0 ||
                                       std::memcmp(head, kJngSignature, kSignatureSize) == 0);
}
