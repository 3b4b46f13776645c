#pragma once
// A serial port on a remote serial server, reached over TCP with Telnet and its COM-PORT-OPTION
// (RFC 2217). SerialPort uses it for devices named rfc2217://host:port.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "TcpSocket.h"

namespace kaldor {

constexpr const char* RemoteDevicePrefix = "rfc2217://";

bool IsRemoteDevice(const std::string& name);
// Splits rfc2217://host:port; the host is a name, an IPv4 address or an IPv6 address in
// brackets. False when the name is not of that form or the port is not 1 to 65535.
bool ParseRemoteDevice(const std::string& name, std::string& host, std::string& port);

namespace telnet {
constexpr uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;
constexpr uint8_t OPT_BINARY = 0, OPT_ECHO = 1, OPT_SGA = 3, OPT_COM_PORT = 44;
// COM-PORT-OPTION commands from the client; the server answers each with the code plus 100.
constexpr uint8_t SET_BAUDRATE = 1, SET_DATASIZE = 2, SET_PARITY = 3, SET_STOPSIZE = 4,
                  SET_CONTROL = 5, SET_LINESTATE_MASK = 10, SET_MODEMSTATE_MASK = 11,
                  PURGE_DATA = 12, SERVER_OFFSET = 100;
// SET-CONTROL values.
constexpr uint8_t NO_FLOW_CONTROL = 1, DTR_ON = 8, DTR_OFF = 9, RTS_ON = 11, RTS_OFF = 12;
constexpr uint8_t PURGE_BOTH = 3;
} // namespace telnet

using ByteVector = std::vector<uint8_t>;

// The Telnet layer of the byte stream, client side: data escaped and unescaped (0xFF doubled),
// commands, option negotiation and sub-negotiations taken out, the options that a serial link
// needs agreed to (binary both ways, suppress go-ahead, COM-PORT-OPTION), all others refused.
class TelnetCodec {
public:
    // What the client asks for on connecting.
    ByteVector Greeting();
    // Decodes received bytes: data bytes go to data, answers to the server's requests to
    // replies (to be sent back in order).
    void Feed(const uint8_t* in, size_t n, ByteVector& data, ByteVector& replies);
    // From now until the server answers PURGE-DATA, received data is dropped: it was queued
    // before the purge.
    void DropUntilPurged() { dropping_ = true; }
    void StopDropping() { dropping_ = false; }

    bool ComPortAccepted() const { return usOn_[telnet::OPT_COM_PORT]; }
    bool ComPortRefused() const { return comPortRefused_; }
    // How many times the server answered that COM-PORT-OPTION command.
    int Answers(uint8_t command) const;

    static void AppendEscaped(const uint8_t* in, size_t n, ByteVector& out);
    // IAC SB COM-PORT-OPTION command value... IAC SE, the value escaped.
    static ByteVector ComPortCommand(uint8_t command, const ByteVector& value);

    static constexpr size_t MaxSubnegotiation = 64;

private:
    void Negotiate(uint8_t verb, uint8_t option, ByteVector& replies);
    void Subnegotiation();

    enum class State { Data, Iac, Option, Sub, SubIac };
    State state_ = State::Data;
    uint8_t verb_ = 0;
    ByteVector sub_;
    bool dropping_ = false;
    bool comPortRefused_ = false;
    bool usOn_[256] = {}, themOn_[256] = {};
    bool usAsked_[256] = {}, themAsked_[256] = {};
    bool usRefused_[256] = {}, themRefused_[256] = {};
    int answers_[256] = {};
};

// Nothing here waits to send: what the connection does not take at once waits in a bounded
// queue that the reading thread empties as the server takes it. A key press or a DTR change on
// the window thread so never waits on the network, whatever the server does.
class Rfc2217Port {
public:
    // Connects and sets the line up: COM-PORT-OPTION agreed, the line settings, no flow
    // control, DTR and RTS low, both directions purged. False with the reason in error.
    bool Open(const std::string& device, int baud, uint8_t parity, uint8_t byteSize,
              uint8_t stopBits, std::string& error);
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
    TelnetCodec codec_; // the reading thread's, after Open
    ByteVector data_;   // decoded, not yet read
    size_t dataPos_ = 0;
    std::atomic<bool> lost_{false};
    std::mutex outMutex_; // held for no wait: the reader's replies, the window thread's writes
    ByteVector out_;      // queued, not yet taken by the connection
    std::mutex closeMutex_;
};

} // namespace kaldor
