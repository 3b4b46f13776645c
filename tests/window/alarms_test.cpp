// The alarms as the amplifier raises them on the line: what is drawn outside the window (kind,
// text, sound), the tray's state, and the two settings.
#include <QAction>
#include <QDialog>
#include <QSignalSpy>
#include <functional>
#include <QMenu>
#include <QSystemTrayIcon>
#include <stdexcept>

#include "WindowFixture.h"
#include "notify/Alarms.h"
#include "shell/MessageBox.h"

using namespace kaldor;
using namespace kaldor::test;

namespace {

struct Call {
    AlarmKind kind;
    QString text;
    bool sound;
    bool operator==(const Call& o) const { return kind == o.kind && text == o.text && sound == o.sound; }
};

void PrintTo(const Call& c, std::ostream* os) {
    *os << static_cast<int>(c.kind) << " \"" << c.text.toStdString() << "\" sound " << c.sound;
}

class Recorder : public AlarmNotifier {
public:
    Recorder(std::vector<Call>& calls, bool fails) : calls_(calls), fails_(fails) {}
    void Notify(AlarmKind kind, const QString& text, bool sound) override {
        calls_.push_back({kind, text, sound});
        if (fails_) throw std::runtime_error("no notification service");
    }

private:
    std::vector<Call>& calls_;
    bool fails_;
};

StatusPayload Status(uint8_t screen, uint8_t flags = 0) {
    return StatusPayload().Screen(screen).Flags(flags).Byte(14, 0x40); // 20 m
}
const StatusPayload Standby = Status(0);
const StatusPayload Idle = Status(1, 0x12);                                      // operate, not sending
const StatusPayload HighReflected = Status(1, 0x16).Word(22, 9000).Word(24, 2500); // sending
const StatusPayload OverTemperature = Status(23, 0x08);
const StatusPayload NoBandNoAntenna = Status(0).Byte(14, 0x42).Byte(18, 0x04);
const QString Temp = QString::fromUtf8("OVER TEMPERATURE: TEMP > 90\xC2\xB0" "C");

// count statuses, each `after` seconds after the one before; lose: the line is quiet instead,
// and the receiver hands off a lost-link status each time (every read time-out on a real line);
// due: the clock moves on and the alarms' timer fires.
struct Step {
    double after;
    StatusPayload status;
    int count = 1;
    bool lose = false;
    bool due = false;
};

class AlarmsTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        OpenLine();
    }
    void TearDown() override {
        alarms.reset(); // before the window it belongs to
        WindowTest::TearDown();
    }
    void Attach(bool fails = false) {
        alarms.reset();
        alarms = std::make_unique<TAlarms>(*form, *settings, std::make_unique<Recorder>(calls, fails));
    }
    void Run(const std::vector<Step>& steps) {
        for (const Step& s : steps) {
            if (s.due) {
                EXPECT_TRUE(alarms->DuePending()) << "a notice held back has its timer";
                clock.AdvanceSeconds(s.after);
                alarms->DrawDue();
                continue;
            }
            for (int i = 0; s.lose && i < s.count; ++i) {
                clock.AdvanceSeconds(std::max(2.0, s.after));
                QSignalSpy handled(form.get(), &TMainForm::StatusHandled);
                ASSERT_TRUE(PokeUntil([&] { return !handled.isEmpty() && form->LastScreen == ScrNoLink; }));
            }
            if (s.lose) continue;
            for (int i = 0; i < s.count; ++i) {
                clock.AdvanceSeconds(s.after);
                ASSERT_TRUE(Feed(s.status));
            }
        }
    }
    ManualClock clock{3000.0};
    std::vector<Call> calls;
    std::unique_ptr<TAlarms> alarms;
};

} // namespace

// The timing of holds and repeats is the tracker's table; here what only the real line shows:
// the display's texts, the receiver's lost-link cadence and the timer of a notice held back.
TEST_F(AlarmsTest, EachOccurrenceIsDrawnOnceWithTheDisplaysText) {
    const auto A = AlarmKind::Alert, W = AlarmKind::Warning;
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::vector<Call> drawn;
    };
    const Case cases[] = {
        {"an alert held 10 s", {{0.5, Standby}, {0.5, OverTemperature, 20}}, {{A, Temp, true}}},
        {"the link lost and back", {{0.5, Standby}, {0, {}, 1, true}, {0.5, Standby, 3}},
         {{AlarmKind::LinkLost, "Link lost", false}, {AlarmKind::LinkBack, "Link back", false}}},
        {"the line quiet for 30 s, a lost-link status every read time-out: one loss",
         {{0.5, Standby}, {5, {}, 6, true}, {0.5, Standby}},
         {{AlarmKind::LinkLost, "Link lost", false}, {AlarmKind::LinkBack, "Link back", false}}},
        {"lost, back and lost again within 10 s: the operator is told it is down",
         {{0.5, Standby}, {0, {}, 1, true}, {0.5, Standby}, {0, {}, 1, true}, {10, {}, 1, false, true}},
         {{AlarmKind::LinkLost, "Link lost", false}, {AlarmKind::LinkBack, "Link back", false},
          {AlarmKind::LinkLost, "Link lost", false}}},
        {"the band and antenna warnings",
         {{0.5, NoBandNoAntenna, 4}},
         {{W, "BAND NOT PERMITTED", true}, {W, "20 m ANTENNA NOT AVAILABLE", true}}},
    };
    for (const Case& c : cases) {
        for (int i = 0; i < 3; ++i) { // the last case's warnings are over, their hold too
            clock.AdvanceSeconds(0.6);
            ASSERT_TRUE(Feed(Standby));
        }
        Attach();
        calls.clear();
        Run(c.steps);
        EXPECT_EQ(calls, c.drawn) << c.name;
    }
}

TEST_F(AlarmsTest, TheSettingsSilenceTheNotificationsOrTheSoundAndAreStored) {
    struct Case {
        bool notifications, sound;
        std::vector<Call> drawn;
    };
    const Case cases[] = {
        {true, true, {{AlarmKind::Alert, Temp, true}}},
        {true, false, {{AlarmKind::Alert, Temp, false}}},
        {false, true, {}},
        {false, false, {}},
    };
    for (const Case& c : cases) {
        const std::string at = std::to_string(c.notifications) + std::to_string(c.sound);
        Attach();
        // Through the items, as a click toggles them; sound first, while it can be clicked.
        alarms->itmNotifications->setChecked(true);
        alarms->itmNotificationsClick(true);
        if (alarms->itmAlertSound->isChecked() != c.sound) alarms->itmAlertSound->trigger();
        if (!c.notifications) alarms->itmNotifications->trigger();
        EXPECT_EQ(alarms->itmAlertSound->isEnabled(), c.notifications) << at;

        calls.clear();
        clock.AdvanceSeconds(0.5);
        ASSERT_TRUE(Feed(Standby));
        Run({{0.5, OverTemperature, 3}, {0.5, Standby}});
        EXPECT_EQ(calls, c.drawn) << at;

        TSettings stored(settings->Application()); // as the next start reads them
        EXPECT_EQ(stored.LoadNotifications(), c.notifications) << at;
        EXPECT_EQ(stored.LoadAlertSound(), c.sound) << at;
        TAlarms next(*form, stored, std::make_unique<Recorder>(calls, false));
        EXPECT_EQ(next.itmNotifications->isChecked(), c.notifications) << at;
        EXPECT_EQ(next.itmAlertSound->isChecked(), c.sound) << at;
        EXPECT_EQ(next.itmAlertSound->isEnabled(), c.notifications) << at;
    }
    EXPECT_EQ(alarms->itmNotifications->text(), QStringLiteral("&Notifications"));
    EXPECT_EQ(alarms->itmAlertSound->text(), QStringLiteral("Alert &sound"));
    EXPECT_TRUE(form->itmSetup->actions().contains(alarms->itmNotifications));
}

TEST_F(AlarmsTest, TheTrayShowsTheStateInItsColourAndTooltip) {
    Attach();
    struct Case {
        std::vector<Step> steps;
        TColor colour;
        const char* tip;
    };
    const Case cases[] = {
        {{}, clGray, "KALDOR M7-QX: no link"},
        {{{0.5, Status(0).Word(19, 125).Word(22, 50)}}, clLime, "KALDOR M7-QX: STANDBY, 20 m, 5 W, SWR 1.3"},
        {{{0.5, Status(1, 0x16).Word(19, 150).Word(22, 8500).Word(24, 70)}}, clYellow,
         "KALDOR M7-QX: OPERATE, 20 m, 850 W, SWR 1.2"},
        {{{0.5, Idle}}, clYellow, "KALDOR M7-QX: OPERATE, 20 m, 0 W"},
        {{{0.5, OverTemperature}}, clRed, "KALDOR M7-QX: ALERT, OVER TEMPERATURE: TEMP > 90\xC2\xB0" "C"},
        {{{0.5, Status(6)}}, clLime, "KALDOR M7-QX: SETUP, 20 m"},
        {{{0, {}, 1, true}}, clGray, "KALDOR M7-QX: no link"},
    };
    ASSERT_NE(alarms->TrayIcon, nullptr);
    for (const Case& c : cases) {
        Run(c.steps);
        EXPECT_EQ(alarms->TrayIcon->toolTip(), QString::fromUtf8(c.tip));
        const QImage image = alarms->TrayIcon->icon().pixmap(32, 32).toImage();
        EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2), c.colour.ToQColor()) << c.tip;
    }
}

TEST_F(AlarmsTest, TheTrayMenuShowsTheWindowAndExitAsksAsClosingDoes) {
    Attach();
    ASSERT_NE(alarms->TrayMenu, nullptr);
    QStringList items;
    for (QAction* a : alarms->TrayMenu->actions()) items << a->text();
    EXPECT_EQ(items, QStringList({"Show", "Exit"}));

    for (auto show : {std::function<void()>([&] { alarms->itmTrayShow->trigger(); }),
                      std::function<void()>([&] { emit alarms->TrayIcon->messageClicked(); })}) {
        form->showMinimized();
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->isMinimized(); }, 2000));
        show();
        EXPECT_FALSE(form->isMinimized());
        EXPECT_TRUE(form->isVisible());
    }

    std::vector<MessageBoxCall> asked;
    int answer = IDNO;
    ScopedMessageBoxResponder responder([&](const MessageBoxCall& call) {
        asked.push_back(call);
        return answer;
    });
    {
        QDialog devices(form.get()); // a dialog waiting for its answer keeps its port
        devices.setModal(true);
        devices.show();
        alarms->itmTrayExit->trigger();
        EXPECT_TRUE(asked.empty());
        EXPECT_TRUE(devices.isVisible());
    }
    alarms->itmTrayExit->trigger();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].Text, QStringLiteral("Do you really want to terminate this application?"));
    EXPECT_TRUE(form->isVisible()) << "No keeps the console";
    answer = IDYES;
    alarms->itmTrayExit->trigger();
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(AlarmsTest, TheTooltipsNumbersChangeTwiceASecondAtMostItsStateAtOnce) {
    Attach();
    Run({{0.5, Status(1, 0x16).Word(22, 8500)}});
    const QString at850 = alarms->TrayIcon->toolTip();
    Run({{0.1, Status(1, 0x16).Word(22, 9000)}});
    EXPECT_EQ(alarms->TrayIcon->toolTip(), at850) << "numbers 0.1 s later wait";
    EXPECT_TRUE(QTest::qWaitFor([&] { return alarms->TrayIcon->toolTip().contains(QStringLiteral("900 W")); }, 2000));
    Run({{0.1, OverTemperature}});
    EXPECT_EQ(alarms->TrayIcon->toolTip(), QString::fromUtf8("KALDOR M7-QX: ALERT, OVER TEMPERATURE: TEMP > 90\xC2\xB0" "C"));
}

TEST_F(AlarmsTest, TheSimulatedAmplifierIsNamedSoInTheTitleAndTheTray) {
    form->SetSimulated(true);
    Attach();
    EXPECT_TRUE(form->windowTitle().endsWith(QStringLiteral(" (simulated amplifier)"))) << form->windowTitle().toStdString();
    EXPECT_EQ(alarms->TrayIcon->toolTip(), QStringLiteral("KALDOR M7-QX: no link (simulated amplifier)"));
    form->SetSimulated(false);
    EXPECT_FALSE(form->windowTitle().contains(QStringLiteral("simulated")));
}

TEST_F(AlarmsTest, AFailingNotifierCostsNothing) {
    Attach(true);
    Run({{0.5, Standby}, {0.5, OverTemperature}, {0.5, Standby}, {0, {}, 1, true}, {0.5, HighReflected}});
    EXPECT_EQ(calls.size(), 4u) << "alert, link lost, link back, warning: each tried once";
    EXPECT_EQ(alarms->TrayIcon->toolTip(), QStringLiteral("KALDOR M7-QX: OPERATE, 20 m, 900 W, SWR 3.2"));
}
