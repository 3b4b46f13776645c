#pragma once
#include <atomic>
#include <cstdint>
#include <functional>

#include "AmpStatus.h"
#include "Clock.h"
#include "SerialPort.h"
#include "WorkerThread.h"

namespace kaldor {

// The receiver: reads the line, finds and checks status frames, decodes accepted ones into its
// status members, watches the link, and after every pass hands OnStatus to the window thread.
class TComThread : public WorkerThread, public AmpStatus {
public:
    using StatusEvent = std::function<void(TComThread* sender)>;

    // Starts at once. port is copied: the copy refers to the same open device.
    TComThread(const SerialPort& port, StatusEvent onStatus, Dispatcher* dispatcher);
    // Stops the thread if the owner has not, then closes the port.
    ~TComThread() override;

    // ScreenData[i]; 0 for an index outside 0..10.
    uint16_t GetScreenData(uint16_t i) const;

    SerialPort Port;
    StatusEvent OnStatus;
    // Atomic because the power sequence reads it outside the hand-off.
    std::atomic<TDateTime> LinkDeadline{0.0};
    // Set once a read has failed at once: the device went away (hang-up, unplugged, connection
    // dropped) or never opened. The window reads it to reconnect.
    std::atomic<bool> PortFailed{false};

    static constexpr int BufferSize = 4096;
    // Pause after a read that failed at once, so a dead port does not spin.
    static constexpr int FailedReadPauseMs = 100;
    // Longest sync run one pass reads; a frame needs two.
    static constexpr int MaxSyncRun = 64;

protected:
    void Execute() override;
    void StopRequested() override { Port.CancelRead(); }

private:
    // One pass: watchdog, frame search, hand-off. Returns whether a read failed at once.
    bool Pass();
    bool ReadByte(uint8_t& byte, bool& failed);
    void Notify();

    const std::function<void()> notify_;
    uint8_t buffer_[BufferSize];
};

} // namespace kaldor
