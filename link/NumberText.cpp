#include "link/NumberText.h"

#include <charconv>
#include <cmath>

namespace kaldor {

bool ParseInteger(std::string_view text, int64_t min, int64_t max, int64_t& value) {
    if (text.empty() || (text[0] == '-' && min >= 0)) return false;
    int64_t v = 0;
    const char* end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, v, 10);
    if (ec != std::errc() || at != end || v < min || v > max) return false;
    value = v;
    return true;
}

bool ParseDecimal(std::string_view text, double& value) {
    if (text.empty()) return false;
    double v = 0;
    const char* end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, v, std::chars_format::general);
    if (ec != std::errc() || at != end || !std::isfinite(v)) return false;
    value = v;
    return true;
}

std::string IntegerText(int64_t value) {
    char buf[24];
    const auto [at, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? std::string(buf, at) : std::string();
}

} // namespace kaldor
