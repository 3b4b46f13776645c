#include "PortOpener.h"

#include <utility>

#include "PortNames.h"
#include "Rfc2217Port.h"

namespace kaldor {

PortOpener::PortOpener(Dispatcher* dispatcher) : WorkerThread(dispatcher), dispatcher_(dispatcher) {}

PortOpener::~PortOpener() {
    Drop();
    StopAndWait();
}

uint64_t PortOpener::Drop() {
    std::lock_guard<std::mutex> lock(m_);
    pending_ = false;
    release_ = nullptr;
    then_ = nullptr;
    if (busy_) busy_->Cancel();
    shared_->Waiting = false;
    return ++shared_->Latest;
}

void PortOpener::Cancel() { Drop(); }

void PortOpener::Open(int n, std::function<void()> release, Then then) {
    Drop();
    const std::string device = PortDeviceName(n);
    if (!IsRemoteDevice(device) && !localInBackground_) {
        if (release) release();
        Result result;
        result.Port = n;
        result.Device = device;
        result.Line.Open(n, AmplifierLine.Baud, AmplifierLine.Parity, AmplifierLine.ByteSize,
                         AmplifierLine.StopBits, 4096, 4096);
        result.Failure = result.Line.OpenFailure();
        then(result);
        return;
    }
    // The thread starts with the first remote open: a console on local ports never needs it.
    if (!std::exchange(started_, true)) Start();
    TlsOptions tls;
    if (IsTlsDevice(device) && tlsProvider_) tls = tlsProvider_(n, StationKey(device));
    std::lock_guard<std::mutex> lock(m_);
    pending_ = true;
    port_ = n;
    device_ = device;
    tls_ = std::move(tls);
    release_ = std::move(release);
    then_ = std::move(then);
    shared_->Waiting = true;
    cv_.notify_all();
}

void PortOpener::StopRequested() {
    std::lock_guard<std::mutex> lock(m_);
    if (busy_) busy_->Cancel();
    cv_.notify_all();
}

void PortOpener::Execute() {
    for (;;) {
        auto remote = std::make_shared<Rfc2217Port>();
        int n;
        std::string device;
        TlsOptions tls;
        std::function<void()> release;
        Then then;
        uint64_t ticket;
        {
            std::unique_lock<std::mutex> lock(m_);
            cv_.wait(lock, [this] { return pending_ || Terminated(); });
            if (Terminated()) return;
            pending_ = false;
            n = port_;
            device.swap(device_);
            tls = std::exchange(tls_, TlsOptions{});
            release = std::exchange(release_, nullptr);
            then = std::exchange(then_, nullptr);
            ticket = shared_->Latest;
            busy_ = remote.get();
        }
        if (!IsRemoteDevice(device)) {
            // Opened here, handed over as it is; release runs before it is taken, as always.
            // One copy only, shared: a copy of a port that goes closes the device for all.
            auto line = std::make_shared<SerialPort>();
            line->Open(n, AmplifierLine.Baud, AmplifierLine.Parity, AmplifierLine.ByteSize, AmplifierLine.StopBits,
                       4096, 4096);
            std::lock_guard<std::mutex> lock(m_);
            busy_ = nullptr;
            if (ticket != shared_->Latest || Terminated()) continue; // dropped: its port closes here
            if (dispatcher_) dispatcher_->Post([shared = shared_, ticket, n, device, line, release, then] {
                if (ticket != shared->Latest) return;
                shared->Waiting = false;
                if (release) release();
                Result result;
                result.Port = n;
                result.Device = device;
                result.Line = std::move(*line);
                result.Failure = result.Line.OpenFailure();
                then(result);
            });
            continue;
        }
        std::string error;
        const bool opened = remote->Open(device, AmplifierLine, error, tls);
        const CertificateInfo station = remote->Station();
        const bool unknown = remote->StationUnknown();
        std::lock_guard<std::mutex> lock(m_);
        busy_ = nullptr;
        if (ticket != shared_->Latest || Terminated()) continue; // dropped: its port closes here
        if (!opened) remote.reset();
        // Made into a SerialPort on the window thread, where its DTR is reported.
        if (dispatcher_) dispatcher_->Post([shared = shared_, ticket, n, device, remote, error, release, then,
                                             station, unknown] {
            if (ticket != shared->Latest) return;
            shared->Waiting = false;
            if (release) release();
            Result result;
            result.Port = n;
            result.Device = device;
            result.Line.Adopt(n, device, remote, error);
            result.Failure = result.Line.OpenFailure();
            if (IsTlsDevice(device)) {
                result.Station = station;
                result.StationKey = StationKey(device);
                result.StationUnknown = unknown;
            }
            then(result);
        });
    }
}

} // namespace kaldor
