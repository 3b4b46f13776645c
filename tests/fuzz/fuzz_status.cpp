// Status frames as the receiver's own search finds them, the line cut into chunks of any size
// (a read that comes back empty between them). Each accepted payload is decoded from a copy of
// exactly its length, so a read past it is caught, every decoded value must lie in the range
// its field allows, and encoding it again gives the payload back. Every search ends, and one that is not quiet takes a byte.
#include <algorithm>
#include <cstdint>
#include <memory>

#include "FuzzCheck.h"
#include "link/FrameSearch.h"
#include "link/Frames.h"

using namespace kaldor;

namespace {

// The first byte sets the chunk sizes, 1 to 64, from a small generator; the rest is the line.
struct Chunks : FrameSource {
    const uint8_t* data;
    size_t size, at = 0, chunkEnd = 0;
    uint32_t seed;
    bool NextByte(uint8_t& byte, int want) override {
        FUZZ_CHECK(want <= FrameSearch::MaxPayload + 1);
        if (at == chunkEnd) {
            seed = seed * 1103515245u + 12345u;
            chunkEnd = std::min(size, at + 1 + (seed >> 16) % 64);
            return false;
        }
        byte = data[at++];
        return true;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    Chunks line;
    line.data = data + 1;
    line.size = size - 1;
    line.seed = data[0];
    uint8_t payload[FrameSearch::MaxPayload];
    for (size_t searches = 0; line.at < line.size || line.at < line.chunkEnd; ++searches) {
        FUZZ_CHECK(searches <= 2 * size + 2);
        const size_t before = line.at;
        int length = -1;
        const FrameSearch::Attempt a = FrameSearch::Run(line, FrameSearch::StatusFrameBytes, payload, length);
        FUZZ_CHECK(a == FrameSearch::Attempt::Quiet || line.at > before);
        if (a != FrameSearch::Attempt::Frame) continue;
        FUZZ_CHECK(length >= 0 && length <= FrameSearch::MaxPayload);
        FUZZ_CHECK(Checksum(payload, length) == data[1 + line.at - 1]);
        if (length != StatusPayloadLength || (payload[0] >> 4) != StatusFrameType) continue;
        auto exact = std::make_unique<uint8_t[]>(length);
        std::copy(payload, payload + length, exact.get());
        AmpStatus s;
        DecodeStatusPayload(exact.get(), s);
        FUZZ_CHECK(s.Header == exact[0] && (s.Header >> 4) == StatusFrameType);
        FUZZ_CHECK(s.Flags <= 0xFF && s.Screen.load() <= 0xFF && s.Temperature <= 0xFF);
        FUZZ_CHECK(s.Input <= 1 && s.Band <= 15 && s.Antenna <= 15 && s.CatInterface <= 15);
        FUZZ_CHECK(s.SubBand <= 0xFF);
        for (uint16_t v : s.ScreenData) FUZZ_CHECK(v <= 0xFF);
        // The words are little-endian pairs of the payload.
        FUZZ_CHECK(s.Frequency == (exact[16] | (exact[17] << 8)));
        FUZZ_CHECK(s.PaCurrent == (exact[28] | (exact[29] << 8)));
        // What the test amplifier sends is what was read: every field goes back where it came
        // from (two bits of the band byte mean nothing).
        uint8_t again[StatusPayloadLength] = {};
        EncodeStatusPayload(s, again);
        for (int i = 0; i < length; ++i) FUZZ_CHECK(again[i] == (i == 14 ? exact[i] & 0xF3 : exact[i]));
    }
    return 0;
}
