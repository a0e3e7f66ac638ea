// The folder tree of the browser pane: the places (Home, Pictures, Desktop, the user's volumes,
// File System) at the top, each with the folders below it, listed when a node is expanded.
// Hidden folders are left out. A folder shows an expand arrow only when it has subfolders.
#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <QList>
#include <QString>

#include <memory>
#include <vector>

#include "platform/Places.h"

class FolderTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit FolderTreeModel(QObject* parent = nullptr);
    ~FolderTreeModel() override;

    // Shows places instead of the ones shown; places that stay keep their nodes (and what is
    // expanded and selected below them).
    void SetPlaces(const QList<places::Place>& list);
    int PlaceCount() const { return int(m_places.size()); }

    // The folder of a node, or empty for no node.
    QString PathOf(const QModelIndex& index) const;
    // The node of a folder under the first place that holds it, listing the folders on the way;
    // invalid when no place holds it or a folder on the way is not listed (hidden, gone).
    QModelIndex IndexOf(const QString& path);

    // QAbstractItemModel
    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

private:
    struct Node;

    Node* NodeOf(const QModelIndex& index) const;
    QModelIndex IndexOfNode(Node* node) const;
    void ListChildren(Node* node);

    std::vector<std::unique_ptr<Node>> m_places;
    QIcon m_folderIcon;
};
