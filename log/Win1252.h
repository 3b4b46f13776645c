#pragma once
#include <string>

namespace kaldor {

// The console's texts are single-byte Windows-1252 strings, as the amplifier's display uses them
// (the degree sign is byte 0xB0). The five bytes the code page leaves undefined become U+FFFD.
char16_t Win1252CodePoint(unsigned char byte);
std::string Win1252ToUtf8(const std::string& text);

} // namespace kaldor
