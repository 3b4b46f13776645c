#pragma once
#include <QObject>

#include "link/WorkerThread.h"

namespace kaldor {

// Hands a worker's call to the window thread's event loop. Create it on the window thread.
class QtDispatcher : public QObject, public Dispatcher {
    Q_OBJECT
public:
    using QObject::QObject;
    void Post(std::function<void()> task) override {
        QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
    }
};

} // namespace kaldor
