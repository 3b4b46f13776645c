#include "WorkerThread.h"

#include <chrono>

namespace kaldor {

struct WorkerThread::Slot {
    std::mutex m;
    std::condition_variable cv;
    const std::function<void()>* pending = nullptr;
    bool served = false;
    bool finished = false;

    // Runs the pending call if there is one; the caller holds the lock. An exception of the
    // call belongs to the window thread: the worker is released and the exception goes on.
    void ServeLocked(std::unique_lock<std::mutex>& lock) {
        const std::function<void()>* call = pending;
        if (!call) return;
        pending = nullptr;
        lock.unlock();
        struct Release {
            Slot* s;
            std::unique_lock<std::mutex>& l;
            ~Release() {
                l.lock();
                s->served = true;
                s->cv.notify_all();
            }
        } release{this, lock};
        (*call)();
    }
};

WorkerThread::WorkerThread(Dispatcher* dispatcher)
    : dispatcher_(dispatcher), slot_(std::make_shared<Slot>()) {}

WorkerThread::~WorkerThread() { StopAndWait(); }

void WorkerThread::Start() { thread_ = std::thread([this] { Run(); }); }

void WorkerThread::Run() {
    try {
        Execute();
    } catch (...) {
        // A worker that fails ends; the window thread learns of it through Finished().
    }
    if (OnTerminate) Synchronize(OnTerminate);
    const bool selfDelete = FreeOnTerminate;
    {
        std::lock_guard<std::mutex> lock(slot_->m);
        slot_->finished = true;
        slot_->cv.notify_all();
    }
    if (selfDelete) {
        thread_.detach();
        delete this;
    }
}

void WorkerThread::Terminate() {
    {
        std::lock_guard<std::mutex> lock(sleepMutex_);
        terminated_ = true;
    }
    sleepCv_.notify_all();
    StopRequested();
}

bool WorkerThread::Finished() const {
    std::lock_guard<std::mutex> lock(slot_->m);
    return slot_->finished;
}

void WorkerThread::WaitFor() {
    if (!thread_.joinable()) return;
    {
        std::unique_lock<std::mutex> lock(slot_->m);
        while (!slot_->finished) {
            if (slot_->pending) {
                slot_->ServeLocked(lock);
                continue;
            }
            slot_->cv.wait(lock);
        }
    }
    thread_.join();
}

void WorkerThread::StopAndWait() {
    if (!thread_.joinable() || thread_.get_id() == std::this_thread::get_id()) return;
    Terminate();
    WaitFor();
}

void WorkerThread::Synchronize(const std::function<void()>& call) {
    std::shared_ptr<Slot> slot = slot_;
    std::unique_lock<std::mutex> lock(slot->m);
    slot->pending = &call;
    slot->served = false;
    slot->cv.notify_all(); // a WaitFor in progress serves it
    if (!dispatcher_) {
        slot->ServeLocked(lock);
    } else {
        lock.unlock();
        dispatcher_->Post([slot] {
            std::unique_lock<std::mutex> l(slot->m);
            slot->ServeLocked(l);
        });
        lock.lock();
    }
    slot->cv.wait(lock, [&] { return slot->served; });
}

bool WorkerThread::SleepUnlessTerminated(int ms) {
    std::unique_lock<std::mutex> lock(sleepMutex_);
    return !sleepCv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return terminated_.load(); });
}

} // namespace kaldor
