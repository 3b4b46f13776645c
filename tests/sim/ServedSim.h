#pragma once
// The simulated amplifier served on a line of its own thread and reached through the console's
// own port: its clock stepped by hand, its status frames found in what the port reads.
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "SimBench.h"
#include "link/Rfc2217Port.h"
#include "link/SerialPort.h"
#include "sim/SimServer.h"

namespace kaldor::test {

// What a port reads: the count, -1 once the line has failed.
using LineRead = std::function<int(uint8_t* buffer, int size)>;

inline LineRead Reader(SerialPort& port) {
    return [&port](uint8_t* buffer, int size) {
        const int n = port.Read(buffer, size);
        return port.LastReadFailed() ? -1 : n;
    };
}

inline LineRead Reader(Rfc2217Port& port) {
    return [&port](uint8_t* buffer, int size) {
        bool failed = false;
        const int n = port.Read(buffer, size, 100, failed);
        return failed && n == 0 ? -1 : n;
    };
}

// Reads until a valid status frame has come or timeoutMs has passed.
inline bool ReadStatus(const LineRead& read, AmpStatus& status, int timeoutMs) {
    Bytes got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        uint8_t buf[64];
        const int n = read(buf, sizeof buf);
        if (n < 0) return false;
        got.insert(got.end(), buf, buf + n);
        for (size_t i = 0; i + 34 <= got.size(); ++i)
            if (got[i] == StatusSync &&
                DecodeFrame(Bytes(got.begin() + long(i), got.begin() + long(i) + 34), status))
                return true;
    }
    return false;
}

class ServedSimTest : public ::testing::Test {
protected:
    std::function<double()> Clock() {
        return [this] { return clock.load(); };
    }
    // Steps the clock in frame-sized steps, so the server sends as it goes.
    void Advance(double seconds) {
        for (double done = 0; done < seconds; done += 0.1) {
            clock = clock.load() + 0.1;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    // The first frames show screen 0; SET written on port brings the setup screen.
    template <class Port>
    void ExpectSetToOpenTheSetupScreen(Port& port) {
        Advance(0.2);
        ASSERT_TRUE(ReadStatus(Reader(port), status, 2000));
        EXPECT_EQ(status.Screen, 0);
        const CommandFrame& set = KeyFrame(Key::Set);
        ASSERT_EQ(port.Write(set.Bytes, set.Count), set.Count);
        for (int i = 0; i < 20 && status.Screen != 6; ++i) {
            Advance(0.1);
            ReadStatus(Reader(port), status, 500);
        }
        EXPECT_EQ(status.Screen, 6);
    }

    std::atomic<double> clock{1000.0};
    std::unique_ptr<sim::SimServer> server;
    AmpStatus status;
};

} // namespace kaldor::test
