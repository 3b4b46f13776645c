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
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace kaldor
