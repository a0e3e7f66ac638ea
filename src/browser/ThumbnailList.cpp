#include "browser/ThumbnailList.h"

#include <QDir>
#include <QFileInfo>
#include <QHelpEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSet>
#include <QStaticText>
#include <QSignalBlocker>
#include <QToolTip>

#include <algorithm>
#include <cmath>

#include "commands/CommandIds.h"
#include "browser/BrokenPictureGlyph.h"
#include "browser/KeptBoxMark.h"
#include "browser/FolderListing.h"
#include "browser/LoaderHandoff.h"
#include "platform/RasterQtBridge.h"
#include "browser/ThumbnailGeometry.h"
#include "browser/ThumbnailWorkers.h"
#include "platform/FolderWatch.h"
#include "platform/WakePipe.h"
#include "doc/KeptBoxes.h"

namespace {

constexpr int kIconPadding = 4;          // around the 60 x 60 box inside the icon rectangle
constexpr int kCellWidth = 96;
constexpr int kLabelGap = 2;
constexpr int kFrameHalf = thumbs::kThumbSide / 2;
constexpr uint32_t kWhite = 0xFFFFFF;
// During a scan the list is composed at most this often (milliseconds).
constexpr int kScanFrameInterval = 30;
// The most records the loader hands to the list at once: a batch is put in within one event,
// which stays short even when a whole folder comes from the cache.
constexpr size_t kMostPerHandover = 64;
// A reported change of the folder is looked at after this long; reports that arrive meanwhile
// join it (milliseconds).
constexpr int kUpdateDelayMs = 250;
// While a loader still runs, a due look is tried again this often (milliseconds).
constexpr int kUpdateRetryMs = 50;
const QColor kFrameIdle(0xC0, 0xC0, 0xC0);     // light grey
const QColor kFrameFocused(0xFF, 0x00, 0x00);  // red
const QColor kFrameUnfocused(0x80, 0x00, 0x00); // dark red
// The cells gathered besides the current one (several selected).
const QColor kFrameGathered(0x30, 0x70, 0xD0);
const QColor kGatheredTint(0x30, 0x70, 0xD0, 0x40);

// A list entry that owns its record: removing the entry destroys the record.
class ThumbListItem : public QListWidgetItem {
public:
    explicit ThumbListItem(ThumbItem* record) : QListWidgetItem(record->m_name), m_record(record) {}
    const ThumbItem& Record() const { return *m_record; }
    void MarkBox(bool hasBox) { m_record->m_hasBox = hasBox; }

    // Takes record in place of the one held (the file was written again or renamed).
    void Replace(ThumbItem* record) {
        m_record.reset(record);
        setText(m_record->m_name);
        m_labelWidth = -1;
    }
    void Rename(const QString& name, const QString& path) {
        m_record->m_name = name;
        m_record->m_path = path;
        setText(name);
        m_labelWidth = -1;
    }

    // The label as drawn in a cell width pixels wide: the whole name centred when it is
    // narrower than the cell, else cut with an ellipsis and started at the left. Laid out
    // once per font and width; shaping every name again on every paint would cost more than
    // composing the rest of the list.
    const QStaticText& Label(const QFont& font, int width, bool& centred) const {
        if (m_labelWidth != width || m_labelFont != font) {
            const QFontMetrics metrics(font);
            const QString name = text();
            m_labelCentred = metrics.horizontalAdvance(name) < width;
            m_label.setText(m_labelCentred ? name : metrics.elidedText(name, Qt::ElideRight, width));
            m_label.setTextFormat(Qt::PlainText);
            m_label.prepare(QTransform(), font);
            m_labelFont = font;
            m_labelWidth = width;
        }
        centred = m_labelCentred;
        return m_label;
    }

private:
    std::unique_ptr<ThumbItem> m_record;
    mutable QStaticText m_label;
    mutable QFont m_labelFont;
    mutable int m_labelWidth = -1;
    mutable bool m_labelCentred = false;
};

// Exact: the folders are case-sensitive, so a.png and A.PNG are two pictures.
bool SamePath(const ThumbItem* thumb, const QString& path) { return thumb && thumb->m_path == path; }

// rect (logical pixels) on a canvas of ratio device pixels per logical one.
QRect DeviceRect(const QRect& rect, qreal ratio) {
    const QPoint topLeft(int(std::lround(rect.left() * ratio)), int(std::lround(rect.top() * ratio)));
    const QPoint end(int(std::lround((rect.right() + 1) * ratio)), int(std::lround((rect.bottom() + 1) * ratio)));
    return QRect(topLeft, end - QPoint(1, 1));
}

QString CleanFolder(const QString& folder) { return QDir::cleanPath(QFileInfo(folder).absoluteFilePath()); }

// Puts a thumbnail on the white frame at x, y (device pixels); a translucent one, or one of
// fewer bits, is laid on white first.
void PutOnFrame(const RasterImage& picture, QImage& frame, int x, int y) {
    if (picture.GetBpp() == 24 && !picture.HasAlpha()) {
        CopyOpaqueInto(picture, frame, x, y);
        return;
    }
    RasterImage onWhite;
    if (!onWhite.Create(picture.GetWidth(), picture.GetHeight(), 24, RASTER_FORMAT_BMP)) return;
    onWhite.FillColor(kWhite);
    onWhite.PasteAll(picture, 0, 0, 0, 0, picture.HasAlpha() ? RASTER_PASTE_ALPHA_BLEND : RASTER_PASTE_COPY, 1.0);
    CopyOpaqueInto(onWhite, frame, x, y);
}

}  // namespace

ThumbnailList::ThumbnailList(QWidget* parent)
    : QListWidget(parent),
      m_watch(new FolderWatch(this)),
      m_thumbSide(thumbs::kThumbSide),
      m_wake(new WakePipe([this] { if (m_handoff) m_handoff->Serve(); }, this)) {
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionRectVisible(false);
    setIconSize(QSize(thumbs::kThumbSide, thumbs::kThumbSide));
    // Cells for a 60 x 60 thumbnail with its frame and one line of label.
    setGridSize(QSize(kCellWidth, thumbs::kThumbSide + 2 * kIconPadding + kLabelGap + fontMetrics().height() + 2 * kLabelGap));
    m_openTimer.setSingleShot(true);
    m_openTimer.setInterval(cmd::TIMER_OPEN_SELECTED_MS);
    m_waitTimer.setInterval(cmd::TIMER_WAIT_LOADER_MS);
    connect(&m_openTimer, &QTimer::timeout, this, &ThumbnailList::OnOpenTimer);
    connect(&m_waitTimer, &QTimer::timeout, this, &ThumbnailList::OnWaitTimer);
    m_updateTimer.setSingleShot(true);
    connect(&m_updateTimer, &QTimer::timeout, this, &ThumbnailList::OnUpdateTimer);
    connect(m_watch, &FolderWatch::changed, this, &ThumbnailList::OnFolderChanged);
    // Every paint covers the whole viewport (RenderClient composes all of it).
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    m_frameTimer.setSingleShot(true);
    connect(&m_frameTimer, &QTimer::timeout, viewport(), qOverload<>(&QWidget::update));
    connect(this, &QListWidget::itemSelectionChanged, this, &ThumbnailList::OnSelectionChanged);
    connect(&KeptBoxes::Instance(), &KeptBoxes::changed, this, &ThumbnailList::OnBoxChanged);
    // Scrolling moves pixels already painted; the frames and labels are composed anew at its end.
    connect(verticalScrollBar(), &QScrollBar::sliderReleased, viewport(), qOverload<>(&QWidget::update));
}

ThumbnailList::~ThumbnailList() {
    StopLoader();
    m_updateTimer.stop();
    m_waitTimer.stop();
    m_openTimer.stop();
}

// ---- items ---------------------------------------------------------------------------------

const ThumbItem* ThumbnailList::Thumb(int row) const {
    const auto* entry = dynamic_cast<const ThumbListItem*>(item(row));
    return entry ? &entry->Record() : nullptr;
}

QString ThumbnailList::CurrentPath() const {
    // Gathering several cells moves the list's own current cell; the photo is still the one shown.
    if (selectedItems().size() > 1 && !m_shownPath.isEmpty() && RowOfPath(m_shownPath) >= 0) return m_shownPath;
    const ThumbItem* thumb = Thumb(currentRow());
    return thumb ? thumb->m_path : QString();
}

QString ThumbnailList::NeighbourPath(const QString& path, int step) const {
    const int row = RowOfPath(path);
    const ThumbItem* thumb = row < 0 ? nullptr : Thumb(row + step);
    return thumb ? thumb->m_path : QString();
}

QStringList ThumbnailList::SelectedPaths() const {
    QStringList paths;
    for (int row = 0; row < count(); ++row) {
        const ThumbItem* thumb = Thumb(row);
        if (thumb && item(row)->isSelected()) paths.append(thumb->m_path);
    }
    return paths;
}

void ThumbnailList::OnBoxChanged(const QString& path) {
    const int row = RowOfPath(path);
    auto* entry = row < 0 ? nullptr : dynamic_cast<ThumbListItem*>(item(row));
    if (!entry) return;
    entry->MarkBox(KeptBoxes::Instance().Has(path));
    m_frameClock.invalidate();
    viewport()->update();
}

void ThumbnailList::SetShownPicture(const QString& path) {
    m_shownPath = path;
    // A choice the view turned down (the save question's Cancel) must not open later either.
    m_openTimer.stop();
    FrameShownPicture();
}

void ThumbnailList::FrameShownPicture() {
    const int row = m_shownPath.isEmpty() ? -1 : RowOfPath(m_shownPath);
    if (row == currentRow() && (row < 0 || item(row)->isSelected())) return;
    // The view shows it already: no selection change may open it again.
    const QSignalBlocker quiet(this);
    if (row < 0) {
        if (selectedItems().size() <= 1) clearSelection();
        setCurrentItem(nullptr, QItemSelectionModel::NoUpdate);
    } else if (selectedItems().size() > 1) {
        // Stepping through a selection of several keeps it.
        setCurrentRow(row, QItemSelectionModel::NoUpdate);
        scrollToItem(item(row));
    } else {
        setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
        scrollToItem(item(row));
    }
    m_frameClock.invalidate();
    viewport()->update();
}

QString ThumbnailList::TipText(int row) const {
    const ThumbItem* thumb = Thumb(row);
    if (!thumb) return QString();
    if (!thumb->m_problem.isEmpty()) return thumb->m_problem;
    return QString::asprintf("%s\nWidth=%d, Height=%d", thumb->m_name.toUtf8().constData(), thumb->m_width,
                             thumb->m_height);
}

void ThumbnailList::RemoveFile(const QString& path) {
    const int total = count();
    const int row = RowOfPath(path);
    if (row < 0) return;
    if (path == m_shownPath) m_shownPath.clear();   // the view let it go before it was deleted
    // Deselect first: the view would otherwise hand the selection to a neighbour on its own.
    if (item(row)->isSelected()) clearSelection();
    setCurrentItem(nullptr, QItemSelectionModel::NoUpdate);
    delete takeItem(row);
    ArrangeTop();
    if (row < total - 1) setCurrentRow(row);   // the item that followed; selecting it opens it
}

void ThumbnailList::InsertThumb(ThumbItem* record) {
    auto* entry = new ThumbListItem(record);
    entry->setSizeHint(gridSize());
    insertItem(count(), entry);
    if (SamePath(record, m_shownPath)) FrameShownPicture();
}

int ThumbnailList::RowOfName(const QString& name) const {
    for (int row = 0; row < count(); ++row) {
        const ThumbItem* thumb = Thumb(row);
        if (thumb && thumb->m_name == name) return row;
    }
    return -1;
}

int ThumbnailList::RowOfPath(const QString& path) const {
    for (int row = 0; row < count(); ++row) {
        if (SamePath(Thumb(row), path)) return row;
    }
    return -1;
}

int ThumbnailList::SortedRowFor(const QString& name) const {
    // The rows are in natural order of their names: the first row that sorts after name.
    int low = 0;
    int high = count();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        const ThumbItem* thumb = Thumb(middle);
        if (thumb && thumbs::NaturalLess(thumb->m_name, name)) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

void ThumbnailList::TakeRow(int row) {
    // Leaves the selection empty rather than letting the view hand it to a neighbour; the
    // picture stays open in the view.
    if (item(row)->isSelected()) clearSelection();
    if (currentRow() == row) setCurrentItem(nullptr, QItemSelectionModel::NoUpdate);
}

void ThumbnailList::PutThumb(ThumbItem* record) {
    // Cells move, the selection stays with its item: no new picture is opened.
    const QSignalBlocker quiet(this);
    const int row = RowOfName(record->m_name);
    if (row >= 0) {
        static_cast<ThumbListItem*>(item(row))->Replace(record);
    } else {
        auto* entry = new ThumbListItem(record);
        entry->setSizeHint(gridSize());
        insertItem(SortedRowFor(record->m_name), entry);
        if (SamePath(record, m_shownPath)) FrameShownPicture();
    }
    m_frameClock.invalidate();
    viewport()->update();
}

void ThumbnailList::ApplyRemovalsAndRenames(const thumbs::FolderChanges& changes) {
    DropNames(changes.removed);
    const QSignalBlocker quiet(this);
    for (const auto& [from, to] : changes.renamed) {
        const int row = RowOfName(from);
        if (row < 0) continue;
        const bool selected = item(row)->isSelected();
        const bool current = currentRow() == row;
        TakeRow(row);
        auto* entry = static_cast<ThumbListItem*>(takeItem(row));
        entry->Rename(to, thumbs::JoinFolderAndName(m_folder, to));
        insertItem(SortedRowFor(to), entry);
        if (current) setCurrentItem(entry, QItemSelectionModel::NoUpdate);
        if (selected) entry->setSelected(true);
    }
    ArrangeTop();
}

void ThumbnailList::DropNames(const QStringList& names) {
    const QSignalBlocker quiet(this);
    for (const QString& name : names) {
        const int row = RowOfName(name);
        if (row < 0) continue;
        TakeRow(row);
        delete takeItem(row);
    }
}

void ThumbnailList::FinishLoad(thumbs::FolderStamps stamps) {
    m_stamps = std::move(stamps);
    ArrangeTop();
}

void ThumbnailList::ArrangeTop() {
    doItemsLayout();
    viewport()->update();
}

// ---- selection and opening -------------------------------------------------------------------

void ThumbnailList::PostChosenPicture() {
    QMetaObject::invokeMethod(this, [this] { emit pictureChosen(CurrentPath()); }, Qt::QueuedConnection);
}

void ThumbnailList::OnSelectionChanged() {
    m_frameClock.invalidate();   // the user's own change is shown at once
    viewport()->update();
    // Only a single chosen cell opens; gathering several (Ctrl, Shift, Ctrl+A) leaves the
    // picture shown as it is.
    const QList<QListWidgetItem*> selected = selectedItems();
    if (selected.size() == 1 && selected.front() == currentItem()) {
        m_openTimer.start();   // restarts a pending one: the open follows the last change
    } else {
        m_openTimer.stop();
    }
}

void ThumbnailList::OnOpenTimer() {
    m_openTimer.stop();
    PostChosenPicture();
}

void ThumbnailList::mouseDoubleClickEvent(QMouseEvent* event) {
    QListWidget::mouseDoubleClickEvent(event);
    if (!m_openTimer.isActive() && currentItem() && currentItem()->isSelected()) PostChosenPicture();
}

bool ThumbnailList::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QListWidgetItem* entry = itemAt(help->pos());
        if (entry) {
            QToolTip::showText(help->globalPos(), TipText(row(entry)), viewport());
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        m_frameClock.invalidate();
        viewport()->update();
    }
    return QListWidget::viewportEvent(event);
}

void ThumbnailList::resizeEvent(QResizeEvent* event) {
    QListWidget::resizeEvent(event);
    ArrangeTop();
}

// ---- painting ----------------------------------------------------------------------------------

QRect ThumbnailList::IconRect(int row) const {
    const QRect cell = visualItemRect(item(row));
    return QRect(cell.left(), cell.top(), cell.width(), thumbs::kThumbSide + 2 * kIconPadding);
}

QRect ThumbnailList::LabelRect(int row) const {
    const QRect icon = IconRect(row);
    return QRect(icon.left(), icon.bottom() + 1 + kLabelGap, icon.width(), fontMetrics().height() + 2 * kLabelGap);
}

QSize ThumbnailList::DeviceClientSize() const {
    const qreal ratio = viewport()->devicePixelRatioF();
    const QSize client = viewport()->size();
    return QSize(int(std::ceil(client.width() * ratio)), int(std::ceil(client.height() * ratio)));
}

QImage ThumbnailList::RenderClient() const {
    const QSize logicalClient = viewport()->size();
    if (logicalClient.isEmpty()) return QImage();
    // Composed in device pixels: the thumbnails are made for them and are put in unscaled, the
    // frames and labels are drawn in logical coordinates by a painter that knows the ratio.
    const qreal ratio = viewport()->devicePixelRatioF();
    const QSize client = DeviceClientSize();
    // The frame is kept from paint to paint and composed in place (unless a caller still holds
    // the last one): allocating it anew each time costs more than filling it. RGB32, which the
    // painter draws on and the screen copies directly.
    QImage& bitmap = m_compose;
    if (bitmap.size() != client) bitmap = QImage(client, QImage::Format_RGB32);
    if (bitmap.isNull()) return bitmap;
    bitmap.fill(QColor(Qt::white));
    const QRect clientRect(QPoint(0, 0), logicalClient);
    for (int row = 0; row < count(); ++row) {
        const QRect logicalIcon = IconRect(row);
        const ThumbItem* thumb = Thumb(row);
        if (!logicalIcon.intersects(clientRect) || !thumb || !thumb->m_thumb.IsValid()) continue;
        const QRect icon = DeviceRect(logicalIcon, ratio);
        const RasterImage& picture = thumb->m_thumb;
        PutOnFrame(picture, bitmap, icon.left() + (icon.width() - int(picture.GetWidth())) / 2,
                   icon.top() + (icon.height() - int(picture.GetHeight())) / 2);
    }
    bitmap.setDevicePixelRatio(ratio);
    QPainter painter(&bitmap);
    painter.setFont(font());
    const bool focused = hasFocus();
    const int shown = m_shownPath.isEmpty() ? -1 : RowOfPath(m_shownPath);
    const bool several = selectedItems().size() > 1;
    for (int row = 0; row < count(); ++row) {
        const QRect icon = IconRect(row);
        if (!icon.intersects(clientRect)) continue;
        // The current cell (the picture shown) is framed; cells gathered besides it are tinted.
        const bool framed = several ? row == shown : item(row)->isSelected();
        const bool gathered = several && item(row)->isSelected();
        const QPoint centre(icon.left() + icon.width() / 2, icon.top() + icon.height() / 2);
        const QRect frameRect(centre.x() - kFrameHalf, centre.y() - kFrameHalf, 2 * kFrameHalf - 1, 2 * kFrameHalf - 1);
        if (gathered) painter.fillRect(frameRect.adjusted(-kIconPadding / 2, -kIconPadding / 2, kIconPadding / 2, kIconPadding / 2), kGatheredTint);
        const QColor frame = framed ? (focused ? kFrameFocused : kFrameUnfocused) : gathered ? kFrameGathered : kFrameIdle;
        painter.setPen(QPen(frame, framed || gathered ? 2 : 0, Qt::SolidLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(frameRect);
        const auto* entry = dynamic_cast<const ThumbListItem*>(item(row));
        if (!entry) continue;
        if (!entry->Record().m_thumb.IsValid()) DrawBrokenPictureGlyph(painter, icon);
        if (entry->Record().m_hasBox) DrawKeptBoxMark(painter, frameRect);
        const QRect label = LabelRect(row);
        bool centred = false;
        const QStaticText& text = entry->Label(painter.font(), label.width(), centred);
        const qreal x = centred ? label.left() + (label.width() - text.size().width()) / 2 : label.left();
        const qreal y = label.top() + (label.height() - painter.fontMetrics().height()) / 2;
        painter.setPen(Qt::black);
        painter.drawStaticText(QPointF(x, y), text);
    }
    // Ended first: a bitmap still being painted on would be handed out as a copy.
    painter.end();
    return bitmap;
}

void ThumbnailList::paintEvent(QPaintEvent*) {
    // Moved to a screen of another device pixel ratio: every cell is made again for it, in
    // place, the way a changed file is.
    const int side = thumbs::DeviceThumbSide(viewport()->devicePixelRatioF());
    if (side != m_thumbSide && count() > 0 && !IsScanning() && !m_waitTimer.isActive()) {
        m_thumbSide = side;
        m_stamps.clear();
        m_updateTimer.start(0);
    }
    // A scan inserts an item every millisecond or so when the thumbnails come from the cache;
    // composing the whole list after each would cost more than making the thumbnails, and so
    // would drawing the last frame again for each (the list asks for a paint twice per item).
    // Within a short interval the window keeps showing the last frame it was given (unless the
    // view scrolled or grew; the viewport is opaque, so nothing clears it), and a fresh one
    // follows when the interval ends. The scroll bar appearing narrows the view: that waits
    // for the fresh frame too.
    const int scroll = verticalScrollBar()->value();
    const QSize client = DeviceClientSize();
    const bool reuse = IsScanning() && m_frameClock.isValid() && m_frameClock.elapsed() < kScanFrameInterval &&
                       m_frame.width() >= client.width() && m_frame.height() >= client.height() &&
                       m_frameScroll == scroll;
    // The scroll bar, whose range grows with every item, is painted with the frames too.
    QScrollBar* bar = verticalScrollBar();
    if (reuse) {
        if (!m_frameTimer.isActive()) m_frameTimer.start(kScanFrameInterval - int(m_frameClock.elapsed()));
        bar->setUpdatesEnabled(false);
        return;
    }
    bar->setUpdatesEnabled(true);
    m_frame = QImage();   // so that the frame is composed in place
    m_frame = RenderClient();
    m_frameScroll = scroll;
    m_frameClock.start();
    if (m_frame.isNull()) return;
    QPainter painter(viewport());
    painter.drawImage(0, 0, m_frame);
}

// ---- the loader ------------------------------------------------------------------------------------

bool ThumbnailList::IsScanning() const { return m_loader.joinable() && m_loaderRunning.load(); }

void ThumbnailList::SetFolder(const QString& folder) {
    m_waitTimer.stop();
    m_updateTimer.stop();
    m_watch->Stop();
    if (IsScanning()) {
        m_stop.store(true);
        m_pendingFolder = folder;
        m_waitTimer.start();
        return;
    }
    JoinFinishedLoader();
    {
        // Emptying the list for another folder is no selection change: the picture stays open.
        const QSignalBlocker quiet(this);
        clear();
    }
    m_stamps.clear();
    m_folder = folder;
    if (m_folder.isEmpty() || !QFileInfo(m_folder).isDir() || !m_wake->IsOpen()) return;
    // Watched before it is read: nothing that happens during the scan goes unnoticed.
    m_watch->Watch(m_folder);
    StartLoader();
}

void ThumbnailList::FileWritten(const QString& path) {
    if (m_folder.isEmpty() || path.isEmpty()) return;
    if (CleanFolder(QFileInfo(path).absolutePath()) != CleanFolder(m_folder)) return;
    m_updateTimer.start(0);
}

void ThumbnailList::OnFolderChanged() {
    // Not restarted by further reports: while a folder fills, it is looked at a few times a
    // second rather than never.
    if (!m_updateTimer.isActive()) m_updateTimer.start(kUpdateDelayMs);
}

void ThumbnailList::OnUpdateTimer() {
    if (m_waitTimer.isActive() || m_folder.isEmpty()) return;   // another folder comes anyway
    if (IsScanning()) {
        m_updateTimer.start(kUpdateRetryMs);
        return;
    }
    StartUpdate();
}

void ThumbnailList::OnWaitTimer() {
    if (IsScanning()) return;
    m_waitTimer.stop();
    SetFolder(m_pendingFolder);
}

void ThumbnailList::StartLoader() {
    JoinFinishedLoader();
    m_thumbSide = thumbs::DeviceThumbSide(viewport()->devicePixelRatioF());
    m_stop.store(false);
    m_loaderRunning.store(true);
    m_handoff = LoaderHandoff::Create(m_wake->WriteFd());
    m_loader = std::thread(&ThumbnailList::ScanFolder, m_folder, m_handoff, this, &m_stop, &m_loaderRunning, m_thumbSide);
}

void ThumbnailList::StartUpdate() {
    JoinFinishedLoader();
    m_stop.store(false);
    m_loaderRunning.store(true);
    m_handoff = LoaderHandoff::Create(m_wake->WriteFd());
    m_loader = std::thread(&ThumbnailList::UpdateFolder, m_folder, m_stamps, m_handoff, this, &m_stop, &m_loaderRunning,
                           m_thumbSide);
}

void ThumbnailList::JoinFinishedLoader() {
    if (m_loader.joinable()) m_loader.join();
    if (m_handoff) m_handoff->Close();
    m_handoff.reset();
}

void ThumbnailList::StopLoader() {
    m_stop.store(true);
    // Closing first releases a loader that waits for this thread, so the join cannot deadlock.
    if (m_handoff) m_handoff->Close();
    JoinFinishedLoader();
}

void ThumbnailList::ScanFolder(QString folder, std::shared_ptr<LoaderHandoff> handoff, ThumbnailList* list,
                        std::atomic<bool>* stop, std::atomic<bool>* running, int side) {
    if (!stop->load()) {
        thumbs::FolderStamps stamps;
        {
            // Ends (joining its threads) before the loader reports its end.
            QStringList names = thumbs::ListPictureFiles(folder);
            // Taken before any thumbnail: a file that changes later is looked at again.
            stamps = thumbs::StampFiles(folder, names);
            thumbs::ThumbnailRequest request;
            request.side = side;
            thumbs::ThumbnailWorkers workers(std::move(folder), std::move(names), thumbs::ScanWorkerCount(), *stop,
                                             request);
            for (auto batch = workers.NextBatch(kMostPerHandover); !batch.empty();
                 batch = workers.NextBatch(kMostPerHandover)) {
                if (stop->load()) break;
                // Run returns once the request ran or never will: the records it did not take
                // are still the batch's.
                handoff->Run([list, &batch] {
                    for (std::unique_ptr<ThumbItem>& record : batch) list->InsertThumb(record.release());
                });
            }
        }
        handoff->Run([list, &stamps] { list->FinishLoad(std::move(stamps)); });
    }
    running->store(false);
}

void ThumbnailList::UpdateFolder(QString folder, thumbs::FolderStamps before, std::shared_ptr<LoaderHandoff> handoff,
                          ThumbnailList* list, std::atomic<bool>* stop, std::atomic<bool>* running, int side) {
    if (!stop->load()) {
        const QStringList names = thumbs::ListPictureFiles(folder);
        thumbs::FolderStamps now = thumbs::StampFiles(folder, names);
        const thumbs::FolderChanges changes = thumbs::CompareStamps(before, now);
        if (!changes.removed.isEmpty() || !changes.renamed.empty()) {
            handoff->Run([list, &changes] { list->ApplyRemovalsAndRenames(changes); });
        }
        // Names that give no record any more (too small now) lose their cell.
        QSet<QString> unlisted(changes.changed.cbegin(), changes.changed.cend());
        {
            thumbs::ThumbnailRequest request;
            request.side = side;
            request.useCache = false;   // the file changed: an entry of the same second may be stale
            thumbs::ThumbnailWorkers workers(folder, changes.changed, thumbs::ScanWorkerCount(), *stop, request);
            for (auto batch = workers.NextBatch(kMostPerHandover); !batch.empty();
                 batch = workers.NextBatch(kMostPerHandover)) {
                if (stop->load()) break;
                for (const std::unique_ptr<ThumbItem>& record : batch) unlisted.remove(record->m_name);
                handoff->Run([list, &batch] {
                    for (std::unique_ptr<ThumbItem>& record : batch) list->PutThumb(record.release());
                });
            }
        }
        if (!stop->load()) {
            const QStringList dropped(unlisted.cbegin(), unlisted.cend());
            handoff->Run([list, &dropped, &now] {
                list->DropNames(dropped);
                list->FinishLoad(std::move(now));
            });
        }
    }
    running->store(false);
}
