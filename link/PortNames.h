#pragma once
#include <functional>
#include <string>

namespace kaldor {

// The console knows its ports by number 1 to 6. Port n is the device named by the environment
// variable KALDOR_COM<n>, else by the stored setting "ComDevice<n>" (looked up through the hook
// the application installs), else the default: /dev/ttyS<n-1> on POSIX, "COM<n>" on Windows.
// A name rfc2217://host:port is a port on a remote serial server.
std::string PortDeviceName(int n);
// KALDOR_COM<n>, empty when not set: it overrides whatever is stored.
std::string PortEnvironmentDevice(int n);
std::string DefaultPortDevice(int n);
// The path Windows opens a device name by: "COM12" opens only as "\\.\COM12" (and COM1 to
// COM9 open that way too); a name that already is such a path stays as it is.
std::string Win32DevicePath(const std::string& name);

// Returns the stored device for port n, or an empty string when none is stored.
void SetStoredDeviceLookup(std::function<std::string(int)> lookup);

} // namespace kaldor
