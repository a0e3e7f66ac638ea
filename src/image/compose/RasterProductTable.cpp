// The shared 256 x 256 product table: T[i][j] = round(i * j / 255), indexed i * 256 + j.
//
// Every blend of the core is two look-ups in this table and one byte addition. The table is
// symmetric, so T + w * 256 is also the row "times weight w" for any value v: (T + w * 256)[v].
#include <array>
#include <cstdint>

#include "image/RasterImage.h"

namespace {

// round(i * j / 255) in integers. No product is an exact half away from a multiple of 255 (that
// would need 2 * i * j to be an odd multiple of 255), so with i * j = 255 q + r the rounded
// quotient is q + (r >= 128), which is (i * j + 127) / 255.
constexpr std::array<uint8_t, 256 * 256> MakeProductTable() {
    std::array<uint8_t, 256 * 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        for (uint32_t j = 0; j < 256; ++j) table[i * 256 + j] = static_cast<uint8_t>((i * j + 127) / 255);
    }
    return table;
}

// Made by the compiler: nothing to compute at start-up, and the same for every thread.
alignas(64) constexpr std::array<uint8_t, 256 * 256> kProductTable = MakeProductTable();

static_assert(kProductTable[255 * 256 + 255] == 255 && kProductTable[128 * 256 + 255] == 128 &&
              kProductTable[1 * 256 + 128] == 1 && kProductTable[1 * 256 + 127] == 0);

}  // namespace

const uint8_t* ProductTable() {
    return kProductTable.data();
}
