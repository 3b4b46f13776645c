#pragma once
// The test amplifier: the far end of a pseudo-terminal pair that the console opens as its serial
// device. It writes real status frames and captures what the console sends.
#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>
#ifdef _WIN32
#include "link/WindowsApi.h"
#else
#include <termios.h>
#endif

#include "link/Frames.h"
#include "link/NonCopyable.h"
#include "link/PortOpener.h"
#include "link/WorkerThread.h"

namespace kaldor::test {

using Bytes = std::vector<uint8_t>;

// A 30-byte status payload with the frame type set; fields at their positions, so a test can
// also write what no amplifier would.
struct StatusPayload {
    std::array<uint8_t, StatusPayloadLength> b{};
    StatusPayload() { b[0] = StatusFrameType << 4; }
    // The payload an amplifier with that status sends.
    static StatusPayload Of(const AmpStatus& status) {
        StatusPayload p;
        EncodeStatusPayload(status, p.b.data());
        return p;
    }
    StatusPayload& Header(uint8_t v) { b[0] = v; return *this; }
    StatusPayload& Flags(uint8_t v) { b[1] = v; return *this; }
    StatusPayload& Screen(uint8_t v) { b[2] = v; return *this; }
    StatusPayload& ScreenData(int i, uint8_t v) { b[3 + i] = v; return *this; }
    StatusPayload& Byte(int i, uint8_t v) { b[i] = v; return *this; }
    StatusPayload& Word(int i, uint16_t v) {
        b[i] = static_cast<uint8_t>(v & 0xFF);
        b[i + 1] = static_cast<uint8_t>(v >> 8);
        return *this;
    }
    Bytes ToBytes() const { return Bytes(b.begin(), b.end()); }
};

// Sync run, length, payload, checksum (plus checksumDelta to make it wrong).
Bytes StatusFrame(const Bytes& payload, int syncCount = 2, int checksumDelta = 0);
Bytes StatusFrame(const StatusPayload& payload, int syncCount = 2, int checksumDelta = 0);
std::string Hex(const Bytes& bytes);
// The bytes of a command frame as the console writes them.
inline Bytes FrameBytes(const CommandFrame& f) { return Bytes(f.Bytes, f.Bytes + f.Count); }

// The line settings as the device holds them.
struct LineState {
    int Baud = 0;
    int ByteSize = 0;
    int Parity = -1;   // NOPARITY, ODDPARITY, EVENPARITY
    int StopBits = -1; // ONESTOPBIT, TWOSTOPBITS
    bool CtsFlow = true;
    bool XonXoff = true;
};

// POSIX: the master of a pseudo-terminal pair whose slave the console opens.
// Windows: the far end of a null-modem pair, COM2 wired to the console's COM1 (under Wine two
// pseudo-terminals joined by socat, see test.sh), driven through the Win32 calls.
class TestAmp : NonCopyable {
public:
    TestAmp();
    ~TestAmp();

    // The device the console opens; also bound to port n by BindPort.
    const std::string& DevicePath() const { return path_; }
    // KALDOR_COM<n> := the device, so the console's port n is this amplifier. On Windows the
    // amplifier is wired to COM1 and cannot be moved.
    void BindPort(int n) const;

    void Send(const Bytes& bytes);
    // What the console wrote since the last call: waits until at least minBytes have come or
    // timeoutMs has passed, then collects what follows within quietMs.
    Bytes Received(size_t minBytes, int timeoutMs = 2000, int quietMs = 30);
    // The line settings the console left on the device; false when the device cannot tell (a
    // second handle on a Windows port that enforces its exclusive open).
    bool Line(LineState& line) const;
#ifndef _WIN32
    // The raw terminal settings the console left on the device.
    struct termios LineSettings() const;
    // Closes the far end: to the console the device is gone.
    void HangUp();
#endif

private:
#ifdef _WIN32
    HANDLE far_ = INVALID_HANDLE_VALUE;
    int Transfer(void* data, DWORD count, bool write);
#else
    int master_ = -1;
    int slave_ = -1; // held open so the line stays up between the console's opens
#endif
    std::string path_;
};

// The environment, the same on every system.
void SetEnv(const std::string& name, const std::string& value);
void UnsetEnv(const std::string& name);
// True when this Windows program runs under Wine, which cannot show some device behaviour.
bool UnderWine();

// A window thread stand-in for link tests: hand-offs queue here until the test runs them.
class QueueDispatcher : public Dispatcher {
public:
    void Post(std::function<void()> task) override;
    // Runs one queued task; false when none came within timeoutMs.
    bool RunOne(int timeoutMs);
    // Runs tasks until pred() holds or timeoutMs passes; returns pred().
    bool RunUntil(const std::function<bool()>& pred, int timeoutMs);
    // Runs tasks for durationMs.
    void RunFor(int durationMs);

private:
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> tasks_;
};

// Port n on device, opened as the window opens its ports: through a PortOpener whose completion
// runs here, with tls for an rfc2217s:// device. Nothing when no completion came within timeoutMs.
std::optional<PortOpener::Result> OpenAsWindow(int n, const std::string& device,
                                               const std::optional<TlsOptions>& tls = std::nullopt,
                                               int timeoutMs = 8000);

// A clock the test steps by hand.
class ManualClock {
public:
    ManualClock(double start = 100.0);
    ~ManualClock();
    void Set(double days);
    void AdvanceSeconds(double seconds);
    double Value() const;

private:
    // Shared with the clock source: a worker that is still reading the time as the clock goes
    // reads it here, not from a destroyed object.
    struct State {
        std::mutex m;
        double now;
    };
    std::shared_ptr<State> state_;
};

} // namespace kaldor::test

// A test with a second amplifier on another port: the Windows test line joins COM1 and COM2
// only, so there it is skipped with that reason.
#ifdef _WIN32
#define KALDOR_SKIP_WITHOUT_SECOND_LINE() \
    GTEST_SKIP() << "the Windows test line joins COM1 and COM2 only: a second amplifier needs a second line"
#else
#define KALDOR_SKIP_WITHOUT_SECOND_LINE() (void)0
#endif
