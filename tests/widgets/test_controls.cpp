// The colour type and the compare-first controls.
#include "widgets/Color.h"
#include "widgets/Controls.h"
#include "WidgetTestUtil.h"

#include <QImage>
#include <QPalette>
#include <QPushButton>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace kaldor {
namespace {

using test::Flush;
using test::PaintCounter;
using test::ShowAndFlush;

// Pixels as drawn, 8 bits a channel; palette colours may carry more precision than that.
QRgb PixelAt(QWidget* w, int x, int y) {
    return w->grab().toImage().pixel(x, y) | 0xFF000000u;
}
QRgb Rgb(const QColor& c) { return c.rgb(); }

TEST(Color, RgbValuesAreBgrOrdered) {
    EXPECT_EQ(clAqua.ToQColor(), QColor(0, 255, 255));
    EXPECT_EQ(clYellow.ToQColor(), QColor(255, 255, 0));
    EXPECT_EQ(clRed.ToQColor(), QColor(255, 0, 0));
    EXPECT_EQ(clLime.ToQColor(), QColor(0, 255, 0));
    EXPECT_EQ(clNavy.ToQColor(), QColor(0, 0, 128));
    EXPECT_EQ(clMaroon.ToQColor(), QColor(128, 0, 0));
    EXPECT_EQ(clTeal.ToQColor(), QColor(0, 128, 128));
    EXPECT_EQ(clGreen.ToQColor(), QColor(0, 128, 0));
    EXPECT_EQ(clGray.ToQColor(), QColor(128, 128, 128));
    EXPECT_EQ(clDisplayGround.ToQColor(), QColor(0x9D, 0xFF, 0xFF));
    EXPECT_EQ(TColor::FromRgb(1, 2, 3), TColor(0x030201));
    EXPECT_EQ(clInfoBk.Value(), 0x80000018u);
}

TEST(Color, SystemColoursFollowThePalette) {
    const QPalette pal = QGuiApplication::palette();
    EXPECT_TRUE(clInfoBk.IsSystem());
    EXPECT_FALSE(clWhite.IsSystem());
    EXPECT_EQ(clInfoBk.ToQColor(), pal.color(QPalette::Active, QPalette::ToolTipBase));
    EXPECT_EQ(clBtnFace.ToQColor(), pal.color(QPalette::Active, QPalette::Button));
    EXPECT_EQ(clWindowText.ToQColor(), pal.color(QPalette::Active, QPalette::WindowText));
}

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        top.resize(200, 100);
        text = new TStaticText(&top, "stText", QRect(10, 10, 80, 20));
        panel = new TPanel(&top, "pnlTest", QRect(100, 10, 40, 30));
        other = new TStaticText(&top, "stOther", QRect(10, 50, 80, 20));
        ShowAndFlush(&top);
        counter = std::make_unique<PaintCounter>(&top);
    }
    QWidget top;
    TStaticText* text = nullptr;
    TPanel* panel = nullptr;
    TStaticText* other = nullptr;
    std::unique_ptr<PaintCounter> counter;
};

TEST_F(ControlsTest, CurrentValuesChangeAndRepaintNothing) {
    text->SetCaption(QStringLiteral("  12.5"));
    text->SetFontColor(clLime);
    text->SetColor(clBlack);
    panel->SetColor(clGray);
    Flush(&top);
    counter->Reset();

    for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(text->SetCaption(QStringLiteral("  12.5")));
        EXPECT_FALSE(text->SetCaption(std::string("  12.5")));
        EXPECT_FALSE(text->SetCaption("  12.5"));
        EXPECT_FALSE(text->SetFontColor(clLime));
        EXPECT_FALSE(text->SetColor(clBlack));
        EXPECT_FALSE(text->SetAlignment(Qt::AlignLeft));
        EXPECT_FALSE(text->SetBorder(TBorder::None));
        EXPECT_FALSE(panel->SetColor(clGray));
        EXPECT_FALSE(panel->SetBevel(TBevel::None));
        EXPECT_FALSE(SetVisible(text, true));
        EXPECT_FALSE(SetEnabled(text, true));
        EXPECT_FALSE(SetBounds(text, 10, 10, 80, 20));
        EXPECT_FALSE(SetPos(panel, 100, 10));
        EXPECT_FALSE(SetText(text, QStringLiteral("  12.5")));
        EXPECT_FALSE(SetColor(panel, clGray));
        EXPECT_FALSE(SetFontColor(text, clLime));
        Flush(&top);
    }
    EXPECT_EQ(counter->Total(), 0) << counter->Painted().join(", ").toStdString();
}

TEST_F(ControlsTest, ByteCaptionsFollowEveryWayOfSettingTheText) {
    EXPECT_TRUE(text->SetCaption("45 \xB0" "C"));
    EXPECT_EQ(text->Caption(), QString::fromUtf8("45 \u00B0C"));
    EXPECT_TRUE(text->SetCaption(QStringLiteral("other")));
    EXPECT_TRUE(text->SetCaption(std::string("45 \xB0" "C"))) << "the text set in between counts";
    EXPECT_TRUE(SetText(text, QStringLiteral("x")));
    EXPECT_TRUE(text->SetCaption("45 \xB0" "C"));
    EXPECT_FALSE(text->SetCaption(std::string("45 \xB0" "C")));
    EXPECT_EQ(text->Caption(), QString::fromUtf8("45 \u00B0C"));
}

TEST_F(ControlsTest, AChangeRepaintsOnlyThatControl) {
    const struct {
        const char* what;
        std::function<bool()> change;
    } cases[] = {
        {"caption", [&] { return text->SetCaption("new"); }},
        {"font colour", [&] { return text->SetFontColor(clRed); }},
        {"background", [&] { return text->SetColor(clNavy); }},
        {"border", [&] { return text->SetBorder(TBorder::Sunken); }},
        {"disabled", [&] { return SetEnabled(text, false); }},
    };
    for (const auto& c : cases) {
        Flush(&top);
        counter->Reset();
        EXPECT_TRUE(c.change()) << c.what;
        Flush(&top);
        EXPECT_EQ(counter->Painted(), QStringList{"stText"}) << c.what;
    }
    Flush(&top);
    counter->Reset();
    EXPECT_TRUE(panel->SetColor(clMaroon));
    Flush(&top);
    EXPECT_EQ(counter->Painted(), QStringList{"pnlTest"});
}

TEST_F(ControlsTest, VisibilityAndGeometryCompareTheOwnFlag) {
    EXPECT_TRUE(SetVisible(text, false));
    EXPECT_TRUE(text->isHidden());
    EXPECT_FALSE(SetVisible(text, false));
    EXPECT_TRUE(SetVisible(text, true));
    EXPECT_TRUE(text->isVisible());

    // A child of a hidden parent keeps its own flag: showing the parent shows it.
    top.hide();
    EXPECT_FALSE(SetVisible(text, true));
    EXPECT_TRUE(SetVisible(other, false));
    top.show();
    EXPECT_TRUE(text->isVisible());
    EXPECT_FALSE(other->isVisible());

    EXPECT_TRUE(SetBounds(text, QRect(20, 30, 50, 17)));
    EXPECT_EQ(text->geometry(), QRect(20, 30, 50, 17));
    EXPECT_TRUE(SetPos(text, 5, 6));
    EXPECT_EQ(text->geometry(), QRect(5, 6, 50, 17));

    top.setEnabled(false);
    EXPECT_FALSE(SetEnabled(text, true)); // its own flag is still enabled
    EXPECT_TRUE(SetEnabled(text, false));
    top.setEnabled(true);
    EXPECT_FALSE(text->isEnabled());
    EXPECT_TRUE(SetEnabled(text, true));
    EXPECT_TRUE(text->isEnabled());
}

TEST_F(ControlsTest, StaticTextDrawsItsColoursAndBorders) {
    text->SetColor(clNavy);
    text->SetFontColor(clYellow);
    text->SetCaption("0 \xB0" "C");
    EXPECT_EQ(text->Caption(), QString::fromUtf8("0 \u00B0C"));
    SetFont(text, "DejaVu Sans", 16, true);
    text->SetCaption("HHH");
    QImage img = text->grab().toImage();
    EXPECT_EQ(img.pixel(79, 19), qRgb(0, 0, 128));
    bool yellow = false;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) yellow |= img.pixel(x, y) == qRgb(255, 255, 0);
    EXPECT_TRUE(yellow) << "the text is drawn in the font colour";

    text->SetBorder(TBorder::Single);
    EXPECT_EQ(PixelAt(text, 0, 0), Rgb(QColor(0, 0, 0)));
    EXPECT_EQ(PixelAt(text, 79, 19), Rgb(QColor(0, 0, 0)));
    EXPECT_EQ(PixelAt(text, 1, 1), Rgb(QColor(0, 0, 128)));
    text->SetBorder(TBorder::Sunken);
    EXPECT_EQ(PixelAt(text, 0, 0), Rgb(clBtnShadow.ToQColor()));
    EXPECT_EQ(PixelAt(text, 79, 19), Rgb(clBtnHighlight.ToQColor()));

    // A system colour resolves through the palette.
    text->SetColor(clInfoBk);
    EXPECT_EQ(PixelAt(text, 40, 10), Rgb(clInfoBk.ToQColor()));
}

TEST_F(ControlsTest, StaticTextKeepsBlanksAndAlignment) {
    text->SetCaption("   0.0");
    EXPECT_EQ(text->text(), QStringLiteral("   0.0"));
    EXPECT_EQ(text->textFormat(), Qt::PlainText);
    text->SetAlignment(Qt::AlignRight);
    EXPECT_EQ(text->alignment(), Qt::AlignRight | Qt::AlignTop);
    EXPECT_TRUE(text->SetAlignment(Qt::AlignHCenter));
    EXPECT_EQ(text->alignment(), Qt::AlignHCenter | Qt::AlignTop);

    EXPECT_TRUE(SetFont(text, "MS Sans Serif", 11, true));
    EXPECT_EQ(text->font().family(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(text->font().pixelSize(), 11);
    EXPECT_TRUE(text->font().bold());
    EXPECT_FALSE(SetFont(text, "MS Sans Serif", 11, true));
}

TEST_F(ControlsTest, PanelDrawsColourAndBevels) {
    panel->SetColor(clBlack);
    EXPECT_EQ(PixelAt(panel, 20, 15), Rgb(QColor(0, 0, 0)));
    EXPECT_EQ(PixelAt(panel, 0, 0), Rgb(QColor(0, 0, 0)));
    panel->SetBevel(TBevel::Lowered);
    EXPECT_EQ(PixelAt(panel, 0, 0), Rgb(clBtnShadow.ToQColor()));
    EXPECT_EQ(PixelAt(panel, 39, 29), Rgb(clBtnHighlight.ToQColor()));
    EXPECT_EQ(PixelAt(panel, 1, 1), Rgb(QColor(0, 0, 0)));
    // Raised inside, lowered outside: two rings.
    panel->SetBevel(TBevel::Raised, TBevel::Lowered);
    EXPECT_EQ(PixelAt(panel, 0, 0), Rgb(clBtnShadow.ToQColor()));
    EXPECT_EQ(PixelAt(panel, 1, 1), Rgb(clBtnHighlight.ToQColor()));
    EXPECT_EQ(PixelAt(panel, 38, 28), Rgb(clBtnShadow.ToQColor()));
    EXPECT_EQ(PixelAt(panel, 2, 2), Rgb(QColor(0, 0, 0)));
}

TEST_F(ControlsTest, GenericSettersWorkOnPlainWidgets) {
    auto* button = new QPushButton("x", &top);
    EXPECT_TRUE(SetFontColor(button, clTeal));
    EXPECT_EQ(button->palette().color(button->foregroundRole()), clTeal.ToQColor());
    EXPECT_FALSE(SetFontColor(button, clTeal));
    auto* plain = new QWidget(&top);
    EXPECT_TRUE(SetColor(plain, clGreen));
    EXPECT_TRUE(plain->autoFillBackground());
    EXPECT_FALSE(SetColor(plain, clGreen));
    // Forwarded to the control's own setter, so its stored colour stays true.
    EXPECT_TRUE(SetColor(panel, clRed));
    EXPECT_EQ(panel->Color(), clRed);
    EXPECT_TRUE(SetText(other, "abc"));
    EXPECT_EQ(other->Caption(), QStringLiteral("abc"));
}

} // namespace
} // namespace kaldor
