#include "Clock.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

namespace kaldor {
namespace {
std::mutex sourceMutex;
std::shared_ptr<std::function<TDateTime()>> source;
std::atomic<bool> replaced{false};
std::shared_ptr<std::function<void(int)>> sleeper;
} // namespace

TDateTime Now() {
    if (replaced.load(std::memory_order_acquire)) {
        std::shared_ptr<std::function<TDateTime()>> s;
        {
            std::lock_guard<std::mutex> lock(sourceMutex);
            s = source;
        }
        if (s) return (*s)();
    }
    using namespace std::chrono;
    const auto since = steady_clock::now().time_since_epoch();
    // Start one day in, so that a deadline of 0.0 has always passed.
    return 1.0 + duration<double>(since).count() / 86400.0;
}

void SetClockSource(std::function<TDateTime()> s) {
    std::lock_guard<std::mutex> lock(sourceMutex);
    if (s) {
        source = std::make_shared<std::function<TDateTime()>>(std::move(s));
        replaced.store(true, std::memory_order_release);
    } else {
        source.reset();
        replaced.store(false, std::memory_order_release);
    }
}

} // namespace kaldor

namespace kaldor {

void SleepMs(int ms) {
    std::shared_ptr<std::function<void(int)>> s;
    {
        std::lock_guard<std::mutex> lock(sourceMutex);
        s = sleeper;
    }
    if (s) return (*s)(ms);
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void SetSleepSource(std::function<void(int)> source) {
    std::lock_guard<std::mutex> lock(sourceMutex);
    sleeper = source ? std::make_shared<std::function<void(int)>>(std::move(source)) : nullptr;
}

} // namespace kaldor
