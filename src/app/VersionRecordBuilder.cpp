#include "app/VersionRecordBuilder.h"

#include <limits>

namespace {

constexpr size_t kBlockHeaderSize = 6;

void PutU16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v & 0xFF));
    out.push_back(uint8_t(v >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    PutU16(out, uint16_t(v & 0xFFFF));
    PutU16(out, uint16_t(v >> 16));
}

void PadTo4(std::vector<uint8_t>& out) {
    while (out.size() % 4 != 0) out.push_back(0);
}

void PutText(std::vector<uint8_t>& out, const std::u16string& text) {
    for (char16_t c : text) PutU16(out, uint16_t(c));
    PutU16(out, 0);
}

uint32_t HighLow(uint16_t high, uint16_t low) { return (uint32_t(high) << 16) | low; }

std::vector<uint8_t> FixedFileInfo(const VersionRecordContent& content) {
    constexpr uint32_t kStructVersion = 0x00010000;
    constexpr uint32_t kFlagsMask = 0x3F;
    constexpr uint32_t kOsWindows32 = 0x00040004;
    constexpr uint32_t kFileTypeApp = 1;
    const auto& f = content.fileVersion;
    const auto& p = content.productVersion;
    std::vector<uint8_t> info;
    for (uint32_t v : {VS_FIXED_SIGNATURE, kStructVersion, HighLow(f[0], f[1]), HighLow(f[2], f[3]),
                       HighLow(p[0], p[1]), HighLow(p[2], p[3]), kFlagsMask, 0u, kOsWindows32, kFileTypeApp, 0u,
                       0u, 0u})
        PutU32(info, v);
    return info;
}

// The language and code page of a key like "040904b0", as the Translation value holds them.
std::vector<uint8_t> TranslationValue(const std::u16string& languageKey) {
    uint32_t code = 0;
    for (char16_t c : languageKey) {
        int digit = -1;
        if (c >= u'0' && c <= u'9') digit = c - u'0';
        if (c >= u'a' && c <= u'f') digit = c - u'a' + 10;
        if (c >= u'A' && c <= u'F') digit = c - u'A' + 10;
        if (digit < 0) return {0, 0, 0, 0};
        code = (code << 4) | uint32_t(digit);
    }
    std::vector<uint8_t> value;
    PutU16(value, uint16_t(code >> 16));
    PutU16(value, uint16_t(code & 0xFFFF));
    return value;
}

}  // namespace

VersionBlock MakeVersionStringBlock(const std::u16string& key, const std::u16string& value) {
    VersionBlock block;
    block.key = key;
    block.type = VS_BLOCK_TEXT;
    if (!value.empty()) {
        block.valueLength = uint16_t(value.size() + 1);
        PutText(block.value, value);
    }
    return block;
}

std::vector<uint8_t> SerializeVersionBlock(const VersionBlock& block) {
    std::vector<uint8_t> out(kBlockHeaderSize, 0);
    PutText(out, block.key);
    PadTo4(out);
    out.insert(out.end(), block.value.begin(), block.value.end());
    for (const VersionBlock& child : block.children) {
        const std::vector<uint8_t> bytes = SerializeVersionBlock(child);
        if (bytes.empty()) return {};
        PadTo4(out);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    if (out.size() > std::numeric_limits<uint16_t>::max()) return {};
    out[0] = uint8_t(out.size() & 0xFF);
    out[1] = uint8_t(out.size() >> 8);
    out[2] = uint8_t(block.valueLength & 0xFF);
    out[3] = uint8_t(block.valueLength >> 8);
    out[4] = uint8_t(block.type & 0xFF);
    out[5] = uint8_t(block.type >> 8);
    return out;
}

std::vector<uint8_t> BuildVersionRecord(const VersionRecordContent& content) {
    VersionBlock table;
    table.key = content.languageKey;
    for (const auto& [key, value] : content.strings) table.children.push_back(MakeVersionStringBlock(key, value));

    VersionBlock stringFileInfo;
    stringFileInfo.key = u"StringFileInfo";
    stringFileInfo.children.push_back(std::move(table));

    VersionBlock translation;
    translation.key = u"Translation";
    translation.type = VS_BLOCK_BINARY;
    translation.value = TranslationValue(content.languageKey);
    translation.valueLength = uint16_t(translation.value.size());

    VersionBlock varFileInfo;
    varFileInfo.key = u"VarFileInfo";
    varFileInfo.children.push_back(std::move(translation));

    VersionBlock root;
    root.key = u"VS_VERSION_INFO";
    root.type = VS_BLOCK_BINARY;
    root.value = FixedFileInfo(content);
    root.valueLength = uint16_t(root.value.size());
    root.children.push_back(std::move(stringFileInfo));
    root.children.push_back(std::move(varFileInfo));
    return SerializeVersionBlock(root);
}
