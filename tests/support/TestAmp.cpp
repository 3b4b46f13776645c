#include "TestAmp.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

#include "link/Clock.h"
#include "link/Frames.h"

namespace kaldor::test {

Bytes StatusFrame(const Bytes& payload, int syncCount, int checksumDelta) {
    Bytes out(static_cast<size_t>(syncCount), StatusSync);
    out.push_back(static_cast<uint8_t>(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    out.push_back(static_cast<uint8_t>(Checksum(payload.data(), payload.size()) + checksumDelta));
    return out;
}

Bytes StatusFrame(const StatusPayload& payload, int syncCount, int checksumDelta) {
    return StatusFrame(payload.ToBytes(), syncCount, checksumDelta);
}

std::string Hex(const Bytes& bytes) {
    std::string s;
    char buf[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", bytes[i]);
        s += buf;
    }
    return s;
}

TestAmp::TestAmp() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        throw std::runtime_error("no pseudo-terminal");
    path_ = ptsname(master_);
    slave_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave_ < 0) throw std::runtime_error("cannot open " + path_);
    termios tio{};
    tcgetattr(slave_, &tio);
    cfmakeraw(&tio); // no echo before the console sets the line up itself
    tcsetattr(slave_, TCSANOW, &tio);
}

TestAmp::~TestAmp() {
    HangUp();
    if (slave_ >= 0) ::close(slave_);
}

void TestAmp::BindPort(int n) const {
    setenv(("KALDOR_COM" + std::to_string(n)).c_str(), path_.c_str(), 1);
}

void TestAmp::Send(const Bytes& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) throw std::runtime_error("send failed");
        pollfd p{master_, POLLOUT, 0};
        if (::poll(&p, 1, 5000) <= 0) throw std::runtime_error("console does not read");
    }
}

Bytes TestAmp::Received(size_t minBytes, int timeoutMs, int quietMs) {
    using clock = std::chrono::steady_clock;
    Bytes got;
    const auto deadline = clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int wait;
        if (got.size() < minBytes) {
            wait = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now())
                    .count());
            if (wait <= 0) break;
        } else {
            wait = quietMs;
        }
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, wait) <= 0) {
            if (got.size() >= minBytes) break;
            continue;
        }
        uint8_t buf[512];
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) {
            got.insert(got.end(), buf, buf + n);
        } else if (!(n < 0 && (errno == EAGAIN || errno == EINTR))) {
            // EIO: nobody holds the console's end open at the moment
            if (got.size() >= minBytes) break;
            p = {-1, 0, 0};
            ::poll(&p, 0, 5);
        }
    }
    return got;
}

termios TestAmp::LineSettings() const {
    termios tio{};
    tcgetattr(slave_, &tio);
    return tio;
}

void TestAmp::HangUp() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
}

void QueueDispatcher::Post(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(m_);
        tasks_.push_back(std::move(task));
    }
    cv_.notify_all();
}

bool QueueDispatcher::RunOne(int timeoutMs) {
    std::function<void()> task;
    {
        std::unique_lock<std::mutex> lock(m_);
        if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [this] { return !tasks_.empty(); }))
            return false;
        task = std::move(tasks_.front());
        tasks_.pop_front();
    }
    task();
    return true;
}

bool QueueDispatcher::RunUntil(const std::function<bool()>& pred, int timeoutMs) {
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count();
        if (left <= 0) return pred();
        RunOne(static_cast<int>(std::min<long long>(left, 20))); // pred may turn true without a task
    }
    return true;
}

void QueueDispatcher::RunFor(int durationMs) {
    RunUntil([] { return false; }, durationMs);
}

namespace {
double Read(std::mutex& m, const double& now) {
    std::lock_guard<std::mutex> lock(m);
    return now;
}
} // namespace

ManualClock::ManualClock(double start) : state_(std::make_shared<State>()) {
    state_->now = start;
    SetClockSource([state = state_] { return Read(state->m, state->now); });
}

ManualClock::~ManualClock() { SetClockSource({}); }

void ManualClock::Set(double days) {
    std::lock_guard<std::mutex> lock(state_->m);
    state_->now = days;
}

void ManualClock::AdvanceSeconds(double seconds) {
    std::lock_guard<std::mutex> lock(state_->m);
    state_->now += seconds * OneSecond;
}

double ManualClock::Value() const { return Read(state_->m, state_->now); }

} // namespace kaldor::test
