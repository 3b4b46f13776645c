// The front-panel lamps and value fields, and the blinking warnings.
#include <QProgressBar>
#include <QTimer>

#include <algorithm>
#include <string>

#include "panel/ScreenParts.h"
#include "shell/Mainunit.h"

namespace kaldor {
namespace {

void SetLamp(TStaticText* lamp, bool on, TColor onColour) {
    lamp->SetColor(on ? onColour : clBlack);
    lamp->SetFontColor(on ? clBlack : clGray);
}


} // namespace

void TMainForm::ShowWarning(TStaticText* text, bool& shown, bool on) {
    shown = on;
    SetVisible(text, on);
}

void TMainForm::UpdateIndicators() {
    const TComThread& s = *ComThread;
    const uint16_t screen = s.Screen;

    SetLamp(stON, true, clLime);
    SetLamp(stTune, s.Flags & FlagTune, clYellow);
    SetLamp(stTX, s.Flags & FlagTx, clRed);
    SetLamp(stOperate, s.Flags & FlagOperate, clYellow);
    SetLamp(stAlarm, s.Flags & FlagAlarm, clRed);

    stInput->SetFontColor(clLime);
    stInput->SetCaption(InputName(s.Input));

    if (s.Antenna == NoAntenna) {
        stAntenna->SetFontColor(clYellow);
        if (ShowsMetersOrTune(screen)) {
            // A band number past the names warns without a band.
            const std::string& band = BandName(s.Band);
            stWarning->SetCaption(band.empty() ? std::string("ANTENNA NOT AVAILABLE")
                                               : band + " ANTENNA NOT AVAILABLE");
            ShowWarning(stWarning, Warnings.Antenna, true);
        } else {
            ShowWarning(stWarning, Warnings.Antenna, false);
        }
    } else {
        stAntenna->SetFontColor(clLime);
        ShowWarning(stWarning, Warnings.Antenna, false);
    }

    if (s.OutOfBand) {
        stBand->SetFontColor(clYellow);
        ShowWarning(stOutBand, Warnings.Band, ShowsMetersOrTune(screen));
    } else {
        ShowWarning(stOutBand, Warnings.Band, false);
        stBand->SetFontColor(clLime);
    }

    if (s.CatInterface == CatFlexRadio && PcDisplayUntil > Now() && IsOperateScreen(screen)) {
        stFlex->SetCaption(StrFormat("PC=%03u", unsigned{s.GetScreenData(10)}));
        SetVisible(stFlex, true);
    } else {
        SetVisible(stFlex, false);
    }

    stBand->SetCaption(BandName(s.Band));
    stAntenna->SetCaption(AntennaName(s.Antenna));

    if (IsOperateScreen(screen) && (s.Flags & FlagTx)) {
        if (s.ReflectedPower < 2000) {
            ShowWarning(stPWRev, Warnings.Reflected, false);
        } else {
            stPWRev->SetCaption("HIGH REFLECTED POWER");
            ShowWarning(stPWRev, Warnings.Reflected, true);
            ReflectedHoldUntil = Now() + OneSecond;
        }
    } else if (Warnings.Reflected && Now() > ReflectedHoldUntil) {
        ShowWarning(stPWRev, Warnings.Reflected, false);
    }

    stCAT->SetFontColor(s.CatInterface == CatNone ? clYellow : clLime);
    stCAT->SetCaption(CatName(s.CatInterface));

    const bool full = s.Flags & FlagFullPower;
    stPower->SetFontColor(full ? clYellow : clLime);
    stPower->SetCaption(full ? "FULL" : "HALF");

    UpdateSwrGain();

    stTemp->SetFontColor(clLime);
    stTemp->SetCaption(StrFormat("%u \xB0%c", unsigned{s.Temperature}, (s.Flags & FlagCelsius) ? 'C' : 'F'));
}

void TMainForm::UpdateSwrGain() {
    const unsigned v = ComThread->SwrGain;
    if (IsOperateScreen(LastScreen)) { // gain in tenths of a dB
        lblSWR_Gain->SetCaption("PA GAIN");
        if (v == 0) {
            stSWR_Gain->SetFontColor(clLime);
            stSWR_Gain->SetCaption("--.-- dB");
        } else if (v < 100) {
            stSWR_Gain->SetFontColor(clYellow);
            stSWR_Gain->SetCaption("<10.0 dB");
        } else if (v <= 200) {
            stSWR_Gain->SetFontColor(clLime);
            stSWR_Gain->SetCaption(StrFormat("%u.%u dB", v / 10, v % 10));
        } else {
            stSWR_Gain->SetFontColor(clYellow);
            stSWR_Gain->SetCaption(">20.0 dB");
        }
        return;
    }
    lblSWR_Gain->SetCaption("SWR"); // SWR times 100
    stSWR_Gain->SetFontColor(v < 170 ? clLime : v < 200 ? clYellow : clRed);
    if (v < 100)
        stSWR_Gain->SetCaption("--.--");
    else if (v <= 9998)
        stSWR_Gain->SetCaption(StrFormat("%u.%02u", v / 100, v % 100));
    else
        stSWR_Gain->SetCaption(">99.99");
}

void TMainForm::tmrWarningTimer() {
    if (!pbInit->isHidden()) {
        // StartupDelay / 500 per tick, as unsigned: a negative delay fills the bar at once.
        const unsigned long long step =
            static_cast<unsigned>(StartupDelay) / static_cast<unsigned>(tmrWarning->interval());
        const unsigned long long next = static_cast<unsigned long long>(pbInit->value()) + step;
        pbInit->setValue(static_cast<int>(std::min<unsigned long long>(next, 100)));
    }
    for (TStaticText* w : {stWarning, stOutBand, stPWRev})
        w->SetFontColor(w->FontColor() == clYellow ? clGray : clYellow);
}

} // namespace kaldor
