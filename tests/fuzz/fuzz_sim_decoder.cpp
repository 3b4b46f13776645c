// The simulator's command decoder, fed the console's line in chunks of any size: the commands
// found do not depend on how the bytes were cut, and every key command names a known key.
#include <vector>

#include "FuzzCheck.h"
#include "sim/CommandDecoder.h"

using namespace kaldor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    sim::CommandDecoder whole, chunked;
    const std::vector<sim::Command> all = whole.Push(data + 1, size - 1);
    std::vector<sim::Command> pieces;
    const size_t step = data[0] % 13 + 1;
    for (size_t i = 1; i < size; i += step) {
        const auto got = chunked.Push(data + i, std::min(step, size - i));
        pieces.insert(pieces.end(), got.begin(), got.end());
    }
    FUZZ_CHECK(all.size() == pieces.size());
    for (size_t i = 0; i < all.size(); ++i) {
        FUZZ_CHECK(all[i].What == pieces[i].What && all[i].KeyPressed == pieces[i].KeyPressed);
        if (all[i].What == sim::Command::Kind::Key)
            FUZZ_CHECK(static_cast<int>(all[i].KeyPressed) >= 0 && static_cast<int>(all[i].KeyPressed) < KeyCount);
    }
    // A frame is at least three sync bytes, the length, a code and the checksum.
    FUZZ_CHECK(all.size() <= (size - 1) / 6);
    return 0;
}
