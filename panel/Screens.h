#pragma once
// The screen renderers: one per group of the amplifier's screens. Each does its one-time set-up
// when the window's LastScreen holds another code, then updates what changes on every status.
#include <cstdint>

namespace kaldor {

class TMainForm;

using ScreenRenderer = void (*)(TMainForm&);

// What the status dispatch does for a screen code: the renderer (none for codes nobody owns)
// and whether the indicators are refreshed after it.
struct ScreenRoute {
    ScreenRenderer Render;
    bool RefreshIndicators;
};
ScreenRoute RouteFor(uint16_t screen);

void ShowNoLink(TMainForm& form);
void ShowStandby(TMainForm& form);
void ShowOperate(TMainForm& form);
void ShowCatReport(TMainForm& form);
void ShowAntennaReport(TMainForm& form);
void ShowSystemMessage(TMainForm& form);
void ShowSetupOptions(TMainForm& form);
void ShowSetAntenna(TMainForm& form);
void ShowSetCat(TMainForm& form);
void ShowSetYaesu(TMainForm& form);
void ShowSetIcom(TMainForm& form);
void ShowSetTenTec(TMainForm& form);
void ShowSetBaudRate(TMainForm& form);
void ShowManualTune(TMainForm& form);
void ShowBacklight(TMainForm& form);
void ShowAlert(TMainForm& form);
void ShowAlarmHistory(TMainForm& form);

} // namespace kaldor
