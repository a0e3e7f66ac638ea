// The browser pane: the folder tree above the thumbnail list, with a bar between them that the
// user drags to share the height. Choosing a folder lists its pictures; choosing a thumbnail
// opens the picture in the picture view. The last folder chosen is kept in the settings.
#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

#include "doc/FileCommands.h"

class FolderTreeModel;
class QTreeView;
class ThumbnailList;

class BrowserPane : public QWidget, public PictureBrowserLink {
    Q_OBJECT
public:
    // When folders are shown at once or later, through ShowFolders.
    enum class FolderStart { Now, Later };

    // Registers itself with document as its picture browser. With FolderStart::Later the
    // folder tree stays empty (and no folder is listed) until ShowFolders: the main window
    // paints first and fills its browser right after.
    explicit BrowserPane(FileCommands* document, QWidget* parent = nullptr, FolderStart start = FolderStart::Now);
    ~BrowserPane() override;

    // PictureBrowserLink
    QString GetSelectedPath() const override;
    void RemoveFile(const QString& path) override;
    void FileWritten(const QString& path) override;

    // Connects the tree to the file system and selects the remembered folder, which starts
    // its listing. Only the first call does anything.
    void ShowFolders();

    // The pane's command (ID_PICKER_LAYOUT); other ids are ignored.
    void OnCommand(uint32_t id);
    // Selects the tree node of a folder path; false when the path is no existing folder.
    bool SelectFolder(const QString& path);
    // The file-system path of the tree's selected node, or empty.
    QString SelectedFolder() const;

    ThumbnailList* List() const { return m_list; }
    QTreeView* Tree() const { return m_tree; }
    const QString& RememberedFolder() const { return m_folder; }
    // The bar between the tree and the list, in client coordinates.
    QRect BarRect() const;

signals:
    // The user chose the picture at path in the thumbnail list; the frame opens it in the view.
    void pictureChosen(const QString& path);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void OnFolderChosen();
    void OnMountsChanged();
    void LayoutControls();
    void PlaceControls(const QRect& bar);
    void ShowTrackingBar(bool show);

    FileCommands* m_document;
    FolderTreeModel* m_folders = nullptr;  // made by ShowFolders
    QTreeView* m_tree;
    ThumbnailList* m_list;
    QWidget* m_trackingBar;   // the bar's outline while it is dragged
    QRect m_bar;
    QPoint m_lastPoint;
    bool m_tracking = false;
    bool m_started = false;
    bool m_foldersShown = false;
    QString m_folder;         // the remembered folder
};
