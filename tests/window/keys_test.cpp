#include <QAction>
#include <QMenu>
#include <QToolButton>

#include "WindowFixture.h"
#include "link/Frames.h"
#include "shell/MessageBox.h"

using namespace kaldor;
using namespace kaldor::test;

namespace {

struct KeyCase {
    const char* button;
    Key key;
    Qt::Key shortcutKey;
    Qt::KeyboardModifiers modifiers;
};

const KeyCase kKeys[] = {
    {"sbLMinus", Key::LMinus, Qt::Key_L, Qt::ControlModifier},
    {"sbLPlus", Key::LPlus, Qt::Key_L, Qt::AltModifier},
    {"sbCMinus", Key::CMinus, Qt::Key_C, Qt::ControlModifier},
    {"sbCPlus", Key::CPlus, Qt::Key_C, Qt::AltModifier},
    {"sbTune", Key::Tune, Qt::Key_U, Qt::AltModifier},
    {"sbIN", Key::In, Qt::Key_I, Qt::AltModifier},
    {"sbBandMinus", Key::BandMinus, Qt::Key_B, Qt::ControlModifier},
    {"sbBandPlus", Key::BandPlus, Qt::Key_B, Qt::AltModifier},
    {"sbANT", Key::Ant, Qt::Key_A, Qt::AltModifier},
    {"sbCAT", Key::Cat, Qt::Key_T, Qt::AltModifier},
    {"sbLeft", Key::Left, Qt::Key_Minus, Qt::AltModifier},
    {"sbRight", Key::Right, Qt::Key_Plus, Qt::AltModifier},
    {"sbSET", Key::Set, Qt::Key_S, Qt::AltModifier},
    {"sbPower", Key::Power, Qt::Key_P, Qt::AltModifier},
    {"sbDisplay", Key::Display, Qt::Key_D, Qt::AltModifier},
    {"sbOperate", Key::Operate, Qt::Key_O, Qt::AltModifier},
};

} // namespace

TEST_F(WindowTest, EveryKeyButtonAndShortcutWritesExactlyItsFrame) {
    OpenLine();
    amp.Received(0, 0, 50); // what start-up left on the line
    for (const KeyCase& k : kKeys) {
        auto* button = form->findChild<QToolButton*>(QString::fromLatin1(k.button));
        ASSERT_NE(button, nullptr) << k.button;
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(Hex(amp.Received(FrameBytes(KeyFrame(k.key)).size())), Hex(FrameBytes(KeyFrame(k.key))))
            << k.button << " clicked";
        QTest::keyClick(form.get(), k.shortcutKey, k.modifiers);
        EXPECT_EQ(Hex(amp.Received(FrameBytes(KeyFrame(k.key)).size())), Hex(FrameBytes(KeyFrame(k.key))))
            << k.button << " by shortcut";
    }
}

TEST_F(WindowTest, KeysAreSentWhileTheLinkIsLost) {
    OpenLine();
    ASSERT_EQ(form->ComThread->Screen, 30);
    amp.Received(0, 0, 50);
    QTest::keyClick(form.get(), Qt::Key_U, Qt::AltModifier);
    EXPECT_EQ(Hex(amp.Received(7)), Hex(FrameBytes(KeyFrame(Key::Tune))));
}

TEST_F(WindowTest, LeftAndRightHoldThePowerLevelDisplayOnlyOnTheOperateScreens) {
    ManualClock clock(500.0);
    OpenLine();
    ASSERT_TRUE(Feed(0));
    form->PcDisplayUntil = 0.0;
    form->actLeft->trigger();
    EXPECT_EQ(form->PcDisplayUntil, 0.0) << "standby";
    ASSERT_TRUE(Feed(1));
    form->actRight->trigger();
    EXPECT_DOUBLE_EQ(form->PcDisplayUntil, 500.0 + 3 * OneSecond);
    form->PcDisplayUntil = 0.0;
    ASSERT_TRUE(Feed(2));
    clock.AdvanceSeconds(0.5); // within the link deadline, or the receiver reports it lost
    form->actLeft->trigger();
    EXPECT_DOUBLE_EQ(form->PcDisplayUntil, clock.Value() + 3 * OneSecond);
}

TEST_F(WindowTest, ChoosingAPortRestartsTheLinkOnIt) {
    KALDOR_SKIP_WITHOUT_SECOND_LINE();
    TestAmp amp3;
    amp3.BindPort(3);
    OpenLine();
    form->actOpenCom[2]->trigger();
    // The old receiver's address may be reused by the new one: look at what it listens to.
    ASSERT_NE(form->ComThread.get(), nullptr);
    EXPECT_EQ(form->ComThread->Port.PortNumber(), 3) << "a new receiver on COM3";
    EXPECT_TRUE(form->actOpenCom[2]->isChecked());
    for (int i : {0, 1, 3, 4, 5}) EXPECT_FALSE(form->actOpenCom[i]->isChecked());
    EXPECT_EQ(form->StatusPanels[0]->text(), QStringLiteral("Serial port: COM3"));
    EXPECT_EQ(settings->LoadComPort(), 3);
    // COM1 was closed: another program can have it now.
    SerialPort other;
    EXPECT_TRUE(other.Open(1, 9600, NOPARITY, 8, ONESTOPBIT, 4096, 4096));
    other.Close();
    // Keys go out on COM3, and statuses from COM3 reach the window.
    QTest::keyClick(form.get(), Qt::Key_P, Qt::AltModifier);
    EXPECT_EQ(Hex(amp3.Received(7)), Hex(FrameBytes(KeyFrame(Key::Power))));
    amp3.Send(StatusFrame(StatusPayload().Screen(0)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->StatusPanels[1]->text() == "Remote connection: ON"; }, 3000));
}

TEST_F(WindowTest, APortThatCannotOpenShowsTheLostLinkAndIsStillChosen) {
    qputenv("KALDOR_COM4", "/nonexistent/kaldor-tty");
    OpenLine();
    ASSERT_TRUE(Feed(0));
    EXPECT_EQ(form->StatusPanels[1]->text(), QStringLiteral("Remote connection: ON"));
    form->actOpenCom[3]->trigger();
    EXPECT_TRUE(form->actOpenCom[3]->isChecked());
    EXPECT_EQ(form->StatusPanels[0]->text(), QStringLiteral("Serial port: COM4"));
    EXPECT_EQ(settings->LoadComPort(), 4);
    ASSERT_NE(form->ComThread.get(), nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->StatusPanels[1]->text() == "Remote connection: OFF"; }, 3000))
        << "a port that did not open fails every read at once";
}

// Alt+F is OFF's, as its hint says; the File menu stays on the mouse and F10.
TEST_F(WindowTest, AltFPressesOffNotTheFileMenu) {
    ScopedMessageBoxResponder no([](const MessageBoxCall&) { return IDNO; });
    QSignalSpy off(form->actOff, &QAction::triggered);
    QTest::keyClick(form.get(), Qt::Key_F, Qt::AltModifier);
    EXPECT_EQ(off.count(), 1);
    EXPECT_FALSE(form->itmFile->isVisible());
}
