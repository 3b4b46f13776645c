#include "Win1252.h"

#include "log/Win1252.h"

namespace kaldor {

QChar FromWin1252(unsigned char byte) { return QChar(Win1252CodePoint(byte)); }

QString FromWin1252(const std::string& bytes) {
    QString out;
    out.reserve(static_cast<int>(bytes.size()));
    for (unsigned char b : bytes) out.append(FromWin1252(b));
    return out;
}

} // namespace kaldor
