// What the console parses for TLS: a stored or typed fingerprint, and the rfc2217s:// address
// whose station key it is stored under. An accepted fingerprint comes out in its one form
// (32 uppercase pairs, colons), which is accepted again unchanged; a remote address gives a
// key that is itself host:port of the same parts.
#include <string>

#include "FuzzCheck.h"
#include "link/PortNames.h"
#include "link/TlsCertificate.h"
#include "link/TlsOptions.h"

using namespace kaldor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string normal;
    if (NormaliseFingerprint(text, normal)) {
        FUZZ_CHECK(normal.size() == 95);
        for (size_t i = 0; i < normal.size(); ++i) {
            const char c = normal[i];
            FUZZ_CHECK(i % 3 == 2 ? c == ':' : ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')));
        }
        std::string again;
        FUZZ_CHECK(NormaliseFingerprint(normal, again) && again == normal);
    } else {
        FUZZ_CHECK(normal.empty());
    }

    const std::string key = StationKey(text);
    std::string host, port;
    FUZZ_CHECK(key.empty() != ParseRemoteDevice(text, host, port));
    if (!key.empty()) {
        std::string host2, port2;
        if (host.find(']') == std::string::npos) {
            FUZZ_CHECK(ParseRemoteDevice(RemoteTlsDevicePrefix + key, host2, port2));
            FUZZ_CHECK(host2 == host && port2 == port);
            FUZZ_CHECK(IsTlsDevice(RemoteTlsDevicePrefix + key));
        }
    }
    return 0;
}
