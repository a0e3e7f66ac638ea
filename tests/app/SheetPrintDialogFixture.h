// The sheets dialog over a folder of solid blue photos whose sidecars keep a 6x4 box over the
// whole photo; its settings in the folder, its messages collected, its preparation awaited.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <memory>

#include "app/SheetPrintDialog.h"
#include "commands/CommandIds.h"
#include "image/metadata/CropSidecar.h"
#include "platform/FileDialogService.h"
#include "platform/MessageService.h"
#include "platform/SettingsStore.h"

class SheetPrintDialogFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.isValid());
        SettingsStore::UseFolder(m_folder.filePath(QStringLiteral("settings")));
        MessageService::SetAnswerer([this](const QString& text, bool) {
            m_messages << text;
            return MessageAnswer::Ok;
        });
    }
    void TearDown() override {
        m_dialog.reset();
        SheetPrintDialog::SetPrintScript({});
        FileDialogService::SetChooser({});
        MessageService::SetAnswerer({});
        SettingsStore::UseFolder(QString());
    }

    // A blue photo of that size; with a box, its sidecar keeps a 6x4 box over all of it.
    QString AddPhoto(const QString& name, int width, int height, bool box = true) {
        QImage picture(width, height, QImage::Format_RGB32);
        picture.fill(qRgb(0, 0, 255));
        const QString path = m_folder.filePath(name);
        EXPECT_TRUE(picture.save(path));
        if (box) {
            KeptCrop crop;
            crop.ownFields = true;
            crop.shape = 1;
            crop.preset = cmd::ID_PRESET_6X4;
            crop.border = cmd::ID_BORDER_NONE;
            crop.placedWidth = uint32_t(width);
            crop.placedHeight = uint32_t(height);
            EXPECT_TRUE(WriteSidecarCrop(QFile::encodeName(path).toStdString(), crop));
        }
        return path;
    }

    SheetPrintDialog& Open(SheetPrintDialog::Kind kind, const QStringList& selected) {
        m_dialog = std::make_unique<SheetPrintDialog>(kind, m_folder.path(), selected, order::BoxSource{});
        m_dialog->show();
        return *m_dialog;
    }

    // Turns the event loop until the photos are prepared; false after a minute.
    bool WaitForPreparing() {
        QElapsedTimer clock;
        clock.start();
        while (m_dialog->IsPreparing() && clock.elapsed() < 60000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        QCoreApplication::processEvents();
        return !m_dialog->IsPreparing();
    }

    template <typename Widget>
    Widget* Find(const char* name) const {
        Widget* widget = m_dialog->findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    QTemporaryDir m_folder;
    QStringList m_messages;
    std::unique_ptr<SheetPrintDialog> m_dialog;
};
