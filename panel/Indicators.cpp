// The front-panel indicator fields and the blinking warnings; filled in with the indicators.
#include "shell/Mainunit.h"

namespace kaldor {

void TMainForm::UpdateIndicators() {}

void TMainForm::tmrWarningTimer() {}

} // namespace kaldor
