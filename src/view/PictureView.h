// The picture view: the working picture and its fitted view copy, the crop box over it,
// painting, mouse and keyboard editing, Cut, the picture commands, Copy and Paste, the status
// texts, and the file side (LoadPicture, SavePicture).
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <memory>

#include "commands/CommandRouter.h"
#include "doc/PictureDocument.h"
#include "view/CropBoxModel.h"
#include "view/PictureHistory.h"
#include "image/PictureMetadata.h"
#include "image/RasterImage.h"
#include "view/ViewPainter.h"

class QMenu;
struct CutRequest;

// The maker's customisation page opened by "Order".
inline constexpr const char* kCustomizationUrl = "https://www.norvane.com/snipwell/customization";

class PictureView : public QWidget, public PictureViewLink {
    Q_OBJECT
public:
    explicit PictureView(PictureDocument* document, QWidget* parent = nullptr);
    ~PictureView() override;

    // ---- file side (document and picture files) --------------------------------------------
    // Opens a picture file into the view; an empty path clears the view.
    void LoadPicture(const QString& path) override;
    // Writes the working picture (with the light values) to path; shows the failure messages.
    bool SavePicture(const QString& path) override;

    // ---- picture commands ---------------------------------------------------------------------
    // The light sliders' neutral position: a value is the position minus this.
    static constexpr int kLightSliderNeutral = 100;
    // A slider position (clamped to 0..200) as a light value -100..100.
    static int LightValueOfPosition(int position);
    // (contrast, brightness), each -100..100, 0 for no change.
    void GetLightValues(int& contrast, int& brightness) const;
    // Puts both light values back to 0; the sliders follow on the next update pass.
    void ResetLightSliders();
    // A copy of the working picture with the light values in it, as Save, Copy and Print
    // write it; false when it could not be made (memory).
    bool MakeLitCopy(RasterImage& copy) const;
    // Applies (brightness, contrast) to picture when either is not 0, as Save and Copy do.
    static void ApplyLightValues(RasterImage& picture, int contrast, int brightness);

    // ---- layout and crop box --------------------------------------------------------------------
    // Rebuilds the view copy from the working picture and re-places the crop box.
    void LayoutPicture();
    // The working picture reduced to fit the screen (kept for relayouts while the window
    // changes size); invalid when the picture is not much larger than the screen.
    const RasterImage& ReducedPicture() const { return m_reduced; }
    // The same at logical pixels, on a screen of more pixels than logical ones.
    const RasterImage& LogicalReducedPicture() const { return m_reducedLogical; }
    void PlaceCropBox();
    void MatchOrientation(int pictureWidth, int pictureHeight);
    // Boxes narrower or lower than this (client pixels) are not cut.
    static constexpr int kMinimumCutSpan = 64;
    // The Cut command; true when the working picture was replaced by the cut.
    bool CutToCropBox();
    // The crop box in working-picture pixels, as Cut maps it; empty without pictures or box.
    cropbox::Rect BoxInPicture() const;
    // The Ext Cutter command: the Alpha Picture Cutter's result replaces the working picture.
    void RunExternalCutter();
    // The Print command: the print dialog with a preview; true when the picture was printed.
    bool PrintPicture();

    // ---- undo and the saved mark ---------------------------------------------------------------
    // Undo and Redo of the last step that changed the working picture; the crop box returns
    // with the picture. False when there was nothing to undo or redo.
    bool UndoPicture();
    bool RedoPicture();
    const PictureHistory& History() const { return m_history; }
    // The working picture differs from the file it came from (or was never saved).
    bool IsModified() const override;
    // The name the picture is saved under ("Untitled" for a pasted one).
    QString PictureName() const override;
    // "*" while the picture is modified, else empty: put before its name.
    QString ModifiedMark() const { return IsModified() ? QStringLiteral("*") : QString(); }

    // Both pictures hold pixels.
    bool PicturesValid() const override { return m_working.IsValid() && m_viewCopy.IsValid(); }

    // The handlers this view offers to the command router (it is the active view).
    const CommandHandlers& Handlers() const { return m_handlers; }

    // State, read by the document, the status bar and the tests.
    const QString& Path() const override { return m_path; }
    // What was wrong with the picture file shown, when it was damaged but still loaded; empty
    // for a sound file and after another picture is opened or pasted.
    const QString& DamageNote() const { return m_damage; }
    // The metadata kept beside the working picture (EXIF, XMP, IPTC, colour profile): what
    // the file held, written back by Save; empty for a pasted picture.
    const PictureMetadata& Metadata() const;
    // Set when a metadata block of the file shown could not be read or written and was left
    // out; cleared when another picture is opened or pasted.
    bool MetadataDropped() const { return m_metadataDropped; }
    QWidget* DialogParent() override { return this; }
    void ActivateView() override;
    const RasterImage& WorkPicture() const { return m_working; }
    const RasterImage& ViewPicture() const { return m_viewCopy; }
    cropbox::CropBoxModel& Box() { return m_box; }
    const cropbox::CropBoxModel& Box() const { return m_box; }

    // Paints the whole client area as a paint shows it: at the screen's pixels, an image of
    // the client size times the device pixel ratio, which it carries.
    QImage RenderClient();
    // The same for a screen of that device pixel ratio.
    QImage RenderClient(qreal ratio);
    // The context menu (Copy, Paste), its entries running their commands through the router.
    QMenu* CreateContextMenu(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    void RegisterCommands();
    void RegisterFileCommands();     // implemented with the file side
    CutRequest CurrentCutRequest() const;  // implemented with Cut
    void RegisterPrintCommands();    // implemented with Print
    void RunPictureCommand(uint32_t id);
    PictureState CaptureState() const;
    void RestoreState(const PictureState& state);
    // Replaces the working picture with replacement, as one step of the history.
    void ReplaceWorkingPicture(RasterImage& replacement, const PictureState& before);
    // Takes a step back or forth: applies change (or swaps the kept picture) and swaps states.
    bool SwapStep(PictureHistory::Step& step, PictureHistory::Change change);
    void ForgetHistory();
    void ApplyLightPreview();
    // The picture a paint at that ratio shows: the view copy itself at ratio 1, else the
    // working picture scaled to the screen's pixels (with the light preview), made when first
    // needed after each layout. The view copy when that cannot be made, and while the window
    // is being resized (see NoteResize).
    const RasterImage& ShownCopy(qreal ratio);
    // Resizes that follow each other within kResizeSettleMs are a drag of the window's edge:
    // until the size settles, paints show the view copy scaled by the screen instead of a
    // screen-sized copy made for every step, so the frame keeps up with the mouse. The sharp
    // copy is made once the size has settled. A single resize (maximise) stays sharp.
    void NoteResize();
    void ResizeSettled();
    void ForgetShownCopy();
    // The view copy for the client's size, from the reduced picture where that is large
    // enough, and the box placed over it.
    void FitViewCopy();
    // Makes m_reduced from the working picture: fitted to the larger of the screen and the
    // window, at the screen's pixels, when that is under 0.8 of the picture's width and height
    // (a 5K photo on a screen of ratio 2 is reduced too: each relayout then reads 2.5 times
    // fewer pixels). On a screen of more pixels than logical ones, m_reducedLogical too: the
    // same fit at logical pixels, which the view copies are made from, so that a relayout there
    // reads no more pixels than at ratio 1.
    void ReduceWorkingPicture();
    // The working picture rescaled to fit bound, into reduced, when that is under 0.8 of its
    // width and height (reduced is left as it is otherwise); false when there is no memory.
    bool ReduceToFit(QSize bound, RasterImage& reduced);
    // What a copy of that size is rescaled from: the smallest reduced picture at least as
    // large, else the working picture.
    RasterImage& ScaleSource(QSize target);
    // The working picture rescaled (or copied) to size, in the screen's colours; false when
    // there is no memory for it.
    bool MakeScaledCopy(QSize size, RasterImage& copy);
    // Shows a copy made for the screen in the colours the picture's colour profile means.
    void ConvertViewColours(RasterImage& copy) const;
    // The print size of the crop box's preset as the cut picture's dpi; the Free preset and
    // the Ext Cutter keep the source's.
    void SetCutDpi(RasterImage& result, bool byPreset) const;
    void UpdateCursor(QPoint position);
    void Repaint();
    void Paste();
    void Copy();
    void BeginDrag(QPoint position);
    void EndDrag();

    PictureDocument* m_document;
    QString m_path;
    QString m_damage;
    std::shared_ptr<const PictureMetadata> m_metadata;
    bool m_metadataDropped = false;
    RasterImage m_viewCopy;
    RasterImage m_working;
    cropbox::CropBoxModel m_box;
    CommandHandlers m_handlers;
    mutable ViewPainter m_painter;  // keeps the paint buffers between paints
    RasterImage m_reduced;         // see ReducedPicture
    RasterImage m_reducedLogical;  // see ReduceWorkingPicture
    RasterImage m_shownCopy;           // the view copy at the screen's pixels, see ShownCopy
    qreal m_shownRatio = 0;          // the ratio m_shownCopy was made for, 0 for none
    QElapsedTimer m_sinceResize;      // since the last resize, invalid before the first
    QTimer m_resizeSettle;            // single shot: the end of a resize drag
    bool m_resizing = false;         // within a resize drag: no screen-sized copy
    bool m_captured = false;
    PictureHistory m_history;
    uint64_t m_savedPosition = 0;   // the history's position of the picture on disk
    int m_contrast = 0;     // light values, -100..100
    int m_brightness = 0;  // the view holds the mouse during a drag
};
