#include "RemoteOpener.h"

#include "SerialPort.h"

namespace kaldor {

RemoteOpener::RemoteOpener(Dispatcher* dispatcher, Done done)
    : WorkerThread(dispatcher), dispatcher_(dispatcher), done_(std::move(done)) {
    Start();
}

RemoteOpener::~RemoteOpener() { StopAndWait(); }

uint64_t RemoteOpener::Open(const std::string& device) {
    std::string host, port;
    if (!ParseRemoteDevice(device, host, port)) return 0;
    std::lock_guard<std::mutex> lock(m_);
    device_ = device;
    pending_ = true;
    if (port_) port_->Cancel();
    cv_.notify_all();
    return ++ticket_;
}

void RemoteOpener::Cancel() {
    std::lock_guard<std::mutex> lock(m_);
    ++ticket_;
    pending_ = false;
    if (port_) port_->Cancel();
}

void RemoteOpener::StopRequested() {
    std::lock_guard<std::mutex> lock(m_);
    if (port_) port_->Cancel();
    cv_.notify_all();
}

void RemoteOpener::Execute() {
    for (;;) {
        auto port = std::make_shared<Rfc2217Port>();
        std::string device;
        uint64_t ticket;
        {
            std::unique_lock<std::mutex> lock(m_);
            cv_.wait(lock, [this] { return pending_ || Terminated(); });
            if (Terminated()) return;
            pending_ = false;
            device.swap(device_);
            ticket = ticket_;
            port_ = port.get();
        }
        std::string error;
        const bool opened = port->Open(device, 9600, NOPARITY, 8, ONESTOPBIT, error);
        std::lock_guard<std::mutex> lock(m_);
        port_ = nullptr;
        if (ticket != ticket_ || Terminated()) continue; // dropped: its port closes here
        if (!opened) port.reset();
        if (dispatcher_)
            dispatcher_->Post([done = done_, ticket, port, error] { done(ticket, port, error); });
    }
}

} // namespace kaldor
