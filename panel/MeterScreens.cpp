// Standby, operate and no link: the amplifier shows bar graphs there, so the console hides the
// character display and feeds the four meters instead.
#include "panel/Screens.h"
#include "shell/Mainunit.h"

namespace kaldor {
namespace {

constexpr int kOff = -1; // a negative reading switches a meter off

void ShowMeterMode(TMainForm& f, const char* mode, TColor colour) {
    f.stMode->SetFontColor(colour);
    f.stMode->SetCaption(mode);
    f.stSet->SetColor(clBlack);
    f.stSet->SetFontColor(clGray);
    SetVisible(f.pnl_LCD, false);
}

} // namespace

void ShowStandby(TMainForm& f) {
    const TComThread& s = *f.ComThread;
    if (f.LastScreen != ScrStandby) {
        f.LastScreen = ScrStandby;
        ShowMeterMode(f, "STANDBY MODE", clLime);
        f.Frm_PA->SetCaption("XCTR OUT");
        f.Frm_PA->SetFullScale(2000);
    }
    f.Frm_PA->SetValue(s.OutputPower);
    for (TFrmBar100* m : {f.Frm_PR, f.Frm_VPA, f.Frm_IPA}) m->SetValue(kOff);
    f.stSWR_Gain->SetFontColor(s.SwrGain < 170 ? clLime : s.SwrGain < 200 ? clYellow : clRed);
}

// Operate repeats its set-up on every status, so the full scale follows the full-power bit.
void ShowOperate(TMainForm& f) {
    const TComThread& s = *f.ComThread;
    f.LastScreen = s.Screen;
    ShowMeterMode(f, "OPERATE MODE", clYellow);
    f.Frm_PA->SetCaption("PA OUT");
    f.Frm_PA->SetFullScale((s.Flags & FlagFullPower) ? 12000 : 6000);
    f.Frm_PA->SetValue(s.OutputPower);
    f.Frm_PR->SetValue(s.ReflectedPower);
    f.Frm_VPA->SetValue(s.PaVoltage);
    f.Frm_IPA->SetValue(s.PaCurrent);
}

// Dims everything once; the texts keep what the amplifier last reported.
void ShowNoLink(TMainForm& f) {
    if (f.LastScreen == ScrNoLink) return;
    f.LastScreen = ScrNoLink;
    for (TFrmBar100* m : {f.Frm_PA, f.Frm_PR, f.Frm_VPA, f.Frm_IPA}) m->SetValue(kOff);
    for (TStaticText* lamp : {f.stAlarm, f.stTune, f.stSet, f.stON, f.stOperate, f.stTX}) {
        lamp->SetColor(clBlack);
        lamp->SetFontColor(clGray);
    }
    for (TStaticText* value :
         {f.stInput, f.stBand, f.stAntenna, f.stCAT, f.stPower, f.stSWR_Gain, f.stTemp})
        value->SetFontColor(clGray);
    SetVisible(f.pnl_LCD, false);
}

} // namespace kaldor
