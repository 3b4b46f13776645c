#include "link/PortList.h"

#ifdef _WIN32
#include <windows.h>
#include <setupapi.h>

#include <algorithm>
#include <map>

#include "link/NumberText.h"

namespace kaldor {
namespace {

// The registry and the drivers are others' data: every list is bounded, every string sized.
constexpr DWORD kMostPorts = 256;

int PortNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 7 || name.compare(0, 3, "COM") != 0) return 0;
    int64_t n = 0;
    return ParseInteger(std::string_view(name).substr(3), 0, 9999, n) ? static_cast<int>(n) : 0;
}

// "COMn" under the device map: a value per port present, its data the port's name.
std::vector<std::string> MappedPorts() {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return names;
    for (DWORD i = 0; i < kMostPorts; ++i) {
        char value[256];
        BYTE data[64];
        DWORD valueSize = sizeof value, dataSize = sizeof data - 1, type = 0;
        const LONG rc = RegEnumValueA(key, i, value, &valueSize, nullptr, &type, data, &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS || type != REG_SZ) continue;
        data[dataSize] = 0;
        const std::string name(reinterpret_cast<const char*>(data));
        if (PortNumber(name) > 0) names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}

// SetupAPI's friendly names of the ports class, by the "(COMn)" they end with.
std::map<std::string, std::string> FriendlyNames() {
    std::map<std::string, std::string> names;
    static const GUID ports = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
    HDEVINFO set = SetupDiGetClassDevsA(&ports, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return names;
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    for (DWORD i = 0; i < kMostPorts && SetupDiEnumDeviceInfo(set, i, &info); ++i) {
        char text[256];
        DWORD type = 0;
        if (!SetupDiGetDeviceRegistryPropertyA(set, &info, SPDRP_FRIENDLYNAME, &type,
                                               reinterpret_cast<BYTE*>(text), sizeof text - 1, nullptr))
            continue;
        text[sizeof text - 1] = 0;
        const std::string label(text);
        const auto open = label.rfind("(COM");
        if (open == std::string::npos || label.back() != ')') continue;
        names[label.substr(open + 1, label.size() - open - 2)] = label;
    }
    SetupDiDestroyDeviceInfoList(set);
    return names;
}

} // namespace

std::vector<PresentPort> PresentComPorts() {
    std::vector<PresentPort> ports;
    const auto friendly = FriendlyNames();
    for (const std::string& name : MappedPorts()) {
        const auto it = friendly.find(name);
        ports.push_back({name, it != friendly.end() ? it->second : name});
    }
    std::sort(ports.begin(), ports.end(), [](const PresentPort& a, const PresentPort& b) {
        return PortNumber(a.Name) < PortNumber(b.Name);
    });
    ports.erase(std::unique(ports.begin(), ports.end(),
                            [](const PresentPort& a, const PresentPort& b) { return a.Name == b.Name; }),
                ports.end());
    return ports;
}

} // namespace kaldor
#endif
