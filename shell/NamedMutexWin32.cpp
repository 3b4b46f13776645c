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
    HANDLE mutex = CreateMutexA(nullptr, TRUE, name_.c_str());
    if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        // Another console created it since OpenMutexA; it is not ours to own.
        CloseHandle(mutex);
        return false;
    }
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
