// Printing one picture: the system's print preview and print dialogs over QPrinter, the
// picture painted into a rectangle the caller works out for the chosen paper. Tests install
// a scripted dialog so that no real modal dialog opens; the script sets up the printer (for
// example a PDF file) and the same painting code prints.
#pragma once

#include <QImage>
#include <QRectF>
#include <QString>

#include <functional>

class QPrinter;
class QWidget;

// The chosen paper and its unprintable margins, in inches.
struct PrintPaper {
    double width = 0;
    double height = 0;
    double marginLeft = 0;
    double marginTop = 0;
    double marginRight = 0;
    double marginBottom = 0;
};

// Where the picture goes on that paper (inches from its top left corner) and the warning the
// dialog shows beside the preview (empty for none).
struct PrintPlacement {
    QRectF inches;
    QString warning;
};

enum class PrintOutcome { Printed, Cancelled, Failed };

struct PrintResult {
    PrintOutcome outcome = PrintOutcome::Cancelled;
    QString reason;  // why the printer failed
};

class PicturePrinter {
public:
    using Layout = std::function<PrintPlacement(const PrintPaper& paper)>;
    // Stands in for the dialogs: gets the printer to set up as the user would, and the warning
    // the dialog shows for the printer's paper as it is at the time of asking; returns false
    // to cancel.
    using Script = std::function<bool(QPrinter& printer, const std::function<QString()>& warning)>;

    // Shows the print preview (with the warning) and prints what the user confirms. The paper
    // starts in the picture's orientation.
    static PrintResult Print(const QImage& picture, const QString& title, const Layout& layout,
                             QWidget* parent = nullptr);

    // Paints the picture on one page of printer; false with the reason when the printer fails.
    static bool PrintPage(QPrinter& printer, const QImage& picture, const Layout& layout, QString* reason);
    // The paper printer holds now.
    static PrintPaper PaperOf(const QPrinter& printer);

    // Installs (or, with an empty function, removes) the scripted dialog.
    static void SetScript(Script script);
};
