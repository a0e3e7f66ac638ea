// Gathering a picture's metadata blocks from the containers that carry them: JPEG APPn
// segments (EXIF and XMP in APP1, the ICC profile split over APP2, IPTC inside Photoshop's
// APP13 resources) and PNG chunks (eXIf, iCCP, the XMP iTXt and the "Raw profile type" text
// that other programs write). Only the framing is read here; whether a block itself makes
// sense is MetadataCheck's question.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "image/PictureMetadata.h"

// JPEG markers that may carry metadata.
constexpr int kJpegApp1 = 0xE1;
constexpr int kJpegApp2 = 0xE2;
constexpr int kJpegApp13 = 0xED;

// Collects a JPEG's metadata segment by segment (each without its marker and length).
class JpegMetadataCollector {
public:
    void Add(int marker, const uint8_t* data, size_t size);
    // The blocks found; the ICC profile only when every one of its chunks came, else it is
    // counted as unreadable (PictureMetadata::dropped).
    void Finish(PictureMetadata& out);

private:
    PictureMetadata m_blocks;
    std::map<int, std::vector<uint8_t>> m_iccChunks;   // by sequence number, 1-based
    int m_iccCount = 0;
    bool m_iccBroken = false;
};

// Scans the header segments of a JPEG held in memory (up to the first scan) for its metadata.
// False when the data is no JPEG; a segment cut off by the end of the data ends the scan.
bool ReadJpegMetadata(const uint8_t* data, size_t size, PictureMetadata& out);

// The IPTC-IIM records inside Photoshop image resources (resource 0x0404) into iptc, empty
// when there are none. False when the resources' framing is broken (a length past the end).
bool IptcFromPhotoshopResources(const uint8_t* data, size_t size, std::vector<uint8_t>& iptc);

// A PNG text chunk: keyword and text (decompressed). Chunks that carry no metadata block are
// passed over; a block whose framing is damaged counts as dropped.
void AddPngTextChunk(const char* keyword, const char* text, size_t length, PictureMetadata& out);

// The EXIF block without the "Exif\0\0" prefix some writers keep in front of the TIFF header.
void StripExifPrefix(std::vector<uint8_t>& exif);
