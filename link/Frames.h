#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "AmpStatus.h"

namespace kaldor {

// The front-panel keys that have a command frame (ON has none: it uses the link request and DTR).
enum class Key {
    LMinus,
    LPlus,
    CMinus,
    CPlus,
    Tune,
    In,
    BandMinus,
    BandPlus,
    Ant,
    Cat,
    Left,
    Right,
    Set,
    Off,
    Power,
    Display,
    Operate,
};
constexpr int KeyCount = 17;

// A constant byte string sent to the amplifier with one Write.
struct CommandFrame {
    const uint8_t* Bytes;
    int Count;
};

const CommandFrame& KeyFrame(Key key);
const CommandFrame& LinkRequestFrame();

// Low 8 bits of the sum of the payload bytes; used in both directions.
uint8_t Checksum(const uint8_t* payload, size_t count);

constexpr uint8_t StatusSync = 0xAA;
constexpr int StatusPayloadLength = 30;
constexpr uint8_t StatusFrameType = 0xA; // high nibble of payload byte 0

// Decodes an accepted 30-byte status payload into the status members.
void DecodeStatusPayload(const uint8_t* p, AmpStatus& status);
// The 30-byte payload that decodes to status: what the amplifier sends. Members wider than their
// bits on the line keep their low bits; the bits the decoder ignores are zero.
void EncodeStatusPayload(const AmpStatus& status, uint8_t* p);
// A status frame around a payload: syncCount sync bytes, the length, the payload, the checksum.
std::vector<uint8_t> EncodeStatusFrame(const uint8_t* payload, size_t count, int syncCount = 2);

} // namespace kaldor
