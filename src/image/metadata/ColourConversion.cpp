#include "image/metadata/ColourConversion.h"

#include <lcms2.h>

#include <cmath>
#include <memory>
#include <mutex>

namespace {

// The sRGB primaries as an ICC profile states them (adapted to D50), and how far a profile's
// may stray and still count as sRGB: profile writers round them differently.
constexpr double kSrgbColorants[3][3] = {
    {0.4361, 0.2225, 0.0139}, {0.3851, 0.7169, 0.0971}, {0.1431, 0.0606, 0.7141}};
constexpr double kColorantTolerance = 0.003;
// sRGB's curve at the middle input, and the tolerance of that check.
constexpr double kSrgbMidCurve = 0.2140;
constexpr double kCurveTolerance = 0.01;
// Transforms kept for reuse: a folder of one camera's photos needs one.
constexpr size_t kKeptTransforms = 8;

struct ProfileCloser {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

Profile OpenProfile(const std::vector<uint8_t>& icc) {
    if (icc.empty()) return Profile();
    return Profile(cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size())));
}

bool NearColorant(cmsHPROFILE profile, cmsTagSignature tag, const double expected[3]) {
    const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tag));
    return xyz && std::fabs(xyz->X - expected[0]) <= kColorantTolerance &&
           std::fabs(xyz->Y - expected[1]) <= kColorantTolerance &&
           std::fabs(xyz->Z - expected[2]) <= kColorantTolerance;
}

bool NearSrgbCurve(cmsHPROFILE profile, cmsTagSignature tag) {
    const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, tag));
    return curve && std::fabs(cmsEvalToneCurveFloat(curve, 0.5f) - kSrgbMidCurve) <= kCurveTolerance;
}

// A matrix-and-curves profile with sRGB's primaries and curves, whatever it is called.
bool IsSrgb(cmsHPROFILE profile) {
    return NearColorant(profile, cmsSigRedColorantTag, kSrgbColorants[0]) &&
           NearColorant(profile, cmsSigGreenColorantTag, kSrgbColorants[1]) &&
           NearColorant(profile, cmsSigBlueColorantTag, kSrgbColorants[2]) &&
           NearSrgbCurve(profile, cmsSigRedTRCTag) && NearSrgbCurve(profile, cmsSigGreenTRCTag) &&
           NearSrgbCurve(profile, cmsSigBlueTRCTag);
}

bool NeedsConversion(cmsHPROFILE profile) {
    return profile && cmsGetColorSpace(profile) == cmsSigRgbData && !IsSrgb(profile);
}

struct TransformDeleter {
    void operator()(void* transform) const { cmsDeleteTransform(transform); }
};
using Transform = std::unique_ptr<void, TransformDeleter>;

// Transforms by source profile, for the current screen profile. Made without lcms's
// one-pixel cache, so one transform serves several threads at once.
class TransformCache {
public:
    std::shared_ptr<void> Find(const std::vector<uint8_t>& icc) {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const Entry& entry : m_entries) {
            if (entry.icc == icc) return entry.transform;
        }
        // A profile that needs no conversion is kept too, as an empty transform.
        std::shared_ptr<void> made = Make(icc);
        if (m_entries.size() >= kKeptTransforms) m_entries.erase(m_entries.begin());
        m_entries.push_back({icc, made});
        return made;
    }

    void SetScreen(const std::vector<uint8_t>& icc) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_screen = icc;
        m_entries.clear();
    }

private:
    struct Entry {
        std::vector<uint8_t> icc;
        std::shared_ptr<void> transform;
    };

    std::shared_ptr<void> Make(const std::vector<uint8_t>& icc) const {
        Profile source = OpenProfile(icc);
        if (!NeedsConversion(source.get())) return nullptr;
        Profile screen = OpenProfile(m_screen);
        if (!screen || cmsGetColorSpace(screen.get()) != cmsSigRgbData) screen.reset(cmsCreate_sRGBProfile());
        if (!screen) return nullptr;
        cmsHTRANSFORM transform = cmsCreateTransform(source.get(), TYPE_BGR_8, screen.get(), TYPE_BGR_8,
                                                     INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE);
        if (!transform) return nullptr;
        return std::shared_ptr<void>(transform, TransformDeleter());
    }

    std::mutex m_mutex;
    std::vector<uint8_t> m_screen;
    std::vector<Entry> m_entries;
};

TransformCache& Transforms() {
    static TransformCache cache;
    return cache;
}

// Transforms to sRGB whatever the screen: its screen profile is never set.
TransformCache& SrgbTransforms() {
    static TransformCache cache;
    return cache;
}

bool ConvertWith(TransformCache& transforms, RasterImage& picture, const std::vector<uint8_t>& icc) {
    if (icc.empty() || !picture.IsValid() || picture.GetBpp() != 24) return false;
    const std::shared_ptr<void> transform = transforms.Find(icc);
    if (!transform) return false;
    const cmsUInt32Number stride = picture.GetStride();
    cmsDoTransformLineStride(transform.get(), picture.GetBits(), picture.GetBits(), picture.GetWidth(),
                             picture.GetHeight(), stride, stride, 0, 0);
    return true;
}

}  // namespace

bool ProfileNeedsConversion(const std::vector<uint8_t>& icc) {
    const Profile profile = OpenProfile(icc);
    return NeedsConversion(profile.get());
}

bool ConvertToScreenColours(RasterImage& picture, const std::vector<uint8_t>& icc) {
    return ConvertWith(Transforms(), picture, icc);
}

bool ConvertToSrgbColours(RasterImage& picture, const std::vector<uint8_t>& icc) {
    return ConvertWith(SrgbTransforms(), picture, icc);
}

void SetScreenColourProfile(const std::vector<uint8_t>& icc) { Transforms().SetScreen(icc); }
