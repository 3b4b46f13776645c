// The menu, tune, alert and history screens as the amplifier's statuses draw them.
#include <QSlider>

#include "LcdReader.h"
#include "WindowFixture.h"

using namespace kaldor;
using namespace kaldor::test;

namespace {

const std::string kDashes(40, '-');
const std::string kBlank(40, ' ');

class ScreensTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        OpenLine();
    }
    std::string Row(int row, int col = 0, int len = 40) const {
        return lcd.Text(form->imgLCD->Image(), row, col, len);
    }
    std::string Inverse(int row) const { return lcd.InverseMask(form->imgLCD->Image(), row); }
    // Marks cells of the display; a status that redraws them wipes the mark.
    void Mark(int col, int row, int len = 3) { form->LcdTextOut(col, row, false, std::string(len, '@')); }
    bool Marked(int col, int row, int len = 3) const { return Row(row, col, len) == std::string(len, '@'); }
    // Leaves the screen for one that draws in full on its return.
    void Leave() { ASSERT_TRUE(Feed(5)); }
    static StatusPayload Setup(uint8_t screen, uint8_t selected, int index = 1) {
        return StatusPayload().Screen(screen).ScreenData(index, selected);
    }
    static std::string Mask(int from, int to) {
        std::string m(40, ' ');
        for (int c = from; c <= to; ++c) m[static_cast<size_t>(c)] = '#';
        return m;
    }
    LcdReader lcd;
};

TEST_F(ScreensTest, SetupOptionsDrawsTitleMenuValueBoxesAndLamps) {
    ASSERT_TRUE(Feed(Setup(6, 4).Flags(FlagContest | FlagCelsius).Header(0xA1)));
    EXPECT_EQ(Row(0), "-------- SETUP OPTIONS vs. IN 1 --------");
    EXPECT_EQ(Row(1, 15, 17), " CONTEST         ");
    EXPECT_EQ(Inverse(1), Mask(15, 31));
    EXPECT_EQ(Row(1, 13, 2) + Row(1, 32, 2), "    ");
    EXPECT_EQ(Row(5) + Inverse(5), kBlank + kBlank);
    EXPECT_EQ(Row(6), " -------- CONTEST MODE On/Off --------- ");
    EXPECT_EQ(Row(7), " [<-] [->]:SELECT         [SET]:CHANGE  ");
    EXPECT_EQ(form->stMode->Caption(), "SETUP MODE");
    EXPECT_EQ(form->stMode->FontColor(), clAqua);
    EXPECT_EQ(form->stSet->Color(), clLime);
    EXPECT_EQ(form->stSet->FontColor(), clBlack);
    EXPECT_EQ(form->stSWR_Gain->FontColor(), clLime);
    EXPECT_TRUE(form->stFlex->isHidden());
    EXPECT_TRUE(form->pnl_LCD->isVisible());
    const QString texts[] = {"On ", "Off", "Operate", QString::fromUtf8("\u00B0C ")};
    int top = 31;
    int i = 0;
    for (TStaticText* box : {form->stContest, form->stBeep, form->stStartup, form->stCelsius}) {
        EXPECT_EQ(box->pos(), QPoint(353, top)) << i;
        EXPECT_TRUE(box->isVisible()) << i;
        EXPECT_EQ(box->Caption(), texts[i++]);
        top += 21;
    }
    // A flag alone changes its box and leaves the display alone.
    Mark(0, 5);
    ASSERT_TRUE(Feed(Setup(6, 4).Flags(FlagBeep)));
    EXPECT_TRUE(Marked(0, 5));
    EXPECT_EQ(form->stContest->Caption(), "Off");
    EXPECT_EQ(form->stBeep->Caption(), "On ");
    EXPECT_EQ(form->stStartup->Caption(), "Standby");
    EXPECT_EQ(form->stCelsius->Caption(), QString::fromUtf8("\u00B0F "));
}

TEST_F(ScreensTest, EachSetupScreenTitlesItsInputAndHighlightsTheSelection) {
    struct Case {
        uint8_t screen;
        int index, selected;
        const char* row0;
        int row, from, to; // the inverse item
    } cases[] = {
        {7, 0, 20, "--------- SET ANTENNA vs. IN 2 ---------", 4, 33, 38},
        {8, 1, 3, "----------- SET CAT vs. IN 2 -----------", 2, 13, 25},
        {9, 1, 14, "---------- SET YAESU vs. IN 2 ----------", 5, 26, 38},
        {10, 1, 1, "---------- SET ICOM vs. IN 2 -----------", 3, 13, 26},
        {11, 1, 2, "--------- SET TEN-TEC vs. IN 2 ---------", 2, 20, 31},
        {12, 1, 3, "-------- SET BAUD RATE vs. IN 2 --------", 4, 32, 37},
        {6, 1, 8, "-------- SETUP OPTIONS vs. IN 2 --------", 1, 34, 39},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(Feed(Setup(c.screen, static_cast<uint8_t>(c.selected), c.index).Byte(14, 1)));
        EXPECT_EQ(Row(0), c.row0) << int(c.screen);
        EXPECT_EQ(Inverse(c.row), Mask(c.from, c.to)) << int(c.screen);
        EXPECT_EQ(form->LastScreen, c.screen);
    }
}

TEST_F(ScreensTest, SetAntennaShowsTheSlotsOfEachBandPair) {
    StatusPayload p = Setup(7, 20, 0).ScreenData(1, 0x40).ScreenData(5, 0x51).ScreenData(10, 0x44);
    p.ScreenData(2, 0x76).ScreenData(9, 0x23); // 5 to 7 show blanks
    ASSERT_TRUE(Feed(p));
    EXPECT_EQ(Row(1), "160 m:  1 NO |20 m:  2    |10 m:  4  3  ");
    EXPECT_EQ(Row(2), " 80 m:       |17 m:  1  1 | 6 m: NO NO  ");
    EXPECT_EQ(Row(3), " 40 m:  1  1 |15 m:  1  1 |             ");
    EXPECT_EQ(Row(4, 0, 33), " 30 m:  1  1 |12 m:  1  1 |      ");
    // The selected slot takes its band's new pair at once; the other slot waits for a full draw.
    ASSERT_TRUE(Feed(Setup(7, 3, 0).ScreenData(2, 0x23)));
    EXPECT_EQ(Row(2, 7, 6), "    3 ");
    EXPECT_EQ(Inverse(2), Mask(10, 12));
}

TEST_F(ScreensTest, SetBaudRateNamesTheCatAndTypeOnEntry) {
    struct Case {
        uint8_t cat, type;
        const char* row1;
        const char* row2;
    } cases[] = {
        {3, 4, "   CAT : YAESU        BAUD RATE: 1200   ", "   TYPE: FT897                   2400   "},
        {1, 4, "   CAT : ICOM         BAUD RATE: 1200   ", "   TYPE: ALL                     2400   "},
        {3, 15, "   CAT : YAESU        BAUD RATE: 1200   ", "   TYPE:                         2400   "},
        {9, 0, "   CAT :              BAUD RATE: 1200   ", "   TYPE: ALL                     2400   "},
    };
    for (const Case& c : cases) {
        Leave();
        ASSERT_TRUE(Feed(Setup(12, 3).ScreenData(2, c.type).Byte(18, uint8_t(c.cat << 4))));
        EXPECT_EQ(Row(1), c.row1) << int(c.cat) << "/" << int(c.type);
        EXPECT_EQ(Row(2), c.row2) << int(c.cat) << "/" << int(c.type);
    }
}

TEST_F(ScreensTest, UpdatesRedrawOnlyWhatTheSelectionChanges) {
    ASSERT_TRUE(Feed(Setup(8, 2)));
    for (int row : {0, 2, 4, 6, 7}) Mark(1, row);
    Mark(14, 2); // over item 3
    ASSERT_TRUE(Feed(Setup(8, 2)));
    EXPECT_EQ(Row(4, 0, 13), " KENWOOD     ") << "the selected item again";
    for (int row : {0, 2, 6, 7}) EXPECT_TRUE(Marked(1, row)) << row;
    ASSERT_TRUE(Feed(Setup(8, 5)));
    EXPECT_EQ(Row(6), " --------- SET CAT INTERFACE ---------- ");
    EXPECT_EQ(Row(7), " [<-] [->]:SELECT         [SET]:CONFIRM ");
    EXPECT_EQ(Inverse(4), Mask(13, 25));
    EXPECT_TRUE(Marked(1, 0) && Marked(1, 2) && Marked(14, 2)) << "nothing else is drawn";
    // A selection past the menu removes the highlight and highlights nothing.
    for (uint8_t past : {8, 200, 255}) {
        ASSERT_TRUE(Feed(Setup(8, past)));
        for (int row = 1; row <= 5; ++row) EXPECT_EQ(Inverse(row), kBlank) << int(past);
    }
    ASSERT_TRUE(Feed(Setup(9, 0)));
    EXPECT_EQ(Row(0), "---------- SET YAESU vs. IN 1 ----------") << "another setup code draws in full";
}

TEST_F(ScreensTest, ManualTuneShowsFrequencySubBandLAndSummedC) {
    struct Case {
        uint16_t freq;
        uint8_t sub, l, maskLo, maskHi;
        const char *f, *s, *lText, *cText;
        int cPos;
    } cases[] = {
        {14195, 7, 57, 0x05, 0x00, "14.195", "007", "5.7", "15.7", 5},
        {1830, 123, 0, 0x00, 0x02, "1.830", "123", "0.0", "1250.0", 512},
        {50000, 0, 127, 0xFF, 0x03, "50.000", "000", "12.7", "2534.4", 1023},
        {0, 255, 255, 0x00, 0x04, "0.000", "255", "25.5", "0.0", 1023},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(Feed(StatusPayload().Screen(13).Word(16, c.freq).Byte(15, c.sub).ScreenData(1, c.l)
                             .ScreenData(2, c.maskLo).ScreenData(3, c.maskHi)));
        EXPECT_EQ(form->stFreq->Caption(), c.f);
        EXPECT_EQ(form->stSubBand->Caption(), c.s);
        EXPECT_EQ(form->stL_Out->Caption(), c.lText);
        EXPECT_EQ(form->stC_Out->Caption(), c.cText);
        EXPECT_EQ(form->sldrL_Out->value(), std::min<int>(c.l, 127));
        EXPECT_EQ(form->sldrC_Out->value(), c.cPos);
    }
    EXPECT_EQ(Row(0), "------------- MANUAL TUNE --------------");
    EXPECT_EQ(Row(1), " FREQ:       MHz           SUB-BAND:    ");
    EXPECT_EQ(Row(3), "  [<L]                 [L>]        uH   ");
    EXPECT_EQ(Row(4), "  [<C]                 [C>]        pF   ");
    EXPECT_EQ(Row(7), " [TUNE]:SAVE                 [SET]:QUIT ");
    struct Placed {
        QWidget* w;
        QRect bounds;
    } placed[] = {{form->sldrL_Out, {160, 72, 190, 23}}, {form->sldrC_Out, {160, 93, 190, 23}},
                  {form->stFreq, {160, 31, 76, 21}},     {form->stSubBand, {490, 31, 40, 21}},
                  {form->stL_Out, {400, 72, 76, 21}},    {form->stC_Out, {400, 93, 76, 21}}};
    for (const Placed& p : placed) {
        EXPECT_EQ(p.w->geometry(), p.bounds) << p.w->objectName().toStdString();
        EXPECT_TRUE(p.w->isVisible()) << p.w->objectName().toStdString();
    }
    for (QSlider* s : {form->sldrL_Out, form->sldrC_Out}) {
        EXPECT_FALSE(s->isEnabled());
        EXPECT_EQ(s->palette().color(s->backgroundRole()), clDisplayGround.ToQColor());
    }
}

TEST_F(ScreensTest, BacklightAndSystemMessageDrawOnce) {
    ASSERT_TRUE(Feed(StatusPayload().Screen(14).ScreenData(1, 255)));
    EXPECT_EQ(Row(0), "---------- DISPLAY BACKLIGHT -----------");
    EXPECT_EQ(Row(3), "          -                  +          ");
    EXPECT_EQ(Row(7), " [<-] [->]:ADJUST            [SET]:SAVE ");
    EXPECT_EQ(form->sldrBacklight->geometry(), QRect(220, 62, 190, 30));
    EXPECT_EQ(form->sldrBacklight->value(), 255);
    EXPECT_FALSE(form->sldrBacklight->isEnabled());
    Mark(0, 1);
    ASSERT_TRUE(Feed(StatusPayload().Screen(14).ScreenData(1, 16)));
    EXPECT_TRUE(Marked(0, 1));
    EXPECT_EQ(form->sldrBacklight->value(), 16);

    form->stMode->SetCaption("KEPT");
    ASSERT_TRUE(Feed(5));
    EXPECT_EQ(Row(0), "------------ SYSTEM MESSAGE ------------");
    EXPECT_EQ(Row(2), "              DATA STORED!              ");
    EXPECT_EQ(Row(5), kDashes);
    EXPECT_EQ(form->stMode->Caption(), "KEPT");
    Mark(0, 1);
    ASSERT_TRUE(Feed(5));
    EXPECT_TRUE(Marked(0, 1));
}

TEST_F(ScreensTest, AlertShowsTheWarningOncePerCode) {
    struct Case {
        uint8_t screen;
        const char* row2;
    } cases[] = {
        {23, "     OVER TEMPERATURE: TEMP > 90\xB0" "C      "},
        {24, "     P.A. MANAGEMENT : OVER DRIVING     "},
        {15, "      WARNING CODE NOT IDENTIFIED!      "},
        {16, "      WARNING CODE NOT IDENTIFIED!      "},
        {27, "    P.A. MANAGEMENT : PW REV > 300 W    "},
    };
    for (const Case& c : cases) {
        Mark(0, 1);
        // The amplifier in alert reports its alarm bit, which the indicators follow.
        ASSERT_TRUE(Feed(StatusPayload().Screen(c.screen).Flags(FlagAlarm)));
        EXPECT_EQ(Row(0), "--------------- WARNING ----------------");
        EXPECT_EQ(Row(2), c.row2) << int(c.screen);
        EXPECT_EQ(Row(1) + Row(3) + Row(4) + Row(7), kBlank + kBlank + kBlank + kBlank);
        EXPECT_EQ(Row(6), "         [DISPLAY]:RESET ALARM          ");
        EXPECT_EQ(form->stMode->Caption(), "ALERT MODE");
        EXPECT_EQ(form->stMode->FontColor(), clRed);
        EXPECT_EQ(form->stAlarm->Color(), clRed);
        Mark(0, 1);
        ASSERT_TRUE(Feed(c.screen));
        EXPECT_TRUE(Marked(0, 1)) << "the same code draws nothing";
    }
}

TEST_F(ScreensTest, AlarmHistoryDrawsFromItsSnapshot) {
    auto history = [](uint8_t header, std::initializer_list<uint8_t> entries) {
        StatusPayload p = StatusPayload().Screen(29).ScreenData(0, header);
        int i = 1;
        for (uint8_t e : entries) p.ScreenData(i++, e);
        return p;
    };
    ASSERT_TRUE(Feed(history(0x33, {0x97, 0x15, 0x1C})));
    EXPECT_EQ(Row(0), "------------- ALARM HISTORY ------------");
    EXPECT_EQ(Row(1), " 3)IN 1 P.A. MANAGEMENT : PA PROTECTION ");
    EXPECT_EQ(Row(2), " 2)IN 1 POWER MANAGEMENT: I PA > 40 A   ");
    EXPECT_EQ(Row(3), " 1)IN 2 OVER TEMPERATURE: TEMP > 90\xB0" "C   ");
    EXPECT_EQ(Row(4), kBlank);
    EXPECT_EQ(Row(7), "      SCROLL                QUIT        ");

    Leave();
    ASSERT_TRUE(Feed(history(0x00, {0x97})));
    EXPECT_EQ(Row(2), "              BUFFER EMPTY              ");
    EXPECT_EQ(Row(1) + Row(3), kBlank + kBlank);
    // Stored alarms after an empty buffer: a new snapshot on the next status.
    ASSERT_TRUE(Feed(history(0x21, {0x19, 0x97})));
    EXPECT_EQ(form->LastScreen, ScrUnowned);
    ASSERT_TRUE(Feed(history(0x21, {0x19, 0x97})));
    EXPECT_EQ(Row(1), " 1)IN 1 WARNING CODE NOT IDENTIFIED     ");

    const std::initializer_list<uint8_t> six = {17, 18, 19, 20, 21, 0x96};
    Leave();
    ASSERT_TRUE(Feed(history(0x66, six)));
    EXPECT_EQ(Row(1, 0, 8) + Row(2, 0, 8) + Row(3, 0, 8) + Row(4, 0, 8),
              " 6)IN 2  5)IN 1  4)IN 1  3)IN 1 ");
    ASSERT_TRUE(Feed(history(0x56, six)));
    EXPECT_EQ(Row(1, 0, 8) + Row(4, 0, 8), " 5)IN 1  2)IN 1 ");
    Mark(0, 1);
    ASSERT_TRUE(Feed(history(0x56, six)));
    EXPECT_TRUE(Marked(0, 1));
    // A count that drops: drawn from the old snapshot once more, then anew.
    ASSERT_TRUE(Feed(history(0x55, {1, 2, 3, 4, 5})));
    EXPECT_EQ(form->LastScreen, ScrUnowned);
    ASSERT_TRUE(Feed(history(0x55, {1, 2, 3, 4, 5})));
    EXPECT_EQ(form->ShownCount, 5);
    EXPECT_EQ(Row(1), " 5)IN 1 WARNING CODE NOT IDENTIFIED     ");

    // Past the ten entries the frame carries, and a top past the count: stored entries only.
    for (uint8_t header : {0xFF, 0xBA, 0xD3}) {
        Leave();
        ASSERT_TRUE(Feed(history(header, {17, 17, 17, 17, 17, 17, 17, 17, 17, 0x9C})));
        const std::string first = (header & 0x0F) > 3 ? "10)IN 2 " : " 3)IN 1 ";
        EXPECT_EQ(Row(1, 0, 8), first) << int(header);
    }
}

} // namespace
