// Helpers shared by the geometric operations (flip, mirror, rotate, rescale, crop, depth):
// building the temporary result image and handing it over, malloc'ed work arrays that never
// throw, and picture-sized planes from the shared block pool.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "image/RasterBlockPool.h"
#include "image/RasterImage.h"

namespace raster_geometry {

inline constexpr const char* kNoMemoryText = "RasterImage: can't allocate memory";
inline constexpr const char* kCancelledText = "RasterImage: operation cancelled";
inline constexpr const char* kBorrowedText = "RasterImage: a borrowed image can't be replaced";

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using MallocArray = std::unique_ptr<T[], FreeDeleter>;

// Start of every AllocateArray block: a cache line, so that the rows of the vector kernels
// do not split more of their loads and stores across lines than they must.
constexpr size_t kArrayAlignment = 64;

// count elements of T from the C allocator, or null (also when the byte count overflows).
template <typename T>
MallocArray<T> AllocateArray(size_t count) {
    if (count == 0 || count > (SIZE_MAX - kArrayAlignment) / sizeof(T)) return MallocArray<T>();
    const size_t bytes = (count * sizeof(T) + kArrayAlignment - 1) / kArrayAlignment * kArrayAlignment;
    return MallocArray<T>(static_cast<T*>(std::aligned_alloc(kArrayAlignment, bytes)));
}

// A plane of picture size (an alpha plane or one channel): it comes from the shared block pool
// and goes back to it, so that a large one freed is reused by the next of about its size.
struct PoolDeleter {
    void operator()(void* p) const { RasterBlockPool::Shared().Release(p); }
};
using PlaneArray = std::unique_ptr<uint8_t[], PoolDeleter>;

// bytes bytes of undefined content, or null.
inline PlaneArray AllocatePlane(size_t bytes) {
    return PlaneArray(RasterBlockPool::Shared().Allocate(bytes));
}

// Makes blank a width x height image of depth bpp carrying source's information fields,
// type, resolution and palette. Pixel bytes are left for the caller to fill (Create clears
// what lies past them in each row). On failure source's error text says why.
bool CreateBlankLike(RasterImage& blank, RasterImage& source, uint32_t width, uint32_t height, uint32_t bpp);

// Moves result into destination or, when that is null, into image.
bool HandOver(RasterImage& image, RasterImage& result, RasterImage* destination);

// A copy of image's alpha plane from the shared block pool (null without plane or memory).
uint8_t* CopyAlphaPlane(const RasterImage& image);

// True (and the error text set) when another party asked image to stop.
bool StopRequested(RasterImage& image);

}  // namespace raster_geometry
