#include "image/metadata/MetadataBlocks.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

constexpr std::string_view kExifSignature{"Exif\0\0", 6};
constexpr std::string_view kXmpSignature{"http://ns.adobe.com/xap/1.0/\0", 29};
constexpr std::string_view kIccSignature{"ICC_PROFILE\0", 12};
constexpr std::string_view kPhotoshopSignature{"Photoshop 3.0\0", 14};
constexpr std::string_view kResourceSignature{"8BIM"};
constexpr uint16_t kIptcResourceId = 0x0404;
// An ICC chunk: the signature, its sequence number and the number of chunks.
constexpr size_t kIccChunkHeader = kIccSignature.size() + 2;
// A raw profile larger than this is not a metadata block anyone writes.
constexpr size_t kMaxRawProfileBytes = 16u << 20;

bool StartsWith(const uint8_t* data, size_t size, std::string_view prefix) {
    return size >= prefix.size() && std::memcmp(data, prefix.data(), prefix.size()) == 0;
}

uint16_t Be16At(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
uint32_t Be32At(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

// The first block of a kind wins; a second one (a camera's and an editor's) is left out.
void KeepFirst(std::vector<uint8_t>& block, const uint8_t* data, size_t size) {
    if (block.empty()) block.assign(data, data + size);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// ImageMagick's "Raw profile type" text: "\n<name>\n<spaces><length>\n<hex digits>". False
// when the text does not follow that framing.
bool DecodeRawProfile(const char* text, size_t length, std::vector<uint8_t>& out) {
    size_t i = 0;
    while (i < length && text[i] == '\n') ++i;
    while (i < length && text[i] != '\n') ++i;   // the profile's name
    while (i < length && (text[i] == '\n' || text[i] == ' ')) ++i;
    size_t declared = 0;
    bool anyDigit = false;
    while (i < length && text[i] >= '0' && text[i] <= '9') {
        declared = declared * 10 + size_t(text[i] - '0');
        if (declared > kMaxRawProfileBytes) return false;
        anyDigit = true;
        ++i;
    }
    if (!anyDigit || declared == 0) return false;
    out.clear();
    out.reserve(declared);
    int high = -1;
    for (; i < length && out.size() < declared; ++i) {
        const int digit = HexDigit(text[i]);
        if (digit < 0) {
            if (text[i] == '\n' || text[i] == ' ' || text[i] == '\r') continue;
            return false;
        }
        if (high < 0) {
            high = digit;
        } else {
            out.push_back(uint8_t((high << 4) | digit));
            high = -1;
        }
    }
    return out.size() == declared;
}

// IPTC as the raw profiles carry it: Photoshop resources with or without their header, or
// the bare records.
std::vector<uint8_t> IptcFromRawProfile(const std::vector<uint8_t>& payload) {
    const uint8_t* data = payload.data();
    size_t size = payload.size();
    if (StartsWith(data, size, kPhotoshopSignature)) {
        data += kPhotoshopSignature.size();
        size -= kPhotoshopSignature.size();
    }
    if (!StartsWith(data, size, kResourceSignature)) return payload;
    std::vector<uint8_t> iptc;
    // A broken framing gives no block, which the caller counts as dropped.
    IptcFromPhotoshopResources(data, size, iptc);
    return iptc;
}

}  // namespace

void StripExifPrefix(std::vector<uint8_t>& exif) {
    if (StartsWith(exif.data(), exif.size(), kExifSignature)) exif.erase(exif.begin(), exif.begin() + kExifSignature.size());
}

void JpegMetadataCollector::Add(int marker, const uint8_t* data, size_t size) {
    if (marker == kJpegApp1 && StartsWith(data, size, kExifSignature)) {
        KeepFirst(m_blocks.exif, data + kExifSignature.size(), size - kExifSignature.size());
    } else if (marker == kJpegApp1 && StartsWith(data, size, kXmpSignature)) {
        KeepFirst(m_blocks.xmp, data + kXmpSignature.size(), size - kXmpSignature.size());
    } else if (marker == kJpegApp2 && StartsWith(data, size, kIccSignature)) {
        if (size < kIccChunkHeader) {
            m_iccBroken = true;
            return;
        }
        const int sequence = data[kIccSignature.size()];
        const int count = data[kIccSignature.size() + 1];
        if (sequence == 0 || count == 0 || sequence > count || (m_iccCount != 0 && count != m_iccCount) ||
            m_iccChunks.count(sequence) != 0) {
            m_iccBroken = true;
            return;
        }
        m_iccCount = count;
        m_iccChunks[sequence].assign(data + kIccChunkHeader, data + size);
    } else if (marker == kJpegApp13 && StartsWith(data, size, kPhotoshopSignature) && m_blocks.iptc.empty()) {
        if (!IptcFromPhotoshopResources(data + kPhotoshopSignature.size(), size - kPhotoshopSignature.size(),
                                        m_blocks.iptc)) {
            m_blocks.dropped = true;
        }
    }
}

void JpegMetadataCollector::Finish(PictureMetadata& out) {
    out = std::move(m_blocks);
    m_blocks = PictureMetadata{};
    if (m_iccCount != 0) {
        if (!m_iccBroken && int(m_iccChunks.size()) == m_iccCount) {
            for (auto& [sequence, chunk] : m_iccChunks) out.icc.insert(out.icc.end(), chunk.begin(), chunk.end());
        } else {
            m_iccBroken = true;
        }
    }
    if (m_iccBroken) out.dropped = true;
    m_iccChunks.clear();
    m_iccCount = 0;
    m_iccBroken = false;
}

bool ReadJpegMetadata(const uint8_t* data, size_t size, PictureMetadata& out) {
    out.Clear();
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
    JpegMetadataCollector collector;
    size_t at = 2;
    while (at + 4 <= size) {
        if (data[at] != 0xFF) break;
        const int marker = data[at + 1];
        if (marker == 0xFF) {   // fill byte
            ++at;
            continue;
        }
        // Start of scan or end of image: the header segments are over.
        if (marker == 0xDA || marker == 0xD9) break;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {   // no length
            at += 2;
            continue;
        }
        const size_t length = Be16At(data + at + 2);
        if (length < 2 || at + 2 + length > size) break;
        collector.Add(marker, data + at + 4, length - 2);
        at += 2 + length;
    }
    collector.Finish(out);
    return true;
}

bool IptcFromPhotoshopResources(const uint8_t* data, size_t size, std::vector<uint8_t>& iptc) {
    iptc.clear();
    size_t at = 0;
    while (at + 4 + 2 + 2 <= size && StartsWith(data + at, size - at, kResourceSignature)) {
        const uint16_t id = Be16At(data + at + 4);
        at += 6;
        // The resource's name: a Pascal string padded to an even length.
        const size_t nameLength = data[at];
        size_t nameBytes = 1 + nameLength;
        if (nameBytes % 2 != 0) ++nameBytes;
        if (nameBytes > size - at || size - at - nameBytes < 4) return false;
        at += nameBytes;
        const uint32_t length = Be32At(data + at);
        at += 4;
        if (length > size - at) return false;
        if (id == kIptcResourceId) {
            iptc.assign(data + at, data + at + length);
            return true;
        }
        at += std::min<size_t>(length + (length % 2), size - at);
    }
    return true;
}

void AddPngTextChunk(const char* keyword, const char* text, size_t length, PictureMetadata& out) {
    const std::string_view key(keyword);
    if (key == "XML:com.adobe.xmp") {
        KeepFirst(out.xmp, reinterpret_cast<const uint8_t*>(text), length);
        return;
    }
    constexpr std::string_view kRawProfile{"Raw profile type "};
    if (key.substr(0, kRawProfile.size()) != kRawProfile) return;
    const std::string_view kind = key.substr(kRawProfile.size());
    std::vector<uint8_t>* target = nullptr;
    if (kind == "exif" || kind == "APP1") target = &out.exif;
    else if (kind == "xmp") target = &out.xmp;
    else if (kind == "iptc") target = &out.iptc;
    else if (kind == "icc" || kind == "icm") target = &out.icc;
    if (!target || !target->empty()) return;
    std::vector<uint8_t> payload;
    if (!DecodeRawProfile(text, length, payload)) {
        out.dropped = true;
        return;
    }
    if (target == &out.exif) StripExifPrefix(payload);
    if (target == &out.iptc) {
        payload = IptcFromRawProfile(payload);
        if (payload.empty()) out.dropped = true;
    }
    *target = std::move(payload);
}
