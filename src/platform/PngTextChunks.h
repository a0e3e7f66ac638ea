// The size and the text chunks of a PNG file in memory, read without decoding its pixels: a
// thumbnail cache entry is checked against its file before its picture is decoded at all.
#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace thumbs {

struct PngHeaderAndTexts {
    uint32_t width = 0;
    uint32_t height = 0;
    // Keyword and text of each tEXt, zTXt and iTXt chunk, in file order (an iTXt text is
    // UTF-8, the others Latin-1).
    std::vector<std::pair<QByteArray, QByteArray>> texts;

    // The text of the first chunk with keyword, or an empty array.
    QByteArray Text(const char* keyword) const;
};

// Walks the chunks from the signature to IEND. False when the bytes are no PNG, a chunk runs
// past the end, or the header is missing or damaged. A text chunk whose CRC does not match or
// whose compressed text does not inflate (or would exceed 64 KB) is left out.
bool ReadPngHeaderAndTexts(const uint8_t* data, size_t size, PngHeaderAndTexts& out);

}  // namespace thumbs
