// The remote line over TLS: against ser2net's own ssl gensio with client certificates, a station
// that must be checked before the console says a word, and the simulator's TLS server.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "link/Clock.h"
#include "link/Frames.h"
#include "link/PortOpener.h"
#include "link/Rfc2217Port.h"
#include "link/TlsCertificate.h"
#include "link/TlsStream.h"
#include "sim/SimServer.h"
#include "support/RemoteServers.h"
#include "support/TlsFiles.h"

namespace kaldor::test {
namespace {

using Clock = std::chrono::steady_clock;

// Port 4 on address, opened as the window opens it, with these TLS options.
PortOpener::Result OpenWith(const std::string& address, const TlsOptions& tls) {
    std::optional<PortOpener::Result> r = OpenAsWindow(4, address, tls);
    EXPECT_TRUE(r) << address;
    return r ? std::move(*r) : PortOpener::Result();
}

// The keys and certificates every case here uses: a station, an impostor, two CAs, and the
// console's identities as ser2net's authdir knows them.
class Tls : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        files = new TlsFiles;
        auto& f = *files;
        f.Make("station", "station");
        f.Make("impostor", "station");
        f.Make("old", "station", -60, -1);
        f.Make("future", "station", 2, 60);
        f.Make("ca", "Station CA", -1, 30, "", "", true);
        f.Make("ca2", "Other CA", -1, 30, "", "", true);
        f.Make("signed", "station", -1, 30, "ca", "IP:127.0.0.1");
        f.Make("elsewhere", "station", -1, 30, "ca", "DNS:station.example");
        f.Make("user", "dl1abc");
        f.Make("stranger", "dl1abc");
        f.Make("expired", "dl1abc", -60, -1);
        f.Make("climber", "../auth/dl1abc");
        const std::filesystem::path allowed = f.Dir() + "/auth/dl1abc/allowed_certs";
        std::filesystem::create_directories(allowed);
        for (const char* name : {"user", "expired"})
            std::filesystem::copy_file(f.Cert(name), allowed / (std::string(name) + ".crt"));
        ASSERT_EQ(std::system(("openssl rehash " + allowed.string() + " 2>/dev/null").c_str()), 0);
    }
    static void TearDownTestSuite() { delete files; }

    static TlsOptions As(const std::string& identity) {
        TlsOptions o;
        if (!identity.empty()) {
            o.CertificateFile = files->Cert(identity);
            o.KeyFile = files->Key(identity);
        }
        return o;
    }
    static TlsFiles* files;
};
TlsFiles* Tls::files = nullptr;

TEST_F(Tls, LinksToSer2netWithTheConsolesCertificate) {
    ASSERT_TRUE(Ser2net::Installed());
    TestAmp amp;
    Ser2net ser2net(amp.DevicePath(), {files->Key("station"), files->Cert("station"), files->Dir() + "/auth"});
    ASSERT_TRUE(ser2net.Start());
    TlsOptions tls = As("user");
    tls.StationFile = files->Cert("station");
    PortOpener::Result r = OpenWith(ser2net.Address(), tls);
    ASSERT_TRUE(r.Opened()) << r.Failure;
    EXPECT_EQ(r.Station.Fingerprint, files->Fingerprint("station"));
    EXPECT_EQ(r.StationKey, "127.0.0.1:" + std::to_string(ser2net.Port()));
    const CommandFrame& operate = KeyFrame(Key::Operate);
    ASSERT_EQ(r.Line.Write(operate.Bytes, operate.Count), operate.Count);
    EXPECT_EQ(Hex(amp.Received(static_cast<size_t>(operate.Count))), Hex(Bytes(operate.Bytes, operate.Bytes + operate.Count)));
    // The amplifier's frames come back through the same stream.
    amp.Send({0xAA, 0x55, 0x01});
    uint8_t buf[3] = {};
    r.Line.SetTimeouts(2000);
    EXPECT_EQ(r.Line.Read(buf, 3), 3);
    EXPECT_EQ(Hex(Bytes(buf, buf + 3)), "AA 55 01");
}

// Who may link, and in what words each refusal comes. Nothing beyond the handshake reaches a
// station the console has not verified.
TEST_F(Tls, RefusesEachWrongPartyInItsOwnWords) {
    enum Far { Ser2netTls, Station, Plain };
    struct Case {
        const char* What;
        Far Server;
        const char* ServerCert; // Station: what it shows
        const char* Console;    // the console's identity, "" for none
        const char* StationFile;
        const char* Trusted; // whose fingerprint is stored
        std::string Expected; // in the failure; empty: links
    };
    const std::string now = files->Fingerprint("impostor");
    const Case cases[] = {
        {"ser2net, no console certificate", Ser2netTls, "", "", "station", "",
         "the station refused this console's certificate"},
        {"ser2net, certificate not allowed", Ser2netTls, "", "stranger", "station", "",
         "the station refused this console's certificate"},
        {"ser2net, expired console certificate", Ser2netTls, "", "expired", "station", "",
         "the station refused this console's certificate"},
        {"its own certificate", Station, "station", "user", "station", "", ""},
        {"signed by the chosen CA for this address", Station, "signed", "user", "ca", "", ""},
        {"the stored fingerprint", Station, "station", "user", "", "station", ""},
        {"man in the middle, station file", Station, "impostor", "user", "station", "",
         "the station's certificate is neither the station file's nor signed by it (unknown CA)"},
        {"man in the middle, stored fingerprint", Station, "impostor", "user", "", "station",
         "the station's certificate has changed: trusted " + files->Fingerprint("station") + ", now " + now},
        {"expired", Station, "old", "user", "old", "", "the station's certificate has expired"},
        {"not yet valid", Station, "future", "user", "future", "", "the station's certificate is not yet valid"},
        {"wrong name", Station, "elsewhere", "user", "ca", "", "the station's certificate is not for 127.0.0.1"},
        {"unknown CA", Station, "signed", "user", "ca2", "",
         "the station's certificate is neither the station file's nor signed by it (unknown CA)"},
        {"unknown station", Station, "station", "user", "", "",
         "the station's certificate is not known yet (SHA-256 " + files->Fingerprint("station") + ")"},
        {"the console's certificate file missing", Station, "station", "missing", "station", "",
         "cannot use " + files->Cert("missing") + " as the console's certificate"},
        {"a plain Telnet server", Plain, "", "user", "station", "", "not a TLS server (is it rfc2217://?)"},
    };
    TestAmp amp;
    Ser2net ser2net(amp.DevicePath(), {files->Key("station"), files->Cert("station"), files->Dir() + "/auth"});
    ASSERT_TRUE(ser2net.Start());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        TlsOptions tls = As(c.Console);
        if (*c.StationFile) tls.StationFile = files->Cert(c.StationFile);
        if (*c.Trusted) tls.TrustedFingerprint = files->Fingerprint(c.Trusted);
        std::unique_ptr<TlsStation> station;
        std::unique_ptr<sim::SimServer> plain;
        std::string address = ser2net.Address();
        if (c.Server == Station) {
            station = std::make_unique<TlsStation>(files->Cert(c.ServerCert), files->Key(c.ServerCert));
            address = station->Address();
        } else if (c.Server == Plain) {
            std::string error;
            plain = sim::SimServer::OnRfc2217("127.0.0.1", 0, {}, error);
            ASSERT_TRUE(plain) << error;
            plain->Start();
            address = "rfc2217s" + plain->DevicePath().substr(7);
        }
        PortOpener::Result r = OpenWith(address, tls);
        if (c.Expected.empty()) {
            EXPECT_TRUE(r.Opened()) << r.Failure;
            continue;
        }
        EXPECT_FALSE(r.Opened());
        EXPECT_NE(r.Failure.find(c.Expected), std::string::npos) << r.Failure;
        EXPECT_EQ(r.StationUnknown, std::string(c.What) == "unknown station");
        EXPECT_EQ(r.Failure.find(files->Key("user")), std::string::npos); // the key's path: never
        if (station) {
            EXPECT_LE(station->Handshakes(), 1);
            EXPECT_EQ(Hex(station->Received()), "") << "sent to an unverified station";
        }
        if (c.Server == Ser2netTls) {
            EXPECT_EQ(Hex(amp.Received(0, 50)), "");
        }
    }
}

TEST_F(Tls, APlainAddressToATlsServerSaysSo) {
    TestAmp amp;
    Ser2net ser2net(amp.DevicePath(), {files->Key("station"), files->Cert("station"), files->Dir() + "/auth"});
    ASSERT_TRUE(ser2net.Start());
    TlsStation station(files->Cert("station"), files->Key("station"));
    for (int port : {ser2net.Port(), station.Port()}) {
        PortOpener::Result r = OpenWith("rfc2217://127.0.0.1:" + std::to_string(port), {});
        EXPECT_FALSE(r.Opened());
        EXPECT_NE(r.Failure.find("the server speaks TLS (is it rfc2217s://?)"), std::string::npos) << r.Failure;
    }
}

// Stations that never finish their handshake: each refused, the stalled one after 5 s on the
// console's clock, and the exit during a handshake is prompt.
TEST_F(Tls, HostileHandshakesAreBoundedAndTheExitPrompt) {
    using K = HostileServer::Kind;
    const std::pair<K, const char*> cases[] = {
        {K::Silent, "no TLS handshake within 5 s"},
        {K::EndlessTlsHandshake, "the station's handshake is too large"},
        {K::TlsCutShort, "the connection closed during the TLS handshake"},
    };
    for (const auto& [kind, expected] : cases) {
        HostileServer server(kind);
        std::atomic<double> now{100.0};
        SetClockSource([&] { return now.load(); });
        std::thread stepper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            now = now + 6 * OneSecond;
        });
        const auto t0 = Clock::now();
        PortOpener::Result r = OpenWith("rfc2217s" + server.Address().substr(7), As("user"));
        stepper.join();
        SetClockSource(nullptr);
        EXPECT_NE(r.Failure.find(expected), std::string::npos) << r.Failure;
        EXPECT_LT(Clock::now() - t0, std::chrono::seconds(2)) << expected;
    }

    HostileServer silent(K::Silent);
    const std::string address = "rfc2217s" + silent.Address().substr(7);
    SetEnv("KALDOR_COM4", address);
    const auto t1 = Clock::now();
    {
        QueueDispatcher window;
        PortOpener opener(&window);
        opener.Open(4, nullptr, [](PortOpener::Result&) {});
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } // the exit: the opener goes mid-handshake
    UnsetEnv("KALDOR_COM4");
    EXPECT_LT(Clock::now() - t1, std::chrono::milliseconds(600));
}

TEST_F(Tls, TheSimulatorServesTlsToAllowedConsolesOnly) {
    const std::string allowed = files->Dir() + "/auth/dl1abc/allowed_certs";
    std::string error;
    auto sim = sim::SimServer::OnRfc2217("127.0.0.1", 0, {}, error,
                                         {files->Cert("station"), files->Key("station"), allowed});
    ASSERT_TRUE(sim) << error;
    sim->Start();
    ASSERT_EQ(sim->DevicePath().rfind("rfc2217s://127.0.0.1:", 0), 0u);
    TlsOptions tls = As("stranger");
    tls.TrustedFingerprint = files->Fingerprint("station");
    PortOpener::Result refused = OpenWith(sim->DevicePath(), tls);
    EXPECT_NE(refused.Failure.find("the station refused this console's certificate"), std::string::npos)
        << refused.Failure;

    tls = As("user");
    tls.TrustedFingerprint = files->Fingerprint("station");
    const auto t0 = Clock::now();
    PortOpener::Result r = OpenWith(sim->DevicePath(), tls);
    ASSERT_TRUE(r.Opened()) << r.Failure;
    // The server's first bytes come with the handshake's last records: read at once, not after
    // the negotiation's time-out (with a margin).
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(Rfc2217Port::NegotiationTimeoutMs * 3 / 4));
    sim->SetDtr(false);
    r.Line.SetDtr(); // the ON key: DTR travels inside TLS
    const auto t1 = Clock::now();
    while (!sim->Powered() && Clock::now() - t1 < std::chrono::seconds(3))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(sim->Powered());
    sim->Stop();

    // An IPv6 address in brackets, its key in brackets too.
    auto sim6 = sim::SimServer::OnRfc2217("::1", 0, {}, error, {files->Cert("station"), files->Key("station"), ""});
    ASSERT_TRUE(sim6) << error;
    sim6->Start();
    ASSERT_EQ(sim6->DevicePath().rfind("rfc2217s://[::1]:", 0), 0u);
    PortOpener::Result r6 = OpenWith(sim6->DevicePath(), tls);
    EXPECT_TRUE(r6.Opened()) << r6.Failure;
    EXPECT_EQ(r6.StationKey, sim6->DevicePath().substr(11));
    sim6->Stop();
}

// A station judges its consoles by ser2net's authdir: the certificate itself, in date, under
// its own common name.
TEST_F(Tls, AllowsOnlyCertificatesInTheAuthdirUnderTheirName) {
    const std::string authDir = files->Dir() + "/auth";
    std::filesystem::copy_file(files->Cert("climber"), authDir + "/dl1abc/allowed_certs/climber.crt");
    const std::pair<const char*, bool> cases[] = {
        {"user", true}, {"stranger", false}, {"expired", false}, {"climber", false}, {"station", false}};
    for (const auto& [name, allowed] : cases) {
        CertificateInfo cert;
        std::string error;
        ASSERT_TRUE(ReadCertificateFile(files->Cert(name), cert, error)) << error;
        EXPECT_EQ(CertificateAllowed(authDir, cert), allowed) << name;
    }
    std::filesystem::remove(authDir + "/dl1abc/allowed_certs/climber.crt");
}

TEST(TlsFingerprint, StoredTextsNormaliseOrAreRefused) {
    const std::string canonical =
        "AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89";
    std::string bare;
    for (char c : canonical)
        if (c != ':') bare += static_cast<char>(std::tolower(c));
    const std::pair<std::string, bool> cases[] = {
        {canonical, true},
        {bare, true},
        {"sha256 Fingerprint=" + canonical, true}, // as openssl x509 -fingerprint prints it
        {"SHA256:" + bare, true},
        {"  " + canonical + "\n", true},
        {canonical.substr(0, canonical.size() - 3), false}, // 31 pairs
        {canonical + ":00", false},
        {"A:BCD" + canonical.substr(4), false}, // separator inside a pair
        {canonical + ":", false},
        {"AB::CD" + canonical.substr(5), false},
        {"XY" + canonical.substr(2), false},
        {"", false},
        {std::string(300, 'a'), false},
    };
    for (const auto& [text, ok] : cases) {
        std::string out;
        EXPECT_EQ(NormaliseFingerprint(text, out), ok) << text;
        EXPECT_EQ(out, ok ? canonical : "") << text;
    }
}

} // namespace
} // namespace kaldor::test
