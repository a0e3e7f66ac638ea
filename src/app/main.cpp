// Norvane Snipwell: a picture-cropping tool for photographs.
//
//   snipwell [PATH]   starts with PATH open: a picture (its folder listed, the picture shown)
//                     or a folder. Each start is a process and a window of its own: the frame
//                     holds a single document, so a second path gets a second window.
#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>

#include "app/Application.h"
#include "app/Version.h"
#include "platform/SettingsStore.h"

namespace {

void DescribeArguments(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        QStringLiteral("Crop photographs to standard print sizes with shaped, bordered crop boxes."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("path"), QStringLiteral("A picture to show, or a folder to list."),
                                 QStringLiteral("[path]"));
}

// --help and --version are answered on the terminal, and the process ends, before anything
// needs a display: only a core application exists while they are looked for.
void AnswerInformationRequests(int argc, char** argv) {
    QCoreApplication probe(argc, argv);
    QCommandLineParser parser;
    DescribeArguments(parser);
    // The display's own options (-platform, -display, ...) are still among the arguments here;
    // they are not errors, so the lenient parse is enough.
    parser.parse(QCoreApplication::arguments());
    if (parser.isSet(QStringLiteral("help"))) parser.showHelp(EXIT_SUCCESS);
    if (parser.isSet(QStringLiteral("version"))) parser.showVersion();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication::setApplicationName(QString::fromLatin1(SettingsStore::kApplication));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(version::kNumber));
    AnswerInformationRequests(argc, argv);

    QApplication qtApplication(argc, argv);
    // The display's options have been taken out by now; anything else unknown is refused.
    QCommandLineParser parser;
    DescribeArguments(parser);
    parser.process(qtApplication);
    const QStringList paths = parser.positionalArguments();
    Application app;
    if (!app.Start(paths.isEmpty() ? QString() : paths.constFirst())) return EXIT_FAILURE;
    return QApplication::exec();
}
