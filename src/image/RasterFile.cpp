#include "image/RasterFile.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {
// Memory buffers grow in whole 64 KiB steps past the needed length.
constexpr uint32_t kGrowMask = 0xFFFF0000u;
constexpr uint32_t kGrowStep = 0x10000u;
// Longest token Scanf reads from a memory buffer.
constexpr int kScanTokenMax = 256;

// After a seek past the end, the bytes between the end of the data and the write position
// would hold whatever the allocator left there; like a file, the hole reads back as zeros.
void ZeroGap(uint8_t* buffer, int32_t size, int32_t position) {
    if (position > size) std::memset(buffer + size, 0, size_t(position - size));
}
}  // namespace

bool RasterFile::PutC(uint8_t c) {
    return Write(&c, 1, 1) == 1;
}

// ---- RasterIOFile ------------------------------------------------------------------------

RasterIOFile::RasterIOFile(FILE* stream) : m_stream(stream), m_closeOnDestroy(false) {}

RasterIOFile::~RasterIOFile() {
    if (m_closeOnDestroy) Close();
}

bool RasterIOFile::Open(const char* path, const char* mode) {
    if (m_stream || !path || !mode) return false;
    m_stream = std::fopen(path, mode);
    if (!m_stream) return false;
    m_closeOnDestroy = true;
    return true;
}

bool RasterIOFile::Close() {
    if (!m_stream) return false;
    const bool ok = std::fclose(m_stream) == 0;
    m_stream = nullptr;
    m_closeOnDestroy = false;
    return ok;
}

size_t RasterIOFile::Read(void* buffer, size_t size, size_t count) {
    if (!m_stream || !buffer || size == 0) return 0;
    return std::fread(buffer, size, count, m_stream);
}

size_t RasterIOFile::Write(const void* buffer, size_t size, size_t count) {
    if (!m_stream || !buffer || size == 0) return 0;
    return std::fwrite(buffer, size, count, m_stream);
}

bool RasterIOFile::Seek(int64_t offset, int origin) {
    if (!m_stream) return false;
    int whence;
    switch (origin) {
        case RASTER_SEEK_SET: whence = SEEK_SET; break;
        case RASTER_SEEK_CUR: whence = SEEK_CUR; break;
        case RASTER_SEEK_END: whence = SEEK_END; break;
        default: return false;
    }
    return fseeko(m_stream, off_t(offset), whence) == 0;
}

int64_t RasterIOFile::Tell() {
    if (!m_stream) return -1;
    return int64_t(ftello(m_stream));
}

int64_t RasterIOFile::Size() {
    if (!m_stream) return -1;
    const off_t here = ftello(m_stream);
    if (here < 0 || fseeko(m_stream, 0, SEEK_END) != 0) return -1;
    const off_t end = ftello(m_stream);
    fseeko(m_stream, here, SEEK_SET);
    return int64_t(end);
}

bool RasterIOFile::Flush() {
    return m_stream && std::fflush(m_stream) == 0;
}

bool RasterIOFile::Eof() {
    return !m_stream || std::feof(m_stream) != 0;
}

long RasterIOFile::Error() {
    return m_stream ? std::ferror(m_stream) : 1;
}

long RasterIOFile::GetC() {
    if (!m_stream) return EOF;
    return std::getc(m_stream);
}

char* RasterIOFile::GetS(char* buffer, int length) {
    if (!m_stream || !buffer || length <= 0) return nullptr;
    return std::fgets(buffer, length, m_stream);
}

long RasterIOFile::Scanf(const char* format, void* output) {
    if (!m_stream || !format) return EOF;
    return std::fscanf(m_stream, format, output);
}

// ---- RasterMemFile -----------------------------------------------------------------------

RasterMemFile::RasterMemFile(uint8_t* buffer, uint32_t size)
    : m_buffer(buffer),
      m_size(buffer ? int32_t(size > uint32_t(INT32_MAX) ? INT32_MAX : size) : 0),
      m_ownsBuffer(buffer == nullptr),
      m_position(0),
      m_capacity(m_size) {}

RasterMemFile::~RasterMemFile() {
    Close();
}

bool RasterMemFile::Open() {
    if (m_buffer) return false;
    m_size = m_capacity = m_position = 0;
    m_buffer = static_cast<uint8_t*>(std::malloc(1));
    m_ownsBuffer = true;
    return m_buffer != nullptr;
}

bool RasterMemFile::Close() {
    if (m_buffer && m_ownsBuffer) std::free(m_buffer);
    m_buffer = nullptr;
    m_size = m_capacity = m_position = 0;
    return true;
}

bool RasterMemFile::Grow(int64_t needed) {
    if (needed <= m_capacity) return true;
    const uint64_t capacity = (uint64_t(needed) & kGrowMask) + kGrowStep;
    if (capacity > uint64_t(INT32_MAX)) return false;
    uint8_t* grown;
    if (m_ownsBuffer) {
        grown = static_cast<uint8_t*>(std::realloc(m_buffer, size_t(capacity)));
        if (!grown) return false;
    } else {
        // The caller's buffer is never reallocated: copy it into one we own.
        grown = static_cast<uint8_t*>(std::malloc(size_t(capacity)));
        if (!grown) return false;
        if (m_buffer && m_size > 0) std::memcpy(grown, m_buffer, size_t(m_size));
        m_ownsBuffer = true;
    }
    m_buffer = grown;
    m_capacity = int32_t(capacity);
    return true;
}

size_t RasterMemFile::Write(const void* buffer, size_t size, size_t count) {
    if (!m_buffer || !buffer || size == 0 || count == 0) return 0;
    if (count > size_t(INT32_MAX) / size) return 0;
    const int64_t n = int64_t(size * count);
    const int64_t end = int64_t(m_position) + n;
    if (end > INT32_MAX || !Grow(end)) return 0;
    ZeroGap(m_buffer, m_size, m_position);
    std::memcpy(m_buffer + m_position, buffer, size_t(n));
    m_position = int32_t(end);
    if (m_position > m_size) m_size = m_position;
    return count;
}

size_t RasterMemFile::Read(void* buffer, size_t size, size_t count) {
    if (!m_buffer || !buffer || size == 0 || m_position >= m_size) return 0;
    const uint64_t wanted = (count > SIZE_MAX / size) ? SIZE_MAX : size * count;
    const uint64_t available = uint64_t(m_size - m_position);
    const size_t n = size_t(wanted < available ? wanted : available);
    std::memcpy(buffer, m_buffer + m_position, n);
    m_position += int32_t(n);
    return n / size;
}

bool RasterMemFile::Seek(int64_t offset, int origin) {
    if (!m_buffer) return false;
    int64_t base;
    switch (origin) {
        case RASTER_SEEK_SET: base = 0; break;
        case RASTER_SEEK_CUR: base = m_position; break;
        case RASTER_SEEK_END: base = m_size; break;
        default: return false;
    }
    int64_t target = base + offset;
    if (target < 0) target = 0;
    if (target > INT32_MAX) target = INT32_MAX;
    m_position = int32_t(target);
    return true;
}

int64_t RasterMemFile::Tell() {
    return m_position;
}

int64_t RasterMemFile::Size() {
    return m_size;
}

bool RasterMemFile::Flush() {
    return m_buffer != nullptr;
}

bool RasterMemFile::Eof() {
    return !m_buffer || m_position >= m_size;
}

long RasterMemFile::Error() {
    return m_buffer ? 0 : 1;
}

bool RasterMemFile::PutC(uint8_t c) {
    if (!m_buffer) return false;
    if (m_position >= m_capacity && !Grow(int64_t(m_position) + 1)) return false;
    ZeroGap(m_buffer, m_size, m_position);
    m_buffer[m_position++] = c;
    if (m_position > m_size) m_size = m_position;
    return true;
}

long RasterMemFile::GetC() {
    if (Eof()) return EOF;
    return m_buffer[m_position++];
}

char* RasterMemFile::GetS(char* buffer, int length) {
    if (!buffer || length <= 0 || Eof()) return nullptr;
    int n = 0;
    while (n < length - 1 && m_position < m_size) {
        const char c = char(m_buffer[m_position++]);
        buffer[n++] = c;
        if (c == '\n') break;
    }
    buffer[n] = '\0';
    return buffer;
}

long RasterMemFile::Scanf(const char* format, void* output) {
    if (!format || Eof()) return EOF;
    // Skip white space, then take one token and convert it.
    while (m_position < m_size && std::isspace(m_buffer[m_position])) ++m_position;
    if (m_position >= m_size) return EOF;
    char token[kScanTokenMax];
    int n = 0;
    while (n < kScanTokenMax - 1 && m_position < m_size && !std::isspace(m_buffer[m_position])) {
        token[n++] = char(m_buffer[m_position++]);
    }
    token[n] = '\0';
    return std::sscanf(token, format, output);
}
