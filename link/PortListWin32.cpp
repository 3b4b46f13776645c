#include "link/PortList.h"

#ifdef _WIN32
#include "link/WindowsApi.h"
#include <setupapi.h>

#include "link/SystemText.h"

namespace kaldor {
namespace {

// The registry and the drivers are others' data: every list is bounded, every string sized.
constexpr DWORD kMostPorts = 256;

// The device map: a value per port present, named by its device ("\\Device\\BthModem0"), its
// data the port's name. Wide, so that no code page stands between the driver and the console.
std::vector<std::pair<std::string, std::string>> DeviceMap() {
    std::vector<std::pair<std::string, std::string>> entries;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return entries;
    for (DWORD i = 0; i < kMostPorts; ++i) {
        wchar_t value[256];
        wchar_t data[64];
        DWORD valueSize = 256, dataSize = sizeof data - sizeof(wchar_t), type = 0;
        const LONG rc = RegEnumValueW(key, i, value, &valueSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS || type != REG_SZ) continue;
        data[dataSize / sizeof(wchar_t)] = 0;
        entries.emplace_back(Utf8(value, static_cast<int>(valueSize)), Utf8(data));
    }
    RegCloseKey(key);
    return entries;
}

// SetupAPI's friendly names of the ports class, in UTF-8 whatever the system's code page.
std::vector<std::string> FriendlyNames() {
    std::vector<std::string> names;
    static const GUID ports = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
    HDEVINFO set = SetupDiGetClassDevsW(&ports, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return names;
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    for (DWORD i = 0; i < kMostPorts && SetupDiEnumDeviceInfo(set, i, &info); ++i) {
        wchar_t text[256] = {};
        DWORD type = 0;
        if (SetupDiGetDeviceRegistryPropertyW(set, &info, SPDRP_FRIENDLYNAME, &type, reinterpret_cast<BYTE*>(text),
                                              sizeof text - sizeof(wchar_t), nullptr))
            names.push_back(Utf8(text));
    }
    SetupDiDestroyDeviceInfoList(set);
    return names;
}

} // namespace

std::vector<PresentPort> SystemComPorts() { return CombinePorts(DeviceMap(), FriendlyNames()); }

} // namespace kaldor
#endif
