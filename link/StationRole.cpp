#include "link/StationRole.h"

#include <vector>

namespace kaldor {

namespace {
constexpr const char* Nobody = "-";
constexpr const char* TakeControl = "take-control";

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
        if (c == ' ') {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) words.push_back(word);
    return words;
}

std::string NameFrom(const std::string& word) { return word == Nobody ? std::string() : word; }
} // namespace

std::string UserNameOnLine(const std::string& name) {
    std::string out;
    for (char c : name) {
        if (out.size() == MaxUserName) break;
        if (c > ' ' && c < 0x7f) out += c;
    }
    return out == Nobody ? std::string() : out;
}

std::string StationSignature(const StationRole& role) {
    std::string text = StationSignaturePrefix;
    if (role.Operating) {
        text += " operating";
    } else {
        const std::string holder = UserNameOnLine(role.Holder);
        text += " watching ";
        text += holder.empty() ? Nobody : holder;
    }
    if (role.Operator) text += " operator";
    return text;
}

bool ParseStationSignature(const std::string& text, StationRole& role) {
    const std::vector<std::string> w = Words(text);
    if (w.size() < 2 || w.size() > 4 || w[0] != StationSignaturePrefix) return false;
    StationRole r;
    size_t next = 2;
    if (w[1] == "operating") {
        r.Operating = true;
    } else if (w[1] == "watching" && w.size() >= 3 && w[2].size() <= MaxUserName) {
        r.Holder = NameFrom(w[2]);
        next = 3;
    } else {
        return false;
    }
    if (next < w.size()) {
        if (w[next] != "operator" || next + 1 != w.size()) return false;
        r.Operator = true;
    }
    role = r;
    return true;
}

std::string TakeControlRequest(const std::string& seenHolder) {
    const std::string holder = UserNameOnLine(seenHolder);
    return std::string(TakeControl) + " " + (holder.empty() ? Nobody : holder);
}

bool ParseTakeControl(const std::string& text, std::string& seenHolder) {
    const std::vector<std::string> w = Words(text);
    if (w.size() != 2 || w[0] != TakeControl || w[1].size() > MaxUserName) return false;
    seenHolder = NameFrom(w[1]);
    return true;
}

ByteVector SignatureCommand(uint8_t command, const std::string& text) {
    return TelnetCodec::ComPortCommand(command, ByteVector(text.begin(), text.end()));
}

} // namespace kaldor
