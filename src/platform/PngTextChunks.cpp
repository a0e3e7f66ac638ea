#include "platform/PngTextChunks.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace thumbs {

namespace {

constexpr uint8_t kSignature[8] = {137, 'P', 'N', 'G', 13, 10, 26, 10};
constexpr size_t kChunkFrame = 12;        // length, type and CRC around the data
constexpr size_t kHeaderLength = 13;
constexpr size_t kMostTextBytes = 64 * 1024;

uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

bool CrcMatches(const uint8_t* typeAndData, size_t length, const uint8_t* crc) {
    return crc32(crc32(0L, Z_NULL, 0), typeAndData, uInt(length + 4)) == Be32(crc);
}

bool Inflate(std::string_view compressed, QByteArray& text) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return false;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.avail_in = uInt(compressed.size());
    text.resize(qsizetype(kMostTextBytes) + 1);
    stream.next_out = reinterpret_cast<Bytef*>(text.data());
    stream.avail_out = uInt(text.size());
    const int result = inflate(&stream, Z_FINISH);
    const size_t produced = stream.total_out;
    inflateEnd(&stream);
    if (result != Z_STREAM_END || produced > kMostTextBytes) return false;
    text.resize(qsizetype(produced));
    return true;
}

// The keyword (1 to 79 bytes) ends at the first NUL; rest is what follows it.
bool SplitKeyword(std::string_view data, std::string_view& keyword, std::string_view& rest) {
    const size_t end = data.find('\0');
    if (end == std::string_view::npos || end == 0 || end > 79) return false;
    keyword = data.substr(0, end);
    rest = data.substr(end + 1);
    return true;
}

// The keyword and text of a tEXt, zTXt or iTXt chunk's data.
bool ReadTextChunk(std::string_view type, std::string_view data, QByteArray& keyword, QByteArray& text) {
    std::string_view key;
    std::string_view rest;
    if (!SplitKeyword(data, key, rest)) return false;
    keyword = QByteArray(key.data(), qsizetype(key.size()));
    if (type == "tEXt") {
        text = QByteArray(rest.data(), qsizetype(std::min(rest.size(), kMostTextBytes)));
        return true;
    }
    if (type == "zTXt") {
        return !rest.empty() && rest[0] == 0 && Inflate(rest.substr(1), text);
    }
    // iTXt: compression flag, method, language tag, translated keyword, then the text.
    if (rest.size() < 2 || rest[1] != 0) return false;
    const bool compressed = rest[0] != 0;
    std::string_view tail = rest.substr(2);
    for (int field = 0; field < 2; ++field) {
        const size_t end = tail.find('\0');
        if (end == std::string_view::npos) return false;
        tail = tail.substr(end + 1);
    }
    if (compressed) return Inflate(tail, text);
    text = QByteArray(tail.data(), qsizetype(std::min(tail.size(), kMostTextBytes)));
    return true;
}

}  // namespace

QByteArray PngHeaderAndTexts::Text(const char* keyword) const {
    for (const auto& [key, text] : texts) {
        if (key == keyword) return text;
    }
    return QByteArray();
}

bool ReadPngHeaderAndTexts(const uint8_t* data, size_t size, PngHeaderAndTexts& out) {
    out = PngHeaderAndTexts();
    if (size < sizeof(kSignature) || std::memcmp(data, kSignature, sizeof(kSignature)) != 0) return false;
    bool haveHeader = false;
    for (size_t at = sizeof(kSignature); size - at >= kChunkFrame;) {
        const size_t length = Be32(data + at);
        if (length > size - at - kChunkFrame) return false;
        const uint8_t* type = data + at + 4;
        const std::string_view name(reinterpret_cast<const char*>(type), 4);
        const std::string_view body(reinterpret_cast<const char*>(type + 4), length);
        const uint8_t* crc = type + 4 + length;
        at += kChunkFrame + length;
        if (!haveHeader) {
            // The header comes first, whole and undamaged.
            if (name != "IHDR" || length != kHeaderLength || !CrcMatches(type, length, crc)) return false;
            out.width = Be32(type + 4);
            out.height = Be32(type + 8);
            haveHeader = true;
            continue;
        }
        if (name == "IEND") return true;
        if (name != "tEXt" && name != "zTXt" && name != "iTXt") continue;
        QByteArray keyword;
        QByteArray text;
        if (CrcMatches(type, length, crc) && ReadTextChunk(name, body, keyword, text)) {
            out.texts.emplace_back(std::move(keyword), std::move(text));
        }
    }
    return false;   // no IEND: the file was cut short
}

}  // namespace thumbs
