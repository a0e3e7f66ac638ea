// Shared helpers for the format classes: exact reads, byte-order reads, whole-stream reads
// with a size cap, and the standard "cannot read / cannot write" failures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/RasterFile.h"
#include "image/RasterImage.h"

// Sets "<format> files cannot be read in this build" and returns false.
bool RasterFormatNotAvailable(RasterImage& image, const char* formatName);
// Sets "Encode: <format> cannot be saved" and returns false.
bool RasterFormatNotWritable(RasterImage& image, const char* formatName);

// The error of a decode stopped through the image's escape flag.
constexpr const char* RASTER_DECODE_STOPPED = "Decode: stopped";
// Decoders ask once per row or band: true (with RASTER_DECODE_STOPPED as the error) when the
// image's escape flag is set, so that a stop never waits for the rest of a large picture.
bool DecodeStopRequested(RasterImage& image);

// Sets "null file handler" or "null image!!!" and returns false when there is nothing to
// write to or nothing to write.
bool CanEncode(RasterImage& image, RasterFile* file);

// Options (JPEG quality, codec words) travel into a decode; what described the picture the
// image held before must not, or a reused image would give a new picture the old one's
// transparent colour (turning unrelated pixels white) or resolution, or the old file's damage.
void ResetPictureFields(RasterImage& image);

// True only when all n bytes were read.
inline bool ReadExact(RasterFile* file, void* buffer, size_t n) {
    return n == 0 || file->Read(buffer, 1, n) == n;
}

// Values from a byte buffer.
inline uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint16_t Be16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
inline uint32_t Be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
inline void PutLe16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline void PutLe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); p[3] = uint8_t(v >> 24);
}

// Values from the stream; false at the end of the data.
bool ReadU8(RasterFile* file, uint8_t& value);
bool ReadLe16(RasterFile* file, uint16_t& value);
bool ReadLe32(RasterFile* file, uint32_t& value);
bool ReadBe16(RasterFile* file, uint16_t& value);
bool ReadBe32(RasterFile* file, uint32_t& value);

// Bytes from the current position to the end of the stream (0 when unknown).
uint64_t RemainingBytes(RasterFile* file);

// Reads everything from the current position to the end into out. Fails when the stream
// holds more than maxBytes or cannot be read.
bool ReadAllBytes(RasterFile* file, std::vector<uint8_t>& out, uint64_t maxBytes = RASTER_MAX_MEMORY);

// Everything from a stream's current position to its end, at hand for a reader that needs the
// whole data but may look at only a little of it: a C stream over a regular file is mapped
// copy-on-write (only the pages touched are read into memory, and writes never reach the
// file), any other stream is read whole (as ReadAllBytes). The stream is left at its end.
// The bytes stay valid while this object lives; the file must not shrink meanwhile.
class RasterStreamBytes {
public:
    RasterStreamBytes() = default;
    ~RasterStreamBytes();
    RasterStreamBytes(const RasterStreamBytes&) = delete;
    RasterStreamBytes& operator=(const RasterStreamBytes&) = delete;

    // False when the stream holds more than maxBytes or cannot be read.
    bool Open(RasterFile* file, uint64_t maxBytes = RASTER_MAX_MEMORY);
    uint8_t* Data() const { return m_data; }
    size_t Size() const { return m_size; }

private:
    bool Map(RasterFile* file, uint64_t remaining);

    void* m_mapping = nullptr;
    size_t m_mappingSize = 0;
    uint8_t* m_data = nullptr;
    size_t m_size = 0;
    std::vector<uint8_t> m_copy;
};

// The start of a reader that needs the whole data at hand (the newer codecs' libraries): fails
// with "null file handler", or with notOfFormat when the data is not of the format (sniff
// says no to its first bytes); otherwise resets the picture fields and opens bytes.
bool OpenWholeFormatData(RasterImage& image, RasterFile* file, RasterStreamBytes& bytes,
                         bool (*sniff)(const uint8_t*, size_t, uint64_t), const char* notOfFormat);

// Reads up to n bytes at the stream's position into head and goes back there; how many were
// read (0 when the stream cannot go back).
size_t PeekBytes(RasterFile* file, uint8_t* head, size_t n);

// The start of a reader that reads the stream as it goes: fails with "null file handler", or
// with "<name>: not a <name> file" when sniff says no to the first bytes. The stream is left
// where it was.
bool StartStreamedFormatData(RasterImage& image, RasterFile* file, bool (*sniff)(const uint8_t*, size_t, uint64_t),
                             const char* name);
