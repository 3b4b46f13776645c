// kaldor-station: shares the amplifier's line among consoles, one of them operating.
#include <chrono>
#include <csignal>
#include <iostream>
#include <thread>

#include "link/WindowsApi.h"
#include "station/Station.h"

using namespace kaldor::station;

namespace {
volatile std::sig_atomic_t stopRequested = 0;
extern "C" void OnStopSignal(int) { stopRequested = 1; }

std::string Address(const char* scheme, const std::string& host, int port) {
    const bool v6 = host.find(':') != std::string::npos;
    return std::string(scheme) + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}
} // namespace

int main(int argc, char** argv) {
    const StationOptions options = ParseStationOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (options.Help) {
        std::cout << StationHelp;
        return 0;
    }
    if (!options.Error.empty()) {
        std::cerr << "kaldor-station: " << options.Error << "\nTry 'kaldor-station --help' for more information.\n";
        return 2;
    }
#ifdef _WIN32
    // Held while it runs, for the installer to see: a running program cannot be replaced.
    const HANDLE running = CreateMutexA(nullptr, FALSE, "KaldorStationRunning");
    (void)running;
#endif
    Station station(options);
    std::string error;
    if (!station.Start(error)) {
        std::cerr << "kaldor-station: " << error << std::endl;
        return 1;
    }
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    // The addresses served, one a line, for whoever started this with port 0.
    if (station.TlsPort()) std::cout << Address("rfc2217s://", options.ListenHost, station.TlsPort()) << "\n";
    if (station.PlainPort()) std::cout << Address("rfc2217://", options.PlainHost, station.PlainPort()) << "\n";
    std::cout.flush();
    while (!stopRequested) std::this_thread::sleep_for(std::chrono::milliseconds(200));
    station.Stop();
    std::cerr << "kaldor-station: stopped" << std::endl;
    return 0;
}
