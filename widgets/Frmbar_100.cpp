#include "widgets/Frmbar_100.h"

#include <cstdio>

namespace kaldor {
namespace {

// A scale mark in whole units: "%u" when it has no tenths, else "%u.%u".
QString ScaleText(std::int32_t tenths) {
    char buf[32];
    const auto m = static_cast<unsigned>(tenths);
    if (m % 10 == 0)
        std::snprintf(buf, sizeof buf, "%u", m / 10);
    else
        std::snprintf(buf, sizeof buf, "%u.%u", m / 10, m % 10);
    return QString::fromLatin1(buf);
}

} // namespace

TFrmBar100::TFrmBar100(QWidget* Owner) : QWidget(Owner) {
    resize(635, 45);

    Panel0 = new TPanel(this, QStringLiteral("Panel0"), QRect(1, 1, 630, 44));
    Panel0->SetBevel(TBevel::Lowered);
    Panel0->SetColor(clBlack);

    for (int n = 1; n <= 10; ++n) {
        auto* seg = new TFrmBar10(Panel0);
        seg->setObjectName(QStringLiteral("FrmBar10%1").arg(n));
        seg->setGeometry(98 + 40 * (n - 1), 12, 40, 30);
        Segments[std::size_t(n - 1)] = seg;
    }

    pnlTick0 = new TPanel(Panel0, QStringLiteral("pnlTick0"), QRect(95, 16, 2, 16));
    pnlTick0->SetColor(clLime);

    auto text = [this](const char* name, QRect bounds, const char* caption,
                       Qt::Alignment align, const char* face, int pixels) {
        auto* st = new TStaticText(Panel0, QString::fromLatin1(name), bounds);
        st->SetAlignment(align);
        SetFont(st, QString::fromLatin1(face), pixels, true);
        st->SetColor(clBlack);
        st->SetFontColor(clLime);
        st->SetCaption(caption);
        return st;
    };
    const char* sans = "MS Sans Serif";
    st50 = text("st50", QRect(276, 1, 40, 13), "50", Qt::AlignHCenter, sans, 11);
    st25 = text("st25", QRect(176, 1, 40, 13), "25", Qt::AlignHCenter, sans, 11);
    st75 = text("st75", QRect(376, 1, 40, 13), "75", Qt::AlignHCenter, sans, 11);
    st100 = text("st100", QRect(476, 1, 40, 13), "100", Qt::AlignHCenter, sans, 11);
    st0 = text("st0", QRect(90, 1, 12, 13), "0", Qt::AlignHCenter, sans, 11);
    stPeak = text("stPeak", QRect(502, 16, 64, 20), "9999.9", Qt::AlignRight, "System", 16);
    stLabel = text("stLabel", QRect(15, 18, 75, 17), "Label", Qt::AlignLeft, sans, 11);
    stMeasUnit = text("stMeasUnit", QRect(566, 16, 57, 20), " Value", Qt::AlignLeft, sans, 16);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(Timer1); });
    Timer1->start();

    // UnitText stays empty: the unit text keeps its " Value" until SetUnit.
    SetCaption("METER");
    PeakFormat = "%4u.%1u";
    SetFullScale(100);
    Value = 0;
    Peak = 0;
    SetActiveColor(clAqua);
    SetInactiveColor(clGray);
    SetPeakColor(clWhite);
    SetBackColor(clBlack);
    st0->SetFontColor(ActiveColor);
    st25->SetFontColor(InactiveColor);
    st50->SetFontColor(InactiveColor);
    st75->SetFontColor(InactiveColor);
    st100->SetFontColor(InactiveColor);
    SetValue(0);
}

TFrmBar100::TickBatch::TickBatch(TFrmBar100& m) : m_(m) {
    if (m_.batchDepth_++ == 0)
        for (TFrmBar10* seg : m_.Segments) seg->Panel0->Hold();
}

TFrmBar100::TickBatch::~TickBatch() {
    if (--m_.batchDepth_ == 0)
        for (TFrmBar10* seg : m_.Segments) seg->Panel0->Release();
}

// Formats and converts only when the shown tenths change: most readings keep the peak.
void TFrmBar100::ShowReadout(std::int32_t tenths) {
    if (tenths == readout_) return;
    readout_ = tenths;
    stPeak->SetCaption(FormatReadout(tenths));
}

std::string TFrmBar100::FormatReadout(std::int32_t tenths) const {
    char buf[32];
    const auto t = static_cast<unsigned>(tenths);
    std::snprintf(buf, sizeof buf, PeakFormat.c_str(), t / 10, t % 10);
    return buf;
}

void TFrmBar100::PeakResetChain() {
    bool goOn = true;
    for (auto it = Segments.rbegin(); it != Segments.rend(); ++it) goOn = (*it)->ResetPeak(goOn);
}

// The redraw of a non-negative reading. With off set it draws the caption, zero mark and
// readout dimmed: switching off first redraws the bar for a reading of 0 and then dims
// those controls, and drawing them dimmed at once ends in the same state without lighting
// them in between, so a meter kept off repaints nothing.
void TFrmBar100::Draw(bool off) {
    const TColor lit = off ? InactiveColor : ActiveColor;
    stLabel->SetFontColor(lit);
    st0->SetFontColor(lit);
    pnlTick0->SetColor(lit);

    if (Value > Peak) Peak = Value;

    st100->SetFontColor(Peak >= Scale100 ? ActiveColor : InactiveColor);
    st75->SetFontColor(Peak >= Scale75 ? ActiveColor : InactiveColor);
    st50->SetFontColor(Peak >= Scale50 ? ActiveColor : InactiveColor);
    st25->SetFontColor(Peak >= Scale25 ? ActiveColor : InactiveColor);

    int n = Value / Step;
    for (TFrmBar10* seg : Segments) n = seg->SetLevel(n); // ticks past the 100th are dropped

    bool goOn = true;
    for (auto it = Segments.rbegin(); it != Segments.rend(); ++it) goOn = (*it)->ShowPeak(goOn);

    if (Peak >= FullScale) {
        // Over range: the readout stops at full scale, inverted.
        ShowReadout(FullScale);
        stMeasUnit->SetColor(OverBackColor);
        stPeak->SetColor(OverBackColor);
        stMeasUnit->SetFontColor(OverTextColor);
        stPeak->SetFontColor(OverTextColor);
    } else {
        ShowReadout(Peak);
        stMeasUnit->SetColor(BackColor);
        stPeak->SetColor(BackColor);
        stMeasUnit->SetFontColor(lit);
        stPeak->SetFontColor(lit);
    }
}

void TFrmBar100::SetValue(int v) {
    // Off twice is not the same as once: the second drops the levels the first held.
    if (v >= 0 && v == drawn_) return;
    TickBatch batch(*this);
    Value = v;
    drawn_ = v;
    if (v >= 0) {
        Draw(false);
        return;
    }
    // Off: drop reading and peak, as ResetPeak does, drawing dimmed.
    Value = 0;
    Peak = 0;
    PeakResetChain();
    Peak = Value;
    Draw(true);

    for (TStaticText* st : {stLabel, st100, st75, st50, st25, stPeak, stMeasUnit, st0})
        st->SetFontColor(InactiveColor);
    stMeasUnit->SetColor(BackColor);
    stPeak->SetColor(BackColor);
    pnlTick0->SetColor(InactiveColor);

    int n = 0;
    for (TFrmBar10* seg : Segments) n = seg->SetLevel(n);

    ShowReadout(0);
}

void TFrmBar100::SetFullScale(int f) {
    if (f < 100) f = 100; // one tick must stand for at least one tenth
    if (f == FullScale) return;
    TickBatch batch(*this);
    drawn_ = NotDrawn;
    FullScale = f;
    Step = f / 100;
    Scale25 = f / 4;
    Scale50 = f / 2;
    Scale75 = (f / 4) * 3;
    Scale100 = f;
    st25->SetCaption(ScaleText(Scale25));
    st50->SetCaption(ScaleText(Scale50));
    st75->SetCaption(ScaleText(Scale75));
    st100->SetCaption(ScaleText(Scale100));
    SetValue(0);
    ResetPeak();
}

void TFrmBar100::SetCaption(const std::string& s) {
    LabelText = s;
    stLabel->SetCaption(s);
}

void TFrmBar100::SetUnit(const std::string& s) {
    UnitText = s;
    stMeasUnit->SetCaption(s);
}

void TFrmBar100::SetActiveColor(TColor c) {
    TickBatch batch(*this);
    drawn_ = NotDrawn;
    ActiveColor = c;
    // The inverted readout's colours are taken here only; a later SetBackColor keeps them.
    OverTextColor = BackColor;
    OverBackColor = c;
    stLabel->SetFontColor(c);
    st0->SetFontColor(c);
    stPeak->SetFontColor(c);
    stMeasUnit->SetFontColor(c);
    pnlTick0->SetColor(c);
    for (TFrmBar10* seg : Segments) seg->SetActiveColor(c);
    SetValue(Value);
}

void TFrmBar100::SetInactiveColor(TColor c) {
    TickBatch batch(*this);
    drawn_ = NotDrawn;
    InactiveColor = c;
    for (TFrmBar10* seg : Segments) seg->SetInactiveColor(c);
    SetValue(Value);
}

void TFrmBar100::SetPeakColor(TColor c) {
    drawn_ = NotDrawn;
    PeakColor = c;
    for (TFrmBar10* seg : Segments) seg->PeakColor = c;
    SetValue(Value);
}

void TFrmBar100::SetBackColor(TColor c) {
    TickBatch batch(*this);
    drawn_ = NotDrawn;
    BackColor = c;
    for (TFrmBar10* seg : Segments) seg->SetBackColor(c);
    Panel0->SetColor(c);
    SetValue(Value);
}

void TFrmBar100::ResetPeak() {
    TickBatch batch(*this);
    drawn_ = NotDrawn;
    PeakResetChain();
    Peak = Value;
    SetValue(Value);
}

void TFrmBar100::RestartPeakHold() {
    PeakDeadline = Now() + OneSecond;
}

void TFrmBar100::Timer1Timer(QObject* /*Sender*/) {
    if (Value >= Peak) {
        RestartPeakHold();
    } else if (Now() >= PeakDeadline) {
        ResetPeak();
        RestartPeakHold();
    }
}

} // namespace kaldor
