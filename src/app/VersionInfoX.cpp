#include "app/VersionInfoX.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "app/VersionRecord.h"

namespace {

constexpr size_t kBlockHeaderSize = 6;

// One block header as found in the record; offsets count from the start of the record.
struct Block {
    size_t start;
    size_t length;        // total length, children included
    size_t valueLength;
    size_t keyStart;
    size_t keyChars;      // without the terminating zero
    size_t keyEnd;        // just after the terminating zero
    size_t End() const { return start + length; }
};

size_t Align4(size_t offset) { return (offset + 3) & ~size_t(3); }

// Bounds-checked little-endian reading of one record.
class RecordReader {
public:
    RecordReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    size_t Size() const { return m_size; }

    uint16_t U16(size_t offset) const { return uint16_t(m_data[offset] | (m_data[offset + 1] << 8)); }
    uint32_t U32(size_t offset) const { return uint32_t(U16(offset)) | (uint32_t(U16(offset + 2)) << 16); }

    // The block header at offset, its key ending before limit. A block shorter than its own
    // header cannot be walked past, so it counts as malformed.
    std::optional<Block> BlockAt(size_t offset, size_t limit) const {
        if (offset > limit || limit - offset < kBlockHeaderSize + 2) return std::nullopt;
        Block block{};
        block.start = offset;
        block.length = U16(offset);
        block.valueLength = U16(offset + 2);
        block.keyStart = offset + kBlockHeaderSize;
        if (block.length < kBlockHeaderSize) return std::nullopt;
        for (size_t at = block.keyStart; at + 2 <= limit; at += 2) {
            if (U16(at) == 0) {
                block.keyChars = (at - block.keyStart) / 2;
                block.keyEnd = at + 2;
                return block;
            }
        }
        return std::nullopt;
    }

    QString Key(const Block& block) const { return Text(block.keyStart, block.keyChars); }

    QString Text(size_t offset, size_t chars) const {
        QString text;
        text.reserve(qsizetype(chars));
        for (size_t i = 0; i < chars; ++i) text.append(QChar(U16(offset + 2 * i)));
        return text;
    }

    // Copies at most capacity - 1 characters starting at offset, stopping at a zero, at
    // maxChars and before limit; the field is always zero-terminated.
    void CopyText(size_t offset, size_t maxChars, size_t limit, char16_t* field, size_t capacity) const {
        size_t n = 0;
        for (; n + 1 < capacity && n < maxChars && offset + 2 * n + 2 <= limit; ++n) {
            const uint16_t c = U16(offset + 2 * n);
            if (c == 0) break;
            field[n] = char16_t(c);
        }
        field[n] = 0;
    }

    // Block search: from offset, each candidate aligned to 4 bytes, stopping at limit.
    std::optional<Block> Find(size_t offset, size_t limit, const QString& key) const {
        for (offset = Align4(offset); offset < limit; offset = Align4(offset)) {
            const std::optional<Block> block = BlockAt(offset, limit);
            if (!block) return std::nullopt;
            if (Key(*block).compare(key, Qt::CaseInsensitive) == 0) return block;
            offset += block->length;
        }
        return std::nullopt;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
};

QString FieldText(const char16_t* field) { return QString::fromUtf16(field); }

}  // namespace

VersionInfoX::VersionInfoX() { Clear(); }

void VersionInfoX::Clear() {
    std::memset(&m_fixedInfo, 0, sizeof m_fixedInfo);
    std::memset(m_language, 0, sizeof m_language);
    std::memset(m_strings.data(), 0, sizeof(VersionString) * m_strings.size());
    m_stringCount = 0;
}

bool VersionInfoX::Read() { return Read(g_programVersionRecord, g_programVersionRecordSize); }

bool VersionInfoX::Read(const uint8_t* data, size_t size) {
    Clear();
    if (!data || size == 0) return false;
    const RecordReader record(data, size);

    const std::optional<Block> root = record.Find(0, size, QStringLiteral("VS_VERSION_INFO"));
    if (!root) return false;
    const size_t rootEnd = std::min(root->End(), size);

    const size_t fixedAt = Align4(root->keyEnd);
    if (fixedAt > rootEnd || rootEnd - fixedAt < sizeof(VsFixedFileInfo)) return false;
    if (record.U32(fixedAt) != 0xFEEF04BDu) return false;
    std::array<uint32_t, sizeof(VsFixedFileInfo) / 4> fixedFields{};
    for (size_t i = 0; i < fixedFields.size(); ++i) fixedFields[i] = record.U32(fixedAt + 4 * i);
    std::memcpy(&m_fixedInfo, fixedFields.data(), sizeof m_fixedInfo);

    const size_t childrenAt = fixedAt + root->valueLength;
    if (!record.Find(childrenAt, rootEnd, QStringLiteral("VarFileInfo"))) return false;
    const std::optional<Block> stringFileInfo = record.Find(childrenAt, rootEnd, QStringLiteral("StringFileInfo"));
    if (!stringFileInfo) return false;
    const size_t stringFileInfoEnd = std::min(stringFileInfo->End(), rootEnd);

    const std::optional<Block> table = record.BlockAt(Align4(stringFileInfo->keyEnd), stringFileInfoEnd);
    if (!table) return false;
    record.CopyText(table->keyStart, table->keyChars, table->keyEnd, m_language, VERSION_LANGUAGE_CHARS);

    // Only this table's own strings: a second table's header is not a string.
    const size_t tableEnd = std::min(table->End(), stringFileInfoEnd);
    size_t offset = Align4(table->keyEnd);
    while (m_stringCount < m_strings.size()) {
        offset = Align4(offset);
        const std::optional<Block> string = record.BlockAt(offset, tableEnd);
        if (!string || string->End() > tableEnd) break;
        VersionString& entry = m_strings[m_stringCount++];
        record.CopyText(string->keyStart, string->keyChars, string->keyEnd, entry.key, VERSION_KEY_CHARS);
        if (string->valueLength != 0)
            record.CopyText(Align4(string->keyEnd), string->valueLength, string->End(), entry.value,
                            VERSION_VALUE_CHARS);
        offset += string->length;
    }
    return true;
}

QString VersionInfoX::GetStringValue(const QString& key) const {
    for (size_t i = 0; i < m_stringCount; ++i) {
        const VersionString& entry = m_strings[i];
        if (FieldText(entry.key).compare(key, Qt::CaseInsensitive) == 0)
            return FieldText(entry.value);
    }
    return QString();
}

QString VersionInfoX::FormatFileVersion() const {
    return QString::asprintf("%u.%u.%u.%u", m_fixedInfo.dwFileVersionMS >> 16, m_fixedInfo.dwFileVersionMS & 0xFFFF,
                             m_fixedInfo.dwFileVersionLS >> 16, m_fixedInfo.dwFileVersionLS & 0xFFFF);
}

QString VersionInfoX::LanguageKey() const { return FieldText(m_language); }

size_t VersionInfoX::StringCount() const { return m_stringCount; }

QString VersionInfoX::KeyAt(size_t index) const {
    return index < m_stringCount ? FieldText(m_strings[index].key) : QString();
}

QString VersionInfoX::ValueAt(size_t index) const {
    return index < m_stringCount ? FieldText(m_strings[index].value) : QString();
}

AboutVersionStrings VersionInfoX::GetAboutVersionStrings() {
    return GetAboutVersionStrings(g_programVersionRecord, g_programVersionRecordSize);
}

AboutVersionStrings VersionInfoX::GetAboutVersionStrings(const uint8_t* data, size_t size) {
    VersionInfoX info;
    if (!info.Read(data, size)) return {};
    return {info.FormatFileVersion(), info.GetStringValue(QStringLiteral("CompanyName")),
            info.GetStringValue(QStringLiteral("FileDescription")),
            info.GetStringValue(QStringLiteral("LegalCopyright"))};
}
