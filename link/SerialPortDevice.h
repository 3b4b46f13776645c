#pragma once
// The OS side of a serial port, shared by all copies of one SerialPort.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "SerialPort.h"

#include "link/NonCopyable.h"
#include "link/WindowsApi.h"

namespace kaldor {

class Rfc2217Port;

struct SerialPort::Device {
    int Port = 0;
    std::string Name;
    std::atomic<bool> Cancelled{false};
    std::atomic<int> TimeoutMs{1000};
    std::mutex CloseMutex;
    std::shared_ptr<Rfc2217Port> Remote; // set for a device on a remote serial server
#ifdef _WIN32
    HANDLE Handle = INVALID_HANDLE_VALUE;
    DCB Dcb{};
    COMMCONFIG Config{};
    // Set by CancelRead, never reset: a waiting read and every later one end at once. It lives
    // as long as the last copy, so a copy may cancel after another has closed the device.
    struct Event : NonCopyable {
        HANDLE H = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        Event() = default;
        ~Event() {
            if (H) CloseHandle(H);
        }
    } Stop;
#else
    int Handle = -1;
    int Wake[2] = {-1, -1}; // a byte in the pipe wakes a waiting read
    int ByteMicros = 0;     // one character's time on the line at its speed and format
#endif
    bool Open() const;
    void CloseOnce();
    bool SetDtrLine(bool raised); // the OS call alone: the port checks and reports
    void WakeRead();              // ends a waiting read at once
    ~Device() { CloseOnce(); }
};

void NotifyDtr(const std::string& device, bool raised);

} // namespace kaldor
