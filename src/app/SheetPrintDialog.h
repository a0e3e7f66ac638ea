// Printing the print order at home: the order's prints at their exact sizes, as many to a
// sheet as fit (Prints), or the photos as a contact sheet, a grid with their names (Contact).
// The dialog chooses the photos (the selected ones, or the folder's), the printer or a PDF
// file and its paper, the gap, cut marks and the size of photos without one (or the contact
// sheet's columns, dates and print sizes); prepares the photos on worker threads with a
// progress bar and Cancel; previews the sheets one by one with their count and the prints
// that will look soft; and prints them or saves them as a PDF. Its choices are remembered.
#pragma once

#include <QDialog>
#include <QImage>
#include <QStringList>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "doc/BackgroundJob.h"
#include "order/ContactSheet.h"
#include "order/OrderExport.h"
#include "order/SheetLayout.h"
#include "order/SheetPrints.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPrinter;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;

class SheetPrintDialog : public QDialog {
    Q_OBJECT

public:
    enum class Kind { Prints, Contact };
    // Stands in for the system's print dialog in tests: sets the printer up as a user would;
    // false cancels.
    using PrintScript = std::function<bool(QPrinter& printer)>;

    // folder: the browser's folder; selected: the photos selected in it; boxes: where the
    // photos' boxes come from (empty: their sidecars).
    SheetPrintDialog(Kind kind, const QString& folder, const QStringList& selected, order::BoxSource boxes,
                     QWidget* parent = nullptr);
    ~SheetPrintDialog() override;

    // Shows the dialog modally until the user closes it.
    static void Run(Kind kind, QWidget* parent, const QString& folder, const QStringList& selected,
                    order::BoxSource boxes = {});
    static void SetPrintScript(PrintScript script);

    bool IsPreparing() const { return m_job.IsRunning(); }
    int SheetCount() const;
    // The paper the sheets are laid out on: the chosen printer's, with its printable area for
    // the margins, or the chosen paper of a PDF.
    order::Paper ChosenPaper() const;

    // The buttons' work, after their dialogs: the sheets to the chosen printer (through the
    // print dialog) and to a PDF file. False when nothing was written (a reason is shown).
    bool PrintSheets();
    bool SaveSheetsAsPdf(const QString& path);

    void done(int result) override;

private:
    void BuildLayout();
    void FillPrinters();
    void RestoreSettings();
    void SaveSettings() const;
    std::vector<std::string> ChosenPhotos() const;
    order::ContactOptions ContactChoices() const;

    // Prepares the chosen photos on a worker; a preparation already running is stopped and
    // started again once it has ended.
    void Prepare();
    void StartPreparing();
    void EndPreparing();
    void ShowProgress();
    // The sheets are laid out anew for the chosen paper, gap and marks, and the first shown.
    void LayOut();
    void ShowSheet(int sheet);
    QImage PaintPreview(int sheet) const;
    void PaintSheet(QPainter& painter, int sheet, const order::SheetGeometry& geometry) const;
    QString NotesText() const;
    void SaveAsPdf();
    void FollowPrinter();

    Kind m_kind;
    QString m_folder;
    QStringList m_selected;
    std::vector<std::string> m_folderPhotos;  // with a box (Prints) or all of them (Contact)
    order::BoxSource m_boxes;

    // What the worker made, taken once it has ended.
    struct Prepared {
        std::vector<order::SheetPrint> prints;
        std::vector<order::ContactEntry> entries;
    };
    std::shared_ptr<Prepared> m_prepared;
    bool m_prepareAgain = false;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_done{0};
    int m_total = 0;
    QTimer m_progressTimer;

    // The layout of what was prepared.
    order::Paper m_paper;
    order::SheetPlan m_plan;
    std::vector<int> m_indices;  // the plan's prints in m_prepared->prints
    order::ContactLayout m_contact;
    std::vector<const order::ContactEntry*> m_readable;
    int m_shown = 0;

    QRadioButton* m_selectedChoice = nullptr;
    QRadioButton* m_folderChoice = nullptr;
    QComboBox* m_printer = nullptr;
    QComboBox* m_paperChoice = nullptr;
    QDoubleSpinBox* m_gap = nullptr;
    QCheckBox* m_cutMarks = nullptr;
    QComboBox* m_defaultSize = nullptr;
    QSpinBox* m_columns = nullptr;
    QCheckBox* m_date = nullptr;
    QCheckBox* m_printSize = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_cancel = nullptr;
    QLabel* m_preview = nullptr;
    QPushButton* m_previous = nullptr;
    QPushButton* m_next = nullptr;
    QLabel* m_page = nullptr;
    QLabel* m_count = nullptr;
    QLabel* m_notes = nullptr;
    QPushButton* m_print = nullptr;
    QPushButton* m_savePdf = nullptr;

    // Last: its destructor waits for the worker, which reads the members above.
    BackgroundJob m_job;
};
