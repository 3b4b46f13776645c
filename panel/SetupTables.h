#pragma once
// Constant texts of the amplifier's setup mode: the names that turn its index numbers into display
// texts, and one menu table per selection screen. All texts are Windows-1252 bytes; their blanks
// are significant (they align columns and set the width of a highlight bar).
#include <cstddef>
#include <cstdint>
#include <string>

namespace kaldor {

// One selectable item of a setup screen. A table of these ends with an entry whose Text is empty.
struct LcdMenuEntry {
    std::string Text;      // as displayed; the highlight covers exactly these characters
    uint8_t Col = 0;       // column of the first character, 0..39
    uint8_t Row = 0;       // row, 0..7
    std::string HelpLine6; // 40 characters, shown on row 6 while the item is selected
    std::string HelpLine7; // 40 characters, shown on row 7 while the item is selected
};

// Name lists, indexed by the status fields Input, Band, Antenna and CatInterface.
extern const std::string InputNames[2];
extern const std::string BandNames[10];
extern const std::string AntennaNames[16];
extern const std::string CatNames[8];
// Three-character antenna texts of the SET ANTENNA screen.
extern const std::string AntennaSlotNames[8];

// The menu tables, each closed by its terminator (so one entry longer than its item count).
extern const LcdMenuEntry SetupMenu[10];
extern const LcdMenuEntry CatMenu[9];
extern const LcdMenuEntry IcomMenu[3];
extern const LcdMenuEntry TenTecMenu[5];
extern const LcdMenuEntry BaudMenu[5];
extern const LcdMenuEntry YaesuMenu[16];
// The twenty antenna slots (entries 0..19) are the only mutable menu texts. They live in one table
// for the whole run, so a slot keeps its last text between visits of the SET ANTENNA screen; the
// table is read-only here and changes only through SetAntennaSlot.
extern const LcdMenuEntry (&AntennaMenu)[22];

constexpr std::size_t kAntennaSlotCount = 20;

// The status fields are 4-bit values while some lists are shorter: an index past a list gives
// the empty text, so such a value shows nothing.
template <std::size_t N>
const std::string& NameAt(const std::string (&list)[N], std::size_t index) {
    static const std::string empty;
    return index < N ? list[index] : empty;
}
const std::string& InputName(std::size_t index);
const std::string& BandName(std::size_t index);
const std::string& AntennaName(std::size_t index);
const std::string& CatName(std::size_t index);
const std::string& AntennaSlotName(std::size_t index);

// Items before the terminator; a null table has none.
std::size_t MenuItemCount(const LcdMenuEntry* menu);
// Entry by item index; an index at or past the item count gives the table's terminator (empty
// texts), so a stray selection number draws nothing.
const LcdMenuEntry& MenuEntry(const LcdMenuEntry* menu, std::size_t index);

// Sets AntennaMenu slot `slot` (0..19) to AntennaSlotNames[nameIndex] (0..7). Other slot indexes
// are ignored, so the SAVE item and the terminator never change; an unknown name index leaves the
// slot as it is, since an empty slot text would end the table early.
void SetAntennaSlot(std::size_t slot, std::size_t nameIndex);

} // namespace kaldor
