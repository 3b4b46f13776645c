#include "shell/SingleInstance.h"

#include <QDir>
#include <QPointer>
#include <QStandardPaths>

namespace kaldor {

void TSingleInstance::NotifyOtherInstance() {
    QPointer<TSingleInstance> self(this);
    // A copy: the handler may replace itself while it runs.
    const std::function<void()> handler = OnOtherInstance;
    if (handler) handler();
    if (self) emit otherInstanceStarted();
}

QString TSingleInstance::DefaultDirectory() {
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

} // namespace kaldor
