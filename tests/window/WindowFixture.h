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

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        amp.BindPort(1);
        settings = std::make_unique<TSettings>(settingsRoot.Application());
        form = std::make_unique<TMainForm>(*settings);
        form->InitLcd();
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    void TearDown() override {
        form.reset();
        for (int n = 1; n <= 6; ++n) UnsetEnv("KALDOR_COM" + std::to_string(n));
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

    TestSettingsRoot settingsRoot; // outlives the settings and the window
    TestAmp amp;
    std::unique_ptr<TSettings> settings;
    std::unique_ptr<TMainForm> form;
};

} // namespace kaldor::test
