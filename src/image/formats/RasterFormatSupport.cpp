#include "image/formats/RasterFormatSupport.h"

#include <sys/mman.h>
#include <sys/stat.h>

#include <cstdio>
#include <new>

bool RasterFormatNotAvailable(RasterImage& image, const char* formatName) {
    char text[RASTER_ERROR_TEXT_SIZE];
    std::snprintf(text, sizeof(text), "%s files cannot be read in this build", formatName);
    image.SetLastError(text);
    return false;
}

bool RasterFormatNotWritable(RasterImage& image, const char* formatName) {
    char text[RASTER_ERROR_TEXT_SIZE];
    std::snprintf(text, sizeof(text), "Encode: %s cannot be saved", formatName);
    image.SetLastError(text);
    return false;
}

bool CanEncode(RasterImage& image, RasterFile* file) {
    if (!file) {
        image.SetLastError("null file handler");
        return false;
    }
    if (!image.IsValid()) {
        image.SetLastError("null image!!!");
        return false;
    }
    return true;
}

bool DecodeStopRequested(RasterImage& image) {
    if (!image.IsEscaped()) return false;
    image.SetLastError(RASTER_DECODE_STOPPED);
    return true;
}

void ResetPictureFields(RasterImage& image) {
    image.SetTransparentIndex(-1);
    image.SetTransparentColor(RasterRgbQuad{0, 0, 0, 0});
    image.SetPaletteAlphaEnabled(false);
    image.SetXDpi(RASTER_DEFAULT_DPI);
    image.SetYDpi(RASTER_DEFAULT_DPI);
    image.ClearLoadWarning();
}

bool ReadU8(RasterFile* file, uint8_t& value) {
    return ReadExact(file, &value, 1);
}

bool ReadLe16(RasterFile* file, uint16_t& value) {
    uint8_t b[2];
    if (!ReadExact(file, b, 2)) return false;
    value = Le16(b);
    return true;
}

bool ReadLe32(RasterFile* file, uint32_t& value) {
    uint8_t b[4];
    if (!ReadExact(file, b, 4)) return false;
    value = Le32(b);
    return true;
}

bool ReadBe16(RasterFile* file, uint16_t& value) {
    uint8_t b[2];
    if (!ReadExact(file, b, 2)) return false;
    value = Be16(b);
    return true;
}

bool ReadBe32(RasterFile* file, uint32_t& value) {
    uint8_t b[4];
    if (!ReadExact(file, b, 4)) return false;
    value = Be32(b);
    return true;
}

uint64_t RemainingBytes(RasterFile* file) {
    const int64_t here = file->Tell();
    const int64_t size = file->Size();
    if (here < 0 || size < 0 || size <= here) return 0;
    return uint64_t(size - here);
}

bool ReadAllBytes(RasterFile* file, std::vector<uint8_t>& out, uint64_t maxBytes) {
    out.clear();
    const uint64_t remaining = RemainingBytes(file);
    if (remaining > maxBytes) return false;
    try {
        out.resize(size_t(remaining));
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!ReadExact(file, out.data(), out.size())) {
        out.clear();
        return false;
    }
    return true;
}

RasterStreamBytes::~RasterStreamBytes() {
    if (m_mapping) munmap(m_mapping, m_mappingSize);
}

bool RasterStreamBytes::Map(RasterFile* file, uint64_t remaining) {
    auto* io = dynamic_cast<RasterIOFile*>(file);
    FILE* stream = io ? io->GetStream() : nullptr;
    const int64_t here = file->Tell();
    if (!stream || here < 0 || remaining == 0) return false;
    const int fd = fileno(stream);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || uint64_t(st.st_size) != uint64_t(here) + remaining) {
        return false;
    }
    void* mapping = mmap(nullptr, size_t(st.st_size), PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0);
    if (mapping == MAP_FAILED) return false;
    m_mapping = mapping;
    m_mappingSize = size_t(st.st_size);
    m_data = static_cast<uint8_t*>(mapping) + here;
    m_size = size_t(remaining);
    file->Seek(0, RASTER_SEEK_END);
    return true;
}

bool RasterStreamBytes::Open(RasterFile* file, uint64_t maxBytes) {
    if (!file || m_data || !m_copy.empty()) return false;
    const uint64_t remaining = RemainingBytes(file);
    if (remaining > maxBytes) return false;
    if (Map(file, remaining)) return true;
    if (!ReadAllBytes(file, m_copy, maxBytes)) return false;
    m_data = m_copy.data();
    m_size = m_copy.size();
    return true;
}

bool OpenWholeFormatData(RasterImage& image, RasterFile* file, RasterStreamBytes& bytes,
                         bool (*sniff)(const uint8_t*, size_t, uint64_t), const char* notOfFormat) {
    if (!file) {
        image.SetLastError("null file handler");
        return false;
    }
    ResetPictureFields(image);
    if (!bytes.Open(file) || !sniff(bytes.Data(), bytes.Size(), bytes.Size())) {
        image.SetLastError(notOfFormat);
        return false;
    }
    return true;
}

size_t PeekBytes(RasterFile* file, uint8_t* head, size_t n) {
    const int64_t start = file->Tell();
    const size_t count = file->Read(head, 1, n);
    return file->Seek(start, RASTER_SEEK_SET) ? count : 0;
}

bool StartStreamedFormatData(RasterImage& image, RasterFile* file, bool (*sniff)(const uint8_t*, size_t, uint64_t),
                             const char* name) {
    if (!file) {
        image.SetLastError("null file handler");
        return false;
    }
    // Every signature these readers know fits in this many bytes.
    uint8_t head[12] = {};
    if (!sniff(head, PeekBytes(file, head, sizeof(head)), 0)) {
        char text[RASTER_ERROR_TEXT_SIZE];
        std::snprintf(text, sizeof(text), "%s: not a %s file", name, name);
        image.SetLastError(text);
        return false;
    }
    return true;
}
