// The console as a user runs it against the simulated amplifier: started as the program starts
// it, driven by its keyboard shortcuts, and checked on what its window shows.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>
#include <QToolButton>

#include <atomic>
#include <chrono>
#include <mutex>

#include "e2e/SimClock.h"
#include "panel/InfoDialogs.h"
#include "shell/MessageBox.h"
#include "sim/SimServer.h"
#include "support/StepSleeper.h"
#include "window/LcdReader.h"
#include "window/WindowFixture.h"

using namespace kaldor;
using namespace kaldor::test;

namespace {

constexpr int kWaitMs = 10000; // only a failing test waits this long

class EndToEnd : public ::testing::Test {
protected:
    // The simulator's line: a pseudo-terminal with DTR handed over, or (as --simulate on
    // Windows) a remote serial port on loopback, DTR travelling as SET-CONTROL.
    virtual bool Remote() const { return false; }

    void SetUp() override {
        ASSERT_TRUE(config.isValid());
        UseSettingsIn(config);
        std::string error;
        auto line = Remote() ? sim::OpenRfc2217Line("127.0.0.1", 0, error) : sim::OpenPseudoTerminal(error);
        ASSERT_TRUE(line) << error;
        sim::SimOptions options;
        options.Seed = 1; // its first transmit burst is a clean one
        // Slowed until the console is up, so that burst comes only when a test asks for it.
        clock.SetRate(0.25);
        server = std::make_unique<sim::SimServer>(std::move(line), options, [this] { return clock.Now(); });
        const std::string device = server->DevicePath();
        SetEnv("KALDOR_COM1", device);
        for (int n = 2; n <= TMainForm::PortCount; ++n) // no real devices probed
            SetEnv("KALDOR_COM" + std::to_string(n), "/nonexistent/kaldor");
        SerialPort::SetDtrObserver([this, device](const std::string& name, bool raised) {
            if (name != device) return;
            dtr = raised;
            if (!Remote()) server->SetDtr(raised);
        });
        server->Start();

        settings = std::make_unique<TSettings>(QStringLiteral("Kaldor_Console_Test"));
        settings->SaveComPort(1);
        form = std::make_unique<TMainForm>(*settings);
        CreateReportDialogs(form.get());
        ASSERT_TRUE(form->FormCreate());
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        ASSERT_TRUE(Until([&] { return form->stMode->text() == QStringLiteral("STANDBY MODE"); }));
        clock.SetRate(1.0);
    }
    void TearDown() override {
        form.reset();
        SerialPort::SetDtrObserver({});
        server.reset();
        for (int n = 1; n <= TMainForm::PortCount; ++n) UnsetEnv("KALDOR_COM" + std::to_string(n));
    }

    // A key as the user presses it in the main window: Alt and the key's letter (or sign).
    void Press(Qt::Key key) {
        form->activateWindow(); // a report dialog that came up has the focus
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        // Through the window system's door, as a real key: shortcuts are looked up from there.
        QTest::keyClick(form->windowHandle(), key, Qt::AltModifier);
    }
    static bool Until(const std::function<bool()>& pred) { return QTest::qWaitFor(pred, kWaitMs); }

    std::string LcdRow(int row) const { return reader.Text(form->imgLCD->Image(), row); }
    std::string LcdHighlight() const {
        std::string mask;
        for (int row = 0; row < 8; ++row) mask += reader.InverseMask(form->imgLCD->Image(), row);
        return mask;
    }
    // The text under the highlight.
    std::string Highlighted() const {
        std::string text;
        for (int row = 0; row < 8; ++row) {
            const std::string line = LcdRow(row), mask = reader.InverseMask(form->imgLCD->Image(), row);
            for (size_t c = 0; c < line.size(); ++c)
                if (mask[c] == '#') text += line[c];
        }
        return text;
    }
    void OffAndOn();
    bool Connected() const {
        return form->StatusPanels[1]->text() == QStringLiteral("Remote connection: ON");
    }

    QTemporaryDir config;
    SimClock clock;
    StepSleeper sleeper; // the power sequence's delays end when the test says so
    std::atomic<bool> dtr{false};
    std::unique_ptr<sim::SimServer> server;
    std::unique_ptr<TSettings> settings;
    std::unique_ptr<TMainForm> form;
    LcdReader reader;
};

TEST_F(EndToEnd, OperateShowsTheTransmitReadingsOnTheMetersAndStandbyEndsThem) {
    EXPECT_TRUE(Connected());
    EXPECT_EQ(form->Frm_PA->stLabel->text(), QStringLiteral("XCTR OUT"));
    EXPECT_FALSE(form->pnl_LCD->isVisible());

    Press(Qt::Key_O);
    ASSERT_TRUE(Until([&] { return form->stMode->text() == QStringLiteral("OPERATE MODE"); }));
    EXPECT_EQ(form->stMode->FontColor(), clYellow);
    EXPECT_EQ(form->stOperate->Color(), clYellow);
    EXPECT_EQ(form->Frm_PA->stLabel->text(), QStringLiteral("PA OUT"));
    EXPECT_EQ(form->Frm_PA->st100->text(), QStringLiteral("1200")); // full power

    clock.Jump(5.0); // to the first transmit burst
    ASSERT_TRUE(Until([&] { return form->stTX->Color() == clRed && form->Frm_PA->Value > 1000; }))
        << "TX lamp " << form->stTX->Color() << ", PA OUT " << form->Frm_PA->Value;
    EXPECT_GT(form->Frm_IPA->Value, 20); // amperes under load
    EXPECT_GT(form->Frm_VPA->Value, 400);
    EXPECT_GE(form->Frm_PA->Peak, form->Frm_PA->Value);
    EXPECT_NE(form->Frm_PA->stPeak->text(), QStringLiteral("   0.0"));
    EXPECT_EQ(form->stTX->FontColor(), clBlack);

    Press(Qt::Key_O);
    ASSERT_TRUE(Until([&] { return form->stMode->text() == QStringLiteral("STANDBY MODE"); }));
    EXPECT_EQ(form->Frm_PA->stLabel->text(), QStringLiteral("XCTR OUT"));
    EXPECT_EQ(form->Frm_PR->Value, 0); // switched off
    EXPECT_EQ(form->Frm_PR->stLabel->FontColor(), clGray);
    EXPECT_TRUE(Until([&] { return form->stTX->Color() == clBlack; }));
}

TEST_F(EndToEnd, SetupMenusShowOnTheDisplayAndTheArrowKeysMoveTheHighlight) {
    Press(Qt::Key_S);
    ASSERT_TRUE(Until([&] { return form->pnl_LCD->isVisible() && LcdRow(0).find("SETUP OPTIONS") != std::string::npos; }))
        << LcdRow(0);
    EXPECT_EQ(form->stSet->Color(), clLime);
    const std::string first = Highlighted();
    const std::string mask = LcdHighlight();
    EXPECT_NE(first.find("ANTENNA"), std::string::npos) << first;

    Press(Qt::Key_Plus);
    ASSERT_TRUE(Until([&] { return LcdHighlight() != mask; }));
    const std::string second = Highlighted();
    EXPECT_NE(second, first);
    EXPECT_NE(second.find_first_not_of(' '), std::string::npos) << "highlight on blanks only";

    Press(Qt::Key_Minus);
    ASSERT_TRUE(Until([&] { return LcdHighlight() == mask; })) << Highlighted();

    Press(Qt::Key_S); // into SET ANTENNA
    ASSERT_TRUE(Until([&] { return LcdRow(0).find("SET ANTENNA") != std::string::npos; })) << LcdRow(0);
    EXPECT_FALSE(form->stContest->isVisible());
}

TEST_F(EndToEnd, DisplayKeyShowsTheTwoReportDialogsInTurn) {
    ASSERT_NE(dlgCATInfo, nullptr);
    EXPECT_FALSE(dlgCATInfo->isVisible());
    Press(Qt::Key_D);
    ASSERT_TRUE(Until([&] { return dlgCATInfo->isVisible(); }));
    const QString cat = dlgCATInfo->edtInfo->toPlainText();
    EXPECT_FALSE(cat.trimmed().isEmpty());
    EXPECT_NE(dlgCATInfo->windowTitle().indexOf(QStringLiteral("CATs")), -1);

    Press(Qt::Key_D);
    ASSERT_TRUE(Until([&] { return dlgANTInfo->isVisible(); }));
    ASSERT_TRUE(Until([&] { return !dlgANTInfo->edtInfo->toPlainText().trimmed().isEmpty(); }));
    EXPECT_EQ(dlgANTInfo->ShownReport, 0);
    Press(Qt::Key_D); // the same report the other way round
    ASSERT_TRUE(Until([&] { return dlgANTInfo->ShownReport == 1; }));

    Press(Qt::Key_D);
    ASSERT_TRUE(Until([&] { return form->stMode->text() == QStringLiteral("STANDBY MODE"); }));
}

class EndToEndRemote : public EndToEnd {
    bool Remote() const override { return true; }
};

TEST_F(EndToEnd, OffSwitchesTheAmplifierOffAndOnBringsItBackThroughDtr) { OffAndOn(); }
TEST_F(EndToEndRemote, OffSwitchesTheAmplifierOffAndOnBringsItBackThroughDtr) { OffAndOn(); }

void EndToEnd::OffAndOn() {
    std::vector<MessageBoxCall> boxes;
    ScopedMessageBoxResponder answer([&](const MessageBoxCall& call) {
        boxes.push_back(call);
        return IDYES;
    });

    Press(Qt::Key_F);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, QStringLiteral("Do you really want to turn KALDOR off?"));
    EXPECT_FALSE(form->sbON->isEnabled());
    EXPECT_FALSE(form->sbOFF->isEnabled());
    ASSERT_TRUE(sleeper.WaitRequested(1));
    EXPECT_EQ(sleeper.Requested().back(), 2000);
    // The status bar follows only after two read time-outs; the check that ends OFF looks at once.
    ASSERT_TRUE(Until([&] { return !form->AmplifierAnswers(); })) << "the amplifier went on sending";
    sleeper.ReleaseNext();
    ASSERT_TRUE(Until([&] { return form->sbON->isEnabled(); }));
    EXPECT_EQ(boxes.size(), 1u) << "off, so no warning";

    Press(Qt::Key_N);
    EXPECT_FALSE(form->sbON->isEnabled());
    ASSERT_TRUE(sleeper.WaitRequested(2));
    EXPECT_EQ(sleeper.Requested().back(), form->ResponseDelay);
    sleeper.ReleaseNext(); // no answer: the power line goes up
    ASSERT_TRUE(Until([&] { return form->pnlInit->isVisible(); }));
    EXPECT_TRUE(dtr);
    EXPECT_EQ(form->pbInit->value(), 0);
    ASSERT_TRUE(sleeper.WaitRequested(3));
    EXPECT_EQ(sleeper.Requested().back(), form->StartupDelay);

    clock.Jump(sim::SimAmplifier::DtrPowerOnHold); // the amplifier's start-up, without the wait
    ASSERT_TRUE(Until([&] { return server->Powered() && form->AmplifierAnswers(); })) << "DTR came through";
    ASSERT_TRUE(Until([&] { return Connected() && form->stMode->text() == QStringLiteral("STANDBY MODE"); }));
    EXPECT_FALSE(form->sbON->isEnabled()) << "the sequence still runs";

    sleeper.ReleaseNext();
    ASSERT_TRUE(Until([&] { return !form->pnlInit->isVisible(); }));
    ASSERT_TRUE(form->itmShutdown->isChecked()); // the default
    EXPECT_TRUE(dtr) << "held up in the shutdown mode";
    ASSERT_TRUE(sleeper.WaitRequested(4));
    sleeper.ReleaseNext();
    ASSERT_TRUE(Until([&] { return form->sbON->isEnabled() && form->sbOFF->isEnabled(); }));
    EXPECT_TRUE(Connected());
    EXPECT_EQ(boxes.size(), 1u);
}

} // namespace
