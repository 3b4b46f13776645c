// kaldor-sim: the simulated amplifier on a pseudo-terminal or a TCP port, for a console started
// separately.
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

#ifndef _WIN32
#include <poll.h>
#include <unistd.h>
#endif

#include "sim/SimServer.h"

using namespace kaldor::sim;

namespace {

constexpr char kHelp[] =
    "Usage: kaldor-sim [options]\n"
    "Simulated KALDOR M7-QX amplifier on a pseudo-terminal, or on a TCP port.\n"
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
    "With --rfc2217 the line is served as a remote serial port (Telnet COM-PORT-OPTION, RFC\n"
    "2217), as ser2net serves a real one, and the path is rfc2217://<address>:<port>. A console\n"
    "on another machine enters rfc2217://<this machine>:<port> as its port's device. DTR then\n"
    "travels with the line, so the console's ON key switches the amplifier on. One console at a\n"
    "time: a console that connects takes the line over, and the one before is disconnected.\n"
    "\n"
    "Options:\n"
    "  --rfc2217 PORT  Serve on this TCP port (0: any free one) instead of a pseudo-terminal.\n"
    "  --bind ADDRESS  Address --rfc2217 listens on (default 127.0.0.1, this machine only;\n"
    "                  0.0.0.0 or :: for every network of this machine).\n"
    "  --seed N        Seed of the simulated readings and events (default 1).\n"
    "  --off           Start switched off.\n"
    "  -h, --help      Show this help and exit.\n";

volatile std::sig_atomic_t stopRequested = 0;
extern "C" void OnStopSignal(int) { stopRequested = 1; }

bool ParseNumber(const char* text, unsigned long max, unsigned long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtoul(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && text[0] != '-' && value <= max;
}

int Usage(const std::string& what) {
    std::cerr << "kaldor-sim: " << what << "\nTry 'kaldor-sim --help' for more information.\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    SimOptions options;
    int tcpPort = -1; // a pseudo-terminal
    std::string bind = "127.0.0.1";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::cout << kHelp;
            return 0;
        }
        if (arg == "--off") {
            options.StartPowered = false;
        } else if (arg == "--seed") {
            unsigned long seed = 0;
            if (i + 1 >= argc || !ParseNumber(argv[i + 1], 0xFFFFFFFFul, seed))
                return Usage("--seed needs a number from 0 to 4294967295");
            options.Seed = static_cast<uint32_t>(seed);
            ++i;
        } else if (arg == "--rfc2217") {
            unsigned long port = 0;
            if (i + 1 >= argc || !ParseNumber(argv[i + 1], 65535, port))
                return Usage("--rfc2217 needs a TCP port number from 0 to 65535");
            tcpPort = static_cast<int>(port);
            ++i;
        } else if (arg == "--bind") {
            if (i + 1 >= argc) return Usage("--bind needs an address");
            bind = argv[++i];
        } else {
            return Usage("unknown argument '" + arg + "'");
        }
    }

    std::string error;
    std::unique_ptr<SimServer> server = tcpPort < 0 ? SimServer::OnPseudoTerminal(options, error)
                                                    : SimServer::OnRfc2217(bind, tcpPort, options, error);
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
              << " kaldor-console; " << (tcpPort < 0 ? "Enter" : "its ON key")
              << " switches the amplifier on, Ctrl+C ends.\n";

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
#else
    while (!stopRequested) std::this_thread::sleep_for(std::chrono::milliseconds(200));
#endif
    server->Stop();
    return 0;
}
