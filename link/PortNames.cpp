#include "PortNames.h"

#include <cstdlib>
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
    return "\\\\.\\" + name;
}

std::string DefaultPortDevice(int n) {
#ifdef _WIN32
    return "COM" + std::to_string(n);
#else
    return "/dev/ttyS" + std::to_string(n - 1);
#endif
}

} // namespace kaldor
