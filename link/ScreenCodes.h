#pragma once
// The amplifier's screens: the code its status frames carry, what the window calls the screen,
// which renderer draws it, the mode the station log writes for it and an alert's line.
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
    // Warning codes the amplifier sends but does not name.
    ScrUnidentified15 = 15,
    ScrUnidentified16 = 16,
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
    // An identified alert's line as the display centres it (the degree sign is byte 0xB0).
    const char* Alert;
};

namespace screens {
constexpr ScreenInfo AlertRow(uint16_t code, const char* line) {
    return {code, "ALERT MODE", ScreenGroup::Alert, "ALERT", line};
}

inline constexpr ScreenInfo kScreens[] = {
    {ScrStandby, "STANDBY", ScreenGroup::Standby, "STANDBY", nullptr},
    {ScrOperate, "OPERATE", ScreenGroup::Operate, "OPERATE", nullptr},
    {ScrOperateTx, "OPERATE", ScreenGroup::Operate, "OPERATE", nullptr},
    {ScrCatReport, "CATS AND RELEASE REPORT", ScreenGroup::CatReport, "REPORT", nullptr},
    {ScrAntennaReport, "ANTENNAS AND BANDS REPORT", ScreenGroup::AntennaReport, "REPORT", nullptr},
    {ScrSystemMessage, "SYSTEM MESSAGE", ScreenGroup::SystemMessage, "MESSAGE", nullptr},
    {ScrSetupOptions, "SETUP OPTIONS", ScreenGroup::SetupOptions, "SETUP", nullptr},
    {ScrSetAntenna, "SET ANTENNA", ScreenGroup::SetAntenna, "SETUP", nullptr},
    {ScrSetCat, "SET CAT", ScreenGroup::SetCat, "SETUP", nullptr},
    {ScrSetYaesu, "SET YAESU", ScreenGroup::SetYaesu, "SETUP", nullptr},
    {ScrSetIcom, "SET ICOM", ScreenGroup::SetIcom, "SETUP", nullptr},
    {ScrSetTenTec, "SET TEN-TEC", ScreenGroup::SetTenTec, "SETUP", nullptr},
    {ScrSetBaudRate, "SET BAUD RATE", ScreenGroup::SetBaudRate, "SETUP", nullptr},
    {ScrManualTune, "MANUAL TUNE", ScreenGroup::ManualTune, "MANUAL TUNE", nullptr},
    {ScrBacklight, "DISPLAY BACKLIGHT", ScreenGroup::Backlight, "BACKLIGHT", nullptr},
    AlertRow(ScrUnidentified15, nullptr),
    AlertRow(ScrUnidentified16, nullptr),
    AlertRow(ScrPaVoltageBelow20, "     POWER MANAGEMENT: V PA < 20 V      "),
    AlertRow(ScrPaVoltageBelow26, "     POWER MANAGEMENT: V PA < 26 V      "),
    AlertRow(ScrPaVoltageAbove50, "     POWER MANAGEMENT: V PA > 50 V      "),
    AlertRow(ScrPaVoltageAbove50Again, "     POWER MANAGEMENT: V PA > 50 V      "),
    AlertRow(ScrPaCurrentAbove40, "     POWER MANAGEMENT: I PA > 40 A      "),
    AlertRow(ScrPaCurrentAbove50, "     POWER MANAGEMENT: I PA > 50 A      "),
    AlertRow(ScrOverTemperature, "     OVER TEMPERATURE: TEMP > 90\xB0" "C      "),
    AlertRow(ScrOverdrive, "     P.A. MANAGEMENT : OVER DRIVING     "),
    AlertRow(ScrReflectedAbove300, "    P.A. MANAGEMENT : PW REV > 300 W    "),
    AlertRow(ScrPaProtection, "    P.A. MANAGEMENT : PA PROTECTION     "),
    {ScrAlarmHistory, "ALARM HISTORY", ScreenGroup::AlarmHistory, "ALARM HISTORY", nullptr},
    {ScrNoLink, "NO LINK", ScreenGroup::NoLink, "NO LINK", nullptr},
};

inline constexpr ScreenInfo kUnowned = {ScrUnowned, "", ScreenGroup::None, "", nullptr};
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
// The line an alert screen shows; a code without a text of its own shows the unidentified one.
constexpr const char* AlertLineOf(uint16_t code) {
    const char* line = ScreenFor(code).Alert;
    return line ? line : "      WARNING CODE NOT IDENTIFIED!      ";
}
// The screens that show the bar meters (standby, operate) or the tune controls.
constexpr bool ShowsMetersOrTune(uint16_t code) {
    const ScreenGroup g = GroupOf(code);
    return g == ScreenGroup::Standby || g == ScreenGroup::Operate || g == ScreenGroup::ManualTune;
}

} // namespace kaldor
