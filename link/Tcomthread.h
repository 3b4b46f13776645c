#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>

#include "AmpStatus.h"
#include "Clock.h"
#include "SerialFaults.h"
#include "FrameSearch.h"
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
    static constexpr int MaxSyncRun = FrameSearch::MaxSyncRun;
    // The line: 9600 baud, 8N1. A status frame: two sync bytes, length, payload, checksum.
    static constexpr int LineBytesPerSecond = 960;
    static constexpr int StatusFrameBytes = FrameSearch::StatusFrameBytes;
    static constexpr int FrameMs =
        (StatusFrameBytes * 1000 + LineBytesPerSecond - 1) / LineBytesPerSecond;
    // A frame's bytes after its first, on the line, and a little for the UART's hand-over.
    static constexpr std::chrono::microseconds FrameRest{
        (StatusFrameBytes - 1) * 1000000LL / LineBytesPerSecond + 300};
    // Bytes the receiver looks at ahead of the line's pace (a backlog after a stall, ten
    // seconds of line); beyond that a source is faster than the line and its excess is
    // dropped unread.
    static constexpr int LineCredit = 10 * LineBytesPerSecond;
    static constexpr int FloodChunk = 256;
    static constexpr int MaxFloodChunks = 16;
    // Hand-offs of passes without a frame that may come at once before the line's pace holds.
    static constexpr int HandOffBurst = 8;

protected:
    void Execute() override;
    void StopRequested() override { Port.CancelRead(); }

private:
    using Clock = std::chrono::steady_clock;
    using Attempt = FrameSearch::Attempt;

    // One pass: watchdog, frame search, hand-off. Returns whether a read failed at once.
    bool Pass();
    // One frame search over the bytes the line gives; decodes a status frame found.
    Attempt Search(bool& failed);
    // Next byte of the line; want is how many the frame in progress still needs at least,
    // so a read takes them together instead of waking for each.
    bool NextByte(uint8_t& byte, int want, bool& failed);
    int Fill(int want, bool& failed);
    void EarnCredit();
    // Throws away what a too fast source has queued, in large reads.
    void DropFlood();
    void Notify();

    const std::function<void()> notify_;
    uint8_t buffer_[BufferSize];
    // Bytes read from the port and not yet looked at: in_[head_, tail_).
    uint8_t in_[BufferSize];
    int head_ = 0, tail_ = 0;
    QuickReadGuard quickReads_; // a device that answers nothing at once, again and again, is lost
    bool backlog_ = false; // the last read got all it asked for: more may be waiting
    double credit_ = LineCredit;
    Clock::time_point creditTime_ = Clock::now();
    double handOffs_ = HandOffBurst; // hand-offs a pass without a frame may still make
    Clock::time_point handOffTime_ = Clock::now();
    uint16_t shownScreen_ = 0xFFFF;
};

} // namespace kaldor
