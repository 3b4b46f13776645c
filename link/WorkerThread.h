#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "NonCopyable.h"

namespace kaldor {

// Carries calls from a worker thread into the window thread's event loop.
class Dispatcher {
public:
    virtual ~Dispatcher() = default;
    // Queues task to run on the window thread; never blocks. A dispatcher that can no longer
    // run it (its window is gone) destroys the task unrun: a worker waiting on it is released.
    virtual void Post(std::function<void()> task) = 0;
};

// A dispatcher that forwards to another until it is closed, then drops every task. A window
// hands it to workers that may outlive it, and closes it first thing when it goes, so a late
// worker neither reaches a deleted dispatcher nor runs a handler of a deleted window.
class DispatchGate : public Dispatcher {
public:
    explicit DispatchGate(Dispatcher* target) : target_(target) {}
    void Post(std::function<void()> task) override;
    void Close();

private:
    std::mutex m_;
    Dispatcher* target_;
};

// A worker thread with a cooperative stop flag, a wait for its end, a blocking hand-off to the
// window thread, an end handler and optional self-deletion.
//
// The hand-off goes through a request slot that outlives the thread object. The window thread
// serves it from its event loop, and also from WaitFor, so stopping a worker that is about to
// hand off cannot deadlock.
class WorkerThread : NonCopyable {
public:
    explicit WorkerThread(Dispatcher* dispatcher);
    virtual ~WorkerThread();

    // Sets the stop flag and wakes whatever the thread waits on. Any thread.
    void Terminate();
    bool Terminated() const { return terminated_.load(); }
    // Window thread: returns once the thread has ended, serving its hand-offs meanwhile.
    void WaitFor();
    bool Finished() const;

    // What happens once Execute has returned. It is handed to Start, before the thread exists,
    // so the thread never reads what its owner may still be writing.
    struct EndOptions {
        // Runs on the window thread after Execute, before the thread ends.
        std::function<void()> OnTerminate;
        // The thread then deletes its object; nobody may WaitFor or delete it.
        bool FreeOnTerminate = false;
    };

protected:
    // Derived constructors call Start() last, once their members are in place.
    void Start(EndOptions end);
    void Start();
    virtual void Execute() = 0;
    // Called by Terminate: wake a blocking call inside Execute.
    virtual void StopRequested() {}
    // Runs call on the window thread and waits until it has returned.
    void Synchronize(const std::function<void()>& call);
    // Waits ms milliseconds unless Terminate comes first; false when terminated.
    bool SleepUnlessTerminated(int ms);
    bool SleepUnlessTerminated(std::chrono::microseconds us);
    // Derived destructors call this before their members go.
    void StopAndWait();

private:
    struct Slot;
    void Run();

    Dispatcher* dispatcher_;
    std::shared_ptr<Slot> slot_;
    EndOptions end_;
    std::mutex startMutex_; // held by Start until thread_ is in place
    std::atomic<bool> terminated_{false};
    std::mutex sleepMutex_;
    std::condition_variable sleepCv_;
    std::thread thread_;
};

} // namespace kaldor
