#include "RemoteServers.h"

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

#include "link/TelnetCodec.h"

namespace kaldor::test {

using namespace kaldor::telnet;

namespace {

int BoundLoopbackSocket(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int LocalPort(int fd) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    return ntohs(a.sin_port);
}

} // namespace

int FreeLoopbackPort() {
    const int fd = BoundLoopbackSocket(0);
    if (fd < 0) throw std::runtime_error("no free loopback port");
    const int port = LocalPort(fd);
    ::close(fd);
    return port;
}

bool Listening(int port) {
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "0100007F:%04X", port);
    std::ifstream tcp("/proc/net/tcp");
    std::string line;
    while (std::getline(tcp, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (local == wanted && state == "0A") return true;
    }
    return false;
}

// --- A silent address ---------------------------------------------------------------------------

SilentListener::SilentListener(int port) {
    listen_ = BoundLoopbackSocket(port);
    if (listen_ < 0 || ::listen(listen_, 0) != 0) throw std::runtime_error("cannot listen");
    port_ = LocalPort(listen_);
    filler_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port_));
    if (::connect(filler_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        throw std::runtime_error("cannot fill the backlog");
}

SilentListener::~SilentListener() {
    for (int fd : {filler_, listen_})
        if (fd >= 0) ::close(fd);
}

// --- ser2net ----------------------------------------------------------------------------------

Ser2net::Ser2net(std::string device, const Tls& tls)
    : tls_(!tls.Cert.empty()), device_(std::move(device)), port_(FreeLoopbackPort()) {
    char path[] = "/tmp/kaldor-ser2net-XXXXXX.yaml";
    const int fd = ::mkstemps(path, 5);
    if (fd < 0) throw std::runtime_error("no configuration file");
    config_ = path;
    const std::string yaml = "%YAML 1.1\n---\n"
                             "connection: &amp\n"
                             "  accepter: telnet(rfc2217)," +
                             (tls_ ? "ssl(key=" + tls.Key + ",cert=" + tls.Cert + ",clientauth)," : std::string()) +
                             "tcp,127.0.0.1," + std::to_string(port_) + "\n"
                             "  connector: serialdev," + device_ + ",9600n81,local\n"
                             "  options:\n"
                             "    kickolduser: true\n" +
                             (tls_ ? "    authdir: " + tls.AuthDir + "\n" : std::string());
    [[maybe_unused]] ssize_t ignored = ::write(fd, yaml.data(), yaml.size());
    ::close(fd);
}

Ser2net::~Ser2net() {
    Stop();
    ::unlink(config_.c_str());
}

bool Ser2net::Installed() { return ::access("/usr/sbin/ser2net", X_OK) == 0; }

bool Ser2net::Start() {
    Stop();
    pid_ = ::fork();
    if (pid_ == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 1);
        ::dup2(null, 2); // it complains about its network announcements
        // -n: stay in the foreground as our child; -u: no lock files in /var/lock
        ::execl("/usr/sbin/ser2net", "ser2net", "-n", "-u", "-c", config_.c_str(), nullptr);
        ::_exit(127);
    }
    for (int i = 0; i < 300; ++i) {
        if (Listening(port_)) return true;
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) break;
        ::usleep(10000);
    }
    pid_ = -1;
    return false;
}

void Ser2net::Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

// --- TLS station ------------------------------------------------------------------------------

TlsStation::TlsStation(const std::string& cert, const std::string& key, int port) {
    std::string error;
    if (!identity_.Load(cert, key, "", error) || !listener_.Listen("127.0.0.1", std::to_string(port), error))
        throw std::runtime_error(error);
    port_ = listener_.Port();
    thread_ = std::thread([this] { Serve(); });
}

TlsStation::~TlsStation() {
    stop_ = true;
    listener_.Wake();
    thread_.join();
}

int TlsStation::Handshakes() {
    std::lock_guard<std::mutex> lock(m_);
    return handshakes_;
}

Bytes TlsStation::Received() {
    std::lock_guard<std::mutex> lock(m_);
    return received_;
}

void TlsStation::Serve() {
    TcpSocket client;
    std::unique_ptr<TlsStream> tls;
    while (!stop_) {
        if (listener_.Wait(client, 50) != TcpSocket::WaitResult::Readable) continue;
        if (listener_.Accept(client)) {
            tls = std::make_unique<TlsStream>(client);
            CertificateInfo peer;
            std::string error;
            if (!tls->Accept(identity_, 2000, peer, error)) {
                tls.reset();
                client.Close();
                continue;
            }
            std::lock_guard<std::mutex> lock(m_);
            ++handshakes_;
        }
        uint8_t buf[512];
        const int n = tls ? tls->Receive(buf, sizeof buf) : -1;
        if (n < 0) {
            tls.reset();
            client.Close();
        }
        std::lock_guard<std::mutex> lock(m_);
        if (n > 0) received_.insert(received_.end(), buf, buf + n);
    }
}

// --- Loopback server --------------------------------------------------------------------------

LoopbackServer::~LoopbackServer() {
    for (int fd : {listen_, wake_[0], wake_[1]})
        if (fd >= 0) ::close(fd);
}

void LoopbackServer::Start(int backlog, int receiveBuffer, std::function<void()> serve) {
    listen_ = BoundLoopbackSocket(0);
    if (receiveBuffer > 0)
        ::setsockopt(listen_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    if (listen_ < 0 || ::listen(listen_, backlog) != 0) throw std::runtime_error("cannot listen");
    port_ = LocalPort(listen_);
    if (::pipe2(wake_, O_CLOEXEC) != 0) throw std::runtime_error("no pipe");
    thread_ = std::thread(std::move(serve));
}

void LoopbackServer::Stop() {
    const char b = 0;
    [[maybe_unused]] ssize_t ignored = ::write(wake_[1], &b, 1);
    if (thread_.joinable()) thread_.join();
}

// --- Recording server -------------------------------------------------------------------------

// Every option the client offers agreed; every command answered with its own value.
void RecordingServer::NewCodec() {
    codec_ = TelnetCodec(TelnetCodec::Server());
    codec_.OnSubnegotiation = [this](const Bytes& sub, Bytes& reply) {
        if (sub.size() < 2 || sub[0] != OPT_COM_PORT) return;
        commands_.push_back({sub[1], Bytes(sub.begin() + 2, sub.end())});
        const Bytes answer = TelnetCodec::ComPortCommand(static_cast<uint8_t>(sub[1] + SERVER_OFFSET),
                                                         Bytes(sub.begin() + 2, sub.end()));
        reply.insert(reply.end(), answer.begin(), answer.end());
    };
}

RecordingServer::RecordingServer() { Start(4, 0, [this] { Serve(); }); }

RecordingServer::~RecordingServer() {
    Stop();
    if (conn_ >= 0) ::close(conn_);
}

void RecordingServer::Serve() {
    for (;;) {
        int conn;
        {
            std::lock_guard<std::mutex> lock(m_);
            conn = conn_;
        }
        pollfd fds[2] = {{wake_[0], POLLIN, 0}, {conn >= 0 ? conn : listen_, POLLIN, 0}};
        if (::poll(fds, 2, -1) <= 0) continue;
        if (fds[0].revents) return;
        if (conn < 0) {
            const int c = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            std::lock_guard<std::mutex> lock(m_);
            conn_ = c;
            NewCodec();
            continue;
        }
        uint8_t buf[1024];
        const ssize_t n = ::recv(conn, buf, sizeof buf, 0);
        std::lock_guard<std::mutex> lock(m_);
        if (n <= 0) {
            ::close(conn_);
            conn_ = -1;
        } else {
            FeedAndReply(buf, static_cast<size_t>(n));
        }
        cv_.notify_all();
    }
}

// Called with m_ held.
void RecordingServer::FeedAndReply(const uint8_t* in, size_t n) {
    Bytes reply;
    codec_.Feed(in, n, data_, reply);
    if (!reply.empty() && conn_ >= 0)
        [[maybe_unused]] ssize_t ignored = ::send(conn_, reply.data(), reply.size(), MSG_NOSIGNAL);
}

bool RecordingServer::WaitUntil(
    const std::function<bool(const std::vector<Command>&, const Bytes&)>& pred, int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                        [&] { return pred(commands_, data_); });
}

std::vector<RecordingServer::Command> RecordingServer::Commands() {
    std::lock_guard<std::mutex> lock(m_);
    return commands_;
}

Bytes RecordingServer::Data() {
    std::lock_guard<std::mutex> lock(m_);
    return data_;
}

std::vector<uint8_t> RecordingServer::Options() {
    std::lock_guard<std::mutex> lock(m_);
    std::vector<uint8_t> on;
    for (int option = 0; option < 256; ++option)
        if (codec_.PeerEnabled(static_cast<uint8_t>(option))) on.push_back(static_cast<uint8_t>(option));
    return on;
}

void RecordingServer::SendRaw(const Bytes& bytes) {
    std::lock_guard<std::mutex> lock(m_);
    if (conn_ >= 0)
        [[maybe_unused]] ssize_t ignored = ::send(conn_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

void RecordingServer::Drop() {
    std::lock_guard<std::mutex> lock(m_);
    if (conn_ >= 0) ::shutdown(conn_, SHUT_RDWR);
}

// --- Hostile server ---------------------------------------------------------------------------

HostileServer::HostileServer(Kind kind) : kind_(kind) { Start(8, 1024, [this] { Serve(); }); }

HostileServer::~HostileServer() {
    Stop();
    for (int fd : conns_) ::close(fd);
}

void HostileServer::Serve() {
    Bytes chunk;
    if (kind_ == Kind::FloodsOptionRequests)
        for (int i = 0; i < 3000; ++i) // a refused option, and one that changes every time
            chunk.insert(chunk.end(), {IAC, DO, 24, IAC, DO, OPT_BINARY, IAC, DONT, OPT_BINARY});
    if (kind_ == Kind::EndlessSubnegotiation) chunk.assign(30000, 0x55);
    if (kind_ == Kind::EndlessTlsHandshake) { // full records; the first starts a 16 MB message
        chunk.assign({0x16, 0x03, 0x03, 0x40, 0x00, 0x02, 0xFF, 0xFF, 0xFF});
        chunk.resize(5 + 0x4000, 0x30);
    }
    uint32_t seed = 12345;
    for (;;) {
        const bool sending = kind_ != Kind::Silent && kind_ != Kind::AcceptsAndCloses &&
                             kind_ != Kind::TlsCutShort && !conns_.empty();
        pollfd fds[2] = {{wake_[0], POLLIN, 0}, {listen_, POLLIN, 0}};
        if (::poll(fds, 2, sending ? 1 : -1) < 0) continue;
        if (fds[0].revents) return;
        if (fds[1].revents) {
            const int c = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (c >= 0 && kind_ == Kind::TlsCutShort) {
                const Bytes start{0x16, 0x03, 0x03, 0x00, 0x50, 0x02, 0x00};
                [[maybe_unused]] ssize_t ignored = ::send(c, start.data(), start.size(), MSG_NOSIGNAL);
                ::close(c);
            } else if (c >= 0 && kind_ == Kind::AcceptsAndCloses) {
                ::close(c);
            } else if (c >= 0) {
                conns_.push_back(c);
                if (kind_ == Kind::EndlessSubnegotiation) {
                    const Bytes open{IAC, SB, OPT_COM_PORT, 107};
                    [[maybe_unused]] ssize_t ignored = ::send(c, open.data(), open.size(), MSG_NOSIGNAL);
                }
            }
        }
        if (!sending) continue;
        if (kind_ == Kind::RandomBytes) {
            chunk.resize(30000);
            for (uint8_t& b : chunk) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
        }
        for (int c : conns_) // non-blocking: a full window just skips this round
            [[maybe_unused]] ssize_t ignored = ::send(c, chunk.data(), chunk.size(), MSG_NOSIGNAL);
    }
}

} // namespace kaldor::test
