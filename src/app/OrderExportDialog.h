// The print order's Export dialog: which photos (the selected ones or every photo of the
// folder with a box), the destination folder, the name pattern with a live example, the
// format and quality; then a progress bar with Cancel while the order is cut on worker
// threads, and the summary at the end. Names that exist already are asked about once.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <QDialog>
#include <QStringList>

#include "order/OrderExport.h"

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;

class OrderExportDialog : public QDialog {
    Q_OBJECT

public:
    // How names that exist already are answered: Number, Overwrite or Skip; Ask when the
    // export is called off. Tests install one so that no real question box opens.
    using ExistingNamesChooser = std::function<order::ExistingNames(const QStringList& existing)>;

    // folder: the browser's folder; selected: the photos selected in it; jpegQuality: the
    // program's JPEG quality; boxes: where the boxes come from (empty: the photos' sidecars).
    OrderExportDialog(const QString& folder, const QStringList& selected, int jpegQuality, order::BoxSource boxes,
                      QWidget* parent = nullptr);
    ~OrderExportDialog() override;

    // Shows the dialog modally until the user closes it.
    static void Run(QWidget* parent, const QString& folder, const QStringList& selected, int jpegQuality,
                    order::BoxSource boxes = {});
    static void SetExistingNamesChooser(ExistingNamesChooser chooser);

    bool IsExporting() const { return m_worker.joinable(); }

signals:
    // The export has ended (written, failed, cancelled or stopped); the summary is shown.
    void exportEnded();

protected:
    void reject() override;

private:
    // What the workers report, run on this window's thread: queued under a lock and taken by
    // TakeReports, whose call carries no data across threads.
    void PostReport(std::function<void()> report);
    Q_INVOKABLE void TakeReports();

    void BuildLayout();
    void RestoreSettings();
    void SaveSettings() const;
    void FillFormats();
    void ShowExample();
    void FollowPattern();
    void FollowFormat();
    void BrowseDestination();
    std::vector<std::string> ChosenPhotos() const;
    order::ExportOptions ChosenOptions() const;
    void StartExport();
    void ShowStarted(int index, const QString& name);
    void ShowFinished(int done);
    void EndExport(const order::ExportOutcome& outcome);
    void SetRunning(bool running);
    void StopWorker();

    QString m_folder;
    QStringList m_selected;
    std::vector<std::string> m_withBox;
    order::BoxSource m_boxes;
    std::unique_ptr<order::OrderExport> m_exporter;
    std::thread m_worker;
    std::mutex m_reportsMutex;
    std::vector<std::function<void()>> m_reports;
    int m_total = 0;

    QRadioButton* m_selectedChoice = nullptr;
    QRadioButton* m_allChoice = nullptr;
    QLineEdit* m_destination = nullptr;
    QPushButton* m_browse = nullptr;
    QLineEdit* m_pattern = nullptr;
    QLabel* m_example = nullptr;
    QComboBox* m_format = nullptr;
    QSpinBox* m_quality = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_current = nullptr;
    QPlainTextEdit* m_summary = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
    QPushButton* m_export = nullptr;
    QPushButton* m_cancel = nullptr;
};
