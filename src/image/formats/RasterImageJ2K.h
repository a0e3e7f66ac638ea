// JPEG 2000 pictures through OpenJPEG, in both of their forms: the JP2 box file and the bare
// code stream (.j2k, .j2c, .jpc).
#pragma once

#include "image/RasterImage.h"

class RasterImageJ2K : public RasterImage {
public:
    // form: RASTER_FORMAT_JP2 or RASTER_FORMAT_JPC, the form asked for. The ".j2k" extension
    // is used for box files and bare code streams alike, so Decode reads the form the data has.
    explicit RasterImageJ2K(uint32_t form = RASTER_FORMAT_JP2) : RasterImage(form), m_askedForm(form) {}
    // Reads a picture at the stream's position; false (with the last error) when the data
    // is in neither form or is damaged. The picture's type says which form it was.
    bool Decode(RasterFile* file);
    bool Encode(RasterFile* file);
    // Either form, judged from the first bytes (head, count of them).
    static bool Sniff(const uint8_t* head, size_t count, uint64_t size);
    // One form each, for content detection, which names the form it found.
    static bool SniffBoxFile(const uint8_t* head, size_t count, uint64_t size);
    static bool SniffCodestream(const uint8_t* head, size_t count, uint64_t size);

private:
    uint32_t m_askedForm;
};
