// Moving a JPEG's DCT blocks into a new JPEG file turned by a layout and cut, with libjpeg
// itself, in less memory than a general transform needs:
// - the source's coefficients live in the picture block pool, so the next save of a photo of
//   about that size finds its memory already mapped (fresh memory is most of the cost here);
// - the written file's blocks are never kept as a second whole picture: a few rows of blocks at
//   a time are turned from the source's as the encoder asks for them, and a plain cut reads the
//   source's rows in place.
// The file written has no markers beyond the frame's own (JFIF or Adobe, as libjpeg writes
// them); its blocks are those TurboJPEG's transform with its crop option gives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image/RasterImage.h"

struct JpegBlockMove {
    // The turn from the source's stored rows to the written picture (1..8, EXIF numbering).
    int layout = 1;
    // The part written, in the coordinates of the whole picture turned block by block (a
    // reversed axis counts from its last whole block); its top-left corner lies on the written
    // picture's block grid.
    RasterRect blockCrop{0, 0, 0, 0};
    // Write the blocks in progressive scans.
    bool progressive = false;
    // When set, receives the written picture at an eighth of its size, each pixel the mean of
    // its block as the DC term gives it (as a decode reduced to 1/8 makes it, without one). Left
    // invalid for CMYK files and when memory runs out.
    RasterImage* eighthPreview = nullptr;
};

enum class JpegBlockOutcome {
    Moved,
    Damaged,   // the source's data is damaged or cut short
    Failed,    // anything else: no memory, a frame or crop this path does not take (see reason)
};

// The whole new file for move on the JPEG file source into out (whose memory is reused).
JpegBlockOutcome MoveJpegBlocks(const uint8_t* source, size_t size, const JpegBlockMove& move,
                                std::vector<uint8_t>& out, std::string& reason);
