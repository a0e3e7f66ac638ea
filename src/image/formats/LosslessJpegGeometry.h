// Where a rectangle cut with quarter turns, mirror and flip can be written from a JPEG's DCT
// blocks without decoding them, and where it cannot. Pure arithmetic, no file is read.
//
// A layout of a picture is one of the eight EXIF orientations (1..8): the turn that takes the
// stored rows to the picture shown. Every chain of quarter turns, mirrors and flips composes
// into one of them. The written file holds the shown picture's pixels in its own stored order,
// so its first block starts at the cut's top-left corner as shown; that corner, taken back to
// stored coordinates, must sit on the source's block grid (the MCU). The far edges are free:
// the last blocks of the new file carry the rest as padding no decoder shows.
//
// Blocks whose order is reversed (by a mirror, a flip or a turn) cannot carry a partial block
// at the stored picture's right or bottom edge: it would come first, padding and all. Such a
// cut is lossless only without those few pixels (a trim).
#pragma once

#include <cstdint>
#include <string>

#include "image/RasterImage.h"

// The EXIF orientation numbers of the single steps a person makes on the shown picture.
constexpr int kLayoutUpright = 1;
constexpr int kLayoutMirror = 2;        // left and right exchanged
constexpr int kLayoutFlip = 4;          // upside down
constexpr int kLayoutTurnRight = 6;     // a quarter turn clockwise
constexpr int kLayoutTurnLeft = 8;      // a quarter turn counter-clockwise

// A layout as three steps on stored coordinates, in this order: exchange x and y, then
// reverse x, then reverse y.
struct LayoutSteps {
    bool transpose;
    bool reverseX;
    bool reverseY;
};
LayoutSteps StepsOfLayout(int layout);

// The layout that applying first, then then (both 1..8) gives.
int ComposeLayouts(int first, int then);
// The layout that undoes layout.
int InverseLayout(int layout);
// Layouts 5..8 exchange width and height.
bool LayoutSwapsSides(int layout);

// Width and height of a picture, or of a block grid cell, in pixels.
struct PixelSize {
    uint32_t width = 0;
    uint32_t height = 0;
    bool operator==(const PixelSize&) const = default;
};

// The size the picture has when shown in layout.
PixelSize ShownSize(PixelSize stored, int layout);

// A rectangle of the picture as shown taken to stored coordinates, and back. Rectangles are
// half-open ([left, right) x [top, bottom)) and must lie inside the picture.
RasterRect StoredRectOf(const RasterRect& shown, PixelSize stored, int layout);
RasterRect ShownRectOf(const RasterRect& storedRect, PixelSize stored, int layout);

// The block grid of the picture as shown: a box's top-left corner may sit at offset + k * step
// on each axis. The offset is the partial block of a reversed axis, which a lossless cut
// leaves out.
struct ShownGrid {
    PixelSize step;
    PixelSize offset;
};
ShownGrid ShownGridOf(PixelSize stored, PixelSize grid, int layout);
// The box with its top-left corner moved to the nearest place the grid allows inside within
// (the picture as it is now, in the same coordinates); the picture's edge counts too, since a
// trim makes it lossless. The far edges stay. A box too small for any grid place is returned
// as it was.
RasterRect SnapCornerToGrid(const RasterRect& shown, const ShownGrid& grid, const RasterRect& within);

// Quarter turns, mirrors, flips and rectangle cuts made one after the other on a stored
// picture, composed into one layout and one cut of the stored picture. A plain value.
class LayoutChain {
public:
    LayoutChain() = default;
    // The stored picture shown in layout (its EXIF orientation, when it is shown upright).
    LayoutChain(PixelSize stored, int layout);

    // One of kLayoutTurnRight, kLayoutTurnLeft, kLayoutMirror, kLayoutFlip.
    void Apply(int step);
    // Keeps box of the picture as it is now, clipped to it (edges given in either order);
    // false, changing nothing, when no pixel is left.
    bool Cut(const RasterRect& box);

    PixelSize Stored() const { return m_stored; }
    int Layout() const { return m_layout; }
    RasterRect StoredCut() const { return m_storedCut; }
    // The picture as it is now, placed in the whole stored picture shown in Layout().
    RasterRect ShownPlace() const { return ShownRectOf(m_storedCut, m_stored, m_layout); }
    PixelSize PictureSize() const;

private:
    PixelSize m_stored;
    int m_layout = kLayoutUpright;
    RasterRect m_storedCut{0, 0, 0, 0};
};

enum class LosslessVerdict {
    Lossless,       // the blocks give the cut exactly
    NeedsTrim,      // exact only without the partial edge blocks (trim counts the pixels lost)
    CornerOffGrid,  // the top-left corner as shown does not sit on the block grid
    Empty,          // no pixel left (an empty cut, outside the picture, or nothing but partial blocks)
};

// What a cut (in shown coordinates) of a stored picture with the given grid becomes.
struct LosslessLayout {
    LosslessVerdict verdict = LosslessVerdict::Empty;
    // The pixels written, in stored coordinates (after the trim when NeedsTrim).
    RasterRect stored{0, 0, 0, 0};
    // The pixels written, as shown (after the trim).
    RasterRect shown{0, 0, 0, 0};
    // Columns and rows of the shown cut that the trim leaves out.
    PixelSize trim;
    // The block grid in the source's stored pixels (8 or 16 on each axis), and as shown.
    PixelSize grid;
    ShownGrid shownGrid;
    // The cut in the coordinates of the whole picture transformed block by block, as
    // TurboJPEG's crop takes it: a reversed axis counts from its last whole block, since the
    // partial one stays where it was.
    RasterRect blockCrop{0, 0, 0, 0};
};

LosslessLayout PlanLosslessCut(const RasterRect& shown, PixelSize stored, PixelSize grid, int layout);

// A sentence for a person on why layout's cut is not lossless as asked ("" when it is).
std::string LosslessVerdictText(const LosslessLayout& layout);
