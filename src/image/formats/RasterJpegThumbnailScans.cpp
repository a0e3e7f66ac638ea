#include "image/formats/RasterJpegThumbnailScans.h"

#include <cstring>

namespace {

constexpr uint8_t kMarkerPrefix = 0xFF;
constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint8_t kEndOfImage = 0xD9;
constexpr uint8_t kStartOfScan = 0xDA;
constexpr uint8_t kFirstRestart = 0xD0;
constexpr uint8_t kLastRestart = 0xD7;
constexpr uint8_t kTemporary = 0x01;   // TEM: a marker without a length
constexpr uint8_t kStuffedZero = 0x00;

bool IsRestart(uint8_t code) { return code >= kFirstRestart && code <= kLastRestart; }

uint32_t BigEndian16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }

// The position of the marker that ends the entropy-coded data starting at from: stuffed
// zeros and restart markers belong to the data, fill bytes to the marker. size when the
// data runs to the end.
size_t EndOfEntropyData(const uint8_t* data, size_t size, size_t from) {
    size_t pos = from;
    while (pos < size) {
        const void* found = std::memchr(data + pos, kMarkerPrefix, size - pos);
        if (!found) return size;
        pos = size_t(static_cast<const uint8_t*>(found) - data);
        if (pos + 1 >= size) return size;
        const uint8_t next = data[pos + 1];
        if (next == kMarkerPrefix) {
            ++pos;   // a fill byte; the marker follows
        } else if (next == kStuffedZero || IsRestart(next)) {
            pos += 2;
        } else {
            return pos;
        }
    }
    return size;
}

// True when the scan header at segment (its marker first) selects one component whose AC
// coefficients alone it carries, and that component is in dcOnly. ok turns false for a
// malformed header.
bool IsDroppableScan(const uint8_t* segment, uint32_t length, const std::bitset<256>& dcOnly, bool& ok) {
    // length counts itself, the component count, two bytes per component and three more.
    const uint32_t components = length >= 3 ? segment[4] : 0;
    ok = components >= 1 && length == 6 + 2 * components;
    if (!ok) return false;
    const uint8_t firstCoefficient = segment[5 + 2 * components];
    return components == 1 && firstCoefficient > 0 && dcOnly.test(segment[5]);
}

void Append(std::vector<uint8_t>& out, const uint8_t* from, const uint8_t* to) { out.insert(out.end(), from, to); }

}  // namespace

bool DropAcScans(const uint8_t* data, size_t size, const std::bitset<256>& dcOnly, std::vector<uint8_t>& out,
                 size_t& dropped) {
    out.clear();
    dropped = 0;
    if (!data || size < 4 || data[0] != kMarkerPrefix || data[1] != kStartOfImage) return false;
    out.reserve(size);
    Append(out, data, data + 2);
    size_t pos = 2;
    for (;;) {
        if (pos >= size || data[pos] != kMarkerPrefix) return false;
        while (pos + 1 < size && data[pos + 1] == kMarkerPrefix) ++pos;   // fill bytes
        if (pos + 1 >= size) return false;
        const uint8_t code = data[pos + 1];
        if (code == kEndOfImage) {
            Append(out, data + pos, data + pos + 2);
            return true;
        }
        if (code == kStuffedZero || code == kStartOfImage) return false;
        if (code == kTemporary || IsRestart(code)) {
            Append(out, data + pos, data + pos + 2);
            pos += 2;
            continue;
        }
        if (size - pos < 4) return false;
        const uint32_t length = BigEndian16(data + pos + 2);
        if (length < 2 || size - pos - 2 < length) return false;
        const size_t segmentEnd = pos + 2 + length;
        if (code != kStartOfScan) {
            Append(out, data + pos, data + segmentEnd);
            pos = segmentEnd;
            continue;
        }
        bool ok = true;
        const bool drop = IsDroppableScan(data + pos, length, dcOnly, ok);
        if (!ok) return false;
        const size_t scanEnd = EndOfEntropyData(data, size, segmentEnd);
        if (drop) {
            ++dropped;
        } else {
            Append(out, data + pos, data + scanEnd);
        }
        pos = scanEnd;
    }
}
