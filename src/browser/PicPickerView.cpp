#include "browser/PicPickerView.h"

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
#include "browser/TNList.h"

namespace {

// Neither control may be pushed to less than this many pixels by the bar or a resize.
constexpr int kMinControlHeight = 16;
// The pane's start layout in dialog units: the tree's height, the bar, and the whole pane.
constexpr int kTreeHeightUnits = 116;
constexpr int kBarHeightUnits = 3;
constexpr double kDialogUnitsPerLine = 8.0;

}  // namespace

PicPickerView::PicPickerView(CSnipwellDoc* document, QWidget* parent, FolderStart start)
    : QWidget(parent),
      m_pDocument(document),
      m_wndTree(new QTreeView(this)),
      m_wndList(new TNList(this)),
      m_wndTrackingBar(new QWidget(this)) {
    m_strFolder = SettingsStore::ReadString(settings::kSection, settings::kPicPickerFolder);
    if (m_strFolder.isEmpty()) m_strFolder = userfolders::PicturesOrHome();

    m_wndTree->setHeaderHidden(true);
    m_wndTree->setCursor(Qt::ArrowCursor);
    m_wndList->setCursor(Qt::ArrowCursor);
    m_wndTrackingBar->setAutoFillBackground(true);
    QPalette checker = m_wndTrackingBar->palette();
    checker.setBrush(QPalette::Window, QBrush(Qt::black, Qt::Dense4Pattern));
    m_wndTrackingBar->setPalette(checker);
    m_wndTrackingBar->hide();
    setMouseTracking(true);

    const double pixelsPerUnit = fontMetrics().height() / kDialogUnitsPerLine;
    const int treeHeight = int(std::lround(kTreeHeightUnits * pixelsPerUnit));
    const int barHeight = std::max(1, int(std::lround(kBarHeightUnits * pixelsPerUnit)));
    m_wndTree->setGeometry(0, 0, width(), treeHeight);
    m_wndList->setGeometry(0, treeHeight + barHeight, width(), std::max(kMinControlHeight, height() - treeHeight - barHeight));

    connect(m_wndList, &TNList::pictureChosen, this, &PicPickerView::pictureChosen);
    m_wndList->installEventFilter(this);

    if (m_pDocument) m_pDocument->m_pPicker = this;

    if (start == FolderStart::Now) ShowFolders();
}

void PicPickerView::ShowFolders() {
    if (m_bFoldersShown) return;
    m_bFoldersShown = true;
    // Made here rather than with the pane: a window that is still being put on screen has no
    // use for the folders yet.
    m_pFolders = new FolderTreeModel(this);
    m_pFolders->SetPlaces(places::CurrentPlaces());
    m_wndTree->setModel(m_pFolders);
    connect(m_wndTree->selectionModel(), &QItemSelectionModel::currentChanged, this, &PicPickerView::OnFolderChosen);
    auto* mounts = new places::MountWatch(this);
    connect(mounts, &places::MountWatch::changed, this, &PicPickerView::OnMountsChanged);
    SelectFolder(m_strFolder);
}

void PicPickerView::OnMountsChanged() {
    // A volume came or went; the others keep what is expanded and selected below them.
    m_pFolders->SetPlaces(places::CurrentPlaces());
}

PicPickerView::~PicPickerView() {
    if (m_pDocument && m_pDocument->m_pPicker == this) m_pDocument->m_pPicker = nullptr;
}

// ---- folders and pictures ------------------------------------------------------------------------

bool PicPickerView::SelectFolder(const QString& path) {
    ShowFolders();
    if (path.isEmpty() || !QFileInfo(path).isDir()) return false;
    const QModelIndex node = m_pFolders->IndexOf(path);
    if (!node.isValid()) return false;
    m_wndTree->setCurrentIndex(node);
    m_wndTree->scrollTo(node);
    return true;
}

QString PicPickerView::SelectedFolder() const {
    const QModelIndex node = m_wndTree->currentIndex();
    if (!node.isValid()) return QString();
    const QString path = m_pFolders->PathOf(node);
    return !path.isEmpty() && QFileInfo(path).isDir() ? path : QString();
}

void PicPickerView::OnFolderChosen() {
    const QString path = SelectedFolder();
    if (path.isEmpty()) return;   // no file-system folder: setting and list stay
    SettingsStore::WriteString(settings::kSection, settings::kPicPickerFolder, path);
    m_strFolder = path;
    m_wndList->SetFolder(path);
}

QString PicPickerView::GetSelectedPath() const { return m_wndList->GetSelectedPath(); }

void PicPickerView::RemoveFile(const QString& path) { m_wndList->RemoveFile(path); }

void PicPickerView::FileWritten(const QString& path) { m_wndList->FileWritten(path); }

void PicPickerView::OnCommand(uint32_t id) {
    if (id == cmd::ID_PICKER_LAYOUT) LayoutControls();
}

bool PicPickerView::eventFilter(QObject* watched, QEvent* event) {
    // Delete in the list, with or without Shift, deletes the picture file (the document asks
    // first); the list never sees the key. Elsewhere, the tree for instance, Delete keeps its
    // usual meaning.
    const bool keyEvent = event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride;
    if (watched == m_wndList && keyEvent && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
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

void PicPickerView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    QMetaObject::invokeMethod(this, [this] { OnCommand(cmd::ID_PICKER_LAYOUT); }, Qt::QueuedConnection);
}

void PicPickerView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    LayoutControls();
}

void PicPickerView::LayoutControls() {
    QRect tree = m_wndTree->geometry();
    QRect list = m_wndList->geometry();
    tree.setWidth(width() - tree.left());
    list.setWidth(width() - list.left());
    list.setHeight(height() - list.top());
    const int lowestTop = height() - kMinControlHeight;
    if (list.top() > lowestTop) {
        const int shift = list.top() - lowestTop;
        list.setTop(lowestTop);
        tree.setHeight(std::max(0, tree.height() - shift));
    }
    m_wndTree->setGeometry(tree);
    m_wndList->setGeometry(list);
}

QRect PicPickerView::BarRect() const {
    const QRect tree = m_wndTree->geometry();
    const int top = tree.top() + tree.height();
    return QRect(tree.left(), top, tree.width(), m_wndList->geometry().top() - top);
}

void PicPickerView::PlaceControls(const QRect& bar) {
    m_wndTree->setGeometry(0, 0, width(), bar.top());
    const int listTop = bar.top() + bar.height();
    m_wndList->setGeometry(0, listTop, width(), height() - listTop);
}

void PicPickerView::ShowTrackingBar(bool show) {
    m_wndTrackingBar->setGeometry(m_rcBar);
    m_wndTrackingBar->setVisible(show);
    if (show) m_wndTrackingBar->raise();
}

void PicPickerView::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    const QPoint point = event->position().toPoint();
    if (event->button() != Qt::LeftButton || !BarRect().contains(point)) return;
    m_rcBar = BarRect();
    m_ptLast = point;
    m_bTracking = true;
    ShowTrackingBar(true);
}

void PicPickerView::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    const QPoint point = event->position().toPoint();
    if (!m_bTracking) {
        if (BarRect().contains(point)) {
            setCursor(Qt::SizeVerCursor);
        } else {
            unsetCursor();
        }
        return;
    }
    m_rcBar.translate(0, point.y() - m_ptLast.y());
    m_ptLast = point;
    ShowTrackingBar(true);
}

void PicPickerView::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (!m_bTracking) return;
    ShowTrackingBar(false);
    m_bTracking = false;
    // The bar stays 16 pixels from either end, so that neither control vanishes.
    if (m_rcBar.top() + m_rcBar.height() < kMinControlHeight) m_rcBar.moveTop(kMinControlHeight - m_rcBar.height());
    if (m_rcBar.top() > height() - kMinControlHeight) m_rcBar.moveTop(height() - kMinControlHeight);
    PlaceControls(m_rcBar);
}
