// The four bar meters alone, as the operate screen feeds them at the line's full rate (28 frames
// a second), on an injected clock: no line, no receiver, no timers of their own. Per phase
// (changing readings, then a steady reading) it prints the window thread's CPU time per frame
// and, where the processor's counter can be read, user-space instructions per frame; both stay
// steady on a loaded machine, unlike a share of a core. Under callgrind each phase is its own
// dump (instructions per frame = the dump's total / frames):
//   bench_meters [--frames N]
//   valgrind --tool=callgrind --callgrind-out-file=/tmp/cg.%p bench_meters --frames 300
// Runs headless when no display is set.
#include <QApplication>
#include <QEvent>
#include <QPalette>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <linux/perf_event.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <valgrind/callgrind.h>

#include "CpuTime.h"
#include "link/Clock.h"
#include "widgets/Frmbar_100.h"

using namespace kaldor;

namespace {

constexpr double kFrameSeconds = 34.0 / 960.0; // one status frame on a 9600 8N1 line

// User-space instructions of this thread, or -1 where no counter is available (a virtual
// machine without one, or a kernel that forbids it).
class InstructionCounter {
public:
    InstructionCounter() {
        perf_event_attr a{};
        a.type = PERF_TYPE_HARDWARE;
        a.size = sizeof a;
        a.config = PERF_COUNT_HW_INSTRUCTIONS;
        a.exclude_kernel = 1;
        a.exclude_hv = 1;
        fd_ = static_cast<int>(syscall(SYS_perf_event_open, &a, 0, -1, -1, 0));
    }
    ~InstructionCounter() {
        if (fd_ >= 0) close(fd_);
    }
    long long Read() const {
        long long n = -1;
        if (fd_ < 0 || read(fd_, &n, sizeof n) != sizeof n) return -1;
        return n;
    }

private:
    int fd_ = -1;
};

// Paints what the frame made dirty, as the window's next update would.
void Flush(QWidget* window) {
    QApplication::processEvents();
    QEvent request(QEvent::UpdateRequest);
    QApplication::sendEvent(window, &request);
}

} // namespace

int main(int argc, char** argv) {
    int frames = 3000;
    for (int i = 1; i < argc; ++i)
        if (!std::strcmp(argv[i], "--frames") && i + 1 < argc)
            frames = std::max(10, std::atoi(argv[++i]));
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    TDateTime now = 10.0;
    SetClockSource([&] { return now; });
    QApplication app(argc, argv);
    InstallFontSubstitutes();

    QWidget window;
    window.resize(655, 200);
    window.setAutoFillBackground(true);
    window.setPalette(QPalette(clBtnFace.ToQColor()));
    struct Setup {
        const char* name;
        const char* caption;
        int fullScale;
        const char* unit;
        TColor color;
    };
    const Setup setups[] = {{"Frm_PA", "PA OUT", 12000, " W pep", clLime},
                            {"Frm_PR", "PW REV", 2000, " W pep", clYellow},
                            {"Frm_VPA", "V PA", 600, " V", clAqua},
                            {"Frm_IPA", "I PA", 500, " A", clInfoBk}};
    TFrmBar100* meters[4];
    for (int i = 0; i < 4; ++i) {
        auto* m = new TFrmBar100(&window);
        m->setObjectName(setups[i].name);
        m->move(10, 5 + 45 * i);
        m->Timer1->stop(); // stepped below on the injected clock
        m->SetCaption(setups[i].caption);
        m->SetFullScale(setups[i].fullScale);
        m->SetUnit(setups[i].unit);
        m->SetActiveColor(setups[i].color);
        m->SetPeakColor(setups[i].color);
        m->SetValue(-1);
        meters[i] = m;
    }
    window.show();
    Flush(&window);

    InstructionCounter counter;
    TDateTime nextTimer = now;
    long n = 0;
    auto frame = [&](bool changing) {
        ++n;
        const double phase = n * 0.07;
        const int pa = changing ? static_cast<int>(5000 + 4000 * std::sin(phase)) : 6000;
        const int pr = changing ? static_cast<int>(150 + 100 * std::sin(phase * 2)) : 150;
        const int vpa = changing ? static_cast<int>(480 + 20 * std::sin(phase)) : 480;
        const int ipa = changing ? static_cast<int>(200 + 150 * std::sin(phase)) : 250;
        meters[0]->SetFullScale(12000);
        meters[0]->SetValue(pa);
        meters[1]->SetValue(pr);
        meters[2]->SetValue(vpa);
        meters[3]->SetValue(ipa);
        now += kFrameSeconds * OneSecond;
        while (nextTimer <= now) { // the meters' 100 ms peak-hold timers
            for (TFrmBar100* m : meters) m->Timer1Timer(m->Timer1);
            nextTimer += OneSecond / 10;
        }
        Flush(&window);
    };
    auto run = [&](const char* name, bool changing) {
        for (int i = 0; i < 60; ++i) frame(changing); // settle: the last phase's peaks drop
        CALLGRIND_ZERO_STATS;
        const long long i0 = counter.Read();
        const double cpu0 = test::ThreadCpuSeconds();
        for (int i = 0; i < frames; ++i) frame(changing);
        const double cpu = test::ThreadCpuSeconds() - cpu0;
        const long long i1 = counter.Read();
        CALLGRIND_DUMP_STATS_AT(name);
        std::printf("%-10s %6d frames  window thread %7.1f us/frame", name, frames,
                    1e6 * cpu / frames);
        if (i0 >= 0 && i1 >= 0) std::printf("  %9.0f instructions/frame", double(i1 - i0) / frames);
        std::printf("  (%.3f %% of a core at 28 frames/s)\n", 100.0 * cpu / frames / kFrameSeconds);
    };
    run("changing", true);
    run("steady", false);
    SetClockSource({});
    return 0;
}
