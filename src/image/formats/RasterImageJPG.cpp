// JPEG through libjpeg-turbo.
//
// libjpeg reports fatal errors through a callback that must not return; we leave it with
// longjmp. Everything between setjmp and the jump lives in plain C structures (the job
// records below), and the functions that call setjmp hold no C++ objects with destructors,
// so nothing is skipped on the error path except libjpeg's own frames. Heap blocks the job
// owns are freed after the jump.
#include "image/formats/RasterImageJPG.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

#include "image/formats/RasterExifOrientation.h"
#include "image/formats/RasterFormatSupport.h"
#include "image/formats/RasterJpegCoefficientArrays.h"
#include "image/metadata/MetadataBlocks.h"

namespace {

constexpr size_t kStreamBufferSize = 64 * 1024;
// Rows handed to libjpeg per call.
constexpr int kRowBatch = 16;
// A segment's whole payload: its 16-bit length less the two bytes of the length itself.
constexpr unsigned kMaxSegmentBytes = 0xFFFF - 2;
// Progressive files with more scans than this are refused: each scan costs a pass over
// the whole coefficient buffer, so a small hostile file could otherwise run for minutes.
constexpr int kMaxScans = 1000;

// The load warnings of a damaged file that still decoded.
constexpr const char* kDataEndsEarlyWarning = "the data ends early";
constexpr const char* kCorruptDataWarning = "corrupt data";

// Codec option word bits (the word is 0 until someone sets it; 0 means the default).
constexpr uint32_t kOptionSample422 = 0x1000;   // 2 x 1 chroma sampling
constexpr uint32_t kOptionSample444 = 0x2000;   // 1 x 1 sampling for every component

// ---- errors --------------------------------------------------------------------------------

// What a damaged file showed first while it was decoded.
enum JpegDamage : int { kNoDamage = 0, kDataEndsEarly, kCorruptData };

struct JpegErrorManager {
    jpeg_error_mgr pub;   // first: libjpeg sees only this part
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    const bool* hitEndOfData;   // decoding only: set by the source at the end of the stream
    JpegDamage damage;          // decoding only
};

[[noreturn]] void ExitWithText(j_common_ptr cinfo, const char* text) {
    auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    std::snprintf(err->message, sizeof(err->message), "%s", text);
    longjmp(err->jump, 1);
}

void ExitWithMessage(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    longjmp(err->jump, 1);
}

// Warnings that say the entropy-coded data itself is damaged; libjpeg goes on with what it
// can decode and fills the rest.
bool IsDamagedDataWarning(int code) {
    return code == JWRN_HIT_MARKER || code == JWRN_HUFF_BAD_CODE || code == JWRN_MUST_RESYNC;
}

// Damage noticed before the first scan has completed a row of blocks leaves nothing worth
// showing: such a file is refused, as is damage inside the header. Later damage is noted and
// the decode goes on, libjpeg filling what it cannot read.
void NoteDamage(j_common_ptr cinfo, JpegDamage damage) {
    auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (err->damage != kNoDamage) return;
    if (!cinfo->is_decompressor || d->input_scan_number < 1 ||
        (d->input_scan_number == 1 && d->input_iMCU_row == 0)) {
        ExitWithText(cinfo, damage == kDataEndsEarly ? "Premature end of JPEG file" : "Corrupt JPEG data");
    }
    err->damage = damage;
}

// Warnings about stray bytes between segments (many cameras write some) and the like are
// tolerated silently; data that runs out early or is corrupt is noted as damage.
void EmitMessage(j_common_ptr cinfo, int level) {
    auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    if (level >= 0) return;
    if (err->hitEndOfData && *err->hitEndOfData) {
        NoteDamage(cinfo, kDataEndsEarly);
    } else if (IsDamagedDataWarning(cinfo->err->msg_code)) {
        NoteDamage(cinfo, kCorruptData);
    }
}

void IgnoreOutput(j_common_ptr) {}

void InstallErrorManager(j_common_ptr cinfo, JpegErrorManager& err, const bool* hitEndOfData) {
    cinfo->err = jpeg_std_error(&err.pub);
    err.pub.error_exit = ExitWithMessage;
    err.pub.emit_message = EmitMessage;
    err.pub.output_message = IgnoreOutput;
    err.message[0] = '\0';
    err.hitEndOfData = hitEndOfData;
    err.damage = kNoDamage;
}

// ---- source: buffered reads through RasterFile::Read --------------------------------------

struct JpegSource {
    jpeg_source_mgr pub;   // first
    RasterFile* file;
    bool startOfFile;
    bool hitEnd;
    JOCTET buffer[kStreamBufferSize];
};

void InitSource(j_decompress_ptr cinfo) {
    reinterpret_cast<JpegSource*>(cinfo->src)->startOfFile = true;
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<JpegSource*>(cinfo->src);
    const size_t n = src->file->Read(src->buffer, 1, kStreamBufferSize);
    if (n == 0) {
        if (src->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        // An end marker lets libjpeg finish; a file that only lacks its end marker after
        // complete data loads as it is, real truncation is noted by EmitMessage.
        src->hitEnd = true;
        src->buffer[0] = JOCTET(0xFF);
        src->buffer[1] = JOCTET(JPEG_EOI);
        src->pub.next_input_byte = src->buffer;
        src->pub.bytes_in_buffer = 2;
        return TRUE;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = n;
    src->startOfFile = false;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    auto* src = reinterpret_cast<JpegSource*>(cinfo->src);
    if (count <= 0) return;
    while (count > long(src->pub.bytes_in_buffer)) {
        count -= long(src->pub.bytes_in_buffer);
        FillInputBuffer(cinfo);
    }
    src->pub.next_input_byte += count;
    src->pub.bytes_in_buffer -= size_t(count);
}

void TermSource(j_decompress_ptr) {}

void InstallSource(JpegSource& src, RasterFile* file) {
    src.pub.init_source = InitSource;
    src.pub.fill_input_buffer = FillInputBuffer;
    src.pub.skip_input_data = SkipInputData;
    src.pub.resync_to_restart = jpeg_resync_to_restart;
    src.pub.term_source = TermSource;
    src.pub.bytes_in_buffer = 0;
    src.pub.next_input_byte = nullptr;
    src.file = file;
    src.startOfFile = true;
    src.hitEnd = false;
}

// Stops decoding of files with absurd scan counts.
// libjpeg calls it for every row of blocks it reads and every batch of rows it hands out, so
// it is also where a decode stops once the image's escape flag is set.
struct ScanGuard {
    jpeg_progress_mgr pub;   // first
    const RasterImage* image;
};

void CheckScanCount(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->is_decompressor && d->input_scan_number > kMaxScans) ExitWithText(cinfo, "JPEG file has too many scans");
    const auto* guard = reinterpret_cast<const ScanGuard*>(cinfo->progress);
    if (guard->image && guard->image->IsEscaped()) ExitWithText(cinfo, RASTER_DECODE_STOPPED);
}

// ---- destination: a fixed buffer written through RasterFile::Write ------------------------

struct JpegDestination {
    jpeg_destination_mgr pub;   // first
    RasterFile* file;
    JOCTET buffer[kStreamBufferSize];
};

void InitDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<JpegDestination*>(cinfo->dest);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kStreamBufferSize;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<JpegDestination*>(cinfo->dest);
    if (dest->file->Write(dest->buffer, 1, kStreamBufferSize) != kStreamBufferSize) {
        ERREXIT(cinfo, JERR_FILE_WRITE);
    }
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kStreamBufferSize;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<JpegDestination*>(cinfo->dest);
    const size_t n = kStreamBufferSize - dest->pub.free_in_buffer;
    if (n > 0 && dest->file->Write(dest->buffer, 1, n) != n) ERREXIT(cinfo, JERR_FILE_WRITE);
}

void InstallDestination(JpegDestination& dest, RasterFile* file) {
    dest.pub.init_destination = InitDestination;
    dest.pub.empty_output_buffer = EmptyOutputBuffer;
    dest.pub.term_destination = TermDestination;
    dest.file = file;
}

// ---- decoding ------------------------------------------------------------------------------

struct DecodeJob {
    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
    JpegSource src;
    ScanGuard guard;
    RasterImage* image;
    PictureMetadata* metadata;   // null: the metadata segments are not kept
    uint8_t* cmykRow;        // malloc, CMYK files only
    bool created;            // cinfo needs jpeg_destroy_decompress
    bool imageFailed;        // the image refused the frame; its own text is the error
    bool ok;
};

int32_t DpiFromDensity(uint8_t unit, uint16_t density) {
    if (unit == 2) return int32_t((uint32_t(density) * 254u + 50u) / 100u);   // dots per cm
    return int32_t(density);
}

// CMYK rows as libjpeg hands them out: files with an Adobe marker hold inverted inks
// (255 = no ink), which is what "channel x K / 255" expects; plain CMYK is inverted first.
void CmykRowToBgr(const uint8_t* cmyk, uint8_t* bgr, uint32_t width, bool inverted) {
    for (uint32_t x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        uint32_t c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c; m = 255 - m; y = 255 - y; k = 255 - k;
        }
        bgr[0] = uint8_t(y * k / 255);
        bgr[1] = uint8_t(m * k / 255);
        bgr[2] = uint8_t(c * k / 255);
    }
}

// Points rows at the next batch of picture rows (top first) from row first on; returns
// how many. The storage is bottom-up, so picture row r is stored row height - 1 - r.
uint32_t NextRowBatch(RasterImage* image, uint32_t first, uint32_t height, JSAMPROW* rows) {
    const uint32_t batch = (height - first) < uint32_t(kRowBatch) ? height - first : uint32_t(kRowBatch);
    for (uint32_t i = 0; i < batch; ++i) rows[i] = image->RowPointer(height - 1 - (first + i));
    return batch;
}

void ReadDirectRows(DecodeJob* job) {
    j_decompress_ptr cinfo = &job->cinfo;
    RasterImage* image = job->image;
    const uint32_t height = cinfo->output_height;
    JSAMPROW rows[kRowBatch];
    while (cinfo->output_scanline < height) {
        const uint32_t batch = NextRowBatch(image, cinfo->output_scanline, height, rows);
        jpeg_read_scanlines(cinfo, rows, batch);
    }
}

void ReadCmykRows(DecodeJob* job) {
    j_decompress_ptr cinfo = &job->cinfo;
    const uint32_t height = cinfo->output_height;
    const bool inverted = cinfo->saw_Adobe_marker;
    JSAMPROW row = job->cmykRow;
    while (cinfo->output_scanline < height) {
        const uint32_t y = cinfo->output_scanline;
        if (jpeg_read_scanlines(cinfo, &row, 1) != 1) continue;
        CmykRowToBgr(job->cmykRow, job->image->RowPointer(height - 1 - y), cinfo->output_width, inverted);
    }
}

// Frees what the job holds; safe to call twice.
void ReleaseDecodeJob(DecodeJob* job) {
    if (job->created) jpeg_destroy_decompress(&job->cinfo);
    job->created = false;
    std::free(job->cmykRow);
    job->cmykRow = nullptr;
}

bool Refuse(JpegErrorManager& err, const char* text) {
    std::snprintf(err.message, sizeof(err.message), "%.*s", int(sizeof(err.message) - 1), text);
    return false;
}

// Asks libjpeg to keep the segments that may carry metadata.
void KeepMetadataSegments(j_decompress_ptr cinfo) {
    for (int marker : {kJpegApp1, kJpegApp2, kJpegApp13}) jpeg_save_markers(cinfo, marker, kMaxSegmentBytes);
}

// The metadata of the segments libjpeg kept; calls no libjpeg function, so no longjmp can
// leave it halfway.
void CollectMetadata(j_decompress_ptr cinfo, PictureMetadata& metadata) {
    JpegMetadataCollector collector;
    for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next) collector.Add(m->marker, m->data, m->data_length);
    collector.Finish(metadata);
}

// The decode proper; libjpeg errors leave it by longjmp into RunDecode.
bool DecodeSteps(DecodeJob* job, RasterFile* file) {
    j_decompress_ptr cinfo = &job->cinfo;
    jpeg_create_decompress(cinfo);
    job->created = true;
    // libjpeg's own work buffers (the whole coefficient set of a progressive file) obey
    // the same limit as the picture.
    cinfo->mem->max_memory_to_use = long(RasterImage::MemoryLimit());
    InstallSource(job->src, file);
    cinfo->src = &job->src.pub;
    job->guard.pub.progress_monitor = CheckScanCount;
    job->guard.image = job->image;
    cinfo->progress = &job->guard.pub;

    if (job->metadata) KeepMetadataSegments(cinfo);
    jpeg_read_header(cinfo, TRUE);
    if (job->metadata) CollectMetadata(cinfo, *job->metadata);
    uint32_t bpp = 24;
    bool cmyk = false;
    switch (cinfo->jpeg_color_space) {
        case JCS_GRAYSCALE:
            cinfo->out_color_space = JCS_GRAYSCALE;
            bpp = 8;
            break;
        case JCS_CMYK:
        case JCS_YCCK:
            cinfo->out_color_space = JCS_CMYK;
            cmyk = true;
            break;
        default:
            cinfo->out_color_space = JCS_EXT_BGR;
            break;
    }
    jpeg_calc_output_dimensions(cinfo);
    const uint32_t width = cinfo->output_width;
    const uint32_t height = cinfo->output_height;
    if (!RasterImage::FitsMemoryLimit(width, height, bpp)) return Refuse(job->err, RasterTooLargeFor(width, height, bpp).text);

    RasterImage* image = job->image;
    if (!image->Create(width, height, bpp, RASTER_FORMAT_JPG)) {
        job->imageFailed = true;
        return false;
    }
    if (bpp == 8) image->SetGrayPalette();
    if (cinfo->saw_JFIF_marker && (cinfo->density_unit == 1 || cinfo->density_unit == 2)) {
        image->SetXDpi(DpiFromDensity(cinfo->density_unit, cinfo->X_density));
        image->SetYDpi(DpiFromDensity(cinfo->density_unit, cinfo->Y_density));
    }
    if (cmyk) {
        job->cmykRow = static_cast<uint8_t*>(std::malloc(size_t(width) * 4));
        if (!job->cmykRow) return Refuse(job->err, "RasterImage::Create can't allocate memory");
    }

    KeepCoefficientsInBlockPool(*cinfo);
    jpeg_start_decompress(cinfo);
    if (cmyk) ReadCmykRows(job);
    else ReadDirectRows(job);
    jpeg_finish_decompress(cinfo);
    return true;
}

// Only the heap-held POD job crosses the setjmp; this frame has no other state.
bool RunDecode(DecodeJob* job, RasterFile* file) {
    InstallErrorManager(reinterpret_cast<j_common_ptr>(&job->cinfo), job->err, &job->src.hitEnd);
    if (setjmp(job->err.jump)) {
        ReleaseDecodeJob(job);
        return false;
    }
    job->ok = DecodeSteps(job, file);
    ReleaseDecodeJob(job);
    return job->ok;
}

// SOI and the first byte of the next marker.
constexpr size_t kJpegSignatureSize = 3;

bool IsJpegSignature(const uint8_t* bytes, size_t count) {
    return count >= kJpegSignatureSize && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

bool HasJpegSignature(RasterFile* file) {
    uint8_t signature[kJpegSignatureSize];
    const int64_t start = file->Tell();
    const bool read = ReadExact(file, signature, sizeof(signature));
    file->Seek(start, RASTER_SEEK_SET);
    return read && IsJpegSignature(signature, sizeof(signature));
}

// ---- encoding ------------------------------------------------------------------------------

struct EncodeJob {
    jpeg_compress_struct cinfo;
    JpegErrorManager err;
    JpegDestination dest;
    RasterImage* image;
    const uint8_t* segments;   // whole marker segments written after the JFIF header
    size_t segmentBytes;
    uint8_t* greyRow;        // malloc, palette images only
    uint8_t greyOf[256];     // palette index -> grey level
    bool created;
    bool ok;
};

uint8_t QualityByte(float quality) {
    const float q = quality + 0.5f;
    if (!(q > 0.0f)) return 0;   // also NaN
    if (q >= 255.0f) return 255;
    return uint8_t(q);
}

uint16_t DensityOf(int32_t dpi) {
    if (dpi < 1) return 1;
    return dpi > 65535 ? uint16_t(65535) : uint16_t(dpi);
}

void SetSampling(j_compress_ptr cinfo, uint32_t options) {
    int h = 2, v = 2;   // libjpeg's own default
    if (options & kOptionSample444) {
        h = 1;
        v = 1;
    } else if (options & kOptionSample422) {
        h = 2;
        v = 1;
    }
    cinfo->comp_info[0].h_samp_factor = h;
    cinfo->comp_info[0].v_samp_factor = v;
    for (int i = 1; i < cinfo->num_components; ++i) {
        cinfo->comp_info[i].h_samp_factor = 1;
        cinfo->comp_info[i].v_samp_factor = 1;
    }
}

// Grey levels of a palette row of 1, 4 or 8 bits per pixel.
void PaletteRowToGrey(const uint8_t* row, uint32_t bpp, uint32_t width, const uint8_t* greyOf, uint8_t* out) {
    for (uint32_t x = 0; x < width; ++x) {
        uint8_t index;
        if (bpp == 8) index = row[x];
        else if (bpp == 4) index = uint8_t((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F);
        else index = uint8_t((row[x >> 3] >> (7 - (x & 7))) & 1);
        out[x] = greyOf[index];
    }
}

void WriteColourRows(EncodeJob* job) {
    j_compress_ptr cinfo = &job->cinfo;
    RasterImage* image = job->image;
    const uint32_t height = cinfo->image_height;
    JSAMPROW rows[kRowBatch];
    while (cinfo->next_scanline < height) {
        const uint32_t batch = NextRowBatch(image, cinfo->next_scanline, height, rows);
        jpeg_write_scanlines(cinfo, rows, batch);
    }
}

void WriteGreyRows(EncodeJob* job) {
    j_compress_ptr cinfo = &job->cinfo;
    RasterImage* image = job->image;
    const uint32_t height = cinfo->image_height;
    JSAMPROW row = job->greyRow;
    while (cinfo->next_scanline < height) {
        PaletteRowToGrey(image->RowPointer(height - 1 - cinfo->next_scanline), image->GetBpp(),
                         cinfo->image_width, job->greyOf, job->greyRow);
        jpeg_write_scanlines(cinfo, &row, 1);
    }
}

void ReleaseEncodeJob(EncodeJob* job) {
    if (job->created) jpeg_destroy_compress(&job->cinfo);
    job->created = false;
    std::free(job->greyRow);
    job->greyRow = nullptr;
}

// The caller's marker segments, each through libjpeg; a segment whose framing runs past the
// bytes ends them.
void WriteHeaderSegments(EncodeJob* job) {
    const uint8_t* bytes = job->segments;
    size_t at = 0;
    while (bytes && at + 4 <= job->segmentBytes && bytes[at] == 0xFF) {
        const size_t length = (size_t(bytes[at + 2]) << 8) | bytes[at + 3];
        if (length < 2 || at + 2 + length > job->segmentBytes) break;
        jpeg_write_marker(&job->cinfo, bytes[at + 1], bytes + at + 4, unsigned(length - 2));
        at += 2 + length;
    }
}

bool EncodeSteps(EncodeJob* job, RasterFile* file) {
    j_compress_ptr cinfo = &job->cinfo;
    RasterImage* image = job->image;
    const bool grey = image->GetBpp() != 24;
    jpeg_create_compress(cinfo);
    job->created = true;
    InstallDestination(job->dest, file);
    cinfo->dest = &job->dest.pub;

    cinfo->image_width = image->GetWidth();
    cinfo->image_height = image->GetHeight();
    cinfo->input_components = grey ? 1 : 3;
    cinfo->in_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, QualityByte(image->GetJpegQuality()), TRUE);
    uint32_t options = image->GetCodecOption(RASTER_FORMAT_JPG);
    if (options == 0) options = RASTER_JPEG_DEFAULT_OPTIONS;
    SetSampling(cinfo, options);
    cinfo->write_JFIF_header = TRUE;
    cinfo->density_unit = 1;
    cinfo->X_density = DensityOf(image->GetXDpi());
    cinfo->Y_density = DensityOf(image->GetYDpi());

    if (grey) {
        job->greyRow = static_cast<uint8_t*>(std::malloc(image->GetWidth()));
        if (!job->greyRow) return Refuse(job->err, "RasterImage::Create can't allocate memory");
        const RasterRgbQuad* palette = image->GetPalette();
        for (uint32_t i = 0; i < 256; ++i) job->greyOf[i] = i < image->GetPaletteSize() ? palette[i].rgbRed : 0;
    }
    jpeg_start_compress(cinfo, TRUE);
    WriteHeaderSegments(job);
    if (grey) WriteGreyRows(job);
    else WriteColourRows(job);
    jpeg_finish_compress(cinfo);
    return true;
}

bool RunEncode(EncodeJob* job, RasterFile* file) {
    InstallErrorManager(reinterpret_cast<j_common_ptr>(&job->cinfo), job->err, nullptr);
    if (setjmp(job->err.jump)) {
        ReleaseEncodeJob(job);
        return false;
    }
    job->ok = EncodeSteps(job, file);
    ReleaseEncodeJob(job);
    return job->ok;
}

}  // namespace

bool RasterImageJPG::Decode(RasterFile* file) {
    if (!file) {
        SetLastError("null file handler");
        return false;
    }
    if (!HasJpegSignature(file)) {
        SetLastError("Not a JPEG file");
        return false;
    }
    m_foundOrientation = RASTER_EXIF_ORIENTATION_UPRIGHT;
    int orientation = RASTER_EXIF_ORIENTATION_UPRIGHT;
    if (m_upright != RasterUpright::AsStored) {
        // Only the header segments are read; the decode starts again from the SOI marker.
        const int64_t start = file->Tell();
        orientation = ExifOrientationOrUpright(ReadExifOrientation(file));
        if (start < 0 || !file->Seek(start, RASTER_SEEK_SET)) {
            SetLastError("Not a JPEG file");
            return false;
        }
    }
    ResetPictureFields(*this);
    // The job holds two stream buffers; keep it off the stack.
    auto* job = static_cast<DecodeJob*>(std::calloc(1, sizeof(DecodeJob)));
    if (!job) {
        SetLastError("RasterImage::Create can't allocate memory");
        return false;
    }
    job->image = this;
    job->metadata = m_metadata;
    const bool ok = RunDecode(job, file);
    if (!ok) {
        if (m_metadata) m_metadata->Clear();
        if (!job->imageFailed) SetLastError(job->err.message[0] ? job->err.message : "JPEG decode failed");
        Destroy();
    } else if (job->err.damage != kNoDamage) {
        SetLoadWarning(job->err.damage == kDataEndsEarly ? kDataEndsEarlyWarning : kCorruptDataWarning);
    }
    std::free(job);
    if (!ok) return false;
    m_foundOrientation = orientation;
    // A turn that fails for lack of memory leaves the picture as stored: still a success.
    if (m_upright == RasterUpright::Turn) ApplyExifOrientation(*this, orientation);
    return true;
}

bool RasterImageJPG::Encode(RasterFile* file) {
    if (!CanEncode(*this, file)) return false;
    if (GetBpp() != 24 && !IsGrayPalette()) {
        SetLastError("JPEG can save only RGB or GreyScale images");
        return false;
    }
    auto* job = static_cast<EncodeJob*>(std::calloc(1, sizeof(EncodeJob)));
    if (!job) {
        SetLastError("RasterImage::Create can't allocate memory");
        return false;
    }
    job->image = this;
    job->segments = m_headerSegments;
    job->segmentBytes = m_headerSegmentBytes;
    const bool ok = RunEncode(job, file);
    if (!ok) SetLastError(job->err.message[0] ? job->err.message : "JPEG encode failed");
    std::free(job);
    return ok;
}

bool RasterImageJPG::Sniff(const uint8_t* head, size_t count, uint64_t) { return IsJpegSignature(head, count); }
