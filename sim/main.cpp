// kaldor-sim: the simulated amplifier on a pseudo-terminal or a TCP port, for a console started
// separately.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>
#include <thread>

#ifdef _WIN32
#include "link/WindowsApi.h"
#else
#include <poll.h>
#include <unistd.h>
#endif

#include "sim/SimCommandLine.h"
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
    "With --tls-cert and --tls-key the line is served over TLS: rfc2217s://<address>:<port>;\n"
    "with --client-ca too, only a console showing a certificate from there is let in.\n"
    "\n"
    "Options:\n"
    "  --rfc2217 PORT  Serve on this TCP port (0: any free one) instead of a pseudo-terminal.\n"
    "  --bind ADDRESS  Address --rfc2217 listens on (default 127.0.0.1, this machine only;\n"
    "                  0.0.0.0 or :: for every network of this machine).\n"
    "  --tls-cert FILE The server's certificate (PEM), for TLS.\n"
    "  --tls-key FILE  Its private key (PEM).\n"
    "  --client-ca FILE|DIR  Require a client certificate: in or signed by this PEM file, or\n"
    "                  in this directory of hashed certificates (openssl rehash).\n"
    "  --seed N        Seed of the simulated readings and events (default 1).\n"
    "  --off           Start switched off.\n"
    "  -h, --help      Show this help and exit.\n";

volatile std::sig_atomic_t stopRequested = 0;
extern "C" void OnStopSignal(int) { stopRequested = 1; }

int Usage(const std::string& what) {
    std::cerr << "kaldor-sim: " << what << "\nTry 'kaldor-sim --help' for more information.\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    const SimCommandLine line = ParseSimCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (line.Help) {
        std::cout << kHelp;
        return 0;
    }
    if (!line.Error.empty()) return Usage(line.Error);
    const SimOptions& options = line.Options;
    const int tcpPort = line.TcpPort;
    const std::string& bind = line.Bind;

#ifdef _WIN32
    // Held while it runs, for the installer to see (the console's is "OneInstanceAllowed").
    const HANDLE running = CreateMutexA(nullptr, FALSE, "KaldorSimRunning");
    (void)running;
#endif
    std::string error;
    std::unique_ptr<SimServer> server = tcpPort < 0 ? SimServer::OnPseudoTerminal(options, error)
                                                    : SimServer::OnRfc2217(bind, tcpPort, options, error, line.Tls);
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
