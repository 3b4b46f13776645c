#include "link/FrameSearch.h"

#include "link/Frames.h"

namespace kaldor {

FrameSearch::Attempt FrameSearch::Run(FrameSource& line, int firstWant, uint8_t* payload, int& length) {
    length = 0;
    uint8_t byte = 0;
    if (!line.NextByte(byte, firstWant)) return Attempt::Quiet;
    if (byte != StatusSync) return Attempt::Junk;
    line.FrameStarts();

    int syncCount = 1;
    int taken = 1;
    for (;;) {
        // A line of nothing but sync bytes must still end the search, or the watchdog and the
        // hand-off would never come.
        if (syncCount >= MaxSyncRun) return Attempt::Junk;
        if (!line.NextByte(byte, StatusFrameBytes - taken)) return Attempt::Quiet;
        ++taken;
        if (byte != StatusSync) break;
        ++syncCount;
    }
    if (syncCount < 2) return Attempt::Junk;

    const int count = byte;
    for (int i = 0; i < count; ++i)
        if (!line.NextByte(payload[i], count - i + 1)) return Attempt::Quiet;
    uint8_t checksum = 0;
    if (!line.NextByte(checksum, 1)) return Attempt::Quiet;
    if (Checksum(payload, count) != checksum) return Attempt::Junk;
    length = count;
    return Attempt::Frame;
}

} // namespace kaldor
