#pragma once
#include <functional>

namespace kaldor {

// Days as a double; one second is 1/86400. Deadlines and holds are Now() + n * OneSecond.
using TDateTime = double;
constexpr TDateTime OneSecond = 1.0 / 86400.0;

// Monotonic time in days. Tests replace the source to step through deadlines without waiting.
TDateTime Now();
void SetClockSource(std::function<TDateTime()> source); // empty restores the monotonic clock

// Sleeps ms milliseconds (nothing for ms <= 0). Tests replace how it waits, to step through
// delays of seconds without waiting for them.
void SleepMs(int ms);
void SetSleepSource(std::function<void(int ms)> source); // empty restores real sleeping

} // namespace kaldor
