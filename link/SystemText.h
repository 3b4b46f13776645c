#pragma once
// The system's words for an error, as the console shows them: UTF-8, on one line, the code after.
#include <cstdint>
#include <string>

namespace kaldor {

// "The device is not ready. (error 21)"; the system's own text, however many lines it had.
std::string SystemErrorText(uint32_t code);
// text with line ends and tabs as single blanks, none at either end.
std::string OneLine(const std::string& text);

#ifdef _WIN32
// A wide string of the system's as UTF-8, and back.
std::string Utf8(const wchar_t* text, int length = -1);
std::wstring Wide(const std::string& utf8);
#endif

} // namespace kaldor
