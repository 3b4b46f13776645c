// Renderers whose screens are not mirrored yet: they leave the window as it is.
#include "panel/Screens.h"

namespace kaldor {

void ShowCatReport(TMainForm&) {}
void ShowAntennaReport(TMainForm&) {}
void ShowSystemMessage(TMainForm&) {}
void ShowSetupOptions(TMainForm&) {}
void ShowSetAntenna(TMainForm&) {}
void ShowSetCat(TMainForm&) {}
void ShowSetYaesu(TMainForm&) {}
void ShowSetIcom(TMainForm&) {}
void ShowSetTenTec(TMainForm&) {}
void ShowSetBaudRate(TMainForm&) {}
void ShowManualTune(TMainForm&) {}
void ShowBacklight(TMainForm&) {}
void ShowAlert(TMainForm&) {}
void ShowAlarmHistory(TMainForm&) {}

} // namespace kaldor
