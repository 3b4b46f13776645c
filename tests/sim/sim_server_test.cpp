// The simulated amplifier served on a pseudo-terminal, reached through the console's own port.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

#include "SimBench.h"
#include "link/SerialPort.h"
#include "sim/SimServer.h"

using namespace kaldor;
using namespace kaldor::test;

namespace {

// Reads from the port until a checksum-valid status frame has come or timeoutMs has passed.
bool ReadStatus(SerialPort& port, AmpStatus& status, int timeoutMs) {
    std::vector<uint8_t> got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        uint8_t buf[64];
        const int n = port.Read(buf, sizeof buf);
        got.insert(got.end(), buf, buf + n);
        for (size_t i = 0; i + 34 <= got.size(); ++i) {
            std::vector<uint8_t> frame(got.begin() + static_cast<long>(i), got.begin() + static_cast<long>(i) + 34);
            if (frame[0] == StatusSync && frame[1] == StatusSync && frame[2] == 30 &&
                Checksum(frame.data() + 3, 30) == frame[33]) {
                DecodeFrame(frame, status);
                return true;
            }
        }
    }
    return false;
}

class SimServerTest : public ::testing::Test {
protected:
    void Serve(bool powered) {
        sim::SimOptions options;
        options.StartPowered = powered;
        std::string error;
        auto line = sim::OpenPseudoTerminal(error);
        ASSERT_TRUE(line) << error;
        server = std::make_unique<sim::SimServer>(std::move(line), options, [this] { return clock.load(); });
        setenv("KALDOR_COM1", server->DevicePath().c_str(), 1);
        const std::string device = server->DevicePath();
        sim::SimServer* amp = server.get();
        SerialPort::SetDtrObserver([amp, device](const std::string& name, bool raised) {
            if (name == device) amp->SetDtr(raised);
        });
        server->Start();
        ASSERT_TRUE(port.Open(1, 9600, NOPARITY, 8, ONESTOPBIT, 4096, 4096));
        port.SetTimeouts(200);
    }
    // Steps the injected clock in frame-sized steps, so the server sends as it goes.
    void Advance(double seconds) {
        for (double done = 0; done < seconds; done += 0.1) {
            clock = clock.load() + 0.1;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    void TearDown() override {
        port.Close();
        SerialPort::SetDtrObserver({});
        server.reset();
        unsetenv("KALDOR_COM1");
    }

    std::atomic<double> clock{1000.0};
    std::unique_ptr<sim::SimServer> server;
    SerialPort port;
    AmpStatus status;
};

TEST_F(SimServerTest, KeysGoInAndStatusFramesComeOut) {
    Serve(true);
    Advance(0.2);
    ASSERT_TRUE(ReadStatus(port, status, 2000));
    EXPECT_EQ(status.Screen, 0);
    const CommandFrame& set = KeyFrame(Key::Set);
    ASSERT_EQ(port.Write(set.Bytes, set.Count), set.Count);
    for (int i = 0; i < 20 && status.Screen != 6; ++i) {
        Advance(0.1);
        ReadStatus(port, status, 500);
    }
    EXPECT_EQ(status.Screen, 6);
}

// A console must be able to come back to the amplifier's device, also unprivileged: a pseudo-
// terminal keeps the exclusive mode a console set until somebody lifts it.
TEST_F(SimServerTest, AConsoleOpensTheDeviceAgain) {
    Serve(true);
    port.Close();
    ASSERT_TRUE(port.Open(1, 9600, NOPARITY, 8, ONESTOPBIT, 4096, 4096)) << "reopened at once";
    port.Close();

    // A console that ended without closing properly: exclusive mode left set, lock gone.
    const std::string device = server->DevicePath();
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    ::ioctl(fd, TIOCEXCL);
    ::close(fd);
    Advance(1.2); // the server tends its line once a second
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_TRUE(port.Open(1, 9600, NOPARITY, 8, ONESTOPBIT, 4096, 4096));
}

} // namespace
