// The metadata a picture carries as text, one "key=value" a line: the EXIF, IPTC and XMP
// tags under exiv2's key names (Exif.Image.Make=...), then the ICC profile's size and
// description. Values that are binary data longer than a line are given by their size.
#pragma once

#include <string>

#include "image/PictureMetadata.h"

std::string MetadataAsText(const PictureMetadata& metadata);
