#pragma once
// Whether a remote serial server answers, found out off the window thread: its name resolves and
// a TCP connection opens (closed again at once). Resolving and connecting may take seconds
// against a station that does not answer; the window reopens the port only once a probe has
// found the server there.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "TcpSocket.h"
#include "WorkerThread.h"

namespace kaldor {

class RemoteProbe : public WorkerThread {
public:
    // done runs on the window thread after each probe that was not cancelled, with the number
    // Probe gave it and whether the server answered.
    using Done = std::function<void(uint64_t ticket, bool reachable)>;
    RemoteProbe(Dispatcher* dispatcher, Done done);
    ~RemoteProbe() override;

    // Window thread. Probes device (rfc2217://host:port) and returns the probe's number, or 0
    // when a probe is still under way (one at a time, a cancelled one included) or the name is
    // not a remote address.
    uint64_t Probe(const std::string& device);
    // Window thread. Drops the probe under way: its result is not delivered and its connect ends
    // at once. A name lookup cannot be cut short; the thread takes no new probe until it ends.
    void Cancel();

    static constexpr int ConnectTimeoutMs = 1000;

protected:
    void Execute() override;
    void StopRequested() override;

private:
    Dispatcher* dispatcher_;
    const Done done_;
    std::mutex m_;
    std::condition_variable cv_;
    std::string host_, port_; // the probe asked for, while pending_
    uint64_t ticket_ = 0;      // the latest probe's number
    bool pending_ = false;     // asked for, not yet taken by the thread
    bool busy_ = false;        // asked for and not yet ended
    bool cancelled_ = false;   // the probe under way is not to be delivered
    TcpSocket* socket_ = nullptr; // the connect under way, for Cancel and Terminate to wake
};

} // namespace kaldor
