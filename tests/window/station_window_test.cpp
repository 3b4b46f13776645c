// The window on a line that kaldor-station shares: the station on a test amplifier, this window
// and another console over TLS as two operators, one watching while the other operates.
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
    TlsOptions other;
    other.CertificateFile = files.Cert("dk2xy");
    other.KeyFile = files.Key("dk2xy");
    other.StationFile = files.Cert("station");
    auto dk2xy = OpenAsWindow(2, address, other);
    ASSERT_TRUE(dk2xy && dk2xy->Line.IsOpen()) << (dk2xy ? dk2xy->Failure : "no answer");
    SerialPort& otherLine = dk2xy->Line;

    setenv("KALDOR_COM1", address.c_str(), 1);
    form->actOpenComExecute(1);
    ASSERT_TRUE(Shows("Watching: dk2xy operates", false)) << form->StatusPanels[3]->text().toStdString();
    EXPECT_TRUE(form->itmTakeControl->isVisible());
    EXPECT_EQ(form->StatusPanels[1]->text(), QStringLiteral("Remote connection: ON"));
    form->grab().save(QStringLiteral(KALDOR_BUILD_DIR "/station-watching.png"));

    // The watcher's key goes nowhere; the operator's reaches the amplifier, alone.
    amp.Received(0, 300); // the link request and set-up of the window's open
    QTest::keyClick(form.get(), Qt::Key_U, Qt::AltModifier);
    form->SendKey(Key::Tune);
    otherLine.Write(KeyFrame(Key::Operate).Bytes, KeyFrame(Key::Operate).Count);
    // Long enough quiet that a watcher's frame, had it gone through, would be in it.
    EXPECT_EQ(Hex(amp.Received(FrameBytes(KeyFrame(Key::Operate)).size(), 2000, 300)),
              Hex(FrameBytes(KeyFrame(Key::Operate))));

    ScopedMessageBoxResponder yes([](const MessageBoxCall&) { return IDYES; });
    form->itmTakeControl->trigger();
    ASSERT_TRUE(Shows("Operating", true));
    StationRole role;
    EXPECT_TRUE(QTest::qWaitFor([&] {
        uint8_t drain[256];
        otherLine.SetTimeouts(10);
        otherLine.Read(drain, sizeof drain); // the other console's receiver
        return otherLine.SharedRole(role) && !role.Operating && role.Holder == "dl1abc";
    }, 3000));
    form->SendKey(Key::Tune);
    EXPECT_EQ(Hex(amp.Received(FrameBytes(KeyFrame(Key::Tune)).size())), Hex(FrameBytes(KeyFrame(Key::Tune))));
}

} // namespace
} // namespace kaldor::test
