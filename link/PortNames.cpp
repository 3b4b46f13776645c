#include "PortNames.h"
#include "link/NumberText.h"

#include "TlsOptions.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

namespace kaldor {
namespace {
std::mutex lookupMutex;
std::function<std::string(int)> storedLookup;
} // namespace

void SetStoredDeviceLookup(std::function<std::string(int)> lookup) {
    std::lock_guard<std::mutex> lock(lookupMutex);
    storedLookup = std::move(lookup);
}

std::string PortEnvironmentDevice(int n) {
    const std::string var = "KALDOR_COM" + std::to_string(n);
    const char* env = std::getenv(var.c_str());
    return env ? std::string(env) : std::string();
}

std::string PortDeviceName(int n) {
    if (std::string env = PortEnvironmentDevice(n); !env.empty()) return env;
    {
        std::lock_guard<std::mutex> lock(lookupMutex);
        if (storedLookup) {
            std::string stored = storedLookup(n);
            if (!stored.empty()) return stored;
        }
    }
    return DefaultPortDevice(n);
}

std::string Win32DevicePath(const std::string& name) {
    if (name.rfind("\\\\", 0) == 0) return name; // \\.\ and \\?\ paths, UNC paths
    // "COM3:" as old programs write it is COM3.
    std::string device = name;
    if (device.size() > 4 && device.back() == ':' && (device.compare(0, 3, "COM") == 0 || device.compare(0, 3, "com") == 0))
        device.pop_back();
    return "\\\\.\\" + device;
}

bool IsTlsDevice(const std::string& name) { return name.rfind(RemoteTlsDevicePrefix, 0) == 0; }

bool IsRemoteDevice(const std::string& name) {
    return name.rfind(RemoteDevicePrefix, 0) == 0 || IsTlsDevice(name);
}

bool ParseRemoteDevice(const std::string& name, std::string& host, std::string& port) {
    if (!IsRemoteDevice(name)) return false;
    std::string rest =
        name.substr(std::strlen(IsTlsDevice(name) ? RemoteTlsDevicePrefix : RemoteDevicePrefix));
    if (!rest.empty() && rest.back() == '/') rest.pop_back();
    size_t colon;
    if (!rest.empty() && rest.front() == '[') {
        const size_t close = rest.find(']');
        if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':')
            return false;
        host = rest.substr(1, close - 1);
        colon = close + 1;
    } else {
        colon = rest.find(':');
        if (colon == std::string::npos || rest.find(':', colon + 1) != std::string::npos)
            return false; // an IPv6 address needs its brackets
        host = rest.substr(0, colon);
    }
    port = rest.substr(colon + 1);
    int64_t number = 0;
    return !host.empty() && host.find_first_of("[]") == std::string::npos && port.size() <= 5 &&
           ParseInteger(port, 1, 65535, number);
}

std::string StationKey(const std::string& device) {
    std::string host, port;
    if (!ParseRemoteDevice(device, host, port)) return {};
    return (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + port;
}

std::string DefaultPortDevice(int n) {
#ifdef _WIN32
    return "COM" + std::to_string(n);
#else
    return "/dev/ttyS" + std::to_string(n - 1);
#endif
}

} // namespace kaldor
