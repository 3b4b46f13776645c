// Windows on a line that kaldor-station shares: the station on a test amplifier, two consoles'
// windows over TLS as two operators, one watching while the other operates.
#include <QAction>
#include <QLabel>
#include <QStatusBar>
#include <QToolButton>

#include <filesystem>

#include "WindowFixture.h"
#include "shell/MessageBox.h"
#include "station/Station.h"
#include "support/TlsFiles.h"

namespace kaldor::test {
namespace {

class StationWindowTest : public WindowFixtureBase {
protected:
    void SetUp() override {
        files.Make("station", "station");
        for (const char* user : {"dl1abc", "dk2xy"}) {
            files.Make(user, user);
            const std::string dir = files.Dir() + "/auth/" + user + "/allowed_certs";
            std::filesystem::create_directories(dir);
            std::filesystem::copy_file(files.Cert(user), dir + "/" + user + ".crt");
        }
        station::StationOptions o;
        o.Device = amp.DevicePath();
        o.ListenHost = "127.0.0.1";
        o.ListenPort = "0";
        o.CertFile = files.Cert("station");
        o.KeyFile = files.Key("station");
        o.AuthDir = files.Dir() + "/auth";
        o.Operators = {"dl1abc", "dk2xy"};
        shared = std::make_unique<station::Station>(o, [](const std::string&) {});
        std::string error;
        ASSERT_TRUE(shared->Start(error)) << error;
        address = "rfc2217s://127.0.0.1:" + std::to_string(shared->TlsPort());

        SetStoredDeviceLookup(FreshSettings().DeviceLookup());
        settings->SaveTlsIdentity(files.Cert("dl1abc"), files.Key("dl1abc"));
        settings->SaveTlsStationFile(1, files.Cert("station"));
        NewWindow();
        form->InitLcd();
        form->show();
    }
    void TearDown() override {
        WindowFixtureBase::TearDown();
        SetStoredDeviceLookup({});
        unsetenv("KALDOR_COM1");
        shared.reset();
    }
    // The amplifier talks until the window shows what says.
    bool Shows(const char* role, bool keys) {
        return QTest::qWaitFor([&] {
            amp.Send(StatusFrame(StatusPayload().Screen(0)));
            return form->StatusPanels[3]->text() == role && form->sbTune->isEnabled() == keys;
        }, 5000);
    }

    TestAmp amp;
    TlsFiles files;
    std::unique_ptr<station::Station> shared;
    std::string address;
};

TEST_F(StationWindowTest, AWatcherSeesTheAmplifierSendsNothingAndTakesControlWhenConfirmed) {
    // The other console, dk2xy, with settings of its own: first on the line, it operates.
    TestSettingsRoot otherRoot;
    TSettings otherSettings(otherRoot.Application());
    otherSettings.SaveTlsIdentity(files.Cert("dk2xy"), files.Key("dk2xy"));
    otherSettings.SaveTlsStationFile(1, files.Cert("station"));
    setenv("KALDOR_COM1", address.c_str(), 1);
    TMainForm dk2xy(otherSettings);
    dk2xy.InitLcd();
    dk2xy.show();
    dk2xy.actOpenComExecute(1);
    ASSERT_TRUE(QTest::qWaitFor([&] {
        amp.Send(StatusFrame(StatusPayload().Screen(0)));
        return dk2xy.StatusPanels[3]->text() == "Operating";
    }, 5000)) << dk2xy.StatusPanels[3]->text().toStdString();

    form->actOpenComExecute(1);
    ASSERT_TRUE(Shows("Watching: dk2xy operates", false)) << form->StatusPanels[3]->text().toStdString();
    EXPECT_TRUE(form->itmTakeControl->isVisible());
    EXPECT_EQ(form->StatusPanels[1]->text(), QStringLiteral("Remote connection: ON"));
    form->grab().save(QStringLiteral(KALDOR_BUILD_DIR "/station-watching.png"));

    // The watcher's key goes nowhere; the operator's reaches the amplifier, alone. Long enough
    // quiet that a watcher's frame, had it gone through, would be in it.
    amp.Received(0, 300); // the operator's link request
    form->activateWindow(); // the keyboard's shortcuts go to the active window
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QTest::keyClick(form.get(), Qt::Key_U, Qt::AltModifier);
    form->SendKey(Key::Tune);
    dk2xy.SendKey(Key::Operate);
    EXPECT_EQ(Hex(amp.Received(FrameBytes(KeyFrame(Key::Operate)).size(), 2000, 300)),
              Hex(FrameBytes(KeyFrame(Key::Operate))));

    ScopedMessageBoxResponder yes([](const MessageBoxCall&) { return IDYES; });
    form->itmTakeControl->trigger();
    ASSERT_TRUE(Shows("Operating", true));
    EXPECT_TRUE(QTest::qWaitFor([&] { return dk2xy.StatusPanels[3]->text() == "Watching: dl1abc operates"; }, 3000));
    EXPECT_EQ(dk2xy.StatusBar->currentMessage(), QStringLiteral("dl1abc took control"));
    EXPECT_FALSE(dk2xy.sbOperate->isEnabled());
    form->SendKey(Key::Tune);
    EXPECT_EQ(Hex(amp.Received(FrameBytes(KeyFrame(Key::Tune)).size())), Hex(FrameBytes(KeyFrame(Key::Tune))));
}

} // namespace
} // namespace kaldor::test
