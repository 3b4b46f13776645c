#pragma once
#include <QString>
#include <string>

namespace kaldor {

// The console's Windows-1252 texts for Qt (log/Win1252.h has the conversion).
QString FromWin1252(const std::string& bytes);
QChar FromWin1252(unsigned char byte);

} // namespace kaldor
