#pragma once
// The serial ports the system has now, for the device assignment to offer before the plain list.
#include <string>
#include <vector>

namespace kaldor {

struct PresentPort {
    std::string Name;  // "COM12"
    std::string Label; // the driver's name for it where the system gives one: "USB Serial Port (COM12)"
};

// In port-number order; empty where the system lists none (and on POSIX, which lists its
// devices by path).
std::vector<PresentPort> PresentComPorts();

} // namespace kaldor
