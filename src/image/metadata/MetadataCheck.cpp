#include "image/metadata/MetadataCheck.h"

#include <exiv2/exiv2.hpp>
#include <lcms2.h>

#include <string>

#include "image/metadata/Exiv2Setup.h"

namespace {

bool ExifReadable(const std::vector<uint8_t>& exif) {
    Exiv2::ExifData data;
    try {
        const Exiv2::ByteOrder order = Exiv2::ExifParser::decode(data, exif.data(), uint32_t(exif.size()));
        return order != Exiv2::invalidByteOrder && !data.empty();
    } catch (...) {
        return false;
    }
}

bool XmpReadable(const std::vector<uint8_t>& xmp) {
    Exiv2::XmpData data;
    try {
        const std::string packet(xmp.begin(), xmp.end());
        return Exiv2::XmpParser::decode(data, packet) == 0;
    } catch (...) {
        return false;
    }
}

bool IptcReadable(const std::vector<uint8_t>& iptc) {
    Exiv2::IptcData data;
    try {
        return Exiv2::IptcParser::decode(data, iptc.data(), uint32_t(iptc.size())) == 0 && !data.empty();
    } catch (...) {
        return false;
    }
}

// The profile's own size field, the first four bytes of its header.
constexpr size_t kIccHeaderBytes = 128;

bool IccReadable(const std::vector<uint8_t>& icc) {
    // lcms reads tags only when asked for them: a profile cut short would open.
    if (icc.size() < kIccHeaderBytes) return false;
    const size_t declared = (size_t(icc[0]) << 24) | (size_t(icc[1]) << 16) | (size_t(icc[2]) << 8) | size_t(icc[3]);
    if (declared > icc.size()) return false;
    cmsHPROFILE profile = cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size()));
    if (!profile) return false;
    cmsCloseProfile(profile);
    return true;
}

// Empties block when it is too large or its reader refuses it; true when it did.
bool DropUnless(std::vector<uint8_t>& block, size_t maxBytes, bool (*readable)(const std::vector<uint8_t>&)) {
    if (block.empty()) return false;
    if (block.size() <= maxBytes && readable(block)) return false;
    block.clear();
    block.shrink_to_fit();
    return true;
}

}  // namespace

bool DropUnreadableMetadata(PictureMetadata& metadata) {
    EnsureExiv2Ready();
    bool dropped = DropUnless(metadata.exif, kMaxExifBytes, ExifReadable);
    dropped = DropUnless(metadata.xmp, kMaxXmpBytes, XmpReadable) || dropped;
    dropped = DropUnless(metadata.iptc, kMaxIptcBytes, IptcReadable) || dropped;
    dropped = DropUnless(metadata.icc, kMaxIccBytes, IccReadable) || dropped;
    if (dropped) metadata.dropped = true;
    return metadata.dropped;
}
