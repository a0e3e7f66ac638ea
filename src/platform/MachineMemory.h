// The machine's physical memory, for budgets of caches and histories and for the largest
// picture the program opens.
#pragma once

#include <cstdint>

namespace machinememory {

// Bytes of physical memory; 0 when the system does not say.
uint64_t PhysicalBytes();

// The largest pixel block of one picture, in bytes, for a machine of physicalBytes (0 when
// unknown). An open picture is held several times over: the working picture, the copies the
// undo history keeps, the 32-bit copy on screen and a rescaled or cut result being made. So
// one picture may take a quarter of the memory, but never more than the image core's own bound
// (RASTER_MAX_MEMORY) nor less than kSmallestPictureLimit; the core's bound when the machine's
// memory is unknown.
uint64_t PictureLimitFor(uint64_t physicalBytes);
constexpr uint64_t kSmallestPictureLimit = uint64_t(256) << 20;

// PictureLimitFor this machine. At start the program hands it to the image core:
//   RasterImage::SetMemoryLimit(machinememory::PictureLimitBytes());
uint64_t PictureLimitBytes();

}  // namespace machinememory
