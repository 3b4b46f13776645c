#include "Rfc2217Port.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "SerialPort.h"

namespace kaldor {

using namespace telnet;

bool IsRemoteDevice(const std::string& name) { return name.rfind(RemoteDevicePrefix, 0) == 0; }

bool ParseRemoteDevice(const std::string& name, std::string& host, std::string& port) {
    if (!IsRemoteDevice(name)) return false;
    std::string rest = name.substr(std::strlen(RemoteDevicePrefix));
    if (!rest.empty() && rest.back() == '/') rest.pop_back();
    size_t colon;
    if (!rest.empty() && rest.front() == '[') {
        const size_t close = rest.find(']');
        if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':')
            return false;
        host = rest.substr(1, close - 1);
        colon = close + 1;
    } else {
        colon = rest.find(':');
        if (colon == std::string::npos || rest.find(':', colon + 1) != std::string::npos)
            return false; // an IPv6 address needs its brackets
        host = rest.substr(0, colon);
    }
    port = rest.substr(colon + 1);
    if (host.empty() || host.find_first_of("[]") != std::string::npos || port.empty() || port.size() > 5 ||
        !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const long number = std::strtol(port.c_str(), nullptr, 10);
    return number >= 1 && number <= 65535;
}

// --- Telnet ---------------------------------------------------------------------------------

namespace {
bool WeOffer(uint8_t option) { return option == OPT_BINARY || option == OPT_SGA || option == OPT_COM_PORT; }
bool WeAccept(uint8_t option) { return option == OPT_BINARY || option == OPT_SGA; }
} // namespace

ByteVector TelnetCodec::Greeting() {
    for (uint8_t option : {OPT_COM_PORT, OPT_BINARY, OPT_SGA}) usAsked_[option] = true;
    for (uint8_t option : {OPT_BINARY, OPT_SGA}) themAsked_[option] = true;
    return {IAC, WILL, OPT_COM_PORT, IAC, WILL, OPT_BINARY, IAC, WILL, OPT_SGA,
            IAC, DO,   OPT_BINARY,   IAC, DO,   OPT_SGA};
}

int TelnetCodec::Answers(uint8_t command) const {
    return answers_[static_cast<uint8_t>(command + SERVER_OFFSET)];
}

void TelnetCodec::AppendEscaped(const uint8_t* in, size_t n, ByteVector& out) {
    for (size_t i = 0; i < n; ++i) {
        out.push_back(in[i]);
        if (in[i] == IAC) out.push_back(IAC);
    }
}

ByteVector TelnetCodec::ComPortCommand(uint8_t command, const ByteVector& value) {
    ByteVector out{IAC, SB, OPT_COM_PORT, command};
    AppendEscaped(value.data(), value.size(), out);
    out.insert(out.end(), {IAC, SE});
    return out;
}

// Answers only what changes an option's state, so two sides never loop (RFC 854). DO and DONT
// ask about our side, WILL and WONT about theirs; each side answers with the other pair. A
// refused option stays off: asked again, it is not answered again, or a server that repeats
// the request would be answered as fast as it asks.
void TelnetCodec::Negotiate(uint8_t verb, uint8_t option, ByteVector& replies) {
    const bool ours = verb == DO || verb == DONT;
    const bool enable = verb == DO || verb == WILL;
    bool& on = ours ? usOn_[option] : themOn_[option];
    bool& asked = ours ? usAsked_[option] : themAsked_[option];
    bool& refused = ours ? usRefused_[option] : themRefused_[option];
    const bool wanted = ours ? WeOffer(option) : WeAccept(option);
    auto reply = [&](bool yes) {
        replies.insert(replies.end(), {IAC, ours ? (yes ? WILL : WONT) : (yes ? DO : DONT), option});
    };
    if (verb == DONT && option == OPT_COM_PORT) comPortRefused_ = true;
    if (enable) {
        if (!wanted) {
            if (!refused) reply(false);
            refused = true;
        } else if (!on) {
            on = true;
            if (!asked) reply(true);
        }
    } else if (on || asked) {
        if (!asked) reply(false);
        on = false;
    }
    asked = false;
}

void TelnetCodec::Subnegotiation() {
    if (sub_.size() < 2 || sub_[0] != OPT_COM_PORT) return;
    const uint8_t command = sub_[1];
    ++answers_[command];
    if (command == PURGE_DATA + SERVER_OFFSET) dropping_ = false;
}

void TelnetCodec::Feed(const uint8_t* in, size_t n, ByteVector& data, ByteVector& replies) {
    for (size_t i = 0; i < n; ++i) {
        const uint8_t b = in[i];
        switch (state_) {
        case State::Data:
            if (b == IAC)
                state_ = State::Iac;
            else if (!dropping_)
                data.push_back(b);
            break;
        case State::Iac:
            if (b == IAC) {
                if (!dropping_) data.push_back(IAC);
                state_ = State::Data;
            } else if (b == DO || b == DONT || b == WILL || b == WONT) {
                verb_ = b;
                state_ = State::Option;
            } else if (b == SB) {
                sub_.clear();
                state_ = State::Sub;
            } else {
                state_ = State::Data; // NOP, data mark, go ahead and the like carry nothing here
            }
            break;
        case State::Option:
            Negotiate(verb_, b, replies);
            state_ = State::Data;
            break;
        case State::Sub:
            if (b == IAC)
                state_ = State::SubIac;
            else if (sub_.size() < MaxSubnegotiation)
                sub_.push_back(b);
            break;
        case State::SubIac:
            if (b == SE) {
                Subnegotiation();
                state_ = State::Data;
            } else {
                if (b == IAC && sub_.size() < MaxSubnegotiation) sub_.push_back(IAC);
                // Anything else after IAC inside a sub-negotiation is a broken server: stay in
                // it until IAC SE, as the RFC's receivers do.
                state_ = State::Sub;
            }
            break;
        }
    }
}

// --- The port -------------------------------------------------------------------------------

namespace {
uint8_t RemoteParity(uint8_t parity) { return parity == ODDPARITY ? 2 : parity == EVENPARITY ? 3 : 1; }
uint8_t RemoteStopSize(uint8_t stopBits) { return stopBits == TWOSTOPBITS ? 2 : stopBits == 1 ? 3 : 1; }
} // namespace

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
            queued = !out_.empty();
        }
        if (socket_.WaitReadable(static_cast<int>(left), queued) != TcpSocket::WaitResult::Readable)
            break;
        Pump();
    }
    return done();
}

bool Rfc2217Port::Open(const std::string& device, int baud, uint8_t parity, uint8_t byteSize,
                       uint8_t stopBits, std::string& error) {
    Close();
    std::string host, port;
    if (!ParseRemoteDevice(device, host, port)) {
        error = "not an address of the form rfc2217://host:port";
        return false;
    }
    codec_ = TelnetCodec();
    {
        std::lock_guard<std::mutex> lock(outMutex_);
        out_.clear();
    }
    data_.clear();
    dataPos_ = 0;
    lost_ = false;
    if (!socket_.Connect(host, port, ConnectTimeoutMs, error)) return false;

    // Whatever the far side queued before the purge is not ours.
    codec_.DropUntilPurged();
    Send(codec_.Greeting());
    WaitFor([this] { return codec_.ComPortAccepted() || codec_.ComPortRefused(); },
            NegotiationTimeoutMs);
    if (codec_.ComPortAccepted()) {
        const uint32_t b = static_cast<uint32_t>(baud);
        ByteVector setup;
        auto add = [&setup](uint8_t command, const ByteVector& value) {
            const ByteVector c = TelnetCodec::ComPortCommand(command, value);
            setup.insert(setup.end(), c.begin(), c.end());
        };
        add(SET_BAUDRATE, {uint8_t(b >> 24), uint8_t(b >> 16), uint8_t(b >> 8), uint8_t(b)});
        add(SET_DATASIZE, {byteSize});
        add(SET_PARITY, {RemoteParity(parity)});
        add(SET_STOPSIZE, {RemoteStopSize(stopBits)});
        add(SET_CONTROL, {NO_FLOW_CONTROL});
        add(SET_CONTROL, {DTR_OFF});
        add(SET_CONTROL, {RTS_OFF});
        add(SET_LINESTATE_MASK, {0});
        add(SET_MODEMSTATE_MASK, {0});
        add(PURGE_DATA, {PURGE_BOTH});
        Send(setup);
        WaitFor([this] { return codec_.Answers(PURGE_DATA) > 0; }, NegotiationTimeoutMs);
    }
    codec_.StopDropping();
    data_.clear();
    dataPos_ = 0;
    if (lost_) {
        error = "the server closed the connection";
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
        const int n = socket_.Receive(raw, sizeof raw);
        if (n < 0) lost_ = true;
        if (n <= 0) break;
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
    if (out_.empty()) return;
    const int n = socket_.SendSome(out_.data(), static_cast<int>(out_.size()));
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

void Rfc2217Port::Close() {
    std::lock_guard<std::mutex> lock(closeMutex_);
    std::lock_guard<std::mutex> out(outMutex_);
    Flush(); // the last DTR change, where the server takes it
    out_.clear();
    socket_.Close();
}

} // namespace kaldor
