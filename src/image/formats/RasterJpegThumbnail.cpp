// libjpeg leaves a fatal error through longjmp: the functions that call setjmp keep their
// state in plain C records (the jobs below) and hold no C++ objects with destructors.
#include "image/formats/RasterJpegThumbnail.h"

#include <bitset>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>
#include <libexif/exif-data.h>

#include "image/formats/RasterJpegCoefficientArrays.h"
#include "image/formats/RasterJpegThumbnailScans.h"

namespace {

// The largest reduction libjpeg offers is 1/8.
constexpr unsigned kScaleDenominator = 8;

struct QuietErrorManager {
    jpeg_error_mgr pub;   // first: libjpeg sees only this part
    jmp_buf jump;
};

void LeaveOnError(j_common_ptr cinfo) {
    longjmp(reinterpret_cast<QuietErrorManager*>(cinfo->err)->jump, 1);
}

// Stray bytes between segments do not stop a thumbnail, but missing data does: a tiny damaged
// file could otherwise claim a huge frame and have it filled with grey.
void StopAtEndOfData(j_common_ptr cinfo, int level) {
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) LeaveOnError(cinfo);
}
void IgnoreOutput(j_common_ptr) {}

// Each scan of a progressive file costs a pass over the whole picture: absurd counts are refused.
constexpr int kMaxScans = 1000;

void CheckScanCount(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->is_decompressor && d->input_scan_number > kMaxScans) LeaveOnError(cinfo);
}

struct ReduceJob {
    jpeg_decompress_struct cinfo;
    QuietErrorManager err;
    jpeg_progress_mgr progress;
    const uint8_t* data;
    size_t size;
    bool created;
    RasterImage* result;   // heap: survives the jump
};

void InstallQuietErrors(ReduceJob& job) {
    job.cinfo.err = jpeg_std_error(&job.err.pub);
    job.err.pub.error_exit = LeaveOnError;
    job.err.pub.emit_message = StopAtEndOfData;
    job.err.pub.output_message = IgnoreOutput;
    job.progress.progress_monitor = CheckScanCount;
}

// Picks the smallest n/8 scale that keeps both sides at or above the minimum.
void ChooseScale(jpeg_decompress_struct& cinfo, uint32_t minWidth, uint32_t minHeight) {
    cinfo.scale_denom = kScaleDenominator;
    for (unsigned n = 1; n <= kScaleDenominator; ++n) {
        cinfo.scale_num = n;
        jpeg_calc_output_dimensions(&cinfo);
        if (cinfo.output_width >= minWidth && cinfo.output_height >= minHeight) return;
    }
    cinfo.scale_num = kScaleDenominator;
    jpeg_calc_output_dimensions(&cinfo);
}

// What the header pass learns for the decode: the scale and, for a progressive stream, the
// components whose blocks become single pixels (their AC coefficients are never used).
struct ReducePlan {
    unsigned scaleNum;
    bool progressive;
    std::bitset<256> dcOnly;
};

// Reads the header and sets the options of the reduced decode. Runs inside RunReduce's or
// RunPlan's setjmp.
bool StartReduce(ReduceJob* job, uint32_t minWidth, uint32_t minHeight) {
    jpeg_create_decompress(&job->cinfo);
    job->created = true;
    // A progressive stream keeps the coefficients of its whole frame, whatever the scale: a
    // small file claiming a huge frame would otherwise have gigabytes allocated and filled.
    // The limit is the one a picture and the full decode have.
    job->cinfo.mem->max_memory_to_use = long(RasterImage::MemoryLimit());
    jpeg_mem_src(&job->cinfo, job->data, static_cast<unsigned long>(job->size));
    job->cinfo.progress = &job->progress;
    if (jpeg_read_header(&job->cinfo, TRUE) != JPEG_HEADER_OK) return false;
    if (job->cinfo.jpeg_color_space == JCS_CMYK || job->cinfo.jpeg_color_space == JCS_YCCK) return false;
    job->cinfo.out_color_space = JCS_EXT_BGR;
    // A thumbnail is shrunk further afterwards: the fast transform and plain upsampling lose
    // nothing visible there.
    job->cinfo.dct_method = JDCT_IFAST;
    job->cinfo.do_fancy_upsampling = FALSE;
    ChooseScale(job->cinfo, minWidth, minHeight);
    return true;
}

bool RunPlan(ReduceJob* job, uint32_t minWidth, uint32_t minHeight, ReducePlan* plan) {
    if (setjmp(job->err.jump)) return false;
    if (!StartReduce(job, minWidth, minHeight)) return false;
    plan->scaleNum = job->cinfo.scale_num;
    plan->progressive = job->cinfo.progressive_mode;
    for (int ci = 0; ci < job->cinfo.num_components; ++ci) {
        const jpeg_component_info& component = job->cinfo.comp_info[ci];
        if (component.DCT_scaled_size == 1) plan->dcOnly.set(size_t(component.component_id & 0xFF));
    }
    return true;
}

// Runs the decode; false on any libjpeg error. Only plain data crosses the setjmp.
// withoutAcScans: the stream lacks AC scans that the scale makes useless; the smoothing that
// estimates missing AC coefficients from neighbouring blocks must then stay off, as it is
// for a complete stream.
bool RunReduce(ReduceJob* job, uint32_t minWidth, uint32_t minHeight, bool withoutAcScans) {
    if (setjmp(job->err.jump)) return false;
    if (!StartReduce(job, minWidth, minHeight)) return false;
    if (withoutAcScans) job->cinfo.do_block_smoothing = FALSE;
    KeepCoefficientsInBlockPool(job->cinfo);
    jpeg_start_decompress(&job->cinfo);
    const uint32_t width = job->cinfo.output_width;
    const uint32_t height = job->cinfo.output_height;
    if (width == 0 || height == 0 || job->cinfo.output_components != 3) return false;
    if (!RasterImage::FitsMemoryLimit(width, height, 24)) return false;
    if (!job->result->Create(width, height, 24, RASTER_FORMAT_JPG)) return false;
    while (job->cinfo.output_scanline < height) {
        // Rows arrive top first; stored rows run bottom-up.
        JSAMPROW row = job->result->RowPointer(height - 1 - job->cinfo.output_scanline);
        if (jpeg_read_scanlines(&job->cinfo, &row, 1) != 1) return false;
    }
    jpeg_finish_decompress(&job->cinfo);
    return true;
}

bool RunReadFrame(ReduceJob* job, uint32_t* width, uint32_t* height) {
    if (setjmp(job->err.jump)) return false;
    jpeg_create_decompress(&job->cinfo);
    job->created = true;
    jpeg_mem_src(&job->cinfo, job->data, static_cast<unsigned long>(job->size));
    if (jpeg_read_header(&job->cinfo, TRUE) != JPEG_HEADER_OK) return false;
    *width = job->cinfo.image_width;
    *height = job->cinfo.image_height;
    return *width > 0 && *height > 0;
}

ReduceJob* OpenJob(const uint8_t* data, size_t size) {
    // libjpeg counts the input in unsigned long.
    if (!data || size == 0 || size > ULONG_MAX) return nullptr;
    auto* job = static_cast<ReduceJob*>(std::calloc(1, sizeof(ReduceJob)));
    if (!job) return nullptr;
    job->data = data;
    job->size = size;
    InstallQuietErrors(*job);
    return job;
}

void CloseJob(ReduceJob* job) {
    if (job->created) jpeg_destroy_decompress(&job->cinfo);
    delete job->result;
    std::free(job);
}

bool PlanReduce(const uint8_t* data, size_t size, uint32_t minWidth, uint32_t minHeight, ReducePlan& plan) {
    ReduceJob* job = OpenJob(data, size);
    if (!job) return false;
    const bool ok = RunPlan(job, minWidth, minHeight, &plan);
    CloseJob(job);
    return ok;
}

bool DecodePlanned(const uint8_t* data, size_t size, uint32_t minWidth, uint32_t minHeight, bool withoutAcScans,
                   RasterImage& image) {
    ReduceJob* job = OpenJob(data, size);
    if (!job) return false;
    job->result = new RasterImage(RASTER_FORMAT_JPG);
    const bool ok = RunReduce(job, minWidth, minHeight, withoutAcScans);
    if (ok) image.TakeOver(*job->result);
    CloseJob(job);
    return ok;
}

}  // namespace

bool ReadJpegFrameSize(const uint8_t* data, size_t size, uint32_t& width, uint32_t& height) {
    ReduceJob* job = OpenJob(data, size);
    if (!job) return false;
    uint32_t w = 0;
    uint32_t h = 0;
    const bool ok = RunReadFrame(job, &w, &h);
    CloseJob(job);
    if (ok) {
        width = w;
        height = h;
    }
    return ok;
}

bool DecodeJpegReduced(const uint8_t* data, size_t size, uint32_t minWidth, uint32_t minHeight, RasterImage& image) {
    ReducePlan plan{};
    if (!PlanReduce(data, size, minWidth, minHeight, plan)) return false;
    if (plan.progressive && plan.dcOnly.any()) {
        std::vector<uint8_t> lean;
        size_t dropped = 0;
        if (DropAcScans(data, size, plan.dcOnly, lean, dropped) && dropped > 0) {
            return DecodePlanned(lean.data(), lean.size(), minWidth, minHeight, true, image);
        }
    }
    return DecodePlanned(data, size, minWidth, minHeight, false, image);
}

bool ReadExifThumbnail(const uint8_t* data, size_t size, std::vector<uint8_t>& bytes) {
    if (!data || size == 0 || size > UINT_MAX) return false;
    ExifData* exif = exif_data_new_from_data(data, static_cast<unsigned int>(size));
    if (!exif) return false;
    const bool found = exif->data && exif->size > 0;
    if (found) bytes.assign(exif->data, exif->data + exif->size);
    exif_data_unref(exif);
    return found;
}

bool ReadWholeFile(const char* path, std::vector<uint8_t>& bytes, uint64_t maxBytes) {
    if (!path) return false;
    FILE* stream = std::fopen(path, "rb");
    if (!stream) return false;
    bool ok = std::fseek(stream, 0, SEEK_END) == 0;
    const long length = ok ? std::ftell(stream) : -1;
    ok = length >= 0 && uint64_t(length) <= maxBytes && std::fseek(stream, 0, SEEK_SET) == 0;
    if (ok) {
        bytes.resize(size_t(length));
        ok = std::fread(bytes.data(), 1, bytes.size(), stream) == bytes.size();
    }
    std::fclose(stream);
    return ok;
}

std::vector<uint8_t> ReadFileStart(const char* path, size_t count) {
    std::vector<uint8_t> bytes(count);
    FILE* stream = path ? std::fopen(path, "rb") : nullptr;
    const size_t read = stream ? std::fread(bytes.data(), 1, count, stream) : 0;
    if (stream) std::fclose(stream);
    bytes.resize(read);
    return bytes;
}

bool ReadJpegFrameSize(const char* path, uint32_t& width, uint32_t& height) {
    // The frame header comes first: only one behind a megabyte of other segments needs the
    // whole file.
    std::vector<uint8_t> bytes = ReadFileStart(path, kJpegHeaderBytes);
    if (ReadJpegFrameSize(bytes.data(), bytes.size(), width, height)) return true;
    return bytes.size() == kJpegHeaderBytes && ReadWholeFile(path, bytes) &&
           ReadJpegFrameSize(bytes.data(), bytes.size(), width, height);
}

bool DecodeJpegReduced(const char* path, uint32_t minWidth, uint32_t minHeight, RasterImage& image) {
    std::vector<uint8_t> bytes;
    return ReadWholeFile(path, bytes) && DecodeJpegReduced(bytes.data(), bytes.size(), minWidth, minHeight, image);
}

bool ReadExifThumbnail(const char* path, std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> file;
    return ReadWholeFile(path, file) && ReadExifThumbnail(file.data(), file.size(), bytes);
}
