#include "panel/ScreenParts.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "shell/Mainunit.h"

namespace kaldor {

const std::string LcdDashes(40, '-');

std::string StrFormat(const char* format, ...) {
    char buf[128];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    return n > 0 ? std::string(buf, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buf - 1))
                 : std::string();
}

void BeginSetupScreen(TMainForm& form, uint16_t code, int titleColumn, const std::string& title) {
    form.LastScreen = code;
    form.stMode->SetFontColor(clAqua);
    form.stMode->SetCaption("SETUP MODE");
    form.ClearLcd();
    form.LcdTextOut(0, 0, false, LcdDashes);
    form.LcdTextOut(titleColumn, 0, false, title);
}

void ShowLcdPanel(TMainForm& form) {
    SetVisible(form.pnl_LCD, true);
    form.stSet->SetColor(clLime);
    form.stSet->SetFontColor(clBlack);
}

uint8_t SelectionAt(const TComThread& status, int index) {
    return static_cast<uint8_t>(std::min<uint16_t>(status.GetScreenData(static_cast<uint16_t>(index)), 255));
}

} // namespace kaldor
