#pragma once
// The window toolkit's platform for a test program, chosen before its application object exists.
#include <QtGlobal>

namespace kaldor::test {

// Headless on Linux unless a platform is named. The static Qt of the Windows build carries only
// Windows' own platform plugin (asking for another would stop at a message box), so there the
// tests use it: under Wine, on the display that Xvfb gives Wine.
inline void ChooseTestPlatform() {
#ifndef _WIN32
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
}

} // namespace kaldor::test
