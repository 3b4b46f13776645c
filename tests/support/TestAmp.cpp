#include "TestAmp.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "link/Clock.h"
#include "link/Frames.h"

namespace kaldor::test {

Bytes StatusFrame(const Bytes& payload, int syncCount, int checksumDelta) {
    Bytes out = EncodeStatusFrame(payload.data(), payload.size(), syncCount);
    out.back() = static_cast<uint8_t>(out.back() + checksumDelta);
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

void SetEnv(const std::string& name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name.c_str(), value.c_str());
#else
    setenv(name.c_str(), value.c_str(), 1);
#endif
}

void UnsetEnv(const std::string& name) {
#ifdef _WIN32
    _putenv_s(name.c_str(), "");
#else
    unsetenv(name.c_str());
#endif
}

bool UnderWine() {
#ifdef _WIN32
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
    return false;
#endif
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

std::optional<PortOpener::Result> OpenAsWindow(int n, const std::string& device,
                                               const std::optional<TlsOptions>& tls, int timeoutMs) {
    const std::string name = "KALDOR_COM" + std::to_string(n);
    SetEnv(name, device);
    QueueDispatcher window;
    PortOpener opener(&window);
    if (tls) opener.SetTlsProvider([tls](int, const std::string&) { return *tls; });
    std::optional<PortOpener::Result> result;
    opener.Open(n, nullptr, [&](PortOpener::Result& r) { result = std::move(r); });
    window.RunUntil([&] { return result.has_value(); }, timeoutMs);
    UnsetEnv(name);
    return result;
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
