// One entry of the thumbnail list: built by the loader thread, owned by the list from its
// insertion on.
#pragma once

#include <QString>

#include <cstdint>

#include "image/RasterImage.h"

struct ThumbItem {
    QString m_strName;         // file name without folder; also the label
    QString m_strPath;         // full path of the file
    RasterImage m_imgThumb;    // fits 60 x 60, 24 bits, possibly with an alpha plane
    int32_t m_nWidth = 0;      // the picture file's size in pixels
    int32_t m_nHeight = 0;
};
