#include "panel/SetupTables.h"

#include <iterator>

namespace kaldor {
namespace {
// The two row-7 hints: [SET] either confirms the item or changes its value.
const std::string kConfirm = " [<-] [->]:SELECT         [SET]:CONFIRM ";
const std::string kChange = " [<-] [->]:SELECT         [SET]:CHANGE  ";

const std::string kCatHelp = " --------- SET CAT INTERFACE ---------- ";
const std::string kIcomHelp = " ----- SET PROPER ICOM INTERFACE ------ ";
const std::string kTenTecHelp = " ------ SET PROPER TEN-TEC MODEL ------ ";
const std::string kBaudHelp = " -------- SET PROPER BAUD RATE -------- ";
const std::string kYaesuHelp = " ------- SET PROPER YAESU MODEL ------- ";

const std::string kNoSlot = "   ";

LcdMenuEntry AntennaMenuSlots[22] = {
    {kNoSlot, 7, 1, " --- SET 1st ANTENNA FOR 160 m BAND --- ", kChange},
    {kNoSlot, 10, 1, " --- SET 2nd ANTENNA FOR 160 m BAND --- ", kChange},
    {kNoSlot, 7, 2, " --- SET 1st ANTENNA FOR 80 m BAND ---- ", kChange},
    {kNoSlot, 10, 2, " --- SET 2nd ANTENNA FOR 80 m BAND ---- ", kChange},
    {kNoSlot, 7, 3, " --- SET 1st ANTENNA FOR 40 m BAND ---- ", kChange},
    {kNoSlot, 10, 3, " --- SET 2nd ANTENNA FOR 40 m BAND ---- ", kChange},
    {kNoSlot, 7, 4, " --- SET 1st ANTENNA FOR 30 m BAND ---- ", kChange},
    {kNoSlot, 10, 4, " --- SET 2nd ANTENNA FOR 30 m BAND ---- ", kChange},
    {kNoSlot, 20, 1, " --- SET 1st ANTENNA FOR 20 m BAND ---- ", kChange},
    {kNoSlot, 23, 1, " --- SET 2nd ANTENNA FOR 20 m BAND ---- ", kChange},
    {kNoSlot, 20, 2, " --- SET 1st ANTENNA FOR 17 m BAND ---- ", kChange},
    {kNoSlot, 23, 2, " --- SET 2nd ANTENNA FOR 17 m BAND ---- ", kChange},
    {kNoSlot, 20, 3, " --- SET 1st ANTENNA FOR 15 m BAND ---- ", kChange},
    {kNoSlot, 23, 3, " --- SET 2nd ANTENNA FOR 15 m BAND ---- ", kChange},
    {kNoSlot, 20, 4, " --- SET 1st ANTENNA FOR 12 m BAND ---- ", kChange},
    {kNoSlot, 23, 4, " --- SET 2nd ANTENNA FOR 12 m BAND ---- ", kChange},
    {kNoSlot, 33, 1, " --- SET 1st ANTENNA FOR 10 m BAND ---- ", kChange},
    {kNoSlot, 36, 1, " --- SET 2nd ANTENNA FOR 10 m BAND ---- ", kChange},
    {kNoSlot, 33, 2, " ---- SET 1st ANTENNA FOR 6 m BAND ---- ", kChange},
    {kNoSlot, 36, 2, " ---- SET 2nd ANTENNA FOR 6 m BAND ---- ", kChange},
    {" SAVE ", 33, 4, " ------- SAVE SETTINGS AND EXIT ------- ", kConfirm},
    {},
};
} // namespace

const std::string InputNames[2] = {"1", "2"};
const std::string BandNames[10] = {"160 m", "80 m", "40 m", "30 m", "20 m",
                                   "17 m",  "15 m", "12 m", "10 m", "6 m"};
const std::string AntennaNames[16] = {"1",  "2",  "3",  "4",  "NO",  "", "", "",
                                      "1 ", "2 ", "3 ", "4 ", "NO ", "", "", ""};
const std::string CatNames[8] = {"OLV",     "ICOM",       "KENWOOD", "YAESU",
                                 "TEN-TEC", "FLEX-RADIO", "RS-232",  "NONE"};
const std::string AntennaSlotNames[8] = {" 1 ", " 2 ", " 3 ", " 4 ", "NO ", "   ", "   ", "   "};

const LcdMenuEntry SetupMenu[10] = {
    {" ANTENNA     ", 0, 1, " ------- SET ANTENNAS vs. BANDS ------- ", kConfirm},
    {" CAT         ", 0, 2, " ----- SET CAT INTERFACE FEATURES ----- ", kConfirm},
    {" MANUAL TUNE ", 0, 3, " ------- MANUAL TUNE OPERATIONS ------- ", kConfirm},
    {" BACKLIGHT   ", 0, 4, " ----- DISPLAY BACKLIGHT SETTINGS ----- ", kConfirm},
    {" CONTEST         ", 15, 1, " -------- CONTEST MODE On/Off --------- ", kChange},
    {" BEEP            ", 15, 2, " ------ ACOUSTIC FEEDBACK On/Off ------ ", kChange},
    {" START           ", 15, 3, " ------ SET STARTUP DEFAULT MODE ------ ", kChange},
    {" TEMP.           ", 15, 4, " -- TEMPERATURE VALUE SHOWN IN \xB0" "C/\xB0" "F -- ", kChange},
    {" QUIT ", 34, 1, " ---------- LEAVE THIS MENU ----------- ", kConfirm},
    {},
};

const LcdMenuEntry (&AntennaMenu)[22] = AntennaMenuSlots;

const LcdMenuEntry CatMenu[9] = {
    {" OLV         ", 0, 2, kCatHelp, kConfirm},
    {" ICOM        ", 0, 3, kCatHelp, kConfirm},
    {" KENWOOD     ", 0, 4, kCatHelp, kConfirm},
    {" YAESU       ", 13, 2, kCatHelp, kConfirm},
    {" TEN-TEC     ", 13, 3, kCatHelp, kConfirm},
    {" FLEX-RADIO  ", 13, 4, kCatHelp, kConfirm},
    {" RS-232      ", 26, 2, kCatHelp, kConfirm},
    {" NONE        ", 26, 3, kCatHelp, kConfirm},
    {},
};

const LcdMenuEntry IcomMenu[3] = {
    {" CI-V         ", 13, 2, kIcomHelp, kConfirm},
    {" VOLTAGE_BAND ", 13, 3, kIcomHelp, kConfirm},
    {},
};

const LcdMenuEntry TenTecMenu[5] = {
    {" OMNI VII   ", 7, 2, kTenTecHelp, kConfirm},
    {" ORION I/II ", 7, 3, kTenTecHelp, kConfirm},
    {" JUPITER    ", 20, 2, kTenTecHelp, kConfirm},
    {" ARGONAUT V ", 20, 3, kTenTecHelp, kConfirm},
    {},
};

const LcdMenuEntry BaudMenu[5] = {
    {" 1200 ", 32, 1, kBaudHelp, kConfirm},
    {" 2400 ", 32, 2, kBaudHelp, kConfirm},
    {" 4800 ", 32, 3, kBaudHelp, kConfirm},
    {" 9600 ", 32, 4, kBaudHelp, kConfirm},
    {},
};

// The order is the amplifier's Yaesu model numbering; the baud-rate screen shows these texts as
// the type.
const LcdMenuEntry YaesuMenu[16] = {
    {" FT100       ", 0, 1, kYaesuHelp, kConfirm},
    {" FT757 GX2   ", 0, 2, kYaesuHelp, kConfirm},
    {" FT817/847   ", 0, 3, kYaesuHelp, kConfirm},
    {" FT840/890   ", 0, 4, kYaesuHelp, kConfirm},
    {" FT897       ", 0, 5, kYaesuHelp, kConfirm},
    {" FT900       ", 13, 1, kYaesuHelp, kConfirm},
    {" FT920       ", 13, 2, kYaesuHelp, kConfirm},
    {" FT990       ", 13, 3, kYaesuHelp, kConfirm},
    {" FT1000      ", 13, 4, kYaesuHelp, kConfirm},
    {" FT1000 MP1  ", 13, 5, kYaesuHelp, kConfirm},
    {" FT1000 MP2  ", 26, 1, kYaesuHelp, kConfirm},
    {" FT1000 MP3  ", 26, 2, kYaesuHelp, kConfirm},
    {" FT2000      ", 26, 3, kYaesuHelp, kConfirm},
    {" FT9000D     ", 26, 4, kYaesuHelp, kConfirm},
    {" BAND_DATA   ", 26, 5, kYaesuHelp, kConfirm},
    {},
};

const std::string& InputName(std::size_t index) { return NameAt(InputNames, index); }
const std::string& BandName(std::size_t index) { return NameAt(BandNames, index); }
const std::string& AntennaName(std::size_t index) { return NameAt(AntennaNames, index); }
const std::string& CatName(std::size_t index) { return NameAt(CatNames, index); }
const std::string& AntennaSlotName(std::size_t index) { return NameAt(AntennaSlotNames, index); }

std::size_t MenuItemCount(const LcdMenuEntry* menu) {
    std::size_t count = 0;
    if (menu)
        while (!menu[count].Text.empty()) ++count;
    return count;
}

const LcdMenuEntry& MenuEntry(const LcdMenuEntry* menu, std::size_t index) {
    static const LcdMenuEntry none;
    if (!menu) return none;
    const std::size_t count = MenuItemCount(menu);
    return menu[index < count ? index : count];
}

void SetAntennaSlot(std::size_t slot, std::size_t nameIndex) {
    if (slot >= kAntennaSlotCount || nameIndex >= std::size(AntennaSlotNames)) return;
    AntennaMenuSlots[slot].Text = AntennaSlotNames[nameIndex];
}

} // namespace kaldor
