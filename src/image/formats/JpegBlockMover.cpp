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
#include <utility>

#include <jpeglib.h>
#include <jerror.h>

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

// One component of the written picture as the encoder reads it, one row of blocks at a time:
// the rows are turned from the source's blocks on each access (the encoder of a progressive
// file reads them once per pass), or, for an upright cut, read from the source in place.
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
    JBLOCKROW* turnedRows;      // the rows turned blocks are written to
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

// The source block at in, transposed and mirrored as a block at its new place is.
void TurnBlock(const JCOEF* in, bool transpose, bool mirrorX, bool mirrorY, JCOEF* out) {
    const JCOEF* sign = kBlockSigns.sign[size_t(mirrorX) + 2 * size_t(mirrorY)].data();
    if (!transpose) {
        for (int i = 0; i < DCTSIZE2; ++i) out[i] = JCOEF(in[i] * sign[i]);
        return;
    }
    for (int v = 0; v < DCTSIZE; ++v) {
        for (int u = 0; u < DCTSIZE; ++u) out[v * DCTSIZE + u] = JCOEF(in[u * DCTSIZE + v] * sign[v * DCTSIZE + u]);
    }
}

// Blocks looked up ahead of the one turned: a turned row reads down a column of the source,
// one block per source row, which the processor's own fetching does not foresee.
constexpr JDIMENSION kFetchAhead = 8;

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

void TurnRow(const TurnedComponent& component, JDIMENSION row, JBLOCKROW out) {
    bool mirrorY = false;
    const JDIMENSION alongY = AlongYOf(component, row, mirrorY);
    for (JDIMENSION column = 0; column < component.columns; ++column) {
        bool mirrorX = false;
        if (column + kFetchAhead < component.columns) {
            if (const JCOEF* ahead = SourceBlockOf(component, alongY, column + kFetchAhead, mirrorX)) {
                __builtin_prefetch(ahead);
                __builtin_prefetch(ahead + DCTSIZE2 / 2);
            }
        }
        const JCOEF* block = SourceBlockOf(component, alongY, column, mirrorX);
        if (!block) {
            std::memset(out[column], 0, sizeof(JBLOCK));
            continue;
        }
        TurnBlock(block, component.steps.transpose, mirrorX, mirrorY, out[column]);
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
    for (JDIMENSION i = 0; i < count; ++i) {
        const JDIMENSION row = start + i;
        if (component->inPlace) {
            component->rowPointers[i] = component->sourceRows[row + component->offsetY] + component->offsetX;
        } else if (row < component->rows) {
            // Rows past the picture are the MCU's padding: the encoder writes its own there.
            TurnRow(*component, row, component->turnedRows[i]);
        }
    }
    return component->rowPointers;
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
        component->turnedRows = nullptr;
        if (upright && (component->offsetY + component->paddedRows > component->sourceRowCount ||
                        component->offsetX + RoundedUp(component->columns, written.h_samp_factor) >
                            component->sourceColumns)) {
            ERREXIT(common, JERR_BAD_VIRTUAL_ACCESS);
        }
        if (!upright) {
            const size_t rowBytes = size_t(RoundedUp(component->columns, written.h_samp_factor)) * sizeof(JBLOCK);
            auto* rows = static_cast<uint8_t*>((*target.mem->alloc_large)(common, JPOOL_PERMANENT, rowBytes * component->rowsPerAccess));
            std::memset(rows, 0, rowBytes * component->rowsPerAccess);
            for (JDIMENSION i = 0; i < component->rowsPerAccess; ++i) {
                component->rowPointers[i] = reinterpret_cast<JBLOCKROW>(rows + rowBytes * i);
            }
            component->turnedRows = component->rowPointers;
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

void MakeEighthPreview(const MoveJob& job, RasterImage& preview) {
    const jpeg_compress_struct& target = job.target;
    const int components = target.num_components;
    const bool ycc = components == 3 && target.jpeg_color_space == JCS_YCbCr;
    if (components != 1 && !ycc && !(components == 3 && target.jpeg_color_space == JCS_RGB)) return;
    int quant[3] = {0, 0, 0};
    for (int c = 0; c < components; ++c) {
        const JQUANT_TBL* table = target.quant_tbl_ptrs[target.comp_info[c].quant_tbl_no];
        if (!table) return;
        quant[c] = table->quantval[0];
    }
    const uint32_t width = (target.image_width + DCTSIZE - 1) / DCTSIZE;
    const uint32_t height = (target.image_height + DCTSIZE - 1) / DCTSIZE;
    if (!preview.Create(width, height, 24, RASTER_FORMAT_JPG)) return;
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* out = preview.RowPointer(height - 1 - y);
        for (uint32_t x = 0; x < width; ++x, out += 3) {
            int level[3] = {CENTERJSAMPLE, CENTERJSAMPLE, CENTERJSAMPLE};
            for (int c = 0; c < components; ++c) {
                const auto& component = *reinterpret_cast<const TurnedComponent*>(job.turned[c]);
                const jpeg_component_info& info = target.comp_info[c];
                bool mirror = false;
                const JDIMENSION alongY = AlongYOf(component, y * JDIMENSION(info.v_samp_factor) / JDIMENSION(target.max_v_samp_factor), mirror);
                const JCOEF* block = SourceBlockOf(component, alongY, x * JDIMENSION(info.h_samp_factor) / JDIMENSION(target.max_h_samp_factor), mirror);
                if (block) level[c] = DcLevel(block[0], quant[c]);
            }
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
