#include "image/metadata/MetadataText.h"

#include <exiv2/exiv2.hpp>
#include <lcms2.h>

#include <memory>
#include <sstream>

#include "image/metadata/Exiv2Setup.h"

namespace {

// Longer binary values (maker notes, the thumbnail) are shown by their size.
constexpr long kMaxBinaryShown = 64;
constexpr size_t kDescriptionChars = 256;

// Line breaks inside a value would start a new "line"; they are shown as spaces.
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return text;
}

template <class Datum>
void PutDatum(std::ostringstream& out, const Datum& datum) {
    out << datum.key() << '=';
    const bool binary = datum.typeId() == Exiv2::undefined || datum.typeId() == Exiv2::unsignedByte;
    if (binary && datum.size() > kMaxBinaryShown) out << '(' << datum.size() << " bytes)";
    else out << OneLine(datum.toString());
    out << '\n';
}

template <class Data>
void PutAll(std::ostringstream& out, const Data& data) {
    for (const auto& datum : data) PutDatum(out, datum);
}

std::string IccDescription(const std::vector<uint8_t>& icc) {
    std::unique_ptr<void, decltype(&cmsCloseProfile)> profile(
        cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size())), &cmsCloseProfile);
    if (!profile) return {};
    char text[kDescriptionChars] = {};
    cmsGetProfileInfoASCII(profile.get(), cmsInfoDescription, "en", "US", text, sizeof(text));
    return OneLine(text);
}

}  // namespace

std::string MetadataAsText(const PictureMetadata& metadata) {
    EnsureExiv2Ready();
    std::ostringstream out;
    try {
        if (!metadata.exif.empty()) {
            Exiv2::ExifData exif;
            Exiv2::ExifParser::decode(exif, metadata.exif.data(), uint32_t(metadata.exif.size()));
            PutAll(out, exif);
        }
        if (!metadata.iptc.empty()) {
            Exiv2::IptcData iptc;
            Exiv2::IptcParser::decode(iptc, metadata.iptc.data(), uint32_t(metadata.iptc.size()));
            PutAll(out, iptc);
        }
        if (!metadata.xmp.empty()) {
            Exiv2::XmpData xmp;
            Exiv2::XmpParser::decode(xmp, std::string(metadata.xmp.begin(), metadata.xmp.end()));
            PutAll(out, xmp);
        }
    } catch (...) {
        // What was printed before the block that failed stands.
    }
    if (!metadata.icc.empty()) {
        out << "Icc.Size=" << metadata.icc.size() << '\n';
        out << "Icc.Description=" << IccDescription(metadata.icc) << '\n';
    }
    return out.str();
}
