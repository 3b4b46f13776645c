#pragma once
// On Windows the console is a GUI program without standard output of its own: started from a
// command prompt, it writes its help, version and error lines to that prompt's console. Output
// that was redirected (to a file or a pipe) stays where it was sent.
#ifdef _WIN32
#include <windows.h>

#include <cstdio>

namespace kaldor {
inline void AttachParentConsole() {
    const bool outMissing = GetStdHandle(STD_OUTPUT_HANDLE) == nullptr;
    const bool errMissing = GetStdHandle(STD_ERROR_HANDLE) == nullptr;
    if (!(outMissing || errMissing) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
    if (outMissing) std::freopen("CONOUT$", "w", stdout);
    if (errMissing) std::freopen("CONOUT$", "w", stderr);
}
} // namespace kaldor
#else
namespace kaldor {
inline void AttachParentConsole() {}
} // namespace kaldor
#endif
