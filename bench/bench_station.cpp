// kaldor-station with many watchers at the line's full rate: the station's CPU share and each
// watcher's latency (a frame's last byte into the amplifier's pseudo-terminal to the same byte
// decoded at the watcher), one watcher against 50 in the same run, and a direct read of the line
// as the floor.
//   bench_station [--seconds N] [--watchers N]
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/SerialPort.h"
#include "link/TelnetCodec.h"
#include "support/TestAmp.h"

using namespace kaldor;
using namespace kaldor::test;
using Clock = std::chrono::steady_clock;

namespace {

constexpr size_t kFrameBytes = 34;
// The line's full rate: 960 bytes a second at 9600 8N1.
constexpr double kFrameSeconds = kFrameBytes / 960.0;

Bytes Frame(uint32_t n) {
    Bytes f(kFrameBytes, 0);
    f[0] = f[1] = 0xAA;
    std::memcpy(f.data() + 2, &n, sizeof n);
    f[6] = 0xFF; // doubled on the Telnet line
    return f;
}

// Sends frames at the line's rate for seconds; the time each one's last byte went in.
std::vector<Clock::time_point> Send(TestAmp& amp, double seconds) {
    std::vector<Clock::time_point> sent;
    const auto start = Clock::now();
    for (uint32_t n = 0; Clock::now() - start < std::chrono::duration<double>(seconds); ++n) {
        std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(
                                                  std::chrono::duration<double>(n * kFrameSeconds)));
        amp.Send(Frame(n));
        sent.push_back(Clock::now());
    }
    return sent;
}

struct Watcher {
    int Fd = -1;
    TelnetCodec Codec{TelnetCodec::Client()};
    size_t Bytes = 0;
    std::vector<Clock::time_point> Arrived; // of each whole frame
};

// Reads every watcher in one thread until stop, noting when each frame's last byte came.
void Read(std::vector<Watcher>& watchers, std::atomic<bool>& stop) {
    std::vector<pollfd> fds;
    for (Watcher& w : watchers) fds.push_back({w.Fd, POLLIN, 0});
    while (!stop) {
        if (::poll(fds.data(), fds.size(), 50) <= 0) continue;
        const auto now = Clock::now();
        for (size_t i = 0; i < fds.size(); ++i) {
            if (!(fds[i].revents & POLLIN)) continue;
            uint8_t buffer[4096];
            const ssize_t n = ::recv(fds[i].fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n <= 0) continue;
            Watcher& w = watchers[i];
            ByteVector data, replies;
            w.Codec.Feed(buffer, static_cast<size_t>(n), data, replies);
            if (!replies.empty()) {
                [[maybe_unused]] ssize_t ignored = ::send(w.Fd, replies.data(), replies.size(), MSG_NOSIGNAL);
            }
            for (size_t k = 0; k < data.size(); ++k)
                if (++w.Bytes % kFrameBytes == 0) w.Arrived.push_back(now);
        }
    }
}

int Connect(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) return -1;
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    const ByteVector greeting = TelnetCodec(TelnetCodec::Client()).Greeting();
    [[maybe_unused]] ssize_t ignored = ::send(fd, greeting.data(), greeting.size(), MSG_NOSIGNAL);
    return fd;
}

double CpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::vector<std::string> fields;
    std::string field;
    for (char c : text.substr(close + 2)) {
        if (c == ' ') fields.push_back(field), field.clear();
        else field += c;
    }
    if (fields.size() < 13) return 0;
    return (std::atof(fields[11].c_str()) + std::atof(fields[12].c_str())) / sysconf(_SC_CLK_TCK);
}

struct Figures {
    double Median = 0, P99 = 0, Max = 0;
    size_t Frames = 0, Lost = 0;
};

Figures Latencies(const std::vector<Clock::time_point>& sent, const std::vector<Clock::time_point>& arrived) {
    std::vector<double> ms;
    for (size_t i = 0; i < arrived.size() && i < sent.size(); ++i)
        ms.push_back(std::chrono::duration<double, std::milli>(arrived[i] - sent[i]).count());
    Figures f;
    f.Frames = ms.size();
    f.Lost = sent.size() - std::min(sent.size(), arrived.size());
    if (ms.empty()) return f;
    std::sort(ms.begin(), ms.end());
    f.Median = ms[ms.size() / 2];
    f.P99 = ms[ms.size() * 99 / 100];
    f.Max = ms.back();
    return f;
}

void Print(const char* what, const Figures& f) {
    std::printf("%-34s median %6.2f ms  p99 %6.2f ms  max %6.2f ms  (%zu frames, %zu missing)\n", what, f.Median,
                f.P99, f.Max, f.Frames, f.Lost);
}

// A run of the station with n watchers: the station's CPU share, and the latencies.
void Run(const char* program, int watchers, double seconds) {
    TestAmp amp;
    int out[2];
    if (::pipe(out) != 0) return;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 2);
        ::execl(program, "kaldor-station", "--device", amp.DevicePath().c_str(), "--plain", "127.0.0.1:0",
                "--operators", "nobody", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    FILE* in = ::fdopen(out[0], "r");
    char line[256] = {};
    if (!std::fgets(line, sizeof line, in)) {
        std::printf("the station did not start\n");
        return;
    }
    const int port = std::atoi(std::strrchr(line, ':') + 1);
    std::vector<Watcher> ws(static_cast<size_t>(watchers));
    for (Watcher& w : ws) w.Fd = Connect(port);
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // every one joined
    std::atomic<bool> stop{false};
    std::thread reader([&] { Read(ws, stop); });
    const double cpu0 = CpuSeconds(pid);
    const auto t0 = Clock::now();
    const std::vector<Clock::time_point> sent = Send(amp, seconds);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const double cpu = CpuSeconds(pid) - cpu0;
    stop = true;
    reader.join();
    std::printf("%d watcher(s): the station's CPU %.2f %% of one core (%.3f s in %.1f s)\n", watchers,
                100.0 * cpu / wall, cpu, wall);
    Figures worst;
    for (size_t i = 0; i < ws.size(); ++i) {
        const Figures f = Latencies(sent, ws[i].Arrived);
        if (f.Median > worst.Median) worst = f;
        if (i == 0) Print("  the first watcher", f);
        ::close(ws[i].Fd);
    }
    if (watchers > 1) Print("  the watcher with the worst median", worst);
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    std::fclose(in);
}

// The floor: the same frames read straight from the pseudo-terminal.
void Direct(double seconds) {
    TestAmp amp;
    SerialPort port;
    if (!port.OpenDevice(amp.DevicePath(), AmplifierLine)) return;
    port.SetTimeouts(20);
    std::vector<Clock::time_point> arrived;
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        uint8_t buffer[512];
        size_t bytes = 0;
        while (!stop) {
            const int n = port.Read(buffer, 1);
            const auto now = Clock::now();
            for (int k = 0; k < n; ++k)
                if (++bytes % kFrameBytes == 0) arrived.push_back(now);
        }
    });
    const std::vector<Clock::time_point> sent = Send(amp, seconds);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stop = true;
    reader.join();
    Print("direct read of the line", Latencies(sent, arrived));
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 10;
    int watchers = 50;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--seconds")) seconds = std::atof(argv[i + 1]);
        if (!std::strcmp(argv[i], "--watchers")) watchers = std::atoi(argv[i + 1]);
    }
    const char* program = KALDOR_STATION_PROGRAM;
    std::printf("frames of %zu bytes every %.1f ms (9600 baud), %.0f s a run\n", kFrameBytes, kFrameSeconds * 1000,
                seconds);
    Direct(seconds);
    Run(program, 1, seconds);
    Run(program, watchers, seconds);
    return 0;
}
