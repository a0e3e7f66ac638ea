// Byte streams the codecs read from and write to: a C stream (RasterIOFile) or a growable
// memory buffer (RasterMemFile).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Seek origins.
constexpr int RASTER_SEEK_SET = 0;
constexpr int RASTER_SEEK_CUR = 1;
constexpr int RASTER_SEEK_END = 2;

class RasterFile {
public:
    virtual ~RasterFile() = default;
    virtual bool Close() = 0;
    // Number of whole items read / written.
    virtual size_t Read(void* buffer, size_t size, size_t count) = 0;
    virtual size_t Write(const void* buffer, size_t size, size_t count) = 0;
    virtual bool Seek(int64_t offset, int origin) = 0;
    virtual int64_t Tell() = 0;
    virtual int64_t Size() = 0;
    virtual bool Flush() = 0;
    virtual bool Eof() = 0;
    virtual long Error() = 0;
    virtual bool PutC(uint8_t c);
    // Next byte, or EOF.
    virtual long GetC() = 0;
    // Reads at most length - 1 bytes up to and including a newline; null at the end.
    virtual char* GetS(char* buffer, int length) = 0;
    // One conversion, like fscanf(format, output); returns the number of conversions.
    virtual long Scanf(const char* format, void* output) = 0;
};

class RasterIOFile : public RasterFile {
public:
    // Wraps a stream the caller opened and will close.
    explicit RasterIOFile(FILE* stream = nullptr);
    ~RasterIOFile() override;
    // Opens path itself (closed on destruction).
    bool Open(const char* path, const char* mode);
    FILE* GetStream() const { return m_stream; }

    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(int64_t offset, int origin) override;
    int64_t Tell() override;
    int64_t Size() override;
    bool Flush() override;
    bool Eof() override;
    long Error() override;
    long GetC() override;
    char* GetS(char* buffer, int length) override;
    long Scanf(const char* format, void* output) override;

private:
    FILE* m_stream;
    bool m_closeOnDestroy;
};

class RasterMemFile : public RasterFile {
public:
    // Uses the caller's buffer (not owned) when given; owns the buffer otherwise.
    explicit RasterMemFile(uint8_t* buffer = nullptr, uint32_t size = 0);
    ~RasterMemFile() override;
    RasterMemFile(const RasterMemFile&) = delete;
    RasterMemFile& operator=(const RasterMemFile&) = delete;

    // Starts an empty owned buffer; fails when a buffer is already set.
    bool Open();
    uint8_t* GetBuffer() const { return m_buffer; }
    int32_t GetCapacity() const { return m_capacity; }

    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(int64_t offset, int origin) override;
    int64_t Tell() override;
    int64_t Size() override;
    bool Flush() override;
    bool Eof() override;
    long Error() override;
    bool PutC(uint8_t c) override;
    long GetC() override;
    char* GetS(char* buffer, int length) override;
    long Scanf(const char* format, void* output) override;

private:
    bool Grow(int64_t needed);

    uint8_t* m_buffer;
    int32_t m_size;       // end of data
    bool m_ownsBuffer;
    int32_t m_position;
    int32_t m_capacity;
};
