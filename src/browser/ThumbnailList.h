// The thumbnail list of the browser pane: an icon view of the pictures of one folder, filled by
// a loader thread, painted entirely by the list itself onto an off-screen picture.
#pragma once

#include <QListWidget>
#include <QString>
#include <QElapsedTimer>
#include <QImage>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "image/RasterImage.h"
#include "browser/FolderChanges.h"
#include "browser/ThumbItem.h"

class FolderWatch;
class LoaderHandoff;
class WakePipe;

class ThumbnailList : public QListWidget {
    Q_OBJECT
public:
    explicit ThumbnailList(QWidget* parent = nullptr);
    ~ThumbnailList() override;

    // Full path of the current item (the framed cell), or empty. Kept on the picture the view
    // shows (see SetShownPicture), so that what acts on "the picture" never meets another one.
    QString CurrentPath() const;
    // The view shows the picture at path (empty: none). Its cell becomes the current, framed
    // one without opening the picture again, and a choice still waiting to open is dropped; a
    // picture not listed leaves no cell current until its cell arrives (a Save As to a new
    // name, a folder listed again).
    void SetShownPicture(const QString& path);
    // The listed picture step places after path (before it for a negative step), or empty.
    QString NeighbourPath(const QString& path, int step) const;
    // The selected cells' paths in list order. Several may be selected (Ctrl or Shift and a
    // click, Ctrl+A); the current cell, the picture the view shows, stays apart from them.
    QStringList SelectedPaths() const;
    // Drops the item whose path equals path and selects the one that followed it.
    void RemoveFile(const QString& path);
    // Lists the pictures of folder; an empty or invalid path gives an empty list. While a scan
    // runs, the scan is stopped and the last folder asked for is listed once it has ended.
    void SetFolder(const QString& folder);
    // A file was just written (Save, Save As): when it lies in the listed folder, its cell is
    // brought up to date at once instead of after the usual short delay.
    void FileWritten(const QString& path);

    // The record of row, or null.
    const ThumbItem* Thumb(int row) const;
    // The tip of row: "name\nWidth=w, Height=h"; empty for no item.
    QString TipText(int row) const;
    // True while a loader thread (a scan or an update) exists and has not ended.
    bool IsScanning() const;
    // True while a reported change of the listed folder waits to be looked at.
    bool IsUpdatePending() const { return m_updateTimer.isActive(); }
    // The box the thumbnails of the listing were made for, in device pixels.
    int ThumbnailSide() const { return m_thumbSide; }
    // True while a folder waits for the running scan to stop.
    bool IsWaitingForLoader() const { return m_waitTimer.isActive(); }
    const QString& CurrentFolder() const { return m_folder; }
    // Composes the whole client area as a paint shows it.
    QImage RenderClient() const;
    // Cell geometry of row in viewport coordinates.
    QRect IconRect(int row) const;
    QRect LabelRect(int row) const;

signals:
    // The user chose the picture at path (the selection settled, or a double click); emitted
    // on a later turn of the event loop.
    void pictureChosen(const QString& path);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void PostChosenPicture();
    void OnSelectionChanged();
    // A photo's kept box came or went: its mark follows.
    void OnBoxChanged(const QString& path);
    void OnOpenTimer();
    void OnWaitTimer();
    void StartLoader();
    void StartUpdate();
    void OnFolderChanged();
    void OnUpdateTimer();
    QSize DeviceClientSize() const;
    void StopLoader();
    void JoinFinishedLoader();
    void ArrangeTop();
    int RowOfName(const QString& name) const;
    int RowOfPath(const QString& path) const;
    // Makes the shown picture's cell current and selected, quietly (nothing is opened).
    void FrameShownPicture();
    int SortedRowFor(const QString& name) const;
    void TakeRow(int row);
    // Requests of the loader, run on this thread.
    void InsertThumb(ThumbItem* item);
    // An update's record: replaces the cell of the same name, or is inserted in name order.
    void PutThumb(ThumbItem* item);
    void ApplyRemovalsAndRenames(const thumbs::FolderChanges& changes);
    void DropNames(const QStringList& names);
    void FinishLoad(thumbs::FolderStamps stamps);
    static void ScanFolder(QString folder, std::shared_ptr<LoaderHandoff> handoff, ThumbnailList* list,
                           std::atomic<bool>* stop, std::atomic<bool>* running, int side);
    static void UpdateFolder(QString folder, thumbs::FolderStamps before, std::shared_ptr<LoaderHandoff> handoff,
                             ThumbnailList* list, std::atomic<bool>* stop, std::atomic<bool>* running, int side);

    QString m_folder;           // the folder whose pictures are listed
    QString m_pendingFolder;    // listed once the running scan has stopped
    QString m_shownPath;        // the picture the view shows: its cell is the current one
    QTimer m_openTimer;            // TIMER_OPEN_SELECTED
    QTimer m_waitTimer;            // TIMER_WAIT_LOADER
    // A reported change is looked at once this runs out; further reports meanwhile join it,
    // so a folder being filled is compared a few times a second, not once per file.
    QTimer m_updateTimer;
    FolderWatch* m_watch;
    thumbs::FolderStamps m_stamps;   // the listed folder's picture files as last seen
    int m_thumbSide;                // the thumbnail box of the listing, device pixels
    // While a scan inserts items, the composed client is reused for a short while instead of
    // being composed again after every insertion (see paintEvent).
    QImage m_frame;
    mutable QImage m_compose;   // the frame RenderClient composes in
    int m_frameScroll = 0;
    QElapsedTimer m_frameClock;
    QTimer m_frameTimer;
    std::thread m_loader;
    std::shared_ptr<LoaderHandoff> m_handoff;
    WakePipe* m_wake;             // the loader's requests arrive through it
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_loaderRunning{false};
};
