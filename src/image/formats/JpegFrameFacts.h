// What a JPEG's header says about its frame, read without decoding: the stored size, the
// block grid (the MCU) a lossless cut must keep to, how it is coded, its EXIF orientation and
// its print dpi. Every length is checked against the data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "image/formats/LosslessJpegGeometry.h"

struct JpegFrameFacts {
    PixelSize size;            // as stored
    PixelSize grid;            // the MCU: 8 or 16 on each axis (8 x 8 for one component)
    int components = 0;
    int precision = 0;         // bits per sample
    int frameMarker = 0;       // 0xC0 baseline, 0xC1 extended, 0xC2 progressive, ...
    int orientation = 1;       // EXIF 1..8; 1 when the file states none
    int32_t xDpi = 0;          // from the JFIF header; 0 when it gives none
    int32_t yDpi = 0;

    bool Progressive() const { return frameMarker == 0xC2 || frameMarker == 0xCA; }
    bool Arithmetic() const { return frameMarker >= 0xC9 && frameMarker <= 0xCF; }
};

// Reads the header segments of data (a whole JPEG file, or at least its header) up to the
// frame. False with reason when data is no JPEG, is damaged, or has no frame before its scan.
bool ReadJpegFrameFacts(const uint8_t* data, size_t size, JpegFrameFacts& facts, std::string& reason);

// Why facts' frame cannot be cut or turned block by block ("" when it can): arithmetic coding
// (the result would not keep it), more than 8 bits per sample, lossless or hierarchical frames,
// sampling factors other than 1 and 2, or no size in the frame.
std::string LosslessUnsupportedReason(const JpegFrameFacts& facts);
