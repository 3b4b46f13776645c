// The console on the simulated amplifier, as kaldor-console --simulate runs them.
#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include "shell/Mainunit.h"
#include "shell/Settings.h"
#include "sim/SimServer.h"
#include "window/WindowFixture.h"

using namespace kaldor;

namespace {

TEST(SimConsole, TheConsoleFollowsTheSimulatedAmplifierItsKeysDrive) {
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    test::UseSettingsIn(config);
    std::string error;
    auto server = sim::SimServer::OnPseudoTerminal(sim::SimOptions{}, error);
    ASSERT_TRUE(server) << error;
    setenv("KALDOR_COM1", server->DevicePath().c_str(), 1);
    server->Start();
    {
        TSettings settings(QStringLiteral("Kaldor_Console_Test"));
        TMainForm form(settings);
        form.InitLcd();
        form.show();
        QSignalSpy spy(&form, &TMainForm::StatusHandled);
        auto shows = [&](std::initializer_list<int> screens) {
            return QTest::qWaitFor(
                [&] {
                    for (const auto& call : spy)
                        for (int s : screens)
                            if (call.at(0).value<uint16_t>() == s) return true;
                    return false;
                },
                5000);
        };
        form.actOpenComExecute(1);
        ASSERT_TRUE(shows({0}));
        EXPECT_EQ(form.StatusPanels[1]->text(), QStringLiteral("Remote connection: ON"));
        struct Step {
            QAction* action; // none: wait only
            std::initializer_list<int> screens;
        };
        const Step steps[] = {
            {form.actOperate, {1, 2}}, {form.actSet, {6}}, {form.actSet, {7}}, {form.actLeft, {7}},
            {form.actSet, {5}},        {nullptr, {6}},     {form.actLeft, {6}}, {form.actSet, {0}},
            {form.actDisplay, {3}},    {form.actDisplay, {4}},
        };
        for (const Step& step : steps) {
            spy.clear();
            if (step.action) step.action->trigger();
            EXPECT_TRUE(shows(step.screens)) << (step.action ? step.action->text().toStdString() : "wait");
        }
    }
    unsetenv("KALDOR_COM1");
}

} // namespace
