#include "SerialFaults.h"

namespace kaldor {

bool ReadEndedQuietly(uint32_t error, bool cancelledHere) {
    switch (error) {
    case ErrTimeout:
    case ErrSemTimeout: return true;
    case ErrOperationAborted: return cancelledHere;
    default: return false;
    }
}

bool DeviceGone(uint32_t clearCommError) {
    switch (clearCommError) {
    case ErrAccessDenied:
    case ErrInvalidHandle:
    case ErrBadCommand:
    case ErrGenFailure:
    case ErrDeviceNotConnected: return true;
    default: return false;
    }
}

bool QuickReadGuard::Lost(int got, double elapsedMs, int timeoutMs) {
    // A tenth of the time-out, at least a millisecond: a read that waited on a quiet line is
    // never counted, one that was cut short by data never reaches here with nothing.
    const double quick = timeoutMs > 10 ? timeoutMs / 10.0 : 1.0;
    if (got > 0 || elapsedMs >= quick) {
        run_ = 0;
        return false;
    }
    return ++run_ >= Limit;
}

} // namespace kaldor
