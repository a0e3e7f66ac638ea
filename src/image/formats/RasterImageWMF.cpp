// Windows metafiles (placeable and plain WMF) and enhanced metafiles (EMF), drawn anti-aliased
// onto white at the size their header states (96 dpi).
#include "image/formats/RasterImageWMF.h"

#include <vector>

#include "image/formats/RasterFormatSupport.h"
#include "image/formats/RasterMetafilePlayers.h"

namespace {
// Enough of the start of a file to tell a metafile header.
constexpr size_t kProbeSize = 96;
// Metafiles are drawings: a file of this size is already far beyond any real one.
constexpr uint64_t kMaxMetafileBytes = 256u << 20;
}  // namespace

bool RasterImageWMF::Decode(RasterFile* file) {
    uint8_t probe[kProbeSize] = {};
    const size_t got = file ? file->Read(probe, 1, kProbeSize) : 0;
    const bool emf = metafile::IsEmf(probe, got);
    if (!emf && !metafile::IsWmf(probe, got)) {
        SetLastError("WMF: not a Windows metafile");
        return false;
    }
    std::vector<uint8_t> data(probe, probe + got);
    std::vector<uint8_t> rest;
    if (!ReadAllBytes(file, rest, kMaxMetafileBytes)) {
        SetLastError("WMF: the file cannot be read");
        return false;
    }
    data.insert(data.end(), rest.begin(), rest.end());
    const char* error = nullptr;
    RasterImage picture;
    const bool ok = emf ? metafile::PlayEmf(data.data(), data.size(), picture, error)
                        : metafile::PlayWmf(data.data(), data.size(), picture, error);
    if (!ok) {
        SetLastError(error ? error : "WMF: the metafile cannot be drawn");
        return false;
    }
    const uint32_t keepType = GetType();
    TakeOver(picture);
    SetType(keepType);
    return true;
}

bool RasterImageWMF::Encode(RasterFile*) {
    return RasterFormatNotWritable(*this, "WMF/EMF");
}

bool RasterImageWMF::Sniff(const uint8_t* head, size_t count, uint64_t) {
    // Decode judges the same bytes: at most kProbeSize of them.
    const size_t probe = count < kProbeSize ? count : kProbeSize;
    return metafile::IsEmf(head, probe) || metafile::IsWmf(head, probe);
}
