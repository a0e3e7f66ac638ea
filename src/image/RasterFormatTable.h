// The one table of picture formats. Per format: its id, name, extensions, a sniffer over the
// first bytes, a decoder and, where writable, an encoder, plus where the program lists it.
// Everything that names or picks a format is derived from it: TypeFromExtension, the content
// detection order and the Decode / Encode dispatch (RasterImageIO.cpp), the browser's picture
// extensions and the file dialogs' filters.
//
// Adding a format: its class as one file pair under formats/ (Decode, Encode, a static Sniff)
// and one row in RasterFormatTable.cpp, placed where content detection should try it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "image/RasterFormatIds.h"

class RasterFile;
class RasterImage;
struct RasterLoadOptions;

// How many of a stream's first bytes detection shows the sniffers (fewer when the stream is
// shorter). Every sniffer looks at no more than this.
constexpr size_t RASTER_SNIFF_BYTES = 128;

// False only when the data cannot be of the format: its decoder would refuse it too. head
// holds the first count bytes, size is the number of bytes from there to the end of the
// stream (0 when unknown). A sniffer never reads the stream, so detection rules a format out
// without reading (or allocating for) the rest of a file.
using RasterSniffer = bool (*)(const uint8_t* head, size_t count, uint64_t size);
// Decodes the stream from its position with a fresh object of the format (told its id) and
// hands the picture to image with TakeOver. keepError: a failure leaves the format's error
// text in image (false during detection, which reports its own).
using RasterDecoder = bool (*)(RasterImage& image, RasterFile* file, uint32_t id, RasterLoadOptions& options,
                               bool keepError);
// Encodes image to the stream through a borrowed view; a failure copies the error text.
using RasterEncoder = bool (*)(RasterImage& image, RasterFile* file);

// The error of a decode into an image that only views another image's storage.
constexpr const char* RASTER_BORROWED_CANNOT_DECODE = "Decode: the image only views another image";

// Extensions of one format, lower case, in the order the open dialogs list them.
constexpr size_t RASTER_MAX_EXTENSIONS = 3;

struct RasterFormat {
    uint32_t id;
    // As messages name it ("Encode: TIFF cannot be saved").
    const char* name;
    // What TypeFromExtension maps to id (compared ignoring case); unused slots are null.
    const char* extensions[RASTER_MAX_EXTENSIONS];
    // Null: never found by content, only read when asked for by id.
    RasterSniffer sniff;
    RasterDecoder decode;
    // Null: not writable ("Encode: <name> cannot be saved").
    RasterEncoder encode;
    // Position (1, 2, ...) among the formats of the open dialogs' filter; 0 = not listed.
    uint8_t openListAt;
    // Position among the Save As filter's entries, and the entry's label; 0 = not offered.
    uint8_t saveListAt;
    const char* saveLabel;
    // The picture browser lists (and makes thumbnails of) files with these extensions.
    bool browsed;
};

// Every format, in content detection order.
std::span<const RasterFormat> RasterFormats();
// The row of id; null for 0 or an unknown id.
const RasterFormat* RasterFormatById(uint32_t id);
// The row whose extensions hold extension (no dot; case ignored); null when none does.
const RasterFormat* RasterFormatByExtension(const char* extension);

// The extensions of the formats the picture browser lists, in table order.
std::vector<std::string> RasterBrowsedExtensions();
// The open dialogs' name filter, "label (*.a *.b ...)": one entry named label over the
// extensions of every listed format in list order.
std::string RasterOpenFilter(const char* label);
// The Save As name filters, one "label (*.a *.b)" per writable format offered, in list order,
// separated by ";;" as file dialogs take them.
std::string RasterSaveFilter();
