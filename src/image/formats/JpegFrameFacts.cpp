#include "image/formats/JpegFrameFacts.h"

#include <algorithm>

#include "image/formats/RasterExifOrientation.h"

namespace {

constexpr uint8_t kMarkerPrefix = 0xFF;
constexpr int kStartOfImage = 0xD8;
constexpr int kStartOfScan = 0xDA;
constexpr int kApp0 = 0xE0;
constexpr int kDefineHuffman = 0xC4;
constexpr int kArithmeticConditioning = 0xCC;
constexpr int kBlockSide = 8;
constexpr size_t kFrameFixedBytes = 6;     // precision, height, width, component count
constexpr size_t kFrameComponentBytes = 3;
constexpr size_t kJfifBytes = 12;          // "JFIF\0", version, units, densities
constexpr uint8_t kJfifDotsPerInch = 1;
constexpr uint8_t kJfifDotsPerCm = 2;

bool IsFrameMarker(int marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != kDefineHuffman && marker != 0xC8 &&
           marker != kArithmeticConditioning;
}

// Markers that stand alone, without a length.
bool IsStandalone(int marker) { return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7); }

uint32_t Be16(const uint8_t* p) { return (uint32_t(p[0]) << 8) | p[1]; }

int32_t DpiOf(uint8_t unit, uint32_t density) {
    if (unit == kJfifDotsPerInch) return int32_t(density);
    if (unit == kJfifDotsPerCm) return int32_t((density * 254u + 50u) / 100u);
    return 0;
}

void ReadJfif(const uint8_t* body, size_t length, JpegFrameFacts& facts) {
    if (length < kJfifBytes || std::string(reinterpret_cast<const char*>(body), 5) != std::string("JFIF\0", 5)) return;
    facts.xDpi = DpiOf(body[7], Be16(body + 8));
    facts.yDpi = DpiOf(body[7], Be16(body + 10));
}

bool ReadFrame(int marker, const uint8_t* body, size_t length, JpegFrameFacts& facts, std::string& reason) {
    if (length < kFrameFixedBytes) {
        reason = "the frame header is cut short";
        return false;
    }
    facts.frameMarker = marker;
    facts.precision = body[0];
    facts.size = {Be16(body + 3), Be16(body + 1)};
    facts.components = body[5];
    if (facts.components == 0 || length < kFrameFixedBytes + kFrameComponentBytes * size_t(facts.components)) {
        reason = "the frame header is cut short";
        return false;
    }
    int maxH = 0;
    int maxV = 0;
    for (int c = 0; c < facts.components; ++c) {
        const uint8_t sampling = body[kFrameFixedBytes + kFrameComponentBytes * size_t(c) + 1];
        maxH = std::max(maxH, sampling >> 4);
        maxV = std::max(maxV, sampling & 0x0F);
    }
    // A single component is coded block by block whatever sampling factors it states.
    if (facts.components == 1) maxH = maxV = 1;
    facts.grid = {uint32_t(kBlockSide * maxH), uint32_t(kBlockSide * maxV)};
    return true;
}

}  // namespace

bool ReadJpegFrameFacts(const uint8_t* data, size_t size, JpegFrameFacts& facts, std::string& reason) {
    facts = JpegFrameFacts{};
    if (size < 4 || data[0] != kMarkerPrefix || data[1] != kStartOfImage) {
        reason = "not a JPEG file";
        return false;
    }
    size_t at = 2;
    while (at < size) {
        if (data[at] != kMarkerPrefix) {
            reason = "damaged: data where a marker belongs";
            return false;
        }
        while (at < size && data[at] == kMarkerPrefix) ++at;   // fill bytes
        if (at >= size) break;
        const int marker = data[at++];
        if (IsStandalone(marker)) continue;
        if (marker == kStartOfScan) {
            reason = "damaged: a scan comes before the frame header";
            return false;
        }
        if (at + 2 > size) break;
        const size_t length = Be16(data + at);
        if (length < 2 || at + length > size) break;
        const uint8_t* body = data + at + 2;
        if (marker == kApp0) ReadJfif(body, length - 2, facts);
        if (IsFrameMarker(marker)) {
            if (!ReadFrame(marker, body, length - 2, facts, reason)) return false;
            facts.orientation = ExifOrientationOrUpright(ReadExifOrientation(data, size));
            return true;
        }
        at += length;
    }
    reason = "damaged: the file ends before its frame header";
    return false;
}

std::string LosslessUnsupportedReason(const JpegFrameFacts& facts) {
    if (facts.Arithmetic()) return "the file is arithmetic-coded, which the block transform cannot keep";
    const int marker = facts.frameMarker;
    if (marker == 0xC3 || (marker >= 0xC5 && marker <= 0xC7)) return "lossless and hierarchical JPEG frames are not handled";
    if (facts.precision != 8) return "only 8-bit JPEG files can be turned block by block";
    if (facts.size.width == 0 || facts.size.height == 0) return "the frame header states no size";
    if (facts.components != 1 && facts.components != 3 && facts.components != 4) return "unusual number of colour components";
    const bool sampledBlocks = (facts.grid.width == 8 || facts.grid.width == 16) &&
                               (facts.grid.height == 8 || facts.grid.height == 16);
    if (!sampledBlocks) return "unusual colour sampling factors";
    return {};
}
