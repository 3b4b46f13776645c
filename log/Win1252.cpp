#include "log/Win1252.h"

namespace kaldor {
namespace {
// 0x80..0x9F differ from Latin-1; 0 marks the five bytes the code page leaves undefined.
constexpr char16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};
constexpr char16_t kReplacement = 0xFFFD;
} // namespace

char16_t Win1252CodePoint(unsigned char byte) {
    if (byte < 0x80 || byte >= 0xA0) return byte;
    const char16_t c = kHigh[byte - 0x80];
    return c ? c : kReplacement;
}

std::string Win1252ToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (unsigned char byte : text) {
        const unsigned cp = Win1252CodePoint(byte);
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

} // namespace kaldor
