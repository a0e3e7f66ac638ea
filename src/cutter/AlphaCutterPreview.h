// The preview control of the "Alpha Picture Cutter" dialog: the cutter centred on a black
// backdrop with the picture under it, which the user moves and resizes with the mouse.
// The pixel work lives in cutter::CutterModel; this widget paints it and feeds it the mouse.
#pragma once

#include <QWidget>

#include "cutter/CutterModel.h"
#include "image/RasterImage.h"

class AlphaCutterPreview : public QWidget {
    Q_OBJECT
public:
    explicit AlphaCutterPreview(QWidget* parent = nullptr);

    // The picture to cut (given before the dialog runs).
    void SetPicture(const RasterImage& source, const std::vector<uint8_t>& icc = {});
    void SetCutter(const RasterImage& source);
    void ReverseAlpha();
    bool CanCut() const { return m_model.CanCut(); }
    bool GetResult(RasterImage& result) { return m_model.GetResult(result); }
    // What a point (logical pixels of the control) grabs.
    int HitTestPlacement(const QPoint& point) const;
    // Builds what a paint found missing for the widget's current size (queued by the paint,
    // which stays quick), then repaints and tells the dialog that the cut state may have changed.
    void BuildBackdrop();

    // The model, in the control's device pixels (ratio times its logical size).
    const cutter::CutterModel& Model() const { return m_model; }
    // The control's size in device pixels: the size the backdrop is built for.
    QSize DeviceSize() const;

signals:
    // Whether a cut can be made may have changed. Always emitted from a queued call, so the
    // dialog updates its buttons after the preview's own event has finished.
    void cutterStateChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool BackdropFitsDevice() const;
    void PostBuild();
    void PostCutterState();
    // The left button is up: the drag ends where it is, and OK follows the placement.
    void FinishDrag();
    void UpdateCursor(const QPoint& point);

    cutter::CutterModel m_model;
    bool m_buildPosted = false;
};
