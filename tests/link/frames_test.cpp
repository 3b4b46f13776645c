#include <gtest/gtest.h>

#include <vector>

#include "link/Frames.h"

using namespace kaldor;

namespace {
std::vector<uint8_t> Bytes(const CommandFrame& f) { return {f.Bytes, f.Bytes + f.Count}; }
} // namespace

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
        EXPECT_EQ(Bytes(f), row.bytes) << "key " << static_cast<int>(row.key);
        // The trailing byte is the checksum of the payload behind the length byte.
        const int length = f.Bytes[f.Count - 4];
        EXPECT_EQ(length, 2);
        EXPECT_EQ(Checksum(f.Bytes + f.Count - 3, 2), f.Bytes[f.Count - 1]);
    }
    EXPECT_EQ(Bytes(LinkRequestFrame()), (std::vector<uint8_t>{0x55, 0x55, 0x55, 0x01, 0x80, 0x80}));
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
