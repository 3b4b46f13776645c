#pragma once
// Remote serial ports opened off the window thread: the name resolved, the connection made and
// the line negotiated (Rfc2217Port::Open), which takes seconds against a server that does not
// answer. Every open of a remote device that the window asks for goes through here.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "Rfc2217Port.h"
#include "WorkerThread.h"

namespace kaldor {

class RemoteOpener : public WorkerThread {
public:
    // done runs on the window thread after each open that was not dropped, with the number Open
    // gave it and the open port, or null and the reason.
    using Done = std::function<void(uint64_t ticket, std::shared_ptr<Rfc2217Port> port,
                                    const std::string& error)>;
    RemoteOpener(Dispatcher* dispatcher, Done done);
    ~RemoteOpener() override;

    // Window thread. Opens device (rfc2217://host:port) at the console's line settings and
    // returns the open's number, or 0 when the name is not a remote address. An open still under
    // way is dropped and its connect or negotiation ended: the newest wins.
    uint64_t Open(const std::string& device);
    // Window thread. Drops the open under way, ending its name lookup, connect or negotiation at
    // once.
    void Cancel();

protected:
    void Execute() override;
    void StopRequested() override;

private:
    Dispatcher* dispatcher_;
    const Done done_;
    std::mutex m_;
    std::condition_variable cv_;
    std::string device_;        // the open asked for, while pending_
    uint64_t ticket_ = 0;       // the latest open's number; an older one is not delivered
    bool pending_ = false;      // asked for, not yet taken by the thread
    Rfc2217Port* port_ = nullptr; // the open under way, for Cancel and Terminate to wake
};

} // namespace kaldor
