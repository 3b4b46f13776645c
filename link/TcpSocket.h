#pragma once
// A TCP connection for the remote serial port: connect with a time-out, non-blocking receive,
// a wait for data that another thread can wake, and sends bounded in time. POSIX sockets or
// Winsock behind the same interface.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace kaldor {

class TcpSocket {
public:
    TcpSocket();
    ~TcpSocket();
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // Resolves host (a name or an address literal) and connects within timeoutMs. False with the
    // reason in error when no address answers, or at once when Wake has been called.
    bool Connect(const std::string& host, const std::string& port, int timeoutMs, std::string& error);
    bool IsOpen() const;

    enum class WaitResult { Readable, Woken, TimedOut, Failed };
    // Waits until data (or the peer's close) can be received, Wake is called, or timeoutMs passes.
    WaitResult WaitReadable(int timeoutMs);
    // Receives what is waiting without blocking: the count, 0 when nothing waits, -1 when the
    // peer has closed the connection or it failed.
    int Receive(uint8_t* buffer, int size);
    // Sends all of data unless timeoutMs passes or the connection fails first.
    bool SendAll(const uint8_t* data, int size, int timeoutMs);
    // Ends a WaitReadable or Connect on another thread; every later one returns at once, for the
    // life of this object.
    void Wake();
    void Close();

private:
    friend class TcpListener;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The server side, for the simulated amplifier's remote line: listens, and hands one waiting
// connection at a time to a TcpSocket. Wake here ends one wait only.
class TcpListener {
public:
    TcpListener();
    ~TcpListener();
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

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
