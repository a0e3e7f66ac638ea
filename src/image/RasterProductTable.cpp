// The shared 256 x 256 product table: T[i][j] = round(i * j / 255), indexed i * 256 + j.
//
// Every blend of the core is two look-ups in this table and one byte addition. The table is
// symmetric, so T + w * 256 is also the row "times weight w" for any value v: (T + w * 256)[v].
#include <cstdint>
#include <mutex>

#include "RasterImage.h"

namespace {
alignas(64) uint8_t g_productTable[256 * 256];
std::once_flag g_productTableOnce;

void FillProductTable() {
    for (int i = 0; i < 256; ++i) {
        for (int j = 0; j < 256; ++j) {
            // Extended precision keeps the rounding of i * j / 255 exact; no exact halves occur.
            const long double product = static_cast<long double>(i * j) / 255.0L + 0.5L;
            g_productTable[i * 256 + j] = static_cast<uint8_t>(static_cast<int>(product));
        }
    }
}
}  // namespace

void BuildProductTable() {
    std::call_once(g_productTableOnce, FillProductTable);
}

const uint8_t* ProductTable() {
    BuildProductTable();
    return g_productTable;
}
