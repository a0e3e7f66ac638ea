// Showing a picture's colours as its embedded ICC profile means them. The pixels of a picture
// tagged with a profile other than sRGB (Display P3, Adobe RGB) are converted to the screen's
// colours: the display profile when the platform has handed one over, else sRGB. Only copies
// made for showing are converted; the working picture keeps its own numbers.
#pragma once

#include <cstdint>
#include <vector>

#include "image/RasterImage.h"

// Whether pictures with this profile need converting: an RGB profile that lcms reads and that
// is not sRGB. False for an empty, unreadable, grey, CMYK or sRGB profile.
bool ProfileNeedsConversion(const std::vector<uint8_t>& icc);

// Converts a 24-bit picture's pixels in place from icc to the screen's colours. True when it
// converted; false (picture untouched) when there was nothing to do or the profile is unusable.
// Safe to call from several threads at once.
bool ConvertToScreenColours(RasterImage& picture, const std::vector<uint8_t>& icc);

// The same with sRGB as the target whatever the screen: for pictures other programs read too,
// such as the shared thumbnail cache's entries.
bool ConvertToSrgbColours(RasterImage& picture, const std::vector<uint8_t>& icc);

// The profile of the screen the program shows pictures on; empty for sRGB (the default).
// Conversions made after the call use it.
void SetScreenColourProfile(const std::vector<uint8_t>& icc);
