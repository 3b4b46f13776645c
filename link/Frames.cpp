#include "Frames.h"

#include <algorithm>

namespace kaldor {
namespace {

// Sync, length, payload (0x10, key code), checksum. SET is preceded by five sync bytes.
constexpr uint8_t kLMinus[] = {0x55, 0x55, 0x55, 0x02, 0x10, 0x30, 0x40};
constexpr uint8_t kLPlus[] = {0x55, 0x55, 0x55, 0x02, 0x10, 0x31, 0x41};
constexpr uint8_t kCMinus[] = {0x55, 0x55, 0x55, 0x02, 0x10, 0x32, 0x42};
constexpr uint8_t kCPlus[] = {0x55, 0x55, 0x55, 0x02, 0x10, 0x33, 0x43};
constexpr uint8_t kTune[] = {0x55, 0x55, 0x55, 0x02, 0x10, 0x34, 0x44};
constexpr uint8_t kIn[] = {0x55, 0x55, 0x55, 0x02, 0x10, 0x28, 0x38};
constexpr uint8_t kBandMinus[] = {0x55, 0x55, 0x55, 0x02, 0x10, 0x29, 0x39};
constexpr uint8_t kBandPlus[] = {0x55, 0x55, 0x55, 0x02, 0x10, 0x2A, 0x3A};
constexpr uint8_t kAnt[] = {0x55, 0x55, 0x55, 0x02, 0x10, 0x2B, 0x3B};
constexpr uint8_t kCat[] = {0x55, 0x55, 0x55, 0x02, 0x10, 0x2C, 0x3C};
constexpr uint8_t kLeft[] = {0x55, 0x55, 0x55, 0x02, 0x10, 0x2D, 0x3D};
constexpr uint8_t kRight[] = {0x55, 0x55, 0x55, 0x02, 0x10, 0x2E, 0x3E};
constexpr uint8_t kSet[] = {0x55, 0x55, 0x55, 0x55, 0x55, 0x02, 0x10, 0x2F, 0x3F};
constexpr uint8_t kOff[] = {0x55, 0x55, 0x55, 0x02, 0x10, 0x18, 0x28};
constexpr uint8_t kPower[] = {0x55, 0x55, 0x55, 0x02, 0x10, 0x1A, 0x2A};
constexpr uint8_t kDisplay[] = {0x55, 0x55, 0x55, 0x02, 0x10, 0x1B, 0x2B};
constexpr uint8_t kOperate[] = {0x55, 0x55, 0x55, 0x02, 0x10, 0x1C, 0x2C};
constexpr uint8_t kLinkRequest[] = {0x55, 0x55, 0x55, 0x01, 0x80, 0x80};

#define KALDOR_FRAME(a) CommandFrame{a, static_cast<int>(sizeof(a))}
// Indexed by Key.
const CommandFrame kKeyFrames[KeyCount] = {
    KALDOR_FRAME(kLMinus),  KALDOR_FRAME(kLPlus),     KALDOR_FRAME(kCMinus),
    KALDOR_FRAME(kCPlus),   KALDOR_FRAME(kTune),      KALDOR_FRAME(kIn),
    KALDOR_FRAME(kBandMinus), KALDOR_FRAME(kBandPlus), KALDOR_FRAME(kAnt),
    KALDOR_FRAME(kCat),     KALDOR_FRAME(kLeft),      KALDOR_FRAME(kRight),
    KALDOR_FRAME(kSet),     KALDOR_FRAME(kOff),       KALDOR_FRAME(kPower),
    KALDOR_FRAME(kDisplay), KALDOR_FRAME(kOperate),
};
const CommandFrame kLinkRequestFrame = KALDOR_FRAME(kLinkRequest);
#undef KALDOR_FRAME

uint16_t Word(const uint8_t* p, int i) { return static_cast<uint16_t>(p[i] | (p[i + 1] << 8)); }

void PutWord(uint8_t* p, int i, uint16_t v) {
    p[i] = static_cast<uint8_t>(v & 0xFF);
    p[i + 1] = static_cast<uint8_t>(v >> 8);
}

} // namespace

const CommandFrame& KeyFrame(Key key) { return kKeyFrames[static_cast<int>(key)]; }

const CommandFrame& LinkRequestFrame() { return kLinkRequestFrame; }

uint8_t Checksum(const uint8_t* payload, size_t count) {
    uint8_t sum = 0;
    for (size_t i = 0; i < count; ++i) sum = static_cast<uint8_t>(sum + payload[i]);
    return sum;
}

void DecodeStatusPayload(const uint8_t* p, AmpStatus& s) {
    s.Header = p[0];
    s.Flags = p[1];
    s.Screen.store(p[2]);
    for (int i = 0; i < AmpStatus::ScreenDataCount; ++i) s.ScreenData[i] = p[3 + i];
    s.Input = p[14] & 0x01;
    s.OutOfBand = (p[14] & 0x02) != 0;
    s.Band = p[14] >> 4;
    s.SubBand = p[15];
    s.Frequency = Word(p, 16);
    s.Antenna = p[18] & 0x0F;
    s.CatInterface = p[18] >> 4;
    s.SwrGain = Word(p, 19);
    s.Temperature = p[21];
    s.OutputPower = Word(p, 22);
    s.ReflectedPower = Word(p, 24);
    s.PaVoltage = Word(p, 26);
    s.PaCurrent = Word(p, 28);
}

void EncodeStatusPayload(const AmpStatus& s, uint8_t* p) {
    p[0] = static_cast<uint8_t>(s.Header);
    p[1] = static_cast<uint8_t>(s.Flags);
    p[2] = static_cast<uint8_t>(s.Screen.load());
    for (int i = 0; i < AmpStatus::ScreenDataCount; ++i) p[3 + i] = static_cast<uint8_t>(s.ScreenData[i]);
    p[14] = static_cast<uint8_t>((s.Input & 0x01) | (s.OutOfBand ? 0x02 : 0) | (s.Band & 0x0F) << 4);
    p[15] = static_cast<uint8_t>(s.SubBand);
    PutWord(p, 16, s.Frequency);
    p[18] = static_cast<uint8_t>((s.Antenna & 0x0F) | (s.CatInterface & 0x0F) << 4);
    PutWord(p, 19, s.SwrGain);
    p[21] = static_cast<uint8_t>(s.Temperature);
    PutWord(p, 22, s.OutputPower);
    PutWord(p, 24, s.ReflectedPower);
    PutWord(p, 26, s.PaVoltage);
    PutWord(p, 28, s.PaCurrent);
}

std::vector<uint8_t> EncodeStatusFrame(const uint8_t* payload, size_t count, int syncCount) {
    std::vector<uint8_t> frame(static_cast<size_t>(std::max(syncCount, 0)), StatusSync);
    frame.push_back(static_cast<uint8_t>(count));
    frame.insert(frame.end(), payload, payload + count);
    frame.push_back(Checksum(payload, count));
    return frame;
}

} // namespace kaldor
