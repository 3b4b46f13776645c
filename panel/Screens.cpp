// Renderers whose screens are not mirrored yet: they leave the window as it is.
#include "panel/Screens.h"

namespace kaldor {

void ShowNoLink(TMainForm&) {}
void ShowStandby(TMainForm&) {}
void ShowOperate(TMainForm&) {}

} // namespace kaldor
