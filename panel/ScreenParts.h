#pragma once
// Pieces that several of the amplifier's display screens share.
#include <cstdint>
#include <string>

namespace kaldor {

class TMainForm;
class TComThread;

// printf into a display text (Windows-1252 bytes); the formats here are short and fixed.
std::string StrFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Forty dashes: the frame line of the display's title and footer rows.
extern const std::string LcdDashes;

// The start of a setup-mode screen's full draw: its code kept as the last set up, the mode
// field reading "SETUP MODE" in aqua, a clear display, and row 0's dashes with the title over
// them from titleColumn.
void BeginSetupScreen(TMainForm& form, uint16_t code, int titleColumn, const std::string& title);
// The character display comes up over the meters and the SET lamp lights.
void ShowLcdPanel(TMainForm& form);

// ScreenData[i] of the current status as an item number; past 255 it still names no item.
uint8_t SelectionAt(const TComThread& status, int index);

} // namespace kaldor
