// Start-up of the main window (settings, meters, port probe, first port, link request) and its
// closing (confirmation, link take-down order, saved placement); the single-instance signal.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QDir>
#include <QProgressBar>
#include <QRegularExpression>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "WindowFixture.h"
#include "link/PortList.h"
#include "link/Frames.h"
#include "link/SerialPort.h"
#include "link/PortNames.h"
#include "shell/DevicesDialog.h"
#include "shell/Mainunit.h"
#include "shell/MessageBox.h"
#include "shell/Settings.h"
#include "shell/SingleInstance.h"
#include "support/TestAmp.h"

using namespace kaldor;
using namespace kaldor::test;

namespace {

const Bytes kLinkRequest = {0x55, 0x55, 0x55, 0x01, 0x80, 0x80};
const QString kNoDefaultCom1 = QStringLiteral(
    "There was no valid serial port default configuration since last running.\n"
    "Please verify if the suggested choice (COM1) meets your need!");
// The outer frame the stored width and height include.
constexpr int kFrameW = 8;
constexpr int kFrameH = 46;

std::string Var(int n) { return "KALDOR_COM" + std::to_string(n); }

// The console's own lines of standard error, without the toolkit's.
std::string ConsoleLines(const std::string& err) {
    std::string lines, line;
    for (std::istringstream in(err); std::getline(in, line);)
        if (line.rfind("KALDOR Console: ", 0) == 0) lines += line + "\n";
    return lines;
}

class StartupTest : public WindowFixtureBase {
protected:
    void SetUp() override {
        for (int n = 1; n <= 6; ++n)
            SetEnv(Var(n), "/nonexistent/kaldor" + std::to_string(n));
        amp.BindPort(1);
    }
    void TearDown() override {
        SerialPort::SetDtrObserver({});
        WindowFixtureBase::TearDown();
        responder.reset();
    }

    QString ConfFile() const { return settingsRoot.StorePath(); }
    void Put(const char* name, const QVariant& value) {
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, "OLV", settingsRoot.Application());
        s.setValue(QLatin1String(name), value);
        s.sync();
    }
    QVariant Get(const char* name) const {
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, "OLV", settingsRoot.Application());
        return s.value(QLatin1String(name));
    }

    // A fresh window through its start-up, with every message box answered by the responder.
    bool Create() {
        form.reset();
        if (!responder)
            responder = std::make_unique<ScopedMessageBoxResponder>([this](const MessageBoxCall& c) {
                boxes.push_back(c);
                return (c.Flags & MB_YESNO) ? answer : IDOK;
            });
        FreshSettings();
        NewWindow();
        const bool ok = form->FormCreate();
        if (ok) {
            form->show();
            if (!QTest::qWaitForWindowExposed(form.get())) ADD_FAILURE() << "window not exposed";
            // The probes run off the window thread: the choice of port comes with the last.
            if (!QTest::qWaitFor([&] { return form->Created; }, 10000)) ADD_FAILURE() << "start-up never chose";
        }
        return ok;
    }

    bool FeedStatus(uint8_t screen, TestAmp& to) {
        return kaldor::test::FeedStatus(*form, to, StatusPayload().Screen(screen));
    }

    TestAmp amp;
    std::unique_ptr<ScopedMessageBoxResponder> responder;
    std::vector<MessageBoxCall> boxes;
    int answer = IDYES;
};

void ExpectMeter(const TFrmBar100* m, const char* label, int fullScale, const char* unit, TColor colour) {
    EXPECT_EQ(m->LabelText, label);
    EXPECT_EQ(m->FullScale, fullScale) << label;
    EXPECT_EQ(m->UnitText, unit) << label;
    EXPECT_EQ(m->ActiveColor, colour) << label;
    EXPECT_EQ(m->PeakColor, colour) << label;
    EXPECT_EQ(m->Value, 0) << label << " is off";
}

// --- First run and the settings read at start-up ----------------------------------------------

TEST_F(StartupTest, FirstRunOpensLowestFreePortStoresItAndProposesIt) {
    ASSERT_TRUE(Create());
    EXPECT_TRUE(form->ComPort.IsOpen());
    EXPECT_EQ(form->ComPort.PortNumber(), 1);
    EXPECT_NE(form->ComThread, nullptr);
    EXPECT_EQ(Get("DefaultComPort").toInt(), 1);
    EXPECT_EQ(form->StatusPanels[0]->text(), QStringLiteral("Serial port: COM1"));
    EXPECT_TRUE(form->actOpenCom[0]->isChecked());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, kNoDefaultCom1);
    EXPECT_EQ(boxes[0].Caption, QStringLiteral("KALDOR Console"));
    EXPECT_EQ(boxes[0].Flags, 0x30u);
    EXPECT_EQ(boxes[0].Parent, form.get());
    for (int n = 2; n <= 6; ++n) EXPECT_FALSE(form->actOpenCom[n - 1]->isEnabled()) << "COM" << n;
    EXPECT_TRUE(form->actOpenCom[0]->isEnabled());
#ifndef _WIN32 // a file here; the registry key on Windows, read back above
    EXPECT_TRUE(QFileInfo::exists(ConfFile())) << ConfFile().toStdString();
#endif
}

TEST_F(StartupTest, FirstRunDefaultsAndMeters) {
    ASSERT_TRUE(Create());
    EXPECT_EQ(form->StatusPanels[2]->text(), QStringLiteral("Auto shutdown: ON"));
    EXPECT_TRUE(form->itmShutdown->isChecked());
    EXPECT_EQ(form->StartupDelay, 6000);
    EXPECT_EQ(form->ResponseDelay, 500);
    EXPECT_EQ(form->LastScreen, 31);
    EXPECT_EQ(form->ReflectedHoldUntil, 0.0);
    EXPECT_EQ(form->PcDisplayUntil, 0.0);
    EXPECT_EQ(form->Client->size(), QSize(792, 404));
    ExpectMeter(form->Frm_PA, "PA OUT", 12000, " W pep", clLime);
    ExpectMeter(form->Frm_PR, "PW REV", 2000, " W pep", clYellow);
    ExpectMeter(form->Frm_VPA, "V PA", 600, " V", clAqua);
    ExpectMeter(form->Frm_IPA, "I PA", 500, " A", clInfoBk);
}

TEST_F(StartupTest, LinkRequestIsTheFirstAndOnlyThingOnTheLine) {
    ASSERT_TRUE(Create());
    EXPECT_EQ(Hex(amp.Received(6)), Hex(kLinkRequest));
    EXPECT_EQ(Hex(amp.Received(1, 300)), "") << "nothing after the link request";
}

TEST_F(StartupTest, ReceiverRunsBeforeTheAmplifiersFirstAnswer) {
    ASSERT_TRUE(Create());
    ASSERT_EQ(Hex(amp.Received(6)), Hex(kLinkRequest));
    EXPECT_TRUE(FeedStatus(1, amp)) << "the answer to the link request is not handled";
}

TEST_F(StartupTest, AutoShutdownStoredOffThenToggledOn) {
    Put("DefaultShutdown", 0);
    ASSERT_TRUE(Create());
    EXPECT_FALSE(form->itmShutdown->isChecked());
    EXPECT_EQ(form->StatusPanels[2]->text(), QStringLiteral("Auto shutdown: OFF"));

    QSignalSpy toggled(form->itmShutdown, &QAction::toggled);
    form->itmShutdown->trigger(); // as a click on the item
    EXPECT_EQ(toggled.count(), 1) << "one click, one change of the mark";
    EXPECT_TRUE(form->itmShutdown->isChecked());
    EXPECT_EQ(Get("DefaultShutdown").toInt(), 1);
    EXPECT_EQ(form->StatusPanels[2]->text(), QStringLiteral("Auto shutdown: ON"));

    form->itmShutdown->trigger();
    EXPECT_FALSE(form->itmShutdown->isChecked());
    EXPECT_EQ(Get("DefaultShutdown").toInt(), 0);
    EXPECT_EQ(form->StatusPanels[2]->text(), QStringLiteral("Auto shutdown: OFF"));
}

TEST_F(StartupTest, AutoShutdownStoredAsTextIsOn) {
    Put("DefaultShutdown", QStringLiteral("no"));
    ASSERT_TRUE(Create());
    EXPECT_TRUE(form->itmShutdown->isChecked());
    EXPECT_EQ(form->StatusPanels[2]->text(), QStringLiteral("Auto shutdown: ON"));
}

TEST_F(StartupTest, DelaysAreRoundedDownToWholeHundreds) {
    Put("DefaultStartupDelay", 6150);
    Put("DefaultResponseDelay", 99);
    ASSERT_TRUE(Create());
    EXPECT_EQ(form->StartupDelay, 6100);
    EXPECT_EQ(form->ResponseDelay, 0);

    Put("DefaultStartupDelay", 2550);
    Put("DefaultResponseDelay", 2550);
    ASSERT_TRUE(Create());
    EXPECT_EQ(form->StartupDelay, 2500);
    EXPECT_EQ(form->ResponseDelay, 2500);
    // The start-up bar gains StartupDelay / 500 per tick and stops at full.
    form->pbInit->setValue(0);
    form->tmrWarningTimer();
    EXPECT_EQ(form->pbInit->value(), 5);
    form->pbInit->setValue(98);
    form->tmrWarningTimer();
    EXPECT_EQ(form->pbInit->value(), 100);
    // The console never writes them back.
    EXPECT_EQ(Get("DefaultStartupDelay").toInt(), 2550);
}

// --- Placement ----------------------------------------------------------------------------------

TEST_F(StartupTest, IncompletePlacementIsNotApplied) {
    Put("ApplicationTop", 60);
    Put("ApplicationLeft", 70);
    Put("ApplicationHeight", 500);
    ASSERT_TRUE(Create());
    EXPECT_EQ(form->Client->size(), QSize(792, 404));
}

TEST_F(StartupTest, CompletePlacementSetsTheSize) {
    Put("ApplicationTop", 60);
    Put("ApplicationLeft", 70);
    Put("ApplicationHeight", 500);
    Put("ApplicationWidth", 780);
    ASSERT_TRUE(Create());
    EXPECT_EQ(form->Client->size(), QSize(780 - kFrameW, 500 - kFrameH));
}

TEST_F(StartupTest, OffScreenPlacementKeepsSizeButNotPosition) {
    Put("ApplicationTop", 60);
    Put("ApplicationLeft", 20000);
    Put("ApplicationHeight", 500);
    Put("ApplicationWidth", 780);
    ASSERT_TRUE(Create());
    EXPECT_EQ(form->Client->size(), QSize(772, 454));
    EXPECT_LT(form->frameGeometry().left(), 20000);
    EXPECT_LT(form->geometry().left(), 20000);
}

TEST_F(StartupTest, SettingsThatCannotBeWrittenAreSaidOnceAndTheConsoleRuns) {
#ifdef _WIN32
    GTEST_SKIP() << "the store is a registry key here, which a folder cannot block";
#endif
    ASSERT_TRUE(QDir().mkpath(ConfFile())); // a folder where the file belongs
    testing::internal::CaptureStderr();
    ASSERT_TRUE(Create());
    form->itmShutdown->trigger();
    form->itmShutdown->trigger();
    QCoreApplication::processEvents();
    const std::string err = ConsoleLines(testing::internal::GetCapturedStderr());
    EXPECT_EQ(Hex(amp.Received(6)), Hex(kLinkRequest));
    EXPECT_NE(form->ComThread, nullptr);
    const QString text = "The settings could not be written to " + ConfFile() + ".";
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].Text, kNoDefaultCom1);
    EXPECT_EQ(boxes[1].Text, text);
    EXPECT_EQ(err, "KALDOR Console: " + text.toStdString() + " They will not be kept.\n");
}

// --- The stored port ------------------------------------------------------------------------------

TEST_F(StartupTest, StoredFreePortIsOpenedSilently) {
    KALDOR_SKIP_WITHOUT_SECOND_LINE();
    TestAmp amp3;
    amp3.BindPort(3);
    Put("DefaultComPort", 3);
    ASSERT_TRUE(Create());
    EXPECT_TRUE(boxes.empty()) << boxes.front().Text.toStdString();
    EXPECT_EQ(form->ComPort.PortNumber(), 3);
    EXPECT_EQ(form->StatusPanels[0]->text(), QStringLiteral("Serial port: COM3"));
    EXPECT_TRUE(form->actOpenCom[2]->isChecked());
    EXPECT_TRUE(form->actOpenCom[0]->isEnabled());
    EXPECT_EQ(Get("DefaultComPort").toInt(), 3);
    EXPECT_EQ(Hex(amp3.Received(6)), Hex(kLinkRequest));
    EXPECT_EQ(Hex(amp.Received(1, 200)), "") << "COM1 was only probed";
}

TEST_F(StartupTest, StoredPortInUseFallsBackToLowestFreeAndSaysSo) {
    KALDOR_SKIP_WITHOUT_SECOND_LINE();
    TestAmp amp3;
    amp3.BindPort(3);
    SerialPort holder; // another program holding COM3
    ASSERT_TRUE(holder.Open(3, 9600, NOPARITY, 8, ONESTOPBIT, 4096, 4096));
    Put("DefaultComPort", 3);
    ASSERT_TRUE(Create());
    EXPECT_FALSE(form->actOpenCom[2]->isEnabled());
    EXPECT_TRUE(form->actOpenCom[0]->isEnabled());
    EXPECT_EQ(form->ComPort.PortNumber(), 1);
    EXPECT_EQ(form->StatusPanels[0]->text(), QStringLiteral("Serial port: COM1"));
    EXPECT_EQ(Get("DefaultComPort").toInt(), 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, kNoDefaultCom1);
    EXPECT_EQ(boxes[0].Flags, 0x30u);
    EXPECT_EQ(Hex(amp.Received(6)), Hex(kLinkRequest));
    EXPECT_EQ(Hex(amp3.Received(1, 200)), "");
    form.reset();
    holder.Close();
}

TEST_F(StartupTest, StoredPortOutOfRangeCountsAsNone) {
    Put("DefaultComPort", 7);
    ASSERT_TRUE(Create());
    EXPECT_EQ(form->ComPort.PortNumber(), 1);
    EXPECT_EQ(Get("DefaultComPort").toInt(), 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, kNoDefaultCom1);
}

// Opening a Bluetooth port tries to reach its paired device, for seconds: the probe leaves it be.
TEST_F(StartupTest, ABluetoothPortIsNotOpenedToSeeAndStaysChoosable) {
    for (const bool bluetooth : {true, false}) {
        SetEnv(Var(3), "/nonexistent/bluetooth3");
        SetPresentPortSource([bluetooth] {
            return std::vector<PresentPort>{{"/nonexistent/bluetooth3", "Standard Serial over Bluetooth link (COM3)", bluetooth}};
        });
        ASSERT_TRUE(Create());
        EXPECT_EQ(form->actOpenCom[2]->isEnabled(), bluetooth) << "probed only when not Bluetooth";
        EXPECT_EQ(form->ProbeFailures[2].empty(), bluetooth);
        SetPresentPortSource({});
        UnsetEnv(Var(3));
    }
}

TEST_F(StartupTest, OnlyFreePortIsCom2) {
    KALDOR_SKIP_WITHOUT_SECOND_LINE();
    TestAmp amp2;
    amp2.BindPort(2);
    SetEnv(Var(1), "/nonexistent/kaldor1");
    ASSERT_TRUE(Create());
    EXPECT_EQ(form->ComPort.PortNumber(), 2);
    EXPECT_EQ(Get("DefaultComPort").toInt(), 2);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].Text.endsWith(QStringLiteral("(COM2) meets your need!")))
        << boxes[0].Text.toStdString();
    EXPECT_EQ(Hex(amp2.Received(6)), Hex(kLinkRequest));
}

// No dead end: the box, then the window in the lost-link state; Devices... assigns a device to
// COM2, whose port can then be chosen and links up.
TEST_F(StartupTest, NoPortAtAllOpensTheLostLinkWithDevicesAtHand) {
    SetEnv(Var(1), "/nonexistent/kaldor1");
    UnsetEnv(Var(2));
    Put("ComDevice2", "/nonexistent/kaldor2");
    SetStoredDeviceLookup(FreshSettings().DeviceLookup());
    ASSERT_TRUE(Create());
    QCoreApplication::processEvents();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, QStringLiteral("This hardware configurations has no serial ports available!"));
    EXPECT_EQ(boxes[0].Caption, QStringLiteral("KALDOR Console"));
    EXPECT_EQ(boxes[0].Flags, 0x10u);
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->ComPort.IsOpen());
    ASSERT_NE(form->ComThread, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->StatusPanels[1]->text() == "Remote connection: OFF"; }, 3000));
    for (int n = 1; n <= 6; ++n) EXPECT_FALSE(form->actOpenCom[n - 1]->isEnabled()) << "COM" << n;
    EXPECT_FALSE(Get("DefaultComPort").isValid());
    EXPECT_EQ(Hex(amp.Received(1, 200)), "");

    ASSERT_TRUE(form->itmSerialPort->isEnabled());
    ASSERT_TRUE(form->itmDevices->isEnabled());
    form->itmDevices->trigger();
    auto* dialog = form->findChild<TDevicesDialog*>();
    ASSERT_TRUE(dialog);
    dialog->Device(2)->setEditText(QString::fromStdString(amp.DevicePath()));
    dialog->accept();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->actOpenCom[1]->isEnabled(); }, 3000))
        << "the assigned device opens: COM2 can be chosen";
    form->actOpenCom[1]->trigger();
    EXPECT_TRUE(form->ComPort.IsOpen());
    EXPECT_EQ(Get("DefaultComPort").toInt(), 2);
    amp.Send(StatusFrame(StatusPayload().Screen(0)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->StatusPanels[1]->text() == "Remote connection: ON"; }, 3000));
    form.reset();
    SetStoredDeviceLookup({});
}

TEST_F(StartupTest, OnlyThePortMeantForTheLinkIsReportedAndEveryReasonIsInTheDetails) {
    const auto reason = [](int n) {
        return QStringLiteral("COM%1 (/nonexistent/kaldor%1): No such file or directory").arg(n);
    };
#ifdef _WIN32
    // Windows words the missing device its own way: compared up to the system's words.
    const auto plain = [](QString t) {
        return t.replace(QRegularExpression(QStringLiteral("\\): [^\n]*")), QStringLiteral("): ?")).toStdString();
    };
#else
    const auto plain = [](const QString& t) { return t.toStdString(); };
#endif
    for (const int stored : {0, 3}) {
        boxes.clear();
        Put("DefaultComPort", stored);
        testing::internal::CaptureStderr();
        ASSERT_TRUE(Create());
        const std::string err = ConsoleLines(testing::internal::GetCapturedStderr());
        EXPECT_EQ(plain(QString::fromStdString(err)),
                  plain(stored ? "KALDOR Console: cannot open " + reason(3) + "\n" : QString()));
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].Text, kNoDefaultCom1);
        EXPECT_EQ(plain(boxes[0].Detail),
                  plain(QStringList({reason(2), reason(3), reason(4), reason(5), reason(6)}).join('\n')));
    }
}

// --- Closing ----------------------------------------------------------------------------------

TEST_F(StartupTest, ExitYesLowersDtrBeforeStoppingReceiverThenSavesPlacement) {
    ASSERT_TRUE(Create());
    ASSERT_EQ(Hex(amp.Received(6)), Hex(kLinkRequest));
    boxes.clear();

    struct Change {
        bool raised;
        bool receiverAlive;
    };
    std::mutex m;
    std::vector<Change> changes;
    TMainForm* f = form.get();
    SerialPort::SetDtrObserver([&](const std::string&, bool raised) {
        std::lock_guard<std::mutex> lock(m);
        changes.push_back({raised, f->ComThread != nullptr});
    });
    const QSize client = form->Client->size();
    const QRect frame = form->frameGeometry();
    answer = IDYES;
    EXPECT_TRUE(form->close());
    SerialPort::SetDtrObserver({});

    {
        std::lock_guard<std::mutex> lock(m);
        ASSERT_FALSE(changes.empty()) << "DTR never changed";
        EXPECT_FALSE(changes.front().raised);
        EXPECT_TRUE(changes.front().receiverAlive) << "DTR lowered only after the receiver was gone";
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, QStringLiteral("Do you really want to terminate this application?"));
    EXPECT_EQ(boxes[0].Caption, QStringLiteral("KALDOR Console"));
    EXPECT_EQ(boxes[0].Flags, 0x124u);
    EXPECT_EQ(form->ComThread, nullptr);
    EXPECT_FALSE(form->ComPort.IsOpen());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(Get("ApplicationTop").toInt(), frame.top());
    EXPECT_EQ(Get("ApplicationLeft").toInt(), frame.left());
    EXPECT_EQ(Get("ApplicationWidth").toInt(), client.width() + kFrameW);
    EXPECT_EQ(Get("ApplicationHeight").toInt(), client.height() + kFrameH);
    int t = 0, l = 0, h = 0, w = 0;
    EXPECT_TRUE(settings->LoadWindowPlacement(t, l, h, w));
}

TEST_F(StartupTest, SavedPlacementRestoresTheSameSize) {
    Put("ApplicationTop", 40);
    Put("ApplicationLeft", 30);
    Put("ApplicationHeight", 520);
    Put("ApplicationWidth", 760);
    ASSERT_TRUE(Create());
    answer = IDYES;
    ASSERT_TRUE(form->close());
    EXPECT_EQ(Get("ApplicationWidth").toInt(), 760);
    EXPECT_EQ(Get("ApplicationHeight").toInt(), 520);
    ASSERT_TRUE(Create());
    EXPECT_EQ(form->Client->size(), QSize(760 - kFrameW, 520 - kFrameH));
}

// A stored size past the screen is cut to the screen; the design size stays allowed.
TEST_F(StartupTest, StoredSizeIsLimitedToTheScreen) {
    Put("ApplicationTop", 10);
    Put("ApplicationLeft", 10);
    Put("ApplicationHeight", 100000);
    Put("ApplicationWidth", 100000);
    ASSERT_TRUE(Create());
    QSize screen;
    for (const QRect& area : TSettings::AvailableScreens()) screen = screen.expandedTo(area.size());
    const QSize client = form->Client->size();
    EXPECT_LE(client.width() + kFrameW, std::max(800, screen.width()));
    EXPECT_LE(client.height() + kFrameH, std::max(450, screen.height()));
    EXPECT_GE(client.width() + kFrameW, 800);
    EXPECT_GE(client.height() + kFrameH, 450);
}

TEST_F(StartupTest, ExitNoKeepsEverythingRunning) {
    ASSERT_TRUE(Create());
    ASSERT_EQ(Hex(amp.Received(6)), Hex(kLinkRequest));
    boxes.clear();
    answer = IDNO;
    EXPECT_FALSE(form->close());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Flags, 0x124u);
    EXPECT_TRUE(form->isVisible());
    EXPECT_NE(form->ComThread, nullptr);
    EXPECT_TRUE(form->ComPort.IsOpen());
    EXPECT_TRUE(FeedStatus(1, amp)) << "the receiver no longer handles statuses";
    EXPECT_FALSE(Get("ApplicationTop").isValid());
    EXPECT_FALSE(Get("ApplicationWidth").isValid());
}

TEST_F(StartupTest, ExitDuringPowerSequenceIsRefusedWithoutQuestion) {
    ASSERT_TRUE(Create());
    answer = IDYES;
    form->actOff->trigger(); // the OFF sequence: its delay runs for two seconds
    ASSERT_TRUE(form->PowerSequenceRunning);
    EXPECT_FALSE(form->sbOFF->isEnabled());
    boxes.clear();
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(form->isVisible());
    EXPECT_NE(form->ComThread, nullptr);
    EXPECT_TRUE(form->ComPort.IsOpen());
    EXPECT_FALSE(Get("ApplicationTop").isValid());
}

TEST_F(StartupTest, ExitMenuItemAsksLikeClosingTheWindow) {
    ASSERT_TRUE(Create());
    boxes.clear();
    answer = IDNO;
    form->itmExit->trigger();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, QStringLiteral("Do you really want to terminate this application?"));
    EXPECT_EQ(boxes[0].Flags, 0x124u);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->ComPort.IsOpen());

    answer = IDYES;
    form->itmExit->trigger();
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->ComThread, nullptr);
    EXPECT_FALSE(form->ComPort.IsOpen());
    EXPECT_TRUE(Get("ApplicationWidth").isValid());
}

// --- A second console --------------------------------------------------------------------------

TEST_F(StartupTest, SecondStartBringsFirstForwardAndWaitsForItsMessage) {
    ASSERT_TRUE(Create());
    boxes.clear();
    QTemporaryDir lockDir;
    ASSERT_TRUE(lockDir.isValid());
    TSingleInstance first(lockDir.path());
    ASSERT_TRUE(first.Acquire());
    std::atomic<bool> hookDone{false};
    first.OnOtherInstance = [&] {
        form->InstanceHook();
        hookDone = true;
    };
    TSingleInstance second(lockDir.path());
    EXPECT_FALSE(second.Acquire());

    form->showMinimized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->isMinimized(); }, 1000));

    std::atomic<bool> finished{false}, signalled{false}, hookBeforeReturn{false};
    std::thread starter([&] {
        signalled = second.SignalRunning();
        hookBeforeReturn = hookDone.load();
        finished = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return finished.load(); }, 5000)) << "second start hangs";
    starter.join();

    EXPECT_TRUE(signalled);
    EXPECT_TRUE(hookBeforeReturn) << "the second start ended before the message was shown";
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, QStringLiteral("Only one instance of this application is allowed to run!"));
    EXPECT_EQ(boxes[0].Caption, QStringLiteral("KALDOR Console"));
    EXPECT_EQ(boxes[0].Flags, 0x30u);
    EXPECT_EQ(boxes[0].Parent, form.get());
    EXPECT_FALSE(form->isMinimized());
    first.OnOtherInstance = nullptr;
}

TEST_F(StartupTest, ASecondStartRestoresAMaximisedConsoleMaximised) {
    ASSERT_TRUE(Create());
    form->showMaximized();
    form->showMinimized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->isMinimized(); }, 1000));
    form->InstanceHook();
    EXPECT_FALSE(form->isMinimized());
    EXPECT_TRUE(form->isMaximized());
}

TEST_F(StartupTest, ASecondStartDuringAStartUpBoxIsAnsweredOnceTheWindowIsWhole) {
    bool shownByHook = false;
    size_t boxesDuringCreate = 0;
    responder = std::make_unique<ScopedMessageBoxResponder>([&](const MessageBoxCall& c) {
        boxes.push_back(c);
        if (c.Text == kNoDefaultCom1) { // the signal comes while this box is open
            const bool visible = form->isVisible();
            form->InstanceHook();
            shownByHook = !visible && form->isVisible();
            boxesDuringCreate = boxes.size();
        }
        return IDOK;
    });
    ASSERT_TRUE(Create());
    EXPECT_FALSE(shownByHook);
    EXPECT_EQ(boxesDuringCreate, 1u);
    EXPECT_EQ(Hex(amp.Received(6)), Hex(kLinkRequest));
    QCoreApplication::processEvents();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].Text, QStringLiteral("Only one instance of this application is allowed to run!"));
}

} // namespace
