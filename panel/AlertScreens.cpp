// The alert screen that the amplifier's protection brings up, and the history of past alarms.
#include <algorithm>

#include "panel/ScreenParts.h"
#include "panel/Screens.h"
#include "shell/Mainunit.h"

namespace kaldor {
namespace {

// Entries the history frame carries: ScreenData[1] to [10].
constexpr unsigned kHistorySlots = 10;

unsigned HistoryCount(uint16_t header) { return header & 0x0F; }
unsigned HistoryTop(uint16_t header) { return (header >> 4) & 0x0F; }

std::string HistoryLine(unsigned entry, uint8_t alarm) {
    const unsigned input = alarm & 0x80 ? 2 : 1;
    const char* line = ScreenFor(alarm & 0x7F).Alert;
    if (!line) return StrFormat("%2u)IN %u WARNING CODE NOT IDENTIFIED", entry, input);
    // The history lists the alert's words left-aligned in the columns the centred line leaves.
    std::string words(line);
    words.erase(0, words.find_first_not_of(' '));
    words.erase(words.find_last_not_of(' ') + 1);
    return StrFormat("%2u)IN %u %-35s", entry, input, words.c_str());
}

} // namespace

void ShowAlert(TMainForm& f) {
    const uint16_t screen = f.ComThread->Screen;
    if (screen == f.LastScreen) return;
    f.LastScreen = screen;
    f.stMode->SetFontColor(clRed);
    f.stMode->SetCaption("ALERT MODE");
    f.ClearLcd();
    f.LcdTextOut(0, 0, false, "--------------- WARNING ----------------");
    f.LcdTextOut(0, 2, false, AlertLineOf(screen));
    f.LcdTextOut(0, 5, false, " -------------------------------------- ");
    f.LcdTextOut(0, 6, false, "         [DISPLAY]:RESET ALARM          ");
    SetVisible(f.pnl_LCD, true);
    f.stAlarm->SetColor(clRed);
    f.stAlarm->SetFontColor(clBlack);
}

void ShowAlarmHistory(TMainForm& f) {
    const TComThread& st = *f.ComThread;
    const uint16_t header = st.GetScreenData(0);
    const unsigned count = HistoryCount(header);
    if (f.LastScreen != ScrAlarmHistory) {
        f.LastScreen = ScrAlarmHistory;
        f.stMode->SetCaption("");
        SetVisible(f.stFlex, false);
        f.ClearLcd();
        f.LcdTextOut(0, 0, false, LcdDashes);
        f.LcdTextOut(0, 5, false, LcdDashes);
        f.LcdTextOut(13, 0, false, " ALARM HISTORY ");
        f.LcdTextOut(0, 6, false, "     [<-] [->]            [DISPLAY]     ");
        f.LcdTextOut(0, 7, false, "      SCROLL                QUIT        ");
        f.HistorySnapshot[0] = static_cast<uint8_t>(header);
        for (unsigned k = std::min(count, kHistorySlots); k >= 1; --k)
            f.HistorySnapshot[k] = static_cast<uint8_t>(st.GetScreenData(static_cast<uint16_t>(k)));
        if (count == 0) f.LcdTextOut(14, 2, false, "BUFFER EMPTY");
        f.ShownTop = 0;
        f.ShownCount = static_cast<uint8_t>(count);
        SetVisible(f.pnl_LCD, true);
    }
    // A changed count, also one that arrives after an empty buffer was shown, takes a new
    // snapshot with the next status; this one still draws from the old.
    if (count != f.ShownCount) f.LastScreen = ScrUnowned;

    const unsigned top = HistoryTop(header);
    if (count == 0 || top == f.ShownTop) return;
    f.ShownTop = static_cast<uint8_t>(top);
    // Only the entries the snapshot holds have data: the rows start at the last of those.
    const unsigned held = std::min<unsigned>(f.ShownCount, kHistorySlots);
    int row = 1;
    for (unsigned e = std::min(top, held); e != 0 && row <= 4; --e, ++row)
        f.LcdTextOut(0, row, false, HistoryLine(e, f.HistorySnapshot[e]));
}

} // namespace kaldor
