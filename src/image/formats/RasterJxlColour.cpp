#include "image/formats/RasterJxlColour.h"

#include <lcms2.h>

namespace {

constexpr uint32_t kMaxSample = 65535;

// Null for an empty or unreadable profile; the caller closes it.
cmsHPROFILE ReadProfile(const std::vector<uint8_t>& icc) {
    return icc.empty() ? nullptr : cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size()));
}

bool LinearCurve(cmsHPROFILE profile, cmsTagSignature tag) {
    const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, tag));
    return curve && cmsIsToneCurveLinear(curve);
}

bool LinearOrGrey(cmsHPROFILE profile) {
    const cmsColorSpaceSignature space = cmsGetColorSpace(profile);
    if (space == cmsSigGrayData) return true;
    return space == cmsSigRgbData && LinearCurve(profile, cmsSigRedTRCTag) && LinearCurve(profile, cmsSigGreenTRCTag) &&
           LinearCurve(profile, cmsSigBlueTRCTag);
}

}  // namespace

bool JxlPixelsNeedConverting(const std::vector<uint8_t>& icc) {
    cmsHPROFILE profile = ReadProfile(icc);
    if (!profile) return false;
    const bool convert = LinearOrGrey(profile);
    cmsCloseProfile(profile);
    return convert;
}

JxlToSrgb::JxlToSrgb() = default;

JxlToSrgb::~JxlToSrgb() {
    if (m_transform) cmsDeleteTransform(m_transform);
}

bool JxlToSrgb::Open(const std::vector<uint8_t>& icc, uint32_t colourChannels, bool alpha) {
    const bool grey = colourChannels == 1;
    cmsHPROFILE source = ReadProfile(icc);
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    if (source && srgb && cmsGetColorSpace(source) == (grey ? cmsSigGrayData : cmsSigRgbData)) {
        const cmsUInt32Number input = COLORSPACE_SH(grey ? PT_GRAY : PT_RGB) | CHANNELS_SH(colourChannels) |
                                      BYTES_SH(2) | EXTRA_SH(alpha ? 1 : 0);
        // The intent the program shows tagged JPEG files with.
        m_transform = cmsCreateTransform(source, input, srgb, TYPE_BGR_8, INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE);
    }
    if (source) cmsCloseProfile(source);
    if (srgb) cmsCloseProfile(srgb);
    m_channels = colourChannels + (alpha ? 1 : 0);
    return m_transform != nullptr;
}

void JxlToSrgb::ConvertRow(const uint16_t* samples, uint32_t width, uint8_t* bgr, uint8_t* alpha) const {
    cmsDoTransform(m_transform, samples, bgr, width);
    if (!alpha) return;
    const uint16_t* sample = samples + m_channels - 1;
    for (uint32_t x = 0; x < width; ++x, sample += m_channels) {
        alpha[x] = uint8_t((uint32_t(*sample) * 255 + kMaxSample / 2) / kMaxSample);
    }
}
