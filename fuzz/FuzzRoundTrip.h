// A decoded picture written back with the format's own encoder and read again: the writers
// must take whatever their readers make, metadata blocks included.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "image/PictureMetadata.h"
#include "image/RasterFile.h"
#include "image/RasterImage.h"
#include "image/formats/RasterPhotoEncode.h"

#include "FuzzFormat.h"

// Larger pictures are only decoded: encoding them would slow the fuzzer down to a crawl.
constexpr uint64_t kFuzzRoundTripMaxPixels = 128 * 128;
// A low quality, which encodes fastest.
constexpr uint8_t kFuzzRoundTripQuality = 30;

inline void FuzzRoundTrip(RasterImage& picture, uint32_t type, PictureMetadata& metadata) {
    if (uint64_t(picture.GetWidth()) * picture.GetHeight() > kFuzzRoundTripMaxPixels) return;
    picture.SetJpegQuality(kFuzzRoundTripQuality);
    RasterMemFile encoded;
    if (!encoded.Open()) return;
    if (!EncodeCarryingMetadata(picture, &encoded, type, metadata)) {
        if (!*picture.LastErrorText()) std::abort();  // a failure always says why
        return;
    }
    RasterImage back;
    if (!back.Decode(encoded.GetBuffer(), uint32_t(encoded.Size()), type)) std::abort();
    if (back.GetWidth() != picture.GetWidth() || back.GetHeight() != picture.GetHeight()) std::abort();
    CheckDecodedPicture(back);
}
