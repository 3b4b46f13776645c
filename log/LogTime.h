#pragma once
#include <cstdint>
#include <string>

namespace kaldor {

// Local time of ms since 1970: "2026-12-09T05:54:51" (ISO 8601, seconds) and "2026-12-09".
std::string LocalIsoTime(int64_t ms);
std::string LocalDay(int64_t ms);
// The inverse of LocalIsoTime, -1 when text is not such a time.
int64_t ParseLocalIsoTime(const std::string& text);
// The local time's offset from UTC at ms: "+01:00", "-09:30". Local times repeat when the clocks
// go back; with their offset they order by the true time.
std::string UtcOffsetText(int64_t ms);
// "+01:00" as seconds east of UTC; false for anything else.
bool ParseUtcOffset(const std::string& text, int& seconds);

// The true ms since 1970 of a logged local time with its offset; without a valid offset (files
// written before the offset was), as the local time reads now. -1 when time is not such a time.
int64_t ParseLoggedTime(const std::string& time, const std::string& offset);

// Wall clock in ms since 1970; tests pass their own.
int64_t SystemTimeMs();

} // namespace kaldor
