// Telnet with COM-PORT-OPTION from either side, the role set where the target is built: the
// console's client fed what a server sends, or the simulator's server fed what a console sends.
// The same input fed whole and in chunks gives the same bytes and replies.
#include "TelnetChecks.h"
#ifdef KALDOR_FUZZ_TELNET_SERVER
#include "link/ComPortServer.h"
#endif

using namespace kaldor;

namespace {

bool MayAgree(uint8_t option) {
    return option == telnet::OPT_BINARY || option == telnet::OPT_SGA || option == telnet::OPT_COM_PORT;
}

struct Role {
#ifdef KALDOR_FUZZ_TELNET_SERVER
    ComPortServer server{"kaldor-sim"};
    int dtrChanges = 0;
    TelnetCodec Codec() {
        server.DtrChanged = [this](bool) { ++dtrChanges; };
        return server.MakeCodec();
    }
#else
    int dtrChanges = 0;
    TelnetCodec Codec() { return TelnetCodec(); }
#endif
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Role role, whole;
    TelnetCodec codec = role.Codec();
    const ByteVector greeting = codec.Greeting();
    ByteVector decoded;
    const ByteVector replies = fuzz::FeedInChunks(codec, data, size, decoded);
    fuzz::CheckReplies(greeting, MayAgree, true);
    fuzz::CheckReplies(replies, MayAgree, true);
    FUZZ_CHECK(static_cast<size_t>(role.dtrChanges) <= size / 6); // IAC SB 44 5 value IAC SE

    // The chunks are a reading's accident: all at once it is the same.
    TelnetCodec once = whole.Codec();
    once.Greeting();
    ByteVector onceDecoded, onceReplies;
    if (size > 1) once.Feed(data + 1, size - 1, onceDecoded, onceReplies);
    FUZZ_CHECK(onceDecoded == decoded && onceReplies == replies && whole.dtrChanges == role.dtrChanges);

    // Data escaped for the line comes back as it was.
    ByteVector escaped, back, none;
    TelnetCodec::AppendEscaped(data, size, escaped);
    TelnetCodec fresh;
    fresh.Feed(escaped.data(), escaped.size(), back, none);
    FUZZ_CHECK(back == ByteVector(data, data + size) && none.empty());
    return 0;
}
