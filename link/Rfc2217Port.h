#pragma once
// A serial port on a remote serial server, reached over TCP with Telnet and its COM-PORT-OPTION
// (RFC 2217). SerialPort uses it for devices named rfc2217://host:port.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "SerialPort.h"
#include "TcpSocket.h"
#include "TelnetCodec.h"

namespace kaldor {

// Nothing here waits to send: what the connection does not take at once waits in a bounded
// queue that the reading thread empties as the server takes it. A key press or a DTR change on
// the window thread so never waits on the network, whatever the server does.
class Rfc2217Port {
public:
    // Connects and sets the line up: COM-PORT-OPTION agreed, the line settings, no flow
    // control, DTR and RTS low, both directions purged. False with the reason in error.
    bool Open(const std::string& device, const LineSettings& line, std::string& error);
    bool IsOpen() const { return socket_.IsOpen(); }
    // SerialPort::Read on the remote line. failed: the connection is gone or not open.
    int Read(uint8_t* buffer, int count, int timeoutMs, bool& failed);
    // The count when queued, 0 when closed or the queue is full (the server takes nothing).
    int Write(const uint8_t* data, int count);
    bool SetControl(uint8_t value);
    // Wakes a Read (or an Open) waiting on another thread; every later one returns at once.
    void Cancel() { socket_.Wake(); }
    void Close();

    static constexpr int ConnectTimeoutMs = 1000;
    static constexpr int NegotiationTimeoutMs = 1000;
    // As a serial port's output queue.
    static constexpr size_t MaxQueued = 4096;

private:
    // Sends what is queued and receives and decodes what is waiting, without blocking.
    void Pump();
    // Queues bytes whole (false when the queue would pass limit) and sends what the connection
    // takes.
    bool Send(const ByteVector& bytes, size_t limit = MaxQueued);
    // Sends what the connection takes of the queue; outMutex_ held.
    void Flush();
    // Waits, pumping, until done() holds, the connection fails or timeoutMs passes.
    template <typename Done>
    bool WaitFor(Done done, int timeoutMs);
    int Take(uint8_t* buffer, int count);

    TcpSocket socket_;
    // The reading thread's, after Open. The server's answer to PURGE-DATA ends the set-up;
    // what came before it was queued before the purge and is dropped.
    TelnetCodec codec_;
    bool purged_ = false;
    ByteVector data_;   // decoded, not yet read
    size_t dataPos_ = 0;
    std::atomic<bool> lost_{false};
    std::mutex outMutex_; // held for no wait: the reader's replies, the window thread's writes
    ByteVector out_;      // queued, not yet taken by the connection
    std::mutex closeMutex_;
};

} // namespace kaldor
