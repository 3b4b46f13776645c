#include "sim/SimServer.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace kaldor::sim {
namespace {
constexpr int kMaxWaitMs = 100; // the stop flag and an injected clock are looked at this often
constexpr double kTendPeriod = 1.0;
} // namespace

double SteadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

SimServer::SimServer(std::unique_ptr<SimLine> line, const SimOptions& options,
                     std::function<double()> clock)
    : line_(std::move(line)), clock_(std::move(clock)), amp_(options, clock_()) {
    line_->SetDtrHandler([this](bool raised) { SetDtr(raised); });
}

SimServer::~SimServer() { Stop(); }

std::unique_ptr<SimServer> SimServer::OnPseudoTerminal(const SimOptions& options, std::string& error) {
    std::unique_ptr<SimLine> line = OpenPseudoTerminal(error);
    if (!line) return nullptr;
    return std::make_unique<SimServer>(std::move(line), options);
}

std::unique_ptr<SimServer> SimServer::OnRfc2217(const std::string& host, int port,
                                                const SimOptions& options, std::string& error,
                                                const SimTlsFiles& tls) {
    std::unique_ptr<SimLine> line = OpenRfc2217Line(host, port, error, tls);
    if (!line) return nullptr;
    return std::make_unique<SimServer>(std::move(line), options);
}

template <typename F> auto SimServer::Locked(F f) {
    std::lock_guard<std::mutex> lock(mutex_);
    return f();
}

void SimServer::Start() {
    if (thread_.joinable()) return;
    stop_ = false;
    thread_ = std::thread([this] { Run(); });
}

void SimServer::Stop() {
    stop_ = true;
    line_->Wake();
    if (thread_.joinable()) thread_.join();
}

void SimServer::SetDtr(bool raised) {
    Locked([&] { amp_.SetDtr(raised, clock_()); });
    line_->Wake(); // the power-on deadline may have moved
}

void SimServer::PowerOn() {
    Locked([&] { amp_.PowerOn(clock_()); });
    line_->Wake();
}

void SimServer::RaiseAlert(uint8_t code) {
    Locked([&] { amp_.RaiseAlert(code, clock_()); });
}

bool SimServer::Powered() {
    return Locked([&] { return amp_.Powered(); });
}

void SimServer::Run() {
    uint8_t buffer[256];
    double nextTend = clock_();
    while (!stop_) {
        double due = 0.0;
        const std::vector<uint8_t> frames = Locked([&] {
            const double now = clock_();
            auto out = amp_.Poll(now);
            due = amp_.NextDue(now);
            return out;
        });
        if (!frames.empty()) line_->Write(frames.data(), static_cast<int>(frames.size()));
        const int waitMs = std::clamp(static_cast<int>(std::ceil(due * 1000.0)), 1, kMaxWaitMs);
        const int n = line_->Read(buffer, sizeof buffer, waitMs);
        if (n > 0) Locked([&] { amp_.Receive(buffer, static_cast<size_t>(n), clock_()); });
        if (const double now = clock_(); now >= nextTend) {
            line_->Tend();
            nextTend = now + kTendPeriod;
        }
    }
}

} // namespace kaldor::sim
