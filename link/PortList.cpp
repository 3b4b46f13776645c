#include "link/PortList.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "link/NumberText.h"

namespace kaldor {
namespace {

int PortNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 7 || name.compare(0, 3, "COM") != 0) return 0;
    int64_t n = 0;
    return ParseInteger(std::string_view(name).substr(3), 0, 9999, n) ? static_cast<int>(n) : 0;
}

std::mutex sourceMutex;
std::function<std::vector<PresentPort>()> source;

} // namespace

void SetPresentPortSource(std::function<std::vector<PresentPort>()> s) {
    std::lock_guard<std::mutex> lock(sourceMutex);
    source = std::move(s);
}

std::vector<PresentPort> PresentComPorts() {
    {
        std::lock_guard<std::mutex> lock(sourceMutex);
        if (source) return source();
    }
    return SystemComPorts();
}

#ifndef _WIN32
std::vector<PresentPort> SystemComPorts() { return {}; }
#endif

std::vector<PresentPort> CombinePorts(const std::vector<std::pair<std::string, std::string>>& deviceMap,
                                      const std::vector<std::string>& friendlyNames) {
    std::map<std::string, std::string> friendly; // by the "(COMn)" they end with
    for (const std::string& label : friendlyNames) {
        const auto open = label.rfind("(COM");
        if (open == std::string::npos || label.back() != ')') continue;
        friendly[label.substr(open + 1, label.size() - open - 2)] = label;
    }
    std::vector<PresentPort> ports;
    for (const auto& [device, name] : deviceMap) {
        if (PortNumber(name) <= 0) continue;
        const auto it = friendly.find(name);
        PresentPort p{name, it != friendly.end() ? it->second : name};
        p.Bluetooth = device.find("BthModem") != std::string::npos;
        ports.push_back(p);
    }
    std::stable_sort(ports.begin(), ports.end(), [](const PresentPort& a, const PresentPort& b) {
        return PortNumber(a.Name) < PortNumber(b.Name);
    });
    ports.erase(std::unique(ports.begin(), ports.end(),
                            [](const PresentPort& a, const PresentPort& b) { return a.Name == b.Name; }),
                ports.end());
    return ports;
}

} // namespace kaldor
