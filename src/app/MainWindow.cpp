#include "app/MainWindow.h"

#include <cmath>

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QSplitterHandle>
#include <QTimer>
#include <QToolTip>


#include "app/BrowserPaneFactory.h"
#include "app/OrderExportDialog.h"
#include "app/SheetPrintDialog.h"
#include "doc/FileCommands.h"
#include "doc/KeptBoxes.h"
#include "view/PictureView.h"
#include "commands/CommandIds.h"
#include "app/MainRibbonBar.h"
#include "app/RibbonLook.h"
#include "commands/SettingsKeys.h"
#include "platform/MessageService.h"
#include "platform/SettingsStore.h"
#include "app/StatusBarPanes.h"
#include "app/TextBoxKeyFilter.h"
#include "app/VisualStyles.h"
#include "platform/WaitCursor.h"

namespace {

struct PaneSpec {
    uint32_t id;
    const char* label;
    const char* widthTemplate;
    bool extendedArea;
};

constexpr PaneSpec kStatusPanes[] = {
    {cmd::ID_STATUSBAR_PANE_FILE, "File", "File Path: D:\\abcdefg\\abcdefg\\abcdefg\\abcdefg\\abcdefg", false},
    // Room for the five-digit sizes of today's largest camera pictures.
    {cmd::ID_STATUSBAR_PANE_IMAGE, "Image", "Image: W=99999, H=99999, W/H=99.99,,,,", true},
    {cmd::ID_STATUSBAR_PANE_CROPBOX, "Crop Box",
     "Crop Box: W=99999, H=99999, W/H=99.99, Print Size=1234x1234, DPI=12345,,,,,", true},
};

struct Accelerator {
    QKeyCombination keys;
    uint32_t id;
};

const Accelerator kAccelerators[] = {
    {Qt::CTRL | Qt::Key_N, cmd::ID_FILE_NEW},
    {Qt::CTRL | Qt::Key_O, cmd::ID_FILE_OPEN},
    {Qt::CTRL | Qt::Key_S, cmd::ID_FILE_SAVE},
    {Qt::CTRL | Qt::Key_P, cmd::ID_FILE_PRINT},
    {Qt::CTRL | Qt::Key_Z, cmd::ID_EDIT_UNDO},
    {Qt::CTRL | Qt::Key_X, cmd::ID_EDIT_CUT},
    {Qt::CTRL | Qt::Key_C, cmd::ID_EDIT_COPY},
    {Qt::CTRL | Qt::Key_V, cmd::ID_EDIT_PASTE},
    {Qt::ALT | Qt::Key_Backspace, cmd::ID_EDIT_UNDO},
    {Qt::CTRL | Qt::Key_Y, cmd::ID_EDIT_REDO},
    {Qt::CTRL | Qt::SHIFT | Qt::Key_Z, cmd::ID_EDIT_REDO},
    {Qt::SHIFT | Qt::Key_Delete, cmd::ID_EDIT_CUT},
    {Qt::CTRL | Qt::Key_Insert, cmd::ID_EDIT_COPY},
    {Qt::SHIFT | Qt::Key_Insert, cmd::ID_EDIT_PASTE},
    {QKeyCombination(Qt::Key_F6), cmd::ID_NEXT_PANE},
    {Qt::SHIFT | Qt::Key_F6, cmd::ID_PREV_PANE},
};

// How long the rest of the start waits for a first paint that does not come.
constexpr int kStartupFallbackMs = 500;
// The busy bar shown in the status bar while a long operation runs on the picture.
constexpr int kBusyBarWidth = 120;

bool Contains(const QWidget* outer, const QWidget* inner) {
    return outer != nullptr && inner != nullptr && (outer == inner || outer->isAncestorOf(inner));
}

// The widget inside a pane that should take the focus: its first focusable child, else itself.
QWidget* FocusTarget(QWidget* pane) {
    for (QWidget* next = pane->nextInFocusChain(); next != pane && Contains(pane, next);
         next = next->nextInFocusChain()) {
        if ((next->focusPolicy() & Qt::TabFocus) != 0 && next->isEnabled()) return next;
    }
    return pane;
}

}  // namespace

MainWindow::MainWindow(FileCommands* document, QWidget* parent)
    : QMainWindow(parent),
      m_document(document),
      m_appLook(uint32_t(SettingsStore::ReadWorkspaceInt(settings::kApplicationLook,
                                                          settings::kApplicationLookDefault))) {
    RegisterCommands();
}

MainWindow::~MainWindow() {
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
    if (CommandRouter* router = CommandRouter::Instance()) {
        if (router->ActiveView() == &m_browserHandlers) router->SetActiveView(nullptr);
        router->SetFrame(nullptr);
    }
}

void MainWindow::RegisterCommands() {
    m_handlers.OnRange(
        cmd::ID_VIEW_APPLOOK_OFF_2007_BLUE, cmd::ID_VIEW_APPLOOK_OFF_2007_AQUA,
        [this](uint32_t id) { OnApplicationLook(id); },
        [this](CommandUpdate& update) { update.radio = update.id == m_appLook; });
    m_handlers.On(cmd::ID_NEXT_PANE, [this] { ActivateNextPane(true); });
    m_handlers.On(cmd::ID_PREV_PANE, [this] { ActivateNextPane(false); });
    m_handlers.On(cmd::ID_EXPORT_ORDER, [this] { ExportOrder(); });
    m_handlers.On(cmd::ID_PRINT_SHEETS, [this] { PrintSheets(false); });
    m_handlers.On(cmd::ID_CONTACT_SHEET, [this] { PrintSheets(true); });
}

namespace {

// The photos a print order's dialog works on: the browser's folder (else the shown photo's)
// and its selection, with the boxes kept for the session (a folder that takes no sidecar) as
// well as those in sidecars.
struct OrderPhotos {
    QString folder;
    QStringList selected;
    order::BoxSource boxes;
};

OrderPhotos GatherOrderPhotos(FileCommands* document, QWidget* browserPane, PictureView* view) {
    // The box being placed is kept before the order is read.
    view->Document()->FlushKeptBox();
    PictureBrowserLink* picker = document ? document->m_picker : nullptr;
    OrderPhotos photos;
    photos.selected = picker ? picker->SelectedPaths() : QStringList();
    photos.folder = BrowserPaneFolder(browserPane);
    if (photos.folder.isEmpty() && !view->Path().isEmpty()) photos.folder = QFileInfo(view->Path()).path();
    photos.boxes = [](const std::string& photo) {
        const KeptBoxes::Found found = KeptBoxes::Instance().Read(QFile::decodeName(photo.c_str()));
        return order::BoxLookup{found.crop, found.problem.toStdString()};
    };
    return photos;
}

}  // namespace

void MainWindow::ExportOrder() {
    const OrderPhotos photos = GatherOrderPhotos(m_document, m_browserPane, m_view);
    OrderExportDialog::Run(this, photos.folder, photos.selected, FileCommands::StoredJpegQuality(), photos.boxes);
}

void MainWindow::PrintSheets(bool contact) {
    const OrderPhotos photos = GatherOrderPhotos(m_document, m_browserPane, m_view);
    SheetPrintDialog::Run(contact ? SheetPrintDialog::Kind::Contact : SheetPrintDialog::Kind::Prints, this,
                          photos.folder, photos.selected, photos.boxes);
}

bool MainWindow::Create() {
    // The chrome's painter, before any of it exists.
    RibbonLook::Install();
    // The frame's client area: the splitter with the browser and the view.
    if (!CreateClient()) return false;
    if (CommandRouter* router = CommandRouter::Instance()) router->SetFrame(&m_handlers);

    // The program's name until a picture is shown (UpdateTitle adds the picture's name).
    setWindowTitle(QString::fromLatin1(SettingsStore::kApplication));

    // The visual style; an unknown one becomes the black style, which is stored.
    OnApplicationLook(IsVisualStyle(m_appLook) ? m_appLook : settings::kApplicationLookDefault);

    // The ribbon: its application menu and its two categories.
    m_ribbon = new MainRibbonBar(this);
    // Dressed before its elements exist, each element takes the look as it is made rather
    // than all of them being restyled afterwards.
    ApplyLook();
    setMenuWidget(m_ribbon);
    m_ribbon->SetupApplicationMenu();
    m_ribbon->SetupHomeCategory();
    m_ribbon->SetupOptionsCategory();

    // The status bar and its panes.
    m_statusBar = new SnipwellStatusBar(this);
    ApplyLook();
    setStatusBar(m_statusBar);
    for (const PaneSpec& pane : kStatusPanes) {
        m_statusBar->AddPane(pane.id, QString::fromLatin1(pane.label), QString::fromLatin1(pane.widthTemplate),
                              pane.extendedArea);
    }
    // While the picture is cut, turned, saved or decoded on a worker, a busy bar runs beside
    // the panes (the file pane says what runs).
    auto* busyBar = new QProgressBar(m_statusBar);
    busyBar->setObjectName(QStringLiteral("busyBar"));
    busyBar->setRange(0, 0);
    busyBar->setMaximumWidth(kBusyBarWidth);
    busyBar->setVisible(m_view->Document()->IsBusy());
    m_statusBar->addPermanentWidget(busyBar);
    connect(m_view, &PictureView::busyChanged, busyBar, &QWidget::setVisible);

    CreateAccelerators();
    // On a small or strongly scaled screen the usual size would run past its edges.
    const QSize room = screen() != nullptr ? screen()->availableGeometry().size() : QSize(kInitialWidth, kInitialHeight);
    const qreal scale = screen() != nullptr ? screen()->devicePixelRatio() : 1.0;
    resize(FittedSize(QSize(kInitialWidth, kInitialHeight), room, scale));
    setAcceptDrops(true);
    return true;
}

QSize MainWindow::FittedSize(QSize wanted, QSize available, qreal scale) {
    if (available.isEmpty()) return wanted;
    if (scale <= 0) scale = 1.0;
    // Whole device pixels first, then the device-independent side that stays within them.
    const auto side = [scale](int logical) {
        const double devicePixels = std::floor(logical * scale + 1e-9);
        return int(std::floor(devicePixels / scale + 1e-9));
    };
    return wanted.boundedTo(QSize(side(available.width()), side(available.height())));
}

void MainWindow::FinishStartup() {
    m_startupPending = false;
    StartBrowserPane(m_browserPane);
}

void MainWindow::FinishStartupOncePainted() {
    m_startupPending = true;
    QTimer::singleShot(kStartupFallbackMs, this, [this] {
        if (m_startupPending) FinishStartup();
    });
}

bool MainWindow::event(QEvent* event) {
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::Paint && m_startupPending) {
        QTimer::singleShot(0, this, [this] {
            if (m_startupPending) FinishStartup();
        });
    }
    return handled;
}

bool MainWindow::CreateClient() {
    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setChildrenCollapsible(false);
    m_browserPane = CreateBrowserPane(m_document, m_splitter);
    if (m_browserPane == nullptr) return false;
    m_view = new PictureView(m_document, m_splitter);
    ConnectBrowserPane(m_browserPane, m_view, m_document);
    if (CommandRouter* router = CommandRouter::Instance()) {
        connect(router, &CommandRouter::updatePass, this, &MainWindow::UpdateTitle);
    }
    m_splitter->addWidget(m_browserPane);
    m_splitter->addWidget(m_view);
    // The browser keeps its width when the window grows; the view takes the rest.
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({kBrowserPaneWidth, kInitialWidth - kBrowserPaneWidth});
    setCentralWidget(m_splitter);

    // The view of the document is the active view at first; afterwards the pane the user
    // activates last.
    if (CommandRouter* router = CommandRouter::Instance()) {
        router->SetActiveView(&m_view->Handlers());
        router->SetPictureView(&m_view->Handlers());
    }
    m_view->setFocus(Qt::OtherFocusReason);
    connect(qApp, &QApplication::focusChanged, this, &MainWindow::OnFocusChanged);
    return true;
}

void MainWindow::CreateAccelerators() {
    std::vector<QKeyCombination> undoKeys;
    std::vector<QKeyCombination> redoKeys;
    for (const Accelerator& accelerator : kAccelerators) {
        if (accelerator.id == cmd::ID_EDIT_UNDO) undoKeys.push_back(accelerator.keys);
        if (accelerator.id == cmd::ID_EDIT_REDO) redoKeys.push_back(accelerator.keys);
        auto* shortcut = new QShortcut(QKeySequence(accelerator.keys), this);
        shortcut->setContext(Qt::WindowShortcut);
        const uint32_t id = accelerator.id;
        connect(shortcut, &QShortcut::activated, this, [id] {
            // A key whose command nobody handles does nothing.
            if (CommandRouter* router = CommandRouter::Instance()) router->Execute(id);
        });
    }
    // The shortcuts are the window's, so they work wherever its keyboard focus is; only a text
    // box that has typing of its own to undo keeps Undo and Redo.
    qApp->installEventFilter(new TextBoxKeyFilter(this, std::move(undoKeys), std::move(redoKeys)));
}

void MainWindow::OnApplicationLook(uint32_t id) {
    WaitCursor wait;
    m_appLook = id;
    ApplyLook();
    // The store leaves a value it already holds alone, so every start may write it.
    SettingsStore::WriteWorkspaceInt(settings::kApplicationLook, int(id));
}

void MainWindow::ApplyLook() {
    // The look dresses the frame's chrome: the ribbon (with its menus and tips) and the
    // status bar. The panes between them show pictures and folders in the platform's own look.
    SetCurrentVisualStyle(m_appLook);
    const LookColours& look = CurrentLookColours();
    if (m_ribbon) m_ribbon->ApplyLook(look);
    if (m_statusBar) m_statusBar->ApplyLook(look);
    QPalette tips = QToolTip::palette();
    tips.setColor(QPalette::ToolTipBase, look.tipBackground);
    tips.setColor(QPalette::ToolTipText, look.menuText);
    QToolTip::setPalette(tips);
    // The splitter's bar between the panes takes the frame colour.
    if (m_splitter) {
        for (int i = 0; i < m_splitter->count(); ++i) {
            QSplitterHandle* bar = m_splitter->handle(i);
            QPalette colours = bar->palette();
            colours.setColor(QPalette::Window, look.frame);
            bar->setPalette(colours);
            bar->setAutoFillBackground(true);
        }
    }
}

void MainWindow::ActivateNextPane(bool forward) {
    // With two panes the next and the previous pane are the same one; the order is kept for
    // clarity: browser, then view.
    QWidget* panes[] = {m_browserPane, m_view};
    QWidget* focus = QApplication::focusWidget();
    int current = -1;
    for (int i = 0; i < 2; ++i) {
        if (Contains(panes[i], focus)) current = i;
    }
    const int count = 2;
    const int next = current < 0 ? (forward ? 0 : count - 1) : (current + (forward ? 1 : count - 1)) % count;
    if (panes[next] != nullptr) FocusTarget(panes[next])->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

void MainWindow::OnFocusChanged(QWidget* old, QWidget* now) {
    (void)old;
    CommandRouter* router = CommandRouter::Instance();
    if (router == nullptr || now == nullptr) return;
    if (Contains(m_browserPane, now)) {
        router->SetActiveView(&m_browserHandlers);
    } else if (Contains(m_view, now)) {
        router->SetActiveView(&m_view->Handlers());
    }
}

namespace {

// The first local file of a drag, or empty.
QString DroppedPath(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().isEmpty()) return QString();
    const QUrl& first = data->urls().constFirst();
    return first.isLocalFile() ? first.toLocalFile() : QString();
}

// Why path cannot be opened, judged before the browser is asked.
QString OpenProblem(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) return QStringLiteral("there is no such file or folder");
    if (!info.isReadable()) return QStringLiteral("permission denied");
    return QString();
}

}  // namespace

bool MainWindow::OpenPath(const QString& path) {
    QString problem = OpenProblem(path);
    if (problem.isEmpty() && !OpenInBrowserPane(m_browserPane, path)) {
        problem = QStringLiteral("its folder cannot be shown in the browser");
    }
    if (problem.isEmpty()) return true;
    MessageService::ShowMessage(QStringLiteral("Cannot open \"%1\": %2.").arg(path, problem), this);
    return false;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedPath(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QString path = DroppedPath(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    OpenPath(path);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // A changed picture is offered for saving; Cancel, or a save that fails, keeps the window.
    if (m_document != nullptr && !m_document->SaveModified()) {
        event->ignore();
        return;
    }
    event->accept();
}

void MainWindow::UpdateTitle() {
    const QString application = QString::fromLatin1(SettingsStore::kApplication);
    const QString title = m_view != nullptr && m_view->PicturesValid()
                              ? m_view->ModifiedMark() + m_view->PictureName() + QStringLiteral(" - ") + application
                              : application;
    if (windowTitle() != title) setWindowTitle(title);
}
