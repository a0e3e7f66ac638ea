// In-memory encode and decode for the codec tests, plus a stream whose writes fail.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "image/RasterFile.h"
#include "image/RasterImage.h"

namespace codectest {

// Encodes image as type into memory; empty on failure (error gets the image's text).
inline std::vector<uint8_t> EncodeToBytes(RasterImage& image, uint32_t type, std::string* error = nullptr) {
    RasterMemFile file;
    file.Open();
    if (!image.Encode(&file, type)) {
        if (error) *error = image.LastErrorText();
        return {};
    }
    const uint8_t* data = file.GetBuffer();
    return std::vector<uint8_t>(data, data + file.Size());
}

// Decodes bytes as type into image.
inline bool DecodeBytes(std::vector<uint8_t> bytes, uint32_t type, RasterImage& image) {
    bytes.push_back(0);   // a valid buffer even for empty input; not counted in the size
    return image.Decode(bytes.data(), uint32_t(bytes.size() - 1), type);
}

// A memory stream that accepts only the first `limit` bytes.
class ShortWriteFile : public RasterMemFile {
public:
    explicit ShortWriteFile(size_t limit) : m_left(limit) { Open(); }
    size_t Write(const void* buffer, size_t size, size_t count) override {
        const size_t n = size * count;
        if (n > m_left) {
            RasterMemFile::Write(buffer, 1, m_left);
            m_left = 0;
            return 0;
        }
        m_left -= n;
        return RasterMemFile::Write(buffer, size, count);
    }

private:
    size_t m_left;
};

// A smooth photograph-like 24-bit picture (lossy codecs keep such pictures well).
inline RasterImage MakeSmoothImage(uint32_t width, uint32_t height) {
    RasterImage image;
    image.Create(width, height, 24, 0);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* p = image.PixelPointer(x, y);
            p[0] = uint8_t(128 + 100 * std::sin(x / 9.0));
            p[1] = uint8_t(y * 255 / (height - 1));
            p[2] = uint8_t(128 + 90 * std::cos((x + 2.0 * y) / 13.0));
        }
    }
    return image;
}

// Damaged variants of a good file, the same every run: a few bytes behind the first
// `keep` overwritten, and now and then the tail cut off.
class Mutator {
public:
    Mutator(const std::vector<uint8_t>& good, size_t keep) : m_good(good), m_keep(keep) {}
    std::vector<uint8_t> Next(int round) {
        std::vector<uint8_t> bytes = m_good;
        const size_t span = bytes.size() - m_keep;
        for (int k = 0; k < 1 + round % 3; ++k) bytes[m_keep + Random() % span] = uint8_t(Random());
        if (round % 5 == 0) bytes.resize(m_keep + Random() % span);
        return bytes;
    }

private:
    uint32_t Random() { return (m_seed = m_seed * 1103515245u + 12345u) >> 8; }
    std::vector<uint8_t> m_good;
    size_t m_keep;
    uint32_t m_seed = 12345;
};

// Offset of the first occurrence of a byte sequence at or after from, or npos.
inline size_t FindBytes(const std::vector<uint8_t>& data, const std::vector<uint8_t>& what, size_t from = 0) {
    if (what.empty() || data.size() < what.size()) return std::string::npos;
    for (size_t i = from; i + what.size() <= data.size(); ++i) {
        bool same = true;
        for (size_t k = 0; k < what.size() && same; ++k) same = data[i + k] == what[k];
        if (same) return i;
    }
    return std::string::npos;
}

}  // namespace codectest
