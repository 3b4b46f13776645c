#pragma once
#include <atomic>
#include <cstdint>

#include "InputCodes.h"
#include "ScreenCodes.h"

namespace kaldor {

// The amplifier status as decoded from the last accepted status frame.
// Screen is atomic because the window thread reads it outside the hand-off (LEFT/RIGHT keys,
// power sequence); every other member is read only while the receiver waits in its hand-off.
struct AmpStatus {
    static constexpr int ScreenDataCount = 11;

    uint16_t Header = 0;
    uint16_t Antenna = 0;
    uint16_t CatInterface = 0;
    uint16_t Input = 0;
    bool OutOfBand = false;
    std::atomic<uint16_t> Screen{0};
    uint16_t ScreenData[ScreenDataCount] = {};
    uint16_t OutputPower = 0;
    uint16_t ReflectedPower = 0;
    uint16_t PaVoltage = 0;
    uint16_t PaCurrent = 0;
    uint16_t Frequency = 0;
    uint16_t Band = 0;
    uint16_t SubBand = 0;
    uint16_t SwrGain = 0;
    uint16_t Temperature = 0;
    uint16_t Flags = 0;
};

// Bits of AmpStatus::Flags.
enum StatusFlag : uint16_t {
    FlagTune = 0x01,
    FlagOperate = 0x02,
    FlagTx = 0x04,
    FlagAlarm = 0x08,
    FlagFullPower = 0x10,
    FlagContest = 0x20,
    FlagBeep = 0x40,
    FlagCelsius = 0x80,
};

} // namespace kaldor
