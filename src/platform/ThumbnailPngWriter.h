// Cache entries as PNG files that decode quickly: rows unfiltered and stored without deflate
// compression, so that reading an entry back is little more than copying it. An entry of at
// most 128 x 128 pixels takes about twice the space of a compressed one; reading entries is
// most of the cost of listing a folder seen before.
#pragma once

#include <QByteArray>
#include <QImage>

#include <cstdint>
#include <utility>
#include <vector>

namespace thumbs {

// Keyword and Latin-1 text of each tEXt chunk.
using PngTexts = std::vector<std::pair<QByteArray, QByteArray>>;

// Encodes image as an 8-bit PNG, RGB for Format_RGB888 and RGBA for any other format, with
// texts written before the pixels. False (png left empty) when the image is empty or libpng
// refuses the data.
bool EncodeQuickPng(const QImage& image, const PngTexts& texts, std::vector<uint8_t>& png);

}  // namespace thumbs
