// Metadata as a camera writes it, for the benchmarks: a full EXIF block (camera, lens,
// exposure, dates, GPS, a maker note of several kilobytes) and a Display P3 colour profile,
// both made once; and the bench photo's JPEG tagged with them, as a file.
#pragma once

#include <string>

#include "image/PictureMetadata.h"

// The EXIF block without a thumbnail (so that a tagged file takes the same thumbnail road
// as an untagged one) and the profile; no XMP or IPTC.
const PictureMetadata& CameraMetadata();

// The photo's JPEG (BenchPictures.h) with CameraMetadata written in, in a temporary file of
// this process removed at exit.
const std::string& TaggedPhotoJpegFile();
