// Switching the amplifier on and off: the key, DTR and link request effects of each step, with
// the one-shot delays stepped by the test instead of waited for.
#include <QAction>
#include <QProgressBar>
#include <QToolButton>

#include <mutex>

#include "WindowFixture.h"
#include "link/Frames.h"
#include "shell/MessageBox.h"
#include "support/StepSleeper.h"

using namespace kaldor;
using namespace kaldor::test;

namespace {

const Bytes kLinkRequest = FrameBytes(LinkRequestFrame());
const Bytes kOff = FrameBytes(KeyFrame(Key::Off));

class PowerTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        SerialPort::SetDtrObserver([this](const std::string&, bool raised) {
            std::lock_guard<std::mutex> lock(m);
            dtr.push_back(raised ? "up" : "down");
        });
        OpenLine();
        form->tmrWarning->stop(); // the start-up bar stays where the sequence puts it
        Dtr();                    // the low level after the open
        amp.Received(0, 0, 50);
    }
    void TearDown() override {
        form.reset();
        SerialPort::SetDtrObserver({});
        WindowTest::TearDown();
    }
    // DTR changes since the last call.
    std::vector<std::string> Dtr() {
        std::lock_guard<std::mutex> lock(m);
        std::vector<std::string> out;
        out.swap(dtr);
        return out;
    }
    bool KeysEnabled() const { return form->sbON->isEnabled() && form->sbOFF->isEnabled(); }
    bool KeysDisabled() const { return !form->sbON->isEnabled() && !form->sbOFF->isEnabled(); }

    ManualClock clock{3000.0}; // frozen: a status keeps the amplifier answering
    StepSleeper sleeper;
    std::mutex m;
    std::vector<std::string> dtr;
};

TEST_F(PowerTest, OnSequences) {
    using V = std::vector<std::string>;
    struct Case {
        bool ampOn, shutdownMode;
        std::vector<int> delays;
        V dtrAfterAnswer, dtrAfterStartup;
    };
    const Case cases[] = {
        {true, false, {500}, {}, {}},
        {true, true, {500}, {"up"}, {}},
        {false, false, {500, 6000, 500}, {"up"}, {"down"}},
        {false, true, {500, 6000, 500}, {"up"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.ampOn ? "on" : "off") + (c.shutdownMode ? ", shutdown mode" : ""));
        StepSleeper steps; // a fresh count of delays for each case
        form->itmShutdown->setChecked(c.shutdownMode);
        if (c.ampOn) {
            ASSERT_TRUE(Feed(StatusPayload().Screen(0)));
        } else {
            clock.AdvanceSeconds(2); // silent for longer than the link deadline
            ASSERT_TRUE(PokeUntil([&] { return form->ComThread->Screen == 30; }));
        }
        amp.Received(0, 0, 50);
        Dtr();

        form->actOn->trigger();
        EXPECT_TRUE(KeysDisabled());
        EXPECT_EQ(Hex(amp.Received(6)), Hex(kLinkRequest));
        ASSERT_TRUE(steps.WaitRequested(1));
        EXPECT_EQ(Dtr(), V{}) << "nothing before the answer is due";

        steps.ReleaseNext();
        ASSERT_TRUE(QTest::qWaitFor([&] { return steps.Requested().size() > 1 || KeysEnabled(); }, 3000));
        EXPECT_EQ(Dtr(), c.dtrAfterAnswer);
        if (c.ampOn) {
            EXPECT_TRUE(KeysEnabled());
            EXPECT_TRUE(form->pnlInit->isHidden());
        } else {
            EXPECT_TRUE(KeysDisabled());
            EXPECT_FALSE(form->pnlInit->isHidden());
            EXPECT_EQ(form->pbInit->value(), 0);
            steps.ReleaseNext();
            // The end handler needs the event loop: wait in it.
            ASSERT_TRUE(QTest::qWaitFor([&] { return steps.Requested().size() == 3; }, 3000));
            EXPECT_TRUE(form->pnlInit->isHidden());
            EXPECT_EQ(Dtr(), c.dtrAfterStartup);
            EXPECT_EQ(Hex(amp.Received(6)), Hex(kLinkRequest)) << "the second link request";
            EXPECT_TRUE(KeysDisabled());
            steps.ReleaseNext();
            EXPECT_TRUE(QTest::qWaitFor([&] { return KeysEnabled(); }, 3000));
        }
        EXPECT_EQ(steps.Requested(), c.delays);
        EXPECT_EQ(Hex(amp.Received(1, 100)), "") << "nothing more on the line";
        EXPECT_EQ(Dtr(), V{});
        form->ComPort.ClearDtr();
    }
}

TEST_F(PowerTest, OffAskedFirstThenCheckedTwoSecondsLater) {
    struct Case {
        int answer;
        bool silentAfter;
        bool boxAtEnd;
    };
    for (const Case& c : {Case{IDNO, false, false}, Case{IDYES, false, true}, Case{IDYES, true, false}}) {
        SCOPED_TRACE(std::to_string(c.answer) + (c.silentAfter ? " silent" : " reporting"));
        StepSleeper steps;
        ASSERT_TRUE(Feed(StatusPayload().Screen(0)));
        amp.Received(0, 0, 50);
        form->ComPort.SetDtr();
        Dtr();
        std::vector<MessageBoxCall> boxes;
        bool keysBackBeforeBox = false;
        ScopedMessageBoxResponder responder([&](const MessageBoxCall& call) {
            boxes.push_back(call);
            keysBackBeforeBox = KeysEnabled();
            return (call.Flags & MB_YESNO) ? c.answer : IDOK;
        });

        form->actOff->trigger();
        ASSERT_GE(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].Text, QStringLiteral("Do you really want to turn KALDOR off?"));
        EXPECT_EQ(boxes[0].Caption, QStringLiteral("KALDOR Console"));
        EXPECT_EQ(boxes[0].Flags, unsigned(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2));
        if (c.answer != IDYES) {
            EXPECT_EQ(Hex(amp.Received(1, 200)), "");
            EXPECT_EQ(Dtr(), std::vector<std::string>{});
            EXPECT_TRUE(KeysEnabled());
            EXPECT_TRUE(steps.Requested().empty());
            continue;
        }
        EXPECT_EQ(Dtr(), std::vector<std::string>{"down"}) << "DTR drops before the OFF frame";
        EXPECT_EQ(Hex(amp.Received(7)), Hex(kOff));
        EXPECT_TRUE(KeysDisabled());
        ASSERT_TRUE(steps.WaitRequested(1));
        EXPECT_EQ(steps.Requested(), std::vector<int>{2000});

        // The receiver still waits in its read: only the deadline tells that the line went quiet.
        if (c.silentAfter) clock.AdvanceSeconds(2);
        steps.ReleaseNext();
        ASSERT_TRUE(QTest::qWaitFor([&] { return KeysEnabled(); }, 3000));
        QTest::qWait(20);
        ASSERT_EQ(boxes.size(), c.boxAtEnd ? 2u : 1u);
        if (c.boxAtEnd) {
            EXPECT_EQ(boxes[1].Text, QStringLiteral("Cannot turn KALDOR off.\n"
                                                    "POWER held on by remote or by supply management system!"));
            EXPECT_EQ(boxes[1].Flags, unsigned(MB_OK | MB_ICONEXCLAMATION));
            EXPECT_TRUE(keysBackBeforeBox);
        }
        clock.AdvanceSeconds(-(c.silentAfter ? 2 : 0));
    }
}

// A console closed while a delay runs: the delay ends later and finds nobody to call.
TEST_F(PowerTest, ADelayOutlivingTheWindowCallsNothing) {
    clock.AdvanceSeconds(2);
    ASSERT_TRUE(PokeUntil([&] { return form->ComThread->Screen == 30; }));
    form->actOn->trigger();
    ASSERT_TRUE(sleeper.WaitRequested(1));
    form.reset();
    Dtr();
    sleeper.ReleaseNext();
    QTest::qWait(100);
    EXPECT_EQ(Dtr(), std::vector<std::string>{}) << "no end handler ran";
    EXPECT_EQ(sleeper.Requested().size(), 1u);
}

} // namespace
