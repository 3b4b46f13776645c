// The receiver on a pseudo-terminal at the line's full rate: frames sent against frames decoded,
// and the CPU of the receiver's own thread apart from the harness's. The far end sends whole
// frames in bursts, or paces the bytes one at a time as a UART delivers them (9600 8N1: one byte
// every 1.04 ms); then a device that vanishes mid-run, garbage as fast as the line's buffer takes
// it, a quiet line, /dev/zero as the device, a port that never opened.
//   bench_receiver [--seconds N]
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <stdexcept>
#include <string>

#include "CpuTime.h"
#include "link/Frames.h"
#include "link/Tcomthread.h"
#include "support/TestAmp.h"

using namespace kaldor;
using namespace kaldor::test;

namespace {

constexpr double kBytesPerSecond = 960.0; // 9600 baud, 10 bits a byte

// The window-thread stand-in, which also learns the receiver's thread: the receiver itself posts.
class MeasuringDispatcher : public QueueDispatcher {
public:
    void Post(std::function<void()> task) override {
        if (!known_.exchange(true)) {
            clockid_t c{};
            if (pthread_getcpuclockid(pthread_self(), &c) == 0) clock_ = c;
            tid_ = static_cast<long>(gettid());
            start_ = CpuSeconds(clock_);
            switches0_ = Switches();
            ready_ = true;
        }
        QueueDispatcher::Post(std::move(task));
    }
    // CPU seconds of the receiver's thread since its first hand-off; call while it runs.
    double ReceiverCpu() const { return ready_ ? CpuSeconds(clock_) - start_ : 0.0; }
    // Times the receiver's thread went to sleep and was woken since then.
    long ReceiverWakeups() const { return ready_ ? Switches() - switches0_ : 0; }

private:
    std::atomic<bool> known_{false}, ready_{false};
    long Switches() const {
        std::ifstream status("/proc/self/task/" + std::to_string(tid_) + "/status");
        std::string key;
        long n = 0;
        while (status >> key)
            if (key == "voluntary_ctxt_switches:" && status >> n) return n;
        return 0;
    }

    clockid_t clock_{};
    long tid_ = 0;
    double start_ = 0.0;
    long switches0_ = 0;
};

enum class Pace { Burst, Byte, Flood };

void AddNs(timespec& t, long ns) {
    t.tv_nsec += ns;
    while (t.tv_nsec >= 1000000000L) {
        t.tv_nsec -= 1000000000L;
        ++t.tv_sec;
    }
}

// Shared with the sending child.
struct SenderState {
    std::atomic<long> sent{0};    // frames written to their last byte
    std::atomic<bool> stop{false}; // ends the child after its current frame
};

// The far end, in a child process so its work is not counted. Every frame carries its number
// in the output-power word.
pid_t StartSender(TestAmp& amp, Pace pace, SenderState* state) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    StatusPayload p;
    p.Screen(ScrOperate).Flags(0x16).Word(24, 120).Word(26, 500).Word(28, 220);
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    const long byteNs = static_cast<long>(1e9 / kBytesPerSecond);
    for (uint16_t n = 1; !state->stop; ++n) {
        const Bytes frame = StatusFrame(p.Word(22, n));
        if (pace == Pace::Flood) { // garbage as fast as the line's buffer takes it
            static const Bytes junk(4096, 0x00);
            try {
                amp.Send(junk);
            } catch (const std::exception&) {
                // the receiver left the line full for longer than the sender waits: go on
            }
            continue;
        }
        if (pace == Pace::Burst) {
            amp.Send(frame);
            AddNs(next, byteNs * static_cast<long>(frame.size()));
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
        } else {
            for (uint8_t b : frame) {
                amp.Send({b});
                AddNs(next, byteNs);
                clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
            }
        }
        state->sent.fetch_add(1);
    }
    _exit(0);
}

struct Tally {
    long passes = 0, decoded = 0, gaps = 0;
    uint16_t last = 0;
    TDateTime deadline = 0.0;
};

void Report(const char* name, double wall, const Tally& t, long sent, double receiverCpu,
            long wakeups, double harnessCpu) {
    std::printf("%-22s %5.1f s  passes %7ld  ", name, wall, t.passes);
    if (sent >= 0)
        std::printf("sent %5ld decoded %5ld lost %ld (gaps %ld)  ", sent, t.decoded,
                    sent - t.decoded, t.gaps);
    else
        std::printf("decoded %5ld  ", t.decoded);
    std::printf("receiver CPU %.2f %% (%.0f wake-ups/s)  harness %.2f %% of one core\n",
                100.0 * receiverCpu / wall, wakeups / wall, 100.0 * harnessCpu / wall);
}

// Runs a receiver on port for seconds; midway runs halfway() once (null: nothing).
void Run(const char* name, SerialPort& port, int seconds, const std::atomic<long>* sent,
         const std::function<void()>& stopSender, const std::function<void()>& halfway = {}) {
    MeasuringDispatcher window;
    Tally t;
    const double harness0 = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const auto t0 = std::chrono::steady_clock::now();
    double receiverCpu = 0.0;
    long wakeups = 0;
    {
        TComThread receiver(
            port,
            [&](TComThread* r) {
                ++t.passes;
                if (r->LinkDeadline == t.deadline) return; // no new frame in this pass
                t.deadline = r->LinkDeadline;
                ++t.decoded;
                if (t.last && r->OutputPower != static_cast<uint16_t>(t.last + 1)) ++t.gaps;
                t.last = r->OutputPower;
            },
            &window);
        if (halfway) {
            window.RunFor(seconds * 500);
            halfway();
            window.RunFor(seconds * 500);
        } else {
            window.RunFor(seconds * 1000);
        }
        if (stopSender) stopSender();
        window.RunFor(300); // the frame in flight
        receiverCpu = window.ReceiverCpu();
        wakeups = window.ReceiverWakeups();
        receiver.Terminate(); // also wakes its read
        receiver.WaitFor();
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    Report(name, wall, t, sent ? sent->load() : -1, receiverCpu, wakeups,
           CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - harness0);
}

bool OpenOn(SerialPort& port, TestAmp& amp) {
    amp.BindPort(1);
    const bool ok = port.Open(1, 9600, NOPARITY, 8, ONESTOPBIT, 4096, 4096);
    port.SetTimeouts(5000); // as the console sets it
    return ok;
}

void RunSending(const char* name, Pace pace, int seconds, bool vanish) {
    auto* state = static_cast<SenderState*>(mmap(nullptr, sizeof(SenderState), PROT_READ | PROT_WRITE,
                                                 MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    new (state) SenderState;
    TestAmp amp;
    SerialPort port;
    if (!OpenOn(port, amp)) {
        std::printf("%s: cannot open the pseudo-terminal\n", name);
        return;
    }
    pid_t sender = StartSender(amp, pace, state);
    auto stop = [&] {
        if (sender > 0) {
            state->stop = true;
            waitpid(sender, nullptr, 0);
        }
        sender = -1;
    };
    if (vanish) {
        // The device goes: the far end stops and the pseudo-terminal's master closes.
        Run(name, port, seconds, &state->sent, stop, [&] {
            stop();
            amp.HangUp();
        });
    } else {
        Run(name, port, seconds, &state->sent, stop);
    }
    munmap(state, sizeof(SenderState));
}

} // namespace

int main(int argc, char** argv) {
    int seconds = 10;
    for (int i = 1; i < argc; ++i)
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) seconds = std::atoi(argv[++i]);
    if (seconds < 2) seconds = 2;

    RunSending("bursts, full rate", Pace::Burst, seconds, false);
    RunSending("byte-paced, full rate", Pace::Byte, seconds, false);
    RunSending("byte-paced, vanishing", Pace::Byte, seconds, true);
    RunSending("garbage flood", Pace::Flood, seconds, false);
    {
        TestAmp amp;
        SerialPort port;
        OpenOn(port, amp);
        Run("quiet line", port, seconds, nullptr, {});
    }
    {
        // A device that never stops giving bytes, far faster than any line.
        setenv("KALDOR_COM1", "/dev/zero", 1);
        SerialPort port;
        if (port.Open(1, 9600, NOPARITY, 8, ONESTOPBIT, 4096, 4096)) {
            port.SetTimeouts(5000);
            Run("endless zeros (/dev/zero)", port, seconds, nullptr, {});
        }
        unsetenv("KALDOR_COM1");
    }
    {
        SerialPort failed; // never opened
        Run("port never opened", failed, seconds, nullptr, {});
    }
    return 0;
}
