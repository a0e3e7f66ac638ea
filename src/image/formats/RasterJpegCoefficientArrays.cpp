// The hooks below are called from libjpeg, which leaves errors through the error manager's
// error_exit (a longjmp in this program): they hold nothing with a destructor.
#include "image/formats/RasterJpegCoefficientArrays.h"

#include <cstdio>   // jpeglib.h needs FILE
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

#include "image/RasterBlockPool.h"

namespace {

// Each array starts on a cache line of its own.
constexpr size_t kArrayAlignment = 64;

// One coefficient array handed to libjpeg in place of its own virtual array.
struct PooledArray {
    JDIMENSION blocksPerRow;
    JDIMENSION rows;
    boolean preZero;
    JDIMENSION firstUndefinedRow;   // rows before it were written (or zeroed)
    JBLOCKARRAY rowPointers;   // null until the arrays are realized
    PooledArray* next;
};

// The decode's own record, in its permanent pool, found through client_data.
struct PoolState {
    void (*realizeOriginal)(j_common_ptr);
    void (*freePoolOriginal)(j_common_ptr, int);
    void (*selfDestructOriginal)(j_common_ptr);
    PooledArray* arrays;   // in the image pool
    uint8_t* block;        // the arrays' memory, from RasterBlockPool
};

PoolState* StateOf(j_common_ptr cinfo) { return static_cast<PoolState*>(cinfo->client_data); }

[[noreturn]] void Fail(j_common_ptr cinfo, int code) {
    cinfo->err->msg_code = code;
    (*cinfo->err->error_exit)(cinfo);
    // error_exit must not come back; the standard one ends the process.
    std::abort();
}

size_t AlignedUp(size_t bytes) { return (bytes + kArrayAlignment - 1) / kArrayAlignment * kArrayAlignment; }

size_t ArrayBytes(const PooledArray& array) {
    return size_t(array.blocksPerRow) * size_t(array.rows) * sizeof(JBLOCK);
}

void ReleaseBlock(PoolState& state) {
    RasterBlockPool::Shared().Release(state.block);
    state.block = nullptr;
}

jvirt_barray_ptr RequestArray(j_common_ptr cinfo, int pool_id, boolean pre_zero, JDIMENSION blocksperrow,
                              JDIMENSION numrows, JDIMENSION /*maxaccess: every row is in memory*/) {
    // libjpeg itself allows arrays only in the image pool.
    if (pool_id != JPOOL_IMAGE) Fail(cinfo, JERR_BAD_POOL_ID);
    PoolState* state = StateOf(cinfo);
    // Arrays asked for after the others were realized would not fit in the block.
    if (state->block) Fail(cinfo, JERR_VIRTUAL_BUG);
    auto* array = static_cast<PooledArray*>((*cinfo->mem->alloc_small)(cinfo, JPOOL_IMAGE, sizeof(PooledArray)));
    array->blocksPerRow = blocksperrow;
    array->rows = numrows;
    array->preZero = pre_zero;
    array->firstUndefinedRow = 0;
    array->rowPointers = nullptr;
    array->next = state->arrays;
    state->arrays = array;
    return reinterpret_cast<jvirt_barray_ptr>(array);
}

// The bytes all arrays of the image need, each aligned; false past the decode's memory limit.
bool ArraysBytes(const PooledArray* arrays, long limit, size_t& total) {
    total = 0;
    for (const PooledArray* array = arrays; array; array = array->next) {
        total += AlignedUp(ArrayBytes(*array));
        if (limit > 0 && total > size_t(limit)) return false;
    }
    return true;
}

void RealizeArrays(j_common_ptr cinfo) {
    PoolState* state = StateOf(cinfo);
    (*state->realizeOriginal)(cinfo);   // the sample arrays, which stay libjpeg's
    if (state->block || !state->arrays) return;
    size_t total = 0;
    if (!ArraysBytes(state->arrays, cinfo->mem->max_memory_to_use, total)) Fail(cinfo, JERR_OUT_OF_MEMORY);
    if (total == 0) return;
    state->block = RasterBlockPool::Shared().Allocate(total);
    if (!state->block) Fail(cinfo, JERR_OUT_OF_MEMORY);
    uint8_t* memory = state->block;
    for (PooledArray* array = state->arrays; array; array = array->next) {
        const size_t rowBytes = size_t(array->blocksPerRow) * sizeof(JBLOCK);
        array->rowPointers = static_cast<JBLOCKARRAY>(
            (*cinfo->mem->alloc_large)(cinfo, JPOOL_IMAGE, size_t(array->rows) * sizeof(JBLOCKROW)));
        for (JDIMENSION row = 0; row < array->rows; ++row) {
            array->rowPointers[row] = reinterpret_cast<JBLOCKROW>(memory + size_t(row) * rowBytes);
        }
        memory += AlignedUp(ArrayBytes(*array));
    }
}

// Rows become defined as libjpeg's own arrays define them, with the same errors: a writer
// defines the rows it reaches and may not skip any; a reader may look ahead only in an array
// that starts zeroed. Zeroing happens when a row is first reached, while it is still in the
// cache; a pooled block holds what its last owner left.
void DefineRows(j_common_ptr cinfo, PooledArray& array, JDIMENSION start, JDIMENSION end, boolean writable) {
    if (end <= array.firstUndefinedRow) return;
    JDIMENSION undefined = array.firstUndefinedRow;
    if (undefined < start) {
        if (writable) Fail(cinfo, JERR_BAD_VIRTUAL_ACCESS);
        undefined = start;
    }
    if (writable) array.firstUndefinedRow = end;
    if (!array.preZero) {
        if (!writable) Fail(cinfo, JERR_BAD_VIRTUAL_ACCESS);
        return;
    }
    const size_t rowBytes = size_t(array.blocksPerRow) * sizeof(JBLOCK);
    std::memset(array.rowPointers[undefined], 0, size_t(end - undefined) * rowBytes);
}

JBLOCKARRAY AccessArray(j_common_ptr cinfo, jvirt_barray_ptr ptr, JDIMENSION start_row, JDIMENSION num_rows,
                        boolean writable) {
    auto* array = reinterpret_cast<PooledArray*>(ptr);
    if (!array->rowPointers) Fail(cinfo, JERR_VIRTUAL_BUG);
    if (start_row > array->rows || num_rows > array->rows - start_row) Fail(cinfo, JERR_BAD_VIRTUAL_ACCESS);
    if (num_rows == 0) return array->rowPointers + start_row;
    DefineRows(cinfo, *array, start_row, start_row + num_rows, writable);
    return array->rowPointers + start_row;
}

void FreePool(j_common_ptr cinfo, int pool_id) {
    PoolState* state = StateOf(cinfo);
    if (pool_id == JPOOL_IMAGE) {
        state->arrays = nullptr;
        ReleaseBlock(*state);
    }
    (*state->freePoolOriginal)(cinfo, pool_id);
}

void SelfDestruct(j_common_ptr cinfo) {
    PoolState* state = StateOf(cinfo);
    ReleaseBlock(*state);
    void (*selfDestruct)(j_common_ptr) = state->selfDestructOriginal;
    cinfo->client_data = nullptr;
    (*selfDestruct)(cinfo);   // frees the state with the permanent pool
}

}  // namespace

void KeepCoefficientsInBlockPool(jpeg_decompress_struct& cinfo) {
    auto* common = reinterpret_cast<j_common_ptr>(&cinfo);
    jpeg_memory_mgr* mem = cinfo.mem;
    auto* state = static_cast<PoolState*>((*mem->alloc_small)(common, JPOOL_PERMANENT, sizeof(PoolState)));
    state->realizeOriginal = mem->realize_virt_arrays;
    state->freePoolOriginal = mem->free_pool;
    state->selfDestructOriginal = mem->self_destruct;
    state->arrays = nullptr;
    state->block = nullptr;
    cinfo.client_data = state;
    mem->request_virt_barray = RequestArray;
    mem->realize_virt_arrays = RealizeArrays;
    mem->access_virt_barray = AccessArray;
    mem->free_pool = FreePool;
    mem->self_destruct = SelfDestruct;
}
