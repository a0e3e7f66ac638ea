// Writes version records in the standard version-information block format: each block is a
// 16-bit total length, a 16-bit value length, a 16-bit type (0 binary, 1 text), a
// zero-terminated UTF-16 key, padding to 4 bytes, the value, then its children, each starting
// on a 4-byte boundary. Used by the build-time generator of the program's own record and by
// the tests that need records of their own.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

constexpr uint32_t VS_FIXED_SIGNATURE = 0xFEEF04BDu;
constexpr uint16_t VS_BLOCK_BINARY = 0;
constexpr uint16_t VS_BLOCK_TEXT = 1;

struct VersionBlock {
    std::u16string key;
    uint16_t type = VS_BLOCK_TEXT;
    // Value length as stored in the header: characters (zero included) for text values,
    // bytes for binary ones.
    uint16_t valueLength = 0;
    std::vector<uint8_t> value;
    std::vector<VersionBlock> children;
};

// A String block; an empty value is stored with value length 0 and no value bytes.
VersionBlock MakeVersionStringBlock(const std::u16string& key, const std::u16string& value);

// The block and its children as bytes (no padding after the last child). Empty when the
// block does not fit the 16-bit length field.
std::vector<uint8_t> SerializeVersionBlock(const VersionBlock& block);

struct VersionRecordContent {
    std::array<uint16_t, 4> fileVersion{};
    std::array<uint16_t, 4> productVersion{};
    std::u16string languageKey = u"040904b0";
    // (key, value) pairs in record order.
    std::vector<std::pair<std::u16string, std::u16string>> strings;
};

// A whole record: VS_VERSION_INFO with its fixed information, a StringFileInfo holding one
// string table and a VarFileInfo with the language and code page of that table.
std::vector<uint8_t> BuildVersionRecord(const VersionRecordContent& content);
