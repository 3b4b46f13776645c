#pragma once
// Opening one of the console's ports, whatever its device: a local device opens at once; a
// remote serial server is resolved, connected and negotiated off the window thread
// (Rfc2217Port::Open), which takes seconds against one that does not answer.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "SerialPort.h"
#include "TlsCertificate.h"
#include "TlsOptions.h"
#include "WorkerThread.h"

namespace kaldor {

class Rfc2217Port;

class PortOpener : public WorkerThread {
public:
    struct Result {
        int Port = 0;
        std::string Device;
        SerialPort Line;     // open at AmplifierLine, or closed when the device did not open
        std::string Failure; // then why: "COMn (device): reason"
        bool Opened() const { return Line.IsOpen(); }

        // rfc2217s:// only. The station's certificate as it showed it (also on a failure after
        // the handshake, a changed fingerprint for one), and the key its fingerprint is stored
        // under ("host:port", StationKey).
        CertificateInfo Station;
        std::string StationKey;
        // The station is neither the one in its station file nor the one stored for
        // StationKey, and there is neither: the port is NOT open (nothing went beyond the
        // handshake) and Failure says so. The window may ask the user about Station, store its
        // Fingerprint, and Open again; the reconnect must not ask.
        bool StationUnknown = false;
    };
    using Then = std::function<void(Result& result)>;

    // Completions of remote opens are posted to dispatcher (the window thread's).
    explicit PortOpener(Dispatcher* dispatcher);
    ~PortOpener() override;

    // Window thread. Opens port n's device at AmplifierLine, then then(result): before this
    // returns for a local device, later through the dispatcher for a remote one. release, if
    // any, runs just before the device is taken: before a local device opens (so one that is
    // opened again is free), before then for a remote one. An open still under way is dropped,
    // its connect or negotiation ended, neither of its steps run: the newest wins.
    void Open(int n, std::function<void()> release, Then then);
    // Window thread, once: how rfc2217s:// ports are to be opened; called by Open on the window
    // thread for each of them. Without it: no client certificate, every station unknown.
    void SetTlsProvider(TlsProvider provider) { tlsProvider_ = std::move(provider); }
    // Local devices too are opened on the opener's thread, the completion posted as for a remote
    // one: for the start-up probe on Windows, where opening a COM port (a Bluetooth one, a
    // driver that hangs) can take seconds the window thread must not wait.
    void SetLocalInBackground(bool on) { localInBackground_ = on; }
    // Window thread. Drops the open under way, as a newer one would.
    void Cancel();
    // Window thread: a remote open is under way.
    bool Pending() const { return shared_->Waiting; }

protected:
    void Execute() override;
    void StopRequested() override;

private:
    // Between this object and the completions it posts, which may run after it has gone.
    struct Shared {
        std::atomic<uint64_t> Latest{0}; // the newest open's ticket; an older one is dropped
        bool Waiting = false;            // window thread only
    };
    uint64_t Drop(); // a new ticket; what was under way is ended

    Dispatcher* dispatcher_;
    TlsProvider tlsProvider_;
    bool localInBackground_ = false;
    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
    bool started_ = false;
    std::mutex m_;
    std::condition_variable cv_;
    // The open asked for, while pending_.
    bool pending_ = false;
    int port_ = 0;
    std::string device_;
    TlsOptions tls_;
    std::function<void()> release_;
    Then then_;
    Rfc2217Port* busy_ = nullptr; // the open under way, for Cancel and Terminate to wake
};

} // namespace kaldor
