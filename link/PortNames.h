#pragma once
#include <functional>
#include <string>

namespace kaldor {

// The console knows its ports by number 1 to 6. Port n is the device named by the environment
// variable KALDOR_COM<n>, else by the stored setting "ComDevice<n>" (looked up through the hook
// the application installs), else the default: /dev/ttyS<n-1> on POSIX, "COM<n>" on Windows.
// A name rfc2217://host:port is a port on a remote serial server; rfc2217s://host:port is the
// same over TLS.
constexpr int PortCount = 6;
std::string PortDeviceName(int n);
// KALDOR_COM<n>, empty when not set: it overrides whatever is stored.
std::string PortEnvironmentDevice(int n);
std::string DefaultPortDevice(int n);
// The path Windows opens a device name by: "COM12" opens only as "\\.\COM12" (and COM1 to
// COM9 open that way too); a name that already is such a path stays as it is.
std::string Win32DevicePath(const std::string& name);

// Returns the stored device for port n, or an empty string when none is stored.
void SetStoredDeviceLookup(std::function<std::string(int)> lookup);

constexpr const char* RemoteDevicePrefix = "rfc2217://";
constexpr const char* RemoteTlsDevicePrefix = "rfc2217s://";

// rfc2217:// or rfc2217s://
bool IsRemoteDevice(const std::string& name);
bool IsTlsDevice(const std::string& name);
// Splits rfc2217://host:port or rfc2217s://host:port; the host is a name, an IPv4 address or an
// IPv6 address in brackets. False when the name is not of that form or the port is not 1 to
// 65535.
bool ParseRemoteDevice(const std::string& name, std::string& host, std::string& port);

} // namespace kaldor
