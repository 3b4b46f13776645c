#pragma once
// The station: owns the amplifier's line and serves it to many consoles at once, over TLS (the
// user from the console's certificate) and, on loopback, plain. Every console gets every byte
// the amplifier sends, through a bounded queue of its own; one console at a time operates
// (ControlArbiter). A thread reads the line, one accepts on each listener, and each console
// has its own: a console that stalls or misbehaves holds up nobody else.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "link/NonCopyable.h"
#include "link/SerialPort.h"
#include "link/TcpSocket.h"
#include "link/TlsStream.h"
#include "station/ControlArbiter.h"
#include "station/StationOptions.h"

namespace kaldor::station {

class Station : NonCopyable {
public:
    using Log = std::function<void(const std::string& line)>;
    // log: one line per event; standard error by default.
    explicit Station(StationOptions options, Log log = nullptr);
    ~Station(); // stops

    // Loads the identity, listens and starts serving; the device opens now or later, when it
    // comes. False with the reason in error: nothing is served then.
    bool Start(std::string& error);
    void Stop();

    int TlsPort() const { return tlsPort_; }
    int PlainPort() const { return plainPort_; }
    // Consoles connected now, their handshake done or under way.
    size_t Consoles();
    bool DeviceOpen();

    // A console's queue of bytes not yet taken: past this, it is dropped.
    static constexpr size_t MaxQueued = 64 * 1024;
    // A console that takes nothing of what waits for it this long (by Now()) is dropped.
    static constexpr double StallSeconds = 5.0;
    // A missing device is looked for this often (by Now()).
    static constexpr double ReopenSeconds = 1.0;
    static constexpr size_t MaxConsoles = 100;

private:
    struct Console;
    struct Listener;
    void AcceptLoop(Listener& listener);
    void ReadLine();
    void Serve(const std::shared_ptr<Console>& console);
    // Identifies the console and joins it to the arbiter; false when it is refused.
    bool Admit(Console& console);
    void Pump(Console& console, bool& closed);
    // Feeds what came from a console through its Telnet layer.
    void Received(Console& console, const uint8_t* bytes, size_t n);
    void Apply(const ArbiterEffects& fx, int answering = 0);
    void Fanout(const uint8_t* bytes, size_t n);
    void Reap(bool all);
    void Write(const std::string& line);

    StationOptions options_;
    Log log_;
    TlsServerIdentity identity_;
    std::unique_ptr<Listener> tls_, plain_;
    int tlsPort_ = 0, plainPort_ = 0;
    std::atomic<bool> stop_{false};

    std::mutex arbiterMutex_; // the arbiter, and the order its effects are carried out in
    ControlArbiter arbiter_;

    std::mutex consolesMutex_;
    std::list<std::shared_ptr<Console>> consoles_;
    int nextId_ = 1;

    std::mutex lineMutex_; // the open device: writes, DTR, closing
    SerialPort line_;
    std::thread reader_;
    std::mutex wakeMutex_;
    std::condition_variable wake_;
    std::mutex logMutex_;
};

} // namespace kaldor::station
