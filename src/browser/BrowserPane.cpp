#include "browser/BrowserPane.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

#include "commands/CommandIds.h"
#include "commands/CommandRouter.h"
#include "commands/SettingsKeys.h"
#include "platform/Places.h"
#include "platform/SettingsStore.h"
#include "platform/UserFolders.h"
#include "browser/FolderTreeModel.h"
#include "browser/ThumbnailList.h"

namespace {

// The bar stops this many pixels from either end of the pane (its far edge does), so that
// neither control vanishes.
constexpr int kBarReach = 16;
// The tree starts about fourteen and a half lines of the pane's font high, enough for the
// places and a few folders; the bar between tree and list is three eighths of a line.
constexpr double kTreeHeightInLines = 14.5;
constexpr double kBarHeightInLines = 0.375;
// Room for the list when the pane has no height yet: the splitter gives the list whatever
// the pane's height leaves, since only the list stretches.
constexpr int kListStartHeight = 1000;

}  // namespace

BrowserPane::BrowserPane(FileCommands* document, QWidget* parent, FolderStart start)
    : QWidget(parent),
      m_document(document),
      m_splitter(new QSplitter(Qt::Vertical, this)),
      m_tree(new QTreeView(m_splitter)),
      m_list(new ThumbnailList(m_splitter)) {
    m_folder = SettingsStore::ReadString(settings::kSection, settings::kBrowserFolder);
    if (m_folder.isEmpty()) m_folder = userfolders::PicturesOrHome();

    m_tree->setHeaderHidden(true);
    const int line = fontMetrics().height();
    const int bar = std::max(1, qRound(kBarHeightInLines * line));
    m_splitter->setHandleWidth(bar);
    m_tree->setMinimumHeight(std::max(1, kBarReach - bar));
    m_list->setMinimumHeight(std::max(1, kBarReach - bar));
    m_splitter->setChildrenCollapsible(false);
    // The tree keeps its height when the pane grows; the list takes the rest, and a pane too
    // short for both takes from the tree.
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({qRound(kTreeHeightInLines * line), kListStartHeight});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_splitter);

    connect(m_list, &ThumbnailList::pictureChosen, this, &BrowserPane::pictureChosen);
    connect(m_list->model(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { SelectWaitingPicture(first, last); });
    m_list->installEventFilter(this);

    if (m_document) m_document->m_picker = this;

    if (start == FolderStart::Now) ShowFolders();
}

void BrowserPane::ShowFolders() {
    if (m_foldersShown) return;
    m_foldersShown = true;
    // Made here rather than with the pane: a window that is still being put on screen has no
    // use for the folders yet.
    m_folders = new FolderTreeModel(this);
    m_folders->SetPlaces(places::CurrentPlaces());
    m_tree->setModel(m_folders);
    m_folders->FollowView(m_tree);
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this, &BrowserPane::OnFolderChosen);
    auto* mounts = new places::MountWatch(this);
    connect(mounts, &places::MountWatch::changed, this, &BrowserPane::OnMountsChanged);
    SelectFolder(m_folder);
}

void BrowserPane::OnMountsChanged() {
    // A volume came or went; the others keep what is expanded and selected below them.
    m_folders->SetPlaces(places::CurrentPlaces());
}

BrowserPane::~BrowserPane() {
    if (m_document && m_document->m_picker == this) m_document->m_picker = nullptr;
}

// ---- folders and pictures ------------------------------------------------------------------------

bool BrowserPane::SelectFolder(const QString& path) {
    ShowFolders();
    if (path.isEmpty() || !QFileInfo(path).isDir()) return false;
    const QModelIndex node = m_folders->IndexOf(path);
    if (!node.isValid()) return false;
    m_tree->setCurrentIndex(node);
    m_tree->scrollTo(node);
    return true;
}

QString BrowserPane::SelectedFolder() const {
    const QModelIndex node = m_tree->currentIndex();
    if (!node.isValid()) return QString();
    const QString path = m_folders->PathOf(node);
    return !path.isEmpty() && QFileInfo(path).isDir() ? path : QString();
}

bool BrowserPane::OpenPath(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) return false;
    const QString folder = info.isDir() ? info.canonicalFilePath() : info.canonicalPath();
    m_waitingPicture = info.isDir() ? QString() : info.canonicalFilePath();
    if (!m_foldersShown) {
        m_folder = folder;   // ShowFolders selects it in place of the remembered one
        return true;
    }
    if (!SelectFolder(folder)) {
        m_waitingPicture.clear();
        return false;
    }
    // The folder may have been listed already, and then no thumbnail arrives any more.
    SelectWaitingPicture(0, m_list->count() - 1);
    return true;
}

void BrowserPane::SelectWaitingPicture(int first, int last) {
    for (int row = first; row <= last && !m_waitingPicture.isEmpty(); ++row) {
        const ThumbItem* thumb = m_list->Thumb(row);
        if (thumb != nullptr && QFileInfo(thumb->m_path).canonicalFilePath() == m_waitingPicture) {
            m_waitingPicture.clear();
            m_list->setCurrentRow(row);   // selecting it opens it
        }
    }
}

void BrowserPane::OnFolderChosen() {
    const QString path = SelectedFolder();
    if (path.isEmpty()) return;   // no file-system folder: setting and list stay
    // A picture still waited for in another folder is no longer wanted.
    if (!m_waitingPicture.isEmpty() && QFileInfo(m_waitingPicture).path() != QFileInfo(path).canonicalFilePath()) {
        m_waitingPicture.clear();
    }
    SettingsStore::WriteString(settings::kSection, settings::kBrowserFolder, path);
    m_folder = path;
    m_list->SetFolder(path);
}

QString BrowserPane::CurrentPath() const { return m_list->CurrentPath(); }

void BrowserPane::RemoveFile(const QString& path) { m_list->RemoveFile(path); }

void BrowserPane::FileWritten(const QString& path) {
    m_list->FileWritten(path);
    // Only the shown picture is ever written: after Save As its new file is the one shown.
    m_list->SetShownPicture(path);
}

void BrowserPane::PictureShown(const QString& path) { m_list->SetShownPicture(path); }

QString BrowserPane::NeighbourPath(const QString& path, int step) const { return m_list->NeighbourPath(path, step); }

QStringList BrowserPane::SelectedPaths() const { return m_list->SelectedPaths(); }

bool BrowserPane::eventFilter(QObject* watched, QEvent* event) {
    // Delete in the list, with or without Shift, deletes the picture file (the document asks
    // first); the list never sees the key. Elsewhere, the tree for instance, Delete keeps its
    // usual meaning.
    const bool keyEvent = event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride;
    if (watched == m_list && keyEvent && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        // Shift+Delete is also the frame's accelerator for Cut: claiming the key in the
        // shortcut check keeps it for the list.
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();
            return true;
        }
        if (CommandRouter* router = CommandRouter::Instance()) router->Post(cmd::ID_DELETE);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
