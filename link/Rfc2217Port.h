#pragma once
// A serial port on a remote serial server, reached over TCP with Telnet and its COM-PORT-OPTION
// (RFC 2217): rfc2217://host:port. rfc2217s://host:port is the same inside TLS: the handshake
// and the station's verification come first, then the same Telnet bytes go through the TLS
// stream instead of the bare socket. SerialPort uses it for both (through PortOpener).
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "SerialPort.h"
#include "StationRole.h"
#include "TcpSocket.h"
#include "TelnetCodec.h"
#include "TlsCertificate.h"
#include "TlsOptions.h"

namespace kaldor {
class TlsStream;
}

namespace kaldor {

// Nothing here waits to send: what the connection does not take at once waits in a bounded
// queue that the reading thread empties as the server takes it. A key press or a DTR change on
// the window thread so never waits on the network, whatever the server does.
class Rfc2217Port {
public:
    Rfc2217Port();
    ~Rfc2217Port();
    // Connects and sets the line up: COM-PORT-OPTION agreed, the line settings, no flow
    // control, DTR and RTS low, both directions purged. False with the reason in error. An
    // rfc2217s:// device first shakes hands as tls says; a station that is not verified
    // gets nothing beyond the handshake.
    bool Open(const std::string& device, const LineSettings& line, std::string& error,
              const TlsOptions& tls = {});
    // After an rfc2217s:// Open: the certificate the station showed, and whether it was
    // unknown (no station file, no stored fingerprint; Open then failed).
    const CertificateInfo& Station() const { return station_; }
    bool StationUnknown() const { return stationUnknown_; }
    bool IsOpen() const { return socket_.IsOpen(); }
    // SerialPort::Read on the remote line. failed: the connection is gone or not open.
    int Read(uint8_t* buffer, int count, int timeoutMs, bool& failed);
    // The count when queued, 0 when closed or the queue is full (the server takes nothing).
    int Write(const uint8_t* data, int count);
    bool SetControl(uint8_t value);
    // Any thread. A station that shares its line says who holds control; false from a plain
    // serial server, or before the station has said.
    bool SharedRole(StationRole& role) const;
    // Asks the station for control, from the holder the user saw.
    bool TakeControl(const std::string& seenHolder);
    // Wakes a Read (or an Open) waiting on another thread; every later one returns at once.
    void Cancel() {
        socket_.Wake();
        probe_.Wake();
    }
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

    // The byte stream: the socket's, or the TLS stream's over it.
    int Receive(uint8_t* buffer, int size);
    int SendSome(const uint8_t* data, int size);

    // Whether a server that closed on the plain greeting without a word speaks TLS.
    bool SpeaksTls(const std::string& host, const std::string& port);

    TcpSocket socket_;
    TcpSocket probe_; // for SpeaksTls, woken with socket_
    std::unique_ptr<TlsStream> tls_;
    CertificateInfo station_;
    bool stationUnknown_ = false;
    // The reading thread's, after Open. The server's answer to PURGE-DATA ends the set-up;
    // what came before it was queued before the purge and is dropped.
    TelnetCodec codec_;
    bool purged_ = false;
    ByteVector first_; // the first bytes received, to tell a TLS server from a Telnet one
    ByteVector data_;   // decoded, not yet read
    size_t dataPos_ = 0;
    std::atomic<bool> lost_{false};
    std::mutex outMutex_; // held for no wait: the reader's replies, the window thread's writes
    ByteVector out_;      // queued, not yet taken by the connection
    std::mutex closeMutex_;
    mutable std::mutex roleMutex_;
    StationRole role_;
    bool shared_ = false;
};

} // namespace kaldor
