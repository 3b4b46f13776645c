#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>

#include "ReceiverFixture.h"
#include "link/Frames.h"
#include "link/Timingthread.h"
#include "support/StepSleeper.h"

#include <algorithm>

using namespace kaldor;
using namespace kaldor::test;
using namespace std::chrono;

namespace {

long ElapsedMs(steady_clock::time_point since) {
    return static_cast<long>(duration_cast<milliseconds>(steady_clock::now() - since).count());
}

class QuietLineTest : public ReceiverTest {
protected:
    int TimeoutMs() const override { return 5000; }
};

} // namespace

TEST_F(QuietLineTest, StopEndsPromptlyAfterOneLastHandOffServedByTheWaitingThread) {
    Start();
    std::this_thread::sleep_for(milliseconds(100)); // the receiver now waits in a 5 s read
    const size_t before = snaps.size();
    const auto t0 = steady_clock::now();
    receiver->Terminate();
    receiver->WaitFor(); // nobody runs the dispatcher: WaitFor itself must serve the hand-off
    EXPECT_LT(ElapsedMs(t0), 500);
    ASSERT_EQ(snaps.size(), before + 1) << "one last hand-off";
    EXPECT_EQ(snaps.back().Thread, std::this_thread::get_id());
    receiver.reset();
}

TEST_F(QuietLineTest, AKeyFrameGoesOutWhileTheReceiverWaitsInARead) {
    Start();
    std::this_thread::sleep_for(milliseconds(100)); // the receiver now waits in a 5 s read
    const CommandFrame& set = KeyFrame(Key::Set);
    const auto t0 = steady_clock::now();
    EXPECT_EQ(port.Write(set.Bytes, set.Count), 9);
    EXPECT_EQ(amp.Received(9, 2000), Bytes(set.Bytes, set.Bytes + 9));
    EXPECT_LT(ElapsedMs(t0), 1000);
}

TEST(FailedPort, TheReceiverPausesInsteadOfSpinningAndShowsTheLostLink) {
    QueueDispatcher dispatcher;
    SerialPort closed;
    int passes = 0;
    bool allLost = true;
    TComThread receiver(
        closed,
        [&](TComThread* t) {
            ++passes;
            allLost = allLost && t->Screen == 30;
        },
        &dispatcher);
    dispatcher.RunFor(1000);
    EXPECT_GE(passes, 4);
    EXPECT_LE(passes, 15) << "about one pass per 100 ms";
    EXPECT_TRUE(allLost);
    const auto t0 = steady_clock::now();
    receiver.Terminate();
    receiver.WaitFor();
    EXPECT_LT(ElapsedMs(t0), 300);
}

namespace {

// A worker that hands off a few calls and then ends.
class Counter : public WorkerThread {
public:
    Counter(Dispatcher* d, int rounds, std::atomic<int>* deleted = nullptr)
        : WorkerThread(d), rounds_(rounds), deleted_(deleted) {}
    ~Counter() override {
        StopAndWait();
        if (deleted_) ++*deleted_;
    }
    void Go(EndOptions end = EndOptions()) { Start(std::move(end)); }
    std::vector<std::thread::id> ranOn;
    std::function<void()> call;

protected:
    void Execute() override {
        for (int i = 0; i < rounds_ && !Terminated(); ++i) {
            try {
                Synchronize([this] {
                    ranOn.push_back(std::this_thread::get_id());
                    if (call) call();
                });
            } catch (...) {
                failedRounds++;
            }
        }
    }

public:
    int failedRounds = 0;

private:
    int rounds_;
    std::atomic<int>* deleted_;
};

} // namespace

TEST(WorkerThread, HandOffsAndTheEndHandlerRunOnTheWindowThreadInOrder) {
    QueueDispatcher dispatcher;
    Counter worker(&dispatcher, 3);
    std::vector<std::string> order;
    worker.call = [&] { order.push_back("call"); };
    WorkerThread::EndOptions end;
    end.OnTerminate = [&] { order.push_back("end"); };
    worker.Go(std::move(end));
    ASSERT_TRUE(dispatcher.RunUntil([&] { return worker.Finished(); }, 2000));
    worker.WaitFor();
    EXPECT_EQ(order, (std::vector<std::string>{"call", "call", "call", "end"}));
    for (auto id : worker.ranOn) EXPECT_EQ(id, std::this_thread::get_id());
}

TEST(WorkerThread, AnExceptionInAHandOffBelongsToTheWindowThreadAndReleasesTheWorker) {
    QueueDispatcher dispatcher;
    Counter worker(&dispatcher, 2);
    worker.call = [] { throw std::runtime_error("boom"); };
    worker.Go();
    int caught = 0;
    while (!worker.Finished()) {
        try {
            dispatcher.RunOne(100);
        } catch (const std::runtime_error&) {
            ++caught;
        }
    }
    worker.WaitFor();
    EXPECT_EQ(caught, 2);
    EXPECT_EQ(worker.failedRounds, 0);
}

TEST(WorkerThread, FreeOnTerminateDeletesItselfAfterTheEndHandler) {
    QueueDispatcher dispatcher;
    std::atomic<int> deleted{0};
    bool ended = false;
    auto* worker = new Counter(&dispatcher, 1, &deleted);
    WorkerThread::EndOptions end;
    end.FreeOnTerminate = true;
    end.OnTerminate = [&] { ended = true; };
    worker->Go(std::move(end));
    ASSERT_TRUE(dispatcher.RunUntil([&] { return deleted.load() == 1; }, 2000));
    EXPECT_TRUE(ended);
}

// --- Self-deleting one-shot delays -----------------------------------------------------------


// Started back to back with nobody touching them afterwards: each delay must own its start, or
// the thread can reach its own end before it exists as an object.
TEST(TimingThread, ManyDelaysEachEndOnceOnTheWindowThreadAndDeleteThemselves) {
    auto dispatcher = std::make_shared<QueueDispatcher>();
    constexpr int kCount = 200;
    std::vector<int> ends;
    for (int i = 0; i < kCount; ++i)
        TTimingThread::Start(i % 3, [&ends, i](TTimingThread* t) {
            EXPECT_EQ(t->Duration, i % 3);
            ends.push_back(i);
        }, dispatcher);
    ASSERT_TRUE(dispatcher->RunUntil([&] { return ends.size() == kCount; }, 5000));
    std::sort(ends.begin(), ends.end());
    for (int i = 0; i < kCount; ++i) EXPECT_EQ(ends[static_cast<size_t>(i)], i);
}

TEST(TimingThread, AClosedGateDropsTheEndHandlerAndTheDelayStillFreesItself) {
    StepSleeper sleeper;
    QueueDispatcher window;
    auto gate = std::make_shared<DispatchGate>(&window);
    // The handler holds the only token; it expires when the thread object is deleted.
    auto token = std::make_shared<int>(0);
    std::weak_ptr<int> alive = token;
    bool ran = false;
    TTimingThread::Start(6000, [&ran, token = std::move(token)](TTimingThread*) { ran = true; }, gate);
    ASSERT_TRUE(sleeper.WaitRequested(1));
    gate->Close(); // the window goes while the delay sleeps
    gate.reset();
    sleeper.ReleaseNext();
    for (int i = 0; i < 300 && !alive.expired(); ++i) window.RunFor(10);
    EXPECT_TRUE(alive.expired()) << "the delay did not delete itself";
    EXPECT_FALSE(ran);
}

namespace {
class Failing : public WorkerThread {
public:
    explicit Failing(Dispatcher* d) : WorkerThread(d) { Start(); }
    ~Failing() override { StopAndWait(); }

protected:
    void Execute() override { throw std::runtime_error("line driver failed"); }
};
} // namespace

TEST(WorkerThread, AnExceptionOfTheWorkerIsRethrownOnTheWindowThread) {
    QueueDispatcher window;
    Failing worker(&window);
    std::string reported;
    for (int i = 0; i < 100 && reported.empty(); ++i) {
        try {
            window.RunOne(20);
        } catch (const std::runtime_error& e) {
            reported = e.what();
        }
    }
    EXPECT_EQ(reported, "line driver failed");
    worker.WaitFor();
}
