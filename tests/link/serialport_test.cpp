#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

#include "link/PortNames.h"
#include "link/SerialPort.h"
#include "support/TestAmp.h"

using namespace kaldor;
using namespace kaldor::test;
using namespace std::chrono;

namespace {

bool OpenLine(SerialPort& port, int n = 1) {
    return port.Open(n, 9600, NOPARITY, 8, ONESTOPBIT, 4096, 4096);
}

long ElapsedMs(steady_clock::time_point since) {
    return static_cast<long>(duration_cast<milliseconds>(steady_clock::now() - since).count());
}

// Time for bytes sent by the amplifier to reach the console's end of the line.
void LetTheLineSettle() { std::this_thread::sleep_for(milliseconds(50)); }

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override { amp.BindPort(1); }
    void TearDown() override { UnsetEnv("KALDOR_COM1"); }
    TestAmp amp;
};

} // namespace

TEST_F(SerialPortTest, OpensRawAt9600EightNoneOneWithoutFlowControl) {
    SerialPort port;
    ASSERT_TRUE(OpenLine(port));
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.PortNumber(), 1);
    EXPECT_EQ(port.DeviceName(), amp.DevicePath());
    LineState line;
    if (!amp.Line(line))
        GTEST_SKIP() << "the device's exclusive open keeps a second handle from reading it back";
    EXPECT_EQ(line.Baud, 9600);
    EXPECT_EQ(line.ByteSize, 8);
    EXPECT_EQ(line.Parity, NOPARITY);
    EXPECT_EQ(line.StopBits, ONESTOPBIT);
    EXPECT_FALSE(line.CtsFlow);
    EXPECT_FALSE(line.XonXoff);
#ifndef _WIN32
    const termios tio = amp.LineSettings();
    EXPECT_EQ(cfgetospeed(&tio), B9600);
    EXPECT_FALSE(tio.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(tio.c_oflag & OPOST) << "bytes go out untranslated";
#endif
}

TEST_F(SerialPortTest, WritesExactBytesAndDropsWhatWasQueuedBeforeOpen) {
    amp.Send({0x01, 0x02, 0x03});
    LetTheLineSettle();
    SerialPort port;
    ASSERT_TRUE(OpenLine(port));
    ASSERT_TRUE(port.SetTimeouts(100));
    uint8_t buf[8];
    EXPECT_EQ(port.Read(buf, 8), 0) << "stale bytes delivered after Open";
    EXPECT_FALSE(port.LastReadFailed());

    const uint8_t frame[] = {0x55, 0x55, 0x55, 0x0A, 0x0D, 0x11, 0x13, 0xFF};
    EXPECT_EQ(port.Write(frame, sizeof frame), 8);
    EXPECT_EQ(amp.Received(8), Bytes(frame, frame + 8)) << "no translation of CR, LF, XON, XOFF";
}

TEST_F(SerialPortTest, ReadReturnsWaitingBytesAtOnceOrWaitsForTheTimeout) {
    SerialPort port;
    ASSERT_TRUE(OpenLine(port));
    ASSERT_TRUE(port.SetTimeouts(300));
    uint8_t buf[16];

    amp.Send({1, 2, 3, 4, 5});
    LetTheLineSettle();
    auto t0 = steady_clock::now();
    EXPECT_EQ(port.Read(buf, 16), 5) << "bytes already waiting come back at once";
    EXPECT_LT(ElapsedMs(t0), 250);

    amp.Send({1, 2, 3, 4, 5, 6});
    LetTheLineSettle();
    EXPECT_EQ(port.Read(buf, 4), 4) << "never more than asked";
    EXPECT_EQ(port.Read(buf, 4), 2);

    t0 = steady_clock::now();
    EXPECT_EQ(port.Read(buf, 1), 0) << "a quiet line gives nothing";
    EXPECT_GE(ElapsedMs(t0), 250);
    EXPECT_FALSE(port.LastReadFailed()) << "a time-out is not a failure";

    // Nothing waiting: the read waits for the whole count, across several arrivals.
    ASSERT_TRUE(port.SetTimeouts(3000)); // room for a slow sender on a busy machine
    auto sender = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(milliseconds(40));
        amp.Send({7, 8});
        std::this_thread::sleep_for(milliseconds(40));
        amp.Send({9, 10});
    });
    t0 = steady_clock::now();
    EXPECT_EQ(port.Read(buf, 4), 4);
    EXPECT_LT(ElapsedMs(t0), 2500) << "returned at the time-out, not when the count was in";
    EXPECT_EQ(Bytes(buf, buf + 4), (Bytes{7, 8, 9, 10}));
    sender.get();
    ASSERT_TRUE(port.SetTimeouts(300));

    // Part of the count before the time-out: what came is returned.
    sender = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(milliseconds(40));
        amp.Send({11, 12, 13});
    });
    t0 = steady_clock::now();
    EXPECT_EQ(port.Read(buf, 10), 3);
    EXPECT_GE(ElapsedMs(t0), 250);
    sender.get();
}

TEST_F(SerialPortTest, CloseIsIdempotentAndAClosedPortMovesNothing) {
    SerialPort port;
    uint8_t b = 0;
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.Read(&b, 1), 0);
    EXPECT_TRUE(port.LastReadFailed()) << "a closed port fails at once";
    EXPECT_EQ(port.Write(&b, 1), 0);
    EXPECT_FALSE(port.SetDtr());
    port.Close();
    ASSERT_TRUE(OpenLine(port));
    port.Close();
    port.Close();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.Write(&b, 1), 0);
}

TEST_F(SerialPortTest, TheDeviceIsClosedExactlyOnceAcrossCopies) {
    SerialPort window;
    ASSERT_TRUE(OpenLine(window));
    {
        SerialPort receiver(window);
        EXPECT_TRUE(receiver.IsOpen());
        const uint8_t b = 0x42;
        EXPECT_EQ(receiver.Write(&b, 1), 1);
        EXPECT_EQ(amp.Received(1), Bytes{0x42});
    } // the receiver's copy closes the device
    EXPECT_FALSE(window.IsOpen());
    window.Close(); // must not touch the OS handle again
    // The device is really free: it opens again, exclusively.
    SerialPort again;
    EXPECT_TRUE(OpenLine(again));
}

TEST_F(SerialPortTest, OpenIsExclusiveAndAFailedOpenSaysWhy) {
    if (UnderWine()) GTEST_SKIP() << "Wine does not enforce the exclusive open of a COM port";
    SerialPort first, second;
    ASSERT_TRUE(OpenLine(first));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(OpenLine(second));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "the window says it, where it should";
    const std::string err = second.OpenFailure();
    EXPECT_NE(err.find(amp.DevicePath()), std::string::npos) << err;
    // Root passes the exclusive flag and meets the lock; others meet the flag.
    EXPECT_TRUE(err.find("in use") != std::string::npos || err.find("busy") != std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 0);
    EXPECT_FALSE(second.IsOpen());
    first.Close();
    // The test amplifier keeps a descriptor of the device open: the exclusive flag must not
    // outlive the close, or only root could open it again.
    EXPECT_TRUE(OpenLine(second));
}

TEST_F(SerialPortTest, AMissingPortFailsWithTheSystemsReason) {
#ifdef _WIN32
    const std::string device = "COM5"; // no device behind COM5
    char text[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   ERROR_FILE_NOT_FOUND, 0, text, sizeof text, nullptr);
    std::string reason = text; // the system's own words, without their line end
    reason = reason.substr(0, reason.find_first_of("\r\n"));
    ASSERT_FALSE(reason.empty());
#else
    const std::string device = "/nonexistent/ttyKALDOR", reason = "No such file";
    SetEnv("KALDOR_COM5", device);
#endif
    SerialPort missing;
    EXPECT_FALSE(OpenLine(missing, 5));
    const std::string err = missing.OpenFailure();
    UnsetEnv("KALDOR_COM5");
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_NE(err.find("COM5"), std::string::npos) << err;
    EXPECT_NE(err.find(device), std::string::npos) << err;
    EXPECT_NE(err.find(reason), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 0) << "one line";
    EXPECT_EQ(err.find('\r'), std::string::npos) << err;
}

#ifndef _WIN32
// The program test checks that a user's file keeps its bytes.
TEST_F(SerialPortTest, ADeviceThatIsNoTerminalDoesNotOpen) {
    const std::string file = testing::TempDir() + "kaldor-not-a-port";
    std::fclose(std::fopen(file.c_str(), "wb"));
    for (const std::string& device : {file, std::string("/dev/null")}) {
        SetEnv("KALDOR_COM5", device);
        SerialPort port;
        EXPECT_FALSE(OpenLine(port, 5)) << device;
        EXPECT_EQ(port.OpenFailure(), "COM5 (" + device + "): not a serial device");
    }
    UnsetEnv("KALDOR_COM5");
    std::remove(file.c_str());
}
#endif

TEST(PortNames, EnvironmentThenStoredSettingThenTheSystemDevice) {
#ifdef _WIN32
    const std::string com3 = "COM3", com4 = "COM4", com1 = "COM1";
#else
    const std::string com3 = "/dev/ttyS2", com4 = "/dev/ttyS3", com1 = "/dev/ttyS0";
#endif
    UnsetEnv("KALDOR_COM3");
    SetStoredDeviceLookup({});
    EXPECT_EQ(PortDeviceName(3), com3);
    EXPECT_EQ(PortDeviceName(1), com1);
    SetStoredDeviceLookup([](int n) { return n == 3 ? std::string("rfc2217://station:3000") : std::string(); });
    EXPECT_EQ(PortDeviceName(3), "rfc2217://station:3000");
    EXPECT_EQ(PortDeviceName(4), com4);
    SetEnv("KALDOR_COM3", "/dev/pts/77");
    EXPECT_EQ(PortDeviceName(3), "/dev/pts/77");
    UnsetEnv("KALDOR_COM3");
    SetStoredDeviceLookup({});
}

TEST(PortNames, WindowsOpensEveryComNameAsADevicePath) {
    const std::pair<const char*, const char*> rows[] = {
        {"COM1", "\\\\.\\COM1"},
        {"COM12", "\\\\.\\COM12"},
        {"COM256", "\\\\.\\COM256"},
        {"\\\\.\\COM12", "\\\\.\\COM12"},
        {"\\\\?\\usb#vid", "\\\\?\\usb#vid"},
        {"COM3:", "\\\\.\\COM3"},
    };
    for (const auto& [name, path] : rows) EXPECT_EQ(Win32DevicePath(name), path) << name;
}

TEST_F(SerialPortTest, WriteAndCancelReachAReadWaitingInAnotherThread) {
    SerialPort window;
    ASSERT_TRUE(OpenLine(window));
    ASSERT_TRUE(window.SetTimeouts(5000));
    SerialPort receiver(window);
    auto reader = std::async(std::launch::async, [&] {
        uint8_t b;
        const auto t0 = steady_clock::now();
        const int n = receiver.Read(&b, 1);
        return std::make_pair(n, ElapsedMs(t0));
    });
    std::this_thread::sleep_for(milliseconds(50));
    const uint8_t key[] = {0x55, 0x55, 0x55, 0x02, 0x10, 0x34, 0x44};
    const auto t0 = steady_clock::now();
    EXPECT_EQ(window.Write(key, 7), 7);
    EXPECT_EQ(amp.Received(7, 1000), Bytes(key, key + 7));
    EXPECT_LT(ElapsedMs(t0), 1000) << "the write waited for the read";
    std::this_thread::sleep_for(milliseconds(50)); // the read waits again
    const auto stop = steady_clock::now();
    window.CancelRead();
    const auto [n, ms] = reader.get();
    EXPECT_EQ(n, 0);
    EXPECT_LT(ElapsedMs(stop), 200) << "cancel did not wake the read promptly";
    EXPECT_LT(ms, 1500);
    uint8_t b;
    EXPECT_EQ(receiver.Read(&b, 1), 0) << "reads after a cancel return at once";
}

TEST_F(SerialPortTest, DtrIsLowAfterOpenAndFollowsSetAndClear) {
    std::vector<std::pair<std::string, bool>> seen;
    SerialPort::SetDtrObserver([&](const std::string& d, bool up) { seen.emplace_back(d, up); });
    SerialPort port;
    ASSERT_TRUE(OpenLine(port));
    port.SetDtr();
    port.ClearDtr();
    SerialPort::SetDtrObserver({});
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], std::make_pair(amp.DevicePath(), false));
    EXPECT_TRUE(seen[1].second);
    EXPECT_FALSE(seen[2].second);
}

TEST_F(SerialPortTest, AVanishedDeviceFailsAtOnce) {
#ifdef _WIN32
    GTEST_SKIP() << "the far end of the test line cannot make COM1 vanish";
#else
    SerialPort port;
    ASSERT_TRUE(OpenLine(port));
    ASSERT_TRUE(port.SetTimeouts(5000));
    amp.HangUp();
    uint8_t b;
    const auto t0 = steady_clock::now();
    EXPECT_EQ(port.Read(&b, 1), 0);
    EXPECT_TRUE(port.LastReadFailed());
    EXPECT_LT(ElapsedMs(t0), 1000);
#endif
}

#ifndef _WIN32
// The POSIX port's own wait (the Win32 driver collects the count itself).
// Bytes trickling in at the line's rate, as a UART hands them over: the read that waits for a
// count sleeps through their line time and takes them together. The count still comes back
// whole and in order, and a cancel or a vanished device still ends the wait at once.
TEST_F(SerialPortTest, ARateWaitForTricklingBytesKeepsCountCancelAndHangUp) {
    enum class End { Count, Cancel, HangUp };
    for (End end : {End::Count, End::Cancel, End::HangUp}) {
        SCOPED_TRACE(static_cast<int>(end));
        TestAmp line;
        line.BindPort(2);
        SerialPort port;
        ASSERT_TRUE(OpenLine(port, 2));
        ASSERT_TRUE(port.SetTimeouts(5000));
        const int count = end == End::Count ? 30 : 1000; // 1000 bytes: over a second on the line
        std::atomic<bool> stop{false};
        uint8_t buf[1000];
        auto reader = std::async(std::launch::async, [&] {
            const auto t0 = steady_clock::now();
            const int n = port.Read(buf, count);
            return std::make_pair(n, ElapsedMs(t0));
        });
        std::this_thread::sleep_for(milliseconds(20)); // the read waits: nothing is there yet
        auto sender = std::async(std::launch::async, [&] {
            for (int i = 0; i < count && !stop; ++i) {
                line.Send({static_cast<uint8_t>(i & 0xFF)});
                std::this_thread::sleep_for(microseconds(1042));
            }
        });
        if (end != End::Count) {
            std::this_thread::sleep_for(milliseconds(30));
            stop = true;
            sender.get();
            end == End::Cancel ? port.CancelRead() : line.HangUp();
        }
        const auto [n, ms] = reader.get();
        if (end == End::Count) sender.get();
        if (end == End::Count) {
            ASSERT_EQ(n, count);
            for (int i = 0; i < count; ++i) ASSERT_EQ(buf[i], i);
        } else {
            EXPECT_GT(n, 0);
            EXPECT_LT(n, count);
            EXPECT_LT(ms, 600) << "the wait ran on through the line time";
        }
        UnsetEnv("KALDOR_COM2");
    }
}
#endif
