#pragma once
// The receiver under load: a far end sending frames at the line's full rate, and a run that
// counts passes and decoded frames and prints the CPU share of one core.
#include <csignal>
#include <cstdio>
#include <ctime>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "CpuTime.h"
#include "link/Frames.h"
#include "link/Tcomthread.h"
#include "support/TestAmp.h"

namespace kaldor::test {

// The far end: frames back to back at 9600 baud 8N1 (960 bytes a second), in a child process so
// its work is not counted. With reportFd, the child writes the count of frames it sent there
// (a long) when it ends.
inline pid_t StartSender(TestAmp& amp, int seconds, int reportFd = -1) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    StatusPayload p;
    p.Screen(ScrOperate).Flags(0x16).Word(22, 8000).Word(24, 120).Word(26, 500).Word(28, 220);
    const Bytes frame = StatusFrame(p);
    const double bytesPerSecond = 960.0;
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds + 1);
    uint16_t n = 0;
    while (std::chrono::steady_clock::now() < end) {
        p.Word(22, static_cast<uint16_t>(8000 + (n++ % 400)));
        amp.Send(StatusFrame(p));
        const long ns = static_cast<long>(frame.size() / bytesPerSecond * 1e9);
        next.tv_nsec += ns;
        while (next.tv_nsec >= 1000000000L) {
            next.tv_nsec -= 1000000000L;
            ++next.tv_sec;
        }
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    }
    const long sent = n;
    if (reportFd >= 0) [[maybe_unused]] ssize_t ignored = write(reportFd, &sent, sizeof sent);
    _exit(0);
}

// The CPU seconds the run took; frames, if given, the frames decoded.
inline double Run(const char* name, SerialPort& port, int seconds, long* decoded = nullptr) {
    QueueDispatcher window;
    long passes = 0, frames = 0;
    uint16_t lastPower = 0;
    const double cpu0 = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    {
        TComThread receiver(
            port,
            [&](TComThread* t) {
                ++passes;
                if (t->Screen != ScrNoLink && t->OutputPower != lastPower) ++frames;
                lastPower = t->OutputPower;
            },
            &window);
        window.RunFor(seconds * 1000);
        receiver.Terminate();
        receiver.WaitFor();
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = CpuSeconds() - cpu0;
    std::printf("%-12s %6.1f s  passes %7ld  frames decoded %6ld (%5.1f/s)  CPU %.3f s = %.2f %% of one core\n",
                name, wall, passes, frames, frames / wall, cpu, 100.0 * cpu / wall);
    if (decoded) *decoded = frames;
    return cpu;
}


} // namespace kaldor::test
