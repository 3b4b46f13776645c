#pragma once
#include <string>
#include <vector>

#include "sim/SimAmplifier.h"
#include "sim/SimLine.h"

namespace kaldor::sim {

// What kaldor-sim's arguments ask for.
struct SimCommandLine {
    SimOptions Options;
    int TcpPort = -1; // a pseudo-terminal
    std::string Bind = "127.0.0.1";
    SimTlsFiles Tls; // with --rfc2217 only
    bool Help = false;
    std::string Error; // set when the arguments are wrong: what is wrong with them
};

// arguments without the program's name.
SimCommandLine ParseSimCommandLine(const std::vector<std::string>& arguments);

} // namespace kaldor::sim
