#include "image/formats/RasterHeifLayout.h"

#include <cstring>

namespace {

constexpr size_t kBoxHeader = 8;
constexpr size_t kLargeSizeField = 8;
constexpr size_t kFullBoxFields = 4;
constexpr uint32_t kConstructionFromFile = 0;
constexpr uint32_t kConstructionFromIdat = 1;

// Big-endian fields of 0, 2, 4 or 8 bytes, bounds-checked: a read past the end sets failed.
class FieldReader {
public:
    FieldReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint64_t Read(size_t bytes) {
        if (bytes > m_size - m_at || m_failed) {
            m_failed = true;
            return 0;
        }
        uint64_t value = 0;
        for (size_t i = 0; i < bytes; ++i) value = (value << 8) | m_data[m_at + i];
        m_at += bytes;
        return value;
    }
    bool Failed() const { return m_failed; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
    bool m_failed = false;
};

struct Box {
    size_t payload = 0;   // first byte after the header
    size_t end = 0;
};

// The first box of type between from and limit; false when there is none or a size is wrong.
bool FindBox(const uint8_t* data, size_t from, size_t limit, const char* type, Box& box) {
    while (limit - from >= kBoxHeader) {
        FieldReader header(data + from, limit - from);
        uint64_t size = header.Read(4);
        size_t headerSize = kBoxHeader;
        header.Read(4);
        if (size == 1) {
            size = header.Read(kLargeSizeField);
            headerSize += kLargeSizeField;
        } else if (size == 0) {
            size = limit - from;
        }
        if (header.Failed() || size < headerSize || size > limit - from) return false;
        if (std::memcmp(data + from + 4, type, 4) == 0) {
            box.payload = from + headerSize;
            box.end = from + size_t(size);
            return true;
        }
        from += size_t(size);
    }
    return false;
}

bool ExtentInside(uint64_t offset, uint64_t length, uint64_t limit) {
    return offset <= limit && length <= limit - offset;
}

bool ItemsInside(FieldReader& iloc, uint64_t fileSize, uint64_t idatSize) {
    const uint64_t version = iloc.Read(1);
    iloc.Read(3);
    const uint64_t sizes = iloc.Read(2);
    const size_t offsetSize = size_t(sizes >> 12);
    const size_t lengthSize = size_t((sizes >> 8) & 0xF);
    const size_t baseOffsetSize = size_t((sizes >> 4) & 0xF);
    const bool withMethod = version == 1 || version == 2;
    const size_t indexSize = withMethod ? size_t(sizes & 0xF) : 0;
    const uint64_t items = iloc.Read(version < 2 ? 2 : 4);
    for (uint64_t item = 0; item < items && !iloc.Failed(); ++item) {
        iloc.Read(version < 2 ? 2 : 4);
        const uint64_t method = withMethod ? iloc.Read(2) & 0xF : kConstructionFromFile;
        iloc.Read(2);
        const uint64_t base = iloc.Read(baseOffsetSize);
        const uint64_t extents = iloc.Read(2);
        for (uint64_t e = 0; e < extents && !iloc.Failed(); ++e) {
            iloc.Read(indexSize);
            const uint64_t offset = iloc.Read(offsetSize);
            const uint64_t length = iloc.Read(lengthSize);
            if (offset > UINT64_MAX - base) return false;
            if (method == kConstructionFromFile && !ExtentInside(base + offset, length, fileSize)) return false;
            if (method == kConstructionFromIdat && !ExtentInside(base + offset, length, idatSize)) return false;
        }
    }
    return !iloc.Failed();
}

}  // namespace

bool HeifItemsInsideFile(const uint8_t* data, size_t size) {
    Box meta;
    Box iloc;
    if (!data || !FindBox(data, 0, size, "meta", meta) || meta.end - meta.payload < kFullBoxFields) return true;
    const size_t children = meta.payload + kFullBoxFields;
    if (!FindBox(data, children, meta.end, "iloc", iloc)) return true;
    Box idat;
    const uint64_t idatSize = FindBox(data, children, meta.end, "idat", idat) ? idat.end - idat.payload : 0;
    FieldReader fields(data + iloc.payload, iloc.end - iloc.payload);
    return ItemsInside(fields, size, idatSize);
}
