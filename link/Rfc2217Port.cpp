#include "Rfc2217Port.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "PortNames.h"
#include "SerialPort.h"
#include "TlsStream.h"

namespace kaldor {

using namespace telnet;

// --- The port -------------------------------------------------------------------------------

namespace {
uint8_t RemoteParity(uint8_t parity) { return parity == ODDPARITY ? 2 : parity == EVENPARITY ? 3 : 1; }
uint8_t RemoteStopSize(uint8_t stopBits) { return stopBits == TWOSTOPBITS ? 2 : stopBits == 1 ? 3 : 1; }
} // namespace

Rfc2217Port::Rfc2217Port() = default;
Rfc2217Port::~Rfc2217Port() { Close(); }

namespace {
// What a TLS server answers a plain client with: an alert or a handshake record, TLS 1.x.
bool LooksLikeTls(const ByteVector& first) {
    return first.size() >= 2 && (first[0] == 0x15 || first[0] == 0x16) && first[1] == 0x03;
}
} // namespace

// A TLS server closes on a Telnet greeting without an alert; a ClientHello on a second
// connection tells. Bounded as the open is, and woken by Cancel.
bool Rfc2217Port::SpeaksTls(const std::string& host, const std::string& port) {
    std::string error;
    if (!probe_.Connect(host, port, ConnectTimeoutMs, error)) return false;
    TlsStream tls(probe_);
    CertificateInfo station;
    tls.Connect(host, {}, NegotiationTimeoutMs, station, error);
    const bool speaks = tls.SawTls();
    probe_.Close();
    return speaks;
}

int Rfc2217Port::Receive(uint8_t* buffer, int size) {
    return tls_ ? tls_->Receive(buffer, size) : socket_.Receive(buffer, size);
}

int Rfc2217Port::SendSome(const uint8_t* data, int size) {
    return tls_ ? tls_->SendSome(data, size) : socket_.SendSome(data, size);
}

template <typename Done>
bool Rfc2217Port::WaitFor(Done done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done() && !lost_) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) break;
        bool queued;
        {
            std::lock_guard<std::mutex> lock(outMutex_);
            queued = !out_.empty() || (tls_ && tls_->Backlog());
        }
        // Decrypted bytes already waiting would never wake the socket.
        if (!(tls_ && tls_->Readable()) &&
            socket_.WaitReadable(static_cast<int>(left), queued) != TcpSocket::WaitResult::Readable)
            break;
        Pump();
    }
    return done();
}

bool Rfc2217Port::Open(const std::string& device, const LineSettings& line, std::string& error,
                       const TlsOptions& tlsOptions) {
    Close();
    tls_.reset(); // nobody else holds this port while it opens
    station_ = {};
    stationUnknown_ = false;
    std::string host, port;
    if (!ParseRemoteDevice(device, host, port)) {
        error = "not an address of the form rfc2217://host:port or rfc2217s://host:port";
        return false;
    }
    codec_ = TelnetCodec(TelnetCodec::Client());
    purged_ = false;
    {
        std::lock_guard<std::mutex> lock(roleMutex_);
        shared_ = false;
        role_ = {};
    }
    codec_.OnSubnegotiation = [this](const ByteVector& sub, ByteVector&) {
        if (sub.size() < 2 || sub[0] != OPT_COM_PORT) return;
        if (sub[1] == PURGE_DATA + SERVER_OFFSET) {
            purged_ = true;
            codec_.SetDropping(false);
        } else if (sub[1] == SIGNATURE + SERVER_OFFSET) {
            StationRole role;
            if (!ParseStationSignature(std::string(sub.begin() + 2, sub.end()), role)) return;
            std::lock_guard<std::mutex> lock(roleMutex_);
            role_ = role;
            shared_ = true;
        }
    };
    {
        std::lock_guard<std::mutex> lock(outMutex_);
        out_.clear();
    }
    data_.clear();
    dataPos_ = 0;
    lost_ = false;
    if (!socket_.Connect(host, port, ConnectTimeoutMs, error)) return false;
    if (IsTlsDevice(device)) {
        auto tls = std::make_unique<TlsStream>(socket_);
        const TlsStream::Outcome outcome =
            tls->Connect(host, tlsOptions, TlsStream::HandshakeTimeoutMs, station_, error);
        if (outcome != TlsStream::Outcome::Linked) {
            stationUnknown_ = outcome == TlsStream::Outcome::Unknown;
            tls->Shutdown();
            socket_.Close();
            return false;
        }
        std::lock_guard<std::mutex> lock(outMutex_);
        tls_ = std::move(tls);
    }
    first_.clear();

    // Whatever the far side queued before the purge is not ours.
    codec_.SetDropping(true);
    Send(codec_.Greeting());
    WaitFor([this] { return codec_.Enabled(OPT_COM_PORT) || codec_.Declined(OPT_COM_PORT); },
            NegotiationTimeoutMs);
    if (codec_.Enabled(OPT_COM_PORT)) {
        const uint32_t b = static_cast<uint32_t>(line.Baud);
        ByteVector setup;
        auto add = [&setup](uint8_t command, const ByteVector& value) {
            const ByteVector c = TelnetCodec::ComPortCommand(command, value);
            setup.insert(setup.end(), c.begin(), c.end());
        };
        add(SET_BAUDRATE, {uint8_t(b >> 24), uint8_t(b >> 16), uint8_t(b >> 8), uint8_t(b)});
        add(SET_DATASIZE, {line.ByteSize});
        add(SET_PARITY, {RemoteParity(line.Parity)});
        add(SET_STOPSIZE, {RemoteStopSize(line.StopBits)});
        add(SET_CONTROL, {NO_FLOW_CONTROL});
        add(SET_CONTROL, {DTR_OFF});
        add(SET_CONTROL, {RTS_OFF});
        add(SET_LINESTATE_MASK, {0});
        add(SET_MODEMSTATE_MASK, {0});
        add(PURGE_DATA, {PURGE_BOTH});
        Send(setup);
        WaitFor([this] { return purged_; }, NegotiationTimeoutMs);
    }
    codec_.SetDropping(false);
    data_.clear();
    dataPos_ = 0;
    if (lost_) {
        if (tls_ && !tls_->Failure().empty()) error = tls_->Failure();
        else if (tls_ && tls_->CertificateAsked()) error = TlsStream::RefusedText;
        else if (!tls_ && (LooksLikeTls(first_) || (first_.empty() && SpeaksTls(host, port))))
            error = "the server speaks TLS (is it rfc2217s://?)";
        else error = "the server closed the connection";
        Close();
        return false;
    }
    if (!tls_ && LooksLikeTls(first_)) {
        error = "the server speaks TLS (is it rfc2217s://?)";
        Close();
        return false;
    }
    return true;
}

void Rfc2217Port::Pump() {
    {
        std::lock_guard<std::mutex> lock(outMutex_);
        Flush();
    }
    uint8_t raw[4096];
    ByteVector replies;
    // Bounded: a server that never stops sending still lets the reader return.
    for (int i = 0; i < 16; ++i) {
        const int n = Receive(raw, sizeof raw);
        if (n < 0) lost_ = true;
        if (n <= 0) break;
        if (first_.size() < 2) first_.insert(first_.end(), raw, raw + std::min(n, 2));
        codec_.Feed(raw, static_cast<size_t>(n), data_, replies);
    }
    // Replies fill half the queue at most: a server that asks faster than it reads still leaves
    // room for the keys.
    if (!replies.empty()) Send(replies, MaxQueued / 2);
}

int Rfc2217Port::Take(uint8_t* buffer, int count) {
    const int n = std::min(count, static_cast<int>(data_.size() - dataPos_));
    if (n <= 0) return 0;
    std::memcpy(buffer, data_.data() + dataPos_, static_cast<size_t>(n));
    dataPos_ += static_cast<size_t>(n);
    if (dataPos_ == data_.size()) {
        data_.clear();
        dataPos_ = 0;
    }
    return n;
}

int Rfc2217Port::Read(uint8_t* buffer, int count, int timeoutMs, bool& failed) {
    failed = false;
    if (count <= 0) return 0;
    if (!socket_.IsOpen()) {
        failed = true;
        return 0;
    }
    if (data_.size() == dataPos_) Pump();
    if (data_.size() == dataPos_) {
        WaitFor([this, count] { return data_.size() - dataPos_ >= static_cast<size_t>(count); },
                timeoutMs);
    }
    const int n = Take(buffer, count);
    failed = n == 0 && lost_;
    return n;
}

bool Rfc2217Port::Send(const ByteVector& bytes, size_t limit) {
    std::lock_guard<std::mutex> lock(outMutex_);
    if (out_.size() + bytes.size() > limit) return false;
    out_.insert(out_.end(), bytes.begin(), bytes.end());
    Flush();
    if (!out_.empty()) socket_.Nudge(); // the reader waits until the rest can go
    return true;
}

void Rfc2217Port::Flush() {
    if (out_.empty() && !(tls_ && tls_->Backlog())) return;
    const int n = SendSome(out_.data(), static_cast<int>(out_.size()));
    if (n < 0) {
        lost_ = true;
        out_.clear();
    } else {
        out_.erase(out_.begin(), out_.begin() + n);
    }
}

int Rfc2217Port::Write(const uint8_t* data, int count) {
    if (!socket_.IsOpen() || count <= 0) return 0;
    ByteVector out;
    TelnetCodec::AppendEscaped(data, static_cast<size_t>(count), out);
    return Send(out) ? count : 0;
}

bool Rfc2217Port::SetControl(uint8_t value) {
    return socket_.IsOpen() && Send(TelnetCodec::ComPortCommand(SET_CONTROL, {value}));
}

bool Rfc2217Port::SharedRole(StationRole& role) const {
    std::lock_guard<std::mutex> lock(roleMutex_);
    if (shared_) role = role_;
    return shared_;
}

bool Rfc2217Port::TakeControl(const std::string& seenHolder) {
    return socket_.IsOpen() && Send(SignatureCommand(SIGNATURE, TakeControlRequest(seenHolder)));
}

void Rfc2217Port::Close() {
    std::lock_guard<std::mutex> lock(closeMutex_);
    std::lock_guard<std::mutex> out(outMutex_);
    Flush(); // the last DTR change, where the server takes it
    out_.clear();
    // The stream stays until the next Open: a reader on another thread may still be in it.
    if (tls_) tls_->Shutdown();
    socket_.Close();
}

} // namespace kaldor
