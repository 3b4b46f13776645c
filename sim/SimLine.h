#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kaldor::sim {

// The simulated amplifier's end of a serial line.
class SimLine {
public:
    virtual ~SimLine() = default;
    // The device a console opens to reach this amplifier.
    virtual const std::string& DevicePath() const = 0;
    // Waits up to timeoutMs for bytes; returns how many were read, 0 on time-out or Wake.
    virtual int Read(uint8_t* buffer, int count, int timeoutMs) = 0;
    // Writes what the line takes now; a frame nobody reads is dropped rather than waited for.
    virtual void Write(const uint8_t* bytes, int count) = 0;
    // Makes a waiting Read return. Any thread.
    virtual void Wake() = 0;
    // Called about once a second by the server, for the line's own upkeep.
    virtual void Tend() {}
    // A line that carries DTR reports each level a console sets through this, from Read.
    virtual void SetDtrHandler(std::function<void(bool raised)>) {}
};

// A pseudo-terminal whose other end is the device a console opens (POSIX). Returns null and
// sets error where there is none.
std::unique_ptr<SimLine> OpenPseudoTerminal(std::string& error);

// The server's side of TLS: its certificate and key (PEM), and optionally a CA file or a
// directory of hashed certificates that a client's certificate must be in or signed by. All
// empty: plain Telnet.
struct SimTlsFiles {
    std::string CertFile, KeyFile, ClientCa;
    bool On() const { return !CertFile.empty(); }
};

// A Telnet COM-PORT-OPTION (RFC 2217) server listening on host (an address literal) and port, 0
// for a free one; the device is rfc2217://host:port, or rfc2217s://host:port with tls. One
// console at a time: a new one takes the line over from the last once its handshake is done.
// Null with error set when it cannot listen there or the TLS files do not load.
std::unique_ptr<SimLine> OpenRfc2217Line(const std::string& host, int port, std::string& error,
                                         const SimTlsFiles& tls = {});

} // namespace kaldor::sim
