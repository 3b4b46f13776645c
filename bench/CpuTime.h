#pragma once
// CPU time for the benchmarks' figures: of the whole process, of this thread, or of any thread
// by its clock (pthread_getcpuclockid).
#include <ctime>

namespace kaldor::test {

inline double CpuSeconds(clockid_t clock = CLOCK_PROCESS_CPUTIME_ID) {
    timespec ts{};
    if (clock_gettime(clock, &ts) != 0) return 0.0;
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

inline double ThreadCpuSeconds() { return CpuSeconds(CLOCK_THREAD_CPUTIME_ID); }

} // namespace kaldor::test
