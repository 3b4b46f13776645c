#ifdef _WIN32
#include "shell/NamedMutex.h"

namespace kaldor {

bool NamedMutex::Acquire() {
    if (handle_) return true;
    constexpr DWORD kMutexAllAccess = 0x1F0001; // MUTEX_ALL_ACCESS
    if (HANDLE running = OpenMutexA(kMutexAllAccess, FALSE, name_.c_str())) {
        CloseHandle(running);
        return false;
    }
    // A console started as administrator made it: only administrators may open it, but it is
    // held all the same.
    if (GetLastError() == ERROR_ACCESS_DENIED) return false;
    HANDLE mutex = CreateMutexA(nullptr, TRUE, name_.c_str());
    const DWORD error = GetLastError();
    if (mutex && error == ERROR_ALREADY_EXISTS) {
        // Another console created it since OpenMutexA; it is not ours to own.
        CloseHandle(mutex);
        return false;
    }
    if (!mutex && error == ERROR_ACCESS_DENIED) return false;
    handle_ = mutex;
    return true;
}

void NamedMutex::Release() {
    if (!handle_) return;
    ReleaseMutex(handle_);
    CloseHandle(handle_);
    handle_ = nullptr;
}

} // namespace kaldor
#endif
