// The whole console on a shown window against a test amplifier that paces its bytes at the
// line's full rate (9600 8N1), in operate with readings that change on every frame, then at a
// steady reading. Prints per phase: frames sent and handled, CPU share of one core (the console
// process, all its threads), peak memory, repaints per second, and the time from a frame's last
// byte to the window having handled it. Run it on a display (Xvfb :99 and DISPLAY=:99).
//   bench_console [--seconds N] [--paints] [--station-log]
//   (--paints: repaints by widget; --station-log: with the station log recording)
// Under valgrind --tool=callgrind each phase is one dump of its own.
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#include <valgrind/callgrind.h>
#include <vector>

#include "CpuTime.h"
#include "panel/InfoDialogs.h"
#include "shell/MessageBox.h"
#include "shell/Mainunit.h"
#include "shell/Settings.h"
#include "logwindow/StationLogger.h"
#include "support/TestAmp.h"

using namespace kaldor;
using namespace kaldor::test;

namespace {

constexpr int kRing = 1 << 16;              // send times, by frame number
constexpr long kByteNs = 1000000000L / 960; // 9600 baud, 10 bits a byte

enum Mode : int { Idle, Changing, Steady, Quit };

// Shared with the sending child.
struct Shared {
    std::atomic<int> mode{Idle};
    std::atomic<long> sent{0};
    std::atomic<int64_t> lastByteNs[kRing];
};

int64_t MonotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t{ts.tv_sec} * 1000000000 + ts.tv_nsec;
}

long PeakKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long kb = 0;
    while (status >> key) {
        if (key == "VmHWM:") {
            status >> kb;
            return kb;
        }
        status.ignore(1 << 12, '\n');
    }
    return 0;
}

// The amplifier's side: one byte every 1.04 ms. The frame's number rides in screen data bytes
// 0 and 1, which the operate screens do not show; the moment just before its last byte is
// written is kept by that number.
[[noreturn]] void SendFrames(TestAmp& amp, Shared& shared) {
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    auto tick = [&] {
        next.tv_nsec += kByteNs;
        while (next.tv_nsec >= 1000000000L) {
            next.tv_nsec -= 1000000000L;
            ++next.tv_sec;
        }
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    };
    for (uint32_t n = 1;; ++n) {
        const int mode = shared.mode.load();
        if (mode == Quit) _exit(0);
        if (mode == Idle) {
            usleep(10000);
            clock_gettime(CLOCK_MONOTONIC, &next);
            continue;
        }
        StatusPayload p;
        p.Screen(ScrOperateTx).Flags(FlagOperate | FlagTx | FlagFullPower | FlagCelsius).Byte(14, 0x40).Word(16, 14100).Byte(18, 0x71).Byte(21, 45);
        if (mode == Changing) {
            const double phase = n * 0.07;
            p.Word(19, static_cast<uint16_t>(120 + 20 * std::sin(phase * 3)))
                .Word(22, static_cast<uint16_t>(5000 + 4000 * std::sin(phase)))
                .Word(24, static_cast<uint16_t>(150 + 100 * std::sin(phase * 2)))
                .Word(26, static_cast<uint16_t>(480 + 20 * std::sin(phase)))
                .Word(28, static_cast<uint16_t>(200 + 150 * std::sin(phase)));
        } else {
            p.Word(19, 120).Word(22, 6000).Word(24, 150).Word(26, 480).Word(28, 250);
        }
        p.ScreenData(0, static_cast<uint8_t>(n & 0xFF)).ScreenData(1, static_cast<uint8_t>((n >> 8) & 0xFF));
        const Bytes frame = StatusFrame(p);
        for (size_t i = 0; i < frame.size(); ++i) {
            if (i + 1 == frame.size()) shared.lastByteNs[n % kRing].store(MonotonicNs());
            amp.Send({frame[i]});
            tick();
        }
        shared.sent.fetch_add(1);
    }
}

struct PaintCounter : QObject {
    long paints = 0;
    bool byWidget = false; // --paints: which widgets were painted how often
    std::map<std::string, long> widgets;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() != QEvent::Paint) return false;
        ++paints;
        if (byWidget) {
            // The whole path: the four meters' segments have the same names.
            std::string path;
            for (QObject* p = o; p && p->parent(); p = p->parent())
                path = "/" + p->objectName().toStdString() + path;
            ++widgets[std::string(o->metaObject()->className()) + " " + path];
        }
        return false;
    }
    void PrintWidgets(double seconds) {
        std::vector<std::pair<long, std::string>> top;
        for (const auto& [name, n] : widgets) top.emplace_back(n, name);
        std::sort(top.rbegin(), top.rend());
        for (size_t i = 0; i < top.size() && i < 25; ++i)
            std::printf("    %7.1f/s  %s\n", top[i].first / seconds, top[i].second.c_str());
        widgets.clear();
    }
};

struct Phase {
    long sent0 = 0, handled = 0, paints0 = 0;
    double cpu0 = 0.0, windowCpu0 = 0.0;
    QElapsedTimer wall;
    std::vector<double> latencyMs;
};

double Percentile(std::vector<double> v, double q) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(q * (v.size() - 1) + 0.5))];
}

} // namespace

int main(int argc, char** argv) {
    int seconds = 20;
    bool paintsByWidget = false;
    bool stationLog = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) seconds = std::max(2, std::atoi(argv[++i]));
        if (!std::strcmp(argv[i], "--paints")) paintsByWidget = true;
        if (!std::strcmp(argv[i], "--station-log")) stationLog = true;
    }

    // The sender forks before any thread exists.
    auto* shared = static_cast<Shared*>(
        mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    new (shared) Shared;
    TestAmp amp;
    const pid_t sender = fork();
    if (sender == 0) SendFrames(amp, *shared);

    QApplication app(argc, argv);
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    amp.BindPort(1);
    for (int n = 2; n <= PortCount; ++n)
        setenv(("KALDOR_COM" + std::to_string(n)).c_str(), "/nonexistent/kaldor", 1);
    InstallFontSubstitutes();

    int result = 0;
    {
        TSettings settings(QStringLiteral("Kaldor_Console_Bench"));
        settings.SaveComPort(1);
        TMainForm form(settings);
        std::unique_ptr<TStationLogger> logger;
        if (stationLog) {
            StationLogOptions o;
            o.Folder = (config.path() + QStringLiteral("/log")).toStdString();
            logger = std::make_unique<TStationLogger>(form, settings, o);
        }
        if (!form.FormCreate()) return 1;
        form.show();

        PaintCounter counter;
        counter.byWidget = paintsByWidget;
        app.installEventFilter(&counter);
        Phase phase;
        TDateTime lastDeadline = 0.0;
        QObject::connect(&form, &TMainForm::StatusHandled, [&](uint16_t) {
            const int64_t now = MonotonicNs();
            const TComThread* r = form.ComThread.get();
            if (!r || r->LinkDeadline == lastDeadline) return; // no new frame in this pass
            lastDeadline = r->LinkDeadline;
            ++phase.handled;
            const unsigned n = r->GetScreenData(0) | (r->GetScreenData(1) << 8);
            const int64_t sentAt = shared->lastByteNs[n % kRing].load();
            if (sentAt > 0) phase.latencyMs.push_back((now - sentAt) / 1e6);
        });

        auto start = [&] {
            CALLGRIND_ZERO_STATS;
            phase = Phase();
            phase.sent0 = shared->sent.load();
            phase.cpu0 = CpuSeconds();
            phase.windowCpu0 = ThreadCpuSeconds();
            phase.paints0 = counter.paints;
            counter.widgets.clear();
            phase.wall.start();
        };
        auto report = [&](const char* name) {
            CALLGRIND_DUMP_STATS_AT(name);
            const double wall = phase.wall.elapsed() / 1000.0;
            const long sent = shared->sent.load() - phase.sent0;
            std::printf("%-24s %5.1f s  frames sent %5ld handled %5ld  CPU %5.2f %% of one core "
                        "(window thread %.2f %%)  peak memory %5.1f MB  repaints %6.1f/s  byte to "
                        "window: median %.2f ms, max %.2f ms, 99%% %.2f ms\n",
                        name, wall, sent, phase.handled, 100.0 * (CpuSeconds() - phase.cpu0) / wall,
                        100.0 * (ThreadCpuSeconds() - phase.windowCpu0) / wall,
                        PeakKb() / 1024.0, (counter.paints - phase.paints0) / wall,
                        Percentile(phase.latencyMs, 0.5), Percentile(phase.latencyMs, 1.0),
                        Percentile(phase.latencyMs, 0.99));
            if (paintsByWidget) counter.PrintWidgets(wall);
            std::fflush(stdout);
        };
        auto at = [](int ms, std::function<void()> f) { QTimer::singleShot(ms, std::move(f)); };

        std::printf("window up: peak memory %.1f MB\n", PeakKb() / 1024.0);
        // 2 s to settle each time: the link comes up, peaks of the last phase drop.
        const int ms = seconds * 1000;
        at(0, [&] { shared->mode = Changing; });
        at(2000, start);
        at(2000 + ms, [&] {
            report("operate, changing");
            shared->mode = Steady;
        });
        at(4000 + ms, start);
        at(4000 + 2 * ms, [&] {
            report("operate, steady reading");
            shared->mode = Idle;
        });
        at(4500 + 2 * ms, [&] {
            // Quitting closes the window, which asks first: answer for the user.
            SetMessageBoxResponder([](const MessageBoxCall&) { return IDYES; });
            app.quit();
        });
        result = app.exec();
        app.removeEventFilter(&counter);
    }
    shared->mode = Quit;
    kill(sender, SIGKILL);
    waitpid(sender, nullptr, 0);
    return result;
}
