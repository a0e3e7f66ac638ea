#include "BareJpeg.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace {

struct JumpingErrors {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void JumpOut(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<JumpingErrors*>(cinfo->err)->jump, 1); }

// Only one picture is decoded at a time per call; the rows are read in batches so the
// library's per-call overhead does not dominate.
constexpr int kRowBatch = 16;

// The full size decodes at 8 / 8.
constexpr unsigned kFullScale = 8;

bool DecodeRows(jpeg_decompress_struct& cinfo, unsigned scaleNum, BareBgrPicture& out) {
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGR;
    cinfo.scale_num = scaleNum;
    cinfo.scale_denom = kFullScale;
    jpeg_start_decompress(&cinfo);
    out.width = cinfo.output_width;
    out.height = cinfo.output_height;
    out.stride = (out.width * 3 + 3) & ~3u;
    const size_t bytes = size_t(out.stride) * out.height;
    if (out.capacity < bytes) {
        std::free(out.rows);
        out.capacity = 0;
        out.rows = static_cast<uint8_t*>(std::malloc(bytes));
        if (!out.rows) return false;
        out.capacity = bytes;
    }
    JSAMPROW pointers[kRowBatch];
    while (cinfo.output_scanline < cinfo.output_height) {
        const uint32_t first = cinfo.output_scanline;
        const uint32_t count = std::min<uint32_t>(kRowBatch, out.height - first);
        for (uint32_t k = 0; k < count; ++k) pointers[k] = out.rows + size_t(out.height - 1 - first - k) * out.stride;
        jpeg_read_scanlines(&cinfo, pointers, count);
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

void EncodeRows(jpeg_compress_struct& cinfo, const uint8_t* rows, uint32_t width, uint32_t height, uint32_t stride,
                int quality, int dpi) {
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    for (int c = 0; c < cinfo.num_components; ++c) {
        cinfo.comp_info[c].h_samp_factor = 1;
        cinfo.comp_info[c].v_samp_factor = 1;
    }
    cinfo.density_unit = 1;
    cinfo.X_density = uint16_t(dpi);
    cinfo.Y_density = uint16_t(dpi);
    jpeg_start_compress(&cinfo, TRUE);
    JSAMPROW pointers[kRowBatch];
    while (cinfo.next_scanline < cinfo.image_height) {
        const uint32_t first = cinfo.next_scanline;
        const uint32_t count = std::min<uint32_t>(kRowBatch, height - first);
        for (uint32_t k = 0; k < count; ++k) {
            pointers[k] = const_cast<uint8_t*>(rows + size_t(height - 1 - first - k) * stride);
        }
        jpeg_write_scanlines(&cinfo, pointers, count);
    }
    jpeg_finish_compress(&cinfo);
}

}  // namespace

BareBgrPicture::~BareBgrPicture() { std::free(rows); }
BareJpegFile::~BareJpegFile() { std::free(data); }

bool BareJpegDecode(const uint8_t* data, size_t size, BareBgrPicture& out) {
    return BareJpegDecodeScaled(data, size, kFullScale, out);
}

bool BareJpegDecodeScaled(const uint8_t* data, size_t size, unsigned scaleNum, BareBgrPicture& out) {
    jpeg_decompress_struct cinfo;
    JumpingErrors errors;
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = JumpOut;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    const bool ok = DecodeRows(cinfo, scaleNum, out);
    jpeg_destroy_decompress(&cinfo);
    return ok;
}

bool BareJpegEncode(const uint8_t* rows, uint32_t width, uint32_t height, uint32_t stride, int quality, int dpi,
                    BareJpegFile& out) {
    jpeg_compress_struct cinfo;
    JumpingErrors errors;
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = JumpOut;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    // The library grows out.data itself; out frees it whatever happens.
    jpeg_mem_dest(&cinfo, &out.data, &out.size);
    EncodeRows(cinfo, rows, width, height, stride, quality, dpi);
    jpeg_destroy_compress(&cinfo);
    return true;
}
