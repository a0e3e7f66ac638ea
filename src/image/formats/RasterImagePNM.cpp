// Netpbm pictures: P1 (plain bits), P2 (plain grey), P3 (plain colour), P4 (raw bits),
// P5 (raw grey), P6 (raw colour); maxval up to 65535, 16-bit samples big-endian.
#include <cstdio>
#include <vector>

#include "image/formats/RasterImagePNM.h"

#include "image/formats/RasterDecodeSupport.h"
#include "image/formats/RasterFormatSupport.h"

namespace {

constexpr uint32_t kMaxPnmValue = 65535;
constexpr uint32_t kMaxPnmDimension = 0x7FFFFFFF;

bool IsPnmSpace(long c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Next byte with comments ('#' up to the end of the line) read as one line end.
long GetSkippingComment(RasterFile* file) {
    long c = file->GetC();
    if (c != '#') return c;
    do {
        c = file->GetC();
    } while (c != EOF && c != '\n' && c != '\r');
    return c == EOF ? EOF : '\n';
}

// First byte after white space and comments, or EOF.
long NextToken(RasterFile* file) {
    long c;
    do {
        c = GetSkippingComment(file);
    } while (IsPnmSpace(c));
    return c;
}

// Reads an unsigned decimal number of at most limit; the byte that ends it is consumed and
// returned in terminator. False when there is no number or it exceeds limit.
bool ReadNumber(RasterFile* file, uint32_t limit, uint32_t& value, long& terminator) {
    long c = NextToken(file);
    if (c < '0' || c > '9') return false;
    uint64_t v = 0;
    while (c >= '0' && c <= '9') {
        v = v * 10 + uint64_t(c - '0');
        if (v > limit) return false;
        c = GetSkippingComment(file);
    }
    value = uint32_t(v);
    terminator = c;
    return true;
}

struct PnmHeader {
    int kind = 0;  // 1..6
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t maxValue = 1;
};

bool IsBitmapKind(int kind) { return kind == 1 || kind == 4; }
bool IsColourKind(int kind) { return kind == 3 || kind == 6; }
bool IsRawKind(int kind) { return kind >= 4; }

bool ReadPnmHeader(RasterImage& image, RasterFile* file, PnmHeader& header) {
    uint8_t magic[2];
    if (!ReadExact(file, magic, 2) || magic[0] != 'P' || magic[1] < '1' || magic[1] > '6') {
        image.SetLastError("PNM: not a PNM file");
        return false;
    }
    header.kind = magic[1] - '0';
    long terminator = 0;
    if (!ReadNumber(file, kMaxPnmDimension, header.width, terminator) ||
        !ReadNumber(file, kMaxPnmDimension, header.height, terminator) ||
        (!IsBitmapKind(header.kind) && !ReadNumber(file, kMaxPnmValue, header.maxValue, terminator))) {
        image.SetLastError("PNM: bad header");
        return false;
    }
    // The last header number is followed by exactly one white space byte.
    if (!IsPnmSpace(terminator) || header.width == 0 || header.height == 0 || header.maxValue == 0) {
        image.SetLastError("PNM: bad header");
        return false;
    }
    return true;
}

uint32_t SamplesPerPixel(int kind) { return IsColourKind(kind) ? 3 : 1; }

// Checks the picture against the data left before anything is allocated.
bool EnoughPnmData(RasterImage& image, RasterFile* file, const PnmHeader& header) {
    const uint64_t samples = uint64_t(header.width) * header.height * SamplesPerPixel(header.kind);
    uint64_t needed;
    if (header.kind == 4) {
        needed = (uint64_t(header.width) + 7) / 8 * header.height;
    } else if (IsRawKind(header.kind)) {
        needed = samples * (header.maxValue > 255 ? 2 : 1);
    } else if (header.kind == 1) {
        needed = samples;  // plain bits need not be separated
    } else {
        needed = samples * 2 - 1;  // a digit and a separator per sample
    }
    if (RemainingBytes(file) < needed) {
        image.SetLastError("PNM: file too short for its picture size");
        return false;
    }
    return true;
}

bool CreatePnmImage(RasterImage& image, const PnmHeader& header) {
    if (IsBitmapKind(header.kind)) {
        if (!CreateDecodedImage(image, header.width, header.height, 1)) return false;
        // Bit 1 is black, as in the file, so raw rows can be copied unchanged.
        const RasterRgbQuad palette[2] = {{255, 255, 255, 0}, {0, 0, 0, 0}};
        image.SetPalette(palette, 2);
        return true;
    }
    if (IsColourKind(header.kind)) return CreateDecodedImage(image, header.width, header.height, 24);
    return CreateDecodedImage(image, header.width, header.height, 8, true);
}

// Stores the samples of one picture row (already scaled to 8 bits).
void PutPnmRow(RasterImage& image, uint32_t y, const uint8_t* samples, int kind) {
    const uint32_t width = image.GetWidth();
    uint8_t* row = image.RowPointer(StoredRow(image, y));
    if (IsColourKind(kind)) {
        for (uint32_t x = 0; x < width; ++x, samples += 3, row += 3) {
            row[0] = samples[2];
            row[1] = samples[1];
            row[2] = samples[0];
        }
    } else {
        for (uint32_t x = 0; x < width; ++x) row[x] = samples[x];
    }
}

bool ReadRawPnm(RasterImage& image, RasterFile* file, const PnmHeader& header) {
    const uint32_t width = header.width;
    if (header.kind == 4) {
        const uint32_t rowBytes = (width + 7) / 8;
        for (uint32_t y = 0; y < header.height; ++y) {
            if (!ReadExact(file, image.RowPointer(StoredRow(image, y)), rowBytes)) return false;
        }
        return true;
    }
    const size_t samplesPerRow = size_t(width) * SamplesPerPixel(header.kind);
    const uint32_t bytesPerSample = header.maxValue > 255 ? 2 : 1;
    std::vector<uint8_t> raw(samplesPerRow * bytesPerSample);
    std::vector<uint8_t> scaled(samplesPerRow);
    for (uint32_t y = 0; y < header.height; ++y) {
        if (!ReadExact(file, raw.data(), raw.size())) return false;
        for (size_t i = 0; i < samplesPerRow; ++i) {
            const uint32_t v = bytesPerSample == 2 ? Be16(&raw[i * 2]) : raw[i];
            scaled[i] = ScaleSampleToByte(v, header.maxValue);
        }
        PutPnmRow(image, y, scaled.data(), header.kind);
    }
    return true;
}

bool ReadPlainPnm(RasterImage& image, RasterFile* file, const PnmHeader& header) {
    const uint32_t width = header.width;
    if (header.kind == 1) {
        for (uint32_t y = 0; y < header.height; ++y) {
            const uint32_t stored = StoredRow(image, y);
            for (uint32_t x = 0; x < width; ++x) {
                const long c = NextToken(file);
                if (c != '0' && c != '1') return false;
                image.SetPixelIndex(x, stored, uint8_t(c - '0'));
            }
        }
        return true;
    }
    const size_t samplesPerRow = size_t(width) * SamplesPerPixel(header.kind);
    std::vector<uint8_t> scaled(samplesPerRow);
    long terminator = 0;
    for (uint32_t y = 0; y < header.height; ++y) {
        for (size_t i = 0; i < samplesPerRow; ++i) {
            uint32_t v = 0;
            // Values above maxval are clamped; absurdly long numbers are damage.
            if (!ReadNumber(file, UINT32_MAX / 10, v, terminator)) return false;
            if (terminator != EOF && !IsPnmSpace(terminator)) return false;
            scaled[i] = ScaleSampleToByte(v, header.maxValue);
        }
        PutPnmRow(image, y, scaled.data(), header.kind);
    }
    return true;
}

}  // namespace

bool RasterImagePNM::Decode(RasterFile* file) {
    if (!StartStreamedFormatData(*this, file, &Sniff, "PNM")) return false;
    PnmHeader header;
    if (!ReadPnmHeader(*this, file, header) || !EnoughPnmData(*this, file, header)) return false;
    if (!CreatePnmImage(*this, header)) return false;
    const bool ok = IsRawKind(header.kind) ? ReadRawPnm(*this, file, header) : ReadPlainPnm(*this, file, header);
    if (!ok) {
        Destroy();
        SetLastError("PNM: damaged or truncated picture data");
        return false;
    }
    return true;
}

bool RasterImagePNM::Encode(RasterFile*) { return RasterFormatNotWritable(*this, "PNM"); }

bool RasterImagePNM::Sniff(const uint8_t* head, size_t count, uint64_t) {
    // The magic number is followed by white space or a comment.
    return count >= 3 && head[0] == 'P' && head[1] >= '1' && head[1] <= '6' && (IsPnmSpace(head[2]) || head[2] == '#');
}
