#pragma once
// Replaces the one-shot delays' sleep: each delay records its duration and waits until the test
// releases it, so a test steps through a power sequence without waiting for its seconds.
#include <condition_variable>
#include <mutex>
#include <vector>

#include "link/Clock.h"

namespace kaldor::test {

class StepSleeper {
public:
    StepSleeper() {
        SetSleepSource([this](int ms) { Sleep(ms); });
    }
    ~StepSleeper() {
        {
            std::lock_guard<std::mutex> lock(m_);
            closing_ = true;
        }
        cv_.notify_all();
        SetSleepSource({});
    }
    // The durations asked for so far, in order.
    std::vector<int> Requested() const {
        std::lock_guard<std::mutex> lock(m_);
        return requested_;
    }
    // Waits until n delays have been asked for.
    bool WaitRequested(size_t n, int timeoutMs = 3000) {
        std::unique_lock<std::mutex> lock(m_);
        return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [&] { return requested_.size() >= n; });
    }
    // Ends the oldest delay still waiting.
    void ReleaseNext() {
        {
            std::lock_guard<std::mutex> lock(m_);
            ++released_;
        }
        cv_.notify_all();
    }

private:
    void Sleep(int ms) {
        std::unique_lock<std::mutex> lock(m_);
        requested_.push_back(ms);
        const size_t mine = requested_.size();
        cv_.notify_all();
        cv_.wait(lock, [&] { return closing_ || released_ >= mine; });
    }

    mutable std::mutex m_;
    std::condition_variable cv_;
    std::vector<int> requested_;
    size_t released_ = 0;
    bool closing_ = false;
};

} // namespace kaldor::test
