#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "StationRole.h"

namespace kaldor {

class Rfc2217Port;

// Line settings as the Win32 constants number them. <windows.h> defines the same names as
// macros of the same values: where it came first, its macros stand in for these.
#ifndef NOPARITY
constexpr uint8_t NOPARITY = 0;
#endif
#ifndef ODDPARITY
constexpr uint8_t ODDPARITY = 1;
#endif
#ifndef EVENPARITY
constexpr uint8_t EVENPARITY = 2;
#endif
#ifndef ONESTOPBIT
constexpr uint8_t ONESTOPBIT = 0;
#endif
#ifndef TWOSTOPBITS
constexpr uint8_t TWOSTOPBITS = 2;
#endif

struct LineSettings {
    int Baud;
    uint8_t Parity, ByteSize, StopBits;
};
// The amplifier's line: 9600 baud, 8 data bits, no parity, one stop bit.
constexpr LineSettings AmplifierLine{9600, NOPARITY, 8, ONESTOPBIT};

// One serial device. Copies refer to the same open device (the receiver holds a copy of the
// window's port); whichever copy closes first closes the device, the others only forget it,
// so the device is closed exactly once.
class SerialPort {
public:
    SerialPort() = default;
    SerialPort(const SerialPort& other) = default;
    SerialPort& operator=(const SerialPort& other) = default;
    // Moved, the device changes hands and the source forgets it.
    SerialPort(SerialPort&& other) noexcept = default;
    SerialPort& operator=(SerialPort&& other) noexcept = default;
    ~SerialPort();

    // Opens port n (1..6) raw at the given line settings with DTR and RTS low and both queues
    // flushed; read and write time-outs 1000 ms. False only when the device does not open. A
    // remote device does not open here: PortOpener opens it off the window thread.
    bool Open(int n, int baud, uint8_t parity, uint8_t byteSize, uint8_t stopBits, int inQueue,
              int outQueue);
    // As Open, on the local device named (not port n's): for a program that serves one line it
    // names itself. The failure text numbers it COM1.
    bool OpenDevice(const std::string& device, const LineSettings& line);
    void Close();
    bool IsOpen() const;
    bool SetTimeouts(int ms);
    // The read time-out SetTimeouts set, 0 when not open.
    int TimeoutMs() const;

    // Returns at once with the bytes already waiting (never more than count); if none are
    // waiting, waits until count bytes have arrived or the time-out has passed.
    int Read(void* buffer, int count);
    int Write(const void* buffer, int count);
    bool SetDtr();
    bool ClearDtr();

    // True when the last Read on this copy failed at once: port closed, device gone.
    bool LastReadFailed() const { return lastReadFailed_; }
    // Wakes a Read waiting on this device; every later Read on it returns at once. Used to stop
    // the receiver promptly.
    void CancelRead();

    // Becomes port n on a remote device that was opened elsewhere (off the window thread); a
    // null one is a failed open, reported as Open reports it.
    bool Adopt(int n, const std::string& name, std::shared_ptr<Rfc2217Port> remote,
               const std::string& error);

    int PortNumber() const;
    std::string DeviceName() const;

    // A remote line that a station shares among consoles: who holds control, as the station
    // last said. False on any other line.
    bool SharedRole(StationRole& role) const;
    // Asks the station for control from seenHolder, the holder the user saw.
    bool TakeControl(const std::string& seenHolder);

    // Why the last Open (or Adopt) that failed did: "COM3 (/dev/ttyS2): <reason>".
    const std::string& OpenFailure() const { return openFailure_; }

    // Called with the device name and the new level on every DTR change, including the low
    // level after Open. Lets the simulated amplifier see DTR where the device has no modem lines.
    static void SetDtrObserver(std::function<void(const std::string& device, bool raised)> observer);

    struct Device; // the OS side, shared by all copies

private:
    bool SetDtrLevel(bool raised);
    // The start of every Read: false when there is nothing to read from the OS.
    bool BeginRead(int count);

    bool OpenFailed(int n, const std::string& name, const std::string& reason) const;
    // The start of every Open: closes what was open; false (said as the failure) when port n is
    // a remote server, which PortOpener opens; local: its device name.
    bool BeginOpen(int n, std::string& local);

    // A device named rfc2217://host:port is a port on a remote serial server: these stand in for
    // the OS calls then (SerialPortRemote.cpp).
    bool IsRemote() const;
    int ReadRemote(void* buffer, int count);
    int WriteRemote(const void* buffer, int count);

    std::shared_ptr<Device> dev_;
    std::string named_; // OpenDevice's, while it opens
    bool lastReadFailed_ = false;
    mutable std::string openFailure_;
};

} // namespace kaldor
