// SerialPort on a device named rfc2217://host:port: the remote serial server stands in for the
// OS device, with the same settings, time-outs and Read behaviour.
#include <string>

#include "Rfc2217Port.h"
#include "SerialPort.h"
#include "SerialPortDevice.h"

namespace kaldor {

bool SerialPort::IsRemote() const { return dev_ && dev_->Remote; }

bool SerialPort::Adopt(int n, const std::string& name, std::shared_ptr<Rfc2217Port> remote,
                       const std::string& error) {
    Close();
    if (!remote || !remote->IsOpen()) {
        return OpenFailed(n, name, remote ? "the server closed the connection" : error);
    }
    auto dev = std::make_shared<Device>();
    dev->Port = n;
    dev->Name = name;
    dev->Remote = std::move(remote);
    dev_ = std::move(dev);
    NotifyDtr(dev_->Name, false);
    SetTimeouts(1000);
    return true;
}

int SerialPort::ReadRemote(void* buffer, int count) {
    if (!BeginRead(count)) return 0;
    bool failed = false;
    const int n = dev_->Remote->Read(static_cast<uint8_t*>(buffer), count, dev_->TimeoutMs, failed);
    lastReadFailed_ = failed;
    return n;
}

int SerialPort::WriteRemote(const void* buffer, int count) {
    if (!IsOpen()) return 0;
    return dev_->Remote->Write(static_cast<const uint8_t*>(buffer), count);
}

bool SerialPort::SharedRole(StationRole& role) const {
    return IsOpen() && IsRemote() && dev_->Remote->SharedRole(role);
}

bool SerialPort::TakeControl(const std::string& seenHolder) {
    return IsOpen() && IsRemote() && dev_->Remote->TakeControl(seenHolder);
}

} // namespace kaldor
