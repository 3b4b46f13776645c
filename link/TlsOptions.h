#pragma once
// What a port at rfc2217s://host:port needs besides its address: who the console is, and how
// to know the station. The window fills it from its settings; link/ never reads settings.
#include <functional>
#include <string>

namespace kaldor {

struct TlsOptions {
    // The console's own identity (PEM). Both empty: no client certificate is offered, and a
    // station that asks for one refuses the console.
    std::string CertificateFile;
    std::string KeyFile; // its path is never logged beyond this struct, nor its contents
    // The station's own certificate (self-signed, as gensio makes it) or a CA that signed it;
    // empty: the station is known by TrustedFingerprint. With a CA, the certificate must also
    // name the host of the address.
    std::string StationFile;
    // Stored for this host:port ("AB:CD:..." as NormaliseFingerprint makes it); empty: none yet,
    // and a station without StationFile is then unknown: PortOpener::Result says so.
    std::string TrustedFingerprint;
};

// The key the window stores a fingerprint under: "host:port" as written in the address, an IPv6
// host in brackets ("[::1]:4010"). Empty when device is not a remote address.
std::string StationKey(const std::string& device);

// Called on the window thread by PortOpener::Open for each rfc2217s:// port, just before the
// open is handed to the opener's thread: port number (1 to 6), the station key. Set once by the
// window (PortOpener::SetTlsProvider); without one, every station is unknown and no client
// certificate is offered.
using TlsProvider = std::function<TlsOptions(int port, const std::string& stationKey)>;

} // namespace kaldor
