#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "link/NonCopyable.h"
#include "sim/SimAmplifier.h"
#include "sim/SimLine.h"

namespace kaldor::sim {

// Seconds on the steady clock.
double SteadySeconds();

// Serves one simulated amplifier on a line, on a thread of its own: reads the console's command
// bytes and writes the status frames when they are due.
class SimServer : NonCopyable {
public:
    // clock gives seconds; tests pass one they step by hand.
    SimServer(std::unique_ptr<SimLine> line, const SimOptions& options,
              std::function<double()> clock = SteadySeconds);
    ~SimServer(); // stops the thread

    // On a new pseudo-terminal; null with error set when there is none.
    static std::unique_ptr<SimServer> OnPseudoTerminal(const SimOptions& options, std::string& error);
    // As an RFC 2217 server on host and port (0: a free one); DTR comes as SET-CONTROL.
    static std::unique_ptr<SimServer> OnRfc2217(const std::string& host, int port,
                                                const SimOptions& options, std::string& error,
                                                const SimTlsFiles& tls = {});

    const std::string& DevicePath() const { return line_->DevicePath(); }
    void Start();
    void Stop();

    // The remote power line, from whichever thread changes it.
    void SetDtr(bool raised);
    void PowerOn();
    // Trips the protection with a warning code, as the amplifier does by itself now and then.
    void RaiseAlert(uint8_t code);
    bool Powered();

private:
    void Run();
    template <typename F> auto Locked(F f);

    std::unique_ptr<SimLine> line_;
    std::function<double()> clock_;
    std::mutex mutex_;
    SimAmplifier amp_; // under mutex_
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace kaldor::sim
