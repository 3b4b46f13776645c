#pragma once
// A main window on the test amplifier's line, with settings of its own.
#include <gtest/gtest.h>

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

#include "panel/InfoDialogs.h"
#include "shell/Mainunit.h"
#include "shell/Settings.h"
#include "support/TestAmp.h"
#include "support/TestSettings.h"

namespace kaldor::test {

// Sends a status from that amplifier and waits until the window has handled its screen code.
inline bool FeedStatus(TMainForm& form, TestAmp& from, const StatusPayload& payload) {
    const uint16_t screen = payload.b[2];
    QSignalSpy spy(&form, &TMainForm::StatusHandled);
    from.Send(StatusFrame(payload));
    return QTest::qWaitFor(
        [&] {
            for (const auto& call : spy)
                if (call.at(0).value<uint16_t>() == screen) return true;
            return false;
        },
        3000);
}

// What every window test has: settings of its own, a window on them, and at the end the window
// gone first and the ports' environment cleared.
class WindowFixtureBase : public ::testing::Test {
protected:
    void TearDown() override {
        form.reset();
        for (int n = 1; n <= PortCount; ++n) UnsetEnv("KALDOR_COM" + std::to_string(n));
    }
    // The settings as a newly started console reads them.
    TSettings& FreshSettings() {
        settings = std::make_unique<TSettings>(settingsRoot.Application());
        return *settings;
    }
    // A new window (the old one goes first) on the current settings.
    TMainForm& NewWindow() {
        form.reset();
        if (!settings) FreshSettings();
        form = std::make_unique<TMainForm>(*settings);
        return *form;
    }

    TestSettingsRoot settingsRoot; // outlives the settings and the window
    std::unique_ptr<TSettings> settings;
    std::unique_ptr<TMainForm> form;
};

class WindowTest : public WindowFixtureBase {
protected:
    void SetUp() override {
        amp.BindPort(1);
        NewWindow();
        form->InitLcd();
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    // Opens COM1 and waits for the first status event: a noise byte ends the receiver's first
    // pass, which reports the lost link.
    void OpenLine() {
        QSignalSpy spy(form.get(), &TMainForm::StatusHandled);
        form->actOpenComExecute(1);
        amp.Send({0x00});
        ASSERT_TRUE(spy.wait(3000));
    }
    // Noise bytes end the receiver's passes on an otherwise quiet line until pred holds.
    bool PokeUntil(const std::function<bool()>& pred) {
        for (int i = 0; i < 100 && !pred(); ++i) {
            amp.Send({0x00});
            QTest::qWait(20);
        }
        return pred();
    }
    // Sends a status with that screen code and waits until the window has handled it.
    bool Feed(const StatusPayload& payload) { return FeedStatus(*form, amp, payload); }
    bool Feed(uint8_t screen) { return Feed(StatusPayload().Screen(screen)); }

    TestAmp amp;
};

} // namespace kaldor::test
