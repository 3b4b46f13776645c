#pragma once
// A TCP connection for the remote serial port: connect with a time-out, non-blocking receive and
// send, and a wait for data that another thread can wake. POSIX sockets or Winsock behind the
// same interface.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "NonCopyable.h"

namespace kaldor {

class TcpSocket : NonCopyable {
public:
    TcpSocket();
    ~TcpSocket();

    // Resolves host (a name or an address literal) and connects within timeoutMs. False with the
    // reason in error when no address answers, or at once when Wake has been called.
    bool Connect(const std::string& host, const std::string& port, int timeoutMs, std::string& error);
    bool IsOpen() const;
    // Caps what the system holds for sending: a server with a bounded queue per client keeps
    // the system from holding megabytes more for one that reads nothing.
    void LimitSendBuffer(int bytes);
    // The far end's address as digits ("192.0.2.7", "::1"), empty when not connected.
    std::string PeerAddress() const;

    enum class WaitResult { Readable, Woken, TimedOut, Failed };
    // Waits until data (or the peer's close) can be received, Wake is called, or timeoutMs passes.
    // Readable also when Nudge was called or, with writable, when more can be sent: the caller
    // tries both.
    WaitResult WaitReadable(int timeoutMs, bool writable = false);
    // Receives what is waiting without blocking: the count, 0 when nothing waits, -1 when the
    // peer has closed the connection or it failed.
    int Receive(uint8_t* buffer, int size);
    // Sends what the connection takes at once: the count (0 when it takes nothing now), -1 when
    // it has failed. Never blocks.
    int SendSome(const uint8_t* data, int size);
    // Waits up to timeoutMs until the connection takes more; false when it did not or failed.
    bool WaitWritable(int timeoutMs);
    // Ends a WaitReadable or Connect on another thread; every later one returns at once, for the
    // life of this object.
    void Wake();
    // Ends one WaitReadable on another thread, under way or the next one: there is more to send.
    void Nudge();
    void Close();

private:
    friend class TcpListener;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The server side, for the simulated amplifier's remote line: listens, and hands one waiting
// connection at a time to a TcpSocket. Wake here ends one wait only.
class TcpListener : NonCopyable {
public:
    TcpListener();
    ~TcpListener();

    // Listens on host (an address literal) and port, "0" for a free one. False with the reason
    // in error.
    bool Listen(const std::string& host, const std::string& port, std::string& error);
    int Port() const;
    // Waits until a connection waits, client (when open) can be received from, Wake is called,
    // or timeoutMs passes. Readable stands for either; Accept and Receive tell which.
    TcpSocket::WaitResult Wait(TcpSocket& client, int timeoutMs);
    // Takes a waiting connection into client, closing what client held; false when none waits.
    bool Accept(TcpSocket& client);
    void Wake();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace kaldor
