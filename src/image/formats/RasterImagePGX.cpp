// PGX, the single-component test format of JPEG 2000: a text line
// "PG <ML|LM> [+|-] <depth> <width> <height>" then raw samples of (depth + 7) / 8 bytes each,
// most significant byte first (ML) or last (LM). Signed samples are shifted to unsigned
// before they are scaled to 8 bits.
#include <vector>

#include "image/formats/RasterImagePGX.h"

#include "image/formats/RasterDecodeSupport.h"
#include "image/formats/RasterFormatSupport.h"

namespace {

constexpr uint32_t kMaxPgxDepth = 32;
constexpr uint32_t kMaxPgxDimension = 0x7FFFFFFF;

struct PgxHeader {
    bool bigEndian = true;
    bool isSigned = false;
    uint32_t depth = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

bool IsBlank(long c) { return c == ' ' || c == '\t'; }

long SkipBlanks(RasterFile* file) {
    long c;
    do {
        c = file->GetC();
    } while (IsBlank(c));
    return c;
}

// Reads a decimal number whose first digit is first; returns the byte after it.
bool ReadPgxNumber(RasterFile* file, long first, uint32_t limit, uint32_t& value, long& next) {
    if (first < '0' || first > '9') return false;
    uint64_t v = 0;
    long c = first;
    while (c >= '0' && c <= '9') {
        v = v * 10 + uint64_t(c - '0');
        if (v > limit) return false;
        c = file->GetC();
    }
    value = uint32_t(v);
    next = c;
    return true;
}

bool ReadPgxHeader(RasterFile* file, PgxHeader& header) {
    uint8_t magic[2];
    if (!ReadExact(file, magic, 2) || magic[0] != 'P' || magic[1] != 'G') return false;
    long c = file->GetC();
    if (!IsBlank(c)) return false;
    const long first = SkipBlanks(file);
    const long second = file->GetC();
    if (first == 'M' && second == 'L') {
        header.bigEndian = true;
    } else if (first == 'L' && second == 'M') {
        header.bigEndian = false;
    } else {
        return false;
    }
    c = SkipBlanks(file);
    if (c == '+' || c == '-') {
        header.isSigned = c == '-';
        c = SkipBlanks(file);
    }
    if (!ReadPgxNumber(file, c, kMaxPgxDepth, header.depth, c) || !IsBlank(c)) return false;
    if (!ReadPgxNumber(file, SkipBlanks(file), kMaxPgxDimension, header.width, c) || !IsBlank(c)) return false;
    if (!ReadPgxNumber(file, SkipBlanks(file), kMaxPgxDimension, header.height, c)) return false;
    while (IsBlank(c) || c == '\r') c = file->GetC();
    return c == '\n' && header.depth > 0 && header.width > 0 && header.height > 0;
}

// Sample of bytesPerSample bytes as an unsigned value of depth bits (signed ones shifted by
// half the range).
uint64_t PgxSample(const uint8_t* p, uint32_t bytesPerSample, const PgxHeader& header) {
    uint64_t v = 0;
    for (uint32_t i = 0; i < bytesPerSample; ++i) {
        const uint8_t b = header.bigEndian ? p[i] : p[bytesPerSample - 1 - i];
        v = (v << 8) | b;
    }
    const uint64_t range = uint64_t(1) << header.depth;
    v &= range - 1;
    if (header.isSigned) v ^= range >> 1;  // two's complement + half range, modulo the range
    return v;
}

}  // namespace

bool RasterImagePGX::Decode(RasterFile* file) {
    if (!StartStreamedFormatData(*this, file, &Sniff, "PGX")) return false;
    RasterImage& image = *this;
    PgxHeader header;
    if (!ReadPgxHeader(file, header)) {
        image.SetLastError("PGX: not a PGX file");
        return false;
    }
    const uint32_t bytesPerSample = (header.depth + 7) / 8;
    const uint64_t rowBytes = uint64_t(header.width) * bytesPerSample;
    if (RemainingBytes(file) < rowBytes * header.height) {
        image.SetLastError("PGX: file too short for its picture size");
        return false;
    }
    if (!CreateDecodedImage(image, header.width, header.height, 8, true)) return false;
    std::vector<uint8_t> raw(rowBytes);
    const uint64_t maxValue = (uint64_t(1) << header.depth) - 1;
    for (uint32_t y = 0; y < header.height; ++y) {
        if (!ReadExact(file, raw.data(), raw.size())) {
            image.Destroy();
            image.SetLastError("PGX: truncated picture data");
            return false;
        }
        uint8_t* row = image.RowPointer(StoredRow(image, y));
        for (uint32_t x = 0; x < header.width; ++x) {
            row[x] = ScaleSampleToByte(PgxSample(&raw[size_t(x) * bytesPerSample], bytesPerSample, header), maxValue);
        }
    }
    return true;
}

bool RasterImagePGX::Encode(RasterFile*) { return RasterFormatNotWritable(*this, "PGX"); }

bool RasterImagePGX::Sniff(const uint8_t* head, size_t count, uint64_t) {
    return count >= 3 && head[0] == 'P' && head[1] == 'G' && IsBlank(head[2]);
}
