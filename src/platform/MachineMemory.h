// The machine's physical memory, for budgets of caches and histories.
#pragma once

#include <cstdint>

namespace machinememory {

// Bytes of physical memory; 0 when the system does not say.
uint64_t PhysicalBytes();

}  // namespace machinememory
