#pragma once
// A station on a test amplifier's pseudo-terminal, and raw consoles that speak to it over
// loopback in Telnet and RFC 2217 as any client would, over TLS with a user's certificate or plain.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/SerialPort.h"
#include "link/TcpSocket.h"
#include "link/TelnetCodec.h"
#include "link/TlsStream.h"
#include "station/Station.h"
#include "support/TestAmp.h"
#include "support/TlsFiles.h"

namespace kaldor::test {

class LineClient {
public:
    // TLS as user (a name made by the fixture), or plain with an empty user; the station's
    // certificate from files. Without greet it neither greets nor answers: it says nothing
    // unless told to.
    LineClient(int port, const TlsFiles* files = nullptr, const std::string& user = "", bool greet = true)
        : greet_(greet) {
        std::string error;
        EXPECT_TRUE(socket_.Connect("127.0.0.1", std::to_string(port), 2000, error)) << error;
        if (files) {
            tls_ = std::make_unique<TlsStream>(socket_);
            TlsOptions o;
            if (!user.empty()) o.CertificateFile = files->Cert(user), o.KeyFile = files->Key(user);
            o.StationFile = files->Cert("station");
            CertificateInfo station;
            EXPECT_EQ(tls_->Connect("127.0.0.1", o, 5000, station, error), TlsStream::Outcome::Linked) << error;
        }
        codec_.OnSubnegotiation = [this](const ByteVector& sub, ByteVector&) {
            if (sub.size() < 2 || sub[0] != telnet::OPT_COM_PORT) return;
            if (sub[1] == telnet::SIGNATURE + telnet::SERVER_OFFSET) Roles.emplace_back(sub.begin() + 2, sub.end());
            if (sub[1] == telnet::SET_CONTROL + telnet::SERVER_OFFSET && sub.size() == 3) Controls.push_back(sub[2]);
        };
        if (greet) Send(codec_.Greeting());
    }
    void Send(const ByteVector& bytes) {
        size_t done = 0;
        for (int i = 0; i < 1000 && done < bytes.size() && !Closed; ++i) {
            const int n = tls_ ? tls_->SendSome(bytes.data() + done, static_cast<int>(bytes.size() - done))
                               : socket_.SendSome(bytes.data() + done, static_cast<int>(bytes.size() - done));
            if (n < 0) Closed = true;
            if (n <= 0) socket_.WaitWritable(10);
            else done += static_cast<size_t>(n);
        }
    }
    void SendData(const Bytes& data) {
        ByteVector out;
        TelnetCodec::AppendEscaped(data.data(), data.size(), out);
        Send(out);
    }
    void Command(uint8_t command, const ByteVector& value) { Send(TelnetCodec::ComPortCommand(command, value)); }
    void Command(uint8_t command, const std::string& text) { Command(command, ByteVector(text.begin(), text.end())); }
    // Receives for up to ms, or until pred holds.
    bool WaitFor(const std::function<bool()>& pred, int ms = 3000) {
        for (int waited = 0; !pred() && !Closed && waited < ms; waited += 10) {
            if (!(tls_ && tls_->Readable())) socket_.WaitReadable(10);
            for (int round = 0; round < 64; ++round) {
                uint8_t buffer[8192];
                const int n = tls_ ? tls_->Receive(buffer, sizeof buffer) : socket_.Receive(buffer, sizeof buffer);
                if (n < 0) Closed = true;
                if (n <= 0) break;
                ByteVector replies;
                codec_.Feed(buffer, static_cast<size_t>(n), Data, replies);
                if (greet_ && !replies.empty()) Send(replies);
            }
        }
        return pred();
    }
    bool WaitRole(const std::string& role, int ms = 3000) {
        return WaitFor([&] { return Role() == role; }, ms);
    }
    bool WaitData(const Bytes& bytes, int ms = 3000) {
        return WaitFor([&] { return std::search(Data.begin(), Data.end(), bytes.begin(), bytes.end()) != Data.end(); },
                       ms);
    }
    std::string Role() const { return Roles.empty() ? std::string() : Roles.back(); }
    void Close() {
        tls_.reset();
        socket_.Close();
    }

    ByteVector Data;
    std::vector<std::string> Roles;
    std::vector<uint8_t> Controls; // the station's answers to SET-CONTROL
    bool Closed = false;

private:
    TcpSocket socket_;
    std::unique_ptr<TlsStream> tls_;
    TelnetCodec codec_{TelnetCodec::Client()};
    bool greet_;
};

// Users: dl1abc, dk2xy, oe3abc operate; swl watches; mallory (common name dl1abc) is not
// allowed, expired (dl1abc) is but out of date, blank ("dl1 abc") names no user. The plain
// listener's user "local" operates too.
class StationTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void TearDown() override;

    void StartStation(const std::string& device = "");
    std::unique_ptr<LineClient> Tls(const std::string& user) {
        return std::make_unique<LineClient>(station->TlsPort(), files, user);
    }
    std::unique_ptr<LineClient> Plain() { return std::make_unique<LineClient>(station->PlainPort()); }
    // Waits until count log lines hold text; false after ms.
    bool WaitLog(const std::string& text, int ms = 3000, int count = 1);
    std::string Log();
    // The DTR levels the station set on the line since the last call.
    std::vector<bool> DtrChanges();

    static TlsFiles* files;
    static std::string authDir;
    TestAmp amp;
    std::string device; // as the station was told
    std::unique_ptr<station::Station> station;

private:
    std::mutex m_;
    std::vector<std::string> log_;
    std::vector<bool> dtr_;
};

} // namespace kaldor::test
