#include "shell/Mainunit.h"

#include "panel/InfoDialogs.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include <optional>

#include "shell/Glyphs.h"
#include "shell/KeyButton.h"
#include "shell/QtDispatcher.h"
#include "shell/Settings.h"

namespace kaldor {
namespace {

constexpr int kClientWidth = 792;
constexpr int kClientHeight = 404;
constexpr int kTitleHeight = 40;
constexpr int kStatusHeight = 19;
const char* const kCaption = "KALDOR Console Rel.07_07_07_C - CE/FCC Compliant Second Series";

QKeySequence Alt(int key) { return QKeySequence(Qt::ALT | key); }
QKeySequence Ctrl(int key) { return QKeySequence(Qt::CTRL | key); }

// A key's hint names its shortcut where that is the caption's Alt letter; the Ctrl keys have
// none to name.
QString KeyHint(const QKeySequence& shortcut) {
    if (shortcut[0].keyboardModifiers() != Qt::AltModifier) return QStringLiteral("ShortCut:");
    return QStringLiteral("ShortCut: (%1)").arg(shortcut.toString(QKeySequence::PortableText));
}

TStaticText* MakeText(QWidget* parent, const char* name, QRect bounds, const char* caption,
                      const char* face, int px, bool bold, TColor text, TColor back,
                      TBorder border, Qt::Alignment align) {
    auto* t = new TStaticText(parent, QString::fromLatin1(name), bounds);
    SetFont(t, QString::fromLatin1(face), px, bold);
    t->SetCaption(caption);
    t->SetFontColor(text);
    t->SetColor(back);
    t->SetBorder(border);
    t->SetAlignment(align);
    return t;
}

} // namespace

TMainForm::TMainForm(TSettings& settings, QWidget* parent)
    : QMainWindow(parent), settings_(settings) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QString::fromLatin1(kCaption));
    SetFont(this, QStringLiteral("MS Sans Serif"), 11);
    dispatcher_ = new QtDispatcher(this);
    gate_ = std::make_shared<DispatchGate>(dispatcher_);
    ComOpener = std::make_unique<PortOpener>(gate_.get());
    for (auto& opener : ProbeOpeners) opener = std::make_unique<PortOpener>(gate_.get());

    Client = new QWidget(this);
    Client->setObjectName(QStringLiteral("Client"));
    Client->setAutoFillBackground(true);
    SetColor(Client, clBtnFace);
    setCentralWidget(Client);
    Client->installEventFilter(this);
    qApp->installEventFilter(this);

    KeyGroup = new QActionGroup(this);
    BuildPanels();
    BuildKeys();
    BuildIndicators();
    BuildDisplay();
    BuildOverlays();
    BuildMenu();
    BuildDevicesAndReconnect();
    BuildSharedLine();
    dlgCATInfo = new TdlgCATInfo(this);
    dlgANTInfo = new TdlgANTInfo(this);

    tmrWarning = new QTimer(this);
    tmrWarning->setObjectName(QStringLiteral("tmrWarning"));
    tmrWarning->setInterval(500);
    connect(tmrWarning, &QTimer::timeout, this, [this] { tmrWarningTimer(); });
    tmrWarning->start();

    Client->setFixedSize(kClientWidth, kClientHeight);
    adjustSize();
    Client->setMinimumSize(0, 0);
    Client->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    LayoutClient();
}

void TMainForm::SetSimulated(bool on) {
    simulated_ = on;
    setWindowTitle(QString::fromLatin1(kCaption) + (on ? QString::fromLatin1(kSimulatedSuffix) : QString()));
}

TMainForm::~TMainForm() {
    gate_->Close();
    ComOpener.reset();
    for (auto& opener : ProbeOpeners) opener.reset();
    StopReceiver();
    ComPort.Close();
}

Dispatcher& TMainForm::StatusDispatcher() { return *dispatcher_; }

void TMainForm::BuildPanels() {
    StatusBar = new QStatusBar(Client);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);
    const int widths[4] = {120, 150, 130, kRolePanelWidth};
    for (int i = 0; i < 4; ++i) {
        auto* panel = new TStaticText(StatusBar); // its text fits the fixed width
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFixedWidth(widths[i]);
        panel->setAlignment(i == 3 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        StatusBar->addWidget(panel);
        StatusPanels[static_cast<size_t>(i)] = panel;
    }

    Panel2 = new TPanel(Client, QStringLiteral("Panel2"), QRect(0, 0, kClientWidth, kTitleHeight));
    Panel2->SetBevel(TBevel::Lowered);
    StaticText21 = MakeText(Panel2, "StaticText21", QRect(150, 9, 482, 24),
                            "KALDOR M7-QX Fully Automatic Solid State Linear Amplifier",
                            "MS Sans Serif", 16, true, clTeal, clBtnFace, TBorder::None,
                            Qt::AlignHCenter);

    Panel1 = new TPanel(Client, QStringLiteral("Panel1"),
                        QRect(0, kTitleHeight, kClientWidth,
                              kClientHeight - kTitleHeight - kStatusHeight));
    Panel1->SetBevel(TBevel::Lowered);
}

QAction* TMainForm::MakeAction(const char* name, const char* category, const QString& caption,
                               const QString& hint, const QList<QKeySequence>& shortcuts) {
    auto* a = new QAction(caption, this);
    a->setObjectName(QString::fromLatin1(name));
    a->setProperty("category", QString::fromLatin1(category));
    a->setToolTip(hint);
    a->setStatusTip(hint);
    a->setShortcuts(shortcuts);
    addAction(a); // shortcuts work wherever the focus is in the window
    return a;
}

void TMainForm::BuildKeys() {
    enum Glyph { None, LeftGlyph, RightGlyph };
    // One row per front-panel key, in the panel's order: its action and shortcuts, what pressing
    // it does (the key's command, or a handler of its own), and its button.
    struct KeyRow {
        QAction** action = nullptr;
        const char* actionName = "";
        const char* category = "";
        const char* caption = "";
        QList<QKeySequence> shortcuts = {}; // the first names itself in the hint (KeyHint)
        const char* hint = nullptr; // the odd one out: C minus's ends in a blank, as it always has
        std::optional<Key> key = std::nullopt; // the command sent, for the keys without a handler
        void (TMainForm::*handler)() = nullptr;
        QToolButton** button = nullptr;
        const char* buttonName = "";
        int left = 0, top = 0;
        TColor colour = clTeal;
        bool underline = false;
        const char* face = "MS Sans Serif";
        int px = 11;
        Glyph glyph = None;
    };
    using F = TMainForm;
    // The keypad's minus and plus press the same keys as the main ones.
    const auto keypad = [](Qt::Key key) {
        return QKeySequence(QKeyCombination(Qt::AltModifier | Qt::KeypadModifier, key));
    };
    const KeyRow keys[] = {
        {.action = &actLMinus, .actionName = "actLMinus", .category = "LeftActions", .caption = "L",
         .shortcuts = {Ctrl(Qt::Key_L)}, .key = Key::LMinus, .button = &sbLMinus,
         .buttonName = "sbLMinus", .left = 6, .top = 41, .underline = true, .glyph = LeftGlyph},
        {.action = &actLPlus, .actionName = "actLPlus", .category = "LeftActions", .caption = "&L",
         .shortcuts = {Alt(Qt::Key_L)}, .key = Key::LPlus, .button = &sbLPlus,
         .buttonName = "sbLPlus", .left = 6, .top = 73, .glyph = RightGlyph},
        {.action = &actCMinus, .actionName = "actCMinus", .category = "LeftActions", .caption = "C",
         .shortcuts = {Ctrl(Qt::Key_C)}, .hint = "ShortCut: ", .key = Key::CMinus,
         .button = &sbCMinus, .buttonName = "sbCMinus", .left = 6, .top = 112, .underline = true,
         .glyph = LeftGlyph},
        {.action = &actCPlus, .actionName = "actCPlus", .category = "LeftActions", .caption = "&C",
         .shortcuts = {Alt(Qt::Key_C)}, .key = Key::CPlus, .button = &sbCPlus,
         .buttonName = "sbCPlus", .left = 6, .top = 144, .underline = true, .glyph = RightGlyph},
        {.action = &actTune, .actionName = "actTune", .category = "LeftActions", .caption = "T&UNE",
         .shortcuts = {Alt(Qt::Key_U)}, .key = Key::Tune, .button = &sbTune, .buttonName = "sbTune",
         .left = 6, .top = 184},
        {.action = &actOff, .actionName = "actOff", .category = "RightActions", .caption = "O&FF",
         .shortcuts = {Alt(Qt::Key_F)}, .handler = &F::actOffExecute, .button = &sbOFF,
         .buttonName = "sbOFF", .left = 716, .top = 41, .colour = clMaroon},
        {.action = &actOn, .actionName = "actOn", .category = "RightActions", .caption = "O&N",
         .shortcuts = {Alt(Qt::Key_N)}, .handler = &F::actOnExecute, .button = &sbON,
         .buttonName = "sbON", .left = 716, .top = 73, .colour = clGreen},
        {.action = &actPower, .actionName = "actPower", .category = "RightActions",
         .caption = "&POWER", .shortcuts = {Alt(Qt::Key_P)}, .key = Key::Power, .button = &sbPower,
         .buttonName = "sbPower", .left = 716, .top = 112},
        {.action = &actDisplay, .actionName = "actDisplay", .category = "RightActions",
         .caption = "&DISPLAY", .shortcuts = {Alt(Qt::Key_D)}, .key = Key::Display,
         .button = &sbDisplay, .buttonName = "sbDisplay", .left = 716, .top = 144},
        {.action = &actOperate, .actionName = "actOperate", .category = "RightActions",
         .caption = "&OPERATE", .shortcuts = {Alt(Qt::Key_O)}, .key = Key::Operate,
         .button = &sbOperate, .buttonName = "sbOperate", .left = 716, .top = 184},
        {.action = &actIN, .actionName = "actIN", .category = "CenterActions", .caption = "&IN",
         .shortcuts = {Alt(Qt::Key_I)}, .key = Key::In, .button = &sbIN, .buttonName = "sbIN",
         .left = 98, .top = 300},
        {.action = &actBandMinus, .actionName = "actBandMinus", .category = "CenterActions",
         .caption = "&BAND", .shortcuts = {Ctrl(Qt::Key_B)}, .key = Key::BandMinus,
         .button = &sbBandMinus, .buttonName = "sbBandMinus", .left = 168, .top = 300,
         .glyph = LeftGlyph},
        {.action = &actBandPlus, .actionName = "actBandPlus", .category = "CenterActions",
         .caption = "&BAND", .shortcuts = {Alt(Qt::Key_B)}, .key = Key::BandPlus,
         .button = &sbBandPlus, .buttonName = "sbBandPlus", .left = 238, .top = 300,
         .glyph = RightGlyph},
        {.action = &actAnt, .actionName = "actAnt", .category = "CenterActions", .caption = "&ANT",
         .shortcuts = {Alt(Qt::Key_A)}, .key = Key::Ant, .button = &sbANT, .buttonName = "sbANT",
         .left = 308, .top = 300},
        {.action = &actCAT, .actionName = "actCAT", .category = "CenterActions", .caption = "CA&T",
         .shortcuts = {Alt(Qt::Key_T)}, .key = Key::Cat, .button = &sbCAT, .buttonName = "sbCAT",
         .left = 378, .top = 300},
        {.action = &actLeft, .actionName = "actLeft", .category = "CenterActions", .caption = "&-",
         .shortcuts = {Alt(Qt::Key_Minus), keypad(Qt::Key_Minus)}, .handler = &F::actLeftExecute,
         .button = &sbLeft, .buttonName = "sbLeft", .left = 481, .top = 300, .face = "Courier",
         .px = 16, .glyph = LeftGlyph},
        {.action = &actRight, .actionName = "actRight", .category = "CenterActions",
         .caption = "&+",
         .shortcuts = {Alt(Qt::Key_Plus), QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_Plus),
                       keypad(Qt::Key_Plus)},
         .handler = &F::actRightExecute, .button = &sbRight, .buttonName = "sbRight", .left = 551,
         .top = 300, .face = "Courier", .px = 16, .glyph = RightGlyph},
        {.action = &actSet, .actionName = "actSet", .category = "CenterActions", .caption = "&SET",
         .shortcuts = {Alt(Qt::Key_S)}, .key = Key::Set, .button = &sbSET, .buttonName = "sbSET",
         .left = 621, .top = 300},
    };
    const QIcon left = LeftArrowIcon(), right = RightArrowIcon();
    for (const KeyRow& r : keys) {
        const QString hint = r.hint ? QString::fromLatin1(r.hint) : KeyHint(r.shortcuts.front());
        QAction* a = MakeAction(r.actionName, r.category, QString::fromLatin1(r.caption), hint,
                                r.shortcuts);
        *r.action = a;
        KeyGroup->addAction(a);
        if (r.handler)
            connect(a, &QAction::triggered, this, [this, h = r.handler] { (this->*h)(); });
        else if (r.key)
            connect(a, &QAction::triggered, this, [this, key = *r.key] { SendKey(key); });

        auto* b = new TKeyButton(Panel1);
        b->setObjectName(QString::fromLatin1(r.buttonName));
        b->setGeometry(r.left, r.top, 70, 32);
        if (r.glyph != None) a->setIcon(r.glyph == LeftGlyph ? left : right);
        b->setDefaultAction(a);
        b->setToolButtonStyle(r.glyph == None ? Qt::ToolButtonTextOnly : Qt::ToolButtonTextBesideIcon);
        // The plus and right keys carry their arrow right of the caption.
        b->SetGlyphRight(r.glyph == RightGlyph);
        SetFont(b, QString::fromLatin1(r.face), r.px, true, r.underline);
        SetFontColor(b, r.colour);
        *r.button = b;
    }
}

void TMainForm::BuildIndicators() {
    struct TextRow {
        TStaticText** text;
        const char* name;
        QRect bounds;
        const char* caption;
        int px;
        TColor fore, back;
        TBorder border;
    };
    const TBorder S = TBorder::Single, K = TBorder::Sunken;
    const TextRow texts[] = {
        {&StaticText2, "StaticText2", {161, 243, 55, 22}, "IN", 16, clBlack, clBtnFace, S},
        {&StaticText3, "StaticText3", {217, 243, 55, 22}, "BAND", 16, clBlack, clBtnFace, S},
        {&StaticText4, "StaticText4", {273, 243, 55, 22}, "ANT", 16, clBlack, clBtnFace, S},
        {&StaticText5, "StaticText5", {329, 243, 106, 22}, "CAT", 16, clBlack, clBtnFace, S},
        {&StaticText6, "StaticText6", {436, 243, 55, 22}, "OUT", 16, clBlack, clBtnFace, S},
        {&lblSWR_Gain, "lblSWR_Gain", {492, 243, 80, 22}, "SWR", 16, clBlack, clBtnFace, S},
        {&StaticText8, "StaticText8", {573, 243, 55, 22}, "TEMP", 16, clBlack, clBtnFace, S},
        {&stInput, "stInput", {161, 266, 55, 22}, "1", 16, clGray, clBlack, S},
        {&stBand, "stBand", {217, 266, 55, 22}, "160 m", 16, clGray, clBlack, S},
        {&stAntenna, "stAntenna", {273, 266, 55, 22}, "NONE", 16, clGray, clBlack, S},
        {&stCAT, "stCAT", {329, 266, 106, 22}, "NONE", 16, clGray, clBlack, S},
        {&stPower, "stPower", {436, 266, 55, 22}, "HALF", 16, clGray, clBlack, S},
        {&stSWR_Gain, "stSWR_Gain", {492, 266, 80, 22}, "--.--", 16, clGray, clBlack, S},
        {&stTemp, "stTemp", {573, 266, 55, 22}, "0 \xB0" "C", 16, clGray, clBlack, S},
        {&stAlarm, "stAlarm", {9, 271, 45, 17}, "ALRM", 13, clGray, clBlack, S},
        {&stTune, "stTune", {61, 271, 45, 17}, "TUNE", 13, clGray, clBlack, S},
        {&stSet, "stSet", {112, 271, 45, 17}, "SET", 13, clGray, clBlack, S},
        {&stON, "stON", {631, 271, 45, 17}, "ON", 13, clGray, clBlack, S},
        {&stOperate, "stOperate", {683, 271, 45, 17}, "OP", 13, clGray, clBlack, S},
        {&stTX, "stTX", {734, 271, 45, 17}, "TX", 13, clGray, clBlack, S},
        {&stMode, "stMode", {316, 10, 160, 22}, "", 16, clGray, clBlack, K},
        {&stFlex, "stFlex", {217, 224, 55, 19}, "", 13, clLime, clBlack, K},
    };
    for (const TextRow& r : texts)
        *r.text = MakeText(Panel1, r.name, r.bounds, r.caption, "System", r.px, true, r.fore,
                           r.back, r.border, Qt::AlignHCenter);
    stFlex->hide();

    struct MeterRow {
        TFrmBar100** meter;
        const char* name;
        int top;
    };
    const MeterRow meters[] = {{&Frm_PA, "Frm_PA", 40},
                               {&Frm_PR, "Frm_PR", 84},
                               {&Frm_VPA, "Frm_VPA", 128},
                               {&Frm_IPA, "Frm_IPA", 172}};
    for (const MeterRow& m : meters) {
        *m.meter = new TFrmBar100(Panel1);
        (*m.meter)->setObjectName(QString::fromLatin1(m.name));
        (*m.meter)->move(80, m.top);
    }
}

void TMainForm::BuildDisplay() {
    pnl_LCD = new TPanel(Panel1, QStringLiteral("pnl_LCD"), QRect(81, 34, 630, 189));
    pnl_LCD->SetBevel(TBevel::Raised, TBevel::Lowered);
    pnl_LCD->hide();

    imgLCD = new TLcdCanvas(pnl_LCD);
    imgLCD->setObjectName(QStringLiteral("imgLCD"));
    imgLCD->setGeometry(248, 24, 50, 30);
    bvlLCD = new QFrame(pnl_LCD);
    bvlLCD->setObjectName(QStringLiteral("bvlLCD"));
    bvlLCD->setFrameShape(QFrame::Box);
    bvlLCD->setFrameShadow(QFrame::Sunken);
    bvlLCD->setGeometry(560, 72, 50, 50);
    bvlLCD->lower(); // a frame around the image, never over it

    struct SliderRow {
        QSlider** slider;
        const char* name;
        QRect bounds;
        int max, tick;
        bool visible;
    };
    const SliderRow sliders[] = {
        {&sldrC_Out, "sldrC_Out", {16, 66, 190, 23}, 1023, 0, false},
        {&sldrL_Out, "sldrL_Out", {16, 41, 190, 23}, 127, 0, false},
        {&sldrBacklight, "sldrBacklight", {364, 113, 190, 30}, 255, 16, true},
    };
    for (const SliderRow& r : sliders) {
        auto* s = new QSlider(Qt::Horizontal, pnl_LCD);
        s->setObjectName(QString::fromLatin1(r.name));
        s->setGeometry(r.bounds);
        s->setRange(0, r.max);
        s->setTickPosition(r.tick ? QSlider::TicksBelow : QSlider::NoTicks);
        if (r.tick) s->setTickInterval(r.tick);
        s->setEnabled(false);
        s->setVisible(r.visible);
        *r.slider = s;
    }

    struct TextRow {
        TStaticText** text;
        const char* name;
        QRect bounds;
    };
    const TextRow texts[] = {
        {&stFreq, "stFreq", {16, 15, 76, 21}},       {&stSubBand, "stSubBand", {16, 143, 40, 21}},
        {&stL_Out, "stL_Out", {16, 92, 76, 21}},     {&stC_Out, "stC_Out", {16, 117, 76, 21}},
        {&stContest, "stContest", {344, 7, 40, 21}}, {&stBeep, "stBeep", {344, 28, 40, 21}},
        {&stCelsius, "stCelsius", {280, 7, 40, 21}}, {&stStartup, "stStartup", {345, 94, 80, 21}},
    };
    auto lcdText = [this](const char* name, QRect bounds) {
        TStaticText* t = MakeText(pnl_LCD, name, bounds, "", "Courier New", 19, false,
                                  clWindowText, clWhite, TBorder::Single, Qt::AlignRight);
        t->hide();
        return t;
    };
    for (const TextRow& r : texts) *r.text = lcdText(r.name, r.bounds);
    const char* bandNames[10] = {"st160", "st80", "st40", "st30", "st20",
                                 "st17",  "st15", "st12", "st10", "st6"};
    for (int i = 0; i < 10; ++i)
        stBands[static_cast<size_t>(i)] =
            lcdText(bandNames[i], QRect(404 + 63 * (i / 4), 7 + 21 * (i % 4), 47, 21));
}

void TMainForm::BuildOverlays() {
    pnlInit = new TPanel(Panel1, QStringLiteral("pnlInit"), QRect(154, 96, 485, 65));
    pnlInit->SetBevel(TBevel::Raised, TBevel::Lowered);
    pbInit = new QProgressBar(pnlInit);
    pbInit->setObjectName(QStringLiteral("pbInit"));
    pbInit->setGeometry(20, 16, 445, 16);
    pbInit->setRange(0, 100);
    pbInit->setValue(0);
    pbInit->setTextVisible(false);
    StaticText1 = MakeText(pnlInit, "StaticText1", QRect(157, 40, 181, 20),
                           "Initialization in progress...", "MS Sans Serif", 13, true, clNavy,
                           clBtnFace, TBorder::None, Qt::AlignLeft);
    pnlInit->hide();

    auto warning = [this](const char* name, int top, const char* caption) {
        TStaticText* t = MakeText(Panel1, name, QRect(154, top, 486, 36), caption, "Arial", 29,
                                  false, clYellow, clBlack, TBorder::Sunken, Qt::AlignHCenter);
        t->hide();
        return t;
    };
    stOutBand = warning("stOutBand", 69, "BAND NOT PERMITTED");
    stPWRev = warning("stPWRev", 112, "");
    stWarning = warning("stWarning", 154, "");
}

void TMainForm::BuildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    itmFile = bar->addMenu(QStringLiteral("&File"));
    itmFile->setObjectName(QStringLiteral("itmFile"));
    itmExit = itmFile->addAction(QStringLiteral("E&xit"));
    itmExit->setObjectName(QStringLiteral("itmExit"));
    connect(itmExit, &QAction::triggered, this, [this] { itmExitClick(); });

    itmSetup = bar->addMenu(QStringLiteral("S&etup"));
    itmSetup->setObjectName(QStringLiteral("itmSetup"));
    itmSerialPort = itmSetup->addMenu(QStringLiteral("Serial &Port"));
    itmSerialPort->setObjectName(QStringLiteral("itmSerialPort"));
    SerialGroup = new QActionGroup(this);
    SerialGroup->setExclusive(true);
    for (int n = 1; n <= PortCount; ++n) {
        QAction* a = MakeAction(qPrintable(QStringLiteral("actOpenCom%1").arg(n)), "Serial",
                                QStringLiteral("COM &%1").arg(n), QString(), {});
        a->setCheckable(true);
        SerialGroup->addAction(a);
        itmSerialPort->addAction(a);
        connect(a, &QAction::triggered, this, [this, n] { actOpenComExecute(n); });
        actOpenCom[static_cast<size_t>(n - 1)] = a;
    }

    itmKaldor = itmSetup->addMenu(QStringLiteral("&Kaldor"));
    itmKaldor->setObjectName(QStringLiteral("itmKaldor"));
    itmShutdown = itmKaldor->addAction(QStringLiteral("&Shutdown when exit/disconnect"));
    itmShutdown->setObjectName(QStringLiteral("itmShutdown"));
    itmShutdown->setCheckable(true);
    // A click inverts the mark (the action's own toggle), then the new mark is stored.
    // The mode follows the check mark however it moves; a click also stores it.
    connect(itmShutdown, &QAction::toggled, this, [this](bool on) { AutoShutdown = on; });
    connect(itmShutdown, &QAction::triggered, this, [this] { SaveAutoShutdown(AutoShutdown); });
}

void TMainForm::LayoutClient() {
    const int w = Client->width(), h = Client->height();
    SetBounds(StatusBar, 0, h - kStatusHeight, w, kStatusHeight);
    SetBounds(Panel2, 0, 0, w, kTitleHeight);
    SetBounds(Panel1, 0, kTitleHeight, w, std::max(0, h - kTitleHeight - kStatusHeight));
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Client && event->type() == QEvent::Resize) LayoutClient();
    // OFF's shortcut, Alt+F, is also the File menu's letter: OFF has it, as its hint says.
    // Claiming the key in the override step keeps the menu bar from seeing it.
    const QEvent::Type type = event->type();
    if ((type == QEvent::ShortcutOverride || type == QEvent::KeyPress) && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (actOff && QKeySequence(key->keyCombination()) == actOff->shortcut()) {
            if (type == QEvent::KeyPress) {
                if (!key->isAutoRepeat()) actOff->trigger();
            } else {
                event->accept();
            }
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- The character display ----------------------------------------------------------------------

void TMainForm::InitLcd() { imgLCD->InitLcd(bvlLCD); }
void TMainForm::ClearLcd() { imgLCD->ClearLcd(); }
void TMainForm::LcdTextOut(int column, int row, bool inverse, const std::string& text) {
    imgLCD->LcdTextOut(column, row, inverse, text);
}
void TMainForm::LcdDrawMenu(const LcdMenuEntry* menu, uint8_t selected, bool redrawAll) {
    imgLCD->LcdDrawMenu(menu, selected, redrawAll);
}

} // namespace kaldor
