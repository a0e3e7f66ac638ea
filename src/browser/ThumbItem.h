// One entry of the thumbnail list: built by the loader thread, owned by the list from its
// insertion on.
#pragma once

#include <QString>

#include <cstdint>

#include "image/RasterImage.h"

struct ThumbItem {
    QString m_name;         // file name without folder; also the label
    QString m_path;         // full path of the file
    RasterImage m_thumb;    // fits 60 x 60, 24 bits, possibly with an alpha plane
    int32_t m_width = 0;      // the picture file's size in pixels
    int32_t m_height = 0;
    // Why no thumbnail could be made, said for the person (the cell's tooltip); empty when
    // m_thumb holds one. Such a cell shows a broken-picture sign and opens like any other.
    QString m_problem;
    // The photo keeps a box (a print order's): the cell shows a mark.
    bool m_hasBox = false;
};
