// The console's line through ser2net on loopback, plain and over TLS side by side: the time
// from a key press to the frame's last byte at the far end (against the same on a local
// pseudo-terminal), the receiver's CPU at the line's full rate with the frames sent against
// those decoded, the cost of TLS as a ratio, and the TLS handshake's time.
//   bench_remote [--presses N] [--seconds N]
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ReceiverBench.h"
#include "link/PortOpener.h"
#include "link/TlsStream.h"
#include "support/RemoteServers.h"
#include "support/TlsFiles.h"

using namespace kaldor;
using namespace kaldor::test;

namespace {

double Latency(const char* name, SerialPort& port, TestAmp& amp, int presses) {
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
    if (ms.empty()) return 0;
    std::sort(ms.begin(), ms.end());
    std::printf("%-22s key to far end over %zu presses: median %.3f ms, max %.3f ms\n", name,
                ms.size(), ms[ms.size() / 2], ms.back());
    return ms[ms.size() / 2];
}

// The receiver at the line's full rate: its CPU seconds; prints the frames sent and decoded.
double FullRate(const char* name, SerialPort& port, TestAmp& amp, int seconds) {
    int report[2];
    if (pipe(report) != 0) return 0;
    const pid_t sender = StartSender(amp, seconds, report[1]);
    long decoded = 0;
    const double cpu = Run(name, port, seconds, &decoded);
    long sent = 0;
    // The sender ends a second after the run: its count includes frames nobody read any more.
    waitpid(sender, nullptr, 0);
    if (read(report[0], &sent, sizeof sent) != sizeof sent) sent = -1;
    close(report[0]);
    close(report[1]);
    std::printf("%-22s frames sent %ld (in %d s + 1 s), decoded %ld\n", name, sent, seconds, decoded);
    return cpu;
}

// Connect and handshake alone, as the opener does them, against the TLS ser2net: median ms.
double HandshakeMs(int port, const TlsOptions& tls, int rounds) {
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        TcpSocket socket;
        std::string error;
        const auto t0 = std::chrono::steady_clock::now();
        if (!socket.Connect("127.0.0.1", std::to_string(port), 1000, error)) continue;
        TlsStream stream(socket);
        CertificateInfo station;
        if (stream.Connect("127.0.0.1", tls, TlsStream::HandshakeTimeoutMs, station, error) !=
            TlsStream::Outcome::Linked) {
            std::printf("handshake failed: %s\n", error.c_str());
            continue;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        stream.Shutdown();
    }
    if (ms.empty()) return 0;
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// As the window opens its port; closed, with the reason printed, when it did not open.
SerialPort OpenPort(const char* name, const std::string& device, const std::optional<TlsOptions>& tls = std::nullopt) {
    std::optional<PortOpener::Result> r = OpenAsWindow(1, device, tls);
    if (r && !r->Opened()) std::printf("%s: %s\n", name, r->Failure.c_str());
    SerialPort port = r ? std::move(r->Line) : SerialPort();
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
        SerialPort port = OpenPort("pseudo-terminal", amp.DevicePath());
        Latency("pseudo-terminal", port, amp, presses);
    }
    double latency[2] = {}, cpu[2] = {};
    TlsFiles files;
    files.Make("station", "station");
    files.Make("user", "bench");
    const std::string auth = files.Dir() + "/auth/bench/allowed_certs";
    TlsOptions tls;
    tls.CertificateFile = files.Cert("user");
    tls.KeyFile = files.Key("user");
    tls.StationFile = files.Cert("station");
    if (std::system(("mkdir -p " + auth + " && cp " + files.Cert("user") + " " + auth + "/ && openssl rehash " +
                     auth).c_str()) != 0)
        return 1;
    for (int secure = 0; secure < 2; ++secure) {
        const char* name = secure ? "ser2net TLS" : "ser2net plain";
        TestAmp amp;
        Ser2net ser2net(amp.DevicePath(), secure ? Ser2net::Tls{files.Key("station"), files.Cert("station"),
                                                                files.Dir() + "/auth"}
                                                 : Ser2net::Tls{});
        if (!ser2net.Start()) return 1;
        if (secure) std::printf("TLS handshake (connect included), median of 20: %.2f ms\n",
                                HandshakeMs(ser2net.Port(), tls, 20));
        SerialPort port = OpenPort(name, ser2net.Address(), tls);
        if (!port.IsOpen()) return 1;
        latency[secure] = Latency(name, port, amp, presses);
        cpu[secure] = FullRate(name, port, amp, seconds);
    }
    std::printf("TLS against plain: key latency x%.2f, receiver CPU x%.2f (goal: at most x1.2)\n",
                latency[0] > 0 ? latency[1] / latency[0] : 0.0, cpu[0] > 0 ? cpu[1] / cpu[0] : 0.0);
    return 0;
}
