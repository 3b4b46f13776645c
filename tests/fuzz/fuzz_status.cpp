// Status frames as the receiver finds them: a run of sync bytes, the length, the payload and its
// checksum. Each accepted payload is decoded from a copy of exactly its length, so a read past
// it is caught, and every decoded value must lie in the range its field allows.
#include <cstdint>
#include <memory>

#include "FuzzCheck.h"
#include "link/Frames.h"

using namespace kaldor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t i = 0;
    while (i < size) {
        if (data[i] != StatusSync) {
            ++i;
            continue;
        }
        size_t sync = 0;
        while (i < size && data[i] == StatusSync) ++sync, ++i;
        if (sync < 2 || i >= size) continue;
        const size_t length = data[i++];
        if (i + length + 1 > size) break;
        auto payload = std::make_unique<uint8_t[]>(length + 1);
        std::copy(data + i, data + i + length, payload.get());
        const uint8_t checksum = data[i + length];
        if (Checksum(payload.get(), length) != checksum) continue; // the sync may be in a payload
        i += length + 1;
        if (length != StatusPayloadLength || (payload[0] >> 4) != StatusFrameType) continue;
        AmpStatus s;
        DecodeStatusPayload(payload.get(), s);
        FUZZ_CHECK(s.Header == payload[0] && (s.Header >> 4) == StatusFrameType);
        FUZZ_CHECK(s.Flags <= 0xFF && s.Screen.load() <= 0xFF && s.Temperature <= 0xFF);
        FUZZ_CHECK(s.Input <= 1 && s.Band <= 15 && s.Antenna <= 15 && s.CatInterface <= 15);
        FUZZ_CHECK(s.SubBand <= 0xFF);
        for (uint16_t v : s.ScreenData) FUZZ_CHECK(v <= 0xFF);
        // The words are little-endian pairs of the payload.
        FUZZ_CHECK(s.Frequency == (payload[16] | (payload[17] << 8)));
        FUZZ_CHECK(s.PaCurrent == (payload[28] | (payload[29] << 8)));
    }
    return 0;
}
