#ifdef _WIN32
#include "shell/SingleInstance.h"
#include "shell/NamedMutex.h"

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QCoreApplication>
#include <QWindow>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace kaldor {
namespace {

// Set by the running console when the broadcast reaches it, for the later start to know.
constexpr char kAnswerEvent[] = "Local\\OnlyOneAnswered";
// How long the broadcast waits on any one window: a hung program holds nobody up.
constexpr UINT kBroadcastBoundMs = 2000;

// The broadcast reaches every top-level window of the console; only the hidden one made for it
// acts, so each later start is handled once.
class BroadcastFilter final : public QAbstractNativeEventFilter {
public:
    BroadcastFilter(UINT message, HWND target, std::function<void()> onSignal)
        : message_(message), target_(target), onSignal_(std::move(onSignal)) {}

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override {
        if (eventType != "windows_generic_MSG") return false;
        const MSG* msg = static_cast<const MSG*>(message);
        if (msg->message != message_ || msg->hwnd != target_) return false;
        // Answered first: the sender waits for this window at most its bound, and the user's
        // answer to the box may take longer.
        if (HANDLE answered = OpenEventA(EVENT_MODIFY_STATE, FALSE, kAnswerEvent)) {
            SetEvent(answered);
            CloseHandle(answered);
        }
        onSignal_();
        if (result) *result = 0;
        return true;
    }

private:
    UINT message_;
    HWND target_;
    std::function<void()> onSignal_;
};

} // namespace

struct TSingleInstance::Impl {
    TSingleInstance* Owner;
    QString Directory;
    NamedMutex Lock{kLockName};
    bool MayRun = false;
    std::unique_ptr<QWindow> Window;
    std::unique_ptr<BroadcastFilter> Filter;

    Impl(TSingleInstance* owner, const QString& directory) : Owner(owner), Directory(directory) {}

    bool Acquire() {
        if (MayRun) return true;
        if (!Lock.Acquire()) return false; // runs without the lock when the system refused one
        MayRun = true;
        Listen();
        return true;
    }

    void Listen() {
        const UINT message = RegisterWindowMessageA(kSignalName);
        if (message == 0) return;
        Window = std::make_unique<QWindow>();
        Window->create();
        const HWND target = reinterpret_cast<HWND>(Window->winId());
        Filter = std::make_unique<BroadcastFilter>(message, target,
                                                   [this] { Owner->NotifyOtherInstance(); });
        QCoreApplication::instance()->installNativeEventFilter(Filter.get());
    }

    void Release() {
        if (Filter) {
            if (QCoreApplication* app = QCoreApplication::instance())
                app->removeNativeEventFilter(Filter.get());
            Filter.reset();
        }
        Window.reset();
        Lock.Release();
        MayRun = false;
    }

    bool SignalRunning() {
        NoAnswer = false;
        if (Lock.Holds()) return false; // the running console is this one
        const UINT message = RegisterWindowMessageA(kSignalName);
        if (message == 0) return false;
        HANDLE answered = CreateEventA(nullptr, TRUE, FALSE, kAnswerEvent);
        if (answered) ResetEvent(answered);
        // The running console may come to the front: a process that has the foreground may
        // hand it on, and Windows refuses it to any other.
        AllowSetForegroundWindow(ASFW_ANY);
        DWORD_PTR result = 0;
        SendMessageTimeoutA(HWND_BROADCAST, message, 0, 0, SMTO_ABORTIFHUNG | SMTO_NORMAL, kBroadcastBoundMs, &result);
        NoAnswer = !answered || WaitForSingleObject(answered, 0) != WAIT_OBJECT_0;
        if (answered) CloseHandle(answered);
        return true;
    }
    bool NoAnswer = false;
};

TSingleInstance::TSingleInstance(const QString& directory, QObject* parent)
    : QObject(parent), d_(std::make_unique<Impl>(this, directory)) {}

TSingleInstance::~TSingleInstance() { d_->Release(); }

bool TSingleInstance::Acquire() { return d_->Acquire(); }
void TSingleInstance::Release() { d_->Release(); }
bool TSingleInstance::IsOwner() const { return d_->MayRun; }
// The broadcast is synchronous: there is no connection to retry.
bool TSingleInstance::SignalRunning(int /*connectRetryMs*/) const { return d_->SignalRunning(); }
void TSingleInstance::SetSilentClientTimeout(int /*ms*/) {}
void TSingleInstance::SetAnswerTimeout(int /*ms*/) {}
bool TSingleInstance::NoAnswer() const { return d_->NoAnswer; }
QString TSingleInstance::Directory() const { return d_->Directory; }

} // namespace kaldor
#endif
