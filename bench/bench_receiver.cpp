// Drives a receiver through a pseudo-terminal at the line's full rate, on a quiet line and on a
// port that failed to open, and prints frames decoded and the CPU share of one core used.
//   bench_receiver [--seconds N]
#include <cstdlib>
#include <cstring>

#include "ReceiverBench.h"

using namespace kaldor;
using namespace kaldor::test;

int main(int argc, char** argv) {
    int seconds = 10;
    for (int i = 1; i < argc; ++i)
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) seconds = std::atoi(argv[++i]);

    {
        TestAmp amp;
        amp.BindPort(1);
        SerialPort port;
        port.Open(1, 9600, NOPARITY, 8, ONESTOPBIT, 4096, 4096);
        port.SetTimeouts(5000);
        const pid_t sender = StartSender(amp, seconds);
        Run("full rate", port, seconds);
        kill(sender, SIGKILL);
        waitpid(sender, nullptr, 0);
    }
    {
        TestAmp amp;
        amp.BindPort(1);
        SerialPort port;
        port.Open(1, 9600, NOPARITY, 8, ONESTOPBIT, 4096, 4096);
        port.SetTimeouts(5000);
        Run("quiet line", port, seconds);
    }
    {
        SerialPort failed; // never opened
        Run("failed port", failed, seconds);
    }
    return 0;
}
