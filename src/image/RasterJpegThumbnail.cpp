// libjpeg leaves a fatal error through longjmp: the functions that call setjmp keep their
// state in plain C records (the jobs below) and hold no C++ objects with destructors.
#include "RasterJpegThumbnail.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>
#include <libexif/exif-data.h>

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
    FILE* stream;
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
}

// Runs the decode; false on any libjpeg error. Only plain data crosses the setjmp.
bool RunReduce(ReduceJob* job, uint32_t minWidth, uint32_t minHeight) {
    if (setjmp(job->err.jump)) return false;
    jpeg_create_decompress(&job->cinfo);
    job->created = true;
    jpeg_stdio_src(&job->cinfo, job->stream);
    job->cinfo.progress = &job->progress;
    if (jpeg_read_header(&job->cinfo, TRUE) != JPEG_HEADER_OK) return false;
    if (job->cinfo.jpeg_color_space == JCS_CMYK || job->cinfo.jpeg_color_space == JCS_YCCK) return false;
    job->cinfo.out_color_space = JCS_EXT_BGR;
    // A thumbnail is shrunk further afterwards: the fast transform and plain upsampling lose
    // nothing visible there.
    job->cinfo.dct_method = JDCT_IFAST;
    job->cinfo.do_fancy_upsampling = FALSE;
    ChooseScale(job->cinfo, minWidth, minHeight);
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
    jpeg_stdio_src(&job->cinfo, job->stream);
    if (jpeg_read_header(&job->cinfo, TRUE) != JPEG_HEADER_OK) return false;
    *width = job->cinfo.image_width;
    *height = job->cinfo.image_height;
    return *width > 0 && *height > 0;
}

ReduceJob* OpenJob(const char* path) {
    if (!path) return nullptr;
    auto* job = static_cast<ReduceJob*>(std::calloc(1, sizeof(ReduceJob)));
    if (!job) return nullptr;
    job->stream = std::fopen(path, "rb");
    if (!job->stream) {
        std::free(job);
        return nullptr;
    }
    InstallQuietErrors(*job);
    return job;
}

void CloseJob(ReduceJob* job) {
    if (job->created) jpeg_destroy_decompress(&job->cinfo);
    std::fclose(job->stream);
    std::free(job);
}

}  // namespace

bool ReadJpegFrameSize(const char* path, uint32_t& width, uint32_t& height) {
    ReduceJob* job = OpenJob(path);
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

bool DecodeJpegReduced(const char* path, uint32_t minWidth, uint32_t minHeight, RasterImage& image) {
    ReduceJob* job = OpenJob(path);
    if (!job) return false;
    job->result = new RasterImage(RASTER_FORMAT_JPG);
    const bool ok = RunReduce(job, minWidth, minHeight);
    if (ok) image.TakeOver(*job->result);
    delete job->result;
    CloseJob(job);
    return ok;
}

bool ReadExifThumbnail(const char* path, std::vector<uint8_t>& bytes) {
    if (!path) return false;
    ExifData* data = exif_data_new_from_file(path);
    if (!data) return false;
    const bool found = data->data && data->size > 0;
    if (found) bytes.assign(data->data, data->data + data->size);
    exif_data_unref(data);
    return found;
}
