// The simulated amplifier's reading of the console's command frames.
#include <gtest/gtest.h>

#include <random>

#include "SimBench.h"
#include "sim/CommandDecoder.h"

using namespace kaldor;
using namespace kaldor::test;
using sim::Command;
using sim::CommandDecoder;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// -1 stands for the link request, other values for a key.
std::vector<int> Decode(const Bytes& bytes, bool oneByOne) {
    CommandDecoder decoder;
    std::vector<Command> commands;
    if (oneByOne) {
        for (uint8_t b : bytes)
            for (const Command& c : decoder.Push(&b, 1)) commands.push_back(c);
    } else {
        commands = decoder.Push(bytes.data(), bytes.size());
    }
    std::vector<int> out;
    for (const Command& c : commands)
        out.push_back(c.What == Command::Kind::LinkRequest ? -1 : static_cast<int>(c.KeyPressed));
    return out;
}

TEST(SimDecoder, EveryFrameTheConsoleSendsIsUnderstood) {
    for (int k = 0; k < KeyCount; ++k)
        EXPECT_EQ(Decode(FrameBytes(KeyFrame(static_cast<Key>(k))), false), std::vector<int>{k}) << "key " << k;
    EXPECT_EQ(Decode(FrameBytes(LinkRequestFrame()), false), std::vector<int>{-1});
}

TEST(SimDecoder, NoiseAndBadFramesAreSkipped) {
    const int right = static_cast<int>(Key::Right), set = static_cast<int>(Key::Set);
    const Bytes rightFrame = FrameBytes(KeyFrame(Key::Right));
    struct Row {
        const char* name;
        Bytes bytes;
        std::vector<int> commands;
    };
    const std::vector<Row> rows = {
        {"noise before", Join({{0x00, 0x13, 0x55, 0xFF}, rightFrame}), {right}},
        {"bad checksum", {0x55, 0x55, 0x55, 0x02, 0x10, 0x2E, 0x3F}, {}},
        {"bad checksum, then a good frame", Join({{0x55, 0x55, 0x55, 0x02, 0x10, 0x2E, 0x00}, rightFrame}), {right}},
        {"two sync bytes only", {0x55, 0x55, 0x02, 0x10, 0x2E, 0x3E}, {}},
        {"long sync run", Join({Bytes(40, 0x55), {0x02, 0x10, 0x2E, 0x3E}}), {right}},
        {"unknown key code", {0x55, 0x55, 0x55, 0x02, 0x10, 0x99, 0xA9}, {}},
        {"not a key payload", {0x55, 0x55, 0x55, 0x02, 0x11, 0x2E, 0x3F}, {}},
        {"zero length", Join({{0x55, 0x55, 0x55, 0x00}, rightFrame}), {right}},
        {"length past any command", Join({{0x55, 0x55, 0x55, 0x40}, rightFrame}), {right}},
        {"frame inside a bad one", Join({{0x55, 0x55, 0x55, 0x05}, rightFrame}), {right}},
        {"truncated frame, then another", Join({{0x55, 0x55, 0x55, 0x02, 0x10}, FrameBytes(KeyFrame(Key::Set))}), {set}},
        {"back to back", Join({rightFrame, FrameBytes(LinkRequestFrame()), FrameBytes(KeyFrame(Key::Set))}), {right, -1, set}},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(Decode(r.bytes, false), r.commands) << r.name;
        EXPECT_EQ(Decode(r.bytes, true), r.commands) << r.name << ", byte by byte";
    }
}

TEST(SimDecoder, RandomBytesNeverHideAFollowingFrame) {
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> byte(0, 255), length(0, 300);
    for (int round = 0; round < 200; ++round) {
        Bytes noise(static_cast<size_t>(length(rng)));
        for (uint8_t& b : noise) b = static_cast<uint8_t>(byte(rng) < 64 ? 0x55 : byte(rng));
        CommandDecoder decoder;
        decoder.Push(noise.data(), noise.size());
        // However the noise ended, a pause of sync bytes and a frame are read.
        const Bytes tail = Join({Bytes(12, 0x00), FrameBytes(KeyFrame(Key::Operate))});
        const auto commands = decoder.Push(tail.data(), tail.size());
        ASSERT_FALSE(commands.empty()) << "round " << round;
        EXPECT_EQ(commands.back().KeyPressed, Key::Operate) << "round " << round;
    }
}

} // namespace
