#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/Frames.h"

namespace kaldor::sim {

// One command the amplifier took from the line.
struct Command {
    enum class Kind { Key, LinkRequest };
    Kind What = Kind::LinkRequest;
    kaldor::Key KeyPressed = kaldor::Key::Off; // for Kind::Key
};

// Finds command frames in the byte stream from the console: a run of at least three 0x55 bytes,
// the length, the payload and its checksum. Bytes arrive in any pieces; noise, frames with a bad
// checksum and payloads that name no known key are skipped.
class CommandDecoder {
public:
    static constexpr uint8_t Sync = 0x55;
    static constexpr int MinSync = 3;
    static constexpr int MaxPayload = 8; // longer lengths are noise
    static constexpr uint8_t KeyPrefix = 0x10;
    static constexpr uint8_t LinkRequestCode = 0x80;

    // Appends the bytes and returns the commands that are complete now, in order.
    std::vector<Command> Push(const uint8_t* bytes, size_t count);

    // The key whose frame carries this key code; false for an unknown code.
    static bool KeyForCode(uint8_t code, kaldor::Key& key);

private:
    enum class Step { Done, NeedMore, Skip };
    Step TryFrame(std::vector<Command>& out);

    std::vector<uint8_t> buffer_; // never longer than one frame plus a bounded sync run
};

} // namespace kaldor::sim
