// The simulated amplifier's line served over TCP, as a serial server serves a real one.
#include <algorithm>
#include <chrono>
#include <iostream>
#include <thread>

#include "link/PortNames.h"
#include "link/TcpSocket.h"
#include "link/TlsStream.h"
#include "sim/SimLine.h"
#include "link/ComPortServer.h"

namespace kaldor::sim {
namespace {

// A console that takes nothing for this long has gone; a frame cut short would also break
// the Telnet stream (half a doubled 0xFF), so the connection ends instead.
constexpr int kSendTimeoutMs = 500;
constexpr int kIdleMs = 10;
constexpr const char* SimSignature = "kaldor-sim";

class Rfc2217Line : public SimLine {
public:
    bool Open(const std::string& host, int port, const SimTlsFiles& tls, std::string& error) {
        if (tls.On() && !identity_.Load(tls.CertFile, tls.KeyFile, tls.ClientCa, error)) return false;
        if (!listener_.Listen(host, std::to_string(port), error)) {
            error = "cannot listen on " + host + " port " + std::to_string(port) + ": " + error;
            return false;
        }
        const bool v6 = host.find(':') != std::string::npos;
        path_ = std::string(tls.On() ? RemoteTlsDevicePrefix : RemoteDevicePrefix) + (v6 ? "[" + host + "]" : host) + ":" +
                std::to_string(listener_.Port());
        return true;
    }

    const std::string& DevicePath() const override { return path_; }

    void SetDtrHandler(std::function<void(bool)> handler) override { dtrHandler_ = std::move(handler); }

    int Read(uint8_t* buffer, int count, int timeoutMs) override {
        TakeNewClient();
        const TcpSocket::WaitResult r = stream_ && stream_->Readable() ? TcpSocket::WaitResult::Readable
                                                                        : listener_.Wait(*client_, timeoutMs);
        if (r == TcpSocket::WaitResult::Failed)
            std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs)); // no busy loop
        if (r != TcpSocket::WaitResult::Readable) return 0;
        const bool taken = TakeNewClient();
        // Decoding never lengthens: what count raw bytes give fits the buffer.
        uint8_t raw[512];
        const int size = std::min(count, static_cast<int>(sizeof raw));
        const int n = !client_->IsOpen() ? 0 : stream_ ? stream_->Receive(raw, size) : client_->Receive(raw, size);
        if (n < 0) EndSession(*client_);
        // Readable, yet nothing came (an accept that keeps failing): no busy loop.
        if (n == 0 && !taken) std::this_thread::sleep_for(std::chrono::milliseconds(kIdleMs));
        if (n <= 0) return 0;
        ByteVector data, replies;
        codec_.Feed(raw, static_cast<size_t>(n), data, replies);
        Send(replies);
        std::copy(data.begin(), data.end(), buffer);
        return static_cast<int>(data.size());
    }

    void Write(const uint8_t* bytes, int count) override {
        ByteVector out;
        TelnetCodec::AppendEscaped(bytes, static_cast<size_t>(count), out);
        Send(out);
    }

    void Wake() override { listener_.Wake(); }

private:
    // The newest console takes the line over, as if the cable were moved to it.
    bool TakeNewClient() {
        if (!listener_.Accept(*spare_)) return false;
        std::unique_ptr<TlsStream> stream;
        if (identity_.Loaded()) {
            // Bounded: a console that stalls its handshake holds the line up for seconds at most.
            stream = std::make_unique<TlsStream>(*spare_);
            CertificateInfo client;
            std::string error;
            if (!stream->Accept(identity_, TlsStream::HandshakeTimeoutMs, client, error)) {
                std::cerr << "kaldor-sim: a console's TLS handshake failed: " << error << std::endl;
                stream.reset();
                spare_->Close();
                return false;
            }
            if (!client.Fingerprint.empty())
                std::cerr << "kaldor-sim: console " << client.Subject << " (SHA-256 " << client.Fingerprint
                          << ")" << std::endl;
        }
        std::swap(client_, spare_);
        std::swap(stream_, stream);
        if (stream) stream->Shutdown();
        stream.reset();
        EndSession(*spare_);
        server_ = ComPortServer(SimSignature);
        server_.DtrChanged = [this](bool raised) { SetDtr(raised); };
        codec_ = server_.MakeCodec();
        Send(codec_.Greeting());
        return true;
    }

    void Send(const ByteVector& bytes) {
        if (bytes.empty() || !client_->IsOpen()) return; // nobody listens: dropped, as on a wire
        // A console that takes nothing for a while is gone: a half-sent 0xFF pair would corrupt
        // what follows.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSendTimeoutMs);
        size_t done = 0;
        while (done < bytes.size()) {
            const int size = static_cast<int>(bytes.size() - done);
            const int n = stream_ ? stream_->SendSome(bytes.data() + done, size)
                                  : client_->SendSome(bytes.data() + done, size);
            if (n > 0) {
                done += static_cast<size_t>(n);
                continue;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            if (n < 0 || left <= 0 || !client_->WaitWritable(static_cast<int>(left))) {
                EndSession(*client_);
                return;
            }
        }
    }

    void SetDtr(bool raised) {
        dtr_ = raised;
        if (dtrHandler_) dtrHandler_(raised);
    }

    // A console gone drops DTR, as a closed serial port does.
    void EndSession(TcpSocket& socket) {
        if (&socket == client_.get()) stream_.reset();
        socket.Close();
        if (dtr_) SetDtr(false);
    }

    TlsServerIdentity identity_; // loaded: TLS
    TcpListener listener_;
    // A connection is accepted into the spare socket, which then takes the client's place.
    std::unique_ptr<TcpSocket> client_ = std::make_unique<TcpSocket>();
    std::unique_ptr<TcpSocket> spare_ = std::make_unique<TcpSocket>();
    std::unique_ptr<TlsStream> stream_; // over client_, with TLS
    ComPortServer server_{SimSignature};
    TelnetCodec codec_{server_.MakeCodec()};
    std::function<void(bool)> dtrHandler_;
    bool dtr_ = false;
    std::string path_;
};

} // namespace

std::unique_ptr<SimLine> OpenRfc2217Line(const std::string& host, int port, std::string& error,
                                         const SimTlsFiles& tls) {
    auto line = std::make_unique<Rfc2217Line>();
    if (!line->Open(host, port, tls, error)) return nullptr;
    return line;
}

} // namespace kaldor::sim
