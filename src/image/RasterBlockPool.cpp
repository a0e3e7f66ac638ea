// The store of large freed picture blocks.
#include "image/RasterBlockPool.h"

#include <cstdlib>
#include <new>
#include <optional>

#if __has_include(<malloc.h>)
#include <malloc.h>
#define RASTER_POOL_KNOWS_USABLE_SIZE 1
#endif
#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif
#if __has_include(<sanitizer/asan_interface.h>)
// The poisoning macros do nothing unless the program is built with AddressSanitizer.
#include <sanitizer/asan_interface.h>
#endif
#ifndef ASAN_POISON_MEMORY_REGION
#define ASAN_POISON_MEMORY_REGION(address, size) ((void)(address), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(address, size) ((void)(address), (void)(size))
#endif

namespace {

constexpr size_t kLarge = RasterBlockPool::kLargeBlockBytes;

// How many bytes of block can be used, whatever size it was asked for with; 0 when the
// allocator cannot tell, and such blocks are never kept.
size_t UsableSize(void* block) {
#ifdef RASTER_POOL_KNOWS_USABLE_SIZE
    return malloc_usable_size(block);
#else
    (void)block;
    return 0;
#endif
}

// A large block starts on a 2 MiB boundary and is offered to the system for transparent huge
// pages: a new photograph is then faulted in a few dozen times instead of ten thousand.
uint8_t* FreshLargeBlock(size_t bytes) {
    if (bytes > SIZE_MAX - kLarge) return nullptr;
    // aligned_alloc wants a multiple of the alignment; the block is still freed with free().
    const size_t rounded = (bytes + kLarge - 1) & ~(kLarge - 1);
    void* block = std::aligned_alloc(kLarge, rounded);
#ifdef MADV_HUGEPAGE
    if (block) madvise(block, rounded, MADV_HUGEPAGE);  // only a hint: failure changes nothing
#endif
    return static_cast<uint8_t*>(block);
}

// The whole 2 MiB pages inside [block, block + bytes) may be taken back by the system while
// the block is kept; until it does, they stay as they are, and writing them again costs
// nothing more. The next owner never reads what it did not write first, so pages that come
// back zeroed are fine. Only huge pages are offered: for the small pages around them, the
// call and the first write of every page afterwards would cost more than a fresh block.
void LetSystemReclaim(void* block, size_t bytes) {
#ifdef MADV_FREE
    const auto start = (uintptr_t(block) + kLarge - 1) & ~uintptr_t(kLarge - 1);
    const auto end = (uintptr_t(block) + bytes) & ~uintptr_t(kLarge - 1);
    if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_FREE);
#else
    (void)block;
    (void)bytes;
#endif
}

// A kept block belongs to nobody: under AddressSanitizer any access to it is reported.
void Retire(void* block, size_t bytes) {
    ASAN_POISON_MEMORY_REGION(block, bytes);
    LetSystemReclaim(block, bytes);
}

void Revive(void* block, size_t bytes) {
    ASAN_UNPOISON_MEMORY_REGION(block, bytes);
}

void FreeRetired(void* block, size_t bytes) {
    Revive(block, bytes);
    std::free(block);
}

}  // namespace

RasterBlockPool::RasterBlockPool(Limits limits) : m_limits(limits) {
    // Kept entries never outgrow this, so giving a block back never allocates.
    try {
        m_entries.reserve(m_limits.maxBlocks);
    } catch (const std::bad_alloc&) {
        m_closed = true;
    }
}

RasterBlockPool::~RasterBlockPool() {
    ReleaseAll();
}

RasterBlockPool& RasterBlockPool::Shared() {
    // Built in place and never destroyed: pictures that outlive every other static object
    // may still give their blocks back at exit.
    alignas(RasterBlockPool) static unsigned char storage[sizeof(RasterBlockPool)];
    static RasterBlockPool* const pool = [] {
        auto* shared = new (storage) RasterBlockPool();
        std::atexit([] { Shared().Close(); });
        return shared;
    }();
    return *pool;
}

size_t RasterBlockPool::WasteAllowed(size_t bytes) {
    // A large block is rounded up to whole 2 MiB pages, and its alignment may leave up to 2 MiB
    // more usable after it (address space, not memory, unless a former owner wrote there):
    // beyond that, an eighth of the request is wasted at most.
    return bytes / 8 + 2 * kLarge;
}

uint8_t* RasterBlockPool::Allocate(size_t bytes) {
    if (bytes == 0) return nullptr;
    if (bytes < kLarge) return static_cast<uint8_t*>(std::malloc(bytes));
    if (void* kept = TakeFitting(bytes)) return static_cast<uint8_t*>(kept);
    return FreshLargeBlock(bytes);
}

void* RasterBlockPool::TakeFitting(size_t bytes) {
    if (bytes > SIZE_MAX / 2) return nullptr;  // no such block exists
    const size_t most = bytes + WasteAllowed(bytes);
    Entry taken{};
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::optional<size_t> best;
        for (size_t i = 0; i < m_entries.size(); ++i) {
            const size_t size = m_entries[i].bytes;
            if (size < bytes || size > most) continue;
            if (!best || size <= m_entries[*best].bytes) best = i;  // the newest of equal fits
        }
        if (!best) return nullptr;
        taken = m_entries[*best];
        m_entries.erase(m_entries.begin() + std::ptrdiff_t(*best));
        m_bytes -= taken.bytes;
    }
    Revive(taken.block, taken.bytes);
    return taken.block;
}

void RasterBlockPool::Release(void* block) {
    if (!block) return;
    const size_t bytes = UsableSize(block);
    if (bytes < kLarge || bytes > m_limits.maxBytes || m_limits.maxBlocks == 0) {
        std::free(block);
        return;
    }
    Retire(block, bytes);
    // Makes room by freeing the oldest kept blocks, one at a time and outside the lock.
    for (;;) {
        Entry oldest{};
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_closed) break;
            if (m_entries.size() < m_limits.maxBlocks && m_bytes + bytes <= m_limits.maxBytes) {
                m_entries.push_back(Entry{block, bytes});
                m_bytes += bytes;
                return;
            }
            oldest = PopOldest();
        }
        FreeRetired(oldest.block, oldest.bytes);
    }
    FreeRetired(block, bytes);
}

RasterBlockPool::Entry RasterBlockPool::PopOldest() {
    const Entry oldest = m_entries.front();
    m_entries.erase(m_entries.begin());
    m_bytes -= oldest.bytes;
    return oldest;
}

void RasterBlockPool::ReleaseAll() {
    for (;;) {
        Entry oldest{};
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_entries.empty()) return;
            oldest = PopOldest();
        }
        FreeRetired(oldest.block, oldest.bytes);
    }
}

void RasterBlockPool::Close() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true;
    }
    ReleaseAll();
}

RasterBlockPool::Contents RasterBlockPool::Kept() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return Contents{m_entries.size(), m_bytes};
}
