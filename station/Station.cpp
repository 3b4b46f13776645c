#include "station/Station.h"

#include <algorithm>
#include <iostream>

#include "link/ComPortServer.h"
#include "link/StationRole.h"
#include "link/TelnetCodec.h"

namespace kaldor::station {

namespace {
constexpr int kWaitMs = 100;     // stop flags and the injected clock are looked at this often
constexpr int kReadBatchMs = 20; // what the line brings within this goes out as one batch
constexpr int kReceiveRounds = 8; // receives per wake-up: a flooding console yields to its own sends
// A console that sends more than this within a second (by Now()) floods: the line carries about
// a kilobyte a second, and a console has nothing else to say.
constexpr size_t kFloodBytes = 16 * 1024;

std::string Seconds(double s) { return std::to_string(static_cast<int>(s)) + " s"; }
} // namespace

struct Station::Listener {
    TcpListener Socket;
    bool Tls = false;
    std::thread Thread;
};

struct Station::Console {
    int Id = 0;
    bool Tls = false;
    std::string User, Address;
    TcpSocket Socket;
    std::unique_ptr<TlsStream> Stream; // over Socket, with TLS
    ComPortServer Server;
    TelnetCodec Codec{Server.MakeCodec()};
    std::atomic<bool> Joined{false}, Done{false};
    bool Claimed = false;     // its thread's
    bool SpokeComPort = false; // its thread's: it sent a COM-PORT-OPTION sub-negotiation
    std::thread Thread;
    size_t Received = 0; // within the second that began at ReceivedSince
    TDateTime ReceivedSince = 0;

    std::mutex M; // what follows: filled by the line's reader and the arbiter's effects
    ByteVector Out;
    size_t OutPos = 0;
    bool RoleDirty = true;
    std::string Drop; // why it is to be dropped, when it is
    TDateTime WaitingSince = 0; // since when what waits has not moved

    // False when the queue would pass MaxQueued: the console is then dropped. M held.
    bool Queue(const ByteVector& bytes) {
        if (Out.size() - OutPos + bytes.size() > MaxQueued) {
            if (Drop.empty()) Drop = "its queue passed " + std::to_string(MaxQueued / 1024) + " KiB";
            return false;
        }
        if (OutPos == Out.size()) {
            Out.clear();
            OutPos = 0;
            WaitingSince = Now();
        }
        Out.insert(Out.end(), bytes.begin(), bytes.end());
        return true;
    }
};

Station::Station(StationOptions options, Log log) : options_(std::move(options)), log_(std::move(log)) {}

Station::~Station() { Stop(); }

void Station::Write(const std::string& line) {
    std::lock_guard<std::mutex> lock(logMutex_);
    if (log_) log_(line);
    else std::cerr << "kaldor-station: " << line << std::endl;
}

bool Station::Start(std::string& error) {
    stop_ = false;
    auto listen = [&](std::unique_ptr<Listener>& l, const std::string& host, const std::string& port, bool tls,
                      int& bound) {
        l = std::make_unique<Listener>();
        l->Tls = tls;
        if (!l->Socket.Listen(host, port, error)) {
            error = "cannot listen on " + host + " port " + port + ": " + error;
            return false;
        }
        bound = l->Socket.Port();
        return true;
    };
    if (!options_.ListenHost.empty()) {
        if (!identity_.Load(options_.CertFile, options_.KeyFile, "", error)) return false;
        identity_.AskForAnyClientCertificate(); // judged against the authdir
        if (!listen(tls_, options_.ListenHost, options_.ListenPort, true, tlsPort_)) return false;
    }
    if (!options_.PlainHost.empty()) {
        if (!IsLoopbackAddress(options_.PlainHost)) {
            error = "a plain listener on " + options_.PlainHost + ": loopback only";
            return false;
        }
        if (!listen(plain_, options_.PlainHost, options_.PlainPort, false, plainPort_)) return false;
    }
    reader_ = std::thread([this] { ReadLine(); });
    for (Listener* l : {tls_.get(), plain_.get()})
        if (l) l->Thread = std::thread([this, l] { AcceptLoop(*l); });
    if (tls_) Write("serving over TLS on " + options_.ListenHost + " port " + std::to_string(tlsPort_));
    if (plain_) Write("serving plain on " + options_.PlainHost + " port " + std::to_string(plainPort_) +
                      " to local user " + options_.LocalUser);
    return true;
}

void Station::Stop() {
    stop_ = true;
    for (Listener* l : {tls_.get(), plain_.get()}) {
        if (!l) continue;
        l->Socket.Wake();
        if (l->Thread.joinable()) l->Thread.join();
    }
    {
        std::lock_guard<std::mutex> lock(wakeMutex_);
        wake_.notify_all();
    }
    {
        std::lock_guard<std::mutex> lock(lineMutex_);
        line_.CancelRead();
    }
    if (reader_.joinable()) reader_.join();
    {
        std::lock_guard<std::mutex> lock(consolesMutex_);
        for (auto& c : consoles_) c->Socket.Wake();
    }
    Reap(true);
    std::lock_guard<std::mutex> lock(lineMutex_);
    line_.Close();
}

size_t Station::Consoles() {
    Reap(false);
    std::lock_guard<std::mutex> lock(consolesMutex_);
    return consoles_.size();
}

bool Station::DeviceOpen() {
    std::lock_guard<std::mutex> lock(lineMutex_);
    return line_.IsOpen();
}

void Station::Reap(bool all) {
    std::list<std::shared_ptr<Console>> gone;
    {
        std::lock_guard<std::mutex> lock(consolesMutex_);
        for (auto it = consoles_.begin(); it != consoles_.end();) {
            if (all || (*it)->Done) gone.splice(gone.end(), consoles_, it++);
            else ++it;
        }
    }
    for (auto& c : gone)
        if (c->Thread.joinable()) c->Thread.join();
}

// --- Consoles -------------------------------------------------------------------------------

void Station::AcceptLoop(Listener& listener) {
    TcpSocket none; // never open: the wait is for the listener alone
    while (!stop_) {
        auto console = std::make_shared<Console>();
        const TcpSocket::WaitResult r = listener.Socket.Wait(none, kWaitMs);
        if (r == TcpSocket::WaitResult::Failed) SleepMs(kWaitMs); // no busy loop
        Reap(false);
        if (stop_ || !listener.Socket.Accept(console->Socket)) continue;
        std::lock_guard<std::mutex> lock(consolesMutex_);
        if (consoles_.size() >= MaxConsoles) {
            Write("refused " + console->Socket.PeerAddress() + ": already " + std::to_string(MaxConsoles) +
                  " consoles");
            continue; // closed as it goes
        }
        console->Socket.LimitSendBuffer(static_cast<int>(MaxQueued / 2));
        console->Id = nextId_++;
        console->Tls = listener.Tls;
        consoles_.push_back(console);
        console->Thread = std::thread([this, console] { Serve(console); });
    }
}

bool Station::Admit(Console& c) {
    c.Address = c.Socket.PeerAddress();
    std::string user = options_.LocalUser;
    if (c.Tls) {
        // Bounded, in this console's own thread: a console that never shakes hands holds up
        // nobody else.
        c.Stream = std::make_unique<TlsStream>(c.Socket);
        CertificateInfo cert;
        std::string error;
        if (!c.Stream->Accept(identity_, TlsStream::HandshakeTimeoutMs, cert, error)) {
            Write("refused " + c.Address + ": TLS handshake failed: " + error);
            return false;
        }
        if (cert.Fingerprint.empty()) {
            Write("refused " + c.Address + ": it showed no certificate");
            return false;
        }
        user = UserNameOnLine(cert.CommonName);
        // A user's name travels in the role texts as it is: printable, without blanks, short.
        const bool nameFits = user == cert.CommonName;
        if (!nameFits || !CertificateAllowed(options_.AuthDir, cert)) {
            Write("refused " + c.Address + ": certificate " + cert.Subject + " (SHA-256 " + cert.Fingerprint + ")" +
                  (!nameFits       ? " names no user (blanks, or more than " + std::to_string(MaxUserName) +
                                         " characters)"
                   : cert.Current ? " is not in " + options_.AuthDir + "/" + cert.CommonName + "/allowed_certs"
                                  : " is not valid now"));
            return false;
        }
    }
    c.User = user;
    const bool isOperator = options_.IsOperator(user);
    std::lock_guard<std::mutex> lock(arbiterMutex_);
    const ArbiterEffects fx = arbiter_.Join(c.Id, user, isOperator);
    const StationRole role = arbiter_.RoleOf(c.Id);
    Write(user + " connects from " + c.Address + (c.Tls ? " (TLS)" : " (plain)") +
          (isOperator ? " as operator" : " as watcher") +
          (role.Operating ? ", operating" : ", watching " + (role.Holder.empty() ? std::string("-") : role.Holder)));
    c.Joined = true;
    Apply(fx);
    return true;
}

void Station::Serve(const std::shared_ptr<Console>& console) {
    Console& c = *console;
    c.WaitingSince = c.ReceivedSince = Now();
    std::string why = "the station stops";
    if (Admit(c)) {
        c.Server.DtrChanged = [this, &c](bool raised) {
            std::lock_guard<std::mutex> lock(arbiterMutex_);
            Apply(arbiter_.SetDtr(c.Id, raised));
        };
        c.Server.Signature = [this, &c](const std::string& text) {
            std::lock_guard<std::mutex> lock(arbiterMutex_);
            std::string seen;
            if (ParseTakeControl(text, seen)) Apply(arbiter_.TakeControl(c.Id, seen), c.Id);
            return StationSignature(arbiter_.RoleOf(c.Id));
        };
        // A client may take its own WILL COM-PORT-OPTION for said once our DO came first
        // (pyserial does): its COM-PORT-OPTION commands say as much.
        c.Codec.OnSubnegotiation = [&c, answer = c.Codec.OnSubnegotiation](const ByteVector& sub,
                                                                          ByteVector& replies) {
            if (!sub.empty() && sub[0] == telnet::OPT_COM_PORT) c.SpokeComPort = true;
            answer(sub, replies);
        };
        {
            std::lock_guard<std::mutex> lock(c.M);
            c.Queue(c.Codec.Greeting());
        }
        bool closed = false, dropped = false;
        while (!stop_ && !closed && !dropped) {
            Pump(c, closed);
            std::lock_guard<std::mutex> lock(c.M);
            dropped = !c.Drop.empty();
            if (dropped) why = c.Drop;
        }
        if (closed && !dropped) why = "it closed the connection";
        std::lock_guard<std::mutex> lock(arbiterMutex_);
        const ArbiterEffects fx = arbiter_.Leave(c.Id);
        Write((dropped ? "dropped " : "") + c.User + (dropped ? " (" : " leaves (") + c.Address + "): " + why);
        c.Joined = false;
        Apply(fx);
    }
    if (c.Stream) c.Stream->Shutdown();
    c.Stream.reset();
    c.Socket.Close();
    c.Done = true;
}

void Station::Pump(Console& c, bool& closed) {
    auto drop = [&c](const std::string& why) {
        std::lock_guard<std::mutex> lock(c.M);
        if (c.Drop.empty()) c.Drop = why;
    };
    bool pending;
    {
        std::lock_guard<std::mutex> lock(c.M);
        pending = c.OutPos < c.Out.size();
    }
    pending = pending || (c.Stream && c.Stream->Backlog());
    const TcpSocket::WaitResult r = c.Stream && c.Stream->Readable() ? TcpSocket::WaitResult::Readable
                                                                      : c.Socket.WaitReadable(kWaitMs, pending);
    if (r == TcpSocket::WaitResult::Failed) return drop("its connection failed");
    uint8_t buffer[4096];
    for (int round = 0; round < kReceiveRounds; ++round) {
        const int n = c.Stream ? c.Stream->Receive(buffer, sizeof buffer) : c.Socket.Receive(buffer, sizeof buffer);
        if (n < 0) {
            closed = true;
            return;
        }
        if (n == 0) break;
        if (Now() - c.ReceivedSince >= OneSecond) {
            c.ReceivedSince = Now();
            c.Received = 0;
        }
        c.Received += static_cast<size_t>(n);
        if (c.Received > kFloodBytes) return drop("it sent more than " + std::to_string(kFloodBytes / 1024) +
                                                  " KiB within a second");
        Received(c, buffer, static_cast<size_t>(n));
    }
    // Once it speaks RFC 2217 (its Telnet layer agreed to COM-PORT-OPTION, or it sent a command
    // of it) it may take control, and it is told its role then and at every change.
    bool tell = false;
    if ((c.Codec.PeerEnabled(telnet::OPT_COM_PORT) || c.SpokeComPort) && !c.Claimed) {
        c.Claimed = true;
        std::lock_guard<std::mutex> lock(arbiterMutex_);
        Apply(arbiter_.Claim(c.Id));
    }
    if (c.Claimed) {
        std::lock_guard<std::mutex> lock(c.M);
        tell = c.RoleDirty;
        c.RoleDirty = false;
    }
    if (tell) {
        std::string text;
        {
            std::lock_guard<std::mutex> lock(arbiterMutex_);
            text = StationSignature(arbiter_.RoleOf(c.Id));
        }
        std::lock_guard<std::mutex> lock(c.M);
        c.Queue(SignatureCommand(telnet::SIGNATURE + telnet::SERVER_OFFSET, text));
    }
    std::lock_guard<std::mutex> lock(c.M);
    while (c.OutPos < c.Out.size()) {
        const int size = static_cast<int>(std::min<size_t>(c.Out.size() - c.OutPos, 16 * 1024));
        const uint8_t* data = c.Out.data() + c.OutPos;
        const int n = c.Stream ? c.Stream->SendSome(data, size) : c.Socket.SendSome(data, size);
        if (n < 0) {
            closed = true;
            return;
        }
        if (n == 0) break;
        c.OutPos += static_cast<size_t>(n);
        c.WaitingSince = Now();
    }
    if (c.Stream && c.Stream->Backlog() && c.Stream->SendSome(c.Out.data(), 0) < 0) closed = true;
    if (c.OutPos == c.Out.size()) {
        c.Out.clear();
        c.OutPos = 0;
        c.WaitingSince = Now();
    } else if (c.OutPos > MaxQueued / 2) {
        c.Out.erase(c.Out.begin(), c.Out.begin() + static_cast<std::ptrdiff_t>(c.OutPos));
        c.OutPos = 0;
    }
    if (Now() - c.WaitingSince > StallSeconds * OneSecond && c.Drop.empty())
        c.Drop = "it took nothing for " + Seconds(StallSeconds);
}

void Station::Received(Console& c, const uint8_t* bytes, size_t n) {
    ByteVector data, replies;
    c.Codec.Feed(bytes, n, data, replies);
    if (!replies.empty()) {
        std::lock_guard<std::mutex> lock(c.M);
        c.Queue(replies);
    }
    if (data.empty()) return;
    {
        std::lock_guard<std::mutex> lock(arbiterMutex_);
        if (!arbiter_.Holds(c.Id)) return; // a watcher's keys go nowhere
    }
    std::lock_guard<std::mutex> lock(lineMutex_);
    if (line_.IsOpen()) line_.Write(data.data(), static_cast<int>(data.size()));
}

// arbiterMutex_ held.
void Station::Apply(const ArbiterEffects& fx, int answering) {
    for (const std::string& e : fx.Events) Write(e);
    if (fx.Dtr >= 0) {
        std::lock_guard<std::mutex> lock(lineMutex_);
        if (line_.IsOpen()) fx.Dtr ? line_.SetDtr() : line_.ClearDtr();
    }
    if (fx.Tell.empty()) return;
    std::lock_guard<std::mutex> lock(consolesMutex_);
    for (auto& c : consoles_) {
        if (c->Id == answering || std::find(fx.Tell.begin(), fx.Tell.end(), c->Id) == fx.Tell.end()) continue;
        std::lock_guard<std::mutex> cl(c->M);
        c->RoleDirty = true;
        c->Socket.Nudge();
    }
}

// --- The line -------------------------------------------------------------------------------

void Station::Fanout(const uint8_t* bytes, size_t n) {
    ByteVector escaped;
    TelnetCodec::AppendEscaped(bytes, n, escaped);
    std::lock_guard<std::mutex> lock(consolesMutex_);
    for (auto& c : consoles_) {
        if (!c->Joined) continue; // nothing before its certificate is judged
        std::lock_guard<std::mutex> cl(c->M);
        if (c->Queue(escaped)) c->Socket.Nudge();
        else c->Socket.Wake();
    }
}

void Station::ReadLine() {
    SerialPort port; // the reader's copy of line_
    TDateTime nextOpen = Now();
    bool missing = false; // said so already
    bool wasOpen = false;
    uint8_t buffer[512];
    while (!stop_) {
        if (!port.IsOpen() && Now() >= nextOpen) {
            nextOpen = Now() + ReopenSeconds * OneSecond;
            if (port.OpenDevice(options_.Device, AmplifierLine)) {
                port.SetTimeouts(kReadBatchMs);
                std::lock_guard<std::mutex> arbiterLock(arbiterMutex_);
                std::lock_guard<std::mutex> lock(lineMutex_);
                line_ = port;
                // The line as the holder left it when the device went.
                if (arbiter_.LineDtr()) line_.SetDtr();
                Write("device " + options_.Device + (wasOpen ? " is back" : " open"));
                missing = false;
                wasOpen = true;
            } else if (!missing) {
                Write("device " + options_.Device + " does not open (" + port.OpenFailure() +
                      "); looking for it every " + Seconds(ReopenSeconds));
                missing = true;
            }
        }
        if (port.IsOpen()) {
            // The first byte as soon as it comes, then what waits with it (or follows within
            // kReadBatchMs): one batch, one wake-up per console.
            int n = port.Read(buffer, 1);
            if (n == 1 && !port.LastReadFailed()) n += std::max(0, port.Read(buffer + 1, sizeof buffer - 1));
            if (n > 0) Fanout(buffer, static_cast<size_t>(n));
            if (port.LastReadFailed() && !stop_) {
                nextOpen = Now() + ReopenSeconds * OneSecond;
                missing = true;
                {
                    std::lock_guard<std::mutex> lock(lineMutex_);
                    line_.Close();
                }
                port.Close();
                Write("device " + options_.Device + " lost; looking for it every " + Seconds(ReopenSeconds));
            }
        } else {
            std::unique_lock<std::mutex> lock(wakeMutex_);
            wake_.wait_for(lock, std::chrono::milliseconds(kWaitMs), [this] { return stop_.load(); });
        }
        std::lock_guard<std::mutex> lock(arbiterMutex_);
        Apply(arbiter_.Tick());
    }
    port.Close();
}

} // namespace kaldor::station
