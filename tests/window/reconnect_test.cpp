// A link that comes back and reaches far: the console on a ser2net, on a recording RFC 2217
// server, reconnecting a local device behind a symbolic link, and the Devices dialog.
#include <sys/resource.h>
#include <unistd.h>

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QStatusBar>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <filesystem>

#include "WindowFixture.h"
#include "link/PortNames.h"
#include "link/Rfc2217Port.h"
#include "shell/DevicesDialog.h"
#include "shell/MessageBox.h"
#include "support/RemoteServers.h"

namespace kaldor::test {
namespace {


// What the console wrote, while the window thread keeps running its timers.
Bytes ReceivedWhileRunning(TestAmp& amp, size_t count, int ms) {
    Bytes got;
    (void)QTest::qWaitFor([&] {
        const Bytes more = amp.Received(0, 0, 5);
        got.insert(got.end(), more.begin(), more.end());
        return got.size() >= count;
    }, ms);
    return got;
}

// The longest the window thread went without running a 10 ms timer, over ms.
qint64 LongestStallMs(int ms) {
    QElapsedTimer since;
    qint64 worst = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        worst = std::max(worst, since.restart());
    });
    tick.start(10);
    since.start();
    QTest::qWait(ms);
    return std::max(worst, since.elapsed());
}

int ThreadCount() {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                          std::filesystem::directory_iterator()));
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

class ReconnectTest : public WindowFixtureBase {
protected:
    void SetUp() override {
        SetStoredDeviceLookup(FreshSettings().DeviceLookup());
        NewWindow();
        form->InitLcd();
        form->show();
    }
    void TearDown() override {
        WindowFixtureBase::TearDown();
        SetStoredDeviceLookup({});
    }
    // Waits until the window has handled a status with that screen code.
    bool WaitScreen(uint16_t screen, int ms) {
        QSignalSpy spy(form.get(), &TMainForm::StatusHandled);
        return QTest::qWaitFor([&] {
            for (const auto& call : spy)
                if (call.at(0).value<uint16_t>() == screen) return true;
            return false;
        }, ms);
    }
    // Port 1 on device, chosen as from the menu.
    void Choose(const std::string& device) {
        setenv("KALDOR_COM1", device.c_str(), 1);
        form->actOpenComExecute(1);
    }
    // A remote server opens off the window thread: waits until it has, the receiver running.
    bool Opened() {
        return QTest::qWaitFor([&] { return !form->ComOpener->Pending() && form->ComThread; }, 3000) &&
               form->ComPort.IsOpen();
    }
    bool Opens(const std::string& device) {
        Choose(device);
        return Opened();
    }

    QTemporaryDir config; // the test's own device links
};

TEST_F(ReconnectTest, ConsoleThroughSer2netLinksUpAndComesBack) {
    ASSERT_TRUE(Ser2net::Installed()) << "ser2net is missing: tools/packages.txt installs it";
    TestAmp amp;
    Ser2net ser2net(amp.DevicePath());
    ASSERT_TRUE(ser2net.Start());
    ASSERT_TRUE(Opens(ser2net.Address()));

    StatusPayload status;
    status.Screen(1).Word(22, 0xFFFF); // 0xFF on the line
    ASSERT_TRUE(FeedStatus(*form, amp, status));
    form->actTune->trigger();
    EXPECT_EQ(Hex(amp.Received(FrameBytes(KeyFrame(Key::Tune)).size())),
              Hex(FrameBytes(KeyFrame(Key::Tune))));

    ser2net.Stop();
    EXPECT_TRUE(WaitScreen(ScrNoLink, 2500));
    ASSERT_TRUE(ser2net.Start());
    const Bytes request = FrameBytes(LinkRequestFrame());
    EXPECT_EQ(Hex(ReceivedWhileRunning(amp, request.size(), 4000)), Hex(request));
    EXPECT_TRUE(FeedStatus(*form, amp, status));
    EXPECT_EQ(form->ChosenPort, 1);
    EXPECT_EQ(QSettings(QSettings::NativeFormat, QSettings::UserScope, "OLV", settingsRoot.Application())
                  .value("DefaultComPort").toInt(), 1);
}

TEST_F(ReconnectTest, WindowStaysResponsiveWhileTheServerIsAway) {
    ASSERT_TRUE(Ser2net::Installed()) << "ser2net is missing: tools/packages.txt installs it";
    const int threads = ThreadCount();
    for (const bool silent : {false, true}) { // a closed listener refuses; a silent one never answers
        SCOPED_TRACE(silent ? "silent" : "closed");
        TestAmp amp;
        Ser2net ser2net(amp.DevicePath());
        ASSERT_TRUE(ser2net.Start());
        ASSERT_TRUE(Opens(ser2net.Address()));
        ASSERT_TRUE(FeedStatus(*form, amp, StatusPayload().Screen(1)));

        ser2net.Stop();
        auto away = silent ? std::make_unique<SilentListener>(ser2net.Port()) : nullptr;
        EXPECT_TRUE(WaitScreen(ScrNoLink, 2500));
        EXPECT_LT(LongestStallMs(3000), 200);
        EXPECT_TRUE(form->Reconnecting);

        away.reset();
        ASSERT_TRUE(ser2net.Start());
        const Bytes request = FrameBytes(LinkRequestFrame());
        EXPECT_EQ(Hex(ReceivedWhileRunning(amp, request.size(), 5000)), Hex(request));
        EXPECT_TRUE(FeedStatus(*form, amp, StatusPayload().Screen(2)));
        EXPECT_FALSE(form->Reconnecting);
        form->StopReceiver();
    }
    form.reset();
    EXPECT_EQ(ThreadCount(), threads) << "a thread outlived the window";
}

TEST_F(ReconnectTest, UnpluggedDeviceBehindALinkComesBack) {
    const std::string link = (config.path() + "/by-id-amp").toStdString();
    auto amp = std::make_unique<TestAmp>();
    std::filesystem::create_symlink(amp->DevicePath(), link);
    Choose(link);
    ASSERT_TRUE(form->ComPort.IsOpen());
    ASSERT_TRUE(FeedStatus(*form, *amp, StatusPayload().Screen(1)));

    // Unplugged: the stable name goes first, as udev removes it; the freed pseudo-terminal
    // number may be handed to another program meanwhile, which the console must not open.
    std::filesystem::remove(link);
    amp.reset();
    EXPECT_TRUE(WaitScreen(ScrNoLink, 1500));
    const double cpu0 = CpuSeconds();
    QTest::qWait(1200);
    EXPECT_LT(CpuSeconds() - cpu0, 0.4) << "the console spins while the device is away";

    auto again = std::make_unique<TestAmp>(); // plugged in again, maybe as another device
    std::filesystem::create_symlink(again->DevicePath(), link);
    const Bytes request = FrameBytes(LinkRequestFrame());
    EXPECT_EQ(Hex(ReceivedWhileRunning(*again, request.size(), 3000)), Hex(request));
    EXPECT_TRUE(FeedStatus(*form, *again, StatusPayload().Screen(2)));
}

TEST_F(ReconnectTest, ChoosingAPortEndsReconnecting) {
    const int unused = FreeLoopbackPort();
    Choose("rfc2217://127.0.0.1:" + std::to_string(unused));
    EXPECT_FALSE(form->ComPort.IsOpen());
    QTest::qWait(1100);
    EXPECT_TRUE(form->Reconnecting);
    TestAmp amp;
    amp.BindPort(2);
    form->actOpenComExecute(2);
    EXPECT_FALSE(form->Reconnecting);
    EXPECT_EQ(form->ChosenPort, 2);
    EXPECT_EQ(form->ComPort.DeviceName(), amp.DevicePath());
}

// Remote servers are opened off the window thread: six that accept and never answer hold
// neither the start-up nor the Devices dialog's re-probe; the stored port opens once tried.
TEST_F(ReconnectTest, ServersThatNeverAnswerHoldNeitherStartUpNorDevices) {
    std::vector<std::unique_ptr<HostileServer>> servers;
    for (int n = 1; n <= 6; ++n) {
        servers.push_back(std::make_unique<HostileServer>(HostileServer::Kind::Silent));
        setenv(("KALDOR_COM" + std::to_string(n)).c_str(), servers.back()->Address().c_str(), 1);
    }
    settings->SaveComPort(3);
    QElapsedTimer took;
    took.start();
    ASSERT_TRUE(form->FormCreate());
    EXPECT_LT(took.elapsed(), 300);
    EXPECT_TRUE(Opened());
    EXPECT_EQ(form->ComPort.PortNumber(), 3);
    for (QAction* a : form->actOpenCom) EXPECT_TRUE(a->isEnabled());
    took.restart();
    form->DevicesChanged({1, 2, 4, 5, 6});
    EXPECT_LT(took.elapsed(), 100);
}

TEST_F(ReconnectTest, AFloodingServerHoldsNeitherAKeyNorTheExit) {
    HostileServer server(HostileServer::Kind::FloodsOptionRequests);
    ASSERT_TRUE(Opens(server.Address()));
    QTest::qWait(300); // the server's window and ours fill up
    QElapsedTimer took;
    took.start();
    for (int i = 0; i < 5; ++i) form->actTune->trigger();
    EXPECT_LT(took.elapsed(), 5 * 100);
    ScopedMessageBoxResponder yes([](const MessageBoxCall&) { return IDYES; });
    took.restart();
    EXPECT_TRUE(form->close());
    EXPECT_LT(took.elapsed(), 1000);
}

TEST_F(ReconnectTest, PowerSequenceAndCloseDriveDtrOnTheRemoteLine) {
    RecordingServer server;
    ASSERT_TRUE(Opens(server.Address()));
    const size_t opened = server.Commands().size();
    form->itmShutdown->setChecked(false); // ON gives a DTR pulse
    form->ResponseDelay = 0;
    form->StartupDelay = 0;
    form->actOn->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->actOn->isEnabled(); }, 3000));
    ScopedMessageBoxResponder yes([](const MessageBoxCall&) { return IDYES; });
    EXPECT_TRUE(form->close());
    using namespace telnet;
    ASSERT_TRUE(server.WaitUntil([&](auto& c, auto&) { return c.size() >= opened + 3; }));
    std::vector<int> controls;
    for (size_t i = opened; i < server.Commands().size(); ++i)
        controls.push_back(server.Commands()[i].Value.at(0));
    EXPECT_EQ(controls, (std::vector<int>{DTR_ON, DTR_OFF, DTR_OFF}));
    EXPECT_EQ(controls.size() + opened, server.Commands().size());
}

// A station's word on control, as the window shows it; a take-over names the holder the user
// confirmed.
TEST_F(ReconnectTest, AStationsWordOnControlSetsTheKeysAndTheTakeOver) {
    RecordingServer station;
    Point(station.Address());
    form->actOpenComExecute(1);
    ASSERT_TRUE(Opened());
    using namespace telnet;
    auto say = [&](const std::string& text) {
        Bytes out = SignatureCommand(SIGNATURE + SERVER_OFFSET, text);
        const Bytes frame = StatusFrame(StatusPayload().Screen(0)); // ends the receiver's pass
        TelnetCodec::AppendEscaped(frame.data(), frame.size(), out);
        station.SendRaw(out);
    };
    auto shows = [&](const char* text, bool keys, bool offered) {
        return QTest::qWaitFor([&] {
            return form->StatusPanels[3]->text() == text && form->sbTune->isEnabled() == keys &&
                   form->actOn->isEnabled() == keys && form->itmTakeControl->isVisible() == offered;
        }, 3000);
    };
    struct Case {
        const char* said;
        const char* shown;
        bool keys, offered;
    };
    const Case cases[] = {
        {"kaldor-station watching - operator", "Watching: nobody operates", false, true},
        {"kaldor-station operating operator", "Operating", true, false},
        {"kaldor-station watching dl1abc", "Watching: dl1abc operates", false, false},
        {"ser2net v4", "Watching: dl1abc operates", false, false}, // not a station's word
        {"kaldor-station watching dl1abc operator", "Watching: dl1abc operates", false, true},
    };
    for (const Case& c : cases) {
        say(c.said);
        ASSERT_TRUE(shows(c.shown, c.keys, c.offered)) << c.said << ": " << form->StatusPanels[3]->text().toStdString();
    }
    QTest::keyClick(form.get(), Qt::Key_U, Qt::AltModifier); // TUNE while watching: disabled
    form->SendKey(Key::Tune); // a marker: what the shortcut sent would come before it
    std::vector<MessageBoxCall> boxes;
    int answer = IDNO;
    ScopedMessageBoxResponder responder([&](const MessageBoxCall& c) {
        boxes.push_back(c);
        return answer;
    });
    form->itmTakeControl->trigger();
    answer = IDYES;
    form->itmTakeControl->trigger();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].Text, QStringLiteral("dl1abc operates the amplifier.\nTake control from dl1abc?"));
    const auto takeOvers = [](const std::vector<RecordingServer::Command>& commands) {
        return std::count_if(commands.begin(), commands.end(), [](auto& c) { return c.Code == SIGNATURE; });
    };
    ASSERT_TRUE(station.WaitUntil([&](auto& c, auto&) { return takeOvers(c) == 1; }));
    const auto last = station.Commands().back();
    EXPECT_EQ(std::string(last.Value.begin(), last.Value.end()), "take-control dl1abc");
    EXPECT_EQ(Hex(station.Data()), Hex(FrameBytes(KeyFrame(Key::Tune)))) << "the shortcut sent nothing";

    say("kaldor-station operating operator");
    ASSERT_TRUE(shows("Operating", true, false));
    say("kaldor-station watching dk2xy operator");
    ASSERT_TRUE(shows("Watching: dk2xy operates", false, true));
    EXPECT_EQ(form->StatusBar->currentMessage(), QStringLiteral("dk2xy took control"));
    EXPECT_EQ(takeOvers(station.Commands()), 1);
}

TEST_F(ReconnectTest, DevicesDialogStoresWhatTheNextChoiceOpens) {
    TestAmp amp;
    setenv("KALDOR_COM3", "/dev/ttyS9", 1);
    form->SetPortUsable(2, false); // the probe found nothing on COM2
    form->itmDevices->trigger();
    auto* dialog = form->findChild<TDevicesDialog*>();
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(dialog->Device(3)->isEnabled());
    EXPECT_EQ(dialog->Device(3)->currentText(), "/dev/ttyS9");
    dialog->Device(2)->setEditText(QString::fromStdString(amp.DevicePath()));
    dialog->Device(5)->setEditText(" rfc2217://[::1]:3000 ");
    dialog->accept();
    EXPECT_EQ(settings->LoadComDevice(2), amp.DevicePath());
    EXPECT_EQ(settings->LoadComDevice(5), "rfc2217://[::1]:3000");
    EXPECT_EQ(settings->LoadComDevice(3), "");
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->actOpenCom[1]->isEnabled(); }, 3000))
        << "the new device opens: COM2 can be chosen";

    form->actOpenComExecute(2);
    form->SendLinkRequest();
    EXPECT_EQ(Hex(amp.Received(FrameBytes(LinkRequestFrame()).size())), Hex(FrameBytes(LinkRequestFrame())));

    // Emptied, the port falls back to its default.
    TDevicesDialog again(*settings, form.get());
    again.Device(5)->setEditText("");
    again.accept();
    EXPECT_EQ(again.Changed(), QList<int>{5});
    EXPECT_EQ(PortDeviceName(5), DefaultPortDevice(5));
}

TEST(DeviceChoices, StableNamesFirstThenDevicesInNumericOrder) {
    QTemporaryDir root;
    QDir dir(root.path());
    dir.mkpath("serial/by-id");
    for (const char* name : {"ttyS10", "ttyS2", "ttyS0", "ttyACM0", "ttyUSB1", "tty0", "null"})
        QFile(dir.filePath(name)).open(QIODevice::WriteOnly);
    QFile::link("../../ttyUSB1", dir.filePath("serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2-if00-port0"));
    QStringList got;
    for (const DeviceChoice& c : DeviceChoices(root.path())) got << c.Label;
    const QString byId = dir.filePath("serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2-if00-port0");
    EXPECT_EQ(got, (QStringList{"FTDI FT232R USB UART A1B2 (ttyUSB1): " + byId,
                                dir.filePath("ttyUSB1"), dir.filePath("ttyACM0"),
                                dir.filePath("ttyS0"), dir.filePath("ttyS2"), dir.filePath("ttyS10")}));
}

// The note under a port fixed from outside names what fixed it: --simulate sets COM1 itself.
TEST(DevicesDialog, APortSetFromOutsideSaysWhatSetIt) {
    // Linux only, as this whole program: the real application names are read in a folder of
    // the test's own.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    setenv("KALDOR_COM1", "rfc2217://127.0.0.1:4000", 1);
    setenv("KALDOR_COM2", "/dev/ttyS7", 1);
    struct Row {
        const char* application;
        int port;
        const char* note;
    };
    for (const Row& row : {Row{TSettings::kSimulatedApplication, 1, "Set by --simulate (the simulated amplifier)"},
                           Row{TSettings::kSimulatedApplication, 2, "Set by the environment variable KALDOR_COM2"},
                           Row{TSettings::kApplication, 1, "Set by the environment variable KALDOR_COM1"}}) {
        TSettings settings{QString::fromLatin1(row.application)};
        TDevicesDialog dialog(settings);
        EXPECT_FALSE(dialog.Device(row.port)->isEnabled());
        EXPECT_EQ(dialog.Device(row.port)->toolTip(), QString::fromLatin1(row.note)) << row.application;
        QStringList labels;
        for (const QLabel* l : dialog.findChildren<QLabel*>()) labels << l->text();
        EXPECT_TRUE(labels.contains(QString::fromLatin1(row.note))) << labels.join('|').toStdString();
    }
    unsetenv("KALDOR_COM1");
    unsetenv("KALDOR_COM2");
}

} // namespace
} // namespace kaldor::test
