// MANUAL TUNE, DISPLAY BACKLIGHT and SYSTEM MESSAGE: screens of values, partly shown by controls
// laid over the character display.
#include <QSlider>

#include "panel/ScreenParts.h"
#include "panel/Screens.h"
#include "shell/Mainunit.h"

namespace kaldor {
namespace {

// Capacitance of each capacitor of the output network's bank, in tenths of pF, by mask bit.
const uint16_t CapacitorSteps[10] = {36, 64, 121, 189, 408, 815, 1580, 3215, 6416, 12500};

uint16_t CapacitanceTenths(uint16_t mask) {
    uint16_t sum = 0;
    for (int bit = 0; bit < 10; ++bit)
        if (mask & (1u << bit)) sum = static_cast<uint16_t>(sum + CapacitorSteps[bit]);
    return sum;
}

// A slider that only shows a value: it takes the display's ground so it blends into it.
void ShowDisplaySlider(TMainForm& f, QSlider* slider, const QRect& bounds) {
    SetBounds(slider, bounds);
    SetColor(slider, f.imgLCD->FillColor());
    SetEnabled(slider, false);
    SetVisible(slider, true);
}

void ShowValueBox(TStaticText* box, int left, int top) {
    SetPos(box, left, top);
    SetVisible(box, true);
}

std::string Tenths(unsigned value) { return StrFormat("%u.%u", value / 10, value % 10); }

} // namespace

void ShowManualTune(TMainForm& f) {
    const TComThread& st = *f.ComThread;
    if (f.LastScreen != ScrManualTune) {
        BeginSetupScreen(f, ScrManualTune, 13, " MANUAL TUNE ");
        f.LcdTextOut(0, 1, false, " FREQ:       MHz           SUB-BAND:");
        f.LcdTextOut(2, 3, false, "[<L]");
        ShowDisplaySlider(f, f.sldrL_Out, QRect(160, 72, 190, 23));
        f.LcdTextOut(23, 3, false, "[L>]        uH");
        f.LcdTextOut(2, 4, false, "[<C]");
        ShowDisplaySlider(f, f.sldrC_Out, QRect(160, 93, 190, 23));
        ShowValueBox(f.stFreq, 160, 31);
        ShowValueBox(f.stSubBand, 490, 31);
        ShowValueBox(f.stL_Out, 400, 72);
        ShowValueBox(f.stC_Out, 400, 93);
        f.LcdTextOut(23, 4, false, "[C>]        pF");
        f.LcdTextOut(0, 6, false, " -------------------------------------- ");
        f.LcdTextOut(0, 7, false, " [TUNE]:SAVE                 [SET]:QUIT ");
        ShowLcdPanel(f);
    }
    f.stFreq->SetCaption(StrFormat("%u.%03u", st.Frequency / 1000u, st.Frequency % 1000u));
    f.stSubBand->SetCaption(StrFormat("%03u", static_cast<unsigned>(st.SubBand)));
    const uint16_t l = st.GetScreenData(1);
    f.stL_Out->SetCaption(Tenths(l));
    f.sldrL_Out->setValue(l);
    const uint16_t mask = static_cast<uint16_t>(st.GetScreenData(2) + 256u * st.GetScreenData(3));
    f.stC_Out->SetCaption(Tenths(CapacitanceTenths(mask)));
    f.sldrC_Out->setValue(mask); // bits past the bank lie beyond the slider's end
}

void ShowBacklight(TMainForm& f) {
    if (f.LastScreen != ScrBacklight) {
        BeginSetupScreen(f, ScrBacklight, 10, " DISPLAY BACKLIGHT ");
        f.LcdTextOut(10, 3, false, "-");
        f.LcdTextOut(29, 3, false, "+");
        f.LcdTextOut(0, 6, false, " -------------- SETTINGS -------------- ");
        f.LcdTextOut(0, 7, false, " [<-] [->]:ADJUST            [SET]:SAVE ");
        ShowDisplaySlider(f, f.sldrBacklight, QRect(QPoint(220, 62), f.sldrBacklight->size()));
        ShowLcdPanel(f);
    }
    f.sldrBacklight->setValue(f.ComThread->GetScreenData(1));
}

void ShowSystemMessage(TMainForm& f) {
    if (f.LastScreen == ScrSystemMessage) return;
    f.LastScreen = ScrSystemMessage;
    f.ClearLcd();
    f.LcdTextOut(0, 0, false, LcdDashes);
    f.LcdTextOut(0, 5, false, LcdDashes);
    f.LcdTextOut(12, 0, false, " SYSTEM MESSAGE ");
    f.LcdTextOut(14, 2, false, "DATA STORED!");
    ShowLcdPanel(f);
}

} // namespace kaldor
