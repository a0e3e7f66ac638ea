// Whether the metadata blocks a file carried can be read at all. A damaged or oversized block
// is left out, so that it can neither stop a picture from opening or saving nor be written
// into another file.
#pragma once

#include <cstddef>

#include "image/PictureMetadata.h"

// Largest blocks kept. EXIF and XMP must fit one JPEG segment each (XMP's extended packets
// are not written); IPTC fits one Photoshop segment; the ICC profile may be split.
constexpr size_t kMaxExifBytes = 65533 - 6 - 2;
constexpr size_t kMaxXmpBytes = 65533 - 29 - 2;
constexpr size_t kMaxIptcBytes = 65000;
constexpr size_t kMaxIccBytes = 4u << 20;

// Drops every block that its reader refuses and sets metadata.dropped when one was dropped.
// Returns metadata.dropped (also true when the container had already dropped a block).
bool DropUnreadableMetadata(PictureMetadata& metadata);
