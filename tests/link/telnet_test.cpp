// The Telnet layer of the remote serial port, on the console's side and a serial server's, and
// the remote device names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/PortNames.h"
#include "link/StationRole.h"
#include "link/TlsOptions.h"
#include "link/TelnetCodec.h"
#include "support/TestAmp.h"

namespace kaldor::test {
namespace {

using namespace telnet;

TEST(RemoteAddress, Parses) {
    // The name, then the host, the port and the key a station's fingerprint is stored under.
    const char* const valid[][4] = {
        {"rfc2217://127.0.0.1:4000", "127.0.0.1", "4000", "127.0.0.1:4000"},
        {"rfc2217://station.example:2217/", "station.example", "2217", "station.example:2217"},
        {"rfc2217://[::1]:3000", "::1", "3000", "[::1]:3000"},
        {"rfc2217://[fe80::1%eth0]:65535", "fe80::1%eth0", "65535", "[fe80::1%eth0]:65535"},
        {"rfc2217s://[::1]:4010", "::1", "4010", "[::1]:4010"},
        {"rfc2217s://station.example:4010/", "station.example", "4010", "station.example:4010"},
    };
    for (const auto& c : valid) {
        std::string host, port;
        EXPECT_TRUE(ParseRemoteDevice(c[0], host, port)) << c[0];
        EXPECT_EQ(host, c[1]) << c[0];
        EXPECT_EQ(port, c[2]) << c[0];
        EXPECT_EQ(StationKey(c[0]), c[3]) << c[0];
    }
    for (const char* name : {"rfc2217://::1:3000" /* IPv6 needs brackets */, "rfc2217://host",
                             "rfc2217://host:0", "rfc2217://host:65536", "rfc2217://host:12a",
                             "rfc2217://[[1]:7", "rfc2217://:4000", "rfc2217://[::1]4000",
                             "rfc2217://[::1", "rfc2217s:/host:4010", "rfc2217ss://host:4010",
                             "/dev/ttyUSB0"}) {
        std::string host, port;
        EXPECT_FALSE(ParseRemoteDevice(name, host, port)) << name;
    }
}

TEST(TelnetCodec, GreetsAsItsRole) {
    EXPECT_EQ(Hex(TelnetCodec(TelnetCodec::Client()).Greeting()),
              Hex({IAC, WILL, OPT_COM_PORT, IAC, WILL, OPT_BINARY, IAC, WILL, OPT_SGA, IAC, DO,
                   OPT_BINARY, IAC, DO, OPT_SGA}));
    EXPECT_EQ(Hex(TelnetCodec(TelnetCodec::Server()).Greeting()),
              Hex({IAC, WILL, OPT_SGA, IAC, WILL, OPT_BINARY, IAC, DO, OPT_SGA, IAC, DO, OPT_BINARY,
                   IAC, DO, OPT_COM_PORT}));
}

Bytes Overlong() {
    Bytes in{IAC, SB, OPT_COM_PORT, 107};
    in.insert(in.end(), 100000, 0x55);
    in.insert(in.end(), {IAC, SE, 0x42});
    return in;
}

// Each side greeted first, then the peer's bytes fed whole and again byte by byte: a command
// may be split across receives.
TEST(TelnetCodec, TakesCommandsOutOfTheStreamOnBothSides) {
    const bool client = true, server = false;
    struct Case {
        bool client;
        const char* what;
        Bytes in, data, replies;
        std::vector<Bytes> subs;
        bool dropping = false;
    } cases[] = {
        {client, "plain data", {0x01, 0xAA, 0x02}, {0x01, 0xAA, 0x02}, {}, {}},
        {server, "doubled 0xFF is one data byte", {0xFF, 0xFF, 0x10, 0xFF, 0xFF}, {0xFF, 0x10, 0xFF}, {}, {}},
        {client, "asked-for options agreed silently", {IAC, DO, OPT_BINARY, IAC, WILL, OPT_SGA, 0x05}, {0x05}, {}, {}},
        {server, "the console's greeting, all asked for already",
         {IAC, WILL, OPT_COM_PORT, IAC, WILL, OPT_BINARY, IAC, WILL, OPT_SGA, IAC, DO, OPT_BINARY, IAC, DO, OPT_SGA},
         {}, {}, {}},
        {client, "the server's greeting, all asked for already",
         {IAC, WILL, OPT_SGA, IAC, WILL, OPT_BINARY, IAC, DO, OPT_SGA, IAC, DO, OPT_BINARY, IAC, DO, OPT_COM_PORT},
         {}, {}, {}},
        {client, "the server's echo refused", {IAC, WILL, OPT_ECHO}, {}, {IAC, DONT, OPT_ECHO}, {}},
        {server, "echo refused both ways", {IAC, WILL, OPT_ECHO, IAC, DO, OPT_ECHO},
         {}, {IAC, DONT, OPT_ECHO, IAC, WONT, OPT_ECHO}, {}},
        {client, "the server's COM-PORT-OPTION refused: the console is the client",
         {IAC, WILL, OPT_COM_PORT}, {}, {IAC, DONT, OPT_COM_PORT}, {}},
        {client, "DONT for an option already off ignored", {IAC, DONT, OPT_ECHO}, {}, {}, {}},
        {client, "a refused option refused once, however often asked",
         {IAC, DO, 24, IAC, DO, 24, IAC, DONT, 24, IAC, DO, 24}, {}, {IAC, WONT, 24}, {}},
        {server, "a refused option refused once, however often offered",
         {IAC, WILL, 24, IAC, WILL, 24, IAC, WONT, 24, IAC, WILL, 24}, {}, {IAC, DONT, 24}, {}},
        {server, "withdrawn, then offered again: agreed anew",
         {IAC, WONT, OPT_COM_PORT, IAC, WILL, OPT_COM_PORT}, {}, {IAC, DO, OPT_COM_PORT}, {}},
        {client, "on, then switched off by the peer: confirmed",
         {IAC, DO, OPT_BINARY, IAC, DONT, OPT_BINARY}, {}, {IAC, WONT, OPT_BINARY}, {}},
        {client, "sub-negotiation with 0xFF taken out",
         {0x07, IAC, SB, OPT_COM_PORT, 101, 0, IAC, IAC, IAC, SE, 0x08}, {0x07, 0x08}, {},
         {{OPT_COM_PORT, 101, 0, IAC}}},
        {server, "a stray command inside a sub-negotiation stays in it",
         {IAC, SB, OPT_COM_PORT, 5, IAC, 241, 8, IAC, SE, 0x09}, {0x09}, {}, {{OPT_COM_PORT, 5, 8}}},
        {client, "NOP and go-ahead taken out", {IAC, 241, 0x09, IAC, 249}, {0x09}, {}, {}},
        {client, "dropping: data gone, sub-negotiations kept",
         {0x11, IAC, IAC, IAC, SB, OPT_COM_PORT, 112, 3, IAC, SE, 0x33}, {}, {}, {{OPT_COM_PORT, 112, 3}}, true},
        {server, "overlong sub-negotiation cut, what follows is data", Overlong(), {0x42}, {},
         {[] { Bytes b{OPT_COM_PORT, 107}; b.resize(TelnetCodec::MaxSubnegotiation, 0x55); return b; }()}},
    };
    for (const Case& c : cases) {
        for (const size_t step : {c.in.size(), size_t{1}}) {
            TelnetCodec codec(c.client ? TelnetCodec::Client() : TelnetCodec::Server());
            codec.Greeting();
            codec.SetDropping(c.dropping);
            std::vector<Bytes> subs;
            codec.OnSubnegotiation = [&subs](const Bytes& sub, Bytes&) { subs.push_back(sub); };
            Bytes data, replies;
            for (size_t i = 0; i < c.in.size(); i += step)
                codec.Feed(&c.in[i], std::min(step, c.in.size() - i), data, replies);
            const std::string what = std::string(c.client ? "client: " : "server: ") + c.what +
                                     (step == 1 ? ", byte by byte" : ", whole");
            EXPECT_EQ(Hex(data), Hex(c.data)) << what;
            EXPECT_EQ(Hex(replies), Hex(c.replies)) << what;
            EXPECT_EQ(subs, c.subs) << what;
        }
    }
}

// A station's words on control both ways; anything else is not one, and changes nothing.
TEST(StationRole, SignatureTextsBothWays) {
    struct Case {
        const char* text;
        bool parses;
        StationRole role;
    };
    const std::string longName(40, 'x');
    const Case cases[] = {
        {"kaldor-station operating", true, {true, "", false}},
        {"kaldor-station operating operator", true, {true, "", true}},
        {"kaldor-station watching dl1abc", true, {false, "dl1abc", false}},
        {"kaldor-station watching - operator", true, {false, "", true}},
        {"kaldor-station watching", false, {}},
        {"kaldor-station watching dl1abc operator extra", false, {}},
        {"kaldor-station watching dl1abc admin", false, {}},
        {"kaldor-station idle", false, {}},
        {"ser2net v4.6", false, {}},
        {"", false, {}},
    };
    for (const Case& c : cases) {
        StationRole got{true, "before", true};
        EXPECT_EQ(ParseStationSignature(c.text, got), c.parses) << c.text;
        if (!c.parses) continue;
        EXPECT_EQ(got, c.role) << c.text;
        EXPECT_EQ(StationSignature(got), c.text);
    }
    // Names travel printable, without blanks, and short enough for one sub-negotiation.
    const std::string said = StationSignature({false, "dl1 abc\n" + longName, true});
    EXPECT_EQ(said, "kaldor-station watching dl1abc" + longName.substr(0, MaxUserName - 6) + " operator");
    EXPECT_LE(said.size() + 2, TelnetCodec::MaxSubnegotiation);
    std::string seen;
    EXPECT_EQ(TakeControlRequest(""), "take-control -");
    ASSERT_TRUE(ParseTakeControl("take-control dl1abc", seen));
    EXPECT_EQ(seen, "dl1abc");
    EXPECT_FALSE(ParseTakeControl("take-control", seen));
}

} // namespace
} // namespace kaldor::test
