#pragma once
// The amplifier's screens, named once: the code its status frames carry, what the window calls
// the screen, which renderer draws it, and the mode the station log writes for it.
#include <cstdint>

namespace kaldor {

enum ScreenCode : uint16_t {
    ScrStandby = 0,
    ScrOperate = 1,
    ScrOperateTx = 2,
    ScrCatReport = 3,
    ScrAntennaReport = 4,
    ScrSystemMessage = 5,
    ScrSetupOptions = 6,
    ScrSetAntenna = 7,
    ScrSetCat = 8,
    ScrSetYaesu = 9,
    ScrSetIcom = 10,
    ScrSetTenTec = 11,
    ScrSetBaudRate = 12,
    ScrManualTune = 13,
    ScrBacklight = 14,
    // Alert screens: the warning code is the screen code.
    ScrAlert15 = 15,
    ScrAlert16 = 16,
    ScrPaVoltageBelow20 = 17,
    ScrPaVoltageBelow26 = 18,
    ScrPaVoltageAbove50 = 19,
    ScrPaVoltageAbove50Again = 20,
    ScrPaCurrentAbove40 = 21,
    ScrPaCurrentAbove50 = 22,
    ScrOverTemperature = 23,
    ScrOverdrive = 24,
    ScrReflectedAbove300 = 27,
    ScrPaProtection = 28,
    ScrAlarmHistory = 29,
    // Not the amplifier's: the receiver reports it when the link watchdog has run out.
    ScrNoLink = 30,
    // A code that no renderer owns (as 25, 26 and all above): the window's last screen before
    // its first status, so that the first one always draws in full.
    ScrUnowned = 31,
};

// Which renderer draws a screen; None for the codes nobody owns.
enum class ScreenGroup : uint8_t {
    None,
    NoLink,
    Standby,
    Operate,
    CatReport,
    AntennaReport,
    SystemMessage,
    SetupOptions,
    SetAntenna,
    SetCat,
    SetYaesu,
    SetIcom,
    SetTenTec,
    SetBaudRate,
    ManualTune,
    Backlight,
    Alert,
    AlarmHistory,
};

struct ScreenInfo {
    uint16_t Code;
    const char* Name;     // as the amplifier's display titles it
    ScreenGroup Group;
    const char* ModeText; // the station log's mode column
};

namespace screens {
inline constexpr ScreenInfo kScreens[] = {
    {ScrStandby, "STANDBY", ScreenGroup::Standby, "STANDBY"},
    {ScrOperate, "OPERATE", ScreenGroup::Operate, "OPERATE"},
    {ScrOperateTx, "OPERATE", ScreenGroup::Operate, "OPERATE"},
    {ScrCatReport, "CATS AND RELEASE REPORT", ScreenGroup::CatReport, "REPORT"},
    {ScrAntennaReport, "ANTENNAS AND BANDS REPORT", ScreenGroup::AntennaReport, "REPORT"},
    {ScrSystemMessage, "SYSTEM MESSAGE", ScreenGroup::SystemMessage, "MESSAGE"},
    {ScrSetupOptions, "SETUP OPTIONS", ScreenGroup::SetupOptions, "SETUP"},
    {ScrSetAntenna, "SET ANTENNA", ScreenGroup::SetAntenna, "SETUP"},
    {ScrSetCat, "SET CAT", ScreenGroup::SetCat, "SETUP"},
    {ScrSetYaesu, "SET YAESU", ScreenGroup::SetYaesu, "SETUP"},
    {ScrSetIcom, "SET ICOM", ScreenGroup::SetIcom, "SETUP"},
    {ScrSetTenTec, "SET TEN-TEC", ScreenGroup::SetTenTec, "SETUP"},
    {ScrSetBaudRate, "SET BAUD RATE", ScreenGroup::SetBaudRate, "SETUP"},
    {ScrManualTune, "MANUAL TUNE", ScreenGroup::ManualTune, "MANUAL TUNE"},
    {ScrBacklight, "DISPLAY BACKLIGHT", ScreenGroup::Backlight, "BACKLIGHT"},
    {ScrAlert15, "ALERT MODE", ScreenGroup::Alert, "ALERT"},
    {ScrAlert16, "ALERT MODE", ScreenGroup::Alert, "ALERT"},
    {ScrPaVoltageBelow20, "ALERT MODE", ScreenGroup::Alert, "ALERT"},
    {ScrPaVoltageBelow26, "ALERT MODE", ScreenGroup::Alert, "ALERT"},
    {ScrPaVoltageAbove50, "ALERT MODE", ScreenGroup::Alert, "ALERT"},
    {ScrPaVoltageAbove50Again, "ALERT MODE", ScreenGroup::Alert, "ALERT"},
    {ScrPaCurrentAbove40, "ALERT MODE", ScreenGroup::Alert, "ALERT"},
    {ScrPaCurrentAbove50, "ALERT MODE", ScreenGroup::Alert, "ALERT"},
    {ScrOverTemperature, "ALERT MODE", ScreenGroup::Alert, "ALERT"},
    {ScrOverdrive, "ALERT MODE", ScreenGroup::Alert, "ALERT"},
    {ScrReflectedAbove300, "ALERT MODE", ScreenGroup::Alert, "ALERT"},
    {ScrPaProtection, "ALERT MODE", ScreenGroup::Alert, "ALERT"},
    {ScrAlarmHistory, "ALARM HISTORY", ScreenGroup::AlarmHistory, "ALARM HISTORY"},
    {ScrNoLink, "NO LINK", ScreenGroup::NoLink, "NO LINK"},
};

inline constexpr ScreenInfo kUnowned = {ScrUnowned, "", ScreenGroup::None, ""};
} // namespace screens

// The row of a code; a code that no renderer owns gets a row with group None and empty texts.
constexpr const ScreenInfo& ScreenFor(uint16_t code) {
    for (const ScreenInfo& s : screens::kScreens)
        if (s.Code == code) return s;
    return screens::kUnowned;
}
constexpr ScreenGroup GroupOf(uint16_t code) { return ScreenFor(code).Group; }

constexpr bool IsOperateScreen(uint16_t code) { return GroupOf(code) == ScreenGroup::Operate; }
constexpr bool IsAlertScreen(uint16_t code) { return GroupOf(code) == ScreenGroup::Alert; }
// The screens that show the bar meters (standby, operate) or the tune controls.
constexpr bool ShowsMetersOrTune(uint16_t code) {
    const ScreenGroup g = GroupOf(code);
    return g == ScreenGroup::Standby || g == ScreenGroup::Operate || g == ScreenGroup::ManualTune;
}

} // namespace kaldor
