#pragma once
// The OS side of a serial port, shared by all copies of one SerialPort.
#include <atomic>
#include <mutex>
#include <string>

#include "SerialPort.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kaldor {

struct SerialPort::Device {
    int Port = 0;
    std::string Name;
    std::atomic<bool> Cancelled{false};
    std::atomic<int> TimeoutMs{1000};
    std::mutex CloseMutex;
#ifdef _WIN32
    HANDLE Handle = INVALID_HANDLE_VALUE;
    DCB Dcb{};
    COMMCONFIG Config{};
#else
    int Handle = -1;
    int Wake[2] = {-1, -1}; // a byte in the pipe wakes a waiting read
    int ByteMicros = 0;     // one character's time on the line at its speed and format
#endif
    bool Open() const;
    void CloseOnce();
    ~Device() { CloseOnce(); }
};

void NotifyDtr(const std::string& device, bool raised);

} // namespace kaldor
