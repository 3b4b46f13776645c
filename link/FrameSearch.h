#pragma once
#include <cstdint>

namespace kaldor {

// Where a frame search takes its bytes from: the receiver's port, or a test's chunks.
class FrameSource {
public:
    virtual ~FrameSource() = default;
    // The next byte; want is how many the frame in progress still needs at least (it may be
    // below 1), so that a read takes them together. False when none came.
    virtual bool NextByte(uint8_t& byte, int want) = 0;
    // The first byte was a sync byte: a frame may be starting.
    virtual void FrameStarts() {}
};

// One search for a status frame as the format reads it: a run of sync bytes, the length, the
// payload and its checksum. A byte that cannot start a frame, a lone sync byte, a sync run
// that does not end, or a wrong checksum is Junk; bytes that stop coming are Quiet, and what
// was taken of the frame is lost.
struct FrameSearch {
    enum class Attempt { Frame, Junk, Quiet };
    static constexpr int MaxSyncRun = 64; // a frame needs two
    static constexpr int StatusFrameBytes = 2 + 1 + 30 + 1;
    static constexpr int MaxPayload = 255;

    // firstWant is what the first read asks for. On Frame, payload[0, length) holds the payload
    // (payload has room for MaxPayload bytes).
    static Attempt Run(FrameSource& line, int firstWant, uint8_t* payload, int& length);
};

} // namespace kaldor
