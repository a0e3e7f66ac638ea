#include "cutter/DlgAlphaPicCutter.h"

#include <QFile>
#include <QPushButton>

#include "cutter/AlphaPicCutterView.h"
#include "platform/DialogUnits.h"
#include "platform/FileDialogService.h"
#include "platform/MessageService.h"
#include "commands/SettingsKeys.h"
#include "platform/SettingsStore.h"
#include "cutter/StarterCutters.h"
#include "image/RasterFormatTable.h"
#include "platform/WaitCursor.h"

namespace {

constexpr const char* kTitle = "Alpha Picture Cutter";
constexpr const char* kLoadFailedText = "Could not load the image.";
// The open filter's one entry; its extensions come from the format table.
constexpr const char* kCutterFilterLabel = "Image Files";

// The dialog template, in dialog units.
struct TemplateItem {
    int x, y, width, height;
};
constexpr TemplateItem kDialogSize{0, 0, 481, 323};
constexpr TemplateItem kPreviewItem{7, 7, 467, 290};
constexpr TemplateItem kOpenItem{7, 302, 60, 14};
constexpr TemplateItem kReverseAlphaItem{75, 302, 60, 14};
constexpr TemplateItem kOkItem{371, 302, 50, 14};
constexpr TemplateItem kCancelItem{424, 302, 50, 14};

void Place(QWidget* control, const DialogUnits& units, const TemplateItem& item) {
    control->setGeometry(units.Map(item.x, item.y, item.width, item.height));
}

QString StoredCutterPath() {
    return SettingsStore::ReadString(settings::kSection, settings::kAlphaPicCutterFilePath);
}

// Loads a picture file with the format its extension names; false when it gives no picture.
bool LoadPictureFile(const QString& path, RasterImage& image) {
    const QByteArray name = QFile::encodeName(path);
    return image.Load(name.constData(), RasterImage::TypeFromExtension(name.constData())) && image.IsValid();
}

// Where the file chooser starts: the folder and name of the cutter last confirmed, or the
// folder of the cutters that come with the program when none was confirmed yet.
void InitialChoice(FileDialogRequest& request) {
    const QString stored = StoredCutterPath();
    if (stored.isEmpty()) {
        request.folder = StarterCutterFolder();
        return;
    }
    const qsizetype slash = stored.lastIndexOf(QLatin1Char('/'));
    if (slash > 0) {
        request.folder = stored.left(slash);
        request.fileName = stored.mid(slash + 1);
    }
}

}  // namespace

DlgAlphaPicCutter::DlgAlphaPicCutter(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QString::fromLatin1(kTitle));
    setModal(true);
    CreateControls();
    InitDialog();
}

void DlgAlphaPicCutter::CreateControls() {
    const DialogUnits units(fontMetrics());
    setFixedSize(units.MapSize(kDialogSize.width, kDialogSize.height));
    m_ctlView = new AlphaPicCutterView(this);
    m_btnOpen = new QPushButton(QStringLiteral("Open..."), this);
    m_btnReverseAlpha = new QPushButton(QStringLiteral("Reverse Alpha"), this);
    m_btnOK = new QPushButton(QStringLiteral("OK"), this);
    m_btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    Place(m_ctlView, units, kPreviewItem);
    Place(m_btnOpen, units, kOpenItem);
    Place(m_btnReverseAlpha, units, kReverseAlphaItem);
    Place(m_btnOK, units, kOkItem);
    Place(m_btnCancel, units, kCancelItem);
    m_btnOK->setDefault(true);
    connect(m_btnOpen, &QPushButton::clicked, this, &DlgAlphaPicCutter::OnOpen);
    connect(m_btnReverseAlpha, &QPushButton::clicked, this, &DlgAlphaPicCutter::OnReverseAlpha);
    connect(m_btnOK, &QPushButton::clicked, this, &DlgAlphaPicCutter::accept);
    connect(m_btnCancel, &QPushButton::clicked, this, &DlgAlphaPicCutter::reject);
    connect(m_ctlView, &AlphaPicCutterView::cutterStateChanged, this, &DlgAlphaPicCutter::OnCutterState);
}

void DlgAlphaPicCutter::InitDialog() {
    const QString stored = StoredCutterPath();
    if (!stored.isEmpty()) {
        WaitCursor wait;
        RasterImage image;
        // A cutter that no longer loads is dropped without a word.
        if (LoadPictureFile(stored, image)) {
            m_ctlView->SetCutter(image);
            m_strCutterPath = stored;
        }
    }
    PostCutterState();
}

void DlgAlphaPicCutter::PostCutterState() {
    QMetaObject::invokeMethod(this, &DlgAlphaPicCutter::OnCutterState, Qt::QueuedConnection);
}

void DlgAlphaPicCutter::OnOpen() {
    FileDialogRequest request;
    InitialChoice(request);
    request.filter = QString::fromStdString(RasterOpenFilter(kCutterFilterLabel));
    request.mustExist = true;
    const QString path = FileDialogService::Choose(request, this);
    if (path.isEmpty()) return;
    repaint();
    RasterImage image;
    bool loaded = false;
    {
        // Taking a grey-level cutter's alpha is part of the wait.
        WaitCursor wait;
        loaded = LoadPictureFile(path, image);
        if (loaded) m_ctlView->SetCutter(image);
    }
    if (!loaded) {
        MessageService::ShowMessage(QString::fromLatin1(kLoadFailedText), this);
        return;
    }
    PostCutterState();
    m_strCutterPath = path;
}

void DlgAlphaPicCutter::OnReverseAlpha() {
    {
        WaitCursor wait;
        m_ctlView->ReverseAlpha();
    }
    PostCutterState();
}

void DlgAlphaPicCutter::OnCutterState() {
    const bool canCut = m_ctlView->CanCut();
    m_btnOK->setEnabled(canCut);
    m_btnReverseAlpha->setEnabled(canCut);
}

void DlgAlphaPicCutter::accept() {
    if (!m_ctlView->CanCut()) return;
    if (!m_strCutterPath.isEmpty()) {
        SettingsStore::WriteString(settings::kSection, settings::kAlphaPicCutterFilePath, m_strCutterPath);
    }
    QDialog::accept();
}
