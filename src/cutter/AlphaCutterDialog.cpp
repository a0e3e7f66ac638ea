#include "cutter/AlphaCutterDialog.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "cutter/AlphaCutterPreview.h"
#include "platform/FileDialogService.h"
#include "platform/FileProblemText.h"
#include "platform/MessageService.h"
#include "commands/SettingsKeys.h"
#include "platform/SettingsStore.h"
#include "cutter/StarterCutters.h"
#include "image/RasterFormatTable.h"
#include "platform/WaitCursor.h"

namespace {

constexpr const char* kTitle = "Alpha Picture Cutter";
// The open filter's one entry; its extensions come from the format table.
constexpr const char* kCutterFilterLabel = "Image Files";

// The dialog's size follows its font, so that the preview grows with the text on screens
// set to larger type: about 120 average letters wide and 40 lines high.
constexpr double kWidthInLetters = 120.25;
constexpr double kHeightInLines = 40.375;

QSize SizeForFont(const QFontMetrics& metrics) {
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    // A font's declared average character width is often a pixel off the letters' real mean,
    // which over a hundred letters is a fifth of the dialog; the mean is taken in whole pixels.
    const int letterWidth = qRound(metrics.horizontalAdvance(alphabet) / double(alphabet.size()));
    return QSize(qRound(kWidthInLetters * letterWidth), qRound(kHeightInLines * metrics.height()));
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
    m_preview = new AlphaCutterPreview(this);
    m_openButton = new QPushButton(QStringLiteral("Open..."), this);
    m_reverseAlphaButton = new QPushButton(QStringLiteral("Reverse Alpha"), this);
    auto* answers = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_okButton = answers->button(QDialogButtonBox::Ok);
    m_cancelButton = answers->button(QDialogButtonBox::Cancel);
    m_okButton->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_openButton);
    buttons->addWidget(m_reverseAlphaButton);
    buttons->addStretch(1);
    buttons->addWidget(answers);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_preview, 1);
    layout->addLayout(buttons);
    // The preview builds its backdrop at its own size, so the size is settled now rather than
    // when the dialog is first shown.
    setFixedSize(SizeForFont(fontMetrics()));
    layout->activate();

    connect(m_openButton, &QPushButton::clicked, this, &AlphaCutterDialog::OnOpen);
    connect(m_reverseAlphaButton, &QPushButton::clicked, this, &AlphaCutterDialog::OnReverseAlpha);
    connect(answers, &QDialogButtonBox::accepted, this, &AlphaCutterDialog::accept);
    connect(answers, &QDialogButtonBox::rejected, this, &AlphaCutterDialog::reject);
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
        MessageService::ShowMessage(OpenFailureText(path, image.LastErrorText()), this);
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
