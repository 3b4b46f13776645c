#pragma once
// The serial ports the system has now, for the device assignment to offer before the plain list.
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kaldor {

struct PresentPort {
    std::string Name;  // "COM12"
    std::string Label; // the driver's name for it where the system gives one: "USB Serial Port (COM12)"
    bool Bluetooth = false; // a Bluetooth modem: opening it tries to reach the paired device
};

// The ports from the device map's entries (device, port name: "\\Device\\BthModem0", "COM5")
// and the drivers' friendly names ("USB Serial Port (COM12)", UTF-8): each port once, in number
// order, a name that is no COMn left out. Bounded by what it is given.
std::vector<PresentPort> CombinePorts(const std::vector<std::pair<std::string, std::string>>& deviceMap,
                                      const std::vector<std::string>& friendlyNames);

// In port-number order; empty where the system lists none (and on POSIX, which lists its
// devices by path).
std::vector<PresentPort> PresentComPorts();
// Tests put a list of their own in place of the system's; an empty function brings it back.
void SetPresentPortSource(std::function<std::vector<PresentPort>()> source);
// The system's own list (Windows); PresentComPorts asks it unless a test has set a source.
std::vector<PresentPort> SystemComPorts();

} // namespace kaldor
