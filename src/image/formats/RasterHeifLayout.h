// A check of a HEIF file's item locations before libheif sees it: libheif 1.15 reserves (and
// clears) the memory an item location claims before it finds that the file is shorter, so a
// few hundred hostile bytes could make it take gigabytes for seconds.
#pragma once

#include <cstddef>
#include <cstdint>

// False when an item's data, by the file's item location box, reaches past the end of the file
// (or, for data kept in the item data box, past that box), or the box is cut short.
bool HeifItemsInsideFile(const uint8_t* data, size_t size);
