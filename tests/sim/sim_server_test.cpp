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

#include "ServedSim.h"

using namespace kaldor;
using namespace kaldor::test;

namespace {

class SimServerTest : public ServedSimTest {
protected:
    void Serve(bool powered) {
        sim::SimOptions options;
        options.StartPowered = powered;
        std::string error;
        auto line = sim::OpenPseudoTerminal(error);
        ASSERT_TRUE(line) << error;
        server = std::make_unique<sim::SimServer>(std::move(line), options, Clock());
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
    void TearDown() override {
        port.Close();
        SerialPort::SetDtrObserver({});
        server.reset();
        unsetenv("KALDOR_COM1");
    }

    SerialPort port;
};

TEST_F(SimServerTest, KeysGoInAndStatusFramesComeOut) {
    Serve(true);
    ExpectSetToOpenTheSetupScreen(port);
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
