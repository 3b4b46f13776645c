#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "TelnetCodec.h"

namespace kaldor {

// The COM-PORT-OPTION side of a serial server (RFC 2217), as one meets a console: every command
// answered with its code plus 100 and the setting then in force. The Telnet layer around it is
// a TelnetCodec in the server's role, whose sub-negotiations come here. The simulator and the
// station serve their lines with it.
class ComPortServer {
public:
    // signature: the text SIGNATURE is answered with, unless Signature says otherwise.
    explicit ComPortServer(std::string signature = "") : signature_(std::move(signature)) {}
    // A codec in the server's role that hands its sub-negotiations to this server, which must
    // outlive it.
    TelnetCodec MakeCodec();
    // One sub-negotiation, option byte first: its answer to replies.
    void Answer(const ByteVector& sub, ByteVector& replies);

    // Called for every DTR ON and DTR OFF the client sets, as it comes.
    std::function<void(bool raised)> DtrChanged;
    // Called for every SIGNATURE the client sends, with its text (empty: the client asks for
    // ours): the text to answer with. Unset: the signature given at construction.
    std::function<std::string(const std::string& clientText)> Signature;

private:
    uint8_t Control(uint8_t value);

    // The line settings, as a client last set them.
    uint32_t baud_ = 9600;
    uint8_t dataSize_ = 8, parity_ = 1, stopSize_ = 1;
    uint8_t flow_ = telnet::NO_FLOW_CONTROL, inboundFlow_ = 14;
    bool break_ = false, dtr_ = false, rts_ = false;
    std::string signature_;
};

} // namespace kaldor
