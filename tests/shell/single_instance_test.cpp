#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "shell/SingleInstance.h"

using namespace kaldor;
using namespace std::chrono;

namespace {

// Serves the first console's event loop, as its window thread would, until done() holds.
template <class Done>
bool PumpUntil(Done done, milliseconds limit = milliseconds(5000)) {
    const auto deadline = steady_clock::now() + limit;
    while (!done()) {
        if (steady_clock::now() > deadline) return false;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(milliseconds(2));
    }
    return true;
}

sockaddr_un AddressIn(const QTemporaryDir& dir) {
    sockaddr_un address;
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    const std::string path = dir.filePath("OnlyOne").toStdString();
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    return address;
}

int RawConnect(const QTemporaryDir& dir) {
    const sockaddr_un address = AddressIn(dir);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool ClosedByPeer(int fd) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0) return false;
    char c;
    return ::recv(fd, &c, 1, MSG_DONTWAIT) == 0;
}

// A later start run on its own thread, as the second process would run it.
class SecondStart {
public:
    explicit SecondStart(const TSingleInstance& instance)
        : thread_([this, &instance] {
              reached = instance.SignalRunning();
              returned = true;
          }) {}
    ~SecondStart() { thread_.join(); }

    // Runs the first console's events until this start has returned; when it does not, releases
    // first, which lets the thread end.
    bool ServedBy(TSingleInstance& first) {
        if (PumpUntil([&] { return returned.load(); })) return true;
        first.Release();
        return false;
    }

    std::atomic<bool> reached{false};
    std::atomic<bool> returned{false};

private:
    std::thread thread_;
};

} // namespace

TEST(SingleInstance, ASecondStartIsRefusedAndWaitsUntilTheFirstHasHandledItsSignal) {
    QTemporaryDir dir;
    TSingleInstance first(dir.path());
    ASSERT_TRUE(first.Acquire());
    EXPECT_TRUE(first.IsOwner());
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("OneInstanceAllowed")));
    EXPECT_FALSE(first.SignalRunning(0)) << "the running console cannot signal itself";

    SecondStart* waiting = nullptr;
    int handled = 0, emitted = 0;
    bool returnedDuringHandler = true;
    std::thread::id handlerThread;
    first.OnOtherInstance = [&] {
        ++handled;
        handlerThread = std::this_thread::get_id();
        std::this_thread::sleep_for(milliseconds(50)); // the user reads the message
        returnedDuringHandler = waiting && waiting->returned;
    };
    QObject::connect(&first, &TSingleInstance::otherInstanceStarted, [&] { ++emitted; });

    // flock belongs to the open file, so a second open conflicts even in this process.
    TSingleInstance second(dir.path());
    EXPECT_FALSE(second.Acquire());
    EXPECT_FALSE(second.IsOwner());
    {
        SecondStart start(second);
        waiting = &start;
        ASSERT_TRUE(start.ServedBy(first));
        EXPECT_TRUE(start.reached);
    }
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(emitted, 1);
    EXPECT_FALSE(returnedDuringHandler);
    EXPECT_EQ(handlerThread, std::this_thread::get_id());
}

TEST(SingleInstance, AnEndedConsoleLeavesNoSocketAndTheNextStartRuns) {
    QTemporaryDir dir;
    {
        TSingleInstance first(dir.path());
        ASSERT_TRUE(first.Acquire());
        EXPECT_TRUE(QFileInfo::exists(dir.filePath("OnlyOne")));
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("OnlyOne")));
    TSingleInstance probe(dir.path());
    const auto t0 = steady_clock::now();
    EXPECT_FALSE(probe.SignalRunning(50)) << "nobody is listening";
    EXPECT_LT(steady_clock::now() - t0, milliseconds(1000));

    TSingleInstance next(dir.path());
    EXPECT_TRUE(next.Acquire());
    next.Release();
    EXPECT_FALSE(next.IsOwner());
    EXPECT_TRUE(probe.Acquire()) << "Release gave the lock up";
}

TEST(SingleInstance, TheLockAndSocketOfAKilledConsoleDoNotBlockTheNextStart) {
    QTemporaryDir dir;
    const std::string lockPath = dir.filePath("OneInstanceAllowed").toStdString();
    const sockaddr_un address = AddressIn(dir);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    // The child does only what a console does to the files: lock, and leave a socket bound.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT, 0600);
        const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const bool ok = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                        ::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        const char byte = ok ? '1' : '0';
        (void)!::write(ready[1], &byte, 1);
        for (;;) ::pause();
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(byte, '1');

    TSingleInstance blocked(dir.path());
    EXPECT_FALSE(blocked.Acquire()) << "held by a live process";
    EXPECT_FALSE(blocked.SignalRunning(50)) << "its socket is not listening";

    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(QFileInfo::exists(dir.filePath("OnlyOne"))) << "the stale socket is still there";

    TSingleInstance next(dir.path());
    ASSERT_TRUE(next.Acquire());
    int handled = 0;
    next.OnOtherInstance = [&] { ++handled; };
    TSingleInstance later(dir.path());
    {
        SecondStart start(later);
        ASSERT_TRUE(start.ServedBy(next));
        EXPECT_TRUE(start.reached);
    }
    EXPECT_EQ(handled, 1);
}

TEST(SingleInstance, SilentOrForeignConnectionsNeitherHangTheConsoleNorRaiseTheSignal) {
    QTemporaryDir dir;
    TSingleInstance first(dir.path());
    first.SetSilentClientTimeout(150);
    ASSERT_TRUE(first.Acquire());
    int handled = 0;
    first.OnOtherInstance = [&] { ++handled; };

    const int silent = RawConnect(dir);
    ASSERT_GE(silent, 0);
    const int foreign = RawConnect(dir);
    ASSERT_GE(foreign, 0);
    ASSERT_EQ(::send(foreign, "Hello\n", 6, MSG_NOSIGNAL), 6);
    EXPECT_TRUE(PumpUntil([&] { return ClosedByPeer(foreign); }, milliseconds(1000)));

    // A real second start is served while the silent one still hangs on.
    TSingleInstance second(dir.path());
    {
        SecondStart start(second);
        ASSERT_TRUE(start.ServedBy(first));
        EXPECT_TRUE(start.reached);
    }
    EXPECT_EQ(handled, 1);
    EXPECT_FALSE(ClosedByPeer(silent));
    EXPECT_TRUE(PumpUntil([&] { return ClosedByPeer(silent); }, milliseconds(2000)))
        << "the silent connection is dropped after its time-out";
    EXPECT_EQ(handled, 1);
    ::close(silent);
    ::close(foreign);
}

TEST(SingleInstance, AHandlerThatThrowsStillReleasesTheWaitingStart) {
    QTemporaryDir dir;
    TSingleInstance first(dir.path());
    ASSERT_TRUE(first.Acquire());
    first.OnOtherInstance = [] { throw std::runtime_error("handler failed"); };
    TSingleInstance second(dir.path());
    SecondStart start(second);
    bool thrown = false;
    const auto deadline = steady_clock::now() + milliseconds(5000);
    while (!start.returned && steady_clock::now() < deadline) {
        try {
            QCoreApplication::processEvents();
        } catch (const std::runtime_error&) {
            thrown = true; // the application's report would take it from here
        }
        std::this_thread::sleep_for(milliseconds(2));
    }
    if (!start.returned) first.Release();
    EXPECT_TRUE(start.returned);
    EXPECT_TRUE(start.reached);
    EXPECT_TRUE(thrown);
}

TEST(SingleInstance, ALaterStartGivesUpOnAConsoleThatDoesNotTakeItsSignal) {
    // Not pumping the first's event loop is a console that is stopped or hung, also with its
    // queue full of later starts; a pumped one whose user reads the message longer than the
    // time-out is still waited for.
    enum Case { Stopped, StoppedAndQueueFull, Pumped };
    for (const Case c : {Stopped, StoppedAndQueueFull, Pumped}) {
        QTemporaryDir dir;
        TSingleInstance first(dir.path());
        ASSERT_TRUE(first.Acquire());
        first.OnOtherInstance = [] { std::this_thread::sleep_for(milliseconds(400)); };
        std::vector<int> queued;
        while (c == StoppedAndQueueFull && queued.size() < 64) {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
            const sockaddr_un address = AddressIn(dir);
            queued.push_back(fd);
            if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) break;
        }
        TSingleInstance second(dir.path());
        second.SetAnswerTimeout(200);
        std::atomic<bool> returned{false};
        bool reached = true;
        // Before the start's own clock begins, so that its wait is never measured short.
        const auto t0 = steady_clock::now();
        std::thread start([&] {
            reached = second.SignalRunning();
            returned = true;
        });
        while (!returned && steady_clock::now() - t0 < milliseconds(3000)) {
            if (c == Pumped) QCoreApplication::processEvents();
            std::this_thread::sleep_for(milliseconds(2));
        }
        const bool ended = returned;
        if (!ended) first.Release(); // lets the thread end
        start.join();
        for (const int fd : queued) ::close(fd);
        EXPECT_TRUE(ended) << c;
        EXPECT_EQ(reached, c == Pumped) << c;
        EXPECT_EQ(second.NoAnswer(), c != Pumped) << c;
        EXPECT_GE(steady_clock::now() - t0, milliseconds(c == Pumped ? 400 : 200)) << c;
    }
}
