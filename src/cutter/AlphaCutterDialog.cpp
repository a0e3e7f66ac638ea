#include "cutter/AlphaCutterDialog.h"

#include <QFile>
#include <QPushButton>

#include "cutter/AlphaCutterPreview.h"
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
    return SettingsStore::ReadString(settings::kSection, settings::kCutterFilePath);
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

AlphaCutterDialog::AlphaCutterDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QString::fromLatin1(kTitle));
    setModal(true);
    CreateControls();
    InitDialog();
}

void AlphaCutterDialog::CreateControls() {
    const DialogUnits units(fontMetrics());
    setFixedSize(units.MapSize(kDialogSize.width, kDialogSize.height));
    m_preview = new AlphaCutterPreview(this);
    m_openButton = new QPushButton(QStringLiteral("Open..."), this);
    m_reverseAlphaButton = new QPushButton(QStringLiteral("Reverse Alpha"), this);
    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    Place(m_preview, units, kPreviewItem);
    Place(m_openButton, units, kOpenItem);
    Place(m_reverseAlphaButton, units, kReverseAlphaItem);
    Place(m_okButton, units, kOkItem);
    Place(m_cancelButton, units, kCancelItem);
    m_okButton->setDefault(true);
    connect(m_openButton, &QPushButton::clicked, this, &AlphaCutterDialog::OnOpen);
    connect(m_reverseAlphaButton, &QPushButton::clicked, this, &AlphaCutterDialog::OnReverseAlpha);
    connect(m_okButton, &QPushButton::clicked, this, &AlphaCutterDialog::accept);
    connect(m_cancelButton, &QPushButton::clicked, this, &AlphaCutterDialog::reject);
    connect(m_preview, &AlphaCutterPreview::cutterStateChanged, this, &AlphaCutterDialog::OnCutterState);
}

void AlphaCutterDialog::InitDialog() {
    const QString stored = StoredCutterPath();
    if (!stored.isEmpty()) {
        WaitCursor wait;
        RasterImage image;
        // A cutter that no longer loads is dropped without a word.
        if (LoadPictureFile(stored, image)) {
            m_preview->SetCutter(image);
            m_cutterPath = stored;
        }
    }
    PostCutterState();
}

void AlphaCutterDialog::PostCutterState() {
    QMetaObject::invokeMethod(this, &AlphaCutterDialog::OnCutterState, Qt::QueuedConnection);
}

void AlphaCutterDialog::OnOpen() {
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
        if (loaded) m_preview->SetCutter(image);
    }
    if (!loaded) {
        MessageService::ShowMessage(QString::fromLatin1(kLoadFailedText), this);
        return;
    }
    PostCutterState();
    m_cutterPath = path;
}

void AlphaCutterDialog::OnReverseAlpha() {
    {
        WaitCursor wait;
        m_preview->ReverseAlpha();
    }
    PostCutterState();
}

void AlphaCutterDialog::OnCutterState() {
    const bool canCut = m_preview->CanCut();
    m_okButton->setEnabled(canCut);
    m_reverseAlphaButton->setEnabled(canCut);
}

void AlphaCutterDialog::accept() {
    if (!m_preview->CanCut()) return;
    if (!m_cutterPath.isEmpty()) {
        SettingsStore::WriteString(settings::kSection, settings::kCutterFilePath, m_cutterPath);
    }
    QDialog::accept();
}
