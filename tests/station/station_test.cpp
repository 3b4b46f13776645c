// The station on a test amplifier's pseudo-terminal, with consoles over loopback: every frame to
// every console, one operating, DTR, the take-over, consoles that misbehave, the device unplugged.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "StationHarness.h"
#include "link/Rfc2217Port.h"

namespace kaldor::test {
namespace {

using namespace telnet;

const std::string kOperating = "kaldor-station operating operator";
// A frame with 0xFF in it, doubled on the Telnet line and single again at each end.
const Bytes kFrame = {0xAA, 0xAA, 0x03, 0xFF, 0x10, 0x20, 0x33};
const Bytes kKeys = {0x55, 0xFF, 0x01, 0x02};

std::string PyHex(const Bytes& bytes) {
    std::string s;
    char buf[3];
    for (uint8_t b : bytes) std::snprintf(buf, sizeof buf, "%02x", b), s += buf;
    return s;
}

int OpenDescriptors() {
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (::readdir(d)) ++n;
        ::closedir(d);
    }
    return n;
}

TEST_F(StationTest, EveryConsoleSeesEveryFrameAndOnlyTheHolderOperates) {
    StartStation();
    auto holder = Tls("dl1abc");
    ASSERT_TRUE(holder->WaitRole(kOperating));
    auto watcher = Tls("swl");
    ASSERT_TRUE(watcher->WaitRole("kaldor-station watching dl1abc"));
    auto local = Plain();
    ASSERT_TRUE(local->WaitRole("kaldor-station watching dl1abc operator"));
    EXPECT_TRUE(WaitLog("swl connects from 127.0.0.1 (TLS) as watcher, watching dl1abc")) << Log();

    amp.Send(kFrame);
    for (LineClient* c : {holder.get(), watcher.get(), local.get()}) {
        ASSERT_TRUE(c->WaitData(kFrame));
        EXPECT_EQ(c->Data, ByteVector(kFrame.begin(), kFrame.end()));
    }
    // The watchers' keys go nowhere; the holder's reach the amplifier, 0xFF single again.
    watcher->SendData({0x11, 0x12});
    local->SendData({0x13});
    watcher->WaitFor([] { return false; }, 50);
    holder->SendData(kKeys);
    EXPECT_EQ(amp.Received(kKeys.size()), kKeys);

    // An empty or unknown signature is answered with the role.
    watcher->Roles.clear();
    watcher->Command(SIGNATURE, "");
    watcher->Command(SIGNATURE, "some-client 1.0");
    ASSERT_TRUE(watcher->WaitFor([&] { return watcher->Roles.size() == 2; }));
    EXPECT_EQ(watcher->Roles[1], "kaldor-station watching dl1abc");
}

TEST_F(StationTest, OfTwoTakingControlAtOnceOneWinsAndBothAreTold) {
    StartStation();
    auto holder = Tls("dl1abc");
    ASSERT_TRUE(holder->WaitRole(kOperating));
    auto a = Tls("dk2xy");
    auto b = Tls("oe3abc");
    ASSERT_TRUE(a->WaitRole("kaldor-station watching dl1abc operator"));
    ASSERT_TRUE(b->WaitRole("kaldor-station watching dl1abc operator"));
    auto watcher = Tls("swl");
    ASSERT_TRUE(watcher->WaitRole("kaldor-station watching dl1abc"));
    watcher->Command(SIGNATURE, "take-control dl1abc");
    ASSERT_TRUE(watcher->WaitFor([&] { return watcher->Roles.size() == 2; }));
    EXPECT_EQ(watcher->Role(), "kaldor-station watching dl1abc") << "a watcher never takes control";

    a->Command(SIGNATURE, "take-control dl1abc");
    b->Command(SIGNATURE, "take-control dl1abc");
    auto settled = [](LineClient& c) {
        return c.Role() == kOperating || c.Role() == "kaldor-station watching dk2xy operator" ||
               c.Role() == "kaldor-station watching oe3abc operator";
    };
    ASSERT_TRUE(a->WaitFor([&] { return settled(*a); }));
    ASSERT_TRUE(b->WaitFor([&] { return settled(*b); }));
    const bool aWon = a->Role() == kOperating;
    LineClient& loser = aWon ? *b : *a;
    const std::string winner = aWon ? "dk2xy" : "oe3abc";
    EXPECT_EQ(loser.Role(), "kaldor-station watching " + winner + " operator");
    EXPECT_TRUE(holder->WaitRole("kaldor-station watching " + winner + " operator"));
    EXPECT_TRUE(watcher->WaitRole("kaldor-station watching " + winner));
    EXPECT_TRUE(WaitLog("control passes from dl1abc to " + winner)) << Log();
    EXPECT_TRUE(WaitLog("refused: " + winner + " holds it")) << Log();

    // Keys now go from the winner alone.
    holder->SendData({0x21});
    (aWon ? a : b)->SendData(kKeys);
    EXPECT_EQ(amp.Received(kKeys.size()), kKeys);
}

// DTR as the amplifier's line sees it: the holder's changes against its own last setting,
// never a watcher's, kept when control passes, dropped 2 s after the holder went.
TEST_F(StationTest, DtrFollowsTheHolderAndDropsTwoSecondsAfterItWent) {
    ManualClock clock;
    StartStation();
    auto holder = Tls("dl1abc");
    ASSERT_TRUE(holder->WaitRole(kOperating));
    auto watcher = Tls("swl");
    ASSERT_TRUE(watcher->WaitRole("kaldor-station watching dl1abc"));
    auto set = [](LineClient& c, uint8_t value) {
        const size_t before = c.Controls.size();
        c.Command(SET_CONTROL, ByteVector{value});
        EXPECT_TRUE(c.WaitFor([&] { return c.Controls.size() > before; }));
        return c.Controls.empty() ? 0 : c.Controls.back();
    };
    EXPECT_EQ(set(*holder, DTR_OFF), DTR_OFF); // a console's opening low
    EXPECT_EQ(set(*holder, DTR_ON), DTR_ON);
    EXPECT_EQ(DtrChanges(), std::vector<bool>{true});
    // A console opening beside it: its low answered as its own, the amplifier stays on.
    EXPECT_EQ(set(*watcher, DTR_OFF), DTR_OFF);
    EXPECT_EQ(set(*watcher, DTR_ON), DTR_ON);
    EXPECT_EQ(set(*watcher, DTR_OFF), DTR_OFF);
    EXPECT_EQ(set(*watcher, 7), DTR_OFF);
    EXPECT_EQ(DtrChanges(), std::vector<bool>{});

    // Control passes: DTR as it is; the new holder's own low moves nothing.
    auto other = Tls("dk2xy");
    ASSERT_TRUE(other->WaitRole("kaldor-station watching dl1abc operator"));
    EXPECT_EQ(set(*other, DTR_OFF), DTR_OFF);
    other->Command(SIGNATURE, "take-control dl1abc");
    ASSERT_TRUE(other->WaitRole(kOperating));
    EXPECT_EQ(set(*other, DTR_OFF), DTR_OFF);
    EXPECT_EQ(DtrChanges(), std::vector<bool>{});

    // The holder gone at once; another takes control within 2 s: DTR stays.
    other->Close();
    ASSERT_TRUE(WaitLog("dk2xy left control")) << Log();
    clock.AdvanceSeconds(1.5);
    ASSERT_TRUE(holder->WaitRole("kaldor-station watching - operator"));
    holder->Command(SIGNATURE, "take-control -");
    ASSERT_TRUE(holder->WaitRole(kOperating));
    clock.AdvanceSeconds(3);
    holder->WaitFor([] { return false; }, 200);
    EXPECT_EQ(DtrChanges(), std::vector<bool>{});

    // Gone, and nobody takes control: DTR drops 2 s later, not before.
    holder->Close();
    ASSERT_TRUE(WaitLog("dl1abc left control")) << Log();
    clock.AdvanceSeconds(1.9);
    watcher->WaitFor([] { return false; }, 200);
    EXPECT_EQ(DtrChanges(), std::vector<bool>{});
    clock.AdvanceSeconds(0.2);
    EXPECT_TRUE(WaitLog("nobody took control within 2 s: DTR drops")) << Log();
    EXPECT_EQ(DtrChanges(), std::vector<bool>{false});
}

// The console's own remote port, plain and over TLS, opens beside an operating console as it
// opens on any serial server; its opening DTR low leaves the amplifier on, and it reads the frames.
TEST_F(StationTest, TheConsolesOwnPortOpensBesideTheHolder) {
    StartStation();
    auto holder = Tls("dl1abc");
    ASSERT_TRUE(holder->WaitRole(kOperating));
    holder->Command(SET_CONTROL, ByteVector{DTR_ON});
    ASSERT_TRUE(WaitLog("dl1abc raises DTR"));
    DtrChanges();
    Rfc2217Port plain, tls;
    std::string error;
    ASSERT_TRUE(plain.Open("rfc2217://127.0.0.1:" + std::to_string(station->PlainPort()), AmplifierLine, error))
        << error;
    TlsOptions o;
    o.CertificateFile = files->Cert("dk2xy");
    o.KeyFile = files->Key("dk2xy");
    o.StationFile = files->Cert("station");
    ASSERT_TRUE(tls.Open("rfc2217s://127.0.0.1:" + std::to_string(station->TlsPort()), AmplifierLine, error, o))
        << error;
    ASSERT_TRUE(WaitLog("dk2xy connects from 127.0.0.1 (TLS) as operator, watching dl1abc")) << Log();
    amp.Send(kFrame);
    for (Rfc2217Port* port : {&plain, &tls}) {
        ByteVector got;
        bool failed = false;
        for (int i = 0; i < 100 && got.size() < kFrame.size() && !failed; ++i) {
            uint8_t buffer[64];
            const int n = port->Read(buffer, sizeof buffer, 20, failed);
            got.insert(got.end(), buffer, buffer + std::max(n, 0));
        }
        EXPECT_EQ(got, ByteVector(kFrame.begin(), kFrame.end()));
    }
    // Their keys and DTR go nowhere.
    plain.Write(kKeys.data(), static_cast<int>(kKeys.size()));
    tls.SetControl(DTR_ON);
    tls.SetControl(DTR_OFF);
    plain.SetControl(DTR_OFF);
    holder->SendData({0x77});
    EXPECT_EQ(amp.Received(1), Bytes{0x77});
    EXPECT_EQ(DtrChanges(), std::vector<bool>{});
}

// Control goes to the first console that speaks RFC 2217: by its Telnet negotiation, or by its
// commands alone (pyserial takes its WILL for said when the station's DO came first). One that
// says nothing watches, untold.
TEST_F(StationTest, ControlGoesToTheFirstThatSpeaksRfc2217) {
    StartStation();
    LineClient silent(station->PlainPort(), nullptr, "", false);
    ASSERT_TRUE(WaitLog("local connects from 127.0.0.1 (plain) as operator, watching -")) << Log();
    LineClient commands(station->PlainPort(), nullptr, "", false);
    commands.Command(SET_BAUDRATE, ByteVector{0, 0, 0x25, 0x80});
    EXPECT_TRUE(commands.WaitRole(kOperating));
    amp.Send(kFrame);
    EXPECT_TRUE(silent.WaitData(kFrame));
    EXPECT_TRUE(silent.Roles.empty());
    EXPECT_TRUE(commands.WaitData(kFrame));
}

// A third-party RFC 2217 client that knows nothing of roles: it gets the frames, and operates
// when it holds control. Killed with DTR up, the line drops DTR 2 s later.
TEST_F(StationTest, PyserialGetsTheFramesAndItsKillDropsDtr) {
    if (::access("/usr/bin/python3", X_OK) != 0 ||
        std::system("/usr/bin/python3 -c 'import serial.rfc2217' 2>/dev/null") != 0)
        GTEST_SKIP() << "no python3-serial";
    ManualClock clock;
    StartStation();
    const std::string script =
        "import serial, sys, time\n"
        "s = serial.serial_for_url('rfc2217://127.0.0.1:" + std::to_string(station->PlainPort()) +
        "', baudrate=9600, timeout=5)\n"
        "s.dtr = True\n"
        "got = b''\n"
        "while bytes.fromhex('" + PyHex(kFrame) + "') not in got and len(got) < 10000:\n"
        "    got += s.read(1)\n"
        "print('frames', got.hex(), flush=True)\n"
        "time.sleep(60)\n";
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t pid = ::fork();
    const std::string errors = files->Dir() + "/pyserial.err";
    if (pid == 0) {
        ::dup2(out[1], 1);
        const int err = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(err, 2);
        ::execl("/usr/bin/python3", "python3", "-c", script.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    auto said = [&] {
        std::ifstream in(errors);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    ASSERT_TRUE(WaitLog("local takes control", 10000)) << Log() << said();
    ASSERT_TRUE(WaitLog("local raises DTR", 10000)) << Log() << said();
    FILE* in = ::fdopen(out[0], "r");
    std::atomic<bool> read{false};
    std::thread feeder([&] {
        for (int i = 0; i < 200 && !read; ++i) {
            amp.Send(kFrame);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    char line[4096] = {};
    const bool got = std::fgets(line, sizeof line, in) != nullptr;
    read = true;
    feeder.join();
    EXPECT_TRUE(got);
    EXPECT_NE(std::string(line).find(PyHex(kFrame)), std::string::npos) << line;

    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    std::fclose(in);
    ASSERT_TRUE(WaitLog("local left control")) << Log();
    EXPECT_EQ(DtrChanges(), std::vector<bool>{true});
    clock.AdvanceSeconds(2.1);
    EXPECT_TRUE(WaitLog("DTR drops")) << Log();
    EXPECT_EQ(DtrChanges(), std::vector<bool>{false});
}

// Each alone beside a console that keeps getting every frame.
TEST_F(StationTest, MisbehavingConsolesAreDroppedAlone) {
    StartStation();
    auto good = Tls("swl");
    ASSERT_TRUE(good->WaitRole("kaldor-station watching -"));
    ByteVector endlessSub = {IAC, SB, OPT_COM_PORT, SIGNATURE};
    endlessSub.resize(64 * 1024, 'x');
    ByteVector baudFlood;
    for (int i = 0; i < 4000; ++i) {
        const ByteVector c = TelnetCodec::ComPortCommand(SET_BAUDRATE, {0, 0, 0x25, 0x80});
        baudFlood.insert(baudFlood.end(), c.begin(), c.end());
    }
    struct Case {
        const char* what;
        ByteVector sends;
        bool closes;
        const char* log; // empty: still connected
    } cases[] = {
        {"floods data", ByteVector(64 * 1024, 0x42), false, "it sent more than 16 KiB within a second"},
        {"negotiates without end", baudFlood, false, "it sent more than 16 KiB within a second"},
        {"a sub-negotiation that never ends", endlessSub, false, "it sent more than 16 KiB within a second"},
        {"closes mid-command", {IAC, SB, OPT_COM_PORT, SET_BAUDRATE, 0}, true, "local leaves (127.0.0.1)"},
        {"connects and says nothing", {}, false, ""},
    };
    int round = 0;
    std::map<std::string, int> seen; // of each log text, the cases so far
    for (const Case& c : cases) {
        auto bad = Plain();
        bad->Send(c.sends);
        if (c.closes) bad->Close();
        if (*c.log) {
            EXPECT_TRUE(WaitLog(c.log, 3000, ++seen[c.log])) << c.what << "\n" << Log();
        } else {
            EXPECT_TRUE(bad->WaitRole(kOperating)) << c.what; // joined: the frame is its too
            EXPECT_TRUE(good->WaitRole("kaldor-station watching local")) << c.what;
        }
        const Bytes frame = {0xAA, 0xAA, 0x01, static_cast<uint8_t>(++round)};
        amp.Send(frame);
        EXPECT_TRUE(good->WaitData(frame)) << c.what;
        if (!*c.log) {
            EXPECT_TRUE(bad->WaitData(frame)) << c.what;
        }
    }
    EXPECT_EQ(good->Role(), "kaldor-station watching local") << "the last plain console took control";
}

// A console that takes nothing is dropped, when its queue fills or when it has taken nothing for
// 5 s (the clock stepped along with the amplifier's bytes); the other gets every byte meanwhile.
TEST_F(StationTest, AStalledConsoleIsDroppedWithoutDelayingTheOthers) {
    ManualClock clock;
    StartStation();
    auto good = Plain();
    ASSERT_TRUE(good->WaitRole(kOperating));
    struct Case {
        double secondsPerKiB; // on the injected clock
        const char* log;
    } cases[] = {
        {0, "its queue passed 64 KiB"},
        {0.12, "it took nothing for 5 s"},
    };
    Bytes chunk(1024);
    for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<uint8_t>(i * 7);
    for (const Case& c : cases) {
        // Connected, reading nothing, with a small window.
        const int stalled = ::socket(AF_INET, SOCK_STREAM, 0);
        const int small = 2048;
        ::setsockopt(stalled, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(station->PlainPort()));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::connect(stalled, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
        const int round = static_cast<int>(&c - cases) + 1;
        ASSERT_TRUE(WaitLog("local connects from 127.0.0.1 (plain) as operator, watching local", 3000, round))
            << Log();

        good->Data.clear();
        std::atomic<int> sent{0};
        std::atomic<bool> dropped{false};
        std::thread amplifier([&] {
            // Hundreds of times the line's rate, which a live console keeps up with.
            for (int i = 0; i < 4096 && !dropped; ++i) {
                amp.Send(chunk);
                sent += static_cast<int>(chunk.size());
                clock.AdvanceSeconds(c.secondsPerKiB);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
        // The good console reads along all the while.
        good->WaitFor([&] { return dropped = WaitLog(c.log, 0); }, 20000);
        amplifier.join();
        EXPECT_TRUE(dropped) << c.log << "\n" << Log();
        EXPECT_TRUE(good->WaitFor([&] { return good->Data.size() >= static_cast<size_t>(sent); }))
            << c.log << ": " << good->Data.size() << " of " << sent;
        EXPECT_EQ(good->Data.size(), static_cast<size_t>(sent)) << c.log;
        ::close(stalled);
    }
    EXPECT_FALSE(WaitLog("dropped local", 0, 3)) << "the stalled ones alone\n" << Log();
    EXPECT_EQ(good->Role(), kOperating);
}

TEST_F(StationTest, ARefusedCertificateGetsNoFrame) {
    StartStation();
    std::atomic<bool> done{false};
    std::thread amplifier([&] {
        while (!done) {
            amp.Send(kFrame);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    struct Case {
        const char* user;
        const char* log;
    } cases[] = {
        {"mallory", "/dl1abc/allowed_certs"},
        {"expired", "is not valid now"},
        {"blank", "names no user"},
        {"", "it showed no certificate"},
    };
    for (const Case& c : cases) {
        LineClient client(station->TlsPort(), files, c.user);
        EXPECT_TRUE(client.WaitFor([&] { return client.Closed; })) << c.user;
        EXPECT_TRUE(client.Data.empty()) << c.user;
        EXPECT_TRUE(client.Roles.empty()) << c.user;
        EXPECT_TRUE(WaitLog(std::string("refused 127.0.0.1: ") + (*c.user ? "certificate CN" : "")))
            << c.user << "\n" << Log();
        EXPECT_TRUE(WaitLog(c.log)) << c.user << "\n" << Log();
    }
    done = true;
    amplifier.join();
}

// The handshake runs in the console's own thread, bounded to 5 s on the injected clock.
TEST_F(StationTest, AConsoleThatNeverShakesHandsHoldsUpNobody) {
    ManualClock clock;
    StartStation();
    TcpSocket silent;
    std::string error;
    ASSERT_TRUE(silent.Connect("127.0.0.1", std::to_string(station->TlsPort()), 2000, error)) << error;
    auto holder = Tls("dl1abc");
    EXPECT_TRUE(holder->WaitRole(kOperating));
    for (int i = 0; i < 50 && !WaitLog("TLS handshake failed", 100); ++i) clock.AdvanceSeconds(1);
    EXPECT_TRUE(WaitLog("refused 127.0.0.1: TLS handshake failed", 0)) << Log();
    amp.Send(kFrame);
    EXPECT_TRUE(holder->WaitData(kFrame));
}

// The device goes and comes back by the same name: the consoles stay, control stays, DTR as
// the holder left it, and the frames flow again.
TEST_F(StationTest, TheDeviceUnpluggedAndBack) {
    ManualClock clock;
    const std::string link = amp.DevicePath() + ".by-id";
    std::filesystem::path dir = std::filesystem::temp_directory_path() / ("station-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string byId = (dir / "amp").string();
    std::filesystem::create_symlink(amp.DevicePath(), byId);
    StartStation(byId);
    auto holder = Tls("dl1abc");
    ASSERT_TRUE(holder->WaitRole(kOperating));
    auto watcher = Plain();
    ASSERT_TRUE(watcher->WaitRole("kaldor-station watching dl1abc operator"));
    holder->Command(SET_CONTROL, ByteVector{DTR_ON});
    ASSERT_TRUE(WaitLog("dl1abc raises DTR"));

    amp.HangUp();
    ASSERT_TRUE(WaitLog("device " + byId + " lost")) << Log();
    std::filesystem::remove(byId);
    TestAmp back;
    std::filesystem::create_symlink(back.DevicePath(), byId);
    DtrChanges();
    for (int i = 0; i < 30 && !WaitLog("device " + byId + " is back", 100); ++i) clock.AdvanceSeconds(0.5);
    ASSERT_TRUE(WaitLog("device " + byId + " is back", 0)) << Log();
    EXPECT_EQ(DtrChanges(), (std::vector<bool>{false, true})) << "opened low, then as the holder left it";
    back.Send(kFrame);
    EXPECT_TRUE(holder->WaitData(kFrame));
    EXPECT_TRUE(watcher->WaitData(kFrame));
    EXPECT_EQ(holder->Role(), kOperating);
    holder->SendData(kKeys);
    EXPECT_EQ(back.Received(kKeys.size()), kKeys);
    station->Stop();
    std::filesystem::remove_all(dir);
}

TEST_F(StationTest, TwoHundredConnectsLeakNoDescriptors) {
    StartStation();
    auto keep = Plain();
    ASSERT_TRUE(keep->WaitRole(kOperating));
    const int before = OpenDescriptors();
    for (int i = 0; i < 200; ++i) {
        LineClient c(station->PlainPort());
        if (i % 2) c.WaitRole("kaldor-station watching local operator");
    }
    // The last ones may still be on their way in or out.
    for (int i = 0; i < 1000 && (station->Consoles() > 1 || OpenDescriptors() > before); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(station->Consoles(), 1u) << Log().substr(Log().size() > 2000 ? Log().size() - 2000 : 0);
    EXPECT_LE(OpenDescriptors(), before);
    amp.Send(kFrame);
    EXPECT_TRUE(keep->WaitData(kFrame));
}

// The program itself: refuses a plain listener off loopback, serves the line, stops on SIGTERM.
TEST_F(StationTest, TheProgram) {
    const std::string program = KALDOR_STATION_PROGRAM;
    EXPECT_EQ(WEXITSTATUS(std::system((program + " --device x --plain 0.0.0.0:3003 2>/dev/null").c_str())), 2);
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::execl(program.c_str(), "kaldor-station", "--device", amp.DevicePath().c_str(), "--plain", "127.0.0.1:0",
                "--local-user", "dl1abc", "--operators", "dl1abc", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    FILE* in = ::fdopen(out[0], "r");
    char line[256] = {};
    ASSERT_TRUE(std::fgets(line, sizeof line, in));
    const std::string address = line;
    ASSERT_EQ(address.rfind("rfc2217://127.0.0.1:", 0), 0u) << address;
    LineClient console(std::stoi(address.substr(20)));
    EXPECT_TRUE(console.WaitRole(kOperating));
    // Sent again until the device is open: opening it drops what waited.
    for (int i = 0; i < 50 && !console.WaitData(kFrame, 100); ++i) amp.Send(kFrame);
    EXPECT_TRUE(console.WaitData(kFrame));
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    std::fclose(in);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(StationOptions, CommandLine) {
    struct Case {
        std::vector<std::string> args;
        const char* error; // empty: accepted
    } cases[] = {
        {{"--device", "/dev/ttyUSB0", "--plain", "127.0.0.1:3003"}, ""},
        {{"--device", "COM3", "--plain", "[::1]:3003", "--operators", "dl1abc,,dk2xy"}, ""},
        {{"--device", "/dev/ttyUSB0", "--listen", "0.0.0.0:3002", "--tls-cert", "c", "--tls-key", "k", "--authdir",
          "a"}, ""},
        {{"--device", "/dev/ttyUSB0", "--plain", "0.0.0.0:3003"}, "loopback address only"},
        {{"--device", "/dev/ttyUSB0", "--plain", "192.168.1.2:3003"}, "loopback address only"},
        {{"--device", "/dev/ttyUSB0", "--plain", "127.0.0.1.5:3003"}, "loopback address only"},
        {{"--device", "/dev/ttyUSB0", "--plain", "::1:3003"}, "--plain needs ADDRESS:PORT"},
        {{"--device", "/dev/ttyUSB0", "--plain", "127.0.0.1:65536"}, "--plain needs ADDRESS:PORT"},
        {{"--device", "/dev/ttyUSB0", "--listen", "0.0.0.0:3002"}, "--listen needs --tls-cert"},
        {{"--device", "/dev/ttyUSB0"}, "--listen or --plain is needed"},
        {{"--plain", "127.0.0.1:1"}, "--device is needed"},
        {{"--device"}, "--device needs a value"},
        {{"--device", "x", "--plain", "127.0.0.1:1", "--tls-key", "k"}, "go with --listen"},
        {{"--bogus"}, "unknown argument '--bogus'"},
    };
    for (const Case& c : cases) {
        const station::StationOptions o = station::ParseStationOptions(c.args);
        if (!*c.error) {
            EXPECT_EQ(o.Error, "") << c.args[3];
        } else {
            EXPECT_NE(o.Error.find(c.error), std::string::npos) << o.Error;
        }
    }
    const station::StationOptions o =
        station::ParseStationOptions({"--device", "x", "--plain", "[::1]:0", "--operators", "dl1abc,,dk2xy", "--local-user", "op 1"});
    EXPECT_EQ(o.Operators, (std::vector<std::string>{"dl1abc", "dk2xy"}));
    EXPECT_EQ(o.PlainHost, "::1");
    EXPECT_EQ(o.LocalUser, "op1");

    // Started by hand off loopback, it refuses too.
    station::StationOptions off = o;
    off.PlainHost = "0.0.0.0";
    station::Station s(off, [](const std::string&) {});
    std::string error;
    EXPECT_FALSE(s.Start(error));
    EXPECT_NE(error.find("loopback only"), std::string::npos) << error;
}

} // namespace
} // namespace kaldor::test
