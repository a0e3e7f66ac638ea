#include "browser/FolderTreeModel.h"

#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QTreeView>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <utility>

#include "browser/FolderListing.h"
#include "platform/FolderWatch.h"

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
    // Set while the node is a place or expanded.
    std::unique_ptr<FolderWatch> watch;
    // A listing again of a listed node runs; another is wanted after it.
    bool relisting = false;
    bool relistAgain = false;
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
        Watch(inserted);
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
    ListOnThread(node->path);
}

void FolderTreeModel::StartRelisting(Node* node) {
    if (node->listing != Node::Listing::Done) return;   // the listing under way is fresh enough
    if (node->relisting) {
        node->relistAgain = true;
        return;
    }
    node->relisting = true;
    ListOnThread(node->path);
}

void FolderTreeModel::ListOnThread(const QString& folder) {
    // A thread of its own, not waited for by anyone: a listing that hangs on a dead volume
    // costs that thread and nothing else.
    ++m_inbox->running;
    std::thread([inbox = m_inbox, lister = m_lister, folder] {
        inbox->Deliver(folder, lister(folder));
        --inbox->running;
    }).detach();
}

void FolderTreeModel::Watch(Node* node) {
    if (node->watch) return;
    node->watch = std::make_unique<FolderWatch>(nullptr, FolderWatch::Scope::Subfolders);
    // The watch goes with its node, and its connection with it.
    connect(node->watch.get(), &FolderWatch::changed, this, [this, node] { StartRelisting(node); });
    node->watch->Watch(node->path);
}

void FolderTreeModel::FollowView(QTreeView* view) {
    connect(view, &QTreeView::expanded, this, &FolderTreeModel::OnExpanded);
    connect(view, &QTreeView::collapsed, this, &FolderTreeModel::OnCollapsed);
    if (QItemSelectionModel* selection = view->selectionModel()) {
        connect(selection, &QItemSelectionModel::currentChanged, this,
                [this, view](const QModelIndex& current) { OnCurrentChanged(view, current); });
    }
    connect(this, &FolderTreeModel::foldersGoing, view, [this, view](const QModelIndex& parent, int first, int last) {
        // The current folder, or a folder it lies in, is going: its parent that stays takes over.
        for (QModelIndex at = view->currentIndex(); at.isValid(); at = at.parent()) {
            if (at.parent() == parent && at.row() >= first && at.row() <= last) {
                view->setCurrentIndex(parent);
                return;
            }
        }
    });
}

void FolderTreeModel::OnExpanded(const QModelIndex& index) {
    Node* node = NodeOf(index);
    if (!node) return;
    Watch(node);
    // Listed now if it never was, again for what changed while it was not watched.
    StartListing(node);
    StartRelisting(node);
}

void FolderTreeModel::OnCollapsed(const QModelIndex& index) {
    Node* node = NodeOf(index);
    if (node && node->parent && index != QModelIndex(m_current)) node->watch.reset();
}

void FolderTreeModel::OnCurrentChanged(const QTreeView* view, const QModelIndex& current) {
    if (m_current.isValid() && m_current != current) {
        Node* before = NodeOf(m_current);
        if (before && before->parent && !view->isExpanded(m_current)) before->watch.reset();
    }
    m_current = current;
    Node* node = NodeOf(current);
    if (!node) return;
    Watch(node);
    // Listed in the background (rows under a collapsed folder stay hidden): its arrow says
    // what it holds, and a change in it lists it again.
    StartListing(node);
}

bool FolderTreeModel::IsWatched(const QModelIndex& index) const {
    const Node* node = NodeOf(index);
    return node && node->watch && node->watch->IsWatching();
}

void FolderTreeModel::OnListed(const QString& folder, const std::vector<thumbs::SubfolderEntry>& entries) {
    for (Node* node : ExistingNodesOf(folder)) {
        if (node->listing == Node::Listing::Running) {
            PutChildren(node, entries);
        } else if (node->relisting) {
            node->relisting = false;
            MergeChildren(node, entries);
            if (std::exchange(node->relistAgain, false)) StartRelisting(node);
        }
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
        auto child = MakeChild(node, std::move(entry));
        child->row = int(node->children.size());
        node->children.push_back(std::move(child));
    }
    endInsertRows();
}

std::unique_ptr<FolderTreeModel::Node> FolderTreeModel::MakeChild(Node* node, thumbs::SubfolderEntry entry) const {
    auto child = std::make_unique<Node>();
    child->path = node->path == QLatin1String("/") ? QLatin1Char('/') + entry.name
                                                    : node->path + QLatin1Char('/') + entry.name;
    child->name = std::move(entry.name);
    child->icon = m_folderIcon;
    child->parent = node;
    child->hasSubfolders = entry.hasSubfolders;
    return child;
}

void FolderTreeModel::MergeChildren(Node* node, std::vector<thumbs::SubfolderEntry> entries) {
    std::sort(entries.begin(), entries.end(), [](const thumbs::SubfolderEntry& a, const thumbs::SubfolderEntry& b) {
        return thumbs::NaturalLess(a.name, b.name);
    });
    const auto listed = [&entries](const QString& name) {
        return std::any_of(entries.cbegin(), entries.cend(), [&](const thumbs::SubfolderEntry& e) { return e.name == name; });
    };
    for (int row = int(node->children.size()) - 1; row >= 0; --row) {
        if (!listed(node->children[size_t(row)]->name)) RemoveChild(node, row);
    }
    // The children left are in the entries' order: the new ones go between them.
    for (size_t row = 0; row < entries.size(); ++row) {
        if (row < node->children.size() && node->children[row]->name == entries[row].name) {
            UpdateUnwatchedChild(node->children[row].get(), entries[row].hasSubfolders);
        } else {
            InsertChild(node, int(row), std::move(entries[row]));
        }
    }
    node->hasSubfolders = !node->children.empty();
}

void FolderTreeModel::RemoveChild(Node* node, int row) {
    const QModelIndex parent = IndexOfNode(node);
    emit foldersGoing(parent, row, row);
    beginRemoveRows(parent, row, row);
    node->children.erase(node->children.begin() + row);
    for (size_t after = size_t(row); after < node->children.size(); ++after) node->children[after]->row = int(after);
    endRemoveRows();
}

void FolderTreeModel::InsertChild(Node* node, int row, thumbs::SubfolderEntry entry) {
    beginInsertRows(IndexOfNode(node), row, row);
    node->children.insert(node->children.begin() + row, MakeChild(node, std::move(entry)));
    for (size_t after = size_t(row); after < node->children.size(); ++after) node->children[after]->row = int(after);
    endInsertRows();
}

void FolderTreeModel::UpdateUnwatchedChild(Node* child, bool hasSubfolders) {
    if (child->watch || child->listing == Node::Listing::Running) return;   // follows on its own
    const QModelIndex index = IndexOfNode(child);
    if (child->listing == Node::Listing::NotStarted) {
        if (child->hasSubfolders == hasSubfolders) return;
    } else if (!child->children.empty() == hasSubfolders) {
        return;
    } else if (hasSubfolders) {
        // Listed empty, and subfolders came since: listed afresh when expanded.
        child->listing = Node::Listing::NotStarted;
    } else {
        // Every subfolder it showed left the disk.
        const int last = int(child->children.size()) - 1;
        emit foldersGoing(index, 0, last);
        beginRemoveRows(index, 0, last);
        child->children.clear();
        endRemoveRows();
    }
    child->hasSubfolders = hasSubfolders;
    emit dataChanged(index, index);
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
