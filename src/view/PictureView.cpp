#include "view/PictureView.h"

#include <QActionGroup>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>

#include "commands/CommandIds.h"
#include "commands/SettingsKeys.h"
#include "cutter/ExtCutterCommand.h"
#include "image/WorkingPicture.h"
#include "platform/MessageService.h"
#include "platform/RasterQtBridge.h"
#include "platform/SettingsStore.h"
#include "platform/ShellOpen.h"
#include "platform/WaitCursor.h"
#include "view/DocumentStatusPanes.h"
#include "view/PictureCommandHandlers.h"

namespace {

constexpr const char* kCopyMenuText = "&Copy\tCtrl+C";
constexpr const char* kPasteMenuText = "&Paste\tCtrl+V";
// Resizes closer together than this are one drag of the window's edge.
constexpr int kResizeSettleMs = 150;

bool ClipboardHasBitmap() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard != nullptr ? clipboard->mimeData() : nullptr;
    return data != nullptr && data->hasImage();
}

}  // namespace

PictureView::PictureView(FileCommands* files, QWidget* parent)
    : QWidget(parent), m_files(files), m_ownDocument(std::make_unique<PictureDocument>()) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_resizeSettle.setSingleShot(true);
    m_resizeSettle.setInterval(kResizeSettleMs);
    connect(&m_resizeSettle, &QTimer::timeout, this, &PictureView::ResizeSettled);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    SetDocument(nullptr);
    RegisterPictureCommands(*this, m_handlers);
    RegisterStatusPanes(*this, m_handlers);
    RegisterViewCommands();
    // The guide chosen last, kept from one run to the next.
    m_guide = GuideFromNumber(SettingsStore::ReadInt(settings::kSection, settings::kCompositionGuide, 0));
    m_spiralTurn = std::clamp(SettingsStore::ReadInt(settings::kSection, settings::kSpiralTurn, 0), 0, kSpiralTurns - 1);
    m_painter.SetGuide(m_guide, m_spiralTurn);
    if (m_files) m_files->m_view = this;
}

PictureView::~PictureView() {
    for (const auto& connection : {m_layoutConnection, m_closedConnection, m_busyConnection, m_failedConnection}) {
        disconnect(connection);
    }
    if (m_files && m_files->m_view == this) m_files->m_view = nullptr;
    CommandRouter* router = CommandRouter::Instance();
    if (router != nullptr && router->ActiveView() == &m_handlers) router->SetActiveView(nullptr);
    if (router != nullptr && router->PictureViewHandlers() == &m_handlers) router->SetPictureView(nullptr);
}

void PictureView::SetDocument(PictureDocument* document) {
    for (const auto& connection : {m_layoutConnection, m_closedConnection, m_busyConnection, m_failedConnection}) {
        disconnect(connection);
    }
    const bool wasBusy = m_document != nullptr && m_document->IsBusy();
    m_document = document != nullptr ? document : m_ownDocument.get();
    m_layoutConnection = connect(m_document, &PictureDocument::laidOut, this, &PictureView::FollowLayout);
    m_busyConnection = connect(m_document, &PictureDocument::busyChanged, this, &PictureView::busyChanged);
    // The full picture of a previewed photo could not be decoded after all.
    m_failedConnection = connect(m_document, &PictureDocument::loadFailed, this,
                                 [this](const QString& error) { MessageService::ShowMessage(error, this); });
    if (wasBusy != m_document->IsBusy()) emit busyChanged(m_document->IsBusy());
    // A document closed while shown leaves the view showing its own, empty one.
    if (m_document != m_ownDocument.get()) {
        m_closedConnection = connect(m_document, &QObject::destroyed, this, [this] {
            // Only its QObject part is left: nothing of the document may be asked any more.
            m_document = nullptr;
            SetDocument(nullptr);
            emit busyChanged(m_document->IsBusy());
        });
    }
    m_document->SetViewArea({width(), height()});
    FollowLayout(true);
}

void PictureView::RegisterViewCommands() {
    CommandHandlers& h = m_handlers;
    h.On(cmd::ID_EXT_CUTTER, [this] { RunExternalCutter(); }, [this](CommandUpdate& u) { u.enabled = CanEdit(); });
    h.On(cmd::ID_EDIT_COPY, [this] { Copy(); },
         [this](CommandUpdate& u) { u.enabled = m_document->WorkPicture().IsValid(); });
    h.On(cmd::ID_EDIT_PASTE, [this] { Paste(); },
         [this](CommandUpdate& u) { u.enabled = !m_document->IsBusy() && ClipboardHasBitmap(); });
    h.On(cmd::ID_CUSTOMIZATION, [] { ShellOpen::OpenUrl(QString::fromLatin1(kCustomizationUrl)); });
    h.On(cmd::ID_FILE_PRINT, [this] { PrintPicture(); },
         [this](CommandUpdate& u) { u.enabled = m_document->WorkPicture().IsValid(); });
    h.On(cmd::ID_GUIDE_NEXT, [this] { ShowNextGuide(); });
    h.On(cmd::ID_GUIDE_TURN_SPIRAL, [this] { TurnSpiral(); });
    RegisterOrderCommands();
    RegisterStraightenCommands();
}

void PictureView::ShowNextGuide() { SetGuide(NextGuide(m_guide), m_spiralTurn); }

void PictureView::TurnSpiral() { SetGuide(m_guide, (m_spiralTurn + 1) % kSpiralTurns); }

void PictureView::SetGuide(CompositionGuide guide, int spiralTurn) {
    m_guide = guide;
    m_spiralTurn = spiralTurn;
    m_painter.SetGuide(guide, spiralTurn);
    SettingsStore::WriteInt(settings::kSection, settings::kCompositionGuide, int(guide));
    SettingsStore::WriteInt(settings::kSection, settings::kSpiralTurn, spiralTurn);
    Repaint();
}

// ---- the document's picture ------------------------------------------------------------------

void PictureView::LoadPicture(const QString& path) {
    if (CommandRouter* router = CommandRouter::Instance()) router->SetActiveView(&m_handlers);
    WaitCursor wait;
    SyncViewArea();
    const QSize area = LargestArea() * devicePixelRatioF();
    m_document->SetPreviewBound({area.width(), area.height()});
    OpenedPicture ahead;
    std::vector<RasterImage> reduced;
    FileOutcome outcome;
    if (m_ahead.Take(path, ahead, &reduced)) {
        // The reduced copies were made ahead too: the step only fits the view copy.
        const QSize workSize(int(ahead.picture.GetWidth()), int(ahead.picture.GetHeight()));
        m_copies.AdoptAhead(reduced, workSize, LargestArea(), devicePixelRatioF());
        outcome = m_document->LoadOpened(path, ahead);
    } else {
        outcome = m_document->Load(path);
    }
    wait.Release();
    if (!outcome.ok) MessageService::ShowMessage(outcome.error, this);
    PrepareNeighbours();
}

void PictureView::Copy() {
    RasterImage copy;
    if (!m_document->WorkPicture().IsValid() || !m_document->MakeLitCopy(copy)) return;
    CopyToClipboard(copy);
}

void PictureView::Paste() {
    WaitCursor wait;
    if (!ClipboardHasBitmap()) return;
    RasterImage pasted;
    if (!CreateFromBitmap(pasted, nullptr) || !pasted.IsValid() || !MakeWorkingPicture(pasted)) return;
    // A changed picture pasted over is offered for saving first.
    if (m_files && !m_files->SaveModified()) return;
    SyncViewArea();
    m_document->TakePasted(pasted);
}

void PictureView::RunExternalCutter() {
    if (!PicturesValid()) return;
    RasterImage result;
    // Cancel, or a cut that cannot be made, leaves everything as it was.
    if (!RunExtCutter(this, m_document->WorkPicture(), result, m_document->Metadata().icc)) return;
    WaitCursor wait;  // the new layout and its first paint are part of the wait
    m_document->TakeExternalCut(result);
}

// ---- layout -------------------------------------------------------------------------------------

void PictureView::SyncViewArea() {
    if (m_document->ViewArea() == cropbox::Size{width(), height()}) return;
    m_document->SetViewArea({width(), height()});
    FitViewCopy();
}

QSize PictureView::LargestArea() const {
    QSize bound = size();
    if (const QScreen* shownOn = screen()) bound = bound.expandedTo(shownOn->geometry().size());
    return bound;
}

void PictureView::FollowLayout(bool withLightPreview) {
    m_copies.Reduce(*m_document, LargestArea(), devicePixelRatioF());
    FitViewCopy();
    if (withLightPreview) m_copies.ApplyLightPreview(*m_document);
    update();
}

void PictureView::FitViewCopy() {
    // Without a view copy there is nothing to lay the box over.
    if (!m_copies.Fit(*m_document)) m_document->Box().m_crop = {};
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
    m_document->SetViewArea({width(), height()});
    FitViewCopy();
    m_copies.ApplyLightPreview(*m_document);
}

// ---- painting -----------------------------------------------------------------------------------

QImage PictureView::RenderClient() { return RenderClient(devicePixelRatioF()); }

QImage PictureView::RenderClient(qreal ratio) {
    const RasterImage& shown = m_copies.Shown(*m_document, ratio, !m_resizing);
    // The box is drawn where it cuts: on the JPEG block grid while it snaps.
    cropbox::CropBoxModel box = m_document->Box();
    box.m_crop = m_document->ShownBox();
    return m_painter.Render(m_copies.ViewCopy(), shown, box, width(), height(), ratio);
}

void PictureView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // Without a picture the client is plain black (as RenderClient gives it): filled directly,
    // without building a client-sized bitmap first, as at every start of the program.
    if (!m_copies.ViewCopy().IsValid()) {
        painter.fillRect(event->rect(), Qt::black);
        return;
    }
    painter.drawImage(0, 0, RenderClient());
}

// ---- menus and focus ----------------------------------------------------------------------------

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
    menu->addSeparator();
    AddStraightenMenu(*menu);
    AddGuideMenu(*menu);
    return menu;
}

void PictureView::AddGuideMenu(QMenu& menu) {
    QMenu* guides = menu.addMenu(QStringLiteral("Composition &Guides"));
    auto* choices = new QActionGroup(guides);
    for (int i = 0; i < kCompositionGuideCount; ++i) {
        const CompositionGuide guide = GuideFromNumber(i);
        QAction* action = guides->addAction(GuideName(guide));
        action->setCheckable(true);
        action->setChecked(guide == m_guide);
        choices->addAction(action);
        connect(action, &QAction::triggered, this, [this, guide] { SetGuide(guide, m_spiralTurn); });
    }
    guides->addSeparator();
    QAction* turn = guides->addAction(QStringLiteral("Turn the Spiral\tShift+O"));
    turn->setEnabled(m_guide == CompositionGuide::GoldenSpiral);
    connect(turn, &QAction::triggered, this, &PictureView::TurnSpiral);
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
