// A picture view that is the router's active view, with its settings in a private folder. A
// message box fails the test unless the test answers messages itself (Answer).
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>

#include <memory>

#include "commands/CommandRouter.h"
#include "platform/MessageService.h"
#include "platform/SettingsStore.h"
#include "view/PictureView.h"

class RoutedViewFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_settings.isValid());
        SettingsStore::UseFolder(m_settings.path());
        MessageService::SetAnswerer([this](const QString& text, bool) { return Answer(text); });
        m_router = std::make_unique<CommandRouter>();
        m_router->SetIdleUpdatesEnabled(false);
        m_view = MakeView(1000, 800);
    }
    void TearDown() override {
        m_view.reset();
        m_router.reset();
        MessageService::SetAnswerer({});
        SettingsStore::UseFolder(QString());
    }

    virtual MessageAnswer Answer(const QString& text) {
        ADD_FAILURE() << "unexpected message " << text.toStdString();
        return MessageAnswer::No;
    }

    // A view of that client size, made the router's active view.
    std::unique_ptr<PictureView> MakeView(int width, int height) {
        auto view = std::make_unique<PictureView>(nullptr);
        view->resize(width, height);
        m_router->SetActiveView(&view->Handlers());
        return view;
    }

    QTemporaryDir m_settings;
    std::unique_ptr<CommandRouter> m_router;
    std::unique_ptr<PictureView> m_view;
};
