// Reads a version record in the standard version-information block format: the program's
// own (for the About box) or any record given as bytes.
#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>

// The record's fixed block, standard fixed-file-information layout (52 bytes).
struct VsFixedFileInfo {
    uint32_t dwSignature;
    uint32_t dwStrucVersion;
    uint32_t dwFileVersionMS;
    uint32_t dwFileVersionLS;
    uint32_t dwProductVersionMS;
    uint32_t dwProductVersionLS;
    uint32_t dwFileFlagsMask;
    uint32_t dwFileFlags;
    uint32_t dwFileOS;
    uint32_t dwFileType;
    uint32_t dwFileSubtype;
    uint32_t dwFileDateMS;
    uint32_t dwFileDateLS;
};
static_assert(sizeof(VsFixedFileInfo) == 52, "fixed information must be 52 bytes");

constexpr size_t VERSION_KEY_CHARS = 80;        // 79 and a terminating zero
constexpr size_t VERSION_VALUE_CHARS = 256;     // 255 and a terminating zero
constexpr size_t VERSION_LANGUAGE_CHARS = 9;    // 8 and a terminating zero
constexpr size_t VERSION_MAX_STRINGS = 20;

struct VersionString {
    char16_t key[VERSION_KEY_CHARS];
    char16_t value[VERSION_VALUE_CHARS];
};

// The four texts of the About box; all empty when the record cannot be read.
struct AboutVersionStrings {
    QString fileVersion;
    QString companyName;
    QString fileDescription;
    QString legalCopyright;
};

class VersionInfoX {
public:
    VersionInfoX();

    // Reads the program's own record.
    bool Read();
    // Reads the record held in data. On failure the fields may be partly filled; callers
    // use them only after success.
    bool Read(const uint8_t* data, size_t size);

    // The value of the first string whose key matches key, ignoring case; empty when none does.
    QString GetStringValue(const QString& key) const;
    // "%u.%u.%u.%u" from the file version words.
    QString FormatFileVersion() const;

    const VsFixedFileInfo& FixedInfo() const { return m_fixedInfo; }
    QString LanguageKey() const;
    size_t StringCount() const;
    QString KeyAt(size_t index) const;
    QString ValueAt(size_t index) const;

    static AboutVersionStrings GetAboutVersionStrings();
    static AboutVersionStrings GetAboutVersionStrings(const uint8_t* data, size_t size);

private:
    void Clear();

    VsFixedFileInfo m_fixedInfo;
    char16_t m_language[VERSION_LANGUAGE_CHARS];
    std::array<VersionString, VERSION_MAX_STRINGS> m_strings;
    size_t m_stringCount = 0;
};
