#include "image/formats/RasterImageJAS.h"

#include <cstdio>

#include "image/formats/RasterFormatSupport.h"
#include "image/formats/RasterJasReaders.h"

namespace {

constexpr size_t kSignatureBytes = 12;
constexpr uint8_t kJp2Signature[kSignatureBytes] = {0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50,
                                                    0x20, 0x20, 0x0D, 0x0A, 0x87, 0x0A};
constexpr uint8_t kCodestreamSignature[4] = {0xFF, 0x4F, 0xFF, 0x51};  // SOC then SIZ
constexpr uint8_t kSunSignature[4] = {0x59, 0xA6, 0x6A, 0x95};

bool StartsWith(const uint8_t* bytes, size_t count, const uint8_t* signature, size_t n) {
    if (count < n) return false;
    for (size_t i = 0; i < n; ++i) {
        if (bytes[i] != signature[i]) return false;
    }
    return true;
}

bool IsPnmSpaceByte(uint8_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == '#';
}

// Looks at the first bytes and rewinds.
uint32_t PeekFamilyMember(RasterFile* file, int64_t start) {
    uint8_t bytes[kSignatureBytes] = {};
    const size_t count = file->Read(bytes, 1, sizeof(bytes));
    if (!file->Seek(start, RASTER_SEEK_SET)) return RASTER_FORMAT_UNKNOWN;
    return JasFormatFromSignature(bytes, count);
}

const char* FamilyMemberName(uint32_t type) {
    switch (type) {
        case RASTER_FORMAT_JP2: return "JP2";
        case RASTER_FORMAT_JPC: return "JPEG 2000 code stream";
        case RASTER_FORMAT_PGX: return "PGX";
        case RASTER_FORMAT_PNM: return "PNM";
        case RASTER_FORMAT_RAS: return "RAS";
        default: return "JPEG 2000/PNM/PGX/RAS";
    }
}

}  // namespace

uint32_t JasFormatFromSignature(const uint8_t* bytes, size_t count) {
    if (StartsWith(bytes, count, kJp2Signature, sizeof(kJp2Signature))) return RASTER_FORMAT_JP2;
    if (StartsWith(bytes, count, kCodestreamSignature, sizeof(kCodestreamSignature))) return RASTER_FORMAT_JPC;
    if (StartsWith(bytes, count, kSunSignature, sizeof(kSunSignature))) return RASTER_FORMAT_RAS;
    if (count >= 3 && bytes[0] == 'P' && bytes[1] == 'G' && (bytes[2] == ' ' || bytes[2] == '\t')) {
        return RASTER_FORMAT_PGX;
    }
    if (count >= 3 && bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '6' && IsPnmSpaceByte(bytes[2])) {
        return RASTER_FORMAT_PNM;
    }
    return RASTER_FORMAT_UNKNOWN;
}

bool RasterImageJAS::Decode(RasterFile* file) {
    if (!file) {
        SetLastError("null file handler");
        return false;
    }
    const int64_t start = file->Tell();
    const uint32_t found = PeekFamilyMember(file, start);
    uint32_t type = m_jasType;
    // The ".j2k" extension is used for box files and bare code streams alike, so the two
    // JPEG 2000 forms go by their content.
    const bool jpeg2000Asked = type == RASTER_FORMAT_JP2 || type == RASTER_FORMAT_JPC;
    if (type == RASTER_FORMAT_UNKNOWN || (jpeg2000Asked && (found == RASTER_FORMAT_JP2 || found == RASTER_FORMAT_JPC))) {
        type = found;
    }
    if (type == RASTER_FORMAT_UNKNOWN) {
        SetLastError("Decode: Unknown or wrong format");
        return false;
    }
    if (found != type) {
        char text[RASTER_ERROR_TEXT_SIZE];
        std::snprintf(text, sizeof(text), "%s: not a %s file", FamilyMemberName(type), FamilyMemberName(type));
        SetLastError(text);
        return false;
    }
    SetType(type);
    switch (type) {
        case RASTER_FORMAT_JP2: return DecodeJpeg2000(*this, file, false);
        case RASTER_FORMAT_JPC: return DecodeJpeg2000(*this, file, true);
        case RASTER_FORMAT_PGX: return DecodePgx(*this, file);
        case RASTER_FORMAT_PNM: return DecodePnm(*this, file);
        case RASTER_FORMAT_RAS: return DecodeSunRaster(*this, file);
        default:
            SetLastError("Decode: Unknown or wrong format");
            return false;
    }
}

bool RasterImageJAS::Encode(RasterFile*) {
    return RasterFormatNotWritable(*this, FamilyMemberName(m_jasType));
}

uint32_t RasterImageJAS::SniffMember(const uint8_t* head, size_t count) { return JasFormatFromSignature(head, count); }
