#pragma once
// Far ends for the remote serial port: a ser2net serving a device over RFC 2217, and a small
// RFC 2217 server that records what the console asks for.
#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "TestAmp.h"
#include "link/NonCopyable.h"
#include "link/TcpSocket.h"
#include "link/TelnetCodec.h"
#include "link/TlsStream.h"

namespace kaldor::test {

// A loopback TCP port that nobody listens on at the moment.
int FreeLoopbackPort();
// Whether something listens on 127.0.0.1:port (from /proc/net/tcp, without connecting).
bool Listening(int port);

// An address that does not answer, made without privileges: a listener on 127.0.0.1:port
// (0 for any free one) whose one-place backlog is already taken, so a connect to it waits for
// its time-out as one to a station that is switched off.
class SilentListener : NonCopyable {
public:
    explicit SilentListener(int port = 0);
    ~SilentListener();
    std::string Address() const { return "rfc2217://127.0.0.1:" + std::to_string(port_); }

private:
    int listen_ = -1;
    int filler_ = -1;
    int port_ = 0;
};

// ser2net serving device at rfc2217://127.0.0.1:<port>, with its own configuration; with tls,
// at rfc2217s:// (its ssl gensio asking for a client certificate in authdir/<CN>/allowed_certs).
class Ser2net {
public:
    struct Tls {
        std::string Key, Cert, AuthDir;
    };
    explicit Ser2net(std::string device, const Tls& tls = {});
    ~Ser2net();
    static bool Installed();
    // Starts it (again, on the same port) and waits until it listens; false if it does not.
    bool Start();
    void Stop();
    int Port() const { return port_; }
    std::string Address() const {
        return (tls_ ? "rfc2217s://127.0.0.1:" : "rfc2217://127.0.0.1:") + std::to_string(port_);
    }

private:
    bool tls_ = false;
    std::string device_;
    std::string config_;
    int port_;
    pid_t pid_ = -1;
};

// A TLS server on 127.0.0.1:port (0: a free one) with the certificate and key given, that
// records what a client sends after the handshake and answers nothing: a station whose
// certificate the console must check before it says a word.
class TlsStation {
public:
    TlsStation(const std::string& cert, const std::string& key, int port = 0);
    ~TlsStation();
    std::string Address() const { return "rfc2217s://127.0.0.1:" + std::to_string(port_); }
    int Port() const { return port_; }
    int Handshakes();
    Bytes Received();

private:
    void Serve();
    TlsServerIdentity identity_;
    TcpListener listener_;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex m_;
    int handshakes_ = 0;
    Bytes received_;
    std::thread thread_;
};

// A listener on a free loopback port served by a thread of its own, for the scripted servers
// below; their Serve ends when wake_[0] becomes readable.
class LoopbackServer : NonCopyable {
public:
    std::string Address() const { return "rfc2217://127.0.0.1:" + std::to_string(port_); }

protected:
    LoopbackServer() = default;
    ~LoopbackServer(); // closes the listener and the pipe
    // Listens (receiveBuffer > 0: that small a receive window, which accepted sockets inherit)
    // and runs serve on the thread; throws when it cannot.
    void Start(int backlog, int receiveBuffer, std::function<void()> serve);
    // Ends serve and waits for it: first in the server's destructor.
    void Stop();

    int listen_ = -1;
    int port_ = 0;
    int wake_[2] = {-1, -1};

private:
    std::thread thread_;
};

// Accepts one connection at a time, agrees to COM-PORT-OPTION, answers every command and
// records the commands and the (unescaped) data.
class RecordingServer : public LoopbackServer {
public:
    RecordingServer();
    ~RecordingServer();

    struct Command {
        uint8_t Code;
        Bytes Value;
        bool operator==(const Command& o) const { return Code == o.Code && Value == o.Value; }
    };
    // Waits until pred holds on the records, or timeoutMs.
    bool WaitUntil(const std::function<bool(const std::vector<Command>&, const Bytes&)>& pred,
                   int timeoutMs = 3000);
    std::vector<Command> Commands();
    Bytes Data();
    std::vector<uint8_t> Options(); // the options the client does, in their numbers' order
    // Raw bytes to the client, as they are.
    void SendRaw(const Bytes& bytes);
    // Ends the connection.
    void Drop();

private:
    void Serve();
    // Hands what came to the codec and sends back what it answers.
    void FeedAndReply(const uint8_t* in, size_t n);
    void NewCodec();

    int conn_ = -1;
    std::mutex m_;
    std::condition_variable cv_;
    std::vector<Command> commands_;
    Bytes data_;
    TelnetCodec codec_;
};

// A server that never reads what the console sends and behaves as the kind says, on every
// connection it accepts. Its small receive window fills at once, so the console's sends block.
class HostileServer : public LoopbackServer {
public:
    enum class Kind {
        FloodsOptionRequests, // DO for a refused option and DO, DONT for binary, without end
        EndlessSubnegotiation, // IAC SB COM-PORT-OPTION and never IAC SE
        RandomBytes,
        AcceptsAndCloses,
        Silent, // accepts and never answers
        EndlessTlsHandshake, // TLS records of one handshake message that never ends
        TlsCutShort, // the start of a TLS record, then the close
    };
    explicit HostileServer(Kind kind);
    ~HostileServer();

private:
    void Serve();

    Kind kind_;
    std::vector<int> conns_;
};

} // namespace kaldor::test
