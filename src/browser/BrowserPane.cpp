#include "browser/BrowserPane.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTreeView>

#include <algorithm>
#include <cmath>

#include "commands/CommandIds.h"
#include "commands/CommandRouter.h"
#include "commands/SettingsKeys.h"
#include "platform/Places.h"
#include "platform/SettingsStore.h"
#include "platform/UserFolders.h"
#include "browser/FolderTreeModel.h"
#include "browser/ThumbnailList.h"

namespace {

// Neither control may be pushed to less than this many pixels by the bar or a resize.
constexpr int kMinControlHeight = 16;
// The pane's start layout in dialog units: the tree's height, the bar, and the whole pane.
constexpr int kTreeHeightUnits = 116;
constexpr int kBarHeightUnits = 3;
constexpr double kDialogUnitsPerLine = 8.0;

}  // namespace

BrowserPane::BrowserPane(FileCommands* document, QWidget* parent, FolderStart start)
    : QWidget(parent),
      m_document(document),
      m_tree(new QTreeView(this)),
      m_list(new ThumbnailList(this)),
      m_trackingBar(new QWidget(this)) {
    m_folder = SettingsStore::ReadString(settings::kSection, settings::kBrowserFolder);
    if (m_folder.isEmpty()) m_folder = userfolders::PicturesOrHome();

    m_tree->setHeaderHidden(true);
    m_tree->setCursor(Qt::ArrowCursor);
    m_list->setCursor(Qt::ArrowCursor);
    m_trackingBar->setAutoFillBackground(true);
    QPalette checker = m_trackingBar->palette();
    checker.setBrush(QPalette::Window, QBrush(Qt::black, Qt::Dense4Pattern));
    m_trackingBar->setPalette(checker);
    m_trackingBar->hide();
    setMouseTracking(true);

    const double pixelsPerUnit = fontMetrics().height() / kDialogUnitsPerLine;
    const int treeHeight = int(std::lround(kTreeHeightUnits * pixelsPerUnit));
    const int barHeight = std::max(1, int(std::lround(kBarHeightUnits * pixelsPerUnit)));
    m_tree->setGeometry(0, 0, width(), treeHeight);
    m_list->setGeometry(0, treeHeight + barHeight, width(), std::max(kMinControlHeight, height() - treeHeight - barHeight));

    connect(m_list, &ThumbnailList::pictureChosen, this, &BrowserPane::pictureChosen);
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

void BrowserPane::OnFolderChosen() {
    const QString path = SelectedFolder();
    if (path.isEmpty()) return;   // no file-system folder: setting and list stay
    SettingsStore::WriteString(settings::kSection, settings::kBrowserFolder, path);
    m_folder = path;
    m_list->SetFolder(path);
}

QString BrowserPane::GetSelectedPath() const { return m_list->GetSelectedPath(); }

void BrowserPane::RemoveFile(const QString& path) { m_list->RemoveFile(path); }

void BrowserPane::FileWritten(const QString& path) { m_list->FileWritten(path); }

void BrowserPane::OnCommand(uint32_t id) {
    if (id == cmd::ID_PICKER_LAYOUT) LayoutControls();
}

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

// ---- layout and the bar ----------------------------------------------------------------------------

void BrowserPane::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    QMetaObject::invokeMethod(this, [this] { OnCommand(cmd::ID_PICKER_LAYOUT); }, Qt::QueuedConnection);
}

void BrowserPane::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    LayoutControls();
}

void BrowserPane::LayoutControls() {
    QRect tree = m_tree->geometry();
    QRect list = m_list->geometry();
    tree.setWidth(width() - tree.left());
    list.setWidth(width() - list.left());
    list.setHeight(height() - list.top());
    const int lowestTop = height() - kMinControlHeight;
    if (list.top() > lowestTop) {
        const int shift = list.top() - lowestTop;
        list.setTop(lowestTop);
        tree.setHeight(std::max(0, tree.height() - shift));
    }
    m_tree->setGeometry(tree);
    m_list->setGeometry(list);
}

QRect BrowserPane::BarRect() const {
    const QRect tree = m_tree->geometry();
    const int top = tree.top() + tree.height();
    return QRect(tree.left(), top, tree.width(), m_list->geometry().top() - top);
}

void BrowserPane::PlaceControls(const QRect& bar) {
    m_tree->setGeometry(0, 0, width(), bar.top());
    const int listTop = bar.top() + bar.height();
    m_list->setGeometry(0, listTop, width(), height() - listTop);
}

void BrowserPane::ShowTrackingBar(bool show) {
    m_trackingBar->setGeometry(m_bar);
    m_trackingBar->setVisible(show);
    if (show) m_trackingBar->raise();
}

void BrowserPane::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    const QPoint point = event->position().toPoint();
    if (event->button() != Qt::LeftButton || !BarRect().contains(point)) return;
    m_bar = BarRect();
    m_lastPoint = point;
    m_tracking = true;
    ShowTrackingBar(true);
}

void BrowserPane::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    const QPoint point = event->position().toPoint();
    if (!m_tracking) {
        if (BarRect().contains(point)) {
            setCursor(Qt::SizeVerCursor);
        } else {
            unsetCursor();
        }
        return;
    }
    m_bar.translate(0, point.y() - m_lastPoint.y());
    m_lastPoint = point;
    ShowTrackingBar(true);
}

void BrowserPane::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (!m_tracking) return;
    ShowTrackingBar(false);
    m_tracking = false;
    // The bar stays 16 pixels from either end, so that neither control vanishes.
    if (m_bar.top() + m_bar.height() < kMinControlHeight) m_bar.moveTop(kMinControlHeight - m_bar.height());
    if (m_bar.top() > height() - kMinControlHeight) m_bar.moveTop(height() - kMinControlHeight);
    PlaceControls(m_bar);
}
