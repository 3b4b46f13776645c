// The window as the layout tables give it: names, places, sizes, captions, colours, fonts.
#include <QAction>
#include <QActionGroup>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QtMath>

#include "WindowFixture.h"
#include "shell/KeyButton.h"

using namespace kaldor;
using namespace kaldor::test;

namespace {

template <typename T>
T* Find(QObject* root, const char* name) {
    T* w = root->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

} // namespace

TEST_F(WindowTest, WindowCaptionClientAreaAndFrame) {
    EXPECT_EQ(form->windowTitle(),
              QStringLiteral("KALDOR Console Rel.07_07_07_C - CE/FCC Compliant Second Series"));
    EXPECT_EQ(form->Client->size(), QSize(792, 404));
    EXPECT_EQ(form->Panel2->geometry(), QRect(0, 0, 792, 40));
    EXPECT_EQ(form->Panel1->geometry(), QRect(0, 40, 792, 345));
    EXPECT_EQ(form->StatusBar->geometry(), QRect(0, 385, 792, 19));
    EXPECT_EQ(form->StaticText21->geometry(), QRect(150, 9, 482, 24));
    EXPECT_EQ(form->StaticText21->Caption(),
              QStringLiteral("KALDOR M7-QX Fully Automatic Solid State Linear Amplifier"));
    EXPECT_EQ(form->StaticText21->FontColor(), clTeal);
    EXPECT_EQ(form->StaticText21->font().pixelSize(), 16);
    EXPECT_TRUE(form->StaticText21->font().bold());
    const int widths[4] = {120, 150, 130, 50};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(form->StatusPanels[i]->width(), widths[i]);
        EXPECT_EQ(form->StatusPanels[i]->text(), QString()) << "nothing written before a port opens";
    }
    EXPECT_EQ(form->tmrWarning->interval(), 500);
    EXPECT_TRUE(form->tmrWarning->isActive());

    // Resizing moves no control: Panel1 follows the client area.
    form->resize(form->width() + 100, form->height() + 50);
    QTest::qWait(20);
    EXPECT_EQ(form->Panel1->geometry(), QRect(0, 40, 892, 395));
    EXPECT_EQ(form->StatusBar->geometry().top(), 435);
    EXPECT_EQ(form->sbSET->geometry(), QRect(621, 300, 70, 32));
}

TEST_F(WindowTest, KeyButtonsAndTheirActions) {
    struct Row {
        const char* button;
        QPoint at;
        const char* action;
        const char* category;
        const char* caption;
        const char* hint;
        QKeySequence shortcut;
        TColor colour;
        bool underline;
        bool glyph;
    };
    const QKeySequence none;
    const Row rows[] = {
        {"sbLMinus", {6, 41}, "actLMinus", "LeftActions", "L", "ShortCut:", QKeySequence(Qt::CTRL | Qt::Key_L), clTeal, true, true},
        {"sbLPlus", {6, 73}, "actLPlus", "LeftActions", "&L", "ShortCut: (Alt+L)", QKeySequence(Qt::ALT | Qt::Key_L), clTeal, false, true},
        {"sbCMinus", {6, 112}, "actCMinus", "LeftActions", "C", "ShortCut: ", QKeySequence(Qt::CTRL | Qt::Key_C), clTeal, true, true},
        {"sbCPlus", {6, 144}, "actCPlus", "LeftActions", "&C", "ShortCut: (Alt+C)", QKeySequence(Qt::ALT | Qt::Key_C), clTeal, true, true},
        {"sbTune", {6, 184}, "actTune", "LeftActions", "T&UNE", "ShortCut: (Alt+U)", QKeySequence(Qt::ALT | Qt::Key_U), clTeal, false, false},
        {"sbOFF", {716, 41}, "actOff", "RightActions", "O&FF", "ShortCut: (Alt+F)", QKeySequence(Qt::ALT | Qt::Key_F), clMaroon, false, false},
        {"sbON", {716, 73}, "actOn", "RightActions", "O&N", "ShortCut: (Alt+N)", QKeySequence(Qt::ALT | Qt::Key_N), clGreen, false, false},
        {"sbPower", {716, 112}, "actPower", "RightActions", "&POWER", "ShortCut: (Alt+P)", QKeySequence(Qt::ALT | Qt::Key_P), clTeal, false, false},
        {"sbDisplay", {716, 144}, "actDisplay", "RightActions", "&DISPLAY", "ShortCut: (Alt+D)", QKeySequence(Qt::ALT | Qt::Key_D), clTeal, false, false},
        {"sbOperate", {716, 184}, "actOperate", "RightActions", "&OPERATE", "ShortCut: (Alt+O)", QKeySequence(Qt::ALT | Qt::Key_O), clTeal, false, false},
        {"sbIN", {98, 300}, "actIN", "CenterActions", "&IN", "ShortCut: (Alt+I)", QKeySequence(Qt::ALT | Qt::Key_I), clTeal, false, false},
        {"sbBandMinus", {168, 300}, "actBandMinus", "CenterActions", "&BAND", "ShortCut:", QKeySequence(Qt::CTRL | Qt::Key_B), clTeal, false, true},
        {"sbBandPlus", {238, 300}, "actBandPlus", "CenterActions", "&BAND", "ShortCut: (Alt+B)", QKeySequence(Qt::ALT | Qt::Key_B), clTeal, false, true},
        {"sbANT", {308, 300}, "actAnt", "CenterActions", "&ANT", "ShortCut: (Alt+A)", QKeySequence(Qt::ALT | Qt::Key_A), clTeal, false, false},
        {"sbCAT", {378, 300}, "actCAT", "CenterActions", "CA&T", "ShortCut: (Alt+T)", QKeySequence(Qt::ALT | Qt::Key_T), clTeal, false, false},
        {"sbLeft", {481, 300}, "actLeft", "CenterActions", "&-", "ShortCut: (Alt+-)", QKeySequence(Qt::ALT | Qt::Key_Minus), clTeal, false, true},
        {"sbRight", {551, 300}, "actRight", "CenterActions", "&+", "ShortCut: (Alt++)", QKeySequence(Qt::ALT | Qt::Key_Plus), clTeal, false, true},
        {"sbSET", {621, 300}, "actSet", "CenterActions", "&SET", "ShortCut: (Alt+S)", QKeySequence(Qt::ALT | Qt::Key_S), clTeal, false, false},
    };
    for (const Row& r : rows) {
        auto* b = Find<QToolButton>(form.get(), r.button);
        auto* a = Find<QAction>(form.get(), r.action);
        if (!b || !a) continue;
        EXPECT_EQ(b->geometry(), QRect(r.at, QSize(70, 32))) << r.button;
        EXPECT_EQ(b->defaultAction(), a) << r.button;
        EXPECT_EQ(b->focusPolicy(), Qt::NoFocus) << r.button;
        EXPECT_EQ(b->cursor().shape(), Qt::PointingHandCursor) << r.button;
        EXPECT_EQ(a->text(), QString::fromLatin1(r.caption)) << r.action;
        EXPECT_EQ(b->text(), QString::fromLatin1(r.caption).remove('&')) << r.button;
        EXPECT_EQ(a->toolTip(), QString::fromLatin1(r.hint)) << r.action;
        EXPECT_EQ(a->property("category").toString(), QString::fromLatin1(r.category));
        EXPECT_EQ(a->shortcut(), r.shortcut) << r.action;
        EXPECT_TRUE(b->font().bold()) << r.button;
        EXPECT_EQ(b->font().underline(), r.underline) << r.button;
        EXPECT_EQ(b->palette().color(QPalette::ButtonText), r.colour.ToQColor()) << r.button;
        EXPECT_EQ(a->icon().isNull(), !r.glyph) << r.action;
        const bool arrowRight = static_cast<TKeyButton*>(b)->GlyphRight();
        EXPECT_EQ(arrowRight, r.glyph && (QString(r.button).contains("Plus") || QString(r.button) == "sbRight"))
            << r.button;
    }
    EXPECT_EQ(form->sbLeft->font().pixelSize(), 16);
    EXPECT_EQ(form->sbSET->font().pixelSize(), 11);
}

TEST_F(WindowTest, IndicatorFieldsStartWithTheirCaptionsInGrayOnBlack) {
    struct Row {
        const char* name;
        QRect bounds;
        const char* caption;
        int px;
        TColor fore, back;
        TBorder border;
    };
    const TBorder S = TBorder::Single;
    const Row rows[] = {
        {"StaticText2", {161, 243, 55, 22}, "IN", 16, clBlack, clBtnFace, S},
        {"StaticText3", {217, 243, 55, 22}, "BAND", 16, clBlack, clBtnFace, S},
        {"StaticText4", {273, 243, 55, 22}, "ANT", 16, clBlack, clBtnFace, S},
        {"StaticText5", {329, 243, 106, 22}, "CAT", 16, clBlack, clBtnFace, S},
        {"StaticText6", {436, 243, 55, 22}, "OUT", 16, clBlack, clBtnFace, S},
        {"lblSWR_Gain", {492, 243, 80, 22}, "SWR", 16, clBlack, clBtnFace, S},
        {"StaticText8", {573, 243, 55, 22}, "TEMP", 16, clBlack, clBtnFace, S},
        {"stInput", {161, 266, 55, 22}, "1", 16, clGray, clBlack, S},
        {"stBand", {217, 266, 55, 22}, "160 m", 16, clGray, clBlack, S},
        {"stAntenna", {273, 266, 55, 22}, "NONE", 16, clGray, clBlack, S},
        {"stCAT", {329, 266, 106, 22}, "NONE", 16, clGray, clBlack, S},
        {"stPower", {436, 266, 55, 22}, "HALF", 16, clGray, clBlack, S},
        {"stSWR_Gain", {492, 266, 80, 22}, "--.--", 16, clGray, clBlack, S},
        {"stTemp", {573, 266, 55, 22}, "0 \xB0" "C", 16, clGray, clBlack, S},
        {"stAlarm", {9, 271, 45, 17}, "ALRM", 13, clGray, clBlack, S},
        {"stTune", {61, 271, 45, 17}, "TUNE", 13, clGray, clBlack, S},
        {"stSet", {112, 271, 45, 17}, "SET", 13, clGray, clBlack, S},
        {"stON", {631, 271, 45, 17}, "ON", 13, clGray, clBlack, S},
        {"stOperate", {683, 271, 45, 17}, "OP", 13, clGray, clBlack, S},
        {"stTX", {734, 271, 45, 17}, "TX", 13, clGray, clBlack, S},
        {"stMode", {316, 10, 160, 22}, "", 16, clGray, clBlack, TBorder::Sunken},
        {"stFlex", {217, 224, 55, 19}, "", 13, clLime, clBlack, TBorder::Sunken},
    };
    for (const Row& r : rows) {
        auto* t = Find<TStaticText>(form->Panel1, r.name);
        if (!t) continue;
        EXPECT_EQ(t->geometry(), r.bounds) << r.name;
        EXPECT_EQ(t->Caption(), FromWin1252(std::string(r.caption))) << r.name;
        EXPECT_EQ(t->font().pixelSize(), r.px) << r.name;
        EXPECT_TRUE(t->font().bold()) << r.name;
        EXPECT_EQ(t->FontColor(), r.fore) << r.name;
        EXPECT_EQ(t->Color(), r.back) << r.name;
        EXPECT_EQ(t->Border(), r.border) << r.name;
        EXPECT_EQ(t->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter) << r.name;
        EXPECT_EQ(t->isHidden(), QString(r.name) == "stFlex") << r.name;
    }
    EXPECT_EQ(form->stTemp->Caption(), QString::fromUtf8("0 \u00B0C"));
}

// Every caption that sits in a fixed box fits it, whatever the font's advances and the screen's
// scaling (the test runs at several; see CMakeLists.txt): drawn smaller by whole pixels where
// it must be, never smaller than it needs, the box where the layout put it, and its ink inside
// the content.
TEST_F(WindowTest, EveryCaptionFitsItsBoxAtThisScaling) {
    const auto panel = [this](int i) { return static_cast<TStaticText*>(form->StatusPanels[size_t(i)]); };
    const std::pair<TStaticText*, const char*> rows[] = {
        {form->stStartup, "Standby"}, {form->stStartup, "Operate"}, {form->stFreq, "54.000"},
        {form->stSubBand, "999"}, {form->stContest, "Off"}, {form->stCelsius, "\xB0" "C "},
        {form->stL_Out, "12.7"}, {form->stC_Out, "999.9"},
        {form->Frm_PA->stPeak, "1200.0"}, {form->Frm_PA->stMeasUnit, " W pep"},
        {form->Frm_PR->stPeak, " 200.0"}, {form->Frm_PA->stLabel, "XCTR OUT"},
        {form->Frm_PA->st100, "1200"}, {form->Frm_PA->st75, "900"},
        {form->StaticText2, "IN"}, {form->StaticText3, "BAND"}, {form->StaticText8, "TEMP"},
        {form->lblSWR_Gain, "PA GAIN"}, {form->stBand, "160 m"}, {form->stAntenna, "NONE"},
        {form->stCAT, "FLEX-RADIO"}, {form->stPower, "HALF"}, {form->stPower, "FULL"},
        {form->stSWR_Gain, "<10.0 dB"}, {form->stSWR_Gain, "--.-- dB"}, {form->stSWR_Gain, ">99.99"},
        {form->stTemp, "100 \xB0" "F"}, {form->stAlarm, "ALRM"}, {form->stTune, "TUNE"},
        {form->stOperate, "OP"}, {form->stMode, "SETUP MODE"}, {form->stMode, "ALERT MODE"},
        {form->stFlex, "PC=255"}, {form->stOutBand, "BAND NOT PERMITTED"},
        {form->stPWRev, "HIGH REFLECTED POWER"}, {form->stWarning, "160 m ANTENNA NOT AVAILABLE"},
        {panel(0), "Serial port: COM6"}, {panel(1), "Remote connection: OFF"},
        {panel(2), "Auto shutdown: OFF"},
    };
    const qreal ratio = form->devicePixelRatioF();
    for (const auto& [t, caption] : rows) {
        const QRect bounds = t->geometry();
        t->SetCaption(caption);
        const QString text = t->Caption();
        const QString row = text + QStringLiteral(" in ") + t->objectName() +
                            QStringLiteral(" at %1").arg(ratio);
        const QFont wanted = t->font(), fitted = t->FittedFont();
        const int width = t->contentsRect().width();
        EXPECT_EQ(t->geometry(), bounds) << qPrintable(row) << ": the box stays";
        EXPECT_EQ(fitted.family(), wanted.family()) << qPrintable(row);
        EXPECT_EQ(fitted.bold(), wanted.bold()) << qPrintable(row);
        EXPECT_LE(TextWidth(fitted, text, t), width) << qPrintable(row);
        const int px = fitted.pixelSize(), asked = QFontInfo(wanted).pixelSize();
        EXPECT_LE(px, asked) << qPrintable(row);
        if (px < asked) {
            QFont larger = fitted;
            larger.setPixelSize(px + 1);
            EXPECT_GT(TextWidth(larger, text, t), width)
                << qPrintable(row) << ": shrunk more than it needed";
        }
        // Where the label puts the text (by its alignment, moved by its ink's overhang), its
        // ink stays inside the content, and moves no further than the overhang needs.
        const QRectF cr = t->contentsRect();
        const qreal advance = QFontMetricsF(fitted, t).horizontalAdvance(text);
        const Qt::Alignment align = t->alignment() & Qt::AlignHorizontal_Mask;
        const qreal x = align == Qt::AlignLeft    ? cr.left()
                        : align == Qt::AlignRight ? cr.left() + cr.width() - advance
                                                  : cr.left() + (cr.width() - advance) / 2;
        const QRectF placed = QFontMetricsF(fitted, t).boundingRect(text).translated(x, 0);
        const QRectF ink = placed.translated(t->InkShift(), 0);
        EXPECT_GE(ink.left(), cr.left()) << qPrintable(row);
        EXPECT_LE(ink.right(), cr.left() + cr.width()) << qPrintable(row);
        EXPECT_LE(std::abs(t->InkShift()),
                  qCeil(std::max({0.0, placed.right() - cr.left() - cr.width(), cr.left() - placed.left()})))
            << qPrintable(row) << ": moved further than its overhang";
    }
}

TEST_F(WindowTest, MetersDisplayAndOverlays) {
    const char* meters[] = {"Frm_PA", "Frm_PR", "Frm_VPA", "Frm_IPA"};
    for (int i = 0; i < 4; ++i) {
        auto* m = Find<TFrmBar100>(form->Panel1, meters[i]);
        if (!m) continue;
        EXPECT_EQ(m->geometry(), QRect(80, 40 + 44 * i, 635, 45)) << meters[i];
        EXPECT_FALSE(m->isHidden());
    }
    EXPECT_EQ(form->pnl_LCD->geometry(), QRect(81, 34, 630, 189));
    EXPECT_TRUE(form->pnl_LCD->isHidden());
    EXPECT_EQ(form->pnl_LCD->BevelInner(), TBevel::Raised);
    EXPECT_EQ(form->pnl_LCD->BevelOuter(), TBevel::Lowered);
    // The display after InitLcd.
    EXPECT_EQ(form->bvlLCD->geometry(), QRect(90, 4, 450, 181));
    EXPECT_EQ(form->imgLCD->geometry(), QRect(92, 6, 446, 177));
    EXPECT_FALSE(form->imgLCD->isEnabled());
    EXPECT_EQ(form->imgLCD->Image().pixelColor(5, 5), clDisplayGround.ToQColor());

    struct Slider {
        const char* name;
        QRect bounds;
        int max;
        bool visible;
        bool ticks;
    };
    for (const Slider& s : {Slider{"sldrC_Out", {16, 66, 190, 23}, 1023, false, false},
                            Slider{"sldrL_Out", {16, 41, 190, 23}, 127, false, false},
                            Slider{"sldrBacklight", {364, 113, 190, 30}, 255, true, true}}) {
        auto* w = Find<QSlider>(form->pnl_LCD, s.name);
        if (!w) continue;
        EXPECT_EQ(w->geometry(), s.bounds) << s.name;
        EXPECT_EQ(w->maximum(), s.max) << s.name;
        EXPECT_EQ(w->isHidden(), !s.visible) << s.name;
        EXPECT_FALSE(w->isEnabled()) << s.name;
        EXPECT_EQ(w->tickPosition() != QSlider::NoTicks, s.ticks) << s.name;
    }
    EXPECT_EQ(form->sldrBacklight->tickInterval(), 16);

    struct Text {
        const char* name;
        QRect bounds;
    };
    const Text texts[] = {
        {"stFreq", {16, 15, 76, 21}},    {"stSubBand", {16, 143, 40, 21}}, {"stL_Out", {16, 92, 76, 21}},
        {"stC_Out", {16, 117, 76, 21}},  {"stContest", {344, 7, 40, 21}},  {"stBeep", {344, 28, 40, 21}},
        {"stCelsius", {280, 7, 40, 21}}, {"stStartup", {345, 94, 80, 21}}, {"st160", {404, 7, 47, 21}},
        {"st80", {404, 28, 47, 21}},     {"st40", {404, 49, 47, 21}},      {"st30", {404, 70, 47, 21}},
        {"st20", {467, 7, 47, 21}},      {"st17", {467, 28, 47, 21}},      {"st15", {467, 49, 47, 21}},
        {"st12", {467, 70, 47, 21}},     {"st10", {530, 7, 47, 21}},       {"st6", {530, 28, 47, 21}},
    };
    for (const Text& t : texts) {
        auto* w = Find<TStaticText>(form->pnl_LCD, t.name);
        if (!w) continue;
        EXPECT_EQ(w->geometry(), t.bounds) << t.name;
        EXPECT_TRUE(w->isHidden()) << t.name;
        EXPECT_EQ(w->Caption(), QString()) << t.name;
        EXPECT_EQ(w->font().pixelSize(), 19) << t.name;
        EXPECT_FALSE(w->font().bold()) << t.name;
        EXPECT_EQ(w->font().family(), QStringLiteral("Courier New")) << t.name;
        EXPECT_EQ(w->FontColor(), clWindowText) << t.name;
        EXPECT_EQ(w->Color(), clWhite) << t.name;
        EXPECT_EQ(w->Border(), TBorder::Single) << t.name;
        EXPECT_EQ(w->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight) << t.name;
    }

    EXPECT_EQ(form->pnlInit->geometry(), QRect(154, 96, 485, 65));
    EXPECT_TRUE(form->pnlInit->isHidden());
    EXPECT_EQ(form->pbInit->geometry(), QRect(20, 16, 445, 16));
    EXPECT_EQ(form->pbInit->maximum(), 100);
    EXPECT_EQ(form->StaticText1->Caption(), QStringLiteral("Initialization in progress..."));
    EXPECT_EQ(form->StaticText1->FontColor(), clNavy);
    EXPECT_EQ(form->StaticText1->font().pixelSize(), 13);
    int top[3] = {69, 112, 154};
    TStaticText* warnings[3] = {form->stOutBand, form->stPWRev, form->stWarning};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(warnings[i]->geometry(), QRect(154, top[i], 486, 36));
        EXPECT_TRUE(warnings[i]->isHidden());
        EXPECT_EQ(warnings[i]->FontColor(), clYellow);
        EXPECT_EQ(warnings[i]->Color(), clBlack);
        EXPECT_EQ(warnings[i]->Border(), TBorder::Sunken);
        EXPECT_EQ(warnings[i]->font().pixelSize(), 29);
        EXPECT_EQ(warnings[i]->font().family(), QStringLiteral("Arial"));
    }
    EXPECT_EQ(form->stOutBand->Caption(), QStringLiteral("BAND NOT PERMITTED"));
}

TEST_F(WindowTest, MenusAndTheSerialPortRadioGroup) {
    const QList<QAction*> top = form->menuBar()->actions();
    ASSERT_EQ(top.size(), 2);
    EXPECT_EQ(top[0]->text(), QStringLiteral("&File"));
    EXPECT_EQ(top[1]->text(), QStringLiteral("S&etup"));
    EXPECT_EQ(form->itmExit->text(), QStringLiteral("E&xit"));
    EXPECT_EQ(form->itmSerialPort->title(), QStringLiteral("Serial &Port"));
    EXPECT_EQ(form->itmKaldor->title(), QStringLiteral("&Kaldor"));
    EXPECT_EQ(form->itmShutdown->text(), QStringLiteral("&Shutdown when exit/disconnect"));
    EXPECT_TRUE(form->itmShutdown->isCheckable());
    const QList<QAction*> ports = form->itmSerialPort->actions();
    ASSERT_EQ(ports.size(), 8); // COM1 to COM6, the device assignment, the take-over (hidden)
    EXPECT_EQ(ports[6], form->itmDevices);
    EXPECT_EQ(ports[7], form->itmTakeControl);
    EXPECT_FALSE(form->itmTakeControl->isVisible()) << "offered on a shared line only";
    EXPECT_EQ(form->itmDevices->text(), QStringLiteral("Devices..."));
    EXPECT_FALSE(form->itmDevices->actionGroup());
    for (int n = 1; n <= 6; ++n) {
        QAction* a = ports[n - 1];
        EXPECT_EQ(a->objectName(), QStringLiteral("actOpenCom%1").arg(n));
        EXPECT_EQ(a->text(), QStringLiteral("COM &%1").arg(n));
        EXPECT_TRUE(a->isCheckable());
        EXPECT_EQ(a->actionGroup(), form->SerialGroup);
        EXPECT_FALSE(a->isChecked());
    }
    EXPECT_TRUE(form->SerialGroup->isExclusive());
}
