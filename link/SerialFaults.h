#pragma once
// When a serial device counts as gone. Windows' error codes by number, so that the same table
// is tested on every system.
#include <cstdint>

namespace kaldor {

enum : uint32_t {
    ErrAccessDenied = 5,
    ErrInvalidHandle = 6,
    ErrBadCommand = 22,
    ErrGenFailure = 31,
    ErrSemTimeout = 121,
    ErrOperationAborted = 995,
    ErrDeviceNotConnected = 1167,
    ErrTimeout = 1460,
};

// A read that moved nothing and failed with error: quiet for a time-out, and for an abort only
// when the console cancelled the read itself (a stop, its own time-out); any other end means the
// device is lost. A driver that aborts every read after a surprise removal is lost, not quiet.
bool ReadEndedQuietly(uint32_t error, bool cancelledHere);

// ClearCommError failing with error: the device is gone (a USB adapter pulled out).
bool DeviceGone(uint32_t clearCommError);

// Reads that return nothing much faster than their time-out, many times in a row, are a device
// that is gone, whatever the system says: the receiver then reconnects instead of spinning.
class QuickReadGuard {
public:
    static constexpr int Limit = 20;
    // One read: got bytes in elapsedMs against its timeoutMs. True when the device is lost.
    bool Lost(int got, double elapsedMs, int timeoutMs);

private:
    int run_ = 0;
};

} // namespace kaldor
