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
    using G = ScreenGroup;
    switch (GroupOf(screen)) {
    case G::Standby: return {ShowStandby, true};
    case G::Operate: return {ShowOperate, true};
    case G::CatReport: return {ShowCatReport, true};
    case G::AntennaReport: return {ShowAntennaReport, true};
    case G::SystemMessage: return {ShowSystemMessage, false};
    case G::SetupOptions: return {ShowSetupOptions, false};
    case G::SetAntenna: return {ShowSetAntenna, false};
    case G::SetCat: return {ShowSetCat, false};
    case G::SetYaesu: return {ShowSetYaesu, false};
    case G::SetIcom: return {ShowSetIcom, false};
    case G::SetTenTec: return {ShowSetTenTec, false};
    case G::SetBaudRate: return {ShowSetBaudRate, false};
    case G::ManualTune: return {ShowManualTune, true};
    case G::Backlight: return {ShowBacklight, false};
    case G::Alert: return {ShowAlert, true};
    case G::AlarmHistory: return {ShowAlarmHistory, true};
    case G::NoLink: return {ShowNoLink, false};
    case G::None: break;
    }
    return {nullptr, true}; // nobody owns the code
}

void TMainForm::HandleStatus(TComThread* /*Sender*/) {
    if (!ComThread) return;
    UpdateRole();
    const uint16_t screen = ComThread->Screen;
    LinkUp = screen != ScrNoLink;
    AlertShown = IsAlertScreen(screen);

    if (screen == ScrNoLink) {
        stMode->SetCaption("");
        SetText(StatusPanels[1], QStringLiteral("Remote connection: OFF"));
        itmKaldor->menuAction()->setEnabled(true);
        ShowWarning(stWarning, Warnings.Antenna, false);
        ShowWarning(stOutBand, Warnings.Band, false);
        ShowWarning(stPWRev, Warnings.Reflected, false);
    } else {
        SetText(StatusPanels[1], QStringLiteral("Remote connection: ON"));
        itmKaldor->menuAction()->setEnabled(false);
    }

    if (screen != ScrSetupOptions)
        for (QWidget* w : {stContest, stBeep, stStartup, stCelsius}) SetVisible(w, false);
    if (screen != ScrSetAntenna)
        for (QWidget* w : stBands) SetVisible(w, false);
    if (screen != ScrManualTune)
        for (QWidget* w : std::initializer_list<QWidget*>{sldrL_Out, sldrC_Out, stFreq, stSubBand,
                                                          stL_Out, stC_Out})
            SetVisible(w, false);
    if (screen != ScrBacklight) SetVisible(sldrBacklight, false);

    const ScreenRoute route = RouteFor(screen);
    if (route.Render) route.Render(*this);
    if (route.RefreshIndicators) UpdateIndicators();
    emit StatusHandled(screen);
}

} // namespace kaldor
