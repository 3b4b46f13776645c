#include "sim/CommandDecoder.h"

#include <algorithm>

namespace kaldor::sim {
namespace {
// A sync run longer than this is noise; only its tail can still start a frame.
constexpr size_t kMaxSyncRun = 16;
} // namespace

bool CommandDecoder::KeyForCode(uint8_t code, kaldor::Key& key) {
    // The console's own frame table says which code belongs to which key.
    for (int k = 0; k < kaldor::KeyCount; ++k) {
        const kaldor::CommandFrame& frame = kaldor::KeyFrame(static_cast<kaldor::Key>(k));
        if (frame.Bytes[frame.Count - 2] == code) {
            key = static_cast<kaldor::Key>(k);
            return true;
        }
    }
    return false;
}

CommandDecoder::Step CommandDecoder::TryFrame(std::vector<Command>& out) {
    if (buffer_.front() != Sync) return Step::Skip;
    size_t run = 0;
    while (run < buffer_.size() && buffer_[run] == Sync) ++run;
    if (run == buffer_.size()) {
        if (run > kMaxSyncRun) buffer_.erase(buffer_.begin(), buffer_.end() - kMaxSyncRun);
        return Step::NeedMore;
    }
    if (run < static_cast<size_t>(MinSync)) return Step::Skip;
    const size_t length = buffer_[run];
    if (length == 0 || length > static_cast<size_t>(MaxPayload)) return Step::Skip;
    const size_t total = run + 1 + length + 1;
    if (buffer_.size() < total) return Step::NeedMore;
    const uint8_t* payload = buffer_.data() + run + 1;
    if (kaldor::Checksum(payload, length) != payload[length]) return Step::Skip;

    Command command;
    bool known = false;
    if (length == 1 && payload[0] == LinkRequestCode) {
        command.What = Command::Kind::LinkRequest;
        known = true;
    } else if (length == 2 && payload[0] == KeyPrefix) {
        command.What = Command::Kind::Key;
        known = KeyForCode(payload[1], command.KeyPressed);
    }
    if (known) out.push_back(command);
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(total));
    return Step::Done;
}

std::vector<Command> CommandDecoder::Push(const uint8_t* bytes, size_t count) {
    std::vector<Command> out;
    for (size_t i = 0; i < count; ++i) {
        buffer_.push_back(bytes[i]);
        // Each pass removes at least one byte or waits for more, so this ends.
        for (;;) {
            if (buffer_.empty()) break;
            const Step step = TryFrame(out);
            if (step == Step::NeedMore) break;
            if (step == Step::Skip) buffer_.erase(buffer_.begin());
        }
    }
    return out;
}

} // namespace kaldor::sim
