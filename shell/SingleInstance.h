#pragma once
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace kaldor {

// Keeps a second console from running and lets the second start signal the first.
//
// Windows: the named mutex "OneInstanceAllowed" and the broadcast window message "OnlyOne".
// POSIX: a lock file "OneInstanceAllowed" (flock, so a killed console's lock dies with it) and a
// local socket "OnlyOne" beside it. The second start connects, sends its signal and waits for
// the first to reply, which it does once its handler has returned (after the user has closed
// the first console's message box).
//
// Create it after the application object: the first instance listens on the window thread's
// event loop.
class TSingleInstance : public QObject {
    Q_OBJECT

public:
    static constexpr const char* kLockName = "OneInstanceAllowed";
    static constexpr const char* kSignalName = "OnlyOne";

    // directory (POSIX only): where the lock file and the socket live; empty for
    // DefaultDirectory().
    explicit TSingleInstance(const QString& directory = QString(), QObject* parent = nullptr);
    ~TSingleInstance() override;

    // Takes the lock without waiting; false when another console holds it. On success this
    // object listens for later starts until Release. A lock that cannot be made at all (no
    // writable directory) does not keep the console from running: true, with a line on stderr.
    bool Acquire();
    // Gives up the lock and stops listening; also done by the destructor.
    void Release();
    bool IsOwner() const;

    // For the start that did not get the lock: signals the running console and returns once it
    // has handled the signal. False when no running console could be reached (a lock holder
    // that is not listening yet is retried for up to connectRetryMs), or when it did not take
    // the signal within the answer time-out (stopped or hung): then NoAnswer() holds.
    bool SignalRunning(int connectRetryMs = 500) const;
    bool NoAnswer() const;

    // Run on the window thread, in the first console, when a later start signals; the later start
    // waits until this and the otherInstanceStarted() slots have returned, so slots must be
    // connected directly, not queued.
    std::function<void()> OnOtherInstance;

    // POSIX: a connection that has not sent its signal within this time is dropped.
    void SetSilentClientTimeout(int ms);
    // POSIX: how long a later start waits for the running console to take its signal (2 s).
    void SetAnswerTimeout(int ms);

    // $XDG_RUNTIME_DIR, else a per-user runtime directory under the temporary directory.
    static QString DefaultDirectory();
    QString Directory() const;

signals:
    void otherInstanceStarted();

private:
    // Runs OnOtherInstance, then emits otherInstanceStarted().
    void NotifyOtherInstance();

    struct Impl;
    std::unique_ptr<Impl> d_;
};

} // namespace kaldor
