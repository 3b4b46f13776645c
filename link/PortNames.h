#pragma once
#include <functional>
#include <string>

namespace kaldor {

// The console knows its ports by number 1 to 6. On POSIX, port n is the device named by the
// environment variable KALDOR_COM<n>, else by the stored setting "ComDevice<n>" (looked up
// through the hook the application installs), else /dev/ttyS<n-1>. On Windows it is "COM<n>".
std::string PortDeviceName(int n);

// Returns the stored device for port n, or an empty string when none is stored.
void SetStoredDeviceLookup(std::function<std::string(int)> lookup);

} // namespace kaldor
