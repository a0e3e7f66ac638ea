#include "platform/MachineMemory.h"

#include <unistd.h>

#include <algorithm>

#include "image/RasterImage.h"

namespace machinememory {

uint64_t PhysicalBytes() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? uint64_t(pages) * uint64_t(pageSize) : 0;
}

uint64_t PictureLimitFor(uint64_t physicalBytes) {
    if (physicalBytes == 0) return RASTER_MAX_MEMORY;
    return std::clamp<uint64_t>(physicalBytes / 4, kSmallestPictureLimit, RASTER_MAX_MEMORY);
}

uint64_t PictureLimitBytes() { return PictureLimitFor(PhysicalBytes()); }

}  // namespace machinememory
