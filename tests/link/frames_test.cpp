#include <gtest/gtest.h>

#include <vector>

#include "link/Frames.h"
#include "support/TestAmp.h"

using namespace kaldor;
using kaldor::test::FrameBytes;

TEST(CommandFrames, EveryKeyWritesExactlyItsBytes) {
    struct Row {
        Key key;
        std::vector<uint8_t> bytes;
    };
    const std::vector<Row> table = {
        {Key::LMinus, {0x55, 0x55, 0x55, 0x02, 0x10, 0x30, 0x40}},
        {Key::LPlus, {0x55, 0x55, 0x55, 0x02, 0x10, 0x31, 0x41}},
        {Key::CMinus, {0x55, 0x55, 0x55, 0x02, 0x10, 0x32, 0x42}},
        {Key::CPlus, {0x55, 0x55, 0x55, 0x02, 0x10, 0x33, 0x43}},
        {Key::Tune, {0x55, 0x55, 0x55, 0x02, 0x10, 0x34, 0x44}},
        {Key::In, {0x55, 0x55, 0x55, 0x02, 0x10, 0x28, 0x38}},
        {Key::BandMinus, {0x55, 0x55, 0x55, 0x02, 0x10, 0x29, 0x39}},
        {Key::BandPlus, {0x55, 0x55, 0x55, 0x02, 0x10, 0x2A, 0x3A}},
        {Key::Ant, {0x55, 0x55, 0x55, 0x02, 0x10, 0x2B, 0x3B}},
        {Key::Cat, {0x55, 0x55, 0x55, 0x02, 0x10, 0x2C, 0x3C}},
        {Key::Left, {0x55, 0x55, 0x55, 0x02, 0x10, 0x2D, 0x3D}},
        {Key::Right, {0x55, 0x55, 0x55, 0x02, 0x10, 0x2E, 0x3E}},
        {Key::Set, {0x55, 0x55, 0x55, 0x55, 0x55, 0x02, 0x10, 0x2F, 0x3F}},
        {Key::Off, {0x55, 0x55, 0x55, 0x02, 0x10, 0x18, 0x28}},
        {Key::Power, {0x55, 0x55, 0x55, 0x02, 0x10, 0x1A, 0x2A}},
        {Key::Display, {0x55, 0x55, 0x55, 0x02, 0x10, 0x1B, 0x2B}},
        {Key::Operate, {0x55, 0x55, 0x55, 0x02, 0x10, 0x1C, 0x2C}},
    };
    ASSERT_EQ(table.size(), static_cast<size_t>(KeyCount));
    for (const Row& row : table) {
        const CommandFrame& f = KeyFrame(row.key);
        EXPECT_EQ(FrameBytes(f), row.bytes) << "key " << static_cast<int>(row.key);
        // The trailing byte is the checksum of the payload behind the length byte.
        const int length = f.Bytes[f.Count - 4];
        EXPECT_EQ(length, 2);
        EXPECT_EQ(Checksum(f.Bytes + f.Count - 3, 2), f.Bytes[f.Count - 1]);
    }
    EXPECT_EQ(FrameBytes(LinkRequestFrame()), (std::vector<uint8_t>{0x55, 0x55, 0x55, 0x01, 0x80, 0x80}));
}

TEST(Checksum, KeepsTheLowEightBitsOfThePayloadSum) {
    const uint8_t cat[] = {0x10, 0x2C};
    EXPECT_EQ(Checksum(cat, 2), 0x3C);
    // 0x0D34 in all: 13 bytes of 0xFF (0x0CF3) and one of 0x41.
    std::vector<uint8_t> p(13, 0xFF);
    p.push_back(0x41);
    EXPECT_EQ(Checksum(p.data(), p.size()), 0x34);
    EXPECT_EQ(Checksum(nullptr, 0), 0);
}

TEST(StatusDecoding, EveryFieldFromItsBytes) {
    uint8_t p[30] = {};
    p[0] = 0xA5;
    p[1] = 0x96;
    p[2] = 13;
    for (int i = 0; i < 11; ++i) p[3 + i] = static_cast<uint8_t>(0x20 + i);
    p[14] = 0x93;
    p[15] = 7;
    p[16] = 0x1C;
    p[17] = 0x37;
    p[18] = 0x54;
    p[19] = 0x2C;
    p[20] = 0x01;
    p[21] = 41;
    p[22] = 0x10;
    p[23] = 0x27; // 10000
    p[24] = 0xE8;
    p[25] = 0x03; // 1000
    p[26] = 0x1F;
    p[27] = 0x02; // 543
    p[28] = 0xFF;
    p[29] = 0xFF;
    AmpStatus s;
    DecodeStatusPayload(p, s);
    EXPECT_EQ(s.Header, 0xA5);
    EXPECT_EQ(s.Header & 1, 1) << "start-up mode Operate";
    EXPECT_EQ(s.Flags, 0x96);
    EXPECT_EQ(s.Screen.load(), 13);
    for (int i = 0; i < 11; ++i) EXPECT_EQ(s.ScreenData[i], 0x20 + i);
    EXPECT_EQ(s.Input, 1);
    EXPECT_TRUE(s.OutOfBand);
    EXPECT_EQ(s.Band, 9);
    EXPECT_EQ(s.SubBand, 7);
    EXPECT_EQ(s.Frequency, 14108);
    EXPECT_EQ(s.Antenna, 4);
    EXPECT_EQ(s.CatInterface, 5);
    EXPECT_EQ(s.SwrGain, 300);
    EXPECT_EQ(s.Temperature, 41);
    EXPECT_EQ(s.OutputPower, 10000);
    EXPECT_EQ(s.ReflectedPower, 1000);
    EXPECT_EQ(s.PaVoltage, 543);
    EXPECT_EQ(s.PaCurrent, 65535);
}

TEST(StatusDecoding, UninterpretedBitsPlayNoPart) {
    uint8_t p[30] = {0xA0};
    p[14] = 0x0C; // bits 2 and 3 only
    AmpStatus s;
    DecodeStatusPayload(p, s);
    EXPECT_EQ(s.Input, 0);
    EXPECT_FALSE(s.OutOfBand);
    EXPECT_EQ(s.Band, 0);
    p[14] = 0x02;
    DecodeStatusPayload(p, s);
    EXPECT_EQ(s.Input, 0);
    EXPECT_TRUE(s.OutOfBand);
}

namespace {
std::vector<unsigned> Fields(const AmpStatus& s) {
    std::vector<unsigned> v = {s.Header, s.Flags, s.Screen.load(), s.Input, s.OutOfBand, s.Band,
                               s.SubBand, s.Frequency, s.Antenna, s.CatInterface, s.SwrGain,
                               s.Temperature, s.OutputPower, s.ReflectedPower, s.PaVoltage, s.PaCurrent};
    v.insert(v.end(), s.ScreenData, s.ScreenData + AmpStatus::ScreenDataCount);
    return v;
}
} // namespace

TEST(StatusEncoding, EveryStatusComesBackFromItsPayload) {
    struct Row {
        const char* name;
        uint8_t fill;        // every narrow member's bits set to this pattern
        uint16_t word;       // every word member
        bool outOfBand;
    } rows[] = {
        {"zero", 0x00, 0, false},
        {"all bits", 0xFF, 0xFFFF, true},
        {"alternate bits", 0x5A, 0xA55A, false},
        {"other alternate", 0xA5, 0x5AA5, true},
    };
    for (const Row& r : rows) {
        AmpStatus in;
        in.Header = r.fill;
        in.Flags = r.fill;
        in.Screen.store(r.fill);
        for (uint16_t& d : in.ScreenData) d = r.fill;
        in.Input = r.fill & 0x01;
        in.OutOfBand = r.outOfBand;
        in.Band = r.fill >> 4;
        in.SubBand = r.fill;
        in.Antenna = r.fill & 0x0F;
        in.CatInterface = r.fill >> 4;
        in.Temperature = r.fill;
        in.Frequency = in.SwrGain = in.OutputPower = in.ReflectedPower = in.PaVoltage = in.PaCurrent = r.word;
        uint8_t p[StatusPayloadLength];
        EncodeStatusPayload(in, p);
        AmpStatus out;
        DecodeStatusPayload(p, out);
        EXPECT_EQ(Fields(out), Fields(in)) << r.name;
    }
}

TEST(StatusEncoding, EveryPayloadComesBackFromItsStatus) {
    uint32_t seed = 12345;
    for (int n = 0; n < 500; ++n) {
        uint8_t p[StatusPayloadLength];
        for (uint8_t& b : p) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
        p[14] &= 0xF3; // the two bits the decoder ignores
        AmpStatus s;
        DecodeStatusPayload(p, s);
        uint8_t again[StatusPayloadLength];
        EncodeStatusPayload(s, again);
        ASSERT_EQ(std::vector<uint8_t>(again, again + 30), std::vector<uint8_t>(p, p + 30)) << "payload " << n;
    }
}

TEST(StatusEncoding, FrameIsSyncLengthPayloadChecksum) {
    uint8_t p[StatusPayloadLength] = {0xA0, 0x16, 1};
    p[22] = 0xFF;
    const std::vector<uint8_t> frame = EncodeStatusFrame(p, sizeof p);
    ASSERT_EQ(frame.size(), 34u);
    EXPECT_EQ(std::vector<uint8_t>(frame.begin(), frame.begin() + 3), (std::vector<uint8_t>{0xAA, 0xAA, 30}));
    EXPECT_EQ(std::vector<uint8_t>(frame.begin() + 3, frame.end() - 1), std::vector<uint8_t>(p, p + 30));
    EXPECT_EQ(frame.back(), 0xB6); // 0xA0 + 0x16 + 1 + 0xFF, low 8 bits
    EXPECT_EQ(EncodeStatusFrame(p, sizeof p, 5).size(), 37u);
    EXPECT_EQ(EncodeStatusFrame(p, sizeof p, 5)[4], 0xAA);
}
