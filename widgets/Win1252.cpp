#include "Win1252.h"

namespace kaldor {
namespace {
// 0x80..0x9F differ from Latin-1; 0 marks the five bytes the code page leaves undefined.
constexpr char16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};
} // namespace

QChar FromWin1252(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) {
        const char16_t c = kHigh[byte - 0x80];
        return c ? QChar(c) : QChar(QChar::ReplacementCharacter);
    }
    return QChar(static_cast<char16_t>(byte));
}

QString FromWin1252(const std::string& bytes) {
    QString out;
    out.reserve(static_cast<int>(bytes.size()));
    for (unsigned char b : bytes) out.append(FromWin1252(b));
    return out;
}

} // namespace kaldor
