// Saving a JPEG's rectangle cut, quarter turns, mirror and flip by moving its DCT blocks
// (TurboJPEG's tjTransform) instead of decoding and encoding the pixels: not one pixel of the
// kept part changes, and no quality is lost however often it is done.
//
// The blocks are moved with the file's markers left out; the metadata the program's JPEG save
// writes then goes in as that save writes it (orientation 1, the new sizes, a fresh EXIF
// thumbnail, the print dpi in JFIF and EXIF, the colour profile, XMP without a Camera Raw crop,
// IPTC). A progressive file stays progressive.
//
// Typical use (the document's Save, snipwell-cli):
//   LosslessJpegRequest request;
//   request.layout = plan.Layout();          // EXIF orientation and the turns, composed
//   request.storedCut = plan.StoredCut();    // in the file's stored pixels
//   const LosslessJpegResult result = SaveLosslessJpeg(sourcePath, request, targetPath);
//   if (!result.Written()) ... result.reason says why; decode, edit and encode instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image/RasterImage.h"
#include "image/formats/JpegFrameFacts.h"
#include "image/formats/LosslessJpegGeometry.h"

struct LosslessJpegRequest {
    // The turn from the file's stored rows to the picture written (1..8, EXIF numbering): the
    // file's own orientation composed with the turns, mirrors and flips made since.
    int layout = kLayoutUpright;
    // The part kept, in the file's stored pixels; all zero keeps the whole picture.
    RasterRect storedCut{0, 0, 0, 0};
    // Leave out the partial edge blocks a turn brings to the front, rather than refuse.
    bool allowTrim = false;
    // Print dpi of the written picture; 0 keeps the source's (exchanged by a quarter turn).
    int32_t xDpi = 0;
    int32_t yDpi = 0;
    // Write the source's metadata blocks, fitted to the result, as the JPEG save does.
    bool keepMetadata = true;
};

enum class LosslessJpegStatus {
    Written,
    NotJpeg,
    Damaged,
    Unsupported,     // a kind of JPEG the block transform cannot keep (see reason)
    CornerOffGrid,   // the cut's top-left corner as written is not on the block grid
    NeedsTrim,       // exact only without partial edge blocks, and allowTrim was not set
    Empty,           // the cut keeps no pixel
    Failed,          // memory, or the file could not be read or written (see reason)
};

struct LosslessJpegResult {
    LosslessJpegStatus status = LosslessJpegStatus::Failed;
    // Why it was not written, for a person; empty when it was.
    std::string reason;
    // The source's header facts (valid unless NotJpeg or Damaged).
    JpegFrameFacts source;
    // Where the cut lies and on which grid; layout.shown's size is the written picture's.
    LosslessLayout layout;
    // A metadata block could not be written and was left out.
    bool metadataDropped = false;

    bool Written() const { return status == LosslessJpegStatus::Written; }
};

// The verdict for request on a file with these header facts, without reading the rest: what
// Save would do, for the status bar and for the question about a trim. Status Written here
// means the save can be done (with the trim layout.trim states, when allowTrim is set).
LosslessJpegResult CheckLosslessJpeg(const JpegFrameFacts& source, const LosslessJpegRequest& request);

// Moves the blocks of JPEG files held in memory: with MoveJpegBlocks, whose coefficient memory
// comes back from the picture block pool on the next call, and with TurboJPEG's transform for
// what that does not take. Keeps TurboJPEG's handle and its output buffer from one call to the
// next.
class LosslessJpegTransformer {
public:
    LosslessJpegTransformer();
    ~LosslessJpegTransformer();
    LosslessJpegTransformer(const LosslessJpegTransformer&) = delete;
    LosslessJpegTransformer& operator=(const LosslessJpegTransformer&) = delete;

    // The whole new JPEG file for request on source into out.
    LosslessJpegResult Transform(const uint8_t* source, size_t size, const LosslessJpegRequest& request,
                                 std::vector<uint8_t>& out);

private:
    // preview, when set, receives the written picture at 1/8 from the move (see JpegBlockMove).
    bool MoveBlocks(const uint8_t* source, size_t size, const LosslessJpegRequest& request, LosslessJpegResult& result,
                    std::vector<uint8_t>& out, RasterImage* preview);
    // TurboJPEG's transform, for what MoveJpegBlocks does not take.
    bool MoveBlocksGenerally(const uint8_t* source, size_t size, const LosslessJpegRequest& request,
                             LosslessJpegResult& result, std::vector<uint8_t>& out);
    void WriteMetadata(const uint8_t* source, size_t size, const LosslessJpegRequest& request,
                       const RasterImage& preview, LosslessJpegResult& result, std::vector<uint8_t>& out);

    void* m_transformer = nullptr;
    unsigned char* m_buffer = nullptr;
    unsigned long m_capacity = 0;
};

// Reads sourcePath, transforms it and writes targetPath beside itself and renamed over it (the
// old file is untouched when anything fails). targetPath may be sourcePath.
LosslessJpegResult SaveLosslessJpeg(const std::string& sourcePath, const LosslessJpegRequest& request,
                                    const std::string& targetPath);

// The same check as CheckLosslessJpeg, on the header of the file at path.
LosslessJpegResult CheckLosslessJpegFile(const std::string& path, const LosslessJpegRequest& request);
