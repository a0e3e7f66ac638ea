// Exchange of pictures between RasterImage and Qt: the 32-bit bitmaps the drawing code
// paints, and the clipboard.
//
// The 32-bit bitmaps are QImage::Format_ARGB32 (bytes blue, green, red, alpha on a
// little-endian host), not premultiplied. RasterImage keeps its rows bottom-up while QImage
// rows run top-down, so stored row 0 becomes the QImage's last row and the other way round.
#pragma once

#include <QImage>

#include "image/RasterImage.h"

// The picture as a 32-bit bitmap; alpha comes from the alpha plane, 255 where there is none.
// A palette image is first turned into a 24-bit one (its transparent index becoming an alpha
// plane), and that changes the image itself. Returns a null QImage for an invalid image or
// when the conversion or the allocation fails.
QImage MakeAlphaBitmap(RasterImage& image);

// Writes the colours of a 24-bit picture (its alpha plane not looked at) into target, an RGB32
// or ARGB32 bitmap, as opaque pixels with the picture's top left corner at x, y; what falls
// outside target is left out. False, with nothing written, for a picture of another depth or a
// target of another format.
bool CopyOpaqueInto(const RasterImage& picture, QImage& target, int x, int y);

// Puts the picture on the system clipboard as a 32-bit bitmap built like MakeAlphaBitmap's;
// a palette image is converted on a copy, the image itself is not changed. False for an
// invalid image or when there is no clipboard (no QGuiApplication).
bool CopyToClipboard(const RasterImage& image);

// Replaces image by the content of bitmap, or of the clipboard's image when bitmap is null
// (false when the clipboard holds none). Indexed and monochrome bitmaps give palette images
// of 8 and 1 bits, Format_Grayscale8 an 8-bit grey image, every other format a 24-bit image.
// A bitmap with an alpha channel (converted to non-premultiplied ARGB32 first) gets an alpha
// plane holding its alpha bytes as they are, unless every pixel has the same alpha byte, in
// which case there is no plane. On failure image is left as it was and false returned.
bool CreateFromBitmap(RasterImage& image, const QImage* bitmap);
