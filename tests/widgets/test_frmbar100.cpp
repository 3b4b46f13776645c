// The 100-tick bar meter: layout, scale and readout texts, level and peak chains, peak hold
// on an injected clock, over range, the off state and what gets repainted.
#include "widgets/Frmbar_100.h"
#include "WidgetTestUtil.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace kaldor {
namespace {

const TFrmBar10* SegmentOf(const TFrmBar100& m, int n) { // n = 1 .. 100
    return m.Segments[std::size_t((n - 1) / 10)];
}
TColor TickColor(const TFrmBar100& m, int n) { return SegmentOf(m, n)->TickColor((n - 1) % 10); }
// Tick n's rectangle in the meter's Panel0.
QRect TickIn(const TFrmBar100& m, int n) {
    const TFrmBar10* seg = SegmentOf(m, n);
    return seg->TickRect((n - 1) % 10).translated(seg->Panel0->mapTo(m.Panel0, QPoint(0, 0)));
}

// The bar as one letter per tick: A active, I inactive, P peak colour, ? other.
std::string Bar(const TFrmBar100& m) {
    std::string out;
    for (int n = 1; n <= 100; ++n) {
        const TColor c = TickColor(m, n);
        out += c == m.ActiveColor ? 'A' : c == m.InactiveColor ? 'I' : c == m.PeakColor ? 'P' : '?';
    }
    return out;
}

std::string Lit(int lit, int peakAt = 0) {
    std::string s = std::string(std::size_t(lit), 'A') + std::string(std::size_t(100 - lit), 'I');
    if (peakAt > 0) s[std::size_t(peakAt - 1)] = 'P';
    return s;
}

std::string Text(const TStaticText* st) { return st->Caption().toStdString(); }

class MeterTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetClockSource([this] { return now; });
        m = std::make_unique<TFrmBar100>();
        m->setObjectName("Frm");
        m->Timer1->stop(); // the tests step the peak hold themselves
    }
    void TearDown() override {
        m.reset();
        SetClockSource({});
    }
    // As the main window configures its output power meter, but with a peak colour of its
    // own so that the peak tick can be told from the lit ones.
    void ConfigurePa(TColor peak = clWhite) {
        m->SetCaption("PA OUT");
        m->SetFullScale(12000);
        m->SetUnit(" W pep");
        m->SetActiveColor(clLime);
        m->SetPeakColor(peak);
        m->SetValue(-1);
    }
    void Tick100ms() {
        now += OneSecond / 10;
        m->Timer1Timer(m->Timer1);
    }
    void ExpectScaleColours(bool s25, bool s50, bool s75, bool s100) {
        EXPECT_EQ(m->st25->FontColor(), s25 ? m->ActiveColor : m->InactiveColor);
        EXPECT_EQ(m->st50->FontColor(), s50 ? m->ActiveColor : m->InactiveColor);
        EXPECT_EQ(m->st75->FontColor(), s75 ? m->ActiveColor : m->InactiveColor);
        EXPECT_EQ(m->st100->FontColor(), s100 ? m->ActiveColor : m->InactiveColor);
    }

    TDateTime now = 10.0;
    std::unique_ptr<TFrmBar100> m;
};

TEST_F(MeterTest, LayoutOfTheFrame) {
    TFrmBar100 fresh;
    EXPECT_TRUE(fresh.Timer1->isActive());
    EXPECT_EQ(fresh.Timer1->interval(), 100);
    EXPECT_EQ(fresh.Timer1->objectName(), QStringLiteral("Timer1"));

    EXPECT_EQ(m->size(), QSize(635, 45));
    EXPECT_EQ(m->Panel0->geometry(), QRect(1, 1, 630, 44));
    EXPECT_EQ(m->Panel0->BevelInner(), TBevel::Lowered);
    EXPECT_EQ(m->Panel0->BevelOuter(), TBevel::None);
    for (int n = 1; n <= 10; ++n) {
        auto* seg = m->findChild<TFrmBar10*>(QStringLiteral("FrmBar10%1").arg(n));
        ASSERT_EQ(seg, m->Segments[std::size_t(n - 1)]) << n;
        EXPECT_EQ(seg->parentWidget(), m->Panel0);
        EXPECT_EQ(seg->geometry(), QRect(98 + 40 * (n - 1), 12, 40, 30));
    }
    const struct {
        const char* name;
        QRect bounds;
        const char* caption;
        Qt::Alignment align;
        const char* face;
        int pixels;
    } texts[] = {
        {"st50", {276, 1, 40, 13}, "5", Qt::AlignHCenter, "MS Sans Serif", 11},
        {"st25", {176, 1, 40, 13}, "2.5", Qt::AlignHCenter, "MS Sans Serif", 11},
        {"st75", {376, 1, 40, 13}, "7.5", Qt::AlignHCenter, "MS Sans Serif", 11},
        {"st100", {476, 1, 40, 13}, "10", Qt::AlignHCenter, "MS Sans Serif", 11},
        {"st0", {90, 1, 12, 13}, "0", Qt::AlignHCenter, "MS Sans Serif", 11},
        {"stPeak", {502, 16, 64, 20}, "   0.0", Qt::AlignRight, "System", 16},
        {"stLabel", {15, 18, 75, 17}, "METER", Qt::AlignLeft, "MS Sans Serif", 11},
        {"stMeasUnit", {566, 16, 57, 20}, " Value", Qt::AlignLeft, "MS Sans Serif", 16},
    };
    for (const auto& t : texts) {
        auto* st = m->findChild<TStaticText*>(t.name);
        ASSERT_NE(st, nullptr) << t.name;
        EXPECT_EQ(st->parentWidget(), m->Panel0) << t.name;
        EXPECT_EQ(st->geometry(), t.bounds) << t.name;
        EXPECT_EQ(Text(st), t.caption) << t.name;
        EXPECT_EQ(st->alignment() & Qt::AlignHorizontal_Mask, t.align) << t.name;
        EXPECT_EQ(st->font().family(), QString::fromLatin1(t.face)) << t.name;
        EXPECT_EQ(st->font().pixelSize(), t.pixels) << t.name;
        EXPECT_TRUE(st->font().bold()) << t.name;
        EXPECT_EQ(st->Color(), clBlack) << t.name;
    }
    EXPECT_EQ(m->pnlTick0->geometry(), QRect(95, 16, 2, 16));

    // Ticks 2 px wide with 2 px gaps, 4 px a tick from x = 99 in Panel0; tall 5th and 10th.
    for (int n = 1; n <= 100; ++n) {
        const QRect r = TickIn(*m, n);
        const bool tall = n % 5 == 0;
        EXPECT_EQ(r, QRect(99 + 4 * (n - 1), tall ? 16 : 20, 2, tall ? 16 : 12)) << "tick " << n;
    }
    // Scale texts centred over their scale points: the zero tick, ticks 25, 50, 75, 100.
    const QRect zero = m->pnlTick0->geometry();
    EXPECT_EQ(m->st0->geometry().center().x(), zero.center().x());
    const TStaticText* marks[] = {m->st25, m->st50, m->st75, m->st100};
    for (int i = 0; i < 4; ++i) {
        const int tickMid = TickIn(*m, 25 * (i + 1)).left() + 1;
        EXPECT_EQ(marks[i]->geometry().left() + 20, tickMid) << 25 * (i + 1) << " %";
    }
}

TEST_F(MeterTest, ConstructionState) {
    EXPECT_EQ(m->LabelText, "METER");
    EXPECT_EQ(m->UnitText, "");
    EXPECT_EQ(m->PeakFormat, "%4u.%1u");
    EXPECT_EQ(m->FullScale, 100);
    EXPECT_EQ(m->Step, 1);
    EXPECT_EQ(m->Value, 0);
    EXPECT_EQ(m->Peak, 0);
    EXPECT_EQ(m->PeakDeadline, 0.0);
    EXPECT_EQ(m->ActiveColor, clAqua);
    EXPECT_EQ(m->InactiveColor, clGray);
    EXPECT_EQ(m->PeakColor, clWhite);
    EXPECT_EQ(m->BackColor, clBlack);
    EXPECT_EQ(m->OverBackColor, clAqua);
    EXPECT_EQ(m->OverTextColor, clBlack);
    for (TFrmBar10* seg : m->Segments) {
        EXPECT_EQ(seg->ActiveColor, clAqua);
        EXPECT_EQ(seg->PeakColor, clWhite);
    }
    EXPECT_EQ(Bar(*m), Lit(0));
    EXPECT_EQ(m->Panel0->Color(), clBlack);
    EXPECT_EQ(m->pnlTick0->Color(), clAqua);
    EXPECT_EQ(m->st0->FontColor(), clAqua);
    EXPECT_EQ(m->stLabel->FontColor(), clAqua);
    EXPECT_EQ(m->stPeak->FontColor(), clAqua);
    EXPECT_EQ(m->stMeasUnit->FontColor(), clAqua);
    ExpectScaleColours(false, false, false, false);
}

TEST_F(MeterTest, OffStateDimsEverything) {
    m->SetValue(-1);
    for (TStaticText* st : {m->stLabel, m->st0, m->st25, m->st50, m->st75, m->st100, m->stPeak,
                            m->stMeasUnit})
        EXPECT_EQ(st->FontColor(), clGray) << st->objectName().toStdString();
    EXPECT_EQ(m->pnlTick0->Color(), clGray);
    EXPECT_EQ(Bar(*m), Lit(0));
    EXPECT_EQ(Text(m->stPeak), "   0.0");
    EXPECT_EQ(m->stPeak->Color(), clBlack);

    // Off after a reading drops reading and peak; any reading switches it on again.
    ConfigurePa();
    m->SetValue(6000);
    m->SetValue(-1);
    EXPECT_EQ(m->Value, 0);
    EXPECT_EQ(m->Peak, 0);
    EXPECT_EQ(Bar(*m), Lit(0));
    EXPECT_EQ(Text(m->stPeak), "   0.0");
    EXPECT_EQ(m->stLabel->FontColor(), clGray);
    m->SetValue(-1);
    m->SetValue(1200);
    EXPECT_EQ(Bar(*m), Lit(10));
    EXPECT_EQ(m->stLabel->FontColor(), clLime);
    EXPECT_EQ(m->pnlTick0->Color(), clLime);
    EXPECT_EQ(Text(m->stPeak), " 120.0");
}

TEST_F(MeterTest, ReadingLightsTicksAndScale) {
    ConfigurePa(clLime);
    EXPECT_EQ(Text(m->stLabel), "PA OUT");
    EXPECT_EQ(Text(m->stMeasUnit), " W pep");
    m->SetValue(6000);
    EXPECT_EQ(Bar(*m), Lit(50));
    for (int s = 0; s < 5; ++s) EXPECT_EQ(m->Segments[std::size_t(s)]->Level, 10);
    EXPECT_EQ(m->stLabel->FontColor(), clLime);
    EXPECT_EQ(m->st0->FontColor(), clLime);
    ExpectScaleColours(true, true, false, false);
    EXPECT_EQ(Text(m->stPeak), " 600.0");
    EXPECT_EQ(m->stPeak->FontColor(), clLime);
    EXPECT_EQ(m->stPeak->Color(), clBlack);

    m->SetValue(11999);
    EXPECT_EQ(Bar(*m), Lit(99));
    ExpectScaleColours(true, true, true, false);
    EXPECT_EQ(Text(m->stPeak), "1199.9");

    // Below one step: nothing lit, the tenths still read.
    m->SetFullScale(600);
    m->SetValue(5);
    EXPECT_EQ(Bar(*m), Lit(0));
    EXPECT_EQ(Text(m->stPeak), "   0.5");
    m->SetValue(500);
    EXPECT_EQ(Text(m->stPeak), "  50.0");
}

TEST_F(MeterTest, PeakHoldsOneSecondThenDropsInOneStep) {
    ConfigurePa();
    m->SetValue(6000);
    m->Timer1Timer(m->Timer1); // the reading stands at the peak: the hold restarts
    EXPECT_DOUBLE_EQ(m->PeakDeadline, now + OneSecond);
    m->SetValue(4000);
    m->SetValue(3000);
    EXPECT_EQ(Bar(*m), Lit(25, 50));
    EXPECT_EQ(Text(m->stPeak), " 600.0");
    ExpectScaleColours(true, true, false, false);

    for (int i = 0; i < 9; ++i) {
        Tick100ms();
        m->SetValue(3000);
    }
    EXPECT_EQ(m->Peak, 6000) << "still held after 0.9 s";
    EXPECT_EQ(Bar(*m), Lit(25, 50));

    now = m->PeakDeadline; // the first timer step at or after the deadline drops it
    m->Timer1Timer(m->Timer1);
    EXPECT_EQ(m->Peak, 3000) << "straight to the reading, not via 4000";
    EXPECT_EQ(Bar(*m), Lit(25));
    EXPECT_EQ(Text(m->stPeak), " 300.0");
    ExpectScaleColours(true, false, false, false);
    EXPECT_DOUBLE_EQ(m->PeakDeadline, now + OneSecond);
}

TEST_F(MeterTest, PeakHoldCountsFromTheLastTimeTheReadingStoodAtIt) {
    ConfigurePa();
    m->SetValue(6000);
    for (int i = 0; i < 5; ++i) Tick100ms(); // reading at the peak for 0.5 s
    m->SetValue(3000);
    for (int i = 0; i < 9; ++i) Tick100ms();
    EXPECT_EQ(m->Peak, 6000);
    Tick100ms();
    Tick100ms();
    EXPECT_EQ(m->Peak, 3000);
    // Once dropped, a steady reading keeps restarting the hold and changes nothing.
    for (int i = 0; i < 20; ++i) Tick100ms();
    EXPECT_EQ(m->Peak, 3000);
    EXPECT_EQ(Bar(*m), Lit(25));
}

TEST_F(MeterTest, OnlyTheHighestSegmentHoldingAPeakDrawsIt) {
    ConfigurePa();
    m->SetValue(6000); // segments 1 to 5 full
    m->SetValue(1500); // 12 ticks
    EXPECT_EQ(Bar(*m), Lit(12, 50));
    m->SetValue(5640); // 47 ticks: the peak moves into the lit part of segment 5
    EXPECT_EQ(Bar(*m), Lit(47, 50));
    m->SetValue(6840); // 57 ticks: a new peak, within the lit ticks
    m->SetValue(3000);
    EXPECT_EQ(Bar(*m), Lit(25, 57));
    m->ResetPeak();
    EXPECT_EQ(Bar(*m), Lit(25));
    EXPECT_EQ(m->Peak, 3000);
    // The segments below the one that drew the peak now hold their own levels only.
    EXPECT_EQ(m->Segments[2]->PeakLevel, 5);
    EXPECT_EQ(m->Segments[3]->PeakLevel, 0);
}

TEST_F(MeterTest, OverRangeInvertsTheReadout) {
    ConfigurePa(clLime);
    m->SetValue(13000);
    EXPECT_EQ(Bar(*m), Lit(100));
    EXPECT_EQ(Text(m->stPeak), "1200.0");
    EXPECT_EQ(m->stPeak->Color(), clLime);
    EXPECT_EQ(m->stPeak->FontColor(), clBlack);
    EXPECT_EQ(m->stMeasUnit->Color(), clLime);
    EXPECT_EQ(m->stMeasUnit->FontColor(), clBlack);
    ExpectScaleColours(true, true, true, true);

    m->SetValue(12000); // exactly full scale is over range too
    EXPECT_EQ(m->stPeak->Color(), clLime);
    m->ResetPeak();
    m->SetValue(6000);
    m->ResetPeak();
    EXPECT_EQ(Text(m->stPeak), " 600.0");
    EXPECT_EQ(m->stPeak->Color(), clBlack);
    EXPECT_EQ(m->stPeak->FontColor(), clLime);
    EXPECT_EQ(m->stMeasUnit->Color(), clBlack);

    // The inverted colours are taken when the active colour is set, not later.
    m->SetBackColor(clNavy);
    m->SetValue(20000);
    EXPECT_EQ(m->stPeak->Color(), clLime);
    EXPECT_EQ(m->stPeak->FontColor(), clBlack);
    m->SetActiveColor(clYellow);
    EXPECT_EQ(m->stPeak->Color(), clYellow);
    EXPECT_EQ(m->stPeak->FontColor(), clNavy);
}

TEST_F(MeterTest, ScaleTextsForEachFullScale) {
    const struct {
        int full;
        const char* s25;
        const char* s50;
        const char* s75;
        const char* s100;
    } scales[] = {
        {12000, "300", "600", "900", "1200"}, {2000, "50", "100", "150", "200"},
        {600, "15", "30", "45", "60"},        {500, "12.5", "25", "37.5", "50"},
        {6000, "150", "300", "450", "600"},   {100, "2.5", "5", "7.5", "10"},
    };
    for (const auto& s : scales) {
        m->SetFullScale(s.full);
        EXPECT_EQ(Text(m->st25), s.s25) << s.full;
        EXPECT_EQ(Text(m->st50), s.s50) << s.full;
        EXPECT_EQ(Text(m->st75), s.s75) << s.full;
        EXPECT_EQ(Text(m->st100), s.s100) << s.full;
        EXPECT_EQ(Text(m->st0), "0");
        EXPECT_EQ(m->Step, s.full / 100);
    }
}

TEST_F(MeterTest, RescalingDropsReadingAndPeak) {
    ConfigurePa();
    m->SetValue(6000);
    m->SetValue(3000);
    m->SetFullScale(12000); // unchanged: nothing happens, the peak stays
    EXPECT_EQ(m->Peak, 6000);
    EXPECT_EQ(Bar(*m), Lit(25, 50));
    EXPECT_EQ(Text(m->stPeak), " 600.0");

    m->SetFullScale(500);
    EXPECT_EQ(m->Value, 0);
    EXPECT_EQ(m->Peak, 0);
    EXPECT_EQ(Bar(*m), Lit(0));
    EXPECT_EQ(Text(m->stPeak), "   0.0");
    EXPECT_EQ(Text(m->st25), "12.5");
    EXPECT_EQ(Text(m->st75), "37.5");
    ExpectScaleColours(false, false, false, false);
    m->SetValue(250); // step 5: 50 ticks
    EXPECT_EQ(Bar(*m), Lit(50));
    EXPECT_EQ(Text(m->stPeak), "  25.0");
}

TEST_F(MeterTest, FullScaleBelowOneHundredIsClamped) {
    ConfigurePa();
    for (int f : {0, 1, 99, -5}) {
        m->SetFullScale(12000);
        m->SetFullScale(f);
        EXPECT_EQ(m->FullScale, 100) << f;
        EXPECT_EQ(m->Step, 1) << f;
        EXPECT_EQ(Text(m->st100), "10");
        m->SetValue(37);
        EXPECT_EQ(Bar(*m), Lit(37)) << f;
        EXPECT_EQ(Text(m->stPeak), "   3.7");
    }
    m->SetValue(60);
    m->SetValue(20);
    m->SetFullScale(50); // the same as the clamped current scale: nothing happens
    EXPECT_EQ(m->Peak, 60);
}

TEST_F(MeterTest, ColourSettersReachTheSegments) {
    ConfigurePa();
    m->SetValue(3000);
    m->SetInactiveColor(clNavy);
    EXPECT_EQ(TickColor(*m, 26), clNavy);
    EXPECT_EQ(m->st100->FontColor(), clNavy);
    m->SetBackColor(clMaroon);
    EXPECT_EQ(m->Panel0->Color(), clMaroon);
    EXPECT_EQ(m->Segments[9]->Panel0->Color(), clMaroon);
    EXPECT_EQ(m->stPeak->Color(), clMaroon);
    m->SetPeakColor(clRed);
    for (TFrmBar10* seg : m->Segments) EXPECT_EQ(seg->PeakColor, clRed);
    m->SetValue(1200);
    EXPECT_EQ(TickColor(*m, 25), clRed);
    m->SetActiveColor(clInfoBk);
    EXPECT_EQ(TickColor(*m, 1), clInfoBk);
    EXPECT_EQ(m->stLabel->FontColor(), clInfoBk);
    EXPECT_EQ(m->pnlTick0->Color(), clInfoBk);

    m->SetCaption("I PA");
    m->SetUnit(" A");
    EXPECT_EQ(m->LabelText, "I PA");
    EXPECT_EQ(Text(m->stLabel), "I PA");
    EXPECT_EQ(Text(m->stMeasUnit), " A");
}

TEST_F(MeterTest, TheScreenShowsTicksAndGaps) {
    ConfigurePa();
    m->SetValue(6000);
    m->SetValue(3000);
    const QImage img = m->grab().toImage();
    // Frame coordinates: Panel0 at 1,1; tick n at x 100 + 4 (n - 1); short ticks from y 21.
    const auto at = [&](int n, int dx, int y) { return QColor(img.pixel(100 + 4 * (n - 1) + dx, y)); };
    EXPECT_EQ(at(25, 0, 27), QColor(0, 255, 0));
    EXPECT_EQ(at(25, 1, 27), QColor(0, 255, 0));
    EXPECT_EQ(at(25, 2, 27), QColor(0, 0, 0)) << "gap";
    EXPECT_EQ(at(26, 0, 27), QColor(128, 128, 128));
    EXPECT_EQ(at(24, 0, 18), QColor(0, 0, 0)) << "short tick starts at 21";
    EXPECT_EQ(at(50, 0, 18), QColor(255, 255, 255)) << "tall peak tick";
    EXPECT_EQ(at(50, 0, 32), QColor(255, 255, 255));
    EXPECT_EQ(QColor(img.pixel(96, 17)), QColor(0, 255, 0)) << "zero tick";
    EXPECT_EQ(img.pixel(1, 1), clBtnShadow.ToQColor().rgb()) << "lowered bevel";
    EXPECT_EQ(img.pixel(630, 44), clBtnHighlight.ToQColor().rgb());
}

// Repainting: a steady meter costs no drawing; a change repaints only what changed.
class MeterRepaintTest : public MeterTest {
protected:
    void SetUp() override {
        MeterTest::SetUp();
        ConfigurePa();
        test::ShowAndFlush(m.get());
        counter = std::make_unique<test::PaintCounter>(m.get());
    }
    QStringList PaintedAfter(const std::function<void()>& action) {
        test::Flush(m.get());
        counter->Reset();
        action();
        test::Flush(m.get());
        return counter->Painted();
    }
    std::unique_ptr<test::PaintCounter> counter;
};

TEST_F(MeterRepaintTest, SteadyReadingRepaintsNothing) {
    m->SetValue(3000);
    EXPECT_EQ(PaintedAfter([&] {
                  for (int i = 0; i < 20; ++i) {
                      m->SetValue(3000);
                      m->Timer1Timer(m->Timer1);
                      QApplication::processEvents();
                  }
              }),
              QStringList{});
    m->SetValue(13000);
    EXPECT_EQ(PaintedAfter([&] { for (int i = 0; i < 5; ++i) m->SetValue(13000); }),
              QStringList{});
}

TEST_F(MeterRepaintTest, SteadyOffStateRepaintsNothing) {
    m->SetValue(6000);
    m->SetValue(-1);
    m->SetValue(-1);
    EXPECT_EQ(PaintedAfter([&] { for (int i = 0; i < 10; ++i) m->SetValue(-1); }),
              QStringList{});
}

TEST_F(MeterRepaintTest, OneTickChangeRepaintsOnlyThatTick) {
    m->SetValue(3000);
    // One tick down below a held peak: tick 25 becomes the peak tick; the readout stays.
    EXPECT_EQ(PaintedAfter([&] { m->SetValue(2880); }),
              QStringList{"Panel0/FrmBar103/Panel0"});
    EXPECT_EQ(counter->Count(SegmentOf(*m, 25)->Panel0), 1);
    EXPECT_EQ(counter->Region(SegmentOf(*m, 25)->Panel0), QRegion(SegmentOf(*m, 25)->TickRect(4)));

    // A new reading within the same tick: only the readout.
    m->ResetPeak();
    EXPECT_EQ(PaintedAfter([&] { m->SetValue(2999); }), QStringList{"Panel0/stPeak"});

    // One tick up to a new peak: that tick and the readout.
    m->SetValue(3120);
    m->ResetPeak();
    EXPECT_EQ(PaintedAfter([&] { m->SetValue(3240); }),
              (QStringList{"Panel0/FrmBar103/Panel0", "Panel0/stPeak"}));
    EXPECT_EQ(counter->Region(SegmentOf(*m, 27)->Panel0), QRegion(SegmentOf(*m, 27)->TickRect(6)));
    EXPECT_EQ(counter->Count(m.get()), 0);
    EXPECT_EQ(counter->Count(m->Panel0), 0);
}

TEST_F(MeterRepaintTest, HeldPeakTickIsNotRepaintedWhenTheReadingFalls) {
    m->SetValue(3000);
    m->SetValue(2880);
    // Tick 24 goes out; the peak tick 25 beside it keeps its colour and is not painted again.
    EXPECT_EQ(PaintedAfter([&] { m->SetValue(2760); }), QStringList{"Panel0/FrmBar103/Panel0"});
    EXPECT_EQ(counter->Region(SegmentOf(*m, 24)->Panel0), QRegion(SegmentOf(*m, 24)->TickRect(3)));
    EXPECT_EQ(Bar(*m), Lit(23, 25));
}

TEST_F(MeterRepaintTest, ScaleCrossingRepaintsTheScaleText) {
    m->SetValue(2880);
    m->ResetPeak();
    EXPECT_EQ(PaintedAfter([&] { m->SetValue(3000); }),
              (QStringList{"Panel0/FrmBar103/Panel0", "Panel0/st25", "Panel0/stPeak"}));
    EXPECT_EQ(counter->Region(SegmentOf(*m, 25)->Panel0), QRegion(SegmentOf(*m, 25)->TickRect(4)));
}

} // namespace
} // namespace kaldor
