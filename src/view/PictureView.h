// The picture view: shows a document (its picture fitted to the client on black, with the crop
// box over it), turns mouse, wheel and keys into box edits and commands, and keeps only display
// copies of the picture. Copy and Paste, the Ext Cutter's dialog and Print's dialogs run here;
// the edits themselves are the document's.
#pragma once

#include <QElapsedTimer>
#include <QLineF>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <memory>

#include "commands/CommandRouter.h"
#include "doc/FileCommands.h"
#include "doc/PhotosAhead.h"
#include "doc/PictureDocument.h"
#include "view/DisplayCopies.h"
#include "view/ViewPainter.h"

class QKeyEvent;
class QMenu;
class QMouseEvent;

// The maker's customisation page opened by "Order".
inline constexpr const char* kCustomizationUrl = "https://www.norvane.com/snipwell/customization";

class PictureView : public QWidget, public PictureViewLink {
    Q_OBJECT
public:
    // files: the file commands whose save question guards a Paste (may be null). The view
    // shows a document of its own until SetDocument gives it another.
    explicit PictureView(FileCommands* files, QWidget* parent = nullptr);
    ~PictureView() override;

    // Shows document (null: the view's own); the commands go to it from now on.
    void SetDocument(PictureDocument* document);
    PictureDocument* Document() const { return m_document; }
    PictureDocument* ShownDocument() override { return m_document; }

    // Opens a picture file into the shown document and makes this the active view; says so
    // in a message when it cannot be opened. An empty path clears the view.
    void LoadPicture(const QString& path) override;
    // Page Down / Page Up and the mouse's forward and back buttons: the next or previous photo
    // of the list opens (after the save question) and the list follows.
    void StepPhoto(int step);
    // Apply to Selected: the box's shape, print size and border, and a centred box, to every
    // selected photo; photos with a box of their own keep it unless the user says otherwise.
    void ApplyToSelected();
    // The photos next to the shown one, decoded ahead.
    const PhotosAhead& Ahead() const { return m_ahead; }
    // The Ext Cutter command: the Alpha Picture Cutter's result replaces the working picture.
    void RunExternalCutter();
    // The Print command: the print dialog with a preview; true when the picture was printed.
    bool PrintPicture();
    void Copy();
    void Paste();

    // The document's picture and the view copy both hold pixels.
    bool PicturesValid() const { return m_document->PicturesValid() && m_copies.ViewCopy().IsValid(); }
    // The picture can be edited: it is shown and no long operation or decode runs on it.
    bool CanEdit() const { return PicturesValid() && !m_document->IsBusy(); }
    // The shown document's state, as the frame's title and the tests read it.
    const QString& Path() const { return m_document->Path(); }
    bool IsModified() const { return m_document->IsModified(); }
    QString PictureName() const { return m_document->PictureName(); }
    QString ModifiedMark() const { return m_document->ModifiedMark(); }
    cropbox::CropBoxModel& Box() { return m_document->Box(); }

    const RasterImage& ViewPicture() const { return m_copies.ViewCopy(); }
    const DisplayCopies& Copies() const { return m_copies; }

    // The handlers this view offers to the command router (it is the active view).
    const CommandHandlers& Handlers() const { return m_handlers; }
    QWidget* DialogParent() override { return this; }
    void ActivateView() override;
    void Repaint() { update(); }

    // Paints the whole client area as a paint shows it: at the screen's pixels, an image of
    // the client size times the device pixel ratio, which it carries.
    QImage RenderClient();
    // The same for a screen of that device pixel ratio.
    QImage RenderClient(qreal ratio);
    // The context menu (Copy, Paste), its entries running their commands through the router.
    QMenu* CreateContextMenu(QWidget* parent);

signals:
    // A long operation or a full decode on the shown document started or ended.
    void busyChanged(bool busy);

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
    void RegisterViewCommands();
    // Apply to Selected and the sidecar option.
    void RegisterOrderCommands();
    // The document laid its picture out again: new display copies, and a repaint.
    void FollowLayout(bool withLightPreview);
    // The largest area the view shows the picture in (logical pixels): the window or the
    // screen, whichever is larger.
    QSize LargestArea() const;
    // Gives the document the client's size when it has another one (a hidden widget takes
    // its new size before it hears of it).
    void SyncViewArea();
    // The view copy for the client's size; an empty box when there is none.
    void FitViewCopy();
    // Resizes that follow each other within the settle time are a drag of the window's edge:
    // until the size settles, paints show the view copy scaled by the screen instead of a
    // screen-sized copy made for every step, so the frame keeps up with the mouse. The sharp
    // copy is made once the size has settled. A single resize (maximise) stays sharp.
    void NoteResize();
    void ResizeSettled();
    // Shows guide inside the box and remembers it for the next run.
    void SetGuide(CompositionGuide guide, int spiralTurn);
    void ShowNextGuide();   // O
    // The context menu's choice of guide: each guide (O steps through them) and the spiral's turn.
    void AddGuideMenu(QMenu& menu);
    void TurnSpiral();      // Shift+O
    void UpdateCursor(QPoint position);
    void BeginDrag(QPoint position);
    void EndDrag();
    // The wheel or an arrow key moved the box a step.
    void BoxStepped();

    // ---- straighten (PictureViewStraighten.cpp) ----------------------------------------------
    // [ and ] turn the picture by a tenth of a degree (with Shift by a degree); true when the
    // key was one of them.
    void RegisterStraightenCommands();
    bool StraightenKey(const QKeyEvent& event);
    void StraightenBy(double degrees);
    // "Straighten by Line": the next drag draws a line along a horizon (or a plumb line), and
    // the picture turns to make it level when the button is let go.
    void AddStraightenMenu(QMenu& menu);
    void StartHorizonLine();
    // The mouse while a horizon line is drawn; true when it was taken for the line.
    bool HorizonPress(const QMouseEvent& event);
    bool HorizonMove(const QMouseEvent& event);
    bool HorizonRelease(const QMouseEvent& event);
    // The fine grid shows while the turn changes and fades a moment after the last change.
    void ShowStraightenMarks();
    bool m_horizonMode = false;       // the next drag draws a horizon line
    bool m_horizonDrawing = false;    // a horizon line is being drawn
    QLineF m_horizon;
    uint64_t m_straightenChange = 0;  // counts changes, so only the last one hides the grid

    QPointer<FileCommands> m_files;
    std::unique_ptr<PictureDocument> m_ownDocument;
    PictureDocument* m_document = nullptr;
    QMetaObject::Connection m_layoutConnection;
    QMetaObject::Connection m_closedConnection;
    QMetaObject::Connection m_busyConnection;
    QMetaObject::Connection m_failedConnection;
    CommandHandlers m_handlers;
    DisplayCopies m_copies;
    mutable ViewPainter m_painter;  // keeps the paint buffers between paints
    QElapsedTimer m_sinceResize;    // since the last resize, invalid before the first
    QTimer m_resizeSettle;          // single shot: the end of a resize drag
    bool m_resizing = false;        // within a resize drag: no screen-sized copy
    bool m_captured = false;        // the view holds the mouse during a drag
    // The photos next to the shown one in the list, decoded ahead of a step.
    void PrepareNeighbours();

    PhotosAhead m_ahead;
    CompositionGuide m_guide = CompositionGuide::None;
    int m_spiralTurn = 0;
};
