// The browser pane: the folder tree above the thumbnail list, in a splitter whose bar the user
// drags to share the height. Choosing a folder lists its pictures; choosing a thumbnail
// opens the picture in the picture view. The last folder chosen is kept in the settings.
#pragma once

#include <QString>
#include <QWidget>

#include "doc/FileCommands.h"

class FolderTreeModel;
class QSplitter;
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
    QString CurrentPath() const override;
    void RemoveFile(const QString& path) override;
    void FileWritten(const QString& path) override;
    void PictureShown(const QString& path) override;
    QString NeighbourPath(const QString& path, int step) const override;
    QStringList SelectedPaths() const override;

    // Connects the tree to the file system and selects the remembered folder, which starts
    // its listing. Only the first call does anything.
    void ShowFolders();

    // Selects the tree node of a folder path; false when the path is no existing folder.
    bool SelectFolder(const QString& path);
    // The file-system path of the tree's selected node, or empty.
    QString SelectedFolder() const;
    // Opens path as the user's own choice would: a folder is selected, listed and remembered;
    // a file's folder is, and the file is selected in the list (which opens it) as soon as its
    // thumbnail is there. Before ShowFolders the choice waits for it. False when path is no
    // existing file or folder, or its folder has no node in the tree.
    bool OpenPath(const QString& path);

    ThumbnailList* List() const { return m_list; }
    QTreeView* Tree() const { return m_tree; }
    const QString& RememberedFolder() const { return m_folder; }
    // Tree above, list below.
    QSplitter* Splitter() const { return m_splitter; }

signals:
    // The user chose the picture at path in the thumbnail list; the frame opens it in the view.
    void pictureChosen(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnFolderChosen();
    void OnMountsChanged();
    void SelectWaitingPicture(int first, int last);

    FileCommands* m_document;
    FolderTreeModel* m_folders = nullptr;  // made by ShowFolders
    QSplitter* m_splitter;
    QTreeView* m_tree;
    ThumbnailList* m_list;
    bool m_foldersShown = false;
    QString m_folder;         // the remembered folder
    QString m_waitingPicture; // canonical path of a file to select once the list holds it
};
