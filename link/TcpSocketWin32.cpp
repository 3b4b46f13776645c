#ifdef _WIN32
#include "TcpSocket.h"
#include "SystemText.h"

#include "NameLookup.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <mutex>

namespace kaldor {
namespace {

int MsLeft(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    return left > 0 ? static_cast<int>(left) : 0;
}

void StartWinsock() {
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}

std::string ErrorText(int code) { return SystemErrorText(static_cast<uint32_t>(code)); }

// Connects s to one address within the deadline, unless wake is signalled first.
bool ConnectOne(SOCKET s, const addrinfo& a, std::chrono::steady_clock::time_point deadline,
                HANDLE wake, int& err) {
    WSAEVENT connected = WSACreateEvent();
    ::WSAEventSelect(s, connected, FD_CONNECT); // also makes s non-blocking
    bool ok = ::connect(s, a.ai_addr, static_cast<int>(a.ai_addrlen)) == 0;
    if (!ok && (err = WSAGetLastError()) == WSAEWOULDBLOCK) {
        HANDLE events[2] = {connected, wake};
        const DWORD r = WaitForMultipleObjects(wake ? 2 : 1, events, FALSE,
                                               static_cast<DWORD>(MsLeft(deadline)));
        WSANETWORKEVENTS ne{};
        if (r == WAIT_OBJECT_0 && ::WSAEnumNetworkEvents(s, connected, &ne) == 0) {
            err = ne.iErrorCode[FD_CONNECT_BIT];
            ok = err == 0;
        } else {
            err = r == WAIT_OBJECT_0 + 1 ? WSAECANCELLED : WSAETIMEDOUT;
        }
    }
    ::WSAEventSelect(s, nullptr, 0);
    WSACloseEvent(connected);
    return ok;
}

} // namespace

struct TcpSocket::Impl {
    SOCKET Socket = INVALID_SOCKET;
    WSAEVENT Readable = WSA_INVALID_EVENT;
    HANDLE Wake = nullptr;
    HANDLE Nudge = nullptr; // auto-reset: ends one wait
    std::atomic<bool> Woken{false};
};

// The wake event lives as long as the object, so Wake from another thread never meets an event
// that Close or Connect is replacing.
TcpSocket::TcpSocket() : impl_(std::make_unique<Impl>()) {
    impl_->Wake = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    impl_->Nudge = CreateEventA(nullptr, FALSE, FALSE, nullptr);
}

TcpSocket::~TcpSocket() {
    Close();
    for (HANDLE h : {impl_->Wake, impl_->Nudge})
        if (h) CloseHandle(h);
}

bool TcpSocket::IsOpen() const { return impl_->Socket != INVALID_SOCKET; }

void TcpSocket::LimitSendBuffer(int bytes) {
    if (impl_->Socket != INVALID_SOCKET)
        ::setsockopt(impl_->Socket, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
}

std::string TcpSocket::PeerAddress() const {
    sockaddr_storage peer{};
    int size = sizeof peer;
    char host[NI_MAXHOST] = {};
    if (impl_->Socket == INVALID_SOCKET ||
        ::getpeername(impl_->Socket, reinterpret_cast<sockaddr*>(&peer), &size) != 0 ||
        ::getnameinfo(reinterpret_cast<sockaddr*>(&peer), size, host, sizeof host, nullptr, 0, NI_NUMERICHOST) != 0)
        return {};
    return host;
}

bool TcpSocket::Connect(const std::string& host, const std::string& port, int timeoutMs,
                        std::string& error) {
    Close();
    StartWinsock();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    error = ErrorText(WSAECANCELLED);
    if (impl_->Woken) return false;
    if (impl_->Nudge) ResetEvent(impl_->Nudge); // meant for the connection before
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    if (const int rc = LookUpName(host, port, hints, timeoutMs, impl_->Woken, &list); rc != 0) {
        error = ErrorText(rc);
        return false;
    }
    error = "no address";
    for (const addrinfo* a = list; a; a = a->ai_next) {
        SOCKET s = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (s == INVALID_SOCKET) {
            error = ErrorText(WSAGetLastError());
            continue;
        }
        int err = 0;
        if (ConnectOne(s, *a, deadline, impl_->Wake, err)) {
            BOOL on = TRUE;
            ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
            impl_->Socket = s;
            break;
        }
        error = ErrorText(err);
        ::closesocket(s);
        if (MsLeft(deadline) == 0 || impl_->Woken) break;
    }
    ::freeaddrinfo(list);
    if (impl_->Socket == INVALID_SOCKET) return false;
    impl_->Readable = WSACreateEvent();
    // FD_WRITE is signalled once a send that would have blocked can go on.
    ::WSAEventSelect(impl_->Socket, impl_->Readable, FD_READ | FD_WRITE | FD_CLOSE);
    return true;
}

TcpSocket::WaitResult TcpSocket::WaitReadable(int timeoutMs, bool /*writable: FD_WRITE is always selected*/) {
    if (impl_->Socket == INVALID_SOCKET) return WaitResult::Failed;
    if (impl_->Woken) return WaitResult::Woken;
    // FD_READ is signalled again only after a recv: peek first so data already waiting counts.
    char probe;
    const int peeked = ::recv(impl_->Socket, &probe, 1, MSG_PEEK);
    if (peeked >= 0 || WSAGetLastError() != WSAEWOULDBLOCK) return WaitResult::Readable;
    HANDLE events[3] = {impl_->Readable, impl_->Wake, impl_->Nudge};
    const DWORD r = WaitForMultipleObjects(impl_->Nudge ? 3 : 2, events, FALSE, static_cast<DWORD>(timeoutMs));
    if (r == WAIT_OBJECT_0) {
        WSANETWORKEVENTS ignored;
        ::WSAEnumNetworkEvents(impl_->Socket, impl_->Readable, &ignored); // resets the event
        return WaitResult::Readable;
    }
    if (r == WAIT_OBJECT_0 + 1) return WaitResult::Woken;
    if (r == WAIT_OBJECT_0 + 2) return WaitResult::Readable;
    return r == WAIT_TIMEOUT ? WaitResult::TimedOut : WaitResult::Failed;
}

int TcpSocket::Receive(uint8_t* buffer, int size) {
    if (impl_->Socket == INVALID_SOCKET) return -1;
    const int n = ::recv(impl_->Socket, reinterpret_cast<char*>(buffer), size, 0);
    if (n > 0) return n;
    if (n == 0) return -1;
    return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
}

int TcpSocket::SendSome(const uint8_t* data, int size) {
    if (impl_->Socket == INVALID_SOCKET) return -1;
    const int n = ::send(impl_->Socket, reinterpret_cast<const char*>(data), size, 0);
    if (n >= 0) return n;
    return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
}

bool TcpSocket::WaitWritable(int timeoutMs) {
    if (impl_->Socket == INVALID_SOCKET) return false;
    fd_set write;
    FD_ZERO(&write);
    FD_SET(impl_->Socket, &write);
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return ::select(0, nullptr, &write, nullptr, &tv) > 0;
}

void TcpSocket::Wake() {
    impl_->Woken = true;
    if (impl_->Wake) SetEvent(impl_->Wake);
}

void TcpSocket::Nudge() {
    if (impl_->Nudge) SetEvent(impl_->Nudge);
}

void TcpSocket::Close() {
    if (impl_->Socket != INVALID_SOCKET) ::closesocket(impl_->Socket);
    impl_->Socket = INVALID_SOCKET;
    if (impl_->Readable != WSA_INVALID_EVENT) WSACloseEvent(impl_->Readable);
    impl_->Readable = WSA_INVALID_EVENT;
}

// --- The listener ---------------------------------------------------------------------------

struct TcpListener::Impl {
    SOCKET Socket = INVALID_SOCKET;
    WSAEVENT Acceptable = WSA_INVALID_EVENT;
    HANDLE Wake = nullptr; // auto-reset: one Wake ends one wait
};

TcpListener::TcpListener() : impl_(std::make_unique<Impl>()) {
    impl_->Wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
}

TcpListener::~TcpListener() {
    if (impl_->Socket != INVALID_SOCKET) ::closesocket(impl_->Socket);
    if (impl_->Acceptable != WSA_INVALID_EVENT) WSACloseEvent(impl_->Acceptable);
    if (impl_->Wake) CloseHandle(impl_->Wake);
}

bool TcpListener::Listen(const std::string& host, const std::string& port, std::string& error) {
    StartWinsock();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICHOST | AI_PASSIVE;
    addrinfo* list = nullptr;
    if (const int rc = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &list); rc != 0) {
        error = ErrorText(rc);
        return false;
    }
    SOCKET s = ::socket(list->ai_family, list->ai_socktype, list->ai_protocol);
    BOOL on = TRUE; // no other program may take the port over
    if (s != INVALID_SOCKET)
        ::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
    const bool ok = s != INVALID_SOCKET &&
                    ::bind(s, list->ai_addr, static_cast<int>(list->ai_addrlen)) == 0 &&
                    ::listen(s, 4) == 0;
    error = ErrorText(WSAGetLastError());
    ::freeaddrinfo(list);
    if (!ok) {
        if (s != INVALID_SOCKET) ::closesocket(s);
        return false;
    }
    impl_->Socket = s;
    impl_->Acceptable = WSACreateEvent();
    ::WSAEventSelect(s, impl_->Acceptable, FD_ACCEPT); // also makes s non-blocking
    return true;
}

int TcpListener::Port() const {
    sockaddr_storage a{};
    int len = sizeof a;
    if (impl_->Socket == INVALID_SOCKET ||
        ::getsockname(impl_->Socket, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return 0;
    if (a.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6&>(a).sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in&>(a).sin_port);
}

TcpSocket::WaitResult TcpListener::Wait(TcpSocket& client, int timeoutMs) {
    using Result = TcpSocket::WaitResult;
    if (impl_->Socket == INVALID_SOCKET) return Result::Failed;
    TcpSocket::Impl& c = *client.impl_;
    if (c.Socket != INVALID_SOCKET) { // as in TcpSocket::WaitReadable: data already waiting counts
        char probe;
        if (::recv(c.Socket, &probe, 1, MSG_PEEK) >= 0 || WSAGetLastError() != WSAEWOULDBLOCK)
            return Result::Readable;
    }
    HANDLE events[3] = {impl_->Wake, impl_->Acceptable, c.Readable};
    const DWORD r = WaitForMultipleObjects(c.Socket != INVALID_SOCKET ? 3 : 2, events, FALSE,
                                           static_cast<DWORD>(timeoutMs));
    WSANETWORKEVENTS ignored;
    if (r == WAIT_OBJECT_0) return Result::Woken;
    if (r == WAIT_OBJECT_0 + 1) ::WSAEnumNetworkEvents(impl_->Socket, impl_->Acceptable, &ignored);
    if (r == WAIT_OBJECT_0 + 2) ::WSAEnumNetworkEvents(c.Socket, c.Readable, &ignored);
    if (r == WAIT_OBJECT_0 + 1 || r == WAIT_OBJECT_0 + 2) return Result::Readable;
    return r == WAIT_TIMEOUT ? Result::TimedOut : Result::Failed;
}

bool TcpListener::Accept(TcpSocket& client) {
    if (impl_->Socket == INVALID_SOCKET) return false;
    SOCKET s = ::accept(impl_->Socket, nullptr, nullptr);
    if (s == INVALID_SOCKET) return false;
    BOOL on = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    client.Close();
    client.impl_->Socket = s;
    client.impl_->Readable = WSACreateEvent();
    // Replaces the listener's FD_ACCEPT selection, which an accepted socket inherits.
    ::WSAEventSelect(s, client.impl_->Readable, FD_READ | FD_CLOSE);
    return true;
}

void TcpListener::Wake() {
    if (impl_->Wake) SetEvent(impl_->Wake);
}

} // namespace kaldor
#endif
