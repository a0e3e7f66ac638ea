#include "app/Application.h"

#include <QCoreApplication>
#include <QTimer>

#include "app/AboutDialog.h"
#include "app/IconAtlas.h"
#include "app/MainWindow.h"
#include "app/Version.h"
#include "doc/FileCommands.h"
#include "commands/CommandIds.h"
#include "platform/MessageService.h"
#include "platform/DisplayColourProfile.h"
#include "platform/MachineMemory.h"
#include "platform/SettingsStore.h"
#include "image/RasterImage.h"

Application::Application(StartupHooks hooks, QObject* parent) : QObject(parent), m_hooks(std::move(hooks)) {
    // The atlas is reachable process-wide (icon cutting) from the moment the object exists.
    SetInterfaceAtlas(&m_atlas);
    RegisterCommands();
}

Application::~Application() {
    // The frame and its views go before the document they point to.
    m_mainWindow.reset();
    m_document.reset();
    m_router.SetApplication(nullptr);
    m_router.SetDocument(nullptr);
    if (InterfaceAtlas() == &m_atlas) SetInterfaceAtlas(nullptr);
}

void Application::RegisterCommands() {
    // New re-initialises the single document; with no modified flag and no picture held by
    // the document there is nothing to ask, and the document makes its view active again.
    m_handlers.On(cmd::ID_FILE_NEW, [this] {
        if (m_document) m_document->OnNewDocument();
    });
    m_handlers.On(cmd::ID_APP_ABOUT, [this] { OnAppAbout(); });
    m_handlers.On(cmd::ID_APP_EXIT, [this] {
        if (m_mainWindow) m_mainWindow->close();
    });
    m_router.SetApplication(&m_handlers);
}

void Application::OnAppAbout() {
    AboutDialog dialog(m_mainWindow.get(), &m_atlas);
    dialog.exec();
}

bool Application::Start(const QString& startPath) {
    // Every ribbon icon is cut from the atlas: without it there is no window worth showing.
    if (!LoadAtlas()) {
        MessageService::ShowMessage(QString::fromLatin1(kAtlasFailedText));
        return false;
    }
    NameTheProgram();
    LimitPictureMemory();
    // Tagged pictures are shown in the screen's colours when the desktop publishes them.
    UseDisplayColourProfile();
    // The single document with its frame and view.
    if (!OpenNewDocument()) {
        MessageService::ShowMessage(QString::fromLatin1(kNoDocumentText));
        return false;
    }
    // Show the frame normally and paint it at once, its elements already in their states.
    m_router.RunUpdatePass();
    m_mainWindow->showNormal();
    m_mainWindow->repaint();
    // Opened before the browser reads its folders, so that it starts on the given folder
    // rather than listing the remembered one first.
    if (!startPath.isEmpty()) m_mainWindow->OpenPath(startPath);
    // The rest of the start (the browser reading its folders) follows once the window has
    // been painted on screen.
    m_mainWindow->FinishStartupOncePainted();
    return true;
}

bool Application::LoadAtlas() {
    const bool loaded = m_hooks.loadAtlas ? m_hooks.loadAtlas(m_atlas) : ::LoadAtlas(m_atlas);
    return loaded && !m_atlas.isNull();
}

void Application::NameTheProgram() {
    // The organisation and application names choose the settings file (QSettings).
    QCoreApplication::setOrganizationName(QString::fromLatin1(SettingsStore::kOrganization));
    QCoreApplication::setApplicationName(QString::fromLatin1(SettingsStore::kApplication));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(version::kNumber));
}

void Application::LimitPictureMemory() {
    // A picture may take what this machine can hold, not merely what the file format allows.
    RasterImage::SetMemoryLimit(machinememory::PictureLimitBytes());
}

bool Application::OpenNewDocument() {
    m_document = std::make_unique<FileCommands>();
    m_router.SetDocument(&m_document->Handlers());
    m_mainWindow = std::make_unique<MainWindow>(m_document.get());
    if (!m_mainWindow->Create()) {
        m_mainWindow.reset();
        return false;
    }
    return true;
}
