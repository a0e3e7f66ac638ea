// The file commands and a picture view wired to a command router of their own, with scripted message
// boxes and file dialogs and a fake picture browser, over a temporary
// folder that also holds the settings store.
#pragma once

#include <gtest/gtest.h>

#include <QString>

#include <deque>
#include <filesystem>
#include <memory>
#include <ostream>
#include <vector>

#include "doc/FileCommands.h"
#include "doc/PictureDocument.h"
#include "view/PictureView.h"
#include "commands/CommandRouter.h"
#include "platform/FileDialogService.h"
#include "platform/MessageService.h"
#include "image/RasterImage.h"
#include "TestSupport.h"

// Failures show texts as text.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace doctest {

struct AskedMessage {
    QString text;
    bool question;
};

class FakeBrowser : public PictureBrowserLink {
public:
    QString CurrentPath() const override { return current; }
    void RemoveFile(const QString& path) override { removed.push_back(path); }
    void FileWritten(const QString& path) override { written.push_back(path); }
    void PictureShown(const QString& path) override { current = path; }
    QString NeighbourPath(const QString& path, int step) const override {
        const qsizetype at = listed.indexOf(path);
        return at < 0 || at + step < 0 || at + step >= listed.size() ? QString() : listed[at + step];
    }
    QStringList SelectedPaths() const override { return selected; }

    QString current;
    std::vector<QString> removed;
    std::vector<QString> written;
    QStringList listed;
    QStringList selected;
};

class DocFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A path inside the temporary folder.
    QString PathOf(const std::string& name) const;
    // Writes picture to the temporary folder with the format of the name's extension.
    QString WritePicture(const std::string& name, const RasterImage& picture);
    // Loads a file as the program does and expects it to be shown.
    void LoadShown(const QString& path);
    // Writes the shown document to path at the stored JPEG quality, as Save does.
    FileOutcome SaveShown(const QString& path);
    // The picture in a file, decoded by its extension.
    static RasterImage Decoded(const QString& path);
    static std::vector<uint8_t> Bytes(const QString& path);

    // A slider moved by the user, and the position the view gives its slider.
    void SetSlider(uint32_t id, int position) { router.Execute(id, CommandValue(position)); }
    int SliderPosition(uint32_t id) const { return router.QueryUpdate(id).value.value_or(-1); }

    // Texts asked or shown, in order.
    std::vector<QString> Texts() const;

    testsupport::TempDir temp;
    CommandRouter router;
    FakeBrowser browser;
    FileCommands files;
    std::unique_ptr<PictureView> view;

    std::vector<AskedMessage> messages;
    std::deque<MessageAnswer> answers;  // for questions; an unscripted question is answered No
    std::vector<FileDialogRequest> requests;
    QString chosenPath;                 // what the save dialog returns (empty: cancel)
};

}  // namespace doctest
