// The ten-tick segment on its own: geometry, level, peak tick and colours.
#include "widgets/Frmbar_10.h"
#include "WidgetTestUtil.h"

#include <gtest/gtest.h>

#include <string>

namespace kaldor {
namespace {

// One letter per tick: A active, I inactive, P peak, ? anything else.
std::string Ticks(const TFrmBar10& s) {
    std::string out;
    for (int i = 0; i < 10; ++i) {
        const TColor c = s.TickColor(i);
        out += c == s.ActiveColor ? 'A' : c == s.InactiveColor ? 'I' : c == s.PeakColor ? 'P' : '?';
    }
    return out;
}

TEST(FrmBar10, FreshSegmentLayoutAndState) {
    TFrmBar10 s;
    EXPECT_EQ(s.size(), QSize(104, 30));
    EXPECT_EQ(s.Panel0->geometry(), QRect(0, 3, 40, 21));
    EXPECT_EQ(s.Panel0->Color(), clBlack);
    for (int k = 1; k <= 10; ++k) {
        const QRect want = (k == 5 || k == 10) ? QRect(1 + 4 * (k - 1), 1, 2, 16)
                                               : QRect(1 + 4 * (k - 1), 5, 2, 12);
        EXPECT_EQ(s.TickRect(k - 1), want) << "Panel" << k;
    }
    EXPECT_EQ(s.Panel0->BevelInner(), TBevel::None);
    EXPECT_EQ(s.ActiveColor, clAqua);
    EXPECT_EQ(s.InactiveColor, clGray);
    EXPECT_EQ(s.PeakColor, clWhite);
    EXPECT_EQ(s.BackColor, clBlack);
    EXPECT_EQ(s.Level, 0);
    EXPECT_EQ(s.PeakLevel, 0);
    EXPECT_EQ(Ticks(s), "IIIIIIIIII");
}

TEST(FrmBar10, LevelTakesAtMostTenAndPassesTheRest) {
    TFrmBar10 s;
    EXPECT_EQ(s.SetLevel(25), 15);
    EXPECT_EQ(Ticks(s), "AAAAAAAAAA");
    EXPECT_EQ(s.Level, 10);
    EXPECT_EQ(s.PeakLevel, 10);
    EXPECT_EQ(s.SetLevel(10), 0);
    EXPECT_EQ(s.SetLevel(4), 0);
    EXPECT_EQ(Ticks(s), "AAAAIIIIII");
    EXPECT_EQ(s.PeakLevel, 10); // the peak only grows through SetLevel
    EXPECT_EQ(s.SetLevel(0), 0);
    EXPECT_EQ(Ticks(s), "IIIIIIIIII");
}

TEST(FrmBar10, PeakTickShownAndRemoved) {
    TFrmBar10 s;
    s.SetLevel(7);
    s.SetLevel(3);
    EXPECT_EQ(Ticks(s), "AAAIIIIIII");
    EXPECT_FALSE(s.ShowPeak(true));
    EXPECT_EQ(Ticks(s), "AAAIIIPIII");
    // A later level pass paints over the peak tick until the next peak pass.
    s.SetLevel(3);
    EXPECT_EQ(Ticks(s), "AAAIIIIIII");
    EXPECT_FALSE(s.ShowPeak(true));
    EXPECT_EQ(Ticks(s), "AAAIIIPIII");

    EXPECT_FALSE(s.ResetPeak(true));
    EXPECT_EQ(Ticks(s), "AAAIIIIIII");
    EXPECT_EQ(s.PeakLevel, 3);
    EXPECT_FALSE(s.ShowPeak(true)); // the peak is within the lit ticks now
    EXPECT_EQ(Ticks(s), "AAAIIIIIII");
}

TEST(FrmBar10, GoOnChainsBetweenSegments) {
    TFrmBar10 s;
    // Never lit: nothing here, the next lower segment decides.
    EXPECT_TRUE(s.ShowPeak(true));
    EXPECT_TRUE(s.ResetPeak(true));
    EXPECT_EQ(Ticks(s), "IIIIIIIIII");

    // Below the segment that drew the peak: draw nothing, only follow the level.
    s.SetLevel(8);
    s.SetLevel(2);
    EXPECT_FALSE(s.ShowPeak(false));
    EXPECT_EQ(Ticks(s), "AAIIIIIIII");
    EXPECT_EQ(s.PeakLevel, 8);
    EXPECT_FALSE(s.ResetPeak(false));
    EXPECT_EQ(s.PeakLevel, 2);
    EXPECT_EQ(Ticks(s), "AAIIIIIIII");
}

TEST(FrmBar10, ColourSettersRedrawTheLevel) {
    TFrmBar10 s;
    s.SetLevel(6);
    s.SetLevel(2);
    s.PeakColor = clRed; // written directly, nothing redrawn
    EXPECT_EQ(Ticks(s), "AAIIIIIIII");
    s.ShowPeak(true);
    EXPECT_EQ(s.TickColor(5), clRed);

    s.SetActiveColor(clLime);
    EXPECT_EQ(s.TickColor(0), clLime);
    EXPECT_EQ(s.TickColor(5), clGray) << "the peak tick is painted over";
    s.SetInactiveColor(clNavy);
    EXPECT_EQ(s.TickColor(9), clNavy);
    s.SetBackColor(clMaroon);
    EXPECT_EQ(s.Panel0->Color(), clMaroon);
    EXPECT_EQ(Ticks(s), "AAIIIIIIII");
}

TEST(FrmBar10, SameLevelRepaintsNothingAndOneTickOnlyItself) {
    QWidget top;
    top.resize(60, 40);
    auto* s = new TFrmBar10(&top);
    s->setObjectName("seg");
    s->setGeometry(0, 0, 40, 30);
    s->SetLevel(4);
    test::ShowAndFlush(&top);
    test::PaintCounter counter(&top);
    for (int i = 0; i < 5; ++i) s->SetLevel(4);
    test::Flush(&top);
    EXPECT_EQ(counter.Total(), 0) << counter.Painted().join(", ").toStdString();

    s->SetLevel(5);
    test::Flush(&top);
    EXPECT_EQ(counter.Painted(), QStringList{"seg/Panel0"});
    EXPECT_EQ(counter.Region(s->Panel0), QRegion(s->TickRect(4)));
}

} // namespace
} // namespace kaldor
