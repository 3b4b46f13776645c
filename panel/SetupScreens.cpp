// The seven setup screens: a title naming the input, the amplifier's menu with its selection,
// and on two screens the values the items stand for.
#include "panel/ScreenParts.h"
#include "panel/Screens.h"
#include "shell/Mainunit.h"

namespace kaldor {
namespace {

using StatusHook = void (*)(TMainForm&, const TComThread&);

struct SetupScreen {
    uint16_t Code;
    const char* Title; // %u: the input, 1 or 2
    int TitleColumn;
    const LcdMenuEntry* Menu;
    int Selection;                   // ScreenData index of the selected item
    StatusHook Fixed = nullptr;      // full draw: lines around the menu
    StatusHook Overlays = nullptr;   // full draw: value boxes over the display
    StatusHook Finish = nullptr;     // full draw: after the indicators
    StatusHook BeforeMenu = nullptr; // every status
    StatusHook AfterMenu = nullptr;  // every status
};

void ShowSetupScreen(TMainForm& f, const SetupScreen& s) {
    const TComThread& st = *f.ComThread;
    const uint8_t selected = SelectionAt(st, s.Selection);
    if (f.LastScreen != s.Code) {
        BeginSetupScreen(f, s.Code, s.TitleColumn, StrFormat(s.Title, st.Input + 1u));
        if (s.Fixed) s.Fixed(f, st);
        f.LcdDrawMenu(s.Menu, selected, true);
        if (s.Overlays) s.Overlays(f, st);
        ShowLcdPanel(f);
        f.stSWR_Gain->SetFontColor(clLime);
        f.UpdateIndicators();
        if (s.Finish) s.Finish(f, st);
    }
    if (s.BeforeMenu) s.BeforeMenu(f, st);
    f.LcdDrawMenu(s.Menu, selected, false);
    if (s.AfterMenu) s.AfterMenu(f, st);
}

// SETUP OPTIONS: four value boxes in the blank tails of CONTEST, BEEP, START and TEMP.
std::array<TStaticText*, 4> OptionBoxes(TMainForm& f) {
    return {f.stContest, f.stBeep, f.stStartup, f.stCelsius};
}

void PlaceOptionBoxes(TMainForm& f, const TComThread&) {
    int top = 31; // row 1
    for (TStaticText* box : OptionBoxes(f)) {
        SetPos(box, 353, top);
        SetVisible(box, true);
        top += TLcdCanvas::CellHeight;
    }
}

void HideFlex(TMainForm& f, const TComThread&) { SetVisible(f.stFlex, false); }

void FillOptionBoxes(TMainForm& f, const TComThread& st) {
    f.stContest->SetCaption(st.Flags & FlagContest ? "On " : "Off");
    f.stBeep->SetCaption(st.Flags & FlagBeep ? "On " : "Off");
    f.stStartup->SetCaption(st.Header & 0x01 ? "Operate" : "Standby");
    f.stCelsius->SetCaption(st.Flags & FlagCelsius ? "\xB0" "C " : "\xB0" "F ");
}

// SET ANTENNA: slots 2k and 2k+1 hold the two antennas of band k, from that band's pair byte.
void RewriteBandSlots(const TComThread& st, std::size_t band) {
    const uint16_t pair = st.GetScreenData(static_cast<uint16_t>(band + 1));
    SetAntennaSlot(2 * band, pair & 7);
    SetAntennaSlot(2 * band + 1, (pair >> 4) & 7);
}

void DrawBandLabels(TMainForm& f, const TComThread& st) {
    static const char* const labels[3][4] = {
        {"160 m:", " 80 m:", " 40 m:", " 30 m:"},
        {"|20 m:", "|17 m:", "|15 m:", "|12 m:"},
        {"|10 m:", "| 6 m:", "|", "|"},
    };
    for (int col = 0; col < 3; ++col)
        for (int row = 0; row < 4; ++row) f.LcdTextOut(13 * col, row + 1, false, labels[col][row]);
    for (std::size_t band = 0; band < kAntennaSlotCount / 2; ++band) RewriteBandSlots(st, band);
}

void RewriteSelectedBand(TMainForm&, const TComThread& st) {
    const uint16_t selected = st.GetScreenData(0);
    if (selected < kAntennaSlotCount) RewriteBandSlots(st, selected / 2);
}

// SET BAUD RATE: the CAT interface and model the rates belong to, as they were on entry.
void DrawCatAndType(TMainForm& f, const TComThread& st) {
    f.LcdTextOut(0, 1, false, "   CAT :              BAUD RATE:");
    f.LcdTextOut(0, 2, false, "   TYPE:");
    f.LcdTextOut(9, 1, false, CatName(st.CatInterface));
    f.LcdTextOut(8, 2, false,
                 st.CatInterface == CatYaesu ? MenuEntry(YaesuMenu, st.GetScreenData(2)).Text
                                           : std::string(" ALL"));
}

const SetupScreen kSetupOptions{ScrSetupOptions, " SETUP OPTIONS vs. IN %u ", 8, SetupMenu, 1, nullptr,
                                PlaceOptionBoxes, HideFlex, nullptr, FillOptionBoxes};
const SetupScreen kSetAntenna{ScrSetAntenna,       " SET ANTENNA vs. IN %u ", 9, AntennaMenu, 0, DrawBandLabels,
                              nullptr, nullptr, RewriteSelectedBand};
const SetupScreen kSetCat{ScrSetCat, " SET CAT vs. IN %u ", 11, CatMenu, 1};
const SetupScreen kSetYaesu{ScrSetYaesu, " SET YAESU vs. IN %u ", 10, YaesuMenu, 1};
const SetupScreen kSetIcom{ScrSetIcom, " SET ICOM vs. IN %u ", 10, IcomMenu, 1};
const SetupScreen kSetTenTec{ScrSetTenTec, " SET TEN-TEC vs. IN %u ", 9, TenTecMenu, 1};
const SetupScreen kSetBaudRate{ScrSetBaudRate, " SET BAUD RATE vs. IN %u ", 8, BaudMenu, 1, DrawCatAndType};

} // namespace

void ShowSetupOptions(TMainForm& f) { ShowSetupScreen(f, kSetupOptions); }
void ShowSetAntenna(TMainForm& f) { ShowSetupScreen(f, kSetAntenna); }
void ShowSetCat(TMainForm& f) { ShowSetupScreen(f, kSetCat); }
void ShowSetYaesu(TMainForm& f) { ShowSetupScreen(f, kSetYaesu); }
void ShowSetIcom(TMainForm& f) { ShowSetupScreen(f, kSetIcom); }
void ShowSetTenTec(TMainForm& f) { ShowSetupScreen(f, kSetTenTec); }
void ShowSetBaudRate(TMainForm& f) { ShowSetupScreen(f, kSetBaudRate); }

} // namespace kaldor
