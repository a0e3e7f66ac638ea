// The two ways of making a thumbnail, run on the loader thread. Each reports the picture
// file's size (upright, as the picture is shown) and a 24-bit thumbnail that fits 60 x 60.
//
// PlatformThumbnail takes the fast roads: a current entry of the freedesktop thumbnail cache;
// for JPEG files the thumbnail the camera stored in the EXIF block when its shape matches the
// picture, else a decode reduced in the DCT domain; for HEIF and AVIF files the thumbnail
// stored beside the picture. DecodedThumbnail decodes the whole picture
// with the image core and shrinks it. When either computes a thumbnail it can also give the
// 128-pixel picture for the cache (cacheCopy), which MakeThumbnail writes back.
#pragma once

#include <QString>

#include "image/RasterImage.h"
#include "browser/ThumbnailGeometry.h"

namespace thumbs {

bool PlatformThumbnail(const QString& path, Size& size, RasterImage& image, RasterImage* cacheCopy = nullptr);
bool DecodedThumbnail(const QString& path, Size& size, RasterImage& image, RasterImage* cacheCopy = nullptr);

// PlatformThumbnail, else DecodedThumbnail; a freshly computed thumbnail is recorded in the
// cache so that the next visit finds it.
bool MakeThumbnail(const QString& path, Size& size, RasterImage& image);

}  // namespace thumbs
