// The serial port on a remote serial server: what the port asks a server for, how it stands up
// to hostile ones, and a real ser2net in front of the test amplifier.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "link/Frames.h"
#include "link/NameLookup.h"
#include "link/PortOpener.h"
#include "link/Rfc2217Port.h"
#include "link/SerialPort.h"
#include "link/Tcomthread.h"
#include "support/RemoteServers.h"

namespace kaldor::test {
namespace {

using namespace telnet;

// Port 4 on that device, opened as the window opens it.
SerialPort OpenOn(const std::string& address, bool expectOpen = true) {
    std::optional<PortOpener::Result> r = OpenAsWindow(4, address, std::nullopt, 5000);
    EXPECT_TRUE(r) << address;
    SerialPort port = r ? std::move(r->Line) : SerialPort();
    EXPECT_EQ(port.IsOpen(), expectOpen) << address;
    return port;
}

using Command = RecordingServer::Command;

TEST(RemotePort, AsksForTheLineSettingsAndDtrLow) {
    RecordingServer server;
    SerialPort port = OpenOn(server.Address());
    ASSERT_TRUE(port.IsOpen());
    const std::vector<Command> expected = {
        {SET_BAUDRATE, {0x00, 0x00, 0x25, 0x80}}, {SET_DATASIZE, {8}}, {SET_PARITY, {1}},
        {SET_STOPSIZE, {1}}, {SET_CONTROL, {NO_FLOW_CONTROL}}, {SET_CONTROL, {DTR_OFF}},
        {SET_CONTROL, {RTS_OFF}}, {SET_LINESTATE_MASK, {0}}, {SET_MODEMSTATE_MASK, {0}},
        {PURGE_DATA, {PURGE_BOTH}}};
    EXPECT_EQ(server.Commands(), expected);
    EXPECT_EQ(server.Options(), (std::vector<uint8_t>{OPT_BINARY, OPT_SGA, OPT_COM_PORT}));

    // DTR as the power sequence drives it, and low again at close.
    port.SetDtr();
    port.ClearDtr();
    ASSERT_TRUE(server.WaitUntil([](auto& c, auto&) { return c.size() == 12; }));
    EXPECT_EQ(server.Commands()[10], (Command{SET_CONTROL, {DTR_ON}}));
    EXPECT_EQ(server.Commands()[11], (Command{SET_CONTROL, {DTR_OFF}}));
}

TEST(RemotePort, ReadsAndWritesLikeASerialPort) {
    RecordingServer server;
    SerialPort port = OpenOn(server.Address());
    port.SetTimeouts(300);
    ASSERT_EQ(port.Write("\x01\xFF\x02", 3), 3);
    ASSERT_TRUE(server.WaitUntil([](auto&, auto& d) { return d.size() >= 3; }));
    EXPECT_EQ(Hex(server.Data()), "01 FF 02");

    uint8_t buf[16];
    // Bytes waiting come back at once, never more than asked.
    server.SendRaw({0x0A, 0xFF, 0xFF, 0x0B, IAC, 241, 0x0C});
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(port.Read(buf, 2), 2);
    EXPECT_EQ(Hex(Bytes(buf, buf + 2)), "0A FF");
    EXPECT_EQ(port.Read(buf, 16), 2);
    EXPECT_EQ(Hex(Bytes(buf, buf + 2)), "0B 0C");

    // Nothing waiting: waits for the count, or the time-out with what came.
    std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        server.SendRaw({0x21});
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        server.SendRaw({0x22});
    });
    EXPECT_EQ(port.Read(buf, 2), 2);
    later.join();
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(port.Read(buf, 1), 0);
    EXPECT_FALSE(port.LastReadFailed());
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(250));
}

TEST(RemotePort, CancelEndsAWaitingReadPromptly) {
    RecordingServer server;
    SerialPort port = OpenOn(server.Address());
    port.SetTimeouts(5000);
    SerialPort copy = port;
    std::thread reader([&] {
        uint8_t b;
        copy.Read(&b, 1);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto t0 = std::chrono::steady_clock::now();
    port.CancelRead();
    reader.join();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
}

TEST(RemotePort, RefusedOrDroppedIsAFailedPort) {
    const int unused = FreeLoopbackPort();
    SerialPort refused = OpenOn("rfc2217://127.0.0.1:" + std::to_string(unused), false);
    uint8_t b;
    EXPECT_EQ(refused.Read(&b, 1), 0);
    EXPECT_TRUE(refused.LastReadFailed());

    RecordingServer server;
    SerialPort port = OpenOn(server.Address());
    server.Drop();
    EXPECT_EQ(port.Read(&b, 1), 0);
    EXPECT_TRUE(port.LastReadFailed());
    EXPECT_EQ(port.Read(&b, 1), 0); // and at once from then on
    EXPECT_TRUE(port.LastReadFailed());
}

using Clock = std::chrono::steady_clock;
int MsSince(Clock::time_point t0) {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count());
}

// Key presses and the exit run on the window thread: whatever the server does, neither waits
// on the network (bounds on a hang, with margins).
TEST(RemotePort, HostileServersNeverHoldAKeyPressOrTheExit) {
    using K = HostileServer::Kind;
    const std::pair<K, const char*> servers[] = {
        {K::FloodsOptionRequests, "floods option requests"}, {K::EndlessSubnegotiation, "endless sub-negotiation"},
        {K::RandomBytes, "random bytes"}, {K::AcceptsAndCloses, "accepts and closes"}, {K::Silent, "silent"}};
    for (const auto& [kind, what] : servers) {
        HostileServer server(kind);
        SerialPort port = OpenOn(server.Address(), kind != K::AcceptsAndCloses);
        port.SetTimeouts(5000);
        QueueDispatcher window;
        auto receiver = std::make_unique<TComThread>(port, nullptr, &window);
        window.RunFor(300); // the server's window and ours fill up
        int worst = 0;
        for (int i = 0; i < 5 && worst < 1000; ++i) {
            const auto t0 = Clock::now();
            port.Write(KeyFrame(Key::Tune).Bytes, KeyFrame(Key::Tune).Count);
            worst = std::max(worst, MsSince(t0));
            window.RunFor(20);
        }
        EXPECT_LT(worst, 100) << what << ": a key press waited";
        const auto t0 = Clock::now();
        port.ClearDtr(); // the exit's order
        receiver->Terminate();
        receiver->WaitFor();
        receiver.reset();
        port.Close();
        EXPECT_LT(MsSince(t0), 1000) << what << ": the exit waited";
    }
}

// --- ser2net ------------------------------------------------------------------------------------

class Ser2netTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Ser2net::Installed()) << "ser2net is missing: tools/packages.txt installs it";
        ASSERT_TRUE(ser2net.Start());
    }
    TestAmp amp;
    Ser2net ser2net{amp.DevicePath()};
};

TEST_F(Ser2netTest, CarriesEveryByteBothWays) {
    SerialPort port = OpenOn(ser2net.Address());
    port.SetTimeouts(2000);
    Bytes all(256);
    for (int i = 0; i < 256; ++i) all[static_cast<size_t>(i)] = static_cast<uint8_t>(255 - i);
    ASSERT_EQ(port.Write(all.data(), 256), 256);
    EXPECT_EQ(Hex(amp.Received(256)), Hex(all));

    amp.Send(all);
    Bytes got;
    uint8_t buf[300];
    for (int i = 0; i < 50 && got.size() < 256; ++i) {
        const int n = port.Read(buf, static_cast<int>(256 - got.size()));
        got.insert(got.end(), buf, buf + n);
    }
    EXPECT_EQ(Hex(got), Hex(all));
}

TEST(NameLookup, AnswersOrGivesUpWhenStopped) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    std::atomic<bool> stop{false};
    addrinfo* list = nullptr;
    ASSERT_EQ(LookUpName("127.0.0.1", "2217", hints, 1000, stop, &list), 0);
    ASSERT_NE(list, nullptr);
    ::freeaddrinfo(list);
    stop = true;
    const auto t0 = Clock::now();
    EXPECT_EQ(LookUpName("station.invalid", "2217", hints, 5000, stop, &list), EAI_AGAIN);
    EXPECT_LT(MsSince(t0), 100);
}

// Every kind of device through the one opener: a local one at once, after the old device is
// released; a remote one off the calling thread, the newest open winning.
TEST(PortOpener, OpensEveryKindOfDeviceWithOneCompletion) {
    TestAmp amp;
    RecordingServer up;
    SilentListener silent;
    const std::string refused = "rfc2217://127.0.0.1:" + std::to_string(FreeLoopbackPort());
    struct Case {
        std::string device;
        bool opened, atOnce;
        int atLeastMs;
        std::string failure;
    } cases[] = {
        {amp.DevicePath(), true, true, 0, ""},
        {"/nonexistent/kaldor4", false, true, 0, "COM4 (/nonexistent/kaldor4): No such file"},
        {up.Address(), true, false, 0, ""},
        {refused, false, false, 0, "COM4 (" + refused + "): "},
        {"rfc2217://station", false, false, 0, "COM4 (rfc2217://station): not an address"},
        {silent.Address(), false, false, Rfc2217Port::ConnectTimeoutMs - 100, "COM4 (" + silent.Address()},
    };
    QueueDispatcher window;
    PortOpener opener(&window);
    for (const Case& c : cases) {
        setenv("KALDOR_COM4", c.device.c_str(), 1);
        // The device in use: only a release before the open lets a local one open again.
        SerialPort held;
        held.Open(4, 9600, NOPARITY, 8, ONESTOPBIT, 4096, 4096);
        std::vector<std::string> steps;
        auto release = [&] {
            held.Close();
            steps.push_back("release");
        };
        auto then = [&](PortOpener::Result& r) {
            steps.push_back(r.Opened() ? "opened" : "failed: " + r.Failure);
            EXPECT_EQ(r.Port, 4);
            EXPECT_EQ(r.Device, c.device);
        };
        const auto t0 = Clock::now();
        opener.Open(4, release, then);
        EXPECT_EQ(steps.size(), c.atOnce ? 2u : 0u) << c.device;
        EXPECT_EQ(opener.Pending(), !c.atOnce) << c.device;
        if (c.atLeastMs > 0) { // certainly still under way: a newer open replaces it
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            opener.Open(4, release, then);
        }
        ASSERT_TRUE(window.RunUntil([&] { return steps.size() >= 2; }, 3000)) << c.device;
        EXPECT_GE(MsSince(t0), c.atLeastMs) << c.device;
        window.RunFor(20);
        ASSERT_EQ(steps.size(), 2u) << c.device << ": one completion";
        EXPECT_EQ(steps[0], "release") << c.device;
        EXPECT_EQ(steps[1].substr(0, c.opened ? 6 : 8 + c.failure.size()),
                  c.opened ? "opened" : "failed: " + c.failure)
            << c.device;
        EXPECT_FALSE(opener.Pending());
    }
    unsetenv("KALDOR_COM4");
}

TEST(PortOpener, CancelAndStopEndAConnectAtOnce) {
    SilentListener silent;
    RecordingServer up;
    QueueDispatcher window;
    std::vector<std::string> results;
    auto opener = std::make_unique<PortOpener>(&window);
    auto open = [&](const std::string& device) {
        setenv("KALDOR_COM4", device.c_str(), 1);
        opener->Open(4, nullptr, [&results, device](PortOpener::Result& r) {
            results.push_back(device + (r.Opened() ? " opened" : " failed"));
        });
    };
    open(silent.Address());
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // into the connect
    auto t0 = Clock::now();
    opener->Cancel();
    EXPECT_FALSE(opener->Pending());
    open(up.Address());
    ASSERT_TRUE(window.RunUntil([&] { return !results.empty(); }, 2000));
    EXPECT_LT(MsSince(t0), 300) << "the cancelled connect went on";
    EXPECT_EQ(results, std::vector<std::string>{up.Address() + " opened"});
    open(silent.Address());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    t0 = Clock::now();
    opener.reset(); // the window closes during an open
    EXPECT_LT(MsSince(t0), 300);
    window.RunFor(50);
    EXPECT_EQ(results.size(), 1u);
    unsetenv("KALDOR_COM4");
}

} // namespace
} // namespace kaldor::test

namespace kaldor::test {

// A local device opened off the window thread (the start-up's probes on Windows): the same
// completion, posted, the port open in it.
TEST(PortOpener, ALocalDeviceOpensInTheBackgroundWhenAsked) {
    TestAmp amp;
    setenv("KALDOR_COM4", amp.DevicePath().c_str(), 1);
    QueueDispatcher window;
    PortOpener opener(&window);
    opener.SetLocalInBackground(true);
    SerialPort port;
    int completions = 0;
    opener.Open(4, nullptr, [&](PortOpener::Result& r) {
        port = std::move(r.Line);
        ++completions;
    });
    EXPECT_TRUE(opener.Pending()) << "not opened on the caller's thread";
    ASSERT_TRUE(window.RunUntil([&] { return completions == 1; }, 3000));
    EXPECT_TRUE(port.IsOpen());
    port.Write("\x55", 1);
    EXPECT_EQ(Hex(amp.Received(1)), "55");
    unsetenv("KALDOR_COM4");
}

} // namespace kaldor::test
