// libjpeg leaves a fatal error through longjmp: MoveJpegBlocks keeps the move's state in one
// plain record (MoveJob), and RunMove, which calls setjmp, holds nothing with a destructor.
#include "image/formats/JpegBlockMover.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <csetjmp>
#include <cstdio>   // jpeglib.h needs FILE
#include <cstring>
#include <new>
#include <cstdio>
#include <utility>

#include <jpeglib.h>
#include <jerror.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "image/formats/LosslessJpegGeometry.h"
#include "image/formats/RasterJpegCoefficientArrays.h"

namespace {

// Each scan of a progressive source costs a pass over its blocks: absurd counts are refused.
constexpr int kMaxScans = 1000;
// Room for the written file before its first growth, beyond the source's own size.
constexpr size_t kOutputSlack = size_t(64) << 10;

// Errors and warnings of both halves end the move: a warning means damaged data, which the
// written file would keep as if it were the picture.
struct MoveErrors {
    jpeg_error_mgr pub;   // first: libjpeg sees only this part
    jmp_buf jump;
    bool damaged;
    char message[JMSG_LENGTH_MAX];
};

MoveErrors& ErrorsOf(j_common_ptr cinfo) { return *reinterpret_cast<MoveErrors*>(cinfo->err); }

[[noreturn]] void LeaveMove(j_common_ptr cinfo) {
    (*cinfo->err->format_message)(cinfo, ErrorsOf(cinfo).message);
    longjmp(ErrorsOf(cinfo).jump, 1);
}

void LeaveOnWarning(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    ErrorsOf(cinfo).damaged = true;
    LeaveMove(cinfo);
}

void SayNothing(j_common_ptr) {}

void LimitScans(j_common_ptr cinfo) {
    auto* source = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (source->input_scan_number <= kMaxScans) return;
    ErrorsOf(cinfo).damaged = true;
    cinfo->err->msg_code = JERR_NOT_COMPILED;   // any code: the message below replaces its text
    std::snprintf(ErrorsOf(cinfo).message, JMSG_LENGTH_MAX, "more than %d scans", kMaxScans);
    longjmp(ErrorsOf(cinfo).jump, 1);
}

// The written file goes straight into the caller's vector, grown by doubling.
struct VectorDestination {
    jpeg_destination_mgr pub;   // first: libjpeg sees only this part
    std::vector<uint8_t>* out;
};

VectorDestination& DestinationOf(j_compress_ptr cinfo) { return *reinterpret_cast<VectorDestination*>(cinfo->dest); }

bool ResizeQuietly(std::vector<uint8_t>& bytes, size_t size) noexcept {
    try {
        bytes.resize(size);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void StartOutput(j_compress_ptr cinfo) {
    VectorDestination& destination = DestinationOf(cinfo);
    destination.pub.next_output_byte = destination.out->data();
    destination.pub.free_in_buffer = destination.out->size();
}

boolean GrowOutput(j_compress_ptr cinfo) {
    VectorDestination& destination = DestinationOf(cinfo);
    const size_t used = destination.out->size();
    if (!ResizeQuietly(*destination.out, std::max<size_t>(2 * used, kOutputSlack))) {
        ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
    }
    destination.pub.next_output_byte = destination.out->data() + used;
    destination.pub.free_in_buffer = destination.out->size() - used;
    return TRUE;
}

void EndOutput(j_compress_ptr cinfo) {
    VectorDestination& destination = DestinationOf(cinfo);
    destination.out->resize(destination.out->size() - destination.pub.free_in_buffer);
}

// One component of the written picture as the encoder reads it, one row of MCUs at a time:
// for an upright cut the rows are read from the source in place; otherwise they are turned
// from the source's blocks a batch of rows at a time (the encoder of a progressive file reads
// them once per pass). A turned row reads down a column of the source, one block per source
// row; a batch of rows reads a short run of neighbouring blocks from each source row instead.
struct TurnedComponent {
    JBLOCKARRAY sourceRows;   // the source component's whole array
    JDIMENSION sourceColumns;
    JDIMENSION sourceRowCount;
    JDIMENSION columns;       // the written component's blocks, without the MCU's padding
    JDIMENSION rows;
    JDIMENSION paddedRows;
    JDIMENSION offsetX;       // its first block in the whole picture turned block by block
    JDIMENSION offsetY;
    JDIMENSION wholeX;        // the blocks a reversed axis mirrors; those past stay in place
    JDIMENSION wholeY;
    LayoutSteps steps;
    bool inPlace;
    JDIMENSION rowsPerAccess;   // the component's vertical sampling: one row of MCUs
    JBLOCKARRAY rowPointers;    // what an access returns
    JBLOCKARRAY batch;          // the turned rows batchFirst .. batchFirst + batchRows - 1
    JDIMENSION batchRows;
    JDIMENSION batchFirst;
    bool batchFilled;
    // When a preview is wanted: the DC term of each written block, columns x rows, taken as
    // the encoder reads the rows (they are in the processor's cache then).
    JCOEF* dcTerms;
};

// The sign each coefficient of a block takes when the block is mirrored across either axis: a
// mirrored axis negates the odd frequencies along it. Indexed by mirrorX + 2 * mirrorY.
struct BlockSigns {
    std::array<std::array<JCOEF, DCTSIZE2>, 4> sign;
    BlockSigns() {
        for (size_t variant = 0; variant < sign.size(); ++variant) {
            for (int v = 0; v < DCTSIZE; ++v) {
                for (int u = 0; u < DCTSIZE; ++u) {
                    const bool negate = ((variant & 1) != 0 && (u & 1) != 0) != ((variant & 2) != 0 && (v & 1) != 0);
                    sign[variant][size_t(v * DCTSIZE + u)] = negate ? -1 : 1;
                }
            }
        }
    }
};

const BlockSigns kBlockSigns;

#if defined(__SSE2__)
// An 8 x 8 block of 16-bit values held as eight rows, transposed in three rounds of
// interleaving (pairs of values, of pairs, of quads).
void TransposeRows(__m128i r[DCTSIZE]) {
    __m128i a[DCTSIZE];
    __m128i b[DCTSIZE];
    for (int i = 0; i < DCTSIZE; i += 2) {
        a[i] = _mm_unpacklo_epi16(r[i], r[i + 1]);
        a[i + 1] = _mm_unpackhi_epi16(r[i], r[i + 1]);
    }
    for (int i = 0; i < DCTSIZE; i += 4) {
        b[i] = _mm_unpacklo_epi32(a[i], a[i + 2]);
        b[i + 1] = _mm_unpackhi_epi32(a[i], a[i + 2]);
        b[i + 2] = _mm_unpacklo_epi32(a[i + 1], a[i + 3]);
        b[i + 3] = _mm_unpackhi_epi32(a[i + 1], a[i + 3]);
    }
    for (int i = 0; i < DCTSIZE / 2; ++i) {
        r[2 * i] = _mm_unpacklo_epi64(b[i], b[i + 4]);
        r[2 * i + 1] = _mm_unpackhi_epi64(b[i], b[i + 4]);
    }
}
#endif

static_assert(sizeof(JCOEF) == 2 && DCTSIZE == 8, "blocks are 8 x 8 16-bit coefficients");

// The source block at in, transposed and mirrored as a block at its new place is.
void TurnBlock(const JCOEF* in, bool transpose, bool mirrorX, bool mirrorY, JCOEF* out) {
    const JCOEF* sign = kBlockSigns.sign[size_t(mirrorX) + 2 * size_t(mirrorY)].data();
#if defined(__SSE2__)
    __m128i rows[DCTSIZE];
    for (int i = 0; i < DCTSIZE; ++i) rows[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i * DCTSIZE));
    if (transpose) TransposeRows(rows);
    for (int i = 0; i < DCTSIZE; ++i) {
        const __m128i signs = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sign + i * DCTSIZE));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i * DCTSIZE), _mm_mullo_epi16(rows[i], signs));
    }
#else
    if (!transpose) {
        for (int i = 0; i < DCTSIZE2; ++i) out[i] = JCOEF(in[i] * sign[i]);
        return;
    }
    for (int v = 0; v < DCTSIZE; ++v) {
        for (int u = 0; u < DCTSIZE; ++u) out[v * DCTSIZE + u] = JCOEF(in[u * DCTSIZE + v] * sign[v * DCTSIZE + u]);
    }
#endif
}

// Where the block at column of the written row lies in the source (null when outside it),
// and whether it is mirrored across x.
const JCOEF* SourceBlockOf(const TurnedComponent& component, JDIMENSION alongY, JDIMENSION column, bool& mirrorX) {
    const JDIMENSION x = column + component.offsetX;
    mirrorX = component.steps.reverseX && x < component.wholeX;
    const JDIMENSION alongX = mirrorX ? component.wholeX - 1 - x : x;
    const JDIMENSION sourceColumn = component.steps.transpose ? alongY : alongX;
    const JDIMENSION sourceRow = component.steps.transpose ? alongX : alongY;
    if (sourceColumn >= component.sourceColumns || sourceRow >= component.sourceRowCount) return nullptr;
    return component.sourceRows[sourceRow][sourceColumn];
}

// The source's block row (or column, when transposed) that the written row comes from, and
// whether it is mirrored across y.
JDIMENSION AlongYOf(const TurnedComponent& component, JDIMENSION row, bool& mirrorY) {
    const JDIMENSION y = row + component.offsetY;
    mirrorY = component.steps.reverseY && y < component.wholeY;
    return mirrorY ? component.wholeY - 1 - y : y;
}

void TurnBlockAt(const TurnedComponent& component, JDIMENSION row, JDIMENSION column, JBLOCKROW out) {
    bool mirrorX = false;
    bool mirrorY = false;
    const JCOEF* block = SourceBlockOf(component, AlongYOf(component, row, mirrorY), column, mirrorX);
    if (!block) {
        std::memset(out[column], 0, sizeof(JBLOCK));
        return;
    }
    TurnBlock(block, component.steps.transpose, mirrorX, mirrorY, out[column]);
}

// Turns the written rows first .. first + batchRows - 1 (those inside the picture) into the
// batch. A transposing layout takes each written column of the batch in turn: its blocks are
// neighbours in one source row.
void FillBatch(TurnedComponent& component, JDIMENSION first) {
    const JDIMENSION end = std::min(first + component.batchRows, component.rows);
    if (component.steps.transpose) {
        for (JDIMENSION column = 0; column < component.columns; ++column) {
            for (JDIMENSION row = first; row < end; ++row) TurnBlockAt(component, row, column, component.batch[row - first]);
        }
    } else {
        for (JDIMENSION row = first; row < end; ++row) {
            for (JDIMENSION column = 0; column < component.columns; ++column) {
                TurnBlockAt(component, row, column, component.batch[row - first]);
            }
        }
    }
    component.batchFirst = first;
    component.batchFilled = true;
}

void KeepDcTerms(TurnedComponent& component, JDIMENSION start, JDIMENSION count, JBLOCKARRAY rows) {
    for (JDIMENSION i = 0; i < count && start + i < component.rows; ++i) {
        JCOEF* out = component.dcTerms + size_t(start + i) * component.columns;
        for (JDIMENSION column = 0; column < component.columns; ++column) out[column] = rows[i][column][0];
    }
}

// The compressor's access to the written picture's blocks (it only reads them).
JBLOCKARRAY AccessTurned(j_common_ptr cinfo, jvirt_barray_ptr array, JDIMENSION start, JDIMENSION count,
                         boolean writable) {
    auto* component = reinterpret_cast<TurnedComponent*>(array);
    if (writable || count > component->rowsPerAccess || start > component->paddedRows ||
        count > component->paddedRows - start) {
        ERREXIT(cinfo, JERR_BAD_VIRTUAL_ACCESS);
    }
    JBLOCKARRAY rows = nullptr;
    if (component->inPlace) {
        for (JDIMENSION i = 0; i < count; ++i) {
            component->rowPointers[i] = component->sourceRows[start + i + component->offsetY] + component->offsetX;
        }
        rows = component->rowPointers;
    } else {
        // Batches start on a row of MCUs, and hold whole rows of them: an access never
        // straddles two.
        if (!component->batchFilled || start < component->batchFirst ||
            start + count > component->batchFirst + component->batchRows) {
            FillBatch(*component, start);
        }
        // Rows past the picture are the MCU's padding: the encoder writes its own there, and
        // reads the batch's rows only for their place.
        rows = component->batch + (start - component->batchFirst);
    }
    if (component->dcTerms) KeepDcTerms(*component, start, count, rows);
    return rows;
}

struct MoveJob {
    jpeg_decompress_struct source;
    jpeg_compress_struct target;
    MoveErrors errors;
    jpeg_progress_mgr progress;
    VectorDestination destination;
    const uint8_t* data;
    size_t size;
    JpegBlockMove move;
    bool sourceCreated;
    bool targetCreated;
    bool refused;   // the move is not one this path takes (message says why)
    jvirt_barray_ptr turned[MAX_COMPONENTS];
};

void Refuse(MoveJob& job, const char* why) {
    job.refused = true;
    std::snprintf(job.errors.message, JMSG_LENGTH_MAX, "%s", why);
}

JDIMENSION BlocksOver(JDIMENSION pixels, int sampling, int maxSampling) {
    return JDIMENSION((long(pixels) * sampling + long(maxSampling) * DCTSIZE - 1) / (long(maxSampling) * DCTSIZE));
}

JDIMENSION RoundedUp(JDIMENSION value, int multiple) {
    return JDIMENSION((long(value) + multiple - 1) / multiple * multiple);
}

// The written rows of blocks turned at once: enough that each source row gives a run of
// neighbouring blocks, few enough that the batch stays in the processor's cache.
constexpr JDIMENSION kBatchRows = 8;

void TransposeQuantTables(jpeg_compress_struct& target) {
    for (JQUANT_TBL* table : target.quant_tbl_ptrs) {
        if (!table) continue;
        for (int v = 0; v < DCTSIZE; ++v) {
            for (int u = v + 1; u < DCTSIZE; ++u) std::swap(table->quantval[v * DCTSIZE + u], table->quantval[u * DCTSIZE + v]);
        }
    }
}

// The written frame: its size, and for a transposing layout its sampling and quantization
// exchanged between the axes. False (refused) when the crop is not one this path can write.
bool FitFrame(MoveJob& job) {
    jpeg_compress_struct& target = job.target;
    const LayoutSteps steps = StepsOfLayout(job.move.layout);
    for (int c = 0; c < target.num_components; ++c) {
        jpeg_component_info& component = target.comp_info[c];
        if (target.num_components == 1 && (component.h_samp_factor != 1 || component.v_samp_factor != 1)) {
            Refuse(job, "a single component with sampling factors");
            return false;
        }
        if (steps.transpose) std::swap(component.h_samp_factor, component.v_samp_factor);
    }
    if (steps.transpose) TransposeQuantTables(target);
    int maxH = 1;
    int maxV = 1;
    for (int c = 0; c < target.num_components; ++c) {
        maxH = std::max(maxH, target.comp_info[c].h_samp_factor);
        maxV = std::max(maxV, target.comp_info[c].v_samp_factor);
    }
    const long turnedWidth = steps.transpose ? long(job.source.image_height) : long(job.source.image_width);
    const long turnedHeight = steps.transpose ? long(job.source.image_width) : long(job.source.image_height);
    const RasterRect& crop = job.move.blockCrop;
    if (crop.left < 0 || crop.top < 0 || crop.right <= crop.left || crop.bottom <= crop.top ||
        crop.right > turnedWidth || crop.bottom > turnedHeight || crop.left % (maxH * DCTSIZE) != 0 ||
        crop.top % (maxV * DCTSIZE) != 0) {
        Refuse(job, "the cut does not lie on the block grid");
        return false;
    }
    target.image_width = JDIMENSION(crop.right - crop.left);
    target.image_height = JDIMENSION(crop.bottom - crop.top);
    return true;
}

// The written components over the source's arrays, allocated in the compressor's permanent
// pool: the preview reads them after the file is written.
void PrepareComponents(MoveJob& job, jvirt_barray_ptr* sourceArrays) {
    jpeg_compress_struct& target = job.target;
    auto* common = reinterpret_cast<j_common_ptr>(&target);
    const LayoutSteps steps = StepsOfLayout(job.move.layout);
    int maxH = 1;
    int maxV = 1;
    for (int c = 0; c < target.num_components; ++c) {
        maxH = std::max(maxH, target.comp_info[c].h_samp_factor);
        maxV = std::max(maxV, target.comp_info[c].v_samp_factor);
    }
    const JDIMENSION turnedWidth = steps.transpose ? job.source.image_height : job.source.image_width;
    const JDIMENSION turnedHeight = steps.transpose ? job.source.image_width : job.source.image_height;
    const bool upright = !steps.transpose && !steps.reverseX && !steps.reverseY;
    for (int c = 0; c < target.num_components; ++c) {
        const jpeg_component_info& written = target.comp_info[c];
        const jpeg_component_info& read = job.source.comp_info[c];
        auto* component = static_cast<TurnedComponent*>(
            (*target.mem->alloc_small)(common, JPOOL_PERMANENT, sizeof(TurnedComponent)));
        component->sourceColumns = RoundedUp(read.width_in_blocks, read.h_samp_factor);
        component->sourceRowCount = RoundedUp(read.height_in_blocks, read.v_samp_factor);
        // The source's arrays live in the block pool, which hands out all their rows at once.
        component->sourceRows = (*job.source.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&job.source),
                                                                      sourceArrays[c], 0, component->sourceRowCount,
                                                                      FALSE);
        component->columns = BlocksOver(target.image_width, written.h_samp_factor, maxH);
        component->rows = BlocksOver(target.image_height, written.v_samp_factor, maxV);
        component->paddedRows = RoundedUp(component->rows, written.v_samp_factor);
        component->offsetX = JDIMENSION(job.move.blockCrop.left / (maxH * DCTSIZE) * written.h_samp_factor);
        component->offsetY = JDIMENSION(job.move.blockCrop.top / (maxV * DCTSIZE) * written.v_samp_factor);
        component->wholeX = turnedWidth / JDIMENSION(maxH * DCTSIZE) * JDIMENSION(written.h_samp_factor);
        component->wholeY = turnedHeight / JDIMENSION(maxV * DCTSIZE) * JDIMENSION(written.v_samp_factor);
        component->steps = steps;
        component->inPlace = upright;
        component->rowsPerAccess = JDIMENSION(written.v_samp_factor);
        component->rowPointers = static_cast<JBLOCKARRAY>(
            (*target.mem->alloc_small)(common, JPOOL_PERMANENT, component->rowsPerAccess * sizeof(JBLOCKROW)));
        component->batch = nullptr;
        component->batchRows = 0;
        component->batchFirst = 0;
        component->batchFilled = false;
        component->dcTerms = nullptr;
        if (job.move.eighthPreview) {
            // Every row is read before the preview is made; zeros keep a stray gap mid-grey.
            const size_t terms = size_t(component->columns) * component->rows;
            component->dcTerms = static_cast<JCOEF*>((*target.mem->alloc_large)(common, JPOOL_PERMANENT, terms * sizeof(JCOEF)));
            std::memset(component->dcTerms, 0, terms * sizeof(JCOEF));
        }
        if (upright && (component->offsetY + component->paddedRows > component->sourceRowCount ||
                        component->offsetX + RoundedUp(component->columns, written.h_samp_factor) >
                            component->sourceColumns)) {
            ERREXIT(common, JERR_BAD_VIRTUAL_ACCESS);
        }
        if (!upright) {
            // Rows of MCUs, as many as make up kBatchRows rows of blocks or just over.
            component->batchRows = RoundedUp(kBatchRows, written.v_samp_factor);
            const size_t rowBytes = size_t(RoundedUp(component->columns, written.h_samp_factor)) * sizeof(JBLOCK);
            const size_t bytes = rowBytes * component->batchRows;
            auto* rows = static_cast<uint8_t*>((*target.mem->alloc_large)(common, JPOOL_PERMANENT, bytes));
            // The padding blocks at each row's end are never turned into.
            std::memset(rows, 0, bytes);
            component->batch = static_cast<JBLOCKARRAY>(
                (*target.mem->alloc_small)(common, JPOOL_PERMANENT, component->batchRows * sizeof(JBLOCKROW)));
            for (JDIMENSION i = 0; i < component->batchRows; ++i) {
                component->batch[i] = reinterpret_cast<JBLOCKROW>(rows + rowBytes * i);
            }
        }
        job.turned[c] = reinterpret_cast<jvirt_barray_ptr>(component);
    }
    target.mem->access_virt_barray = AccessTurned;
}

void InstallErrors(MoveJob& job) {
    jpeg_std_error(&job.errors.pub);
    job.errors.pub.error_exit = [](j_common_ptr cinfo) { LeaveMove(cinfo); };
    job.errors.pub.emit_message = LeaveOnWarning;
    job.errors.pub.output_message = SayNothing;
    job.source.err = &job.errors.pub;
    job.target.err = &job.errors.pub;
    job.progress.progress_monitor = LimitScans;
}

// Every libjpeg call of the move; false when it failed or was refused.
bool RunMove(MoveJob* job) {
    if (setjmp(job->errors.jump)) return false;
    jpeg_create_decompress(&job->source);
    job->sourceCreated = true;
    // A source claiming a huge frame would have its coefficients allocated: the limit is a
    // picture's.
    job->source.mem->max_memory_to_use = long(RasterImage::MemoryLimit());
    jpeg_mem_src(&job->source, job->data, static_cast<unsigned long>(job->size));
    job->source.progress = &job->progress;
    jpeg_read_header(&job->source, TRUE);
    KeepCoefficientsInBlockPool(job->source);
    jvirt_barray_ptr* sourceArrays = jpeg_read_coefficients(&job->source);
    jpeg_create_compress(&job->target);
    job->targetCreated = true;
    jpeg_copy_critical_parameters(&job->source, &job->target);
    if (!FitFrame(*job)) return false;
    PrepareComponents(*job, sourceArrays);
    if (job->move.progressive) jpeg_simple_progression(&job->target);
    job->destination.pub.init_destination = StartOutput;
    job->destination.pub.empty_output_buffer = GrowOutput;
    job->destination.pub.term_destination = EndOutput;
    job->target.dest = &job->destination.pub;
    jpeg_write_coefficients(&job->target, job->turned);
    jpeg_finish_compress(&job->target);
    return true;
}

// The level of a block's pixels' mean from its DC term, as libjpeg's 1/8 decode rounds it.
int DcLevel(JCOEF dc, int quant) { return std::clamp(((int(dc) * quant + 4) >> 3) + CENTERJSAMPLE, 0, MAXJSAMPLE); }

uint8_t ByteOf(double level) { return uint8_t(std::clamp(std::lround(level), 0L, long(MAXJSAMPLE))); }

// The preview's pixel from the levels of its blocks' components.
void PutPreviewPixel(const int level[3], int components, bool ycc, uint8_t* out) {
    if (components == 1) {
        out[0] = out[1] = out[2] = uint8_t(level[0]);
    } else if (!ycc) {
        out[0] = uint8_t(level[2]);
        out[1] = uint8_t(level[1]);
        out[2] = uint8_t(level[0]);
    } else {
        const double luma = level[0];
        const double blue = level[1] - CENTERJSAMPLE;
        const double red = level[2] - CENTERJSAMPLE;
        out[0] = ByteOf(luma + 1.772 * blue);
        out[1] = ByteOf(luma - 0.344136 * blue - 0.714136 * red);
        out[2] = ByteOf(luma + 1.402 * red);
    }
}

void MakeEighthPreview(const MoveJob& job, RasterImage& preview) {
    const jpeg_compress_struct& target = job.target;
    const int components = target.num_components;
    const bool ycc = components == 3 && target.jpeg_color_space == JCS_YCbCr;
    if (components != 1 && !ycc && !(components == 3 && target.jpeg_color_space == JCS_RGB)) return;
    const uint32_t width = (target.image_width + DCTSIZE - 1) / DCTSIZE;
    const uint32_t height = (target.image_height + DCTSIZE - 1) / DCTSIZE;
    // Per component: its DC terms, their quantizer, and the column of its block under each
    // preview column (a subsampled component's block covers several).
    struct Plane {
        const JCOEF* dc;
        JDIMENSION columns, rows;
        int quant;
        JDIMENSION h, v, maxH, maxV;
    };
    Plane planes[3]{};
    for (int c = 0; c < components; ++c) {
        const auto& component = *reinterpret_cast<const TurnedComponent*>(job.turned[c]);
        const jpeg_component_info& info = target.comp_info[c];
        const JQUANT_TBL* table = target.quant_tbl_ptrs[info.quant_tbl_no];
        if (!table || !component.dcTerms) return;
        planes[c] = Plane{component.dcTerms, component.columns, component.rows, table->quantval[0], JDIMENSION(info.h_samp_factor),
                          JDIMENSION(info.v_samp_factor), JDIMENSION(target.max_h_samp_factor),
                          JDIMENSION(target.max_v_samp_factor)};
    }
    if (!preview.Create(width, height, 24, RASTER_FORMAT_JPG)) return;
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* out = preview.RowPointer(height - 1 - y);
        const JCOEF* rows[3] = {};
        for (int c = 0; c < components; ++c) {
            const JDIMENSION row = std::min(y * planes[c].v / planes[c].maxV, planes[c].rows - 1);
            rows[c] = planes[c].dc + size_t(row) * planes[c].columns;
        }
        for (uint32_t x = 0; x < width; ++x, out += 3) {
            int level[3] = {CENTERJSAMPLE, CENTERJSAMPLE, CENTERJSAMPLE};
            for (int c = 0; c < components; ++c) {
                const JDIMENSION column = x * planes[c].h / planes[c].maxH;
                if (column < planes[c].columns) level[c] = DcLevel(rows[c][column], planes[c].quant);
            }
            PutPreviewPixel(level, components, ycc, out);
        }
    }
}

}  // namespace

JpegBlockOutcome MoveJpegBlocks(const uint8_t* source, size_t size, const JpegBlockMove& move,
                                std::vector<uint8_t>& out, std::string& reason) {
    if (!source || size == 0 || size > 0xFFFFFFFFu) {
        reason = "no JPEG data";
        return JpegBlockOutcome::Failed;
    }
    // A cut is rarely larger than its source; the slack saves the growth when it is a little.
    if (!ResizeQuietly(out, std::max(out.capacity(), size + kOutputSlack))) {
        reason = "out of memory";
        return JpegBlockOutcome::Failed;
    }
    auto* job = new (std::nothrow) MoveJob{};
    if (!job) {
        reason = "out of memory";
        return JpegBlockOutcome::Failed;
    }
    job->data = source;
    job->size = size;
    job->move = move;
    job->destination.out = &out;
    InstallErrors(*job);
    const bool moved = RunMove(job);
    if (moved && move.eighthPreview) MakeEighthPreview(*job, *move.eighthPreview);
    if (job->targetCreated) jpeg_destroy_compress(&job->target);
    if (job->sourceCreated) jpeg_destroy_decompress(&job->source);
    const JpegBlockOutcome outcome = moved                ? JpegBlockOutcome::Moved
                                     : job->errors.damaged ? JpegBlockOutcome::Damaged
                                                           : JpegBlockOutcome::Failed;
    if (!moved) {
        reason = job->errors.message;
        out.clear();
    }
    delete job;
    return outcome;
}
