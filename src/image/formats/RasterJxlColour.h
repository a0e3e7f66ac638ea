// The colours of decoded JPEG XL pixels: libjxl hands them over in a colour encoding of its
// choosing (the file's own for lossless files, linear light for lossy files tagged with a
// profile it cannot express, grey or linear as the file says). Pixels the program can keep
// beside their profile, as it keeps a JPEG's, stay as they are; grey and linear-light pixels
// are converted to sRGB with lcms2 from 16-bit samples, for 8 bits of linear light would lose
// the shadows.
#pragma once

#include <cstdint>
#include <vector>

// Whether pixels described by icc (the decoder's profile of its data) go through JxlToSrgb:
// a grey profile, or an RGB one whose curves are linear. An empty or unreadable profile is
// taken as sRGB.
bool JxlPixelsNeedConverting(const std::vector<uint8_t>& icc);

// Rows of 16-bit grey or RGB samples, each pixel followed by its alpha when the rows have it,
// converted to the picture's blue, green, red bytes and alpha plane.
class JxlToSrgb {
public:
    JxlToSrgb();
    ~JxlToSrgb();
    JxlToSrgb(const JxlToSrgb&) = delete;
    JxlToSrgb& operator=(const JxlToSrgb&) = delete;

    // False when lcms cannot make the conversion from icc.
    bool Open(const std::vector<uint8_t>& icc, uint32_t colourChannels, bool alpha);
    void ConvertRow(const uint16_t* samples, uint32_t width, uint8_t* bgr, uint8_t* alpha) const;

private:
    void* m_transform = nullptr;
    uint32_t m_channels = 0;  // samples a pixel, alpha included
};
