#pragma once
// The Telnet layer of a byte stream (RFC 854) as a serial link over TCP uses it, with the
// COM-PORT-OPTION (RFC 2217): the same for the console's remote port and a serial server.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace kaldor {

using ByteVector = std::vector<uint8_t>;

namespace telnet {
constexpr uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;
constexpr uint8_t OPT_BINARY = 0, OPT_ECHO = 1, OPT_SGA = 3, OPT_COM_PORT = 44;
// COM-PORT-OPTION commands from the client; the server answers each with the code plus 100.
constexpr uint8_t SIGNATURE = 0, SET_BAUDRATE = 1, SET_DATASIZE = 2, SET_PARITY = 3, SET_STOPSIZE = 4,
                  SET_CONTROL = 5, SET_LINESTATE_MASK = 10, SET_MODEMSTATE_MASK = 11,
                  PURGE_DATA = 12, SERVER_OFFSET = 100;
// SET-CONTROL values.
constexpr uint8_t NO_FLOW_CONTROL = 1, DTR_ON = 8, DTR_OFF = 9, RTS_ON = 11, RTS_OFF = 12;
constexpr uint8_t PURGE_BOTH = 3;
} // namespace telnet

// Data escaped and unescaped (0xFF doubled); commands, option negotiation and sub-negotiations
// taken out of the stream. The side's role says which options it does itself when asked and
// which it lets the peer do; every other option is refused, once however often it is asked.
class TelnetCodec {
public:
    struct Role {
        std::vector<uint8_t> Offers;  // ours, asked for with WILL in the greeting
        std::vector<uint8_t> Accepts; // the peer's, asked for with DO
    };
    // The console: COM-PORT-OPTION, binary and suppress go-ahead offered; binary and suppress
    // go-ahead accepted.
    static Role Client();
    // A serial server: binary and suppress go-ahead both ways, the client's COM-PORT-OPTION.
    static Role Server();

    explicit TelnetCodec(Role role = Client());

    // What the side asks for on connecting.
    ByteVector Greeting();
    // Decodes received bytes: data bytes go to data, answers to replies (to be sent back in
    // order). A command may be split anywhere across calls.
    void Feed(const uint8_t* in, size_t n, ByteVector& data, ByteVector& replies);
    // Each whole sub-negotiation as it comes, option byte first and unescaped, cut at
    // MaxSubnegotiation bytes; what it appends to replies goes back in order.
    std::function<void(const ByteVector& sub, ByteVector& replies)> OnSubnegotiation;
    // Received data is dropped while this is on (sub-negotiations are not).
    void SetDropping(bool on) { dropping_ = on; }

    bool Enabled(uint8_t option) const { return usOn_[option]; }
    bool PeerEnabled(uint8_t option) const { return themOn_[option]; }
    // The peer said DONT to this option of ours.
    bool Declined(uint8_t option) const { return declined_[option]; }

    static void AppendEscaped(const uint8_t* in, size_t n, ByteVector& out);
    // IAC SB COM-PORT-OPTION command value... IAC SE, the value escaped.
    static ByteVector ComPortCommand(uint8_t command, const ByteVector& value);

    static constexpr size_t MaxSubnegotiation = 128;

private:
    void Negotiate(uint8_t verb, uint8_t option, ByteVector& replies);

    enum class State { Data, Iac, Option, Sub, SubIac };
    Role role_;
    State state_ = State::Data;
    uint8_t verb_ = 0;
    ByteVector sub_;
    bool dropping_ = false;
    bool offered_[256] = {}, accepted_[256] = {};
    bool usOn_[256] = {}, themOn_[256] = {};
    bool usAsked_[256] = {}, themAsked_[256] = {};
    bool usRefused_[256] = {}, themRefused_[256] = {};
    bool declined_[256] = {};
};

} // namespace kaldor
