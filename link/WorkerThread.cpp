#include "WorkerThread.h"

#include <chrono>

#include "NonCopyable.h"

namespace kaldor {

struct WorkerThread::Slot {
    std::mutex m;
    std::condition_variable cv;
    const std::function<void()>* pending = nullptr;
    unsigned long long call = 0; // which hand-off is pending
    bool served = false;
    bool finished = false;

    // A posted task that is destroyed unrun (its dispatcher dropped it) releases the worker
    // from the hand-off it was posted for; the call does not run.
    struct Ticket : NonCopyable {
        std::shared_ptr<Slot> slot;
        unsigned long long call;
        bool ran = false;
        Ticket(std::shared_ptr<Slot> s, unsigned long long c) : slot(std::move(s)), call(c) {}
        ~Ticket() {
            if (ran) return;
            std::lock_guard<std::mutex> lock(slot->m);
            if (slot->pending && slot->call == call) {
                slot->pending = nullptr;
                slot->served = true;
                slot->cv.notify_all();
            }
        }
    };

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

void DispatchGate::Post(std::function<void()> task) {
    std::lock_guard<std::mutex> lock(m_);
    if (target_) target_->Post(std::move(task));
    // else the task dies here, unrun
}

void DispatchGate::Close() {
    std::lock_guard<std::mutex> lock(m_);
    target_ = nullptr;
}

WorkerThread::WorkerThread(Dispatcher* dispatcher)
    : dispatcher_(dispatcher), slot_(std::make_shared<Slot>()) {}

WorkerThread::~WorkerThread() { StopAndWait(); }

void WorkerThread::Start() { Start(EndOptions()); }

void WorkerThread::Start(EndOptions end) {
    std::lock_guard<std::mutex> started(startMutex_);
    end_ = std::move(end);
    thread_ = std::thread([this] { Run(); });
}

void WorkerThread::Run() {
    { std::lock_guard<std::mutex> started(startMutex_); } // Start has stored thread_ and end_
    try {
        Execute();
    } catch (...) {
        // The window thread reports it as it reports its own: the exception is rethrown there.
        if (dispatcher_)
            dispatcher_->Post([failure = std::current_exception()] { std::rethrow_exception(failure); });
    }
    if (end_.OnTerminate) Synchronize(end_.OnTerminate);
    const bool selfDelete = end_.FreeOnTerminate;
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
    const unsigned long long id = ++slot->call;
    slot->served = false;
    slot->cv.notify_all(); // a WaitFor in progress serves it
    if (!dispatcher_) {
        slot->ServeLocked(lock);
    } else {
        lock.unlock();
        // The task alone owns its ticket, so a dropped task releases this wait.
        dispatcher_->Post([ticket = std::make_shared<Slot::Ticket>(slot, id)] {
            ticket->ran = true;
            std::unique_lock<std::mutex> l(ticket->slot->m);
            ticket->slot->ServeLocked(l);
        });
        lock.lock();
    }
    slot->cv.wait(lock, [&] { return slot->served; });
}

bool WorkerThread::SleepUnlessTerminated(int ms) {
    return SleepUnlessTerminated(std::chrono::milliseconds(ms));
}

bool WorkerThread::SleepUnlessTerminated(std::chrono::microseconds us) {
    std::unique_lock<std::mutex> lock(sleepMutex_);
    return !sleepCv_.wait_for(lock, us, [this] { return terminated_.load(); });
}

} // namespace kaldor
