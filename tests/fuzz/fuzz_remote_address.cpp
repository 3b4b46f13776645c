// Remote device names: rfc2217://host:port and rfc2217://[v6]:port. An accepted name gives a
// non-empty host without the brackets' colon confusion and a port of 1 to 65535, and writing
// the parts back gives a name that parses to the same parts.
#include <string>

#include "FuzzCheck.h"
#include "link/PortNames.h"

using namespace kaldor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string name(reinterpret_cast<const char*>(data), size);
    std::string host, port;
    if (!ParseRemoteDevice(name, host, port)) return 0;
    FUZZ_CHECK(IsRemoteDevice(name));
    FUZZ_CHECK(!host.empty() && !port.empty() && port.size() <= 5);
    for (char c : port) FUZZ_CHECK(c >= '0' && c <= '9');
    const long number = std::stol(port);
    FUZZ_CHECK(number >= 1 && number <= 65535);
    const bool v6 = host.find(':') != std::string::npos;
    const std::string again = std::string(RemoteDevicePrefix) + (v6 ? "[" + host + "]" : host) + ":" + port;
    std::string host2, port2;
    if (host.find(']') == std::string::npos) {
        FUZZ_CHECK(ParseRemoteDevice(again, host2, port2));
        FUZZ_CHECK(host2 == host && port2 == port);
    }
    return 0;
}
