// The copies of a document's working picture that a view paints: the view copy fitted into the
// client, the working picture reduced to the screen (so that relayouts while the window changes
// size read fewer pixels) and the shown copy at the screen's own pixels. All are made in the
// screen's colours; the document's pictures are only read.
#pragma once

#include <QSize>

#include <vector>

#include "image/RasterImage.h"

class PictureDocument;

class DisplayCopies {
public:
    // Makes the reduced pictures from the working picture: fitted to bound (the larger of
    // the screen and the window, logical pixels) at the screen's ratio, when that is under 0.8
    // of the picture's width and height (a 5K photo on a screen of ratio 2 is reduced too:
    // each relayout then reads 2.5 times fewer pixels). On a screen of more pixels than
    // logical ones, the same fit at logical pixels too, which the view copies are made from,
    // so that a relayout there reads no more pixels than at ratio 1.
    void Reduce(const PictureDocument& document, QSize bound, qreal ratio);
    // The reduced pictures Reduce would make of work, made ahead (on a worker, of a photo
    // decoded ahead): made receives them in the order AdoptAhead takes them.
    static void ReduceAhead(const RasterImage& work, QSize bound, qreal ratio, std::vector<RasterImage>& made);
    // The next Reduce takes these instead of making them, when they were made for a picture
    // of workSize at the same bound and ratio.
    void AdoptAhead(std::vector<RasterImage>& made, QSize workSize, QSize bound, qreal ratio);
    // Makes the view copy at the document's fitted size; false when it has none or there is
    // no memory for it. While a long operation holds the working picture, the last view copy
    // is rescaled to that size instead.
    bool Fit(const PictureDocument& document);
    // Shows the document's light values on the view copy.
    void ApplyLightPreview(const PictureDocument& document);
    // Drops every copy.
    void Clear();

    const RasterImage& ViewCopy() const { return m_viewCopy; }
    // See Reduce: invalid when the picture is not much larger than the screen.
    const RasterImage& Reduced() const { return m_reduced; }
    const RasterImage& LogicalReduced() const { return m_reducedLogical; }
    // The picture a paint at that ratio shows: the view copy itself at ratio 1, else the
    // working picture scaled to the screen's pixels (with the light preview), made when first
    // needed after each layout. The view copy when that cannot be made, and when makeNew is
    // false and no copy for that ratio is kept.
    const RasterImage& Shown(const PictureDocument& document, qreal ratio, bool makeNew);

private:
    void ForgetShown();
    // The view copy rescaled to size; false when there is none or no memory.
    bool RefitViewCopy(QSize size);
    // The working picture rescaled to fit bound, into reduced, when that is under 0.8 of its
    // width and height (reduced is left as it is otherwise); false when there is no memory.
    static bool ReduceToFit(const RasterImage& work, QSize bound, RasterImage& reduced);
    // What a copy of that size is rescaled from: the smallest reduced picture at least as
    // large, else the working picture.
    const RasterImage& ScaleSource(const RasterImage& work, QSize target) const;
    // The working picture rescaled (or copied) to size, in the screen's colours; false when
    // there is no memory for it.
    bool MakeScaledCopy(const PictureDocument& document, QSize size, RasterImage& copy) const;

    RasterImage m_viewCopy;
    RasterImage m_reduced;
    RasterImage m_reducedLogical;
    RasterImage m_shownCopy;  // the view copy at the screen's pixels
    std::vector<RasterImage> m_ahead;  // see AdoptAhead
    QSize m_aheadWork;
    QSize m_aheadBound;
    qreal m_aheadRatio = 0;
    qreal m_shownRatio = 0;   // the ratio m_shownCopy was made for, 0 for none
};
