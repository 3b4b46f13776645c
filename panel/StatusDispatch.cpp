// The status event: link text, the controls of other screens, and the renderer for the screen
// the amplifier shows.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QSlider>

#include "panel/Screens.h"
#include "shell/Mainunit.h"

namespace kaldor {

ScreenRoute RouteFor(uint16_t screen) {
    switch (screen) {
    case 0: return {ShowStandby, true};
    case 1:
    case 2: return {ShowOperate, true};
    case 3: return {ShowCatReport, true};
    case 4: return {ShowAntennaReport, true};
    case 5: return {ShowSystemMessage, false};
    case 6: return {ShowSetupOptions, false};
    case 7: return {ShowSetAntenna, false};
    case 8: return {ShowSetCat, false};
    case 9: return {ShowSetYaesu, false};
    case 10: return {ShowSetIcom, false};
    case 11: return {ShowSetTenTec, false};
    case 12: return {ShowSetBaudRate, false};
    case 13: return {ShowManualTune, true};
    case 14: return {ShowBacklight, false};
    case 15: case 16: case 17: case 18: case 19:
    case 20: case 21: case 22: case 23: case 24:
    case 27: case 28: return {ShowAlert, true};
    case 29: return {ShowAlarmHistory, true};
    case AmpStatus::LostLink: return {ShowNoLink, false};
    default: return {nullptr, true}; // 25, 26, 31 and above: nobody owns them
    }
}

void TMainForm::HandleStatus(TComThread* /*Sender*/) {
    if (!ComThread) return;
    const uint16_t screen = ComThread->Screen;

    if (screen == AmpStatus::LostLink) {
        stMode->SetCaption("");
        SetText(StatusPanels[1], QStringLiteral("Remote connection: OFF"));
        itmKaldor->menuAction()->setEnabled(true);
        SetVisible(stWarning, false);
        SetVisible(stOutBand, false);
        SetVisible(stPWRev, false);
    } else {
        SetText(StatusPanels[1], QStringLiteral("Remote connection: ON"));
        itmKaldor->menuAction()->setEnabled(false);
    }

    if (screen != 6)
        for (QWidget* w : {stContest, stBeep, stStartup, stCelsius}) SetVisible(w, false);
    if (screen != 7)
        for (QWidget* w : stBands) SetVisible(w, false);
    if (screen != 13)
        for (QWidget* w : std::initializer_list<QWidget*>{sldrL_Out, sldrC_Out, stFreq, stSubBand,
                                                          stL_Out, stC_Out})
            SetVisible(w, false);
    if (screen != 14) SetVisible(sldrBacklight, false);

    const ScreenRoute route = RouteFor(screen);
    if (route.Render) route.Render(*this);
    if (route.RefreshIndicators) UpdateIndicators();
    emit StatusHandled(screen);
}

} // namespace kaldor
