#pragma once
// The simulated amplifier's clock in an end-to-end test: seconds that follow the steady clock at
// a rate the test sets, and jump forward when the test would otherwise wait for the amplifier.
#include <chrono>
#include <mutex>

namespace kaldor::test {

class SimClock {
public:
    double Now() const {
        std::lock_guard<std::mutex> lock(m_);
        return NowLocked();
    }
    void SetRate(double rate) {
        std::lock_guard<std::mutex> lock(m_);
        base_ = NowLocked();
        since_ = Steady();
        rate_ = rate;
    }
    void Jump(double seconds) {
        std::lock_guard<std::mutex> lock(m_);
        base_ += seconds;
    }

private:
    static double Steady() {
        using namespace std::chrono;
        return duration<double>(steady_clock::now().time_since_epoch()).count();
    }
    double NowLocked() const { return base_ + rate_ * (Steady() - since_); }

    mutable std::mutex m_;
    double base_ = 100.0;
    double since_ = Steady();
    double rate_ = 1.0;
};

} // namespace kaldor::test
