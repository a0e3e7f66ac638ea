#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <vector>

#include "commands/CommandIds.h"
#include "commands/CommandRouter.h"

TEST(CommandRouter, RoutesToTheFirstTargetInViewDocumentFrameApplicationOrder) {
    CommandRouter router;
    std::vector<std::string> calls;
    CommandHandlers view, document, frame, application;
    document.On(cmd::ID_FILE_SAVE, [&] { calls.push_back("document"); });
    frame.On(cmd::ID_FILE_SAVE, [&] { calls.push_back("frame"); });
    application.On(cmd::ID_APP_ABOUT, [&] { calls.push_back("application"); });
    view.On(cmd::ID_CUT, [&] { calls.push_back("view"); });
    router.SetActiveView(&view);
    router.SetDocument(&document);
    router.SetFrame(&frame);
    router.SetApplication(&application);

    EXPECT_TRUE(router.Execute(cmd::ID_FILE_SAVE));
    EXPECT_TRUE(router.Execute(cmd::ID_APP_ABOUT));
    EXPECT_TRUE(router.Execute(cmd::ID_CUT));
    EXPECT_FALSE(router.Execute(cmd::ID_EDIT_UNDO));  // nobody handles it: ignored
    EXPECT_EQ(calls, (std::vector<std::string>{"document", "application", "view"}));

    // Another active view takes the commands the view handled.
    router.SetActiveView(nullptr);
    EXPECT_FALSE(router.Execute(cmd::ID_CUT));
}

TEST(CommandRouter, UpdatesComeFromTheHandlingTargetAndUnhandledCommandsAreDisabled) {
    CommandRouter router;
    CommandHandlers view, document;
    bool on = true;
    view.On(cmd::ID_HIDE_CROPBOX, [] {}, [&](CommandUpdate& u) { u.checked = on; });
    view.On(cmd::ID_CUT, [] {}, [](CommandUpdate& u) {
        u.enabled = false;
        u.text = QStringLiteral("Cut");
    });
    document.On(cmd::ID_FILE_SAVE_AS, [] {});
    document.OnUpdate(cmd::ID_STATUSBAR_PANE_FILE, [](CommandUpdate& u) { u.text = QStringLiteral("/x.jpg"); });
    router.SetActiveView(&view);
    router.SetDocument(&document);

    CommandUpdate hide = router.QueryUpdate(cmd::ID_HIDE_CROPBOX);
    EXPECT_TRUE(hide.enabled);
    EXPECT_EQ(hide.checked, true);
    on = false;
    EXPECT_EQ(router.QueryUpdate(cmd::ID_HIDE_CROPBOX).checked, false);

    const CommandUpdate cut = router.QueryUpdate(cmd::ID_CUT);
    EXPECT_FALSE(cut.enabled);
    EXPECT_EQ(cut.text, QStringLiteral("Cut"));
    EXPECT_TRUE(router.QueryUpdate(cmd::ID_FILE_SAVE_AS).enabled);  // handler without update handler
    EXPECT_EQ(router.QueryUpdate(cmd::ID_STATUSBAR_PANE_FILE).text, QStringLiteral("/x.jpg"));
    EXPECT_FALSE(router.QueryUpdate(cmd::ID_WINDOW_MANAGER).enabled);  // no handler anywhere
}

TEST(CommandRouter, RangeHandlersReceiveTheIdAndLaterRegistrationsWin) {
    CommandRouter router;
    CommandHandlers view;
    uint32_t chosen = 0;
    view.OnRange(cmd::ID_PRESET_FIRST, cmd::ID_PRESET_LAST, [&](uint32_t id) { chosen = id; },
                 [&](CommandUpdate& u) { u.radio = u.id == chosen; });
    view.On(cmd::ID_PRESET_FREE, [&] { chosen = 1; });
    router.SetActiveView(&view);

    router.Execute(cmd::ID_PRESET_6X4);
    EXPECT_EQ(chosen, cmd::ID_PRESET_6X4);
    EXPECT_EQ(router.QueryUpdate(cmd::ID_PRESET_6X4).radio, true);
    EXPECT_EQ(router.QueryUpdate(cmd::ID_PRESET_FIRST).radio, false);
    router.Execute(cmd::ID_PRESET_FREE);
    EXPECT_EQ(chosen, 1u);
}

TEST(CommandRouter, PostedCommandsRunOnALaterTurnOfTheLoop) {
    CommandRouter router;
    CommandHandlers document;
    int runs = 0;
    document.On(cmd::ID_DELETE, [&] { ++runs; });
    router.SetDocument(&document);
    router.Post(cmd::ID_DELETE);
    EXPECT_EQ(runs, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 1);
}

TEST(CommandRouter, IdleTurnsRunUpdatePasses) {
    CommandRouter router;
    int passes = 0;
    QObject::connect(&router, &CommandRouter::updatePass, [&] { ++passes; });
    router.RunUpdatePass();
    EXPECT_EQ(passes, 1);
    // A loop that has to wait for a timer goes idle first.
    QEventLoop loop;
    QTimer::singleShot(30, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_GE(passes, 2);
}

TEST(CommandRouter, ValueCommandsTakeTheControlsValueAndReportTheOwnersValue) {
    CommandRouter router;
    EXPECT_EQ(CommandRouter::Instance(), &router);
    CommandHandlers view, document;
    std::vector<CommandValue> taken;
    int owned = 40;
    view.OnValue(
        cmd::ID_CONTRAST, [&](const CommandValue& value) { taken.push_back(value); },
        [&](CommandUpdate& u) { u.value = owned; });
    document.On(cmd::ID_CONTRAST, [&] { ADD_FAILURE() << "routed past the view"; });
    router.SetActiveView(&view);
    router.SetDocument(&document);

    EXPECT_TRUE(router.Execute(cmd::ID_CONTRAST, CommandValue(150)));
    EXPECT_TRUE(router.Execute(cmd::ID_CONTRAST, CommandValue(QStringLiteral("7"))));
    // Without a value the command is the view's all the same, and changes nothing.
    EXPECT_TRUE(router.Execute(cmd::ID_CONTRAST));
    EXPECT_EQ(taken, (std::vector<CommandValue>{150, QStringLiteral("7")}));
    EXPECT_EQ(router.QueryUpdate(cmd::ID_CONTRAST).value, 40);
    owned = 160;
    EXPECT_EQ(router.QueryUpdate(cmd::ID_CONTRAST).value, 160);
    // A plain command carries no value and ignores one.
    int saves = 0;
    view.On(cmd::ID_FILE_SAVE, [&] { ++saves; });
    EXPECT_TRUE(router.Execute(cmd::ID_FILE_SAVE, CommandValue(3)));
    EXPECT_EQ(saves, 1);
    EXPECT_FALSE(router.QueryUpdate(cmd::ID_FILE_SAVE).value.has_value());
}

TEST(CommandIds, SepiaAndWarmToneHaveTheirOwnTitles) {
    EXPECT_EQ(cmd::TooltipOf(cmd::ID_SEPIA), "Convert the picture to brown\nSepia");
    EXPECT_EQ(cmd::TooltipOf(cmd::ID_WARM_TONE), "Convert the picture to light brown\nWarm tone");
    EXPECT_TRUE(cmd::TooltipOf(cmd::ID_JPEG_QUALITY).empty());
}
