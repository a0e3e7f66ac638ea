#include "image/formats/RasterJxlColour.h"

#include <lcms2.h>

namespace {

constexpr uint32_t kMaxSample = 65535;

struct ProfileCloser {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

Profile OpenProfile(const std::vector<uint8_t>& icc) {
    if (icc.empty()) return Profile();
    return Profile(cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size())));
}

bool LinearCurve(cmsHPROFILE profile, cmsTagSignature tag) {
    const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, tag));
    return curve && cmsIsToneCurveLinear(curve);
}

}  // namespace

bool JxlPixelsNeedConverting(const std::vector<uint8_t>& icc) {
    const Profile profile = OpenProfile(icc);
    if (!profile) return false;
    const cmsColorSpaceSignature space = cmsGetColorSpace(profile.get());
    if (space == cmsSigGrayData) return true;
    return space == cmsSigRgbData && LinearCurve(profile.get(), cmsSigRedTRCTag) &&
           LinearCurve(profile.get(), cmsSigGreenTRCTag) && LinearCurve(profile.get(), cmsSigBlueTRCTag);
}

JxlToSrgb::JxlToSrgb() = default;

JxlToSrgb::~JxlToSrgb() {
    if (m_transform) cmsDeleteTransform(m_transform);
}

bool JxlToSrgb::Open(const std::vector<uint8_t>& icc, uint32_t colourChannels, bool alpha) {
    const Profile source = OpenProfile(icc);
    const Profile srgb(cmsCreate_sRGBProfile());
    if (!source || !srgb) return false;
    const bool grey = colourChannels == 1;
    if (cmsGetColorSpace(source.get()) != (grey ? cmsSigGrayData : cmsSigRgbData)) return false;
    const cmsUInt32Number input = COLORSPACE_SH(grey ? PT_GRAY : PT_RGB) | CHANNELS_SH(colourChannels) | BYTES_SH(2) |
                                  EXTRA_SH(alpha ? 1 : 0);
    // The intent the program shows tagged JPEG files with.
    m_transform = cmsCreateTransform(source.get(), input, srgb.get(), TYPE_BGR_8, INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE);
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
