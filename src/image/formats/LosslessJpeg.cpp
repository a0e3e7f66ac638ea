#include "image/formats/LosslessJpeg.h"

#include <turbojpeg.h>

#include <algorithm>
#include <array>

#include "image/FileBeside.h"
#include "image/PictureMetadata.h"
#include "image/formats/JpegBlockMover.h"
#include "image/formats/RasterJpegThumbnail.h"
#include "image/metadata/ExifThumbnail.h"
#include "image/metadata/MetadataBlocks.h"
#include "image/metadata/MetadataWriter.h"

namespace {

// TurboJPEG's transform for each layout 1..8.
constexpr std::array<int, 8> kTurboOps = {TJXOP_NONE,      TJXOP_HFLIP, TJXOP_ROT180, TJXOP_VFLIP,
                                          TJXOP_TRANSPOSE, TJXOP_ROT90, TJXOP_TRANSVERSE, TJXOP_ROT270};

// The JFIF APP0 segment: marker, length 16, "JFIF\0", version 1.01, units, densities, no
// thumbnail. The units byte sits at kJfifUnitsAt counted from the marker.
constexpr std::array<uint8_t, 18> kJfifSegment = {0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00,
                                                  0x01, 0x01, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00};
constexpr size_t kJfifUnitsAt = 11;
constexpr uint8_t kJfifDotsPerInch = 1;
constexpr size_t kSoiBytes = 2;
constexpr uint8_t kStartOfScan = 0xDA;
constexpr std::array<uint8_t, 2> kEndOfImage = {0xFF, 0xD9};
constexpr int kCmykComponents = 4;
constexpr uint16_t kMaxDensity = 65535;

uint16_t DensityOf(int32_t dpi) { return uint16_t(std::clamp<int32_t>(dpi, 1, kMaxDensity)); }

bool HasJfifAt(const std::vector<uint8_t>& file, size_t at) {
    return file.size() >= at + kJfifSegment.size() && file[at] == 0xFF && file[at + 1] == 0xE0 &&
           std::equal(kJfifSegment.begin() + 4, kJfifSegment.begin() + 9, file.begin() + long(at + 4));
}

// Writes the print dpi into the file's JFIF header, adding one after SOI when it has none (a
// CMYK file carries Adobe's header instead and is left as it is).
void SetJfifDensity(std::vector<uint8_t>& file, int32_t xDpi, int32_t yDpi, int components) {
    if (!HasJfifAt(file, kSoiBytes)) {
        if (components == kCmykComponents || file.size() < kSoiBytes) return;
        file.insert(file.begin() + kSoiBytes, kJfifSegment.begin(), kJfifSegment.end());
    }
    const size_t units = kSoiBytes + kJfifUnitsAt;
    const uint16_t x = DensityOf(xDpi);
    const uint16_t y = DensityOf(yDpi);
    file[units] = kJfifDotsPerInch;
    file[units + 1] = uint8_t(x >> 8);
    file[units + 2] = uint8_t(x);
    file[units + 3] = uint8_t(y >> 8);
    file[units + 4] = uint8_t(y);
}

LosslessJpegResult Refusal(LosslessJpegStatus status, std::string reason) {
    LosslessJpegResult result;
    result.status = status;
    result.reason = std::move(reason);
    return result;
}

LosslessJpegStatus StatusOf(LosslessVerdict verdict) {
    switch (verdict) {
        case LosslessVerdict::Lossless: return LosslessJpegStatus::Written;
        case LosslessVerdict::NeedsTrim: return LosslessJpegStatus::NeedsTrim;
        case LosslessVerdict::CornerOffGrid: return LosslessJpegStatus::CornerOffGrid;
        case LosslessVerdict::Empty: return LosslessJpegStatus::Empty;
    }
    return LosslessJpegStatus::Failed;
}

// Reads data's header facts; false with refusal saying why there are none.
bool ReadFactsOrRefuse(const uint8_t* data, size_t size, JpegFrameFacts& facts, LosslessJpegResult& refusal) {
    std::string reason;
    if (ReadJpegFrameFacts(data, size, facts, reason)) return true;
    const bool notJpeg = size < 2 || data[0] != 0xFF || data[1] != 0xD8;
    refusal = Refusal(notJpeg ? LosslessJpegStatus::NotJpeg : LosslessJpegStatus::Damaged, reason);
    return false;
}

bool IsEmpty(const RasterRect& rect) { return rect.left == 0 && rect.top == 0 && rect.right == 0 && rect.bottom == 0; }

// The print dpi written: the request's, else the source's turned with the picture.
void WrittenDpi(const JpegFrameFacts& source, const LosslessJpegRequest& request, int32_t& xDpi, int32_t& yDpi) {
    xDpi = source.xDpi > 0 ? source.xDpi : RASTER_DEFAULT_DPI;
    yDpi = source.yDpi > 0 ? source.yDpi : RASTER_DEFAULT_DPI;
    if (LayoutSwapsSides(request.layout)) std::swap(xDpi, yDpi);
    if (request.xDpi > 0) xDpi = request.xDpi;
    if (request.yDpi > 0) yDpi = request.yDpi;
}

// Where the first scan's marker starts (0 when the header has none).
size_t FirstScanAt(const std::vector<uint8_t>& file) {
    size_t at = kSoiBytes;
    while (at + 4 <= file.size() && file[at] == 0xFF) {
        if (file[at + 1] == kStartOfScan) return at;
        at += 2 + ((size_t(file[at + 2]) << 8) | file[at + 3]);
    }
    return 0;
}

// EmbedMetadata of file, where exiv2 is handed the header and the first scan's header alone,
// not the scans: it copies whatever file it is given, whole, more than once.
bool EmbedMetadataInHeader(std::vector<uint8_t>& file, const MetadataTarget& target, PictureMetadata& metadata) {
    const size_t scans = FirstScanAt(file);
    if (scans == 0 || scans + 4 > file.size()) return EmbedMetadata(file, target, metadata);
    const size_t scanHeader = 2 + ((size_t(file[scans + 2]) << 8) | file[scans + 3]);
    if (scans + scanHeader > file.size()) return EmbedMetadata(file, target, metadata);
    std::vector<uint8_t> header(file.begin(), file.begin() + long(scans + scanHeader));
    header.insert(header.end(), kEndOfImage.begin(), kEndOfImage.end());
    if (!EmbedMetadata(header, target, metadata)) return false;
    const size_t written = FirstScanAt(header);
    if (written == 0) return false;
    if (written > scans) {
        file.insert(file.begin(), header.begin(), header.begin() + long(written - scans));
        std::copy(header.begin() + long(written - scans), header.begin() + long(written), file.begin() + long(written - scans));
    } else {
        file.erase(file.begin(), file.begin() + long(scans - written));
        std::copy(header.begin(), header.begin() + long(written), file.begin());
    }
    return true;
}

}  // namespace

LosslessJpegResult CheckLosslessJpeg(const JpegFrameFacts& source, const LosslessJpegRequest& request) {
    if (std::string reason = LosslessUnsupportedReason(source); !reason.empty()) {
        LosslessJpegResult result = Refusal(LosslessJpegStatus::Unsupported, std::move(reason));
        result.source = source;
        return result;
    }
    const RasterRect whole{0, 0, int32_t(source.size.width), int32_t(source.size.height)};
    const RasterRect cut = IsEmpty(request.storedCut) ? whole : request.storedCut;
    const int layout = request.layout >= 1 && request.layout <= 8 ? request.layout : kLayoutUpright;
    LosslessJpegResult result;
    result.source = source;
    result.layout = PlanLosslessCut(ShownRectOf(cut, source.size, layout), source.size, source.grid, layout);
    result.status = StatusOf(result.layout.verdict);
    if (result.status == LosslessJpegStatus::NeedsTrim && request.allowTrim) result.status = LosslessJpegStatus::Written;
    if (!result.Written()) result.reason = LosslessVerdictText(result.layout);
    return result;
}

LosslessJpegTransformer::LosslessJpegTransformer() : m_transformer(tjInitTransform()) {}

LosslessJpegTransformer::~LosslessJpegTransformer() {
    if (m_transformer) tjDestroy(m_transformer);
    tjFree(m_buffer);
}

LosslessJpegResult LosslessJpegTransformer::Transform(const uint8_t* source, size_t size,
                                                      const LosslessJpegRequest& request, std::vector<uint8_t>& out) {
    JpegFrameFacts facts;
    LosslessJpegResult result;
    if (!ReadFactsOrRefuse(source, size, facts, result)) return result;
    result = CheckLosslessJpeg(facts, request);
    if (!result.Written()) return result;
    RasterImage preview;
    if (!MoveBlocks(source, size, request, result, out, request.keepMetadata ? &preview : nullptr)) return result;
    int32_t xDpi = 0;
    int32_t yDpi = 0;
    WrittenDpi(facts, request, xDpi, yDpi);
    SetJfifDensity(out, xDpi, yDpi, facts.components);
    if (request.keepMetadata) WriteMetadata(source, size, request, preview, result, out);
    return result;
}

bool LosslessJpegTransformer::MoveBlocks(const uint8_t* source, size_t size, const LosslessJpegRequest& request,
                                         LosslessJpegResult& result, std::vector<uint8_t>& out, RasterImage* preview) {
    JpegBlockMove move;
    move.eighthPreview = preview;
    move.layout = request.layout >= 1 && request.layout <= 8 ? request.layout : kLayoutUpright;
    move.blockCrop = result.layout.blockCrop;
    move.progressive = result.source.Progressive();
    std::string reason;
    switch (MoveJpegBlocks(source, size, move, out, reason)) {
        case JpegBlockOutcome::Moved: return true;
        case JpegBlockOutcome::Damaged: {
            const JpegFrameFacts facts = result.source;
            result = Refusal(LosslessJpegStatus::Damaged, "damaged: " + reason);
            result.source = facts;
            return false;
        }
        case JpegBlockOutcome::Failed: break;   // TurboJPEG's general transform may still take it
    }
    return MoveBlocksGenerally(source, size, request, result, out);
}

bool LosslessJpegTransformer::MoveBlocksGenerally(const uint8_t* source, size_t size,
                                                  const LosslessJpegRequest& request, LosslessJpegResult& result,
                                                  std::vector<uint8_t>& out) {
    if (!m_transformer) {
        result = Refusal(LosslessJpegStatus::Failed, "TurboJPEG could not be started");
        return false;
    }
    const RasterRect& crop = result.layout.blockCrop;
    tjtransform transform{};
    transform.r = {crop.left, crop.top, crop.right - crop.left, crop.bottom - crop.top};
    transform.op = kTurboOps[size_t(request.layout >= 1 && request.layout <= 8 ? request.layout - 1 : 0)];
    transform.options = TJXOPT_CROP | TJXOPT_COPYNONE | (result.source.Progressive() ? TJXOPT_PROGRESSIVE : 0);
    // The worst case for the kept size, so that TurboJPEG never has to grow the buffer.
    const unsigned long needed = tjBufSize(transform.r.w, transform.r.h, TJSAMP_444);
    if (needed == static_cast<unsigned long>(-1)) {
        result = Refusal(LosslessJpegStatus::Failed, "the picture is too large");
        return false;
    }
    if (m_capacity < needed) {
        tjFree(m_buffer);
        m_buffer = tjAlloc(int(std::min<unsigned long>(needed, 0x7FFFFFFF)));
        m_capacity = m_buffer ? needed : 0;
        if (!m_buffer) {
            result = Refusal(LosslessJpegStatus::Failed, "out of memory");
            return false;
        }
    }
    unsigned long written = m_capacity;
    if (tjTransform(m_transformer, source, size, 1, &m_buffer, &written, &transform, TJFLAG_NOREALLOC) != 0) {
        const bool damaged = tjGetErrorCode(m_transformer) == TJERR_WARNING;
        const JpegFrameFacts facts = result.source;
        result = Refusal(damaged ? LosslessJpegStatus::Damaged : LosslessJpegStatus::Failed,
                         std::string(damaged ? "damaged: " : "") + tjGetErrorStr2(m_transformer));
        result.source = facts;
        return false;
    }
    out.assign(m_buffer, m_buffer + written);
    return true;
}

void LosslessJpegTransformer::WriteMetadata(const uint8_t* source, size_t size, const LosslessJpegRequest& request,
                                            const RasterImage& preview, LosslessJpegResult& result,
                                            std::vector<uint8_t>& out) {
    PictureMetadata metadata;
    ReadJpegMetadata(source, size, metadata);
    if (metadata.Empty()) {
        result.metadataDropped = metadata.dropped;
        return;
    }
    MetadataTarget target;
    target.width = uint32_t(result.layout.shown.right - result.layout.shown.left);
    target.height = uint32_t(result.layout.shown.bottom - result.layout.shown.top);
    WrittenDpi(result.source, request, target.xDpi, target.yDpi);
    // The thumbnail comes from the blocks' DC terms when they give enough pixels, else from a
    // decode reduced in the DCT domain; never from the whole picture.
    const uint32_t side = 2 * kExifThumbnailSide;
    const uint32_t minWidth = std::min(side, target.width);
    const uint32_t minHeight = std::min(side, target.height);
    RasterImage decoded;
    if (preview.IsValid() && preview.GetWidth() >= minWidth && preview.GetHeight() >= minHeight) {
        target.thumbnailSource = &preview;
    } else if (!metadata.exif.empty() && DecodeJpegReduced(out.data(), out.size(), minWidth, minHeight, decoded)) {
        target.thumbnailSource = &decoded;
    }
    if (!EmbedMetadataInHeader(out, target, metadata)) metadata.dropped = true;
    result.metadataDropped = metadata.dropped;
}

LosslessJpegResult SaveLosslessJpeg(const std::string& sourcePath, const LosslessJpegRequest& request,
                                    const std::string& targetPath) {
    std::vector<uint8_t> source;
    if (!ReadWholeFile(sourcePath.c_str(), source)) {
        return Refusal(LosslessJpegStatus::Failed, sourcePath + ": cannot be read");
    }
    std::vector<uint8_t> file;
    LosslessJpegTransformer transformer;
    LosslessJpegResult result = transformer.Transform(source.data(), source.size(), request, file);
    if (!result.Written()) return result;
    if (std::string error; !WriteFileBeside(targetPath, file.data(), file.size(), &error)) {
        result.status = LosslessJpegStatus::Failed;
        result.reason = targetPath + ": " + error;
    }
    return result;
}

LosslessJpegResult CheckLosslessJpegFile(const std::string& path, const LosslessJpegRequest& request) {
    std::vector<uint8_t> source;
    if (!ReadWholeFile(path.c_str(), source)) return Refusal(LosslessJpegStatus::Failed, path + ": cannot be read");
    JpegFrameFacts facts;
    LosslessJpegResult refusal;
    if (!ReadFactsOrRefuse(source.data(), source.size(), facts, refusal)) return refusal;
    return CheckLosslessJpeg(facts, request);
}
