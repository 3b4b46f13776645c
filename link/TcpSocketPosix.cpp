#ifndef _WIN32
#include "TcpSocket.h"

#include "NameLookup.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kaldor {
namespace {

#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL; // a closed peer must not kill the console with SIGPIPE
#else
constexpr int kSendFlags = 0;
#endif

int MsLeft(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Connects fd to one address within the deadline, unless wake becomes readable first; false
// with errno set.
bool ConnectOne(int fd, const addrinfo& a, std::chrono::steady_clock::time_point deadline, int wake) {
    if (::connect(fd, a.ai_addr, a.ai_addrlen) == 0) return true;
    if (errno != EINPROGRESS) return false;
    for (;;) {
        pollfd p[2] = {{fd, POLLOUT, 0}, {wake, POLLIN, 0}};
        const int r = ::poll(p, wake >= 0 ? 2 : 1, MsLeft(deadline));
        if (r < 0 && errno == EINTR) continue;
        if (r == 0) errno = ETIMEDOUT;
        if (r <= 0) return false;
        if (p[1].revents) {
            errno = ECANCELED;
            return false;
        }
        int err = 0;
        socklen_t len = sizeof err;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
        errno = err;
        return err == 0;
    }
}

void DrainNudges(int wake) {
    char bytes[64];
    while (wake >= 0 && ::read(wake, bytes, sizeof bytes) > 0) {
    }
}

} // namespace

struct TcpSocket::Impl {
    int Fd = -1;
    int Wake[2] = {-1, -1};
    std::atomic<bool> Woken{false};
};

// The wake pipe lives as long as the object, so Wake from another thread never meets a pipe
// that Close or Connect is replacing.
TcpSocket::TcpSocket() : impl_(std::make_unique<Impl>()) {
    if (::pipe2(impl_->Wake, O_NONBLOCK | O_CLOEXEC) != 0) impl_->Wake[0] = impl_->Wake[1] = -1;
}

TcpSocket::~TcpSocket() {
    Close();
    for (int w : impl_->Wake)
        if (w >= 0) ::close(w);
}

bool TcpSocket::IsOpen() const { return impl_->Fd >= 0; }

void TcpSocket::LimitSendBuffer(int bytes) {
    if (impl_->Fd >= 0) ::setsockopt(impl_->Fd, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
}

std::string TcpSocket::PeerAddress() const {
    sockaddr_storage peer{};
    socklen_t size = sizeof peer;
    char host[NI_MAXHOST] = {};
    if (impl_->Fd < 0 || ::getpeername(impl_->Fd, reinterpret_cast<sockaddr*>(&peer), &size) != 0 ||
        ::getnameinfo(reinterpret_cast<sockaddr*>(&peer), size, host, sizeof host, nullptr, 0, NI_NUMERICHOST) != 0)
        return {};
    return host;
}

bool TcpSocket::Connect(const std::string& host, const std::string& port, int timeoutMs,
                        std::string& error) {
    Close();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    error = std::strerror(ECANCELED);
    if (impl_->Woken) return false;
    DrainNudges(impl_->Wake[0]); // meant for the connection before
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (const int rc = LookUpName(host, port, hints, timeoutMs, impl_->Woken, &list); rc != 0) {
        error = ::gai_strerror(rc);
        return false;
    }
    error = "no address";
    for (const addrinfo* a = list; a; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                a->ai_protocol);
        if (fd < 0) {
            error = std::strerror(errno);
            continue;
        }
        if (ConnectOne(fd, *a, deadline, impl_->Wake[0])) {
            int on = 1; // key frames are small and must leave at once
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            impl_->Fd = fd;
            break;
        }
        error = std::strerror(errno);
        ::close(fd);
        if (MsLeft(deadline) == 0 || impl_->Woken) break;
    }
    ::freeaddrinfo(list);
    return impl_->Fd >= 0;
}

TcpSocket::WaitResult TcpSocket::WaitReadable(int timeoutMs, bool writable) {
    if (impl_->Fd < 0) return WaitResult::Failed;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const short events = writable ? POLLIN | POLLOUT : POLLIN;
    for (;;) {
        if (impl_->Woken) return WaitResult::Woken;
        pollfd fds[2] = {{impl_->Fd, events, 0}, {impl_->Wake[0], POLLIN, 0}};
        const int r = ::poll(fds, impl_->Wake[0] >= 0 ? 2 : 1, MsLeft(deadline));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return WaitResult::Failed;
        if (r == 0) return WaitResult::TimedOut;
        if (impl_->Woken) return WaitResult::Woken;
        if (fds[1].revents) DrainNudges(impl_->Wake[0]);
        return WaitResult::Readable; // data, the peer's close, an error or room: the caller tries
    }
}

int TcpSocket::Receive(uint8_t* buffer, int size) {
    if (impl_->Fd < 0) return -1;
    for (;;) {
        const ssize_t n = ::recv(impl_->Fd, buffer, static_cast<size_t>(size), 0);
        if (n > 0) return static_cast<int>(n);
        if (n == 0) return -1;
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
}

int TcpSocket::SendSome(const uint8_t* data, int size) {
    if (impl_->Fd < 0) return -1;
    for (;;) {
        const ssize_t n = ::send(impl_->Fd, data, static_cast<size_t>(size), kSendFlags);
        if (n >= 0) return static_cast<int>(n);
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
}

bool TcpSocket::WaitWritable(int timeoutMs) {
    if (impl_->Fd < 0) return false;
    pollfd p{impl_->Fd, POLLOUT, 0};
    int r;
    do r = ::poll(&p, 1, timeoutMs);
    while (r < 0 && errno == EINTR);
    return r > 0 && !(p.revents & (POLLERR | POLLHUP | POLLNVAL));
}

void TcpSocket::Wake() {
    impl_->Woken = true;
    if (impl_->Wake[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] ssize_t ignored = ::write(impl_->Wake[1], &byte, 1);
    }
}

void TcpSocket::Nudge() {
    if (impl_->Wake[1] >= 0) {
        const char byte = 0;
        [[maybe_unused]] ssize_t ignored = ::write(impl_->Wake[1], &byte, 1); // a full pipe nudges too
    }
}

void TcpSocket::Close() {
    if (impl_->Fd >= 0) ::close(impl_->Fd);
    impl_->Fd = -1;
}

// --- The listener ---------------------------------------------------------------------------

struct TcpListener::Impl {
    int Fd = -1;
    int Wake[2] = {-1, -1};
};

TcpListener::TcpListener() : impl_(std::make_unique<Impl>()) {
    if (::pipe2(impl_->Wake, O_NONBLOCK | O_CLOEXEC) != 0) impl_->Wake[0] = impl_->Wake[1] = -1;
}

TcpListener::~TcpListener() {
    for (int fd : {impl_->Fd, impl_->Wake[0], impl_->Wake[1]})
        if (fd >= 0) ::close(fd);
}

bool TcpListener::Listen(const std::string& host, const std::string& port, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
    addrinfo* list = nullptr;
    if (const int rc = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &list); rc != 0) {
        error = ::gai_strerror(rc);
        return false;
    }
    const int fd = ::socket(list->ai_family, list->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                            list->ai_protocol);
    int on = 1; // the port of a run that just ended is free again at once
    const bool ok = fd >= 0 && ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 &&
                    ::bind(fd, list->ai_addr, list->ai_addrlen) == 0 && ::listen(fd, 4) == 0;
    error = std::strerror(errno);
    ::freeaddrinfo(list);
    if (!ok) {
        if (fd >= 0) ::close(fd);
        return false;
    }
    impl_->Fd = fd;
    return true;
}

int TcpListener::Port() const {
    sockaddr_storage a{};
    socklen_t len = sizeof a;
    if (impl_->Fd < 0 || ::getsockname(impl_->Fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) return 0;
    if (a.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6&>(a).sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in&>(a).sin_port);
}

TcpSocket::WaitResult TcpListener::Wait(TcpSocket& client, int timeoutMs) {
    if (impl_->Fd < 0) return TcpSocket::WaitResult::Failed;
    pollfd fds[3] = {{impl_->Wake[0], POLLIN, 0}, {impl_->Fd, POLLIN, 0}, {client.impl_->Fd, POLLIN, 0}};
    const int r = ::poll(fds, client.IsOpen() ? 3 : 2, timeoutMs);
    if (r < 0) return errno == EINTR ? TcpSocket::WaitResult::TimedOut : TcpSocket::WaitResult::Failed;
    if (r == 0) return TcpSocket::WaitResult::TimedOut;
    if (fds[0].revents) {
        char drain[16];
        while (::read(impl_->Wake[0], drain, sizeof drain) > 0) {}
        return TcpSocket::WaitResult::Woken;
    }
    return TcpSocket::WaitResult::Readable;
}

bool TcpListener::Accept(TcpSocket& client) {
    if (impl_->Fd < 0) return false;
    const int fd = ::accept4(impl_->Fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return false;
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    client.Close();
    client.impl_->Fd = fd;
    return true;
}

void TcpListener::Wake() {
    if (impl_->Wake[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] ssize_t ignored = ::write(impl_->Wake[1], &byte, 1);
    }
}

} // namespace kaldor
#endif
