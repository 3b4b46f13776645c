#pragma once
// What kaldor-station's arguments ask for.
#include <string>
#include <vector>

namespace kaldor::station {

struct StationOptions {
    std::string Device; // the amplifier's line, a local device as the console names ports
    // The TLS listener, with its identity and the users' directory (ser2net's authdir layout).
    std::string ListenHost, ListenPort;
    std::string CertFile, KeyFile, AuthDir;
    // The plain listener, loopback only, for a console on this machine: its user is LocalUser.
    std::string PlainHost, PlainPort;
    std::string LocalUser;
    std::vector<std::string> Operators; // everyone else allowed watches
    bool Help = false;
    std::string Error; // what is wrong with the arguments, when something is

    bool IsOperator(const std::string& user) const;
};

// arguments without the program's name.
StationOptions ParseStationOptions(const std::vector<std::string>& arguments);
// "127.0.0.1:3003", "[::1]:3003": false unless the port is 0 to 65535 and the host not empty.
bool SplitHostPort(const std::string& text, std::string& host, std::string& port);
// An address literal of this machine's loopback (127.0.0.0/8, ::1).
bool IsLoopbackAddress(const std::string& host);
// Who runs this program, for LocalUser's default.
std::string LoginName();

extern const char* const StationHelp;

} // namespace kaldor::station
