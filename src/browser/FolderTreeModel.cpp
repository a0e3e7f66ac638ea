#include "browser/FolderTreeModel.h"

#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "browser/FolderListing.h"

struct FolderTreeModel::Node {
    enum class Listing { NotStarted, Running, Done };

    QString name;
    QString path;
    QIcon icon;
    Node* parent = nullptr;
    int row = 0;   // among its siblings; places look theirs up, their list changes
    std::vector<std::unique_ptr<Node>> children;
    Listing listing = Listing::NotStarted;
    bool hasSubfolders = false;
};

// Where listing threads hand their results in. It outlives the model while a thread still
// holds it; once the model has closed it, results go nowhere.
class FolderTreeModel::Inbox {
public:
    explicit Inbox(FolderTreeModel* model) : m_model(model) {}

    // Listing thread: has the model take the result on its own thread, unless it is gone.
    void Deliver(const QString& folder, std::vector<thumbs::SubfolderEntry> entries) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_model) return;
        // Posted while the model cannot go away; a model destroyed before the event is
        // delivered takes its pending events with it.
        FolderTreeModel* model = m_model;
        QMetaObject::invokeMethod(
            model, [model, folder, entries = std::move(entries)] { model->OnListed(folder, entries); },
            Qt::QueuedConnection);
    }

    // The model's destructor.
    void Close() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_model = nullptr;
    }

    std::atomic<int> running{0};

private:
    std::mutex m_mutex;
    FolderTreeModel* m_model;
};

namespace {

QIcon ThemeIcon(const QString& name, QFileIconProvider::IconType fallback) {
    return QIcon::fromTheme(name, QFileIconProvider().icon(fallback));
}

// For a desktop without an icon theme: the file system, a volume or a folder.
QFileIconProvider::IconType FallbackIconOf(const places::Place& place) {
    if (place.path == QLatin1String("/")) return QFileIconProvider::Computer;
    return place.iconName.startsWith(QLatin1String("drive-")) ? QFileIconProvider::Drive : QFileIconProvider::Folder;
}

// Whether path is folder or lies below it.
bool Holds(const QString& folder, const QString& path) {
    if (folder == QLatin1String("/")) return path.startsWith(QLatin1Char('/'));
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

}  // namespace

FolderTreeModel::FolderTreeModel(QObject* parent, Lister lister)
    : QAbstractItemModel(parent),
      m_lister(std::move(lister)),
      m_inbox(std::make_shared<Inbox>(this)),
      m_folderIcon(ThemeIcon(QStringLiteral("folder"), QFileIconProvider::Folder)) {}

// Listings still running are not waited for: their results go nowhere.
FolderTreeModel::~FolderTreeModel() { m_inbox->Close(); }

bool FolderTreeModel::IsListing() const { return m_inbox->running.load() > 0; }

void FolderTreeModel::SetPlaces(const QList<places::Place>& list) {
    // Places that went away are removed, new ones inserted where the list has them.
    for (int row = int(m_places.size()) - 1; row >= 0; --row) {
        const Node& node = *m_places[size_t(row)];
        const bool kept = std::any_of(list.cbegin(), list.cend(), [&](const places::Place& place) {
            return place.path == node.path && place.name == node.name;
        });
        if (kept) continue;
        beginRemoveRows(QModelIndex(), row, row);
        m_places.erase(m_places.begin() + row);
        endRemoveRows();
    }
    for (int row = 0; row < list.size(); ++row) {
        const places::Place& place = list[row];
        if (row < int(m_places.size()) && m_places[size_t(row)]->path == place.path &&
            m_places[size_t(row)]->name == place.name) {
            continue;
        }
        auto node = std::make_unique<Node>();
        node->name = place.name;
        node->path = place.path;
        node->icon = ThemeIcon(place.iconName, FallbackIconOf(place));
        node->hasSubfolders = true;   // until its listing tells
        Node* inserted = node.get();
        beginInsertRows(QModelIndex(), row, row);
        m_places.insert(m_places.begin() + row, std::move(node));
        endInsertRows();
        StartListing(inserted);
    }
}

FolderTreeModel::Node* FolderTreeModel::NodeOf(const QModelIndex& index) const {
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : nullptr;
}

QModelIndex FolderTreeModel::IndexOfNode(Node* node) const {
    if (!node) return QModelIndex();
    if (node->parent) return createIndex(node->row, 0, node);
    for (size_t row = 0; row < m_places.size(); ++row) {
        if (m_places[row].get() == node) return createIndex(int(row), 0, node);
    }
    return QModelIndex();
}

QString FolderTreeModel::PathOf(const QModelIndex& index) const {
    const Node* node = NodeOf(index);
    return node ? node->path : QString();
}

QModelIndex FolderTreeModel::IndexOf(const QString& path) {
    const QString wanted = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    for (const auto& place : m_places) {
        if (Holds(place->path, wanted)) return IndexOfNode(Descend(place.get(), wanted, true));
    }
    return QModelIndex();
}

FolderTreeModel::Node* FolderTreeModel::Descend(Node* place, const QString& path, bool listing) {
    Node* node = place;
    // Down one folder at a time along the rest of the path.
    for (const QString& part : path.mid(place->path.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (listing) ListChildren(node);
        const auto child = std::find_if(node->children.begin(), node->children.end(),
                                        [&](const std::unique_ptr<Node>& c) { return c->name == part; });
        if (child == node->children.end()) return nullptr;
        node = child->get();
    }
    return node;
}

void FolderTreeModel::ListChildren(Node* node) {
    if (node->listing == Node::Listing::Done) return;
    // A listing of it still running on another thread finds it done and is dropped.
    PutChildren(node, m_lister(node->path));
}

void FolderTreeModel::StartListing(Node* node) {
    if (node->listing != Node::Listing::NotStarted) return;
    node->listing = Node::Listing::Running;
    // A thread of its own, not waited for by anyone: a listing that hangs on a dead volume
    // costs that thread and nothing else.
    ++m_inbox->running;
    std::thread([inbox = m_inbox, lister = m_lister, folder = node->path] {
        inbox->Deliver(folder, lister(folder));
        --inbox->running;
    }).detach();
}

void FolderTreeModel::OnListed(const QString& folder, const std::vector<thumbs::SubfolderEntry>& entries) {
    for (Node* node : ExistingNodesOf(folder)) {
        if (node->listing == Node::Listing::Running) PutChildren(node, entries);
    }
}

void FolderTreeModel::PutChildren(Node* node, std::vector<thumbs::SubfolderEntry> entries) {
    node->listing = Node::Listing::Done;
    if (entries.empty()) {
        // The arrow goes: there is nothing below after all.
        node->hasSubfolders = false;
        const QModelIndex index = IndexOfNode(node);
        emit dataChanged(index, index);
        return;
    }
    std::sort(entries.begin(), entries.end(), [](const thumbs::SubfolderEntry& a, const thumbs::SubfolderEntry& b) {
        return thumbs::NaturalLess(a.name, b.name);
    });
    node->hasSubfolders = true;
    beginInsertRows(IndexOfNode(node), 0, int(entries.size()) - 1);
    for (thumbs::SubfolderEntry& entry : entries) {
        auto child = std::make_unique<Node>();
        child->path = node->path == QLatin1String("/") ? QLatin1Char('/') + entry.name
                                                        : node->path + QLatin1Char('/') + entry.name;
        child->name = std::move(entry.name);
        child->icon = m_folderIcon;
        child->parent = node;
        child->row = int(node->children.size());
        child->hasSubfolders = entry.hasSubfolders;
        node->children.push_back(std::move(child));
    }
    endInsertRows();
}

std::vector<FolderTreeModel::Node*> FolderTreeModel::ExistingNodesOf(const QString& folder) {
    std::vector<Node*> found;
    for (const auto& place : m_places) {
        if (!Holds(place->path, folder)) continue;
        Node* node = Descend(place.get(), folder, false);
        if (node && node->path == folder) found.push_back(node);
    }
    return found;
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0) return QModelIndex();
    const Node* above = NodeOf(parent);
    const auto& siblings = above ? above->children : m_places;
    if (size_t(row) >= siblings.size()) return QModelIndex();
    return createIndex(row, 0, siblings[size_t(row)].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const {
    const Node* node = NodeOf(child);
    return node ? IndexOfNode(node->parent) : QModelIndex();
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) return 0;
    const Node* node = NodeOf(parent);
    return int(node ? node->children.size() : m_places.size());
}

int FolderTreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const {
    const Node* node = NodeOf(index);
    if (!node) return QVariant();
    switch (role) {
        case Qt::DisplayRole:
            return node->name;
        case Qt::DecorationRole:
            return node->icon;
        case Qt::ToolTipRole:
            return node->path;
        default:
            return QVariant();
    }
}

bool FolderTreeModel::hasChildren(const QModelIndex& parent) const {
    const Node* node = NodeOf(parent);
    if (!node) return !m_places.empty();
    return node->listing == Node::Listing::Done ? !node->children.empty() : node->hasSubfolders;
}

bool FolderTreeModel::canFetchMore(const QModelIndex& parent) const {
    const Node* node = NodeOf(parent);
    return node && node->listing == Node::Listing::NotStarted && node->hasSubfolders;
}

void FolderTreeModel::fetchMore(const QModelIndex& parent) {
    if (Node* node = NodeOf(parent)) StartListing(node);
}
