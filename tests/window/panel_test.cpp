// Standby, operate and no link, and the indicator fields, as statuses from the test amplifier
// show them.
#include <QProgressBar>

#include "WindowFixture.h"

using namespace kaldor;
using namespace kaldor::test;

namespace {

// Byte 14: input bit 0, out of band bit 1, band high nibble; byte 18: antenna low, CAT high.
StatusPayload Status(uint8_t screen, uint8_t flags = 0) { return StatusPayload().Screen(screen).Flags(flags); }

QString Win1252(const char* text) { return QString::fromLatin1(text); }

// A meter's reading as the test tables give it: -1 for a meter switched off (dimmed, at 0).
int Reading(const TFrmBar100* m) { return m->stLabel->FontColor() == m->InactiveColor ? -1 : m->Value; }

class PanelTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        OpenLine();
    }
    ManualClock clock{2000.0}; // frozen: the link stays up between statuses
    TMainForm& f() { return *form; }
};

TEST_F(PanelTest, StandbyAndOperateSetUpTheMetersAndFeedThem) {
    struct Step {
        uint8_t screen, flags;
        uint16_t out, refl, volt, amps;
        const char* mode;
        TColor modeColour;
        const char* caption;
        int fullScale;
        int pr, vpa, ipa;
    };
    const Step steps[] = {
        {0, 0x00, 150, 7, 8, 9, "STANDBY MODE", clLime, "XCTR OUT", 2000, -1, -1, -1},
        {1, 0x10, 9000, 300, 480, 210, "OPERATE MODE", clYellow, "PA OUT", 12000, 300, 480, 210},
        {2, 0x10, 9100, 310, 481, 211, "OPERATE MODE", clYellow, "PA OUT", 12000, 310, 481, 211},
        {2, 0x00, 4000, 100, 470, 150, "OPERATE MODE", clYellow, "PA OUT", 6000, 100, 470, 150},
        {0, 0x00, 20, 7, 8, 9, "STANDBY MODE", clLime, "XCTR OUT", 2000, -1, -1, -1},
    };
    for (const Step& s : steps) {
        SetVisible(f().pnl_LCD, true);
        f().stSet->SetColor(clYellow);
        ASSERT_TRUE(Feed(Status(s.screen, s.flags).Word(22, s.out).Word(24, s.refl).Word(26, s.volt).Word(28, s.amps)));
        const std::string at = "screen " + std::to_string(s.screen) + " flags " + std::to_string(s.flags);
        EXPECT_EQ(f().LastScreen, s.screen) << at;
        EXPECT_EQ(f().stMode->Caption(), QString::fromLatin1(s.mode)) << at;
        EXPECT_EQ(f().stMode->FontColor(), s.modeColour) << at;
        EXPECT_TRUE(f().pnl_LCD->isHidden()) << at;
        EXPECT_EQ(f().Frm_PA->stLabel->Caption(), QString::fromLatin1(s.caption)) << at;
        EXPECT_EQ(f().Frm_PA->FullScale, s.fullScale) << at;
        EXPECT_EQ(Reading(f().Frm_PA), s.out) << at;
        EXPECT_EQ(Reading(f().Frm_PR), s.pr) << at;
        EXPECT_EQ(Reading(f().Frm_VPA), s.vpa) << at;
        EXPECT_EQ(Reading(f().Frm_IPA), s.ipa) << at;
        EXPECT_EQ(f().stSet->Color(), clBlack) << at;
    }
}

TEST_F(PanelTest, SwrOutsideOperateAndGainInOperate) {
    struct Case {
        uint8_t screen;
        uint16_t value;
        const char* label;
        const char* text;
        TColor colour;
    };
    const Case cases[] = {
        {0, 99, "SWR", "--.--", clLime},        {0, 100, "SWR", "1.00", clLime},
        {0, 169, "SWR", "1.69", clLime},        {0, 170, "SWR", "1.70", clYellow},
        {0, 199, "SWR", "1.99", clYellow},      {0, 200, "SWR", "2.00", clRed},
        {0, 1005, "SWR", "10.05", clRed},       {0, 9998, "SWR", "99.98", clRed},
        {0, 9999, "SWR", ">99.99", clRed},      {25, 150, "SWR", "1.50", clLime},
        {1, 0, "PA GAIN", "--.-- dB", clLime},  {1, 99, "PA GAIN", "<10.0 dB", clYellow},
        {2, 100, "PA GAIN", "10.0 dB", clLime}, {1, 153, "PA GAIN", "15.3 dB", clLime},
        {1, 200, "PA GAIN", "20.0 dB", clLime}, {1, 201, "PA GAIN", ">20.0 dB", clYellow},
    };
    for (const Case& c : cases) {
        if (c.screen == 25) {
            ASSERT_TRUE(Feed(Status(0)));
        }
        ASSERT_TRUE(Feed(Status(c.screen).Word(19, c.value)));
        EXPECT_EQ(f().lblSWR_Gain->Caption(), QString::fromLatin1(c.label)) << c.value;
        EXPECT_EQ(f().stSWR_Gain->Caption(), QString::fromLatin1(c.text)) << c.value;
        EXPECT_EQ(f().stSWR_Gain->FontColor(), c.colour) << c.value;
    }
}

TEST_F(PanelTest, LampsPowerTemperatureAndNames) {
    struct Case {
        uint8_t flags, byte14, byte18, temp;
        TColor tune, tx, op, alarm;
        const char *power, *temperature, *input, *band, *antenna, *cat;
        TColor powerColour, catColour;
    };
    const TColor K = clBlack;
    const Case cases[] = {
        {0x00, 0x00, 0x00, 95, K, K, K, K, "HALF", "95 \xB0" "F", "1", "160 m", "1", "OLV", clLime, clLime},
        {0x9F, 0x41, 0x34, 35, clYellow, clRed, clYellow, clRed, "FULL", "35 \xB0" "C", "2", "20 m", "NO", "YAESU",
         clYellow, clLime},
        {0x16, 0x90, 0x78, 0, K, clRed, clYellow, K, "FULL", "0 \xB0" "F", "1", "6 m", "1 ", "NONE", clYellow, clYellow},
        // Past the name lists: empty texts.
        {0x00, 0xF0, 0xFD, 255, K, K, K, K, "HALF", "255 \xB0" "F", "1", "", "", "", clLime, clLime},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(Feed(Status(0, c.flags).Byte(14, c.byte14).Byte(18, c.byte18).Byte(21, c.temp)));
        const std::string at = "flags " + std::to_string(c.flags);
        EXPECT_EQ(f().stON->Color(), clLime) << at;
        EXPECT_EQ(f().stON->FontColor(), clBlack) << at;
        const std::pair<TStaticText*, TColor> lamps[] = {
            {f().stTune, c.tune}, {f().stTX, c.tx}, {f().stOperate, c.op}, {f().stAlarm, c.alarm}};
        for (const auto& [lamp, colour] : lamps) {
            EXPECT_EQ(lamp->Color(), colour) << at << " " << lamp->objectName().toStdString();
            EXPECT_EQ(lamp->FontColor(), colour == K ? clGray : clBlack) << at;
        }
        EXPECT_EQ(f().stPower->Caption(), Win1252(c.power)) << at;
        EXPECT_EQ(f().stPower->FontColor(), c.powerColour) << at;
        EXPECT_EQ(f().stTemp->Caption(), Win1252(c.temperature)) << at;
        EXPECT_EQ(f().stInput->Caption(), Win1252(c.input)) << at;
        EXPECT_EQ(f().stBand->Caption(), Win1252(c.band)) << at;
        EXPECT_EQ(f().stAntenna->Caption(), Win1252(c.antenna)) << at;
        EXPECT_EQ(f().stCAT->Caption(), Win1252(c.cat)) << at;
        EXPECT_EQ(f().stCAT->FontColor(), c.catColour) << at;
    }
}

// Antenna 4 is "no antenna"; the warnings show only where the amplifier shows its bar graphs
// or manual tune.
TEST_F(PanelTest, AntennaAndBandWarningsPerScreen) {
    for (uint8_t screen : {0, 1, 2, 13, 25, 26}) {
        const bool shown = screen <= 2 || screen == 13;
        ASSERT_TRUE(Feed(Status(screen).Byte(14, 0x42).Byte(18, 0x04)));
        EXPECT_EQ(!f().stWarning->isHidden(), shown) << int(screen);
        EXPECT_EQ(!f().stOutBand->isHidden(), shown) << int(screen);
        EXPECT_EQ(f().stWarning->Caption(), QStringLiteral("20 m ANTENNA NOT AVAILABLE"));
        EXPECT_EQ(f().stAntenna->FontColor(), clYellow);
        EXPECT_EQ(f().stBand->FontColor(), clYellow);
    }
    ASSERT_TRUE(Feed(Status(0).Byte(14, 0x40).Byte(18, 0x01)));
    EXPECT_TRUE(f().stWarning->isHidden());
    EXPECT_TRUE(f().stOutBand->isHidden());
    EXPECT_EQ(f().stAntenna->FontColor(), clLime);
    EXPECT_EQ(f().stBand->FontColor(), clLime);
    EXPECT_EQ(f().stOutBand->Caption(), QStringLiteral("BAND NOT PERMITTED"));
}

// The window's state that the station log and the notifications read follows what it shows.
TEST_F(PanelTest, LinkAlertAndWarningStateFollowsTheWindow) {
    struct Case {
        const char* name;
        StatusPayload status;
        bool link, alert, antenna, band, reflected;
    } cases[] = {
        {"standby, all well", Status(0).Byte(14, 0x40).Byte(18, 0x01), true, false, false, false, false},
        {"no antenna, out of band", Status(0).Byte(14, 0x42).Byte(18, 0x04), true, false, true, true, false},
        {"transmitting into a bad load", Status(2, FlagTx).Byte(18, 0x01).Word(24, 3000), true, false, false, false, true},
        {"alert", Status(23, FlagAlarm).Byte(18, 0x04), true, true, false, false, true},
        {"lost link", Status(30), false, false, false, false, false},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(Feed(c.status)) << c.name;
        EXPECT_EQ(f().LinkUp, c.link) << c.name;
        EXPECT_EQ(f().AlertShown, c.alert) << c.name;
        EXPECT_EQ(f().Warnings.Antenna, c.antenna) << c.name;
        EXPECT_EQ(f().Warnings.Band, c.band) << c.name;
        EXPECT_EQ(f().Warnings.Reflected, c.reflected) << c.name;
        EXPECT_EQ(f().Warnings.Antenna, !f().stWarning->isHidden()) << c.name;
        EXPECT_EQ(f().Warnings.Band, !f().stOutBand->isHidden()) << c.name;
        EXPECT_EQ(f().Warnings.Reflected, !f().stPWRev->isHidden()) << c.name;
    }
}

TEST_F(PanelTest, HighReflectedPowerHoldsOneSecondButEndsAtOnceBelow2000WhileTransmitting) {
    struct Step {
        double after; // seconds since the previous status
        uint8_t screen, flags;
        uint16_t reflected;
        bool shown;
    };
    const Step steps[] = {
        {0.0, 1, 0x16, 2500, true},  {0.5, 1, 0x12, 2500, true},  {0.49, 0, 0x00, 0, true},
        {0.02, 0, 0x00, 0, false},   {0.1, 2, 0x16, 2000, true},  {0.1, 2, 0x16, 1999, false},
        {0.1, 1, 0x16, 2600, true},  {0.9, 1, 0x16, 2100, true},  {0.9, 1, 0x12, 0, true},
        {0.2, 1, 0x12, 0, false},
    };
    for (const Step& s : steps) {
        clock.AdvanceSeconds(s.after);
        ASSERT_TRUE(Feed(Status(s.screen, s.flags).Word(24, s.reflected)));
        EXPECT_EQ(!f().stPWRev->isHidden(), s.shown) << s.after << " " << s.reflected;
        if (s.shown) {
            EXPECT_EQ(f().stPWRev->Caption(), QStringLiteral("HIGH REFLECTED POWER"));
        }
    }
}

TEST_F(PanelTest, PowerLevelReadoutForThreeSecondsAfterLeftOrRightInOperate) {
    const StatusPayload flex = Status(1).Byte(18, 0x50).ScreenData(10, 7);
    ASSERT_TRUE(Feed(flex));
    EXPECT_TRUE(f().stFlex->isHidden()) << "before any key";
    f().actRight->trigger();
    struct Step {
        double after;
        StatusPayload status;
        bool shown;
    };
    const Step steps[] = {
        {0.0, flex, true},
        {2.9, flex, true},
        {0.0, Status(0).Byte(18, 0x50), false},        // standby
        {0.0, Status(2).Byte(18, 0x40), false},        // another CAT interface
        {0.0, Status(2).Byte(18, 0x50).ScreenData(10, 100), true},
        {0.2, flex, false},                            // three seconds are over
    };
    for (const Step& s : steps) {
        clock.AdvanceSeconds(s.after);
        ASSERT_TRUE(Feed(s.status));
        EXPECT_EQ(!f().stFlex->isHidden(), s.shown) << s.after;
    }
    f().actLeft->trigger();
    ASSERT_TRUE(Feed(flex));
    EXPECT_EQ(f().stFlex->Caption(), QStringLiteral("PC=007"));
    EXPECT_TRUE(f().stFlex->isVisible());
}

TEST_F(PanelTest, NoLinkDimsOnceAndTheLinkBackRestores) {
    ASSERT_TRUE(Feed(Status(1, 0x1F).Byte(14, 0x40).Word(22, 500).Word(24, 40)));
    clock.AdvanceSeconds(2); // past the link deadline
    ASSERT_TRUE(PokeUntil([&] { return f().LastScreen == 30; }));
    for (TFrmBar100* m : {f().Frm_PA, f().Frm_PR, f().Frm_VPA, f().Frm_IPA}) EXPECT_EQ(Reading(m), -1);
    for (TStaticText* lamp : {f().stAlarm, f().stTune, f().stSet, f().stON, f().stOperate, f().stTX}) {
        EXPECT_EQ(lamp->Color(), clBlack) << lamp->objectName().toStdString();
        EXPECT_EQ(lamp->FontColor(), clGray);
    }
    for (TStaticText* v : {f().stInput, f().stBand, f().stAntenna, f().stCAT, f().stPower, f().stSWR_Gain, f().stTemp})
        EXPECT_EQ(v->FontColor(), clGray) << v->objectName().toStdString();
    EXPECT_EQ(f().stBand->Caption(), QStringLiteral("20 m")) << "the last texts stay";
    EXPECT_EQ(f().stMode->Caption(), QString());

    f().stBand->SetFontColor(clLime);
    QSignalSpy spy(form.get(), &TMainForm::StatusHandled);
    ASSERT_TRUE(PokeUntil([&] { return spy.count() > 0; }));
    EXPECT_EQ(f().stBand->FontColor(), clLime) << "a second no-link status changes nothing";

    ASSERT_TRUE(Feed(Status(1, 0x1F).Byte(14, 0x40).Word(22, 500)));
    EXPECT_EQ(f().stMode->Caption(), QStringLiteral("OPERATE MODE"));
    EXPECT_EQ(f().stMode->FontColor(), clYellow);
    EXPECT_EQ(Reading(f().Frm_PA), 500);
    EXPECT_EQ(f().stTX->Color(), clRed);
    EXPECT_EQ(f().stBand->FontColor(), clLime);
}

TEST_F(PanelTest, TheTimerBlinksTheWarningsWhetherShownOrNot) {
    ASSERT_TRUE(Feed(Status(0).Byte(14, 0x42)));
    ASSERT_FALSE(f().stOutBand->isHidden());
    ASSERT_TRUE(f().stPWRev->isHidden());
    f().tmrWarning->stop(); // the test ticks it
    for (TColor expected : {clGray, clYellow, clGray}) {
        f().tmrWarningTimer();
        for (TStaticText* w : {f().stWarning, f().stOutBand, f().stPWRev})
            EXPECT_EQ(w->FontColor(), expected) << w->objectName().toStdString();
    }
    ASSERT_TRUE(Feed(Status(1, 0x16).Word(24, 3000)));
    EXPECT_EQ(f().stPWRev->FontColor(), clGray) << "a warning that appears keeps the blink's colour";
}

} // namespace
