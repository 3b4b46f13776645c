// The simulated amplifier over time: frame pace, power by OFF and DTR, the readings of a long run.
#include <gtest/gtest.h>

#include <random>

#include "SimBench.h"

using namespace kaldor;
using namespace kaldor::test;
using sim::SimAmplifier;

namespace {

TEST(SimTime, TenValidFramesASecondWhilePowered) {
    SimBench bench;
    bench.Next();
    const int frames = bench.FramesUntil(bench.t + 10.0);
    EXPECT_GE(frames, 99);
    EXPECT_LE(frames, 101);
}

TEST(SimTime, LinkRequestIsAnsweredAtOnce) {
    SimBench bench;
    bench.Next();
    bench.t += 0.02;
    EXPECT_TRUE(bench.PollAt(bench.t).empty()); // the next frame is not due yet
    bench.Send(FrameBytes(LinkRequestFrame()));
    AmpStatus s;
    EXPECT_TRUE(DecodeFrame(bench.PollAt(bench.t), s));
}

TEST(SimTime, OffStopsTheFramesAfterAMoment) {
    SimBench bench;
    bench.Next();
    bench.Press(Key::Off);
    const double off = bench.t;
    EXPECT_GE(bench.FramesUntil(off + SimAmplifier::OffDelay), 4); // still reporting
    EXPECT_EQ(bench.FramesUntil(off + 5.0), 0);
    EXPECT_FALSE(bench.amp.Powered());
    // Switched off it hears nothing: no answer to a link request, keys lost.
    bench.Send(FrameBytes(LinkRequestFrame()));
    bench.Press(Key::Operate);
    EXPECT_EQ(bench.FramesUntil(bench.t + 2.0), 0);
}

TEST(SimTime, DtrSwitchesOnWhenHeldAndOffWhenItHeldItOn) {
    struct Row {
        const char* name;
        bool poweredBefore;
        double raisedFor; // seconds DTR is up before it drops
        bool poweredAfter;
    };
    const Row rows[] = {
        {"short pulse: stays off", false, 1.9, false},
        {"held two seconds: on", false, 2.0, true},
        {"the console's start pulse: on and stays on", false, 6.0, true},
        {"pulse while on: stays on", true, 5.0, true},
        {"held on, then dropped: off", true, 12.0, false},
    };
    for (const Row& r : rows) {
        sim::SimOptions options;
        options.StartPowered = r.poweredBefore;
        SimBench bench(options);
        const double raised = bench.t;
        bench.amp.SetDtr(true, raised);
        bench.FramesUntil(raised + r.raisedFor);
        bench.amp.SetDtr(false, bench.t);
        bench.FramesUntil(bench.t + 1.0);
        EXPECT_EQ(bench.amp.Powered(), r.poweredAfter) << r.name;
        EXPECT_EQ(bench.FramesUntil(bench.t + 1.0) > 0, r.poweredAfter) << r.name;
    }
}

TEST(SimTime, SwitchedOnByDtrItStartsInTheStoredMode) {
    SimBench bench;
    bench.Press(Key::Set);
    bench.Press(std::vector<Key>(6, Key::Right));
    bench.Press({Key::Set, Key::Right, Key::Right, Key::Set, Key::Off}); // START: operate; QUIT; OFF
    bench.FramesUntil(bench.t + 1.0);
    ASSERT_FALSE(bench.amp.Powered());
    bench.amp.SetDtr(true, bench.t);
    bench.FramesUntil(bench.t + 2.05);
    const AmpStatus& s = bench.Next();
    EXPECT_EQ(s.Screen, 1);
    EXPECT_EQ(s.Header & 1, 1);
}

// Ten simulated minutes in operate: the readings stay plausible and the events come.
TEST(SimTime, LongRunInOperateIsPlausible) {
    for (uint32_t seed : {1u, 7u, 12345u}) {
        sim::SimOptions options;
        options.Seed = seed;
        SimBench bench(options);
        bench.Press(Key::Operate);
        int transmitting = 0, highReflected = 0, alerts = 0;
        int minTemp = 1000, maxTemp = 0;
        while (bench.t < 100.0 + 600.0) {
            const AmpStatus& s = bench.Next();
            const bool tx = s.Flags & FlagTx;
            if (s.Screen == 23 || s.Screen == 24) {
                ++alerts;
                EXPECT_TRUE(s.Flags & FlagAlarm);
                bench.Press({Key::Display, Key::Operate}); // reset, back to work
                continue;
            }
            ASSERT_TRUE(s.Screen <= 2) << s.Screen;
            if (s.Screen == 0) { // operate dropped only by an alert
                EXPECT_FALSE(tx);
                continue;
            }
            EXPECT_TRUE(s.Flags & FlagOperate);
            EXPECT_EQ(s.Screen == 2, tx);
            EXPECT_LE(s.OutputPower, 12000);
            EXPECT_GE(s.PaVoltage, 400);
            EXPECT_LE(s.PaVoltage, 510);
            EXPECT_LE(s.PaCurrent, 500);
            if (tx && s.OutputPower > 3000) {
                ++transmitting;
                EXPECT_GE(s.PaCurrent, 50);
                EXPECT_GE(s.SwrGain, 100) << "gain in tenths of dB";
                EXPECT_LE(s.SwrGain, 200);
            }
            if (tx && s.ReflectedPower >= 2000) ++highReflected;
            minTemp = std::min<int>(minTemp, s.Temperature);
            maxTemp = std::max<int>(maxTemp, s.Temperature);
        }
        EXPECT_GT(transmitting, 500) << seed;
        EXPECT_GT(highReflected, 0) << seed;
        EXPECT_GT(alerts, 0) << seed;
        EXPECT_GE(minTemp, 25) << seed;
        EXPECT_GT(maxTemp, minTemp) << "warms with load, seed " << seed;
    }
}

// Whatever keys come, the screen data stays within what each screen means.
TEST(SimTime, RandomKeysKeepTheScreenDataInRange) {
    std::mt19937 rng(99);
    std::uniform_int_distribution<int> anyKey(0, KeyCount - 1);
    SimBench bench;
    for (int i = 0; i < 5000; ++i) {
        const Key key = static_cast<Key>(anyKey(rng));
        if (key == Key::Off) continue;
        bench.Press(key);
        if (i % 50 == 0) bench.amp.RaiseAlert(24, bench.t);
        const AmpStatus& s = bench.Next();
        const uint16_t* d = s.ScreenData;
        switch (s.Screen) {
        case 6: EXPECT_LT(d[1], 9); break;
        case 7:
            EXPECT_LE(d[0], 20);
            for (int b = 1; b <= 10; ++b) {
                EXPECT_LE(d[b] & 0x0F, 4);
                EXPECT_LE(d[b] >> 4, 4);
            }
            break;
        case 8: EXPECT_LT(d[1], 8); break;
        case 9: EXPECT_LT(d[1], 15); break;
        case 10: EXPECT_LT(d[1], 2); break;
        case 11:
        case 12: EXPECT_LT(d[1], 4); EXPECT_LT(d[2], 15); break;
        case 13: EXPECT_LE(d[1], 127); EXPECT_LE(d[2] | d[3] << 8, 1023); break;
        case 29: {
            const int count = d[0] & 0x0F, top = d[0] >> 4;
            EXPECT_LE(count, 10);
            EXPECT_LE(top, count);
            EXPECT_GE(top, std::min(count, 4));
            break;
        }
        default: EXPECT_TRUE(s.Screen <= 5 || s.Screen == 14 || s.Screen == 23 || s.Screen == 24) << s.Screen;
        }
        EXPECT_LT(s.Band, 10);
        EXPECT_LE(s.Antenna, 4);
        EXPECT_LT(s.CatInterface, 8);
    }
}

} // namespace
