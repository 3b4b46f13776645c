// The console's side of Telnet with COM-PORT-OPTION, fed what a server sends.
#include "TelnetChecks.h"

using namespace kaldor;

namespace {
bool ClientMayAgree(uint8_t option) {
    return option == telnet::OPT_BINARY || option == telnet::OPT_SGA || option == telnet::OPT_COM_PORT;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TelnetCodec codec;
    const ByteVector greeting = codec.Greeting();
    ByteVector decoded;
    const ByteVector replies = fuzz::FeedInChunks(codec, data, size, decoded);
    fuzz::CheckReplies(greeting, ClientMayAgree, true);
    fuzz::CheckReplies(replies, ClientMayAgree, true);

    // Data escaped for the line comes back as it was.
    ByteVector escaped, back, none;
    TelnetCodec::AppendEscaped(data, size, escaped);
    TelnetCodec fresh;
    fresh.Feed(escaped.data(), escaped.size(), back, none);
    FUZZ_CHECK(back == ByteVector(data, data + size) && none.empty());
    return 0;
}
