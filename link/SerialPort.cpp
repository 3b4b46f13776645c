#include "SerialPort.h"

#include <mutex>

#include "PortNames.h"
#include "Rfc2217Port.h"
#include "SerialPortDevice.h"

namespace kaldor {
namespace {
std::mutex observerMutex;
std::function<void(const std::string&, bool)> dtrObserver;
} // namespace

void SerialPort::SetDtrObserver(std::function<void(const std::string&, bool)> observer) {
    std::lock_guard<std::mutex> lock(observerMutex);
    dtrObserver = std::move(observer);
}

void NotifyDtr(const std::string& device, bool raised) {
    std::function<void(const std::string&, bool)> observer;
    {
        std::lock_guard<std::mutex> lock(observerMutex);
        observer = dtrObserver;
    }
    if (observer) observer(device, raised);
}

SerialPort::~SerialPort() { Close(); }

bool SerialPort::IsOpen() const {
    return dev_ && (dev_->Remote ? dev_->Remote->IsOpen() : dev_->Open());
}

void SerialPort::Close() {
    if (dev_) dev_->CloseOnce();
    if (dev_ && dev_->Remote) dev_->Remote->Close();
    dev_.reset();
}

bool SerialPort::BeginRead(int count) {
    lastReadFailed_ = !IsOpen() || count < 0; // a closed port fails at once
    return !lastReadFailed_ && count > 0 && !dev_->Cancelled;
}

bool SerialPort::BeginOpen(int n, std::string& local) {
    Close();
    local = named_.empty() ? PortDeviceName(n) : named_;
    if (IsRemoteDevice(local)) return OpenFailed(n, local, "a remote serial server: PortOpener opens it");
    return true;
}

bool SerialPort::OpenDevice(const std::string& device, const LineSettings& line) {
    named_ = device.empty() ? std::string(" ") : device; // never the port's own name by mistake
    const bool opened = Open(1, line.Baud, line.Parity, line.ByteSize, line.StopBits, 4096, 4096);
    named_.clear();
    return opened;
}

int SerialPort::TimeoutMs() const { return dev_ ? dev_->TimeoutMs.load() : 0; }

int SerialPort::PortNumber() const { return dev_ ? dev_->Port : 0; }

std::string SerialPort::DeviceName() const { return dev_ ? dev_->Name : std::string(); }

bool SerialPort::OpenFailed(int n, const std::string& name, const std::string& reason) const {
    openFailure_ = "COM" + std::to_string(n) + " (" + name + "): " + reason;
    return false;
}

bool SerialPort::SetDtr() { return SetDtrLevel(true); }

bool SerialPort::ClearDtr() { return SetDtrLevel(false); }

bool SerialPort::SetDtrLevel(bool raised) {
    if (!IsOpen()) return false;
    const bool ok = dev_->Remote ? dev_->Remote->SetControl(raised ? telnet::DTR_ON : telnet::DTR_OFF)
                                 : dev_->SetDtrLine(raised);
    NotifyDtr(dev_->Name, raised);
    return ok;
}

void SerialPort::CancelRead() {
    if (!dev_) return;
    dev_->Cancelled = true;
    if (dev_->Remote) dev_->Remote->Cancel();
    dev_->WakeRead();
}

} // namespace kaldor
