// Why a picture could not be opened, in words for the person at the computer rather than the
// image core's error text. The thumbnail list shows it in a cell's tooltip and the picture
// view in its open message, so both say the same.
#pragma once

#include <QString>

#include <cstdint>

namespace pictureproblem {

// "NAME is W x H pixels and needs X GB; this computer allows pictures up to Y GB", the sizes
// in decimal gigabytes with one decimal: what the picture needs rounded up and the limit
// rounded down, so the two never read as equal.
QString TooLargeText(const QString& name, uint64_t width, uint64_t height, uint64_t bytes, uint64_t limit);

// The reason a picture named name could not be read, from the error text the image core left
// (its LastErrorText): a refusal for size becomes TooLargeText against limit (the image
// core's limit in force, RasterImage::MemoryLimit); any other text follows the name; no text
// at all says only that the picture could not be read.
QString LoadProblemText(const QString& name, const char* coreError, uint64_t limit);

}  // namespace pictureproblem
