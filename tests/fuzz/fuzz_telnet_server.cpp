// The simulator's side of Telnet with COM-PORT-OPTION, fed what a console sends.
#include "TelnetChecks.h"
#include "sim/ComPortServer.h"

using namespace kaldor;

namespace {
bool ServerMayAgree(uint8_t option) {
    return option == telnet::OPT_BINARY || option == telnet::OPT_SGA || option == telnet::OPT_COM_PORT;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    sim::ComPortServer server;
    int dtrChanges = 0;
    server.DtrChanged = [&](bool) { ++dtrChanges; };
    TelnetCodec codec = server.MakeCodec();
    const ByteVector greeting = codec.Greeting();
    ByteVector decoded;
    const ByteVector replies = fuzz::FeedInChunks(codec, data, size, decoded);
    fuzz::CheckReplies(greeting, ServerMayAgree, true);
    fuzz::CheckReplies(replies, ServerMayAgree, true);
    FUZZ_CHECK(static_cast<size_t>(dtrChanges) <= size / 6); // IAC SB 44 5 value IAC SE
    return 0;
}
