// JPEG through libjpeg-turbo.
#pragma once

#include "image/PictureMetadata.h"
#include "image/RasterImage.h"

class RasterImageJPG : public RasterImage {
public:
    RasterImageJPG() : RasterImage(RASTER_FORMAT_JPG) {}
    // The load's EXIF orientation option (RasterUpright in RasterImage.h); AsStored unless set.
    void SetUpright(RasterUpright upright) { m_upright = upright; }
    // After a Decode asked to turn or report: the file's EXIF orientation, 1..8 (1 when it
    // states none); 1 otherwise.
    int FoundOrientation() const { return m_foundOrientation; }
    // Where a Decode puts the metadata blocks of the file's header segments; none when null.
    void SetMetadataTarget(PictureMetadata* metadata) { m_metadata = metadata; }
    // Whole marker segments (0xFF, marker, 16-bit length, payload) an Encode writes right after
    // the JFIF header, such as the metadata segments; the bytes must outlive the Encode.
    void SetHeaderSegments(const uint8_t* bytes, size_t size) {
        m_headerSegments = bytes;
        m_headerSegmentBytes = size;
    }
    // Reads a picture at the stream's position; false (with the last error) when the data
    // is not of this format or is damaged before any row of blocks could be decoded. A file
    // damaged later (data ending early, corrupt data) loads as libjpeg decodes it, with the
    // part it could not read filled in, and says so in the load warning.
    // Asked to (SetUpright), reads the EXIF orientation from the header segments first and
    // turns the decoded picture upright.
    bool Decode(RasterFile* file);
    bool Encode(RasterFile* file);
    // False only when the data cannot be of this format, judged from its first bytes (head,
    // count of them) and the number of bytes from there to the end (size, 0 when unknown);
    // content detection skips the format then (image/RasterFormatTable.h).
    static bool Sniff(const uint8_t* head, size_t count, uint64_t size);

private:
    RasterUpright m_upright = RasterUpright::AsStored;
    int m_foundOrientation = 1;
    PictureMetadata* m_metadata = nullptr;
    const uint8_t* m_headerSegments = nullptr;
    size_t m_headerSegmentBytes = 0;
};
