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

RasterIOFile::RasterIOFile(FILE* stream) : m_pStream(stream), m_bCloseOnDestroy(false) {}

RasterIOFile::~RasterIOFile() {
    if (m_bCloseOnDestroy) Close();
}

bool RasterIOFile::Open(const char* path, const char* mode) {
    if (m_pStream || !path || !mode) return false;
    m_pStream = std::fopen(path, mode);
    if (!m_pStream) return false;
    m_bCloseOnDestroy = true;
    return true;
}

bool RasterIOFile::Close() {
    if (!m_pStream) return false;
    const bool ok = std::fclose(m_pStream) == 0;
    m_pStream = nullptr;
    m_bCloseOnDestroy = false;
    return ok;
}

size_t RasterIOFile::Read(void* buffer, size_t size, size_t count) {
    if (!m_pStream || !buffer || size == 0) return 0;
    return std::fread(buffer, size, count, m_pStream);
}

size_t RasterIOFile::Write(const void* buffer, size_t size, size_t count) {
    if (!m_pStream || !buffer || size == 0) return 0;
    return std::fwrite(buffer, size, count, m_pStream);
}

bool RasterIOFile::Seek(int64_t offset, int origin) {
    if (!m_pStream) return false;
    int whence;
    switch (origin) {
        case RASTER_SEEK_SET: whence = SEEK_SET; break;
        case RASTER_SEEK_CUR: whence = SEEK_CUR; break;
        case RASTER_SEEK_END: whence = SEEK_END; break;
        default: return false;
    }
    return fseeko(m_pStream, off_t(offset), whence) == 0;
}

int64_t RasterIOFile::Tell() {
    if (!m_pStream) return -1;
    return int64_t(ftello(m_pStream));
}

int64_t RasterIOFile::Size() {
    if (!m_pStream) return -1;
    const off_t here = ftello(m_pStream);
    if (here < 0 || fseeko(m_pStream, 0, SEEK_END) != 0) return -1;
    const off_t end = ftello(m_pStream);
    fseeko(m_pStream, here, SEEK_SET);
    return int64_t(end);
}

bool RasterIOFile::Flush() {
    return m_pStream && std::fflush(m_pStream) == 0;
}

bool RasterIOFile::Eof() {
    return !m_pStream || std::feof(m_pStream) != 0;
}

long RasterIOFile::Error() {
    return m_pStream ? std::ferror(m_pStream) : 1;
}

long RasterIOFile::GetC() {
    if (!m_pStream) return EOF;
    return std::getc(m_pStream);
}

char* RasterIOFile::GetS(char* buffer, int length) {
    if (!m_pStream || !buffer || length <= 0) return nullptr;
    return std::fgets(buffer, length, m_pStream);
}

long RasterIOFile::Scanf(const char* format, void* output) {
    if (!m_pStream || !format) return EOF;
    return std::fscanf(m_pStream, format, output);
}

// ---- RasterMemFile -----------------------------------------------------------------------

RasterMemFile::RasterMemFile(uint8_t* buffer, uint32_t size)
    : m_pBuffer(buffer),
      m_nSize(buffer ? int32_t(size > uint32_t(INT32_MAX) ? INT32_MAX : size) : 0),
      m_bOwnsBuffer(buffer == nullptr),
      m_nPosition(0),
      m_nCapacity(m_nSize) {}

RasterMemFile::~RasterMemFile() {
    Close();
}

bool RasterMemFile::Open() {
    if (m_pBuffer) return false;
    m_nSize = m_nCapacity = m_nPosition = 0;
    m_pBuffer = static_cast<uint8_t*>(std::malloc(1));
    m_bOwnsBuffer = true;
    return m_pBuffer != nullptr;
}

bool RasterMemFile::Close() {
    if (m_pBuffer && m_bOwnsBuffer) std::free(m_pBuffer);
    m_pBuffer = nullptr;
    m_nSize = m_nCapacity = m_nPosition = 0;
    return true;
}

bool RasterMemFile::Grow(int64_t needed) {
    if (needed <= m_nCapacity) return true;
    const uint64_t capacity = (uint64_t(needed) & kGrowMask) + kGrowStep;
    if (capacity > uint64_t(INT32_MAX)) return false;
    uint8_t* grown;
    if (m_bOwnsBuffer) {
        grown = static_cast<uint8_t*>(std::realloc(m_pBuffer, size_t(capacity)));
        if (!grown) return false;
    } else {
        // The caller's buffer is never reallocated: copy it into one we own.
        grown = static_cast<uint8_t*>(std::malloc(size_t(capacity)));
        if (!grown) return false;
        if (m_pBuffer && m_nSize > 0) std::memcpy(grown, m_pBuffer, size_t(m_nSize));
        m_bOwnsBuffer = true;
    }
    m_pBuffer = grown;
    m_nCapacity = int32_t(capacity);
    return true;
}

size_t RasterMemFile::Write(const void* buffer, size_t size, size_t count) {
    if (!m_pBuffer || !buffer || size == 0 || count == 0) return 0;
    if (count > size_t(INT32_MAX) / size) return 0;
    const int64_t n = int64_t(size * count);
    const int64_t end = int64_t(m_nPosition) + n;
    if (end > INT32_MAX || !Grow(end)) return 0;
    ZeroGap(m_pBuffer, m_nSize, m_nPosition);
    std::memcpy(m_pBuffer + m_nPosition, buffer, size_t(n));
    m_nPosition = int32_t(end);
    if (m_nPosition > m_nSize) m_nSize = m_nPosition;
    return count;
}

size_t RasterMemFile::Read(void* buffer, size_t size, size_t count) {
    if (!m_pBuffer || !buffer || size == 0 || m_nPosition >= m_nSize) return 0;
    const uint64_t wanted = (count > SIZE_MAX / size) ? SIZE_MAX : size * count;
    const uint64_t available = uint64_t(m_nSize - m_nPosition);
    const size_t n = size_t(wanted < available ? wanted : available);
    std::memcpy(buffer, m_pBuffer + m_nPosition, n);
    m_nPosition += int32_t(n);
    return n / size;
}

bool RasterMemFile::Seek(int64_t offset, int origin) {
    if (!m_pBuffer) return false;
    int64_t base;
    switch (origin) {
        case RASTER_SEEK_SET: base = 0; break;
        case RASTER_SEEK_CUR: base = m_nPosition; break;
        case RASTER_SEEK_END: base = m_nSize; break;
        default: return false;
    }
    int64_t target = base + offset;
    if (target < 0) target = 0;
    if (target > INT32_MAX) target = INT32_MAX;
    m_nPosition = int32_t(target);
    return true;
}

int64_t RasterMemFile::Tell() {
    return m_nPosition;
}

int64_t RasterMemFile::Size() {
    return m_nSize;
}

bool RasterMemFile::Flush() {
    return m_pBuffer != nullptr;
}

bool RasterMemFile::Eof() {
    return !m_pBuffer || m_nPosition >= m_nSize;
}

long RasterMemFile::Error() {
    return m_pBuffer ? 0 : 1;
}

bool RasterMemFile::PutC(uint8_t c) {
    if (!m_pBuffer) return false;
    if (m_nPosition >= m_nCapacity && !Grow(int64_t(m_nPosition) + 1)) return false;
    ZeroGap(m_pBuffer, m_nSize, m_nPosition);
    m_pBuffer[m_nPosition++] = c;
    if (m_nPosition > m_nSize) m_nSize = m_nPosition;
    return true;
}

long RasterMemFile::GetC() {
    if (Eof()) return EOF;
    return m_pBuffer[m_nPosition++];
}

char* RasterMemFile::GetS(char* buffer, int length) {
    if (!buffer || length <= 0 || Eof()) return nullptr;
    int n = 0;
    while (n < length - 1 && m_nPosition < m_nSize) {
        const char c = char(m_pBuffer[m_nPosition++]);
        buffer[n++] = c;
        if (c == '\n') break;
    }
    buffer[n] = '\0';
    return buffer;
}

long RasterMemFile::Scanf(const char* format, void* output) {
    if (!format || Eof()) return EOF;
    // Skip white space, then take one token and convert it.
    while (m_nPosition < m_nSize && std::isspace(m_pBuffer[m_nPosition])) ++m_nPosition;
    if (m_nPosition >= m_nSize) return EOF;
    char token[kScanTokenMax];
    int n = 0;
    while (n < kScanTokenMax - 1 && m_nPosition < m_nSize && !std::isspace(m_pBuffer[m_nPosition])) {
        token[n++] = char(m_pBuffer[m_nPosition++]);
    }
    token[n] = '\0';
    return std::sscanf(token, format, output);
}
