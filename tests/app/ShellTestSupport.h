// Shared set-up of the shell tests: settings in a temporary folder, message boxes recorded
// instead of shown, a synthetic interface atlas whose every icon cell has its own colour, and
// a started application.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QIcon>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

#include "app/Application.h"

class MainWindow;

namespace shelltest {

// The colour of a cell of the synthetic atlas: unique per strip row and cell index.
QColor CellColour(int y, int index);
// 480 x 240, opaque cells on a transparent ground: the tab-row icon, the application button
// image and every icon strip.
bool MakeSyntheticAtlas(QImage& atlas);
// The colour in the middle of an icon as painted.
QColor IconCentre(const QIcon& icon, int size);

// Key events as the keyboard would send them (shortcuts are tried first); letters carry their
// text in lower case.
void KeyPress(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void KeyRelease(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void KeyClick(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Types the text's characters one key at a time.
void TypeText(QWidget* target, const QString& text);

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the application (synthetic atlas unless hooks say otherwise); the frame is shown.
    std::unique_ptr<Application> Start(Application::StartupHooks hooks = {});
    QString SettingsFileText() const;
    // The window fits its screen, and the offscreen test screen is 800 x 600: tests of the
    // layout give the window the usual size of a first window on a desktop screen.
    static void ShowAtUsualSize(MainWindow* window);

    QTemporaryDir m_dir;
    QStringList m_messages;
};

}  // namespace shelltest
