#ifdef _WIN32
#include "TcpSocket.h"

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

std::string ErrorText(int code) {
    char text[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
    return text[0] ? std::string(text) : "error " + std::to_string(code);
}

bool ConnectOne(SOCKET s, const addrinfo& a, std::chrono::steady_clock::time_point deadline,
                int& err) {
    if (::connect(s, a.ai_addr, static_cast<int>(a.ai_addrlen)) == 0) return true;
    err = WSAGetLastError();
    if (err != WSAEWOULDBLOCK) return false;
    fd_set write, fail;
    FD_ZERO(&write);
    FD_ZERO(&fail);
    FD_SET(s, &write);
    FD_SET(s, &fail);
    const int ms = MsLeft(deadline);
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    const int r = ::select(0, nullptr, &write, &fail, &tv);
    if (r == 0) err = WSAETIMEDOUT;
    if (r <= 0) return false;
    if (FD_ISSET(s, &fail)) {
        int len = sizeof err;
        ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len);
        return false;
    }
    return true;
}

} // namespace

struct TcpSocket::Impl {
    SOCKET Socket = INVALID_SOCKET;
    WSAEVENT Readable = WSA_INVALID_EVENT;
    HANDLE Wake = nullptr;
    std::atomic<bool> Woken{false};
};

TcpSocket::TcpSocket() : impl_(std::make_unique<Impl>()) {}

TcpSocket::~TcpSocket() { Close(); }

bool TcpSocket::IsOpen() const { return impl_->Socket != INVALID_SOCKET; }

bool TcpSocket::Connect(const std::string& host, const std::string& port, int timeoutMs,
                        std::string& error) {
    Close();
    StartWinsock();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    if (const int rc = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &list); rc != 0) {
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
        u_long nonBlocking = 1;
        ::ioctlsocket(s, FIONBIO, &nonBlocking);
        int err = 0;
        if (ConnectOne(s, *a, deadline, err)) {
            BOOL on = TRUE;
            ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
            impl_->Socket = s;
            break;
        }
        error = ErrorText(err);
        ::closesocket(s);
        if (MsLeft(deadline) == 0) break;
    }
    ::freeaddrinfo(list);
    if (impl_->Socket == INVALID_SOCKET) return false;
    impl_->Readable = WSACreateEvent();
    ::WSAEventSelect(impl_->Socket, impl_->Readable, FD_READ | FD_CLOSE);
    impl_->Wake = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    impl_->Woken = false;
    return true;
}

TcpSocket::WaitResult TcpSocket::WaitReadable(int timeoutMs) {
    if (impl_->Socket == INVALID_SOCKET) return WaitResult::Failed;
    if (impl_->Woken) return WaitResult::Woken;
    // FD_READ is signalled again only after a recv: peek first so data already waiting counts.
    char probe;
    const int peeked = ::recv(impl_->Socket, &probe, 1, MSG_PEEK);
    if (peeked >= 0 || WSAGetLastError() != WSAEWOULDBLOCK) return WaitResult::Readable;
    HANDLE events[2] = {impl_->Readable, impl_->Wake};
    const DWORD r = WaitForMultipleObjects(2, events, FALSE, static_cast<DWORD>(timeoutMs));
    if (r == WAIT_OBJECT_0) {
        WSANETWORKEVENTS ignored;
        ::WSAEnumNetworkEvents(impl_->Socket, impl_->Readable, &ignored); // resets the event
        return WaitResult::Readable;
    }
    if (r == WAIT_OBJECT_0 + 1) return WaitResult::Woken;
    return r == WAIT_TIMEOUT ? WaitResult::TimedOut : WaitResult::Failed;
}

int TcpSocket::Receive(uint8_t* buffer, int size) {
    if (impl_->Socket == INVALID_SOCKET) return -1;
    const int n = ::recv(impl_->Socket, reinterpret_cast<char*>(buffer), size, 0);
    if (n > 0) return n;
    if (n == 0) return -1;
    return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
}

bool TcpSocket::SendAll(const uint8_t* data, int size, int timeoutMs) {
    if (impl_->Socket == INVALID_SOCKET) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int done = 0;
    while (done < size) {
        const int n = ::send(impl_->Socket, reinterpret_cast<const char*>(data + done), size - done, 0);
        if (n > 0) {
            done += n;
            continue;
        }
        if (WSAGetLastError() != WSAEWOULDBLOCK) return false;
        fd_set write;
        FD_ZERO(&write);
        FD_SET(impl_->Socket, &write);
        const int ms = MsLeft(deadline);
        timeval tv{ms / 1000, (ms % 1000) * 1000};
        if (ms == 0 || ::select(0, nullptr, &write, nullptr, &tv) <= 0) return false;
    }
    return true;
}

void TcpSocket::Wake() {
    impl_->Woken = true;
    if (impl_->Wake) SetEvent(impl_->Wake);
}

void TcpSocket::Close() {
    if (impl_->Socket != INVALID_SOCKET) ::closesocket(impl_->Socket);
    impl_->Socket = INVALID_SOCKET;
    if (impl_->Readable != WSA_INVALID_EVENT) WSACloseEvent(impl_->Readable);
    impl_->Readable = WSA_INVALID_EVENT;
    if (impl_->Wake) CloseHandle(impl_->Wake);
    impl_->Wake = nullptr;
}

} // namespace kaldor
#endif
