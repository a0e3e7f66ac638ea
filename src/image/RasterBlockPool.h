// RasterBlockPool: a small process-wide store of large freed picture blocks (pixel blocks and
// alpha planes), handed to the next allocation of a similar size.
//
// A fresh block of tens of megabytes costs a page fault and a zeroing by the system for every
// page the first time it is written, which is often more than the work done on the pixels
// afterwards. Rotating, copying, reloading and cutting a photograph free a block of the same
// size as the one they allocate next, so keeping a few such blocks saves that cost.
//
// Every block comes from the C allocator and may be freed with std::free by whoever holds it;
// blocks the pool did not hand out may be given back to it too. Large blocks start on a 2 MiB
// boundary and are offered to the system for transparent huge pages. A block handed out holds
// whatever it held before: its content is never zeroed.
//
// The store is bounded in blocks and bytes (the oldest block goes first), thread-safe, and
// lets the system reclaim the pages of the blocks it keeps under memory pressure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

class RasterBlockPool {
public:
    // Blocks smaller than this are neither kept nor aligned: the C allocator serves them well.
    static constexpr size_t kLargeBlockBytes = size_t(2) << 20;

    struct Limits {
        size_t maxBlocks;
        size_t maxBytes;
    };
    static constexpr Limits kDefaultLimits{8, size_t(256) << 20};

    // What the pool keeps at the moment.
    struct Contents {
        size_t blocks;
        size_t bytes;
    };

    explicit RasterBlockPool(Limits limits = kDefaultLimits);
    ~RasterBlockPool();  // frees the kept blocks
    RasterBlockPool(const RasterBlockPool&) = delete;
    RasterBlockPool& operator=(const RasterBlockPool&) = delete;

    // The pool of the process. It is never destroyed; at exit it frees what it keeps and from
    // then on frees every block given back.
    static RasterBlockPool& Shared();

    // At least `bytes` bytes (content undefined), or null when memory runs out or bytes is 0.
    // A kept block is reused when it is large enough and wastes at most WasteAllowed(bytes).
    uint8_t* Allocate(size_t bytes);
    // Takes back a block from the C allocator (null is ignored): a large one is kept for a later
    // Allocate, evicting the oldest kept blocks beyond the limits; any other is freed.
    void Release(void* block);
    // Frees every kept block.
    void ReleaseAll();
    // Frees every kept block and keeps none from now on.
    void Close();

    Contents Kept() const;
    // The most a reused block may exceed a request of `bytes` by.
    static size_t WasteAllowed(size_t bytes);

private:
    struct Entry {
        void* block;
        size_t bytes;  // usable size, as the allocator reports it
    };

    // Takes the best fitting kept block for `bytes` out of the store, or null.
    void* TakeFitting(size_t bytes);
    // Removes the oldest entry from a store that is not empty; the lock must be held.
    Entry PopOldest();

    const Limits m_limits;
    mutable std::mutex m_mutex;
    std::vector<Entry> m_entries;  // oldest first
    size_t m_bytes = 0;
    bool m_closed = false;
};
