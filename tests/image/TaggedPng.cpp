#include "TaggedPng.h"

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <memory>

#include <lcms2.h>
#include <png.h>

namespace taggedpng {

namespace {

const cmsCIExyY kD65{0.3127, 0.3290, 1.0};

std::vector<uint8_t> Saved(cmsHPROFILE profile) {
    std::vector<uint8_t> bytes;
    cmsUInt32Number size = 0;
    if (profile && cmsSaveProfileToMem(profile, nullptr, &size) && size > 0) {
        bytes.resize(size);
        if (!cmsSaveProfileToMem(profile, bytes.data(), &size)) bytes.clear();
    }
    if (profile) cmsCloseProfile(profile);
    return bytes;
}

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

}  // namespace

std::vector<uint8_t> GreyProfile(double gamma) {
    cmsToneCurve* curve = cmsBuildGamma(nullptr, gamma);
    cmsHPROFILE profile = cmsCreateGrayProfile(cmsD50_xyY(), curve);
    cmsFreeToneCurve(curve);
    return Saved(profile);
}

std::vector<uint8_t> RgbProfile(const double primaries[6], double gamma) {
    const cmsCIExyYTRIPLE triple{
        {primaries[0], primaries[1], 1.0}, {primaries[2], primaries[3], 1.0}, {primaries[4], primaries[5], 1.0}};
    cmsToneCurve* curve = cmsBuildGamma(nullptr, gamma);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&kD65, &triple, curves);
    cmsFreeToneCurve(curve);
    return Saved(profile);
}

void Write(const std::filesystem::path& path, uint32_t width, uint32_t height, uint32_t channels, int bits,
           const std::vector<uint8_t>& icc, const std::function<double(uint32_t, uint32_t, uint32_t)>& sample) {
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (!file || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, width, height, bits, channels == 1 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!icc.empty()) png_set_iCCP(png, info, "test", 0, icc.data(), png_uint_32(icc.size()));
    png_write_info(png, info);
    const double top = bits == 16 ? 65535.0 : 255.0;
    std::vector<uint8_t> row(size_t(width) * channels * (bits / 8));
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            for (uint32_t c = 0; c < channels; ++c) {
                const auto value = uint32_t(std::lround(sample(x, y, c) * top));
                const size_t at = (size_t(x) * channels + c) * (bits / 8);
                if (bits == 16) {
                    row[at] = uint8_t(value >> 8);  // PNG samples are big-endian
                    row[at + 1] = uint8_t(value);
                } else {
                    row[at] = uint8_t(value);
                }
            }
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
}

namespace {

// A PNG's samples widened to 16 bits (native order, alpha dropped) and its profile.
struct Samples {
    uint32_t width = 0;
    uint32_t height = 0;
    bool grey = false;
    std::vector<uint16_t> values;
    std::vector<uint8_t> icc;
};

bool ReadSamples(FILE* file, Samples& out) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    png_set_strip_alpha(png);
    png_set_expand(png);
    png_set_expand_16(png);
    png_set_swap(png);
    png_read_update_info(png, info);
    out.grey = (png_get_color_type(png, info) & PNG_COLOR_MASK_COLOR) == 0;
    out.width = png_get_image_width(png, info);
    out.height = png_get_image_height(png, info);
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 profileSize = 0;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &profileSize))
        out.icc.assign(profile, profile + profileSize);
    const size_t rowSamples = size_t(out.width) * (out.grey ? 1 : 3);
    out.values.resize(rowSamples * out.height);
    for (uint32_t y = 0; y < out.height; ++y) {
        png_read_row(png, reinterpret_cast<png_bytep>(out.values.data() + y * rowSamples), nullptr);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

}  // namespace

bool ReadAsSrgb(const std::filesystem::path& path, RasterImage& picture) {
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    Samples samples;
    if (!file || !ReadSamples(file.get(), samples)) return false;
    cmsHPROFILE source = samples.icc.empty()
                             ? cmsCreate_sRGBProfile()
                             : cmsOpenProfileFromMem(samples.icc.data(), cmsUInt32Number(samples.icc.size()));
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHTRANSFORM transform = source ? cmsCreateTransform(source, samples.grey ? TYPE_GRAY_16 : TYPE_RGB_16, srgb,
                                                          TYPE_BGR_8, INTENT_PERCEPTUAL, 0)
                                     : nullptr;
    if (source) cmsCloseProfile(source);
    cmsCloseProfile(srgb);
    if (!transform) return false;
    const bool made = picture.Create(samples.width, samples.height, 24, RASTER_FORMAT_PNG);
    const size_t rowSamples = size_t(samples.width) * (samples.grey ? 1 : 3);
    for (uint32_t y = 0; made && y < samples.height; ++y) {
        cmsDoTransform(transform, samples.values.data() + y * rowSamples, picture.RowPointer(samples.height - 1 - y),
                       samples.width);
    }
    cmsDeleteTransform(transform);
    return made;
}

}  // namespace taggedpng
