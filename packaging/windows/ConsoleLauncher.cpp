// kaldor-console.com: the console for the command prompt. kaldor-console.exe is a GUI program, so
// cmd neither waits for it nor keeps its exit code; cmd runs a .com before an .exe of the same
// name, and this one starts the .exe beside it with the same arguments and the same standard
// handles, waits for it and ends with its exit code.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

DWORD childId = 0; // the started console, for the Ctrl+C handler's thread

// Ctrl+C or Ctrl+Break in the prompt: the console is asked to close as its window's close button
// asks it (WM_CLOSE to its windows), so the question, DTR and the settings are as always. This
// program waits on for it to end.
BOOL WINAPI CloseChild(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    EnumWindows(
        [](HWND window, LPARAM) -> BOOL {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == childId && IsWindowVisible(window) && !GetWindow(window, GW_OWNER))
                PostMessageW(window, WM_CLOSE, 0, 0);
            return TRUE;
        },
        0);
    return TRUE;
}

// The command line after the program's own name, as the prompt passed it.
const wchar_t* Arguments(const wchar_t* line) {
    bool quoted = false;
    for (; *line; ++line) {
        if (*line == L'"') quoted = !quoted;
        else if (!quoted && (*line == L' ' || *line == L'\t')) break;
    }
    while (*line == L' ' || *line == L'\t') ++line;
    return line;
}

} // namespace

int wmain() {
    std::wstring self(MAX_PATH, L'\0');
    for (;;) { // a path longer than MAX_PATH: grow until it fits, up to the system's limit
        const DWORD n = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
        if (n == 0) return 1;
        if (n < self.size()) {
            self.resize(n);
            break;
        }
        if (self.size() >= 32768) return 1;
        self.resize(self.size() * 2);
    }
    const size_t dot = self.find_last_of(L'.');
    const std::wstring exe = (dot == std::wstring::npos ? self : self.substr(0, dot)) + L".exe";

    std::wstring line = L"\"" + exe + L"\" " + Arguments(GetCommandLineW());
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    for (HANDLE h : {si.hStdInput, si.hStdOutput, si.hStdError})
        if (h && h != INVALID_HANDLE_VALUE) SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    // The console is a GUI program: Ctrl+C in the prompt reaches only this one, which passes it
    // on as a close.
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        std::fwprintf(stderr, L"kaldor-console: cannot start %ls (error %lu)\n", exe.c_str(), GetLastError());
        return 1;
    }
    childId = pi.dwProcessId;
    SetConsoleCtrlHandler(CloseChild, TRUE);
    CloseHandle(pi.hThread);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}
