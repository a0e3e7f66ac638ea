#include "view/PictureView.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "doc/PictureDocument.h"
#include "commands/CommandIds.h"
#include "platform/RasterQtBridge.h"
#include "commands/SettingsKeys.h"
#include "view/CropBoxChoices.h"
#include "platform/SettingsStore.h"
#include "platform/ShellOpen.h"
#include "platform/WaitCursor.h"
#include "view/StatusPaneText.h"
#include "image/WorkingPicture.h"
#include "image/metadata/ColourConversion.h"

namespace {

constexpr const char* kCopyMenuText = "&Copy\tCtrl+C";
constexpr const char* kPasteMenuText = "&Paste\tCtrl+V";
constexpr const char* kCutText = "Cut";
// Resizes closer together than this are one drag of the window's edge.
constexpr int kResizeSettleMs = 150;

cropbox::Point ToPoint(QPoint p) { return {p.x(), p.y()}; }

bool ClipboardHasBitmap() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard != nullptr ? clipboard->mimeData() : nullptr;
    return data != nullptr && data->hasImage();
}

}  // namespace

PictureView::PictureView(PictureDocument* document, QWidget* parent) : QWidget(parent), m_document(document) {
    m_box.m_autoHide = SettingsStore::ReadInt(settings::kSection, settings::kAutoHideCropbox, 0) > 0;
    cropbox::RestoreChoices(m_box);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_resizeSettle.setSingleShot(true);
    m_resizeSettle.setInterval(kResizeSettleMs);
    connect(&m_resizeSettle, &QTimer::timeout, this, &PictureView::ResizeSettled);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    RegisterCommands();
    RegisterFileCommands();
    if (m_document != nullptr) m_document->m_view = this;
}

PictureView::~PictureView() {
    if (m_document != nullptr && m_document->m_view == this) m_document->m_view = nullptr;
    CommandRouter* router = CommandRouter::Instance();
    if (router != nullptr && router->ActiveView() == &m_handlers) router->SetActiveView(nullptr);
    if (router != nullptr && router->PictureViewHandlers() == &m_handlers) router->SetPictureView(nullptr);
}

// ---- commands ---------------------------------------------------------------------------------

void PictureView::RegisterCommands() {
    using cropbox::CropBoxModel;
    CommandHandlers& h = m_handlers;

    for (int shape = cropbox::kShapeRectangle; shape <= cropbox::kShapeOval; ++shape) {
        h.On(
            cmd::ID_SHAPE_RECTANGLE + uint32_t(shape - cropbox::kShapeRectangle),
            [this, shape] {
                m_box.m_shape = shape;
                cropbox::StoreChoices(m_box);
                Repaint();
            },
            [this, shape](CommandUpdate& u) { u.checked = m_box.m_shape == shape; });
    }
    h.OnRange(
        cmd::ID_PRESET_FIRST, cmd::ID_PRESET_LAST,
        [this](uint32_t id) {
            m_box.m_presetId = id;
            cropbox::StoreChoices(m_box);
            if (PicturesValid() && !m_box.m_crop.IsEmpty()) {
                PlaceCropBox();
                Repaint();
            }
        },
        [this](CommandUpdate& u) { u.checked = u.id == m_box.m_presetId; });
    h.On(cmd::ID_CROPBOX, [] {}, [this](CommandUpdate& u) {
        const cropbox::PrintSizePreset* preset = cropbox::FindPreset(m_box.m_presetId);
        u.text = QString::fromLatin1(preset != nullptr ? preset->name : "Free");
    });
    h.OnRange(
        cmd::ID_BORDER_NONE, cmd::ID_BORDER_LAST,
        [this](uint32_t id) {
            m_box.m_borderId = id;
            cropbox::StoreChoices(m_box);
            if (PicturesValid() && !m_box.m_crop.IsEmpty()) Repaint();
        },
        [this](CommandUpdate& u) { u.checked = u.id == m_box.m_borderId; });
    h.On(cmd::ID_BORDER, [] {}, [this](CommandUpdate& u) {
        u.text = QString::fromStdString(cropbox::BorderLabel(m_box.m_borderId));
    });

    auto rotateEnabled = [this] {
        return PicturesValid() && !m_box.m_crop.IsEmpty() && m_box.m_showCropBox &&
               m_box.m_presetId != cmd::ID_PRESET_FREE;
    };
    h.On(
        cmd::ID_ROTATE_CROPBOX,
        [this, rotateEnabled] {
            if (!rotateEnabled()) return;
            m_box.m_rotated = !m_box.m_rotated;
            cropbox::StoreChoices(m_box);
            PlaceCropBox();
            Repaint();
        },
        [this, rotateEnabled](CommandUpdate& u) {
            u.checked = m_box.m_rotated;
            u.enabled = rotateEnabled();
        });
    h.On(
        cmd::ID_HIDE_CROPBOX,
        [this] {
            m_box.m_showCropBox = !m_box.m_showCropBox;
            Repaint();
        },
        [this](CommandUpdate& u) { u.checked = !m_box.m_showCropBox; });
    h.On(
        cmd::ID_AUTO_SHOW_CROPBOX,
        [this] {
            m_box.m_autoHide = !m_box.m_autoHide;
            SettingsStore::WriteInt(settings::kSection, settings::kAutoHideCropbox, m_box.m_autoHide ? 1 : 0);
        },
        [this](CommandUpdate& u) { u.checked = m_box.m_autoHide; });

    h.On(
        cmd::ID_CUT, [this] { CutToCropBox(); },
        [this](CommandUpdate& u) {
            u.text = QString::fromLatin1(kCutText);
            u.enabled = m_box.CutEnabled(PicturesValid());
        });

    const auto picturesValid = [this](CommandUpdate& u) { u.enabled = PicturesValid(); };
    for (uint32_t id : {cmd::ID_ROTATE_LEFT, cmd::ID_ROTATE_RIGHT, cmd::ID_MIRROR, cmd::ID_FLIP, cmd::ID_COOL_TONE,
                        cmd::ID_WARM_TONE, cmd::ID_SEPIA}) {
        h.On(id, [this, id] { RunPictureCommand(id); }, picturesValid);
    }
    // The light values are the view's; the sliders show them as positions 0..200.
    for (auto [id, value] : {std::pair{cmd::ID_CONTRAST, &m_contrast}, std::pair{cmd::ID_BRIGHTNESS, &m_brightness}}) {
        h.OnValue(
            id,
            [this, id, value](const CommandValue& position) {
                if (const int* p = std::get_if<int>(&position)) *value = LightValueOfPosition(*p);
                RunPictureCommand(id);
            },
            [this, value](CommandUpdate& u) {
                u.enabled = PicturesValid();
                u.value = *value + kLightSliderNeutral;
            });
    }

    h.On(cmd::ID_EXT_CUTTER, [this] { RunExternalCutter(); }, picturesValid);
    h.On(cmd::ID_EDIT_UNDO, [this] { UndoPicture(); }, [this](CommandUpdate& u) { u.enabled = m_history.CanUndo(); });
    h.On(cmd::ID_EDIT_REDO, [this] { RedoPicture(); }, [this](CommandUpdate& u) { u.enabled = m_history.CanRedo(); });

    h.On(cmd::ID_EDIT_COPY, [this] { Copy(); }, [this](CommandUpdate& u) { u.enabled = m_working.IsValid(); });
    h.On(cmd::ID_EDIT_PASTE, [this] { Paste(); }, [](CommandUpdate& u) { u.enabled = ClipboardHasBitmap(); });
    h.On(cmd::ID_CUSTOMIZATION, [] { ShellOpen::OpenUrl(QString::fromLatin1(kCustomizationUrl)); });

    h.OnUpdate(cmd::ID_STATUSBAR_PANE_FILE, [this](CommandUpdate& u) {
        const QString path = m_path.isEmpty() ? QString() : ModifiedMark() + m_path;
        if (m_damage.isEmpty() && m_metadataDropped) {
            SetPaneText(u, QStringLiteral("Metadata could not be read: %1").arg(path),
                        QStringLiteral("%1\nA damaged or oversized metadata block (EXIF, XMP, IPTC or colour "
                                       "profile) was left out; the picture itself is whole.")
                            .arg(m_path));
            return;
        }
        if (m_damage.isEmpty()) {
            SetPaneText(u, path);
            return;
        }
        SetPaneText(u, QStringLiteral("Damaged picture: %1: %2").arg(m_damage, path),
                    QStringLiteral("%1\nWhat could not be read is filled in by the decoder; saving "
                                   "writes the picture as shown.")
                        .arg(m_path));
    });
    h.OnUpdate(cmd::ID_STATUSBAR_PANE_IMAGE, [this](CommandUpdate& u) {
        u.text = QString::fromStdString(CropBoxModel::ImageStatusText(
            m_working.IsValid(), int(m_working.GetWidth()), int(m_working.GetHeight())));
    });
    h.OnUpdate(cmd::ID_STATUSBAR_PANE_CROPBOX, [this](CommandUpdate& u) {
        const cropbox::Rect crop = BoxInPicture();
        const cropbox::Size size{crop.Width(), crop.Height()};
        // A hidden box has no print to warn about.
        const bool shown = m_box.m_showCropBox && !crop.IsEmpty();
        SetPaneText(u, QString::fromStdString(m_box.CropStatusText(PicturesValid(), size)),
                    shown ? QString::fromStdString(m_box.LowPrintResolutionNote(size)) : QString());
    });
    RegisterPrintCommands();
}

void PictureView::Copy() {
    if (!m_working.IsValid()) return;
    RasterImage copy;
    if (!MakeLitCopy(copy)) return;
    CopyToClipboard(copy);
}

void PictureView::Paste() {
    WaitCursor wait;
    if (!ClipboardHasBitmap()) return;
    RasterImage pasted;
    if (!CreateFromBitmap(pasted, nullptr) || !pasted.IsValid() || !MakeWorkingPicture(pasted)) return;
    // A changed picture pasted over is offered for saving first.
    if (m_document != nullptr && !m_document->SaveModified()) return;
    const PictureState before = CaptureState();
    m_box.m_crop = {};
    ResetLightSliders();
    m_path.clear();
    m_damage.clear();
    m_metadata.reset();   // a pasted picture carries none
    m_metadataDropped = false;
    ReplaceWorkingPicture(pasted, before);
    MatchOrientation(int(m_working.GetWidth()), int(m_working.GetHeight()));
    LayoutPicture();
    Repaint();
}

// ---- layout -------------------------------------------------------------------------------------

void PictureView::LayoutPicture() {
    ReduceWorkingPicture();
    FitViewCopy();
}

void PictureView::FitViewCopy() {
    m_viewCopy.Destroy();
    ForgetShownCopy();
    m_box.m_crop = {};
    if (!m_working.IsValid()) return;
    const cropbox::Size size =
        cropbox::FitViewSize(width(), height(), int(m_working.GetWidth()), int(m_working.GetHeight()));
    // A client too small for a fit area shows nothing until it grows again.
    if (size.width <= 0 || size.height <= 0) return;
    MakeScaledCopy({size.width, size.height}, m_viewCopy);
    PlaceCropBox();
}

void PictureView::ReduceWorkingPicture() {
    m_reduced.Destroy();
    m_reducedLogical.Destroy();
    if (!m_working.IsValid()) return;
    const qreal ratio = devicePixelRatioF();
    QSize bound = size();
    if (const QScreen* shownOn = screen()) bound = bound.expandedTo(shownOn->geometry().size());
    // Without memory for them, relayouts simply use the working picture.
    if (!ReduceToFit(bound * ratio, m_reduced)) m_reduced.Destroy();
    // View copies are made at logical pixels: on a HiDPI screen a smaller reduction serves them.
    if (ratio > 1 && !ReduceToFit(bound, m_reducedLogical)) m_reducedLogical.Destroy();
}

bool PictureView::ReduceToFit(QSize bound, RasterImage& reduced) {
    const double workWidth = m_working.GetWidth();
    const double workHeight = m_working.GetHeight();
    const double scale = std::min(bound.width() / workWidth, bound.height() / workHeight);
    constexpr double kWorthReducing = 0.8;
    if (!(scale > 0) || scale >= kWorthReducing) return true;
    const uint32_t w = uint32_t(std::max(1L, std::lround(workWidth * scale)));
    const uint32_t h = uint32_t(std::max(1L, std::lround(workHeight * scale)));
    return m_working.Rescale(w, h, RASTER_RESCALE_AREA, &reduced);
}

RasterImage& PictureView::ScaleSource(QSize target) {
    const auto fits = [target](const RasterImage& reduced) {
        return reduced.IsValid() && uint32_t(target.width()) <= reduced.GetWidth() &&
               uint32_t(target.height()) <= reduced.GetHeight();
    };
    if (fits(m_reducedLogical)) return m_reducedLogical;
    return fits(m_reduced) ? m_reduced : m_working;
}

bool PictureView::MakeScaledCopy(QSize size, RasterImage& copy) {
    const bool made = size == QSize(int(m_working.GetWidth()), int(m_working.GetHeight()))
                          ? copy.Copy(m_working)
                          : ScaleSource(size).Rescale(uint32_t(size.width()), uint32_t(size.height()),
                                                      RASTER_RESCALE_AREA, &copy);
    if (made) ConvertViewColours(copy);
    return made;
}

void PictureView::ConvertViewColours(RasterImage& copy) const {
    if (m_metadata && copy.IsValid()) ConvertToScreenColours(copy, m_metadata->icc);
}

void PictureView::PlaceCropBox() {
    if (!m_viewCopy.IsValid()) {
        m_box.m_crop = {};
        return;
    }
    m_box.PlaceCropBox({width(), height()}, {int(m_viewCopy.GetWidth()), int(m_viewCopy.GetHeight())},
                       {int(m_working.GetWidth()), int(m_working.GetHeight())});
}

void PictureView::MatchOrientation(int pictureWidth, int pictureHeight) {
    m_box.MatchOrientation(pictureWidth, pictureHeight);
}

// ---- painting -----------------------------------------------------------------------------------

void PictureView::Repaint() { update(); }

void PictureView::ForgetShownCopy() {
    m_shownCopy.Destroy();
    m_shownRatio = 0;
}

const RasterImage& PictureView::ShownCopy(qreal ratio) {
    if (!m_viewCopy.IsValid() || !m_working.IsValid()) return m_viewCopy;
    const QSize viewSize(int(m_viewCopy.GetWidth()), int(m_viewCopy.GetHeight()));
    const QSize size = ViewPainter::ShownSize(viewSize, ratio);
    if (size == viewSize || size.isEmpty()) return m_viewCopy;
    if (m_shownRatio == ratio && m_shownCopy.IsValid()) return m_shownCopy;
    if (m_resizing) return m_viewCopy;
    m_shownRatio = ratio;
    if (!MakeScaledCopy(size, m_shownCopy)) {
        m_shownCopy.Destroy();
        return m_viewCopy;
    }
    ApplyLightValues(m_shownCopy, m_contrast, m_brightness);
    return m_shownCopy;
}

QImage PictureView::RenderClient() { return RenderClient(devicePixelRatioF()); }

QImage PictureView::RenderClient(qreal ratio) {
    return m_painter.Render(m_viewCopy, ShownCopy(ratio), m_box, width(), height(), ratio);
}

void PictureView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // Without a picture the client is plain black (as RenderClient gives it): filled directly,
    // without building a client-sized bitmap first, as at every start of the program.
    if (!m_viewCopy.IsValid()) {
        painter.fillRect(event->rect(), Qt::black);
        return;
    }
    painter.drawImage(0, 0, RenderClient());
}

void PictureView::NoteResize() {
    const bool following = m_sinceResize.isValid() && m_sinceResize.elapsed() < kResizeSettleMs;
    m_sinceResize.start();
    if (!following) return;
    m_resizing = true;
    m_resizeSettle.start();
}

void PictureView::ResizeSettled() {
    m_resizing = false;
    update();
}

void PictureView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    NoteResize();
    // The working picture is as it was: the reduced picture serves the new size, and the
    // light preview is kept.
    FitViewCopy();
    ApplyLightPreview();
}

// ---- mouse and keyboard ---------------------------------------------------------------------

void PictureView::UpdateCursor(QPoint position) {
    switch (m_box.HitTest(ToPoint(position), PicturesValid())) {
    case cropbox::kDragLeft:
    case cropbox::kDragRight:
        setCursor(Qt::SizeHorCursor);
        break;
    case cropbox::kDragTop:
    case cropbox::kDragBottom:
        setCursor(Qt::SizeVerCursor);
        break;
    case cropbox::kDragMove:
        setCursor(Qt::SizeAllCursor);
        break;
    default:
        unsetCursor();
        break;
    }
}

void PictureView::BeginDrag(QPoint position) {
    const cropbox::Point point = ToPoint(position);
    m_box.BeginDrag(m_box.HitTest(point, PicturesValid()), point);
    if (m_box.m_dragMode > cropbox::kDragNone) {
        if (isVisible()) grabMouse();
        m_captured = true;
    }
}

void PictureView::EndDrag() {
    m_box.m_dragMode = cropbox::kDragNone;
    if (m_captured && isVisible()) releaseMouse();
    m_captured = false;
    Repaint();
}

void PictureView::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton) return;
    setFocus(Qt::MouseFocusReason);
    BeginDrag(event->position().toPoint());
}

void PictureView::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    const QPoint position = event->position().toPoint();
    if (m_box.m_dragMode > cropbox::kDragNone) {
        if (m_box.DragStep(ToPoint(position))) Repaint();
    } else {
        UpdateCursor(position);
    }
}

void PictureView::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && m_box.m_dragMode > cropbox::kDragNone) EndDrag();
}

void PictureView::mouseDoubleClickEvent(QMouseEvent* event) {
    // QWidget's own handling would treat the second click as a press and start a drag.
    event->accept();
    if (event->button() != Qt::LeftButton) return;
    if (PicturesValid() && !m_box.m_crop.IsEmpty()) {
        m_box.m_showCropBox = !m_box.m_showCropBox;
        Repaint();
    }
}

void PictureView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        if (m_captured && m_box.m_dragMode > cropbox::kDragNone) EndDrag();
        break;
    case Qt::Key_Left:
        if (m_box.NudgeStep(-1, 0)) Repaint();
        break;
    case Qt::Key_Up:
        if (m_box.NudgeStep(0, -1)) Repaint();
        break;
    case Qt::Key_Right:
        if (m_box.NudgeStep(1, 0)) Repaint();
        break;
    case Qt::Key_Down:
        if (m_box.NudgeStep(0, 1)) Repaint();
        break;
    case Qt::Key_Delete:
        if (CommandRouter* router = CommandRouter::Instance()) router->Post(cmd::ID_DELETE);
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void PictureView::wheelEvent(QWheelEvent* event) {
    // Only the vertical wheel resizes; one pixel per message whatever its delta.
    const int delta = event->angleDelta().y();
    if (delta != 0 && m_box.WheelStep(delta)) {
        Repaint();
        event->accept();
        return;
    }
    QWidget::wheelEvent(event);
}

QMenu* PictureView::CreateContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    CommandRouter* router = CommandRouter::Instance();
    for (const auto& [id, text] : {std::pair{cmd::ID_EDIT_COPY, kCopyMenuText}, std::pair{cmd::ID_EDIT_PASTE, kPasteMenuText}}) {
        QAction* action = menu->addAction(QString::fromLatin1(text));
        action->setEnabled(router != nullptr && router->QueryUpdate(id).enabled);
        const uint32_t commandId = id;
        connect(action, &QAction::triggered, this, [commandId] {
            if (CommandRouter* current = CommandRouter::Instance()) current->Execute(commandId);
        });
    }
    return menu;
}

void PictureView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = CreateContextMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void PictureView::ActivateView() {
    if (CommandRouter* router = CommandRouter::Instance()) router->SetActiveView(&m_handlers);
    setFocus(Qt::OtherFocusReason);
}

void PictureView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    if (CommandRouter* router = CommandRouter::Instance()) router->SetActiveView(&m_handlers);
}
