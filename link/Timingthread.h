#pragma once
#include <functional>
#include <memory>

#include "WorkerThread.h"

namespace kaldor {

// A one-shot delay: sleeps, runs its end handler on the window thread, then deletes itself.
// Nobody keeps a pointer to it and it cannot be cancelled.
class TTimingThread : public WorkerThread {
public:
    using EndHandler = std::function<void(TTimingThread* sender)>;

    // Starts a delay of durationMs. dispatcher reaches the window thread; the thread keeps it
    // alive, so a window that closes its gate meanwhile is simply never called.
    static void Start(int durationMs, EndHandler onEnd, std::shared_ptr<Dispatcher> dispatcher);

    const int Duration;

protected:
    void Execute() override;

private:
    TTimingThread(int durationMs, std::shared_ptr<Dispatcher> dispatcher);

    std::shared_ptr<Dispatcher> dispatcher_;
};

} // namespace kaldor
