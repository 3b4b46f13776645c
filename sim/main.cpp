// kaldor-sim: the simulated amplifier on a pseudo-terminal, for a console started separately.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#ifndef _WIN32
#include <poll.h>
#include <unistd.h>
#endif

#include "sim/SimServer.h"

using namespace kaldor::sim;

namespace {

constexpr char kHelp[] =
    "Usage: kaldor-sim [options]\n"
    "Simulated KALDOR M7-QX amplifier on a pseudo-terminal.\n"
    "\n"
    "Prints the device path of the amplifier's serial line on the first line of standard\n"
    "output, then serves the amplifier until interrupted (Ctrl+C). Start a console on it with\n"
    "\n"
    "    KALDOR_COM1=<path> kaldor-console\n"
    "\n"
    "and choose COM1. The amplifier starts switched on. The console's OFF key switches it off;\n"
    "a pseudo-terminal carries no DTR line, so switch it on again with an empty line (Enter)\n"
    "on this program's standard input.\n"
    "\n"
    "Options:\n"
    "  --seed N    Seed of the simulated readings and events (default 1).\n"
    "  --off       Start switched off.\n"
    "  -h, --help  Show this help and exit.\n";

volatile std::sig_atomic_t stopRequested = 0;
extern "C" void OnStopSignal(int) { stopRequested = 1; }

bool ParseSeed(const char* text, uint32_t& seed) {
    char* end = nullptr;
    errno = 0;
    const unsigned long v = std::strtoul(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v > 0xFFFFFFFFul) return false;
    seed = static_cast<uint32_t>(v);
    return true;
}

int Usage(const std::string& what) {
    std::cerr << "kaldor-sim: " << what << "\nTry 'kaldor-sim --help' for more information.\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    SimOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::cout << kHelp;
            return 0;
        }
        if (arg == "--off") {
            options.StartPowered = false;
        } else if (arg == "--seed") {
            if (i + 1 >= argc || !ParseSeed(argv[i + 1], options.Seed))
                return Usage("--seed needs a number from 0 to 4294967295");
            ++i;
        } else {
            return Usage("unknown argument '" + arg + "'");
        }
    }

    std::string error;
    std::unique_ptr<SimServer> server = SimServer::OnPseudoTerminal(options, error);
    if (!server) {
        std::cerr << "kaldor-sim: " << error << "\n";
        return 1;
    }
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
#ifndef _WIN32
    std::signal(SIGTTIN, SIG_IGN); // started in the background: reading the terminal fails, no stop
#endif
    server->Start();
    std::cout << server->DevicePath() << std::endl;
    std::cerr << "kaldor-sim: serving the simulated amplifier on " << server->DevicePath()
              << "\nkaldor-sim: start a console with KALDOR_COM1=" << server->DevicePath()
              << " kaldor-console; Enter switches the amplifier on, Ctrl+C ends.\n";

#ifndef _WIN32
    bool input = true; // standard input still open
    while (!stopRequested) {
        pollfd p{STDIN_FILENO, POLLIN, 0};
        if (!input || ::poll(&p, 1, 200) <= 0) {
            if (!input) ::poll(nullptr, 0, 200);
            continue;
        }
        char buf[256];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            input = false; // end of input (started in the background): signals only
            continue;
        }
        if (std::memchr(buf, '\n', static_cast<size_t>(n)) && !server->Powered()) {
            server->PowerOn();
            std::cerr << "kaldor-sim: switched on\n";
        }
    }
#endif
    server->Stop();
    return 0;
}
