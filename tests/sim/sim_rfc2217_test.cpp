// The simulated amplifier served as a remote serial port, reached through the console's own
// RFC 2217 port over loopback.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "ServedSim.h"
#include "link/ComPortServer.h"

using namespace kaldor;
using namespace kaldor::telnet;
using namespace kaldor::test;

namespace {

ByteVector operator+(ByteVector a, const ByteVector& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

ByteVector Sub(uint8_t command, ByteVector value) {
    value.insert(value.begin(), {IAC, SB, OPT_COM_PORT, command});
    value.push_back(IAC);
    value.push_back(SE);
    return value;
}

// The server's answers to the console's COM-PORT-OPTION commands, through its Telnet layer.
TEST(ComPortServer, AnswersAsASerialServer) {
    struct Case {
        const char* what;
        ByteVector in, replies;
        std::vector<bool> dtr;
    } cases[] = {
        {"line settings echoed", Sub(SET_BAUDRATE, {0, 0, 0x25, 0x80}), Sub(101, {0, 0, 0x25, 0x80}), {}},
        {"0 asks for the baud rate", Sub(SET_BAUDRATE, {0, 0, 0, 0}), Sub(101, {0, 0, 0x25, 0x80}), {}},
        {"0xFF in an answer doubled", Sub(SET_BAUDRATE, {0, 0, 0, IAC, IAC}), Sub(101, {0, 0, 0, IAC, IAC}), {}},
        {"size, parity, stop bits", Sub(SET_DATASIZE, {8}) + Sub(SET_PARITY, {1}) + Sub(SET_STOPSIZE, {1}),
         Sub(102, {8}) + Sub(103, {1}) + Sub(104, {1}), {}},
        {"out-of-range size answered with the one in force", Sub(SET_DATASIZE, {9}), Sub(102, {8}), {}},
        {"DTR off, on, asked", Sub(SET_CONTROL, {DTR_OFF}) + Sub(SET_CONTROL, {DTR_ON}) + Sub(SET_CONTROL, {7}),
         Sub(105, {DTR_OFF}) + Sub(105, {DTR_ON}) + Sub(105, {DTR_ON}), {false, true}},
        {"masks and purge", Sub(SET_LINESTATE_MASK, {0}) + Sub(PURGE_DATA, {3}), Sub(110, {0}) + Sub(112, {3}), {}},
        {"signature", Sub(0, {}), Sub(100, {'k', 'a', 'l', 'd', 'o', 'r', '-', 's', 'i', 'm'}), {}},
        {"wrong value size not answered", Sub(SET_BAUDRATE, {1, 2}) + Sub(SET_CONTROL, {}), {}, {}},
        {"another option's sub-negotiation not answered", ByteVector{IAC, SB, 24, 1, IAC, SE}, {}, {}},
    };
    for (const Case& c : cases) {
        ComPortServer server("kaldor-sim");
        std::vector<bool> dtr;
        server.DtrChanged = [&dtr](bool raised) { dtr.push_back(raised); };
        TelnetCodec codec = server.MakeCodec();
        codec.Greeting();
        ByteVector data, replies;
        for (size_t i = 0; i < c.in.size(); ++i) codec.Feed(&c.in[i], 1, data, replies); // split anywhere
        EXPECT_EQ(replies, c.replies) << c.what;
        EXPECT_TRUE(data.empty()) << c.what;
        EXPECT_EQ(dtr, c.dtr) << c.what;
    }
}

class SimRfc2217Test : public ServedSimTest {
protected:
    void Serve(bool powered) {
        sim::SimOptions options;
        options.StartPowered = powered;
        std::string error;
        auto line = sim::OpenRfc2217Line("127.0.0.1", 0, error);
        ASSERT_TRUE(line) << error;
        address = line->DevicePath();
        server = std::make_unique<sim::SimServer>(std::move(line), options, Clock());
        server->Start();
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(port.Open(address, AmplifierLine, error)) << error;
        EXPECT_LT(std::chrono::steady_clock::now() - start,
                  std::chrono::milliseconds(Rfc2217Port::NegotiationTimeoutMs))
            << "every step of the set-up answered, none waited out";
    }
    bool Eventually(const std::function<bool()>& what) {
        for (int i = 0; i < 200 && !what(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return what();
    }

    std::string address;
    Rfc2217Port port;
};

TEST_F(SimRfc2217Test, KeysGoInAndStatusFramesComeOut) {
    Serve(true);
    EXPECT_EQ(address.rfind("rfc2217://127.0.0.1:", 0), 0u) << address;
    ExpectSetToOpenTheSetupScreen(port);
}

// The console's power sequence over SET-CONTROL: DTR off then on switches the amplifier on; held
// on, a console that goes away drops it as a closed serial port does, which switches it off.
TEST_F(SimRfc2217Test, DtrTravelsAsSetControl) {
    Serve(false);
    EXPECT_FALSE(server->Powered());
    ASSERT_TRUE(port.SetControl(DTR_OFF));
    ASSERT_TRUE(port.SetControl(DTR_ON));
    Advance(sim::SimAmplifier::DtrPowerOnHold + 0.5);
    ASSERT_TRUE(Eventually([&] { return server->Powered(); }));
    EXPECT_TRUE(ReadStatus(Reader(port), status, 2000));
    Advance(sim::SimAmplifier::DtrHeldOnTime);
    port.Close();
    EXPECT_TRUE(Eventually([&] { return !server->Powered(); }));
}

TEST_F(SimRfc2217Test, ANewConsoleTakesTheLineOver) {
    Serve(true);
    Rfc2217Port second;
    std::string error;
    ASSERT_TRUE(second.Open(address, AmplifierLine, error)) << error;
    bool failed = false;
    uint8_t buf[64];
    for (int i = 0; i < 50 && !failed; ++i) port.Read(buf, sizeof buf, 100, failed);
    EXPECT_TRUE(failed) << "the first console is disconnected";
    Advance(0.3);
    EXPECT_TRUE(ReadStatus(Reader(second), status, 2000));
}

// The line alone, driven by hand on this thread: what a Telnet stream would take for commands
// passes as data both ways.
TEST(SimRfc2217Line, CarriesEveryByteValue) {
    std::string error;
    auto line = sim::OpenRfc2217Line("127.0.0.1", 0, error);
    ASSERT_TRUE(line) << error;
    Rfc2217Port port;
    auto opened = std::async(std::launch::async, [&] {
        return port.Open(line->DevicePath(), AmplifierLine, error);
    });
    uint8_t buf[256];
    while (opened.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) line->Read(buf, sizeof buf, 10);
    ASSERT_TRUE(opened.get()) << error;

    const ByteVector cases[] = {
        {IAC}, {IAC, IAC}, {0x00, IAC, SE, SB, 0x7F}, {IAC, WILL, OPT_COM_PORT}, {IAC, SB, OPT_COM_PORT, 5, 8, IAC, SE},
    };
    for (const ByteVector& bytes : cases) {
        ASSERT_EQ(port.Write(bytes.data(), int(bytes.size())), int(bytes.size()));
        ByteVector got;
        for (int i = 0; i < 50 && got.size() < bytes.size(); ++i) {
            const int n = line->Read(buf, sizeof buf, 20);
            got.insert(got.end(), buf, buf + n);
        }
        EXPECT_EQ(got, bytes) << "to the amplifier";

        line->Write(bytes.data(), int(bytes.size()));
        got.clear();
        bool failed = false;
        for (int i = 0; i < 50 && !failed && got.size() < bytes.size(); ++i) {
            const int n = port.Read(buf, int(bytes.size() - got.size()), 20, failed);
            got.insert(got.end(), buf, buf + n);
        }
        EXPECT_EQ(got, bytes) << "to the console";
    }
}

} // namespace
