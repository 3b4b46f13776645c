#include "RemoteProbe.h"

#include "Rfc2217Port.h"

namespace kaldor {

RemoteProbe::RemoteProbe(Dispatcher* dispatcher, Done done)
    : WorkerThread(dispatcher), dispatcher_(dispatcher), done_(std::move(done)) {
    Start();
}

RemoteProbe::~RemoteProbe() { StopAndWait(); }

uint64_t RemoteProbe::Probe(const std::string& device) {
    std::string host, port;
    if (!ParseRemoteDevice(device, host, port)) return 0;
    std::lock_guard<std::mutex> lock(m_);
    if (busy_) return 0;
    host_ = std::move(host);
    port_ = std::move(port);
    busy_ = pending_ = true;
    cancelled_ = false;
    cv_.notify_all();
    return ++ticket_;
}

void RemoteProbe::Cancel() {
    std::lock_guard<std::mutex> lock(m_);
    if (pending_) { // not taken yet: it ends here
        pending_ = busy_ = false;
        return;
    }
    cancelled_ = busy_;
    if (socket_) socket_->Wake();
}

void RemoteProbe::StopRequested() {
    std::lock_guard<std::mutex> lock(m_);
    if (socket_) socket_->Wake();
    cv_.notify_all();
}

void RemoteProbe::Execute() {
    for (;;) {
        TcpSocket socket;
        std::string host, port;
        uint64_t ticket;
        {
            std::unique_lock<std::mutex> lock(m_);
            cv_.wait(lock, [this] { return pending_ || Terminated(); });
            if (Terminated()) return;
            pending_ = false;
            host.swap(host_);
            port.swap(port_);
            ticket = ticket_;
            socket_ = &socket;
        }
        std::string error;
        const bool reachable = socket.Connect(host, port, ConnectTimeoutMs, error);
        socket.Close();
        std::lock_guard<std::mutex> lock(m_);
        socket_ = nullptr;
        busy_ = false;
        if (cancelled_ || Terminated()) continue;
        if (dispatcher_)
            dispatcher_->Post([done = done_, ticket, reachable] { done(ticket, reachable); });
    }
}

} // namespace kaldor
