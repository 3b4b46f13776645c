#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QSlider>

#include "WindowFixture.h"

using namespace kaldor;
using namespace kaldor::test;

namespace {

class DispatchTest : public WindowTest {
protected:
    std::vector<QWidget*> SetupOptionTexts() const {
        return {form->stContest, form->stBeep, form->stStartup, form->stCelsius};
    }
    std::vector<QWidget*> BandTexts() const { return {form->stBands.begin(), form->stBands.end()}; }
    std::vector<QWidget*> TuneControls() const {
        return {form->sldrL_Out, form->sldrC_Out, form->stFreq,
                form->stSubBand, form->stL_Out,   form->stC_Out};
    }
    std::vector<QWidget*> Warnings() const { return {form->stWarning, form->stOutBand, form->stPWRev}; }

    void ShowAll() {
        for (auto group : {SetupOptionTexts(), BandTexts(), TuneControls(), Warnings()})
            for (QWidget* w : group) w->setVisible(true);
        form->sldrBacklight->setVisible(true);
    }
    static bool AllHidden(const std::vector<QWidget*>& ws) {
        for (QWidget* w : ws)
            if (!w->isHidden()) return false;
        return true;
    }
    static bool AllShown(const std::vector<QWidget*>& ws) {
        for (QWidget* w : ws)
            if (w->isHidden()) return false;
        return true;
    }
    QString LinkText() const { return form->StatusPanels[1]->text(); }
    bool KaldorEnabled() const { return form->itmKaldor->menuAction()->isEnabled(); }
};

} // namespace

TEST_F(DispatchTest, ALostLinkClearsTheModeHidesTheWarningsAndFreesTheKaldorMenu) {
    OpenLine(); // the first pass of a new receiver reports the lost link
    ASSERT_TRUE(Feed(0));
    EXPECT_EQ(LinkText(), QStringLiteral("Remote connection: ON"));
    EXPECT_FALSE(KaldorEnabled());

    form->stMode->SetCaption("STANDBY");
    form->stMode->SetFontColor(clLime);
    ShowAll();
    ManualClock clock(1000.0); // jumps past the link deadline
    ASSERT_TRUE(PokeUntil([&] { return LinkText() == "Remote connection: OFF"; }));
    EXPECT_EQ(form->stMode->Caption(), QString());
    EXPECT_EQ(form->stMode->FontColor(), clLime) << "the mode colour is left as it was";
    EXPECT_TRUE(KaldorEnabled());
    EXPECT_TRUE(AllHidden(Warnings()));
    EXPECT_TRUE(AllHidden(SetupOptionTexts()));
    EXPECT_TRUE(AllHidden(BandTexts()));
    EXPECT_TRUE(AllHidden(TuneControls()));
    EXPECT_TRUE(form->sldrBacklight->isHidden());
}

TEST_F(DispatchTest, EachScreenKeepsOnlyItsOwnControls) {
    OpenLine();
    struct Case {
        uint8_t screen;
        bool options, bands, tune, backlight;
    };
    for (const Case& c : {Case{6, true, false, false, false}, Case{7, false, true, false, false},
                          Case{13, false, false, true, false}, Case{14, false, false, false, true},
                          Case{0, false, false, false, false}}) {
        ShowAll();
        ASSERT_TRUE(Feed(c.screen));
        EXPECT_EQ(AllShown(SetupOptionTexts()), c.options) << int(c.screen);
        EXPECT_EQ(AllHidden(SetupOptionTexts()), !c.options) << int(c.screen);
        EXPECT_EQ(AllShown(BandTexts()), c.bands) << int(c.screen);
        EXPECT_EQ(AllHidden(BandTexts()), !c.bands) << int(c.screen);
        EXPECT_EQ(AllShown(TuneControls()), c.tune) << int(c.screen);
        EXPECT_EQ(AllHidden(TuneControls()), !c.tune) << int(c.screen);
        EXPECT_EQ(!form->sldrBacklight->isHidden(), c.backlight) << int(c.screen);
        // The backlight screen never refreshes the indicators, which hide unneeded warnings.
        if (c.backlight) {
            EXPECT_TRUE(AllShown(Warnings())) << "only a lost link hides the warnings";
        }
        EXPECT_EQ(LinkText(), QStringLiteral("Remote connection: ON"));
        EXPECT_FALSE(KaldorEnabled());
    }
}

TEST_F(DispatchTest, ScreensNobodyOwnsLeaveTheWindowAsItWas) {
    OpenLine();
    ASSERT_TRUE(Feed(0));
    form->stMode->SetCaption("OPERATE");
    for (uint8_t code : {25, 26, 31, 200, 255}) {
        ASSERT_TRUE(Feed(code));
        EXPECT_EQ(LinkText(), QStringLiteral("Remote connection: ON")) << int(code);
        EXPECT_EQ(form->stMode->Caption(), QStringLiteral("OPERATE")) << int(code);
        EXPECT_EQ(form->LastScreen, 0) << "no renderer did a set-up";
    }
}

TEST_F(DispatchTest, EveryPassIsHandledAndTheLinkTextSetEachTime) {
    OpenLine();
    QSignalSpy spy(form.get(), &TMainForm::StatusHandled);
    // A noise byte is one pass, and each pass ends in one status event.
    amp.Send({0x01, 0x02, 0x03});
    ASSERT_TRUE(QTest::qWaitFor([&] { return spy.count() >= 3; }, 3000));
    for (const auto& call : spy) EXPECT_EQ(call.at(0).value<uint16_t>(), 30);
    form->StatusPanels[1]->setText(QString());
    ASSERT_TRUE(Feed(30));
    EXPECT_EQ(LinkText(), QStringLiteral("Remote connection: OFF")) << "set on every call";
}
