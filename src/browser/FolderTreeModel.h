// The folder tree of the browser pane: the places (Home, Pictures, Desktop, the user's volumes,
// File System) at the top, each with the folders below it, listed when a node is expanded.
// Hidden folders are left out. A folder shows an expand arrow only when it has subfolders.
//
// An expanded folder is listed on a thread of its own and its subfolders appear when the
// listing is done, so a slow or hung volume never freezes the window; places are listed as
// soon as they are shown. Until its listing is done a place shows an arrow.
//
// The tree follows the disk: every place and every expanded folder is watched, and a folder
// that changes is listed again and its subfolders merged in (rows inserted and removed, the
// others kept with what is expanded and selected below them). A collapsed folder lets go of its
// watch and is listed again when expanded.
#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <QList>
#include <QPersistentModelIndex>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

#include "browser/SubfolderListing.h"
#include "platform/Places.h"

class QTreeView;

class FolderTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    // How a folder's subfolders are read: thumbs::ReadSubfolders, or a stand-in in tests. It
    // runs on other threads as well as on this one.
    using Lister = std::function<std::vector<thumbs::SubfolderEntry>(const QString& folder)>;

    explicit FolderTreeModel(QObject* parent = nullptr, Lister lister = thumbs::ReadSubfolders);
    ~FolderTreeModel() override;

    // Shows places instead of the ones shown; places that stay keep their nodes (and what is
    // expanded and selected below them).
    void SetPlaces(const QList<places::Place>& list);
    int PlaceCount() const { return int(m_places.size()); }

    // The folder of a node, or empty for no node.
    QString PathOf(const QModelIndex& index) const;
    // The node of a folder under the first place that holds it, listing the folders on the way
    // (on this thread, where they are not listed yet); invalid when no place holds it or a
    // folder on the way is not listed (hidden, gone).
    QModelIndex IndexOf(const QString& path);
    // True while a listing runs on another thread.
    bool IsListing() const;

    // Has view, which shows this model, watch what it expands and let go of what it collapses,
    // and watch its current folder too (so that it gains its arrow when a subfolder is made in
    // it); when the view's current folder is about to go from the disk, its nearest remaining
    // parent becomes current instead.
    void FollowView(QTreeView* view);
    // What an expanded folder does: watched, and listed again when it was listed before.
    void OnExpanded(const QModelIndex& index);
    // A collapsed folder lets go of its watch; places and the current folder keep theirs.
    void OnCollapsed(const QModelIndex& index);
    // The view's current folder is watched and listed; the one before lets go of its watch
    // unless it is expanded or a place.
    void OnCurrentChanged(const QTreeView* view, const QModelIndex& current);
    bool IsWatched(const QModelIndex& index) const;

    // QAbstractItemModel
    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

signals:
    // Rows first..last below parent are about to go because their folders left the disk.
    void foldersGoing(const QModelIndex& parent, int first, int last);

private:
    struct Node;
    class Inbox;

    Node* NodeOf(const QModelIndex& index) const;
    QModelIndex IndexOfNode(Node* node) const;
    // Lists node's subfolders on this thread, unless they are listed already.
    void ListChildren(Node* node);
    // Starts listing node's subfolders on another thread, unless that was done or started.
    void StartListing(Node* node);
    // Lists node's subfolders again on another thread, to merge them in when done; a change that
    // comes while that runs lists them once more after it.
    void StartRelisting(Node* node);
    void ListOnThread(const QString& folder);
    void Watch(Node* node);
    // Brings node's children in line with entries: the gone removed, the new inserted, the
    // others kept.
    void MergeChildren(Node* node, std::vector<thumbs::SubfolderEntry> entries);
    void RemoveChild(Node* node, int row);
    void InsertChild(Node* node, int row, thumbs::SubfolderEntry entry);
    // A kept child that is not watched may have missed changes below it: it is listed afresh
    // when next expanded, and its arrow follows what the new listing tells.
    void UpdateUnwatchedChild(Node* child, bool hasSubfolders);
    // The end of a listing started by StartListing: every node of folder still waiting for it
    // gets its subfolders.
    void OnListed(const QString& folder, const std::vector<thumbs::SubfolderEntry>& entries);
    void PutChildren(Node* node, std::vector<thumbs::SubfolderEntry> entries);
    std::unique_ptr<Node> MakeChild(Node* node, thumbs::SubfolderEntry entry) const;
    // The node of path below place, which holds it, or null; listing (on this thread) the
    // folders on the way that are not listed yet when listing is set.
    Node* Descend(Node* place, const QString& path, bool listing);
    // The nodes of folder that exist now (one per place that holds it at most); nothing is listed.
    std::vector<Node*> ExistingNodesOf(const QString& folder);

    Lister m_lister;
    std::shared_ptr<Inbox> m_inbox;
    std::vector<std::unique_ptr<Node>> m_places;
    QIcon m_folderIcon;
    QPersistentModelIndex m_current;   // the followed view's current folder
};
