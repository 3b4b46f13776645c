#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

#include "link/Rfc2217Port.h"

namespace kaldor::sim {

// The server side of the Telnet layer with COM-PORT-OPTION (RFC 2217), as a serial server
// meets a console: binary both ways, suppress go-ahead and the client's COM-PORT-OPTION agreed,
// other options refused, every COM-PORT-OPTION command answered with its code plus 100 and the
// setting then in force. Data is unescaped (0xFF doubled).
class TelnetServerCodec {
public:
    // What the server asks for when a client connects.
    ByteVector Greeting();
    // Decodes the client's bytes: data bytes to data, answers to replies (to be sent in order).
    void Feed(const uint8_t* in, size_t n, ByteVector& data, ByteVector& replies);

    // Called for every DTR ON and DTR OFF the client sets, as it comes.
    std::function<void(bool raised)> DtrChanged;

    static constexpr size_t MaxSubnegotiation = 64;
    static constexpr const char* Signature = "kaldor-sim";

private:
    void Negotiate(uint8_t verb, uint8_t option, ByteVector& replies);
    void Command(ByteVector& replies);
    uint8_t Control(uint8_t value);

    enum class State { Data, Iac, Option, Sub, SubIac };
    State state_ = State::Data;
    uint8_t verb_ = 0;
    ByteVector sub_;
    bool usOn_[256] = {}, themOn_[256] = {};
    bool usAsked_[256] = {}, themAsked_[256] = {};

    // The line settings, as a client last set them.
    uint32_t baud_ = 9600;
    uint8_t dataSize_ = 8, parity_ = 1, stopSize_ = 1;
    uint8_t flow_ = telnet::NO_FLOW_CONTROL, inboundFlow_ = 14;
    bool break_ = false, dtr_ = false, rts_ = false;
};

} // namespace kaldor::sim
