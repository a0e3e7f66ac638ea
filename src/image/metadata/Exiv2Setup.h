// exiv2 is prepared once per process before its first use: its XMP toolkit is started and
// its warnings, which would go to the terminal, are muted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace Exiv2 {
class Image;
}

// This program's own XMP namespace (the print order's choices in a photo's sidecar).
inline constexpr const char* kSnipwellXmpNamespace = "http://ns.norvane.com/snipwell/1.0/";
inline constexpr const char* kSnipwellXmpPrefix = "snipwell";

// Also starts exiv2's XMP toolkit with a lock, so that threads may use it at once, and
// registers the program's namespace.
void EnsureExiv2Ready();

// exiv2's reader and writer of a whole file held in memory (a copy is not made until it
// writes); null when exiv2 knows no such file type. exiv2 0.27 hands it out as an auto_ptr,
// which newer compilers flag: it is taken over here, in one place.
std::unique_ptr<Exiv2::Image> OpenExiv2Image(const uint8_t* data, size_t size);
