#pragma once
// A receiver on the test amplifier's line, its hand-offs run by the test thread.
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "link/Tcomthread.h"
#include "support/TestAmp.h"

namespace kaldor::test {

// What the window thread saw in one hand-off.
struct Snapshot {
    uint16_t Header, Flags, Screen, Input, Band, SubBand, Frequency, Antenna, CatInterface;
    uint16_t SwrGain, Temperature, OutputPower, ReflectedPower, PaVoltage, PaCurrent;
    bool OutOfBand;
    uint16_t ScreenData[11];
    double LinkDeadline;
    std::thread::id Thread;

    explicit Snapshot(const TComThread& t)
        : Header(t.Header), Flags(t.Flags), Screen(t.Screen.load()), Input(t.Input),
          Band(t.Band), SubBand(t.SubBand), Frequency(t.Frequency), Antenna(t.Antenna),
          CatInterface(t.CatInterface), SwrGain(t.SwrGain), Temperature(t.Temperature),
          OutputPower(t.OutputPower), ReflectedPower(t.ReflectedPower), PaVoltage(t.PaVoltage),
          PaCurrent(t.PaCurrent), OutOfBand(t.OutOfBand), LinkDeadline(t.LinkDeadline),
          Thread(std::this_thread::get_id()) {
        for (int i = 0; i < 11; ++i) ScreenData[i] = t.ScreenData[i];
    }
};

class ReceiverTest : public ::testing::Test {
protected:
    void SetUp() override {
        amp.BindPort(1);
        ASSERT_TRUE(port.Open(1, 9600, NOPARITY, 8, ONESTOPBIT, 4096, 4096));
        port.SetTimeouts(TimeoutMs());
    }
    void TearDown() override {
        Stop();
        port.Close();
        UnsetEnv("KALDOR_COM1");
    }
    virtual int TimeoutMs() const { return 50; }

    void Start() {
        receiver = std::make_unique<TComThread>(
            port, [this](TComThread* t) { snaps.emplace_back(*t); }, &dispatcher);
    }
    void Stop() {
        if (!receiver) return;
        receiver->Terminate();
        receiver->WaitFor();
        receiver.reset();
    }
    bool RunUntilScreen(uint16_t screen, int timeoutMs = 3000) {
        return dispatcher.RunUntil(
            [&] { return !snaps.empty() && snaps.back().Screen == screen; }, timeoutMs);
    }
    const Snapshot& Last() const { return snaps.back(); }

    TestAmp amp;
    SerialPort port;
    QueueDispatcher dispatcher;
    ManualClock clock{100.0};
    std::unique_ptr<TComThread> receiver;
    std::vector<Snapshot> snaps;
};

} // namespace kaldor::test
