#pragma once
// Numbers as text, the same in every locale: a German desktop's decimal comma never reaches the
// files, the settings or the command lines. Whole text only: no blanks, no '+', no grouping.
#include <cstdint>
#include <string>
#include <string_view>

namespace kaldor {

// Decimal digits, an optional '-' first when min < 0; false beyond [min, max].
bool ParseInteger(std::string_view text, int64_t min, int64_t max, int64_t& value);
// A decimal number with '.' ("850.0", "-3", "1e3"); false for anything else, "inf" and "nan" too.
bool ParseDecimal(std::string_view text, double& value);
std::string IntegerText(int64_t value);

} // namespace kaldor
