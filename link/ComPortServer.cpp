#include "ComPortServer.h"

namespace kaldor {

using namespace telnet;

namespace {
// SET-CONTROL requests for a setting, and the values of the settings asked for.
constexpr uint8_t ASK_FLOW = 0, ASK_BREAK = 4, BREAK_ON = 5, BREAK_OFF = 6, ASK_DTR = 7,
                  ASK_RTS = 10, ASK_INBOUND_FLOW = 13, INBOUND_FIRST = 14, INBOUND_LAST = 19;
} // namespace

TelnetCodec ComPortServer::MakeCodec() {
    TelnetCodec codec(TelnetCodec::Server());
    codec.OnSubnegotiation = [this](const ByteVector& sub, ByteVector& replies) { Answer(sub, replies); };
    return codec;
}

uint8_t ComPortServer::Control(uint8_t value) {
    switch (value) {
    case ASK_FLOW: return flow_;
    case ASK_BREAK: return break_ ? BREAK_ON : BREAK_OFF;
    case ASK_DTR: return dtr_ ? DTR_ON : DTR_OFF;
    case ASK_RTS: return rts_ ? RTS_ON : RTS_OFF;
    case ASK_INBOUND_FLOW: return inboundFlow_;
    case BREAK_ON:
    case BREAK_OFF: break_ = value == BREAK_ON; break;
    case RTS_ON:
    case RTS_OFF: rts_ = value == RTS_ON; break;
    case DTR_ON:
    case DTR_OFF:
        dtr_ = value == DTR_ON;
        if (DtrChanged) DtrChanged(dtr_);
        break;
    default:
        if (value >= 1 && value <= 3) flow_ = value;
        if (value >= INBOUND_FIRST && value <= INBOUND_LAST) inboundFlow_ = value;
        break;
    }
    return value;
}

// A command with a value of the wrong size is not answered: the client is broken, and an answer
// would only confirm a setting it did not ask for.
void ComPortServer::Answer(const ByteVector& sub, ByteVector& replies) {
    if (sub.size() < 2 || sub[0] != OPT_COM_PORT) return;
    const uint8_t command = sub[1];
    const uint8_t* v = sub.data() + 2;
    const size_t n = sub.size() - 2;
    auto oneByte = [&](uint8_t& setting, uint8_t low, uint8_t high) -> ByteVector {
        if (v[0] >= low && v[0] <= high) setting = v[0]; // 0 asks for the setting
        return {setting};
    };
    ByteVector answer;
    switch (command) {
    case SIGNATURE: {
        const std::string text = Signature ? Signature(std::string(v, v + n)) : signature_;
        answer.assign(text.begin(), text.end());
        break;
    }
    case SET_BAUDRATE: {
        if (n != 4) return;
        const uint32_t b = uint32_t(v[0]) << 24 | uint32_t(v[1]) << 16 | uint32_t(v[2]) << 8 | v[3];
        if (b != 0) baud_ = b;
        answer = {uint8_t(baud_ >> 24), uint8_t(baud_ >> 16), uint8_t(baud_ >> 8), uint8_t(baud_)};
        break;
    }
    case SET_DATASIZE:
    case SET_PARITY:
    case SET_STOPSIZE:
    case SET_CONTROL:
    case SET_LINESTATE_MASK:
    case SET_MODEMSTATE_MASK:
    case PURGE_DATA:
        if (n != 1) return;
        if (command == SET_DATASIZE) answer = oneByte(dataSize_, 5, 8);
        else if (command == SET_PARITY) answer = oneByte(parity_, 1, 5);
        else if (command == SET_STOPSIZE) answer = oneByte(stopSize_, 1, 3);
        else if (command == SET_CONTROL) answer = {Control(v[0])};
        else answer = {v[0]};
        break;
    default: return; // notifications and flow control suspend and resume: no answer
    }
    const ByteVector reply =
        TelnetCodec::ComPortCommand(static_cast<uint8_t>(command + SERVER_OFFSET), answer);
    replies.insert(replies.end(), reply.begin(), reply.end());
}

} // namespace kaldor
