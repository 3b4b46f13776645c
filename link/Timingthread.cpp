#include "Timingthread.h"

#include "Clock.h"

namespace kaldor {

TTimingThread::TTimingThread(int durationMs, std::shared_ptr<Dispatcher> dispatcher)
    : WorkerThread(dispatcher.get()), Duration(durationMs), dispatcher_(std::move(dispatcher)) {}

void TTimingThread::Start(int durationMs, EndHandler onEnd, std::shared_ptr<Dispatcher> dispatcher) {
    auto* t = new TTimingThread(durationMs, std::move(dispatcher));
    EndOptions end;
    end.FreeOnTerminate = true;
    if (onEnd) end.OnTerminate = [t, onEnd = std::move(onEnd)] { onEnd(t); };
    t->WorkerThread::Start(std::move(end));
}

void TTimingThread::Execute() { SleepMs(Duration); }

} // namespace kaldor
