// The simulator's side of Telnet with COM-PORT-OPTION, fed what a console sends.
#include "TelnetChecks.h"
#include "sim/TelnetServer.h"

using namespace kaldor;

// The server answers a refused option as often as it is asked; the one codec of both roles
// stops that. Build with KALDOR_FUZZ_SERVER_REFUSES_ONCE once it does.
#ifndef KALDOR_FUZZ_SERVER_REFUSES_ONCE
#define KALDOR_FUZZ_SERVER_REFUSES_ONCE false
#endif

namespace {
bool ServerMayAgree(uint8_t option) {
    return option == telnet::OPT_BINARY || option == telnet::OPT_SGA || option == telnet::OPT_COM_PORT;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    sim::TelnetServerCodec codec;
    int dtrChanges = 0;
    codec.DtrChanged = [&](bool) { ++dtrChanges; };
    const ByteVector greeting = codec.Greeting();
    ByteVector decoded;
    const ByteVector replies = fuzz::FeedInChunks(codec, data, size, decoded);
    fuzz::CheckReplies(greeting, ServerMayAgree, true);
    fuzz::CheckReplies(replies, ServerMayAgree, KALDOR_FUZZ_SERVER_REFUSES_ONCE);
    FUZZ_CHECK(static_cast<size_t>(dtrChanges) <= size / 6); // IAC SB 44 5 value IAC SE
    return 0;
}
