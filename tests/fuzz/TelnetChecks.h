#pragma once
// The checks both Telnet roles share: the input in chunks whose sizes its first bytes choose,
// the replies well formed, and a refused option answered at most once however often the peer
// asks for it again.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzCheck.h"
#include "link/TelnetCodec.h"

namespace kaldor::fuzz {

// Feeds data to codec.Feed in chunks; returns every reply it made.
template <typename Codec>
ByteVector FeedInChunks(Codec& codec, const uint8_t* data, size_t size, ByteVector& decoded) {
    ByteVector replies;
    size_t chunk = size > 0 ? data[0] % 17 + 1 : 1;
    for (size_t i = size > 0 ? 1 : 0; i < size;) {
        const size_t n = std::min(chunk, size - i);
        const size_t before = decoded.size();
        codec.Feed(data + i, n, decoded, replies);
        FUZZ_CHECK(decoded.size() - before <= n); // a byte in is at most a byte out
        i += n;
        chunk = data[i - 1] % 17 + 1;
    }
    return replies;
}

// replies: option negotiations (IAC verb option) and sub-negotiations (IAC SB ... IAC SE) only.
// The options in acceptable are those the role may turn on; any other is refused, once.
inline void CheckReplies(const ByteVector& replies, bool (*acceptable)(uint8_t), bool refuseOnce) {
    using namespace telnet;
    int refusals[2][256] = {};
    for (size_t i = 0; i < replies.size();) {
        FUZZ_CHECK(replies[i] == IAC && i + 2 < replies.size());
        const uint8_t verb = replies[i + 1];
        if (verb == SB) {
            size_t j = i + 2;
            while (j + 1 < replies.size() && !(replies[j] == IAC && replies[j + 1] == SE))
                j += replies[j] == IAC ? 2 : 1;
            FUZZ_CHECK(j + 1 < replies.size());
            i = j + 2;
            continue;
        }
        FUZZ_CHECK(verb == WILL || verb == WONT || verb == DO || verb == DONT);
        const uint8_t option = replies[i + 2];
        FUZZ_CHECK(acceptable(option) || verb == WONT || verb == DONT);
        if (!acceptable(option) && refuseOnce) FUZZ_CHECK(++refusals[verb == WONT][option] <= 1);
        i += 3;
    }
}

} // namespace kaldor::fuzz
