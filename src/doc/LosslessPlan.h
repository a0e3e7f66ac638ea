// Whether the picture a document holds can still be saved to JPEG by moving the source file's
// DCT blocks (image/formats/LosslessJpeg.h), and how: the steps made since the JPEG was opened
// (quarter turns, mirror, flip, rectangle cuts) composed into one cut of the stored picture and
// one layout. Any other step (tones, light, shapes, Paste, the cutter, a border) ends it.
//
// A plain value: the document keeps one beside each history state, so Undo and Redo bring
// the right one back by copying.
//
//   LosslessPlan plan = LosslessPlan::FromJpegFile(path);   // on open
//   plan.TurnRight();  plan.Cut(box);  plan.Spoil();         // as the picture is edited
//   plan.State()                                             // for the status bar and Save
//   plan.SnapBoxCorner(box)                                  // for the view, while dragging
//   SaveLosslessJpeg(path, plan.Request(trimAllowed), target)
#pragma once

#include <cstdint>
#include <string>

#include "image/RasterImage.h"
#include "image/formats/JpegFrameFacts.h"
#include "image/formats/LosslessJpeg.h"
#include "image/formats/LosslessJpegGeometry.h"

class LosslessPlan {
public:
    enum class State {
        NotJpeg,      // not opened from a JPEG the block transform can handle
        Spoiled,      // a step was made that blocks cannot express
        Lossless,     // Save can move the blocks as things are
        NeedsTrim,    // Save can move the blocks without a few edge pixels (Trim())
        OffGrid,      // a cut's top-left corner is off the block grid: Save re-encodes
    };

    // Never lossless (a picture that did not come from a JPEG).
    LosslessPlan() = default;
    // A JPEG with these header facts, shown upright as the program opens it.
    explicit LosslessPlan(const JpegFrameFacts& facts);
    // The same from the file's header; never lossless when it is no JPEG the transform handles.
    static LosslessPlan FromJpegFile(const std::string& path);

    // The steps, on the picture as it is now.
    void TurnRight();
    void TurnLeft();
    void Mirror();
    void Flip();
    // A rectangle cut without border, in the current picture's pixels (clipped to it).
    void Cut(const RasterRect& box);
    // Any other change to the pixels.
    void Spoil();

    State GetState() const;
    bool CanSaveLossless() const { return GetState() == State::Lossless || GetState() == State::NeedsTrim; }
    // Columns (width) and rows (height) a lossless save leaves out at the left and top.
    PixelSize Trim() const;
    // The part of the picture as it is now that a lossless save writes (all of it but the
    // trim); meaningful while CanSaveLossless().
    RasterRect WrittenPart() const;
    // A sentence for the status bar or a question: why not lossless, or what a trim costs.
    std::string Explanation() const;

    // The size of the picture as it is now.
    PixelSize PictureSize() const { return m_chain.PictureSize(); }
    // Where the composed steps stand, in the source's stored pixels and as a layout 1..8.
    RasterRect StoredCut() const { return m_chain.StoredCut(); }
    int Layout() const { return m_chain.Layout(); }
    // What SaveLosslessJpeg is to do; allowTrim answers the question about a trim.
    LosslessJpegRequest Request(bool allowTrim) const;

    // The block grid in the current picture's pixels: a box's top-left corner is lossless at
    // offset + k * step (or at 0 with a trim).
    ShownGrid GridInPicture() const;
    // box (current picture pixels) with its top-left corner moved to the nearest grid place;
    // the far edges stay. Unchanged when the plan cannot be lossless whatever the box.
    RasterRect SnapBoxCorner(const RasterRect& box) const;

private:
    LosslessLayout Check() const;

    JpegFrameFacts m_source;
    bool m_fromJpeg = false;
    bool m_spoiled = false;
    LayoutChain m_chain;
};
