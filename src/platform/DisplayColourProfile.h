// The colour profile the desktop publishes for the screen: on X11 the root window's
// _ICC_PROFILE property, which colour managers (colord, the desktop's display settings) set
// from the monitor's calibration. Pictures with a colour profile are then converted to the
// screen's colours instead of sRGB (image/metadata/ColourConversion.h).
#pragma once

#include <cstdint>
#include <vector>

// The profile's bytes; empty when the platform is not X11 or no profile is published.
std::vector<uint8_t> ReadDisplayColourProfile();

// Hands the screen's profile to the image core's colour conversion; called once at start-up.
void UseDisplayColourProfile();
