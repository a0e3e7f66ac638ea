#include "app/OrderExportDialog.h"

#include <algorithm>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/NativePaths.h"
#include "order/OrderNames.h"
#include "order/OrderSummary.h"

#include "commands/CommandIds.h"
#include "commands/SettingsKeys.h"

#include "platform/SettingsStore.h"

#include "image/RasterFormatTable.h"

namespace {

OrderExportDialog::ExistingNamesChooser g_existingNamesChooser;

// The example name shows a photo of the order; this one stands in while none is chosen.
constexpr const char* kExamplePhoto = "IMG_0001.jpg";
constexpr uint32_t kExamplePreset = cmd::ID_PRESET_6X4;
constexpr int kSummaryLines = 8;
// Wide enough for a photo's summary line and the destination's hint.
constexpr int kMinimumWidth = 560;

// "1 photo", "20 photos".
QString PhotoCount(int count) {
    return count == 1 ? OrderExportDialog::tr("1 photo") : OrderExportDialog::tr("%1 photos").arg(count);
}

order::ExistingNames AskAboutExistingNames(QWidget* parent, const QStringList& existing) {
    if (g_existingNamesChooser) return g_existingNamesChooser(existing);
    QMessageBox box(QMessageBox::Question, SettingsStore::kApplication,
                    OrderExportDialog::tr("Files of this order exist already in the destination (%1 of them, such as "
                                          "%2). Number the new files, overwrite the old ones or skip those photos?")
                        .arg(existing.size())
                        .arg(existing.value(0).mid(existing.value(0).lastIndexOf(QLatin1Char('/')) + 1)),
                    QMessageBox::Cancel, parent);
    QPushButton* number = box.addButton(OrderExportDialog::tr("Number them"), QMessageBox::AcceptRole);
    QPushButton* overwrite = box.addButton(OrderExportDialog::tr("Overwrite"), QMessageBox::DestructiveRole);
    QPushButton* skip = box.addButton(OrderExportDialog::tr("Skip"), QMessageBox::RejectRole);
    box.setDefaultButton(number);
    box.exec();
    if (box.clickedButton() == number) return order::ExistingNames::Number;
    if (box.clickedButton() == overwrite) return order::ExistingNames::Overwrite;
    if (box.clickedButton() == skip) return order::ExistingNames::Skip;
    return order::ExistingNames::Ask;
}

}  // namespace

OrderExportDialog::OrderExportDialog(const QString& folder, const QStringList& selected, int jpegQuality,
                                     order::BoxSource boxes, QWidget* parent)
    : QDialog(parent), m_folder(folder), m_selected(selected), m_boxes(std::move(boxes)) {
    if (!m_boxes) m_boxes = order::ReadBoxFromSidecar;
    m_withBox = order::PhotosWithBox(NativePath(folder), m_boxes);
    setWindowTitle(tr("Export the Print Order"));
    setMinimumWidth(kMinimumWidth);
    BuildLayout();
    // The save quality may hold "as the original" (the export's own choice comes next).
    m_quality->setValue(std::clamp(jpegQuality, 1, 100));
    RestoreSettings();
    ShowExample();
}

OrderExportDialog::~OrderExportDialog() { StopWorker(); }

void OrderExportDialog::Run(QWidget* parent, const QString& folder, const QStringList& selected, int jpegQuality,
                            order::BoxSource boxes) {
    OrderExportDialog dialog(folder, selected, jpegQuality, std::move(boxes), parent);
    dialog.exec();
}

void OrderExportDialog::SetExistingNamesChooser(ExistingNamesChooser chooser) {
    g_existingNamesChooser = std::move(chooser);
}

void OrderExportDialog::BuildLayout() {
    m_selectedChoice = new QRadioButton(tr("The selected photos: %1").arg(PhotoCount(int(m_selected.size()))), this);
    m_allChoice =
        new QRadioButton(tr("All photos with a box in this folder: %1").arg(PhotoCount(int(m_withBox.size()))), this);
    m_selectedChoice->setEnabled(!m_selected.isEmpty());
    (m_selected.isEmpty() ? m_allChoice : m_selectedChoice)->setChecked(true);

    m_destination = new QLineEdit(this);
    m_destination->setObjectName(QStringLiteral("destination"));
    m_destination->setPlaceholderText(tr("A prints folder beside the photos"));
    m_browse = new QPushButton(tr("Browse\u2026"), this);
    auto* destinationRow = new QHBoxLayout;
    destinationRow->addWidget(m_destination, 1);
    destinationRow->addWidget(m_browse);

    m_pattern = new QLineEdit(QString::fromUtf8(order::kDefaultPattern), this);
    m_pattern->setObjectName(QStringLiteral("pattern"));
    m_pattern->setToolTip(tr("{name}: the photo's name, {preset}: its print size, {n}: its number in the order"));
    m_example = new QLabel(this);
    m_example->setObjectName(QStringLiteral("example"));
    m_format = new QComboBox(this);
    FillFormats();
    m_quality = new QSpinBox(this);
    m_quality->setObjectName(QStringLiteral("quality"));
    // Below 1: "as the original", a JPEG's rectangle cut on its block grid moved without loss.
    m_quality->setRange(order::kQualityAsOriginal, 100);
    m_quality->setSpecialValueText(tr("As the original"));
    m_quality->setToolTip(tr("As the original: a JPEG's rectangle cut whose corner lies on its block grid is "
                             "written without re-encoding; other cuts keep the quality of their photo"));

    auto* form = new QFormLayout;
    form->addRow(tr("Photos:"), m_selectedChoice);
    form->addRow(QString(), m_allChoice);
    form->addRow(tr("Destination:"), destinationRow);
    form->addRow(tr("Name pattern:"), m_pattern);
    form->addRow(QString(), m_example);
    form->addRow(tr("Format:"), m_format);
    form->addRow(tr("Quality:"), m_quality);

    m_progress = new QProgressBar(this);
    m_current = new QLabel(this);
    m_current->setObjectName(QStringLiteral("current"));
    m_summary = new QPlainTextEdit(this);
    m_summary->setObjectName(QStringLiteral("summary"));
    m_summary->setReadOnly(true);
    m_summary->setMinimumHeight(m_summary->fontMetrics().lineSpacing() * kSummaryLines);

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_export = m_buttons->addButton(tr("Export"), QDialogButtonBox::AcceptRole);
    m_export->setObjectName(QStringLiteral("export"));
    m_cancel = m_buttons->addButton(QDialogButtonBox::Cancel);
    m_cancel->setObjectName(QStringLiteral("cancel"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_progress);
    layout->addWidget(m_current);
    layout->addWidget(m_summary, 1);
    layout->addWidget(m_buttons);
    SetRunning(false);

    connect(m_browse, &QPushButton::clicked, this, &OrderExportDialog::BrowseDestination);
    connect(m_pattern, &QLineEdit::textChanged, this, &OrderExportDialog::FollowPattern);
    connect(m_format, &QComboBox::currentIndexChanged, this, &OrderExportDialog::FollowFormat);
    connect(m_selectedChoice, &QRadioButton::toggled, this, &OrderExportDialog::ShowExample);
    connect(m_export, &QPushButton::clicked, this, &OrderExportDialog::StartExport);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_exporter) m_exporter->Cancel();
    });
    connect(m_buttons->button(QDialogButtonBox::Close), &QPushButton::clicked, this, &OrderExportDialog::reject);
}

void OrderExportDialog::FillFormats() {
    for (const RasterFormat& format : RasterFormats()) {
        if (format.encode == nullptr || format.saveListAt == 0 || format.extensions[0] == nullptr) continue;
        m_format->addItem(QString::fromUtf8(format.name), QString::fromUtf8(format.extensions[0]));
    }
}

void OrderExportDialog::RestoreSettings() {
    const QString section = QString::fromUtf8(settings::kSection);
    m_destination->setText(SettingsStore::ReadString(section, QString::fromUtf8(settings::kOrderExportFolder)));
    const QString pattern = SettingsStore::ReadString(section, QString::fromUtf8(settings::kOrderExportPattern));
    if (!pattern.isEmpty()) m_pattern->setText(pattern);
    const int quality = SettingsStore::ReadInt(section, QString::fromUtf8(settings::kOrderExportQuality), -1);
    if (quality >= order::kQualityAsOriginal && quality <= 100) m_quality->setValue(quality);
    FollowPattern();
}

void OrderExportDialog::SaveSettings() const {
    const QString section = QString::fromUtf8(settings::kSection);
    SettingsStore::WriteString(section, QString::fromUtf8(settings::kOrderExportFolder), m_destination->text());
    SettingsStore::WriteString(section, QString::fromUtf8(settings::kOrderExportPattern), m_pattern->text());
    SettingsStore::WriteInt(section, QString::fromUtf8(settings::kOrderExportQuality), m_quality->value());
}

void OrderExportDialog::ShowExample() {
    const std::string pattern = NativePath(m_pattern->text());
    const std::string problem = order::PatternProblem(pattern);
    if (!problem.empty()) {
        m_example->setText(QString::fromStdString(problem));
        m_export->setEnabled(false);
        return;
    }
    const std::vector<std::string> photos = ChosenPhotos();
    order::NameFields fields{kExamplePhoto, kExamplePreset, 1, std::max(int(photos.size()), 1)};
    if (!photos.empty()) {
        fields.photo = photos.front();
        if (const order::BoxLookup box = m_boxes(photos.front()); box.crop) fields.presetId = box.crop->preset;
    }
    m_example->setText(tr("e.g. %1").arg(FromNative(order::ExpandPattern(pattern, fields))));
    m_export->setEnabled(!photos.empty() && !IsExporting());
}

void OrderExportDialog::FollowPattern() {
    // The format box shows the format the pattern's extension names.
    const uint32_t format = order::PatternFormat(NativePath(m_pattern->text()));
    const RasterFormat* row = RasterFormatById(format);
    const int index = row != nullptr ? m_format->findText(QString::fromUtf8(row->name)) : -1;
    if (index >= 0 && index != m_format->currentIndex()) {
        const QSignalBlocker quiet(m_format);
        m_format->setCurrentIndex(index);
    }
    ShowExample();
}

void OrderExportDialog::FollowFormat() {
    const QString extension = m_format->currentData().toString();
    m_pattern->setText(FromNative(order::WithExtension(NativePath(m_pattern->text()), NativePath(extension))));
}

void OrderExportDialog::BrowseDestination() {
    const QString start = m_destination->text().isEmpty() ? m_folder : m_destination->text();
    const QString chosen = QFileDialog::getExistingDirectory(this, tr("Destination of the prints"), start);
    if (!chosen.isEmpty()) m_destination->setText(chosen);
}

std::vector<std::string> OrderExportDialog::ChosenPhotos() const {
    return m_selectedChoice->isChecked() ? NativePaths(m_selected) : m_withBox;
}

order::ExportOptions OrderExportDialog::ChosenOptions() const {
    order::ExportOptions options;
    options.destination = NativePath(m_destination->text().trimmed());
    options.pattern = NativePath(m_pattern->text());
    options.quality = m_quality->value();
    options.boxes = m_boxes;
    return options;
}

void OrderExportDialog::StartExport() {
    if (IsExporting()) return;
    const std::vector<std::string> photos = ChosenPhotos();
    order::ExportOptions options = ChosenOptions();
    m_exporter = std::make_unique<order::OrderExport>(options);
    order::OrderPlan plan = m_exporter->Plan(photos);
    if (!plan.clashes.empty()) {
        QStringList existing;
        for (const std::string& clash : plan.clashes) existing << FromNative(clash);
        options.existing = AskAboutExistingNames(this, existing);
        if (options.existing == order::ExistingNames::Ask) return;
        m_exporter = std::make_unique<order::OrderExport>(options);
        plan = m_exporter->Plan(photos);
    }
    SaveSettings();
    m_total = int(plan.photos.size());
    m_summary->clear();
    m_progress->setRange(0, m_total);
    m_progress->setValue(0);
    SetRunning(true);
    // The calls come from the workers; each is queued to this window's thread.
    order::ExportProgress progress;
    progress.started = [this](int index, const std::string& name, int) {
        PostReport([this, index, name = FromNative(name)] { ShowStarted(index, name); });
    };
    progress.finished = [this](int, const order::PhotoOutcome&, int done) {
        PostReport([this, done] { ShowFinished(done); });
    };
    m_worker = std::thread([this, plan = std::move(plan), progress] {
        auto outcome = std::make_shared<order::ExportOutcome>(m_exporter->Run(plan, progress));
        PostReport([this, outcome] { EndExport(*outcome); });
    });
}

void OrderExportDialog::PostReport(std::function<void()> report) {
    {
        std::lock_guard lock(m_reportsMutex);
        m_reports.push_back(std::move(report));
    }
    QMetaObject::invokeMethod(this, "TakeReports", Qt::QueuedConnection);
}

void OrderExportDialog::TakeReports() {
    std::vector<std::function<void()>> reports;
    {
        std::lock_guard lock(m_reportsMutex);
        reports.swap(m_reports);
    }
    for (const auto& report : reports) report();
}

void OrderExportDialog::ShowStarted(int index, const QString& name) {
    m_current->setText(tr("Cutting %1 (%2 of %3)").arg(name).arg(index + 1).arg(m_total));
}

void OrderExportDialog::ShowFinished(int done) { m_progress->setValue(done); }

void OrderExportDialog::EndExport(const order::ExportOutcome& outcome) {
    StopWorker();
    SetRunning(false);
    m_current->setText(outcome.cancelled ? tr("Cancelled") : tr("Done"));
    m_summary->setPlainText(QString::fromStdString(order::SummaryText(outcome)));
    emit exportEnded();
}

void OrderExportDialog::SetRunning(bool running) {
    for (QWidget* field : std::initializer_list<QWidget*>{m_selectedChoice, m_allChoice, m_destination, m_browse,
                                                          m_pattern, m_format, m_quality}) {
        field->setEnabled(!running);
    }
    m_selectedChoice->setEnabled(!running && !m_selected.isEmpty());
    m_cancel->setVisible(running);
    m_export->setVisible(!running);
    m_progress->setVisible(running || m_progress->value() > 0);
    if (!running) ShowExample();
}

void OrderExportDialog::StopWorker() {
    if (!m_worker.joinable()) return;
    // Called from EndExport the worker has returned already; otherwise it ends within moments.
    if (m_exporter) m_exporter->Cancel();
    m_worker.join();
}

void OrderExportDialog::reject() {
    // Closing while the order is cut cancels it: no partial file is left.
    StopWorker();
    QDialog::reject();
}
