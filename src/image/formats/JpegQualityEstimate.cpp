#include "image/formats/JpegQualityEstimate.h"

#include <array>
#include <cstdlib>
#include <limits>

namespace {

constexpr int kCoefficients = 64;

// libjpeg's luminance table at quality 50, in the order the file stores it (zigzag).
constexpr std::array<int, kCoefficients> kBaseLuminanceZigzag = {
    16, 11, 12, 14, 12, 10, 16, 14, 13, 14, 18, 17, 16, 19, 24, 40, 26, 24, 22, 22, 24, 49,
    35, 37, 29, 40, 58, 51, 61, 60, 57, 51, 56, 55, 64, 72, 92, 78, 64, 68, 87, 69, 55, 56,
    80, 109, 81, 87, 95, 98, 103, 104, 103, 62, 77, 113, 121, 112, 100, 120, 92, 101, 103, 99};

// The table libjpeg writes at quality for baseline files (values held to 1..255).
int ScaledEntry(int base, int quality) {
    const int scale = quality < 50 ? 5000 / quality : 200 - quality * 2;
    const int value = (base * scale + 50) / 100;
    return value < 1 ? 1 : (value > 255 ? 255 : value);
}

int NearestQuality(const std::array<int, kCoefficients>& table) {
    int best = 0;
    long bestDistance = std::numeric_limits<long>::max();
    for (int quality = 1; quality <= 100; ++quality) {
        long distance = 0;
        for (int i = 0; i < kCoefficients; ++i) distance += std::labs(long(table[i] - ScaledEntry(kBaseLuminanceZigzag[i], quality)));
        // Ties go to the higher quality: nothing is lost by the choice.
        if (distance <= bestDistance) {
            bestDistance = distance;
            best = quality;
        }
    }
    return best;
}

// The luminance table (table 0) of one DQT segment's body, when it holds one.
std::optional<std::array<int, kCoefficients>> LuminanceTable(const uint8_t* body, size_t length) {
    size_t at = 0;
    while (at < length) {
        const int precision = body[at] >> 4;
        const int id = body[at] & 0x0F;
        const size_t entry = precision == 0 ? 1 : 2;
        if (precision > 1 || length - at - 1 < entry * kCoefficients) return std::nullopt;
        const uint8_t* values = body + at + 1;
        if (id == 0) {
            std::array<int, kCoefficients> table{};
            for (int i = 0; i < kCoefficients; ++i) {
                table[i] = entry == 1 ? values[i] : (values[2 * i] << 8 | values[2 * i + 1]);
            }
            return table;
        }
        at += 1 + entry * kCoefficients;
    }
    return std::nullopt;
}

}  // namespace

std::optional<int> EstimateJpegQuality(const uint8_t* data, size_t size) {
    if (data == nullptr || size < 4 || data[0] != 0xFF || data[1] != 0xD8) return std::nullopt;
    size_t at = 2;
    while (at + 4 <= size) {
        if (data[at] != 0xFF) return std::nullopt;
        const uint8_t marker = data[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) return std::nullopt;  // the scan, or the end
        const size_t length = size_t(data[at + 2]) << 8 | data[at + 3];
        if (length < 2 || length > size - at - 2) return std::nullopt;
        if (marker == 0xDB) {
            if (const auto table = LuminanceTable(data + at + 4, length - 2)) return NearestQuality(*table);
        }
        at += 2 + length;
    }
    return std::nullopt;
}
