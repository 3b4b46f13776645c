#pragma once
#include <QString>
#include <string>

namespace kaldor {

// The console's texts are single-byte Windows-1252 strings, as the amplifier's display uses them
// (the degree sign is byte 0xB0).
QString FromWin1252(const std::string& bytes);
QChar FromWin1252(unsigned char byte);

} // namespace kaldor
