#include "DocTestFixture.h"

#include <QFile>
#include <QGuiApplication>

#include "commands/CommandIds.h"
#include "platform/SettingsStore.h"

namespace doctest {

void DocFixture::SetUp() {
    SettingsStore::UseFolder(QString::fromStdString((temp / "settings").string()));
    MessageService::SetAnswerer([this](const QString& text, bool question) {
        // A box the user must answer shows the ordinary pointer, never the wait cursor.
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "under the wait cursor: " << text.toStdString();
        messages.push_back({text, question});
        if (!question) return MessageAnswer::Ok;
        if (answers.empty()) return MessageAnswer::No;
        const MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    });
    FileDialogService::SetChooser([this](const FileDialogRequest& request) {
        requests.push_back(request);
        return chosenPath;
    });

    router.SetIdleUpdatesEnabled(false);
    router.SetDocument(&files.Handlers());

    view = std::make_unique<PictureView>(&files);
    view->resize(800, 600);
    view->show();
    files.m_picker = &browser;
    router.SetActiveView(&view->Handlers());
}

void DocFixture::TearDown() {
    view.reset();
    MessageService::SetAnswerer({});
    FileDialogService::SetChooser({});
    SettingsStore::UseFolder(QString());
}

QString DocFixture::PathOf(const std::string& name) const { return QString::fromStdString((temp / name).string()); }

QString DocFixture::WritePicture(const std::string& name, const RasterImage& picture) {
    const QString path = PathOf(name);
    const QByteArray native = QFile::encodeName(path);
    RasterImage copy(picture);
    EXPECT_TRUE(copy.Save(native.constData(), RasterImage::TypeFromExtension(native.constData()))) << name;
    return path;
}

void DocFixture::LoadShown(const QString& path) {
    view->LoadPicture(path);
    ASSERT_TRUE(view->PicturesValid()) << path.toStdString();
    ASSERT_EQ(view->Path(), path);
}

FileOutcome DocFixture::SaveShown(const QString& path) {
    return view->Document()->Save(path, FileCommands::StoredJpegQuality());
}

RasterImage DocFixture::Decoded(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    RasterImage picture;
    picture.Load(native.constData(), RasterImage::TypeFromExtension(native.constData()));
    return picture;
}

std::vector<uint8_t> DocFixture::Bytes(const QString& path) {
    return testsupport::ReadFileBytes(path.toStdString());
}

std::vector<QString> DocFixture::Texts() const {
    std::vector<QString> texts;
    for (const AskedMessage& m : messages) texts.push_back(m.text);
    return texts;
}

}  // namespace doctest
