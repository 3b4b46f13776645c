// The console's line through ser2net on loopback: the time from a key press to the frame's last
// byte at the far end (against the same on a local pseudo-terminal), and the receiver's CPU at
// the line's full rate.
//   bench_remote [--presses N] [--seconds N]
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ReceiverBench.h"
#include "link/PortOpener.h"
#include "support/RemoteServers.h"

using namespace kaldor;
using namespace kaldor::test;

namespace {

void Latency(const char* name, SerialPort& port, TestAmp& amp, int presses) {
    const CommandFrame& key = KeyFrame(Key::Tune);
    std::vector<double> ms;
    for (int i = 0; i < presses; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        port.Write(key.Bytes, key.Count);
        const Bytes got = amp.Received(static_cast<size_t>(key.Count), 2000, 0);
        const auto t1 = std::chrono::steady_clock::now();
        if (got.size() != static_cast<size_t>(key.Count)) {
            std::printf("%s: press %d lost\n", name, i);
            continue;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    if (ms.empty()) return;
    std::sort(ms.begin(), ms.end());
    std::printf("%-22s key to far end over %zu presses: median %.3f ms, max %.3f ms\n", name,
                ms.size(), ms[ms.size() / 2], ms.back());
}

// As the window opens its port.
SerialPort OpenPort(const std::string& device) {
    setenv("KALDOR_COM1", device.c_str(), 1);
    QueueDispatcher window;
    PortOpener opener(&window);
    SerialPort port;
    bool done = false;
    opener.Open(1, nullptr, [&](PortOpener::Result& r) {
        port = std::move(r.Line);
        done = true;
    });
    window.RunUntil([&] { return done; }, 5000);
    port.SetTimeouts(5000);
    return port;
}

} // namespace

int main(int argc, char** argv) {
    int presses = 300, seconds = 10;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--presses")) presses = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--seconds")) seconds = std::atoi(argv[++i]);
    }
    if (!Ser2net::Installed()) {
        std::printf("ser2net is not installed\n");
        return 1;
    }
    {
        TestAmp amp;
        SerialPort port = OpenPort(amp.DevicePath());
        Latency("pseudo-terminal", port, amp, presses);
    }
    TestAmp amp;
    Ser2net ser2net(amp.DevicePath());
    if (!ser2net.Start()) return 1;
    SerialPort port = OpenPort(ser2net.Address());
    if (!port.IsOpen()) return 1;
    Latency("ser2net on loopback", port, amp, presses);

    const pid_t sender = StartSender(amp, seconds);
    Run("ser2net full rate", port, seconds);
    kill(sender, SIGKILL);
    waitpid(sender, nullptr, 0);
    return 0;
}
