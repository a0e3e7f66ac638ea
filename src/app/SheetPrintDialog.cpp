#include "app/SheetPrintDialog.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <algorithm>

#include "app/NativePaths.h"
#include "commands/SettingsKeys.h"
#include "doc/CropBoxModel.h"
#include "order/SheetPdf.h"
#include "platform/FileDialogService.h"
#include "platform/MessageService.h"
#include "platform/SettingsStore.h"

namespace {

SheetPrintDialog::PrintScript g_printScript;

constexpr int kPreviewWidth = 360;  // pixels of the sheet's preview across
constexpr int kProgressMs = 100;    // how often the progress bar follows the workers
constexpr double kMaximumGapMm = 50;
const char* const kPapers[] = {"A4", "Letter"};

// Every picture of the folder the browser lists, whatever its box.
std::vector<std::string> AllPhotos(const QString& folder) {
    const order::BoxSource everyPhoto = [](const std::string&) { return order::BoxLookup{KeptCrop{}, {}}; };
    return order::PhotosWithBox(NativePath(folder), everyPhoto);
}

// The printer's paper as it is fed (portrait), its margins what the printer can reach (or the
// wider ones the user chose).
order::Paper PaperOfPrinter(const QPrinter& printer) {
    QPageLayout layout = printer.pageLayout();
    layout.setOrientation(QPageLayout::Portrait);
    layout.setUnits(QPageLayout::Millimeter);
    const QRectF full = layout.fullRect(QPageLayout::Millimeter);
    const QMarginsF chosen = layout.margins();
    const QMarginsF reach = layout.minimumMargins();
    order::Paper paper;
    paper.widthMm = full.width();
    paper.heightMm = full.height();
    paper.leftMm = std::max(chosen.left(), reach.left());
    paper.topMm = std::max(chosen.top(), reach.top());
    paper.rightMm = std::max(chosen.right(), reach.right());
    paper.bottomMm = std::max(chosen.bottom(), reach.bottom());
    return paper;
}

QString SheetsText(int sheets) {
    return sheets == 1 ? SheetPrintDialog::tr("1 sheet") : SheetPrintDialog::tr("%1 sheets").arg(sheets);
}

QString SettingsSection() { return QString::fromUtf8(settings::kSection); }
QString Key(const char* key) { return QString::fromUtf8(key); }

}  // namespace

SheetPrintDialog::SheetPrintDialog(Kind kind, const QString& folder, const QStringList& selected,
                                   order::BoxSource boxes, QWidget* parent)
    : QDialog(parent), m_kind(kind), m_folder(folder), m_selected(selected), m_boxes(std::move(boxes)) {
    if (!m_boxes) m_boxes = order::ReadBoxFromSidecar;
    m_folderPhotos = kind == Kind::Prints ? order::PhotosWithBox(NativePath(folder), m_boxes) : AllPhotos(folder);
    setWindowTitle(kind == Kind::Prints ? tr("Print Sheets") : tr("Contact Sheet"));
    BuildLayout();
    RestoreSettings();
    FollowPrinter();
    m_progressTimer.setInterval(kProgressMs);
    connect(&m_progressTimer, &QTimer::timeout, this, &SheetPrintDialog::ShowProgress);

    // Connected after the remembered choices are in place, so that they start one preparation.
    const auto layoutChanged = [this] {
        m_paper = ChosenPaper();
        if (m_kind == Kind::Prints) {
            LayOut();
        } else {
            Prepare();  // the contact sheet's thumbnails are made for its cells
        }
    };
    connect(m_selectedChoice, &QRadioButton::toggled, this, &SheetPrintDialog::Prepare);
    connect(m_printer, &QComboBox::currentIndexChanged, this, [this, layoutChanged] {
        FollowPrinter();
        layoutChanged();
    });
    connect(m_paperChoice, &QComboBox::currentIndexChanged, this, layoutChanged);
    connect(m_gap, &QDoubleSpinBox::valueChanged, this, layoutChanged);
    connect(m_cutMarks, &QCheckBox::toggled, this, [this] { ShowSheet(m_shown); });
    connect(m_defaultSize, &QComboBox::currentIndexChanged, this, &SheetPrintDialog::Prepare);
    connect(m_columns, &QSpinBox::valueChanged, this, &SheetPrintDialog::Prepare);
    connect(m_date, &QCheckBox::toggled, this, &SheetPrintDialog::Prepare);
    connect(m_printSize, &QCheckBox::toggled, this, &SheetPrintDialog::Prepare);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_prepareAgain = false;
        m_stop = true;
    });
    connect(m_previous, &QPushButton::clicked, this, [this] { ShowSheet(m_shown - 1); });
    connect(m_next, &QPushButton::clicked, this, [this] { ShowSheet(m_shown + 1); });
    connect(m_print, &QPushButton::clicked, this, &SheetPrintDialog::PrintSheets);
    connect(m_savePdf, &QPushButton::clicked, this, &SheetPrintDialog::SaveAsPdf);
    m_paper = ChosenPaper();
    Prepare();
}

SheetPrintDialog::~SheetPrintDialog() {
    // The worker sees this at its next photo; m_job waits for it.
    m_prepareAgain = false;
    m_stop = true;
}

void SheetPrintDialog::Run(Kind kind, QWidget* parent, const QString& folder, const QStringList& selected,
                           order::BoxSource boxes) {
    SheetPrintDialog dialog(kind, folder, selected, std::move(boxes), parent);
    dialog.exec();
}

void SheetPrintDialog::SetPrintScript(PrintScript script) { g_printScript = std::move(script); }

void SheetPrintDialog::BuildLayout() {
    const bool prints = m_kind == Kind::Prints;
    m_selectedChoice = new QRadioButton(tr("The selected photos: %1").arg(m_selected.size()), this);
    m_selectedChoice->setObjectName(QStringLiteral("selectedPhotos"));
    m_folderChoice = new QRadioButton(
        (prints ? tr("All photos with a box in this folder: %1") : tr("All photos in this folder: %1"))
            .arg(m_folderPhotos.size()),
        this);
    m_folderChoice->setObjectName(QStringLiteral("folderPhotos"));
    m_selectedChoice->setEnabled(!m_selected.isEmpty());
    (m_selected.isEmpty() ? m_folderChoice : m_selectedChoice)->setChecked(true);

    m_printer = new QComboBox(this);
    m_printer->setObjectName(QStringLiteral("printer"));
    FillPrinters();
    m_paperChoice = new QComboBox(this);
    m_paperChoice->setObjectName(QStringLiteral("paper"));
    for (const char* paper : kPapers) m_paperChoice->addItem(QString::fromLatin1(paper));
    m_gap = new QDoubleSpinBox(this);
    m_gap->setObjectName(QStringLiteral("gap"));
    m_gap->setRange(0, kMaximumGapMm);
    m_gap->setDecimals(1);
    m_gap->setSuffix(tr(" mm"));
    m_cutMarks = new QCheckBox(tr("Cut marks at the corners"), this);
    m_cutMarks->setObjectName(QStringLiteral("cutMarks"));
    m_defaultSize = new QComboBox(this);
    m_defaultSize->setObjectName(QStringLiteral("defaultSize"));
    for (const cropbox::PrintSizePreset* preset = cropbox::kPrintSizePresets; preset->name != nullptr; ++preset) {
        if (preset->width > 0) m_defaultSize->addItem(QString::fromUtf8(preset->name), preset->commandId);
    }
    m_columns = new QSpinBox(this);
    m_columns->setObjectName(QStringLiteral("columns"));
    m_columns->setRange(1, order::kMaxContactColumns);
    m_date = new QCheckBox(tr("Date"), this);
    m_date->setObjectName(QStringLiteral("date"));
    m_printSize = new QCheckBox(tr("Print size"), this);
    m_printSize->setObjectName(QStringLiteral("printSize"));

    auto* form = new QFormLayout;
    form->addRow(tr("Photos:"), m_selectedChoice);
    form->addRow(QString(), m_folderChoice);
    form->addRow(tr("Printer:"), m_printer);
    form->addRow(tr("Paper (PDF):"), m_paperChoice);
    form->addRow(tr("Gap:"), m_gap);
    if (prints) {
        form->addRow(QString(), m_cutMarks);
        form->addRow(tr("Size of photos without one:"), m_defaultSize);
        m_columns->hide();
        m_date->hide();
        m_printSize->hide();
    } else {
        form->addRow(tr("Columns:"), m_columns);
        auto* beneath = new QHBoxLayout;
        beneath->addWidget(m_date);
        beneath->addWidget(m_printSize);
        beneath->addStretch(1);
        form->addRow(tr("Beneath the name:"), beneath);
        m_cutMarks->hide();
        m_defaultSize->hide();
    }

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progress"));
    m_cancel = new QPushButton(tr("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cancel"));
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(m_progress, 1);
    progressRow->addWidget(m_cancel);

    m_preview = new QLabel(this);
    m_preview->setObjectName(QStringLiteral("preview"));
    m_preview->setAlignment(Qt::AlignCenter);
    m_preview->setMinimumSize(kPreviewWidth, kPreviewWidth * 3 / 2);
    m_previous = new QPushButton(tr("< Previous"), this);
    m_previous->setObjectName(QStringLiteral("previous"));
    m_next = new QPushButton(tr("Next >"), this);
    m_next->setObjectName(QStringLiteral("next"));
    m_page = new QLabel(this);
    m_page->setObjectName(QStringLiteral("page"));
    m_page->setAlignment(Qt::AlignCenter);
    auto* pageRow = new QHBoxLayout;
    pageRow->addWidget(m_previous);
    pageRow->addWidget(m_page, 1);
    pageRow->addWidget(m_next);
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("sheetCount"));
    m_notes = new QLabel(this);
    m_notes->setObjectName(QStringLiteral("notes"));
    m_notes->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_print = buttons->addButton(tr("Print\u2026"), QDialogButtonBox::ActionRole);
    m_print->setObjectName(QStringLiteral("print"));
    m_savePdf = buttons->addButton(tr("Save as PDF\u2026"), QDialogButtonBox::ActionRole);
    m_savePdf->setObjectName(QStringLiteral("savePdf"));
    connect(buttons, &QDialogButtonBox::rejected, this, &SheetPrintDialog::reject);

    auto* choices = new QVBoxLayout;
    choices->addLayout(form);
    choices->addLayout(progressRow);
    choices->addWidget(m_count);
    choices->addWidget(m_notes);
    choices->addStretch(1);
    auto* sheets = new QVBoxLayout;
    sheets->addWidget(m_preview, 1);
    sheets->addLayout(pageRow);
    auto* columns = new QHBoxLayout;
    columns->addLayout(choices, 1);
    columns->addLayout(sheets);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addWidget(buttons);
}

void SheetPrintDialog::FillPrinters() {
    m_printer->addItem(tr("PDF file"), QString());
    for (const QString& name : QPrinterInfo::availablePrinterNames()) m_printer->addItem(name, name);
}

void SheetPrintDialog::FollowPrinter() { m_paperChoice->setEnabled(m_printer->currentData().toString().isEmpty()); }

void SheetPrintDialog::RestoreSettings() {
    const QString section = SettingsSection();
    // A printer that is gone leaves the choice on a PDF file.
    const int printer = m_printer->findData(SettingsStore::ReadString(section, Key(settings::kSheetPrinter)));
    if (printer >= 0) m_printer->setCurrentIndex(printer);
    const int paper = m_paperChoice->findText(SettingsStore::ReadString(section, Key(settings::kSheetPaper)));
    if (paper >= 0) m_paperChoice->setCurrentIndex(paper);
    bool ok = false;
    const double gap = SettingsStore::ReadString(section, Key(settings::kSheetGapMm)).toDouble(&ok);
    m_gap->setValue(ok ? gap : settings::kSheetGapMmDefault);
    m_cutMarks->setChecked(SettingsStore::ReadInt(section, Key(settings::kSheetCutMarks), 1) != 0);
    const int size = m_defaultSize->findData(
        SettingsStore::ReadInt(section, Key(settings::kSheetDefaultPreset), int(order::kDefaultSheetPreset)));
    if (size >= 0) m_defaultSize->setCurrentIndex(size);
    m_columns->setValue(SettingsStore::ReadInt(section, Key(settings::kContactColumns), settings::kContactColumnsDefault));
    m_date->setChecked(SettingsStore::ReadInt(section, Key(settings::kContactShowDate), 0) != 0);
    m_printSize->setChecked(SettingsStore::ReadInt(section, Key(settings::kContactShowSize), 0) != 0);
}

void SheetPrintDialog::SaveSettings() const {
    const QString section = SettingsSection();
    SettingsStore::WriteString(section, Key(settings::kSheetPrinter), m_printer->currentData().toString());
    SettingsStore::WriteString(section, Key(settings::kSheetPaper), m_paperChoice->currentText());
    SettingsStore::WriteString(section, Key(settings::kSheetGapMm), QString::number(m_gap->value()));
    SettingsStore::WriteInt(section, Key(settings::kSheetCutMarks), m_cutMarks->isChecked() ? 1 : 0);
    SettingsStore::WriteInt(section, Key(settings::kSheetDefaultPreset), m_defaultSize->currentData().toInt());
    SettingsStore::WriteInt(section, Key(settings::kContactColumns), m_columns->value());
    SettingsStore::WriteInt(section, Key(settings::kContactShowDate), m_date->isChecked() ? 1 : 0);
    SettingsStore::WriteInt(section, Key(settings::kContactShowSize), m_printSize->isChecked() ? 1 : 0);
}

void SheetPrintDialog::done(int result) {
    SaveSettings();
    QDialog::done(result);
}

std::vector<std::string> SheetPrintDialog::ChosenPhotos() const {
    return m_selectedChoice->isChecked() ? NativePaths(m_selected) : m_folderPhotos;
}

order::Paper SheetPrintDialog::ChosenPaper() const {
    const QString printerName = m_printer->currentData().toString();
    if (!printerName.isEmpty()) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setPrinterName(printerName);
        return PaperOfPrinter(printer);
    }
    return order::PaperNamed(m_paperChoice->currentText().toLower().toStdString()).value_or(order::Paper{});
}

order::ContactOptions SheetPrintDialog::ContactChoices() const {
    order::ContactOptions options;
    options.columns = m_columns->value();
    options.date = m_date->isChecked();
    options.printSize = m_printSize->isChecked();
    options.gapMm = m_gap->value();
    options.boxes = m_boxes;
    return options;
}

int SheetPrintDialog::SheetCount() const {
    if (m_kind == Kind::Prints) return int(m_plan.sheets.size());
    return m_contact.sheets;
}

// ---- preparing the photos -----------------------------------------------------------------------

void SheetPrintDialog::Prepare() {
    if (IsPreparing()) {
        m_prepareAgain = true;
        m_stop = true;
        return;
    }
    StartPreparing();
}

void SheetPrintDialog::StartPreparing() {
    const std::vector<std::string> photos = ChosenPhotos();
    m_prepareAgain = false;
    m_stop = false;
    m_done = 0;
    m_total = int(photos.size());
    m_prepared.reset();
    m_plan = {};
    m_contact = {};
    m_readable.clear();
    m_progress->setRange(0, m_kind == Kind::Prints ? std::max(m_total, 1) : 0);  // the contact sheet's: busy
    m_progress->setValue(0);
    m_cancel->setEnabled(true);
    m_print->setEnabled(false);
    m_savePdf->setEnabled(false);
    m_count->setText(tr("Preparing %1 of %2\u2026").arg(0).arg(m_total));
    m_notes->clear();
    ShowSheet(0);

    auto prepared = std::make_shared<Prepared>();
    std::function<void()> work;
    if (m_kind == Kind::Prints) {
        order::SheetPrintOptions options;
        options.fallbackPreset = m_defaultSize->currentData().toUInt();
        options.defaultPreset = options.fallbackPreset;
        options.boxes = m_boxes;
        // The workers only count; the progress bar reads the count on this thread.
        work = [this, prepared, photos, options] {
            prepared->prints = order::PrepareSheetPrints(photos, options, &m_stop, [this](int done) { m_done = done; });
        };
    } else {
        const order::ContactOptions options = ContactChoices();
        const order::ContactLayout layout = order::LayoutContactSheet(m_total, m_paper, options);
        work = [this, prepared, photos, layout, options] {
            prepared->entries = order::PrepareContactEntries(photos, layout, options, &m_stop);
        };
    }
    m_progressTimer.start();
    m_job.Start(std::move(work), [this, prepared] {
        m_prepared = prepared;
        EndPreparing();
    });
}

void SheetPrintDialog::ShowProgress() {
    m_progress->setValue(m_done);
    if (m_kind == Kind::Prints) m_count->setText(tr("Preparing %1 of %2\u2026").arg(m_done).arg(m_total));
}

void SheetPrintDialog::EndPreparing() {
    m_progressTimer.stop();
    if (m_prepareAgain) {
        StartPreparing();
        return;
    }
    m_cancel->setEnabled(false);
    m_progress->setRange(0, 1);
    m_progress->setValue(1);
    for (const order::ContactEntry& entry : m_prepared->entries) {
        if (entry.problem.empty()) m_readable.push_back(&entry);
    }
    LayOut();
}

// ---- the sheets -----------------------------------------------------------------------------------

void SheetPrintDialog::LayOut() {
    if (!m_prepared) return;
    if (m_kind == Kind::Prints) {
        const std::vector<order::PrintSizeMm> sizes = order::PrintableSizes(m_prepared->prints, &m_indices);
        m_plan = order::PackPrints(sizes, m_paper.PrintableWidthMm(), m_paper.PrintableHeightMm(), m_gap->value());
    } else {
        m_contact = order::LayoutContactSheet(int(m_readable.size()), m_paper, ContactChoices());
    }
    const int sheets = SheetCount();
    m_count->setText(tr("%1 of %2 x %3 mm")
                         .arg(SheetsText(sheets))
                         .arg(m_paper.widthMm, 0, 'f', 1)
                         .arg(m_paper.heightMm, 0, 'f', 1));
    m_notes->setText(NotesText());
    m_print->setEnabled(sheets > 0);
    m_savePdf->setEnabled(sheets > 0);
    ShowSheet(0);
}

QString SheetPrintDialog::NotesText() const {
    QStringList soft;
    QStringList left;
    for (const order::SheetPrint& print : m_prepared->prints) {
        if (!print.Printable()) {
            left << FromNative(print.name) + QStringLiteral(": ") + QString::fromStdString(print.problem);
        } else if (print.lowDpi) {
            soft << tr("%1 (%2 dpi)").arg(FromNative(print.name)).arg(print.dpi);
        }
    }
    for (int index : m_plan.tooLarge) {
        left << tr("%1: larger than the paper").arg(FromNative(m_prepared->prints[size_t(m_indices[size_t(index)])].name));
    }
    for (const order::ContactEntry& entry : m_prepared->entries) {
        if (!entry.problem.empty()) {
            left << FromNative(entry.photo).section(QLatin1Char('/'), -1) + QStringLiteral(": ") +
                        QString::fromStdString(entry.problem);
        }
    }
    QStringList notes;
    if (!soft.isEmpty()) {
        notes << tr("Under %1 dpi, soft in print: %2").arg(cropbox::kLowPrintDpi).arg(soft.join(QStringLiteral(", ")));
    }
    if (!left.isEmpty()) notes << tr("Left out: %1").arg(left.join(QStringLiteral("; ")));
    return notes.join(QLatin1Char('\n'));
}

void SheetPrintDialog::PaintSheet(QPainter& painter, int sheet, const order::SheetGeometry& geometry) const {
    if (m_kind == Kind::Prints) {
        order::PaintSheet(painter, m_plan.sheets[size_t(sheet)], m_prepared->prints, &m_indices, geometry,
                          m_cutMarks->isChecked());
    } else {
        order::PaintContactSheet(painter, m_contact, sheet, m_readable, geometry);
    }
}

QImage SheetPrintDialog::PaintPreview(int sheet) const {
    if (m_paper.widthMm <= 0 || m_paper.heightMm <= 0) return {};
    const double scale = kPreviewWidth / m_paper.widthMm;
    QImage page(kPreviewWidth, int(m_paper.heightMm * scale + 0.5), QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // The printable area, faintly: the prints never cross it.
    painter.setPen(QColor(0xdd, 0xdd, 0xdd));
    painter.drawRect(QRectF(m_paper.leftMm * scale, m_paper.topMm * scale, m_paper.PrintableWidthMm() * scale,
                            m_paper.PrintableHeightMm() * scale));
    if (sheet >= 0 && sheet < SheetCount()) {
        PaintSheet(painter, sheet, {scale, QPointF(m_paper.leftMm * scale, m_paper.topMm * scale)});
    }
    painter.setPen(Qt::gray);
    painter.drawRect(page.rect().adjusted(0, 0, -1, -1));
    return page;
}

void SheetPrintDialog::ShowSheet(int sheet) {
    const int sheets = m_prepared ? SheetCount() : 0;
    m_shown = std::clamp(sheet, 0, std::max(sheets - 1, 0));
    m_preview->setPixmap(QPixmap::fromImage(PaintPreview(sheets > 0 ? m_shown : -1)));
    m_page->setText(sheets > 0 ? tr("Sheet %1 of %2").arg(m_shown + 1).arg(sheets) : QString());
    m_previous->setEnabled(m_shown > 0);
    m_next->setEnabled(m_shown + 1 < sheets);
}

// ---- printing and the PDF ---------------------------------------------------------------------------

bool SheetPrintDialog::PrintSheets() {
    QPrinter printer(QPrinter::HighResolution);
    const QString name = m_printer->currentData().toString();
    if (!name.isEmpty()) printer.setPrinterName(name);
    printer.setDocName(windowTitle());
    printer.setPageOrientation(QPageLayout::Portrait);
    if (g_printScript) {
        if (!g_printScript(printer)) return false;
    } else {
        QPrintDialog dialog(&printer, this);
        if (dialog.exec() != QDialog::Accepted) return false;
    }
    // The print dialog may have chosen other paper: the sheets follow it.
    printer.setFullPage(true);
    m_paper = PaperOfPrinter(printer);
    LayOut();
    QPainter painter;
    if (!painter.begin(&printer)) {
        MessageService::ShowMessage(tr("Could not start printing on %1.").arg(printer.printerName()), this);
        return false;
    }
    const double unitsPerMm = painter.device()->logicalDpiX() / order::kMillimetresPerInch;
    const order::SheetGeometry geometry{unitsPerMm, QPointF(m_paper.leftMm * unitsPerMm, m_paper.topMm * unitsPerMm)};
    for (int sheet = 0; sheet < SheetCount(); ++sheet) {
        if (sheet > 0) printer.newPage();
        PaintSheet(painter, sheet, geometry);
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted) {
        MessageService::ShowMessage(tr("%1 could not print the sheets.").arg(printer.printerName()), this);
        return false;
    }
    m_notes->setText(NotesText() + (m_notes->text().isEmpty() ? QString() : QStringLiteral("\n")) +
                     tr("%1 sent to %2.").arg(SheetsText(SheetCount()), printer.printerName()));
    // The choices that made these sheets are kept at once, not only when the dialog closes.
    SaveSettings();
    return true;
}

void SheetPrintDialog::SaveAsPdf() {
    FileDialogRequest request;
    request.save = true;
    request.folder = m_folder;
    request.fileName = m_kind == Kind::Prints ? QStringLiteral("sheets.pdf") : QStringLiteral("contact-sheet.pdf");
    request.filter = tr("PDF files (*.pdf)");
    request.defaultExtension = QStringLiteral("pdf");
    const QString path = FileDialogService::Choose(request, this);
    if (!path.isEmpty()) SaveSheetsAsPdf(path);
}

bool SheetPrintDialog::SaveSheetsAsPdf(const QString& path) {
    std::string error;
    const bool written = order::WritePdfPages(
        NativePath(path), m_paper, SheetCount(),
        [this](QPainter& painter, int page, const order::SheetGeometry& geometry) { PaintSheet(painter, page, geometry); },
        &error);
    if (!written) {
        MessageService::ShowMessage(tr("Could not save %1.\n%2").arg(path, QString::fromStdString(error)), this);
        return false;
    }
    SaveSettings();
    return true;
}
