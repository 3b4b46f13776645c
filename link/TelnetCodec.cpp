#include "TelnetCodec.h"

namespace kaldor {

using namespace telnet;

TelnetCodec::Role TelnetCodec::Client() { return {{OPT_COM_PORT, OPT_BINARY, OPT_SGA}, {OPT_BINARY, OPT_SGA}}; }

TelnetCodec::Role TelnetCodec::Server() { return {{OPT_SGA, OPT_BINARY}, {OPT_SGA, OPT_BINARY, OPT_COM_PORT}}; }

TelnetCodec::TelnetCodec(Role role) : role_(std::move(role)) {
    for (uint8_t option : role_.Offers) offered_[option] = true;
    for (uint8_t option : role_.Accepts) accepted_[option] = true;
}

ByteVector TelnetCodec::Greeting() {
    ByteVector out;
    for (uint8_t option : role_.Offers) {
        usAsked_[option] = true;
        out.insert(out.end(), {IAC, WILL, option});
    }
    for (uint8_t option : role_.Accepts) {
        themAsked_[option] = true;
        out.insert(out.end(), {IAC, DO, option});
    }
    return out;
}

void TelnetCodec::AppendEscaped(const uint8_t* in, size_t n, ByteVector& out) {
    for (size_t i = 0; i < n; ++i) {
        out.push_back(in[i]);
        if (in[i] == IAC) out.push_back(IAC);
    }
}

ByteVector TelnetCodec::ComPortCommand(uint8_t command, const ByteVector& value) {
    ByteVector out{IAC, SB, OPT_COM_PORT, command};
    AppendEscaped(value.data(), value.size(), out);
    out.insert(out.end(), {IAC, SE});
    return out;
}

// Answers only what changes an option's state, so two sides never loop (RFC 854). DO and DONT
// ask about our side, WILL and WONT about theirs; each side answers with the other pair. A
// refused option stays off: asked again, it is not answered again, or a peer that repeats the
// request would be answered as fast as it asks.
void TelnetCodec::Negotiate(uint8_t verb, uint8_t option, ByteVector& replies) {
    const bool ours = verb == DO || verb == DONT;
    const bool enable = verb == DO || verb == WILL;
    bool& on = ours ? usOn_[option] : themOn_[option];
    bool& asked = ours ? usAsked_[option] : themAsked_[option];
    bool& refused = ours ? usRefused_[option] : themRefused_[option];
    const bool wanted = ours ? offered_[option] : accepted_[option];
    auto reply = [&](bool yes) {
        replies.insert(replies.end(), {IAC, ours ? (yes ? WILL : WONT) : (yes ? DO : DONT), option});
    };
    if (verb == DONT) declined_[option] = true;
    if (enable) {
        if (!wanted) {
            if (!refused) reply(false);
            refused = true;
        } else if (!on) {
            on = true;
            if (!asked) reply(true);
        }
    } else if (on || asked) {
        if (!asked) reply(false);
        on = false;
    }
    asked = false;
}

void TelnetCodec::Feed(const uint8_t* in, size_t n, ByteVector& data, ByteVector& replies) {
    for (size_t i = 0; i < n; ++i) {
        const uint8_t b = in[i];
        switch (state_) {
        case State::Data:
            if (b == IAC)
                state_ = State::Iac;
            else if (!dropping_)
                data.push_back(b);
            break;
        case State::Iac:
            if (b == IAC) {
                if (!dropping_) data.push_back(IAC);
                state_ = State::Data;
            } else if (b == DO || b == DONT || b == WILL || b == WONT) {
                verb_ = b;
                state_ = State::Option;
            } else if (b == SB) {
                sub_.clear();
                state_ = State::Sub;
            } else {
                state_ = State::Data; // NOP, break, data mark, go ahead: nothing for a serial line
            }
            break;
        case State::Option:
            Negotiate(verb_, b, replies);
            state_ = State::Data;
            break;
        case State::Sub:
            if (b == IAC)
                state_ = State::SubIac;
            else if (sub_.size() < MaxSubnegotiation)
                sub_.push_back(b);
            break;
        case State::SubIac:
            if (b == SE) {
                state_ = State::Data;
                if (OnSubnegotiation) OnSubnegotiation(sub_, replies);
            } else {
                if (b == IAC && sub_.size() < MaxSubnegotiation) sub_.push_back(IAC);
                // Anything else after IAC inside a sub-negotiation is a broken peer: stay in it
                // until IAC SE, as the RFC's receivers do.
                state_ = State::Sub;
            }
            break;
        }
    }
}

} // namespace kaldor
