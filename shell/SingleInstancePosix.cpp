#ifndef _WIN32
#include "shell/SingleInstance.h"

#include <QByteArray>
#include <QDir>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace kaldor {
namespace {

// The second start sends this line; the first says kSeen at once and kReply once its handler
// returned.
const QByteArray kSignalLine = QByteArrayLiteral("OnlyOne");
constexpr char kSignal[] = "OnlyOne\n";
constexpr char kSeen[] = "Seen\n";
constexpr char kReply[] = "Done\n";
constexpr qsizetype kMaxLine = 64;
constexpr size_t kMaxClients = 16;

#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;
#else
constexpr int kSendFlags = 0;
#endif

void Warn(const char* what, const std::string& path, int error) {
    std::fprintf(stderr, "KALDOR Console: %s %s: %s\n", what, path.c_str(), std::strerror(error));
}

bool MakeAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    if (path.size() >= sizeof address.sun_path) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

void SetCloseOnExec(int fd) { ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC); }
void SetNonBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

// True when something (or the end of the connection) arrives within ms.
bool AwaitInput(int fd, int ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        // Rounded up: a wait cut to whole milliseconds downwards would end before the time-out.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(std::max<long long>(0, left.count())));
        if (ready > 0) return true;
        if (ready == 0 && std::chrono::steady_clock::now() < deadline) continue;
        if (ready == 0 || errno != EINTR) return false;
    }
}

bool SendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, kSendFlags);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

struct TSingleInstance::Impl {
    struct Client {
        int Fd = -1;
        QByteArray Received;
        QSocketNotifier* Notifier = nullptr;
        QTimer* Timer = nullptr;
    };

    TSingleInstance* Owner;
    QString Directory;
    int LockFd = -1;
    bool MayRun = false; // lock held, or no lock could be made at all
    int ListenFd = -1;
    QSocketNotifier* Listener = nullptr;
    int SilentTimeoutMs = 2000;
    int AnswerTimeoutMs = 2000;
    mutable bool NoAnswer = false;
    uint64_t NextId = 1;
    std::map<uint64_t, Client> Clients;

    Impl(TSingleInstance* owner, const QString& directory)
        : Owner(owner), Directory(directory.isEmpty() ? DefaultDirectory() : directory) {}

    std::string PathOf(const char* name) const {
        return QDir(Directory).filePath(QString::fromLatin1(name)).toStdString();
    }

    bool Acquire() {
        if (MayRun) return true;
        QDir().mkpath(Directory);
        const std::string lockPath = PathOf(kLockName);
        const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            Warn("cannot create the single-instance lock", lockPath, errno);
            MayRun = true;
            return true;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK) return false;
            Warn("cannot take the single-instance lock", lockPath, error);
            MayRun = true;
            return true;
        }
        LockFd = fd;
        MayRun = true;
        Listen();
        return true;
    }

    // Only the lock holder gets here, so a socket file left behind is stale.
    void Listen() {
        const std::string path = PathOf(kSignalName);
        sockaddr_un address;
        if (!MakeAddress(path, address)) {
            Warn("cannot listen on", path, ENAMETOOLONG);
            return;
        }
        ::unlink(path.c_str());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd < 0) {
            Warn("cannot listen on", path, errno);
            return;
        }
        SetCloseOnExec(fd);
        SetNonBlocking(fd);
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(fd, 8) != 0) {
            Warn("cannot listen on", path, errno);
            ::close(fd);
            return;
        }
        ListenFd = fd;
        Listener = new QSocketNotifier(fd, QSocketNotifier::Read, Owner);
        QObject::connect(Listener, &QSocketNotifier::activated, Listener, [this] { AcceptAll(); });
    }

    void AcceptAll() {
        for (;;) {
            const int fd = ::accept(ListenFd, nullptr, nullptr);
            if (fd < 0) {
                if (errno == EINTR) continue;
                return; // EAGAIN: all taken
            }
            SetCloseOnExec(fd);
            SetNonBlocking(fd);
            if (Clients.size() >= kMaxClients) {
                ::close(fd);
                continue;
            }
            const uint64_t id = NextId++;
            Client& client = Clients[id];
            client.Fd = fd;
            client.Notifier = new QSocketNotifier(fd, QSocketNotifier::Read, Owner);
            QObject::connect(client.Notifier, &QSocketNotifier::activated, client.Notifier,
                             [this, id] { Read(id); });
            // A start that connects and never signals must not hold a connection for ever.
            client.Timer = new QTimer(Owner);
            client.Timer->setSingleShot(true);
            QObject::connect(client.Timer, &QTimer::timeout, client.Timer, [this, id] { Drop(id); });
            client.Timer->start(SilentTimeoutMs);
        }
    }

    void Read(uint64_t id) {
        auto it = Clients.find(id);
        if (it == Clients.end()) return;
        Client& client = it->second;
        char buffer[64];
        for (;;) {
            const ssize_t n = ::recv(client.Fd, buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
            if (n <= 0) {
                Drop(id); // gone before it signalled
                return;
            }
            client.Received.append(buffer, n);
            const qsizetype end = client.Received.indexOf('\n');
            if (end >= 0) {
                if (client.Received.left(end) == kSignalLine) {
                    ::send(client.Fd, kSeen, sizeof kSeen - 1, kSendFlags | MSG_DONTWAIT);
                    Serve(id);
                } else {
                    Drop(id);
                }
                return;
            }
            if (client.Received.size() > kMaxLine) {
                Drop(id);
                return;
            }
        }
    }

    // The later start waits on its connection until the handler is done, then gets the reply.
    void Serve(uint64_t id) {
        Client& client = Clients.at(id);
        client.Notifier->setEnabled(false);
        client.Timer->stop();
        QPointer<TSingleInstance> alive(Owner);
        try {
            Owner->NotifyOtherInstance();
        } catch (...) {
            if (alive) Reply(id);
            throw;
        }
        if (alive) Reply(id);
    }

    void Reply(uint64_t id) {
        auto it = Clients.find(id);
        if (it == Clients.end()) return; // released meanwhile
        ::send(it->second.Fd, kReply, sizeof kReply - 1, kSendFlags | MSG_DONTWAIT);
        Drop(id);
    }

    // Safe from inside the client's own notifier or timer: both are deleted later.
    void Drop(uint64_t id) {
        auto it = Clients.find(id);
        if (it == Clients.end()) return;
        Client client = it->second;
        Clients.erase(it);
        client.Notifier->setEnabled(false);
        client.Notifier->deleteLater();
        client.Timer->stop();
        client.Timer->deleteLater();
        ::close(client.Fd);
    }

    void Release() {
        if (Listener) {
            Listener->setEnabled(false);
            Listener->deleteLater();
            Listener = nullptr;
        }
        if (ListenFd >= 0) {
            ::unlink(PathOf(kSignalName).c_str());
            ::close(ListenFd);
            ListenFd = -1;
        }
        while (!Clients.empty()) Drop(Clients.begin()->first);
        // The lock file stays: removing it would let a start that has just opened it lock a file
        // nobody else can find.
        if (LockFd >= 0) {
            ::close(LockFd);
            LockFd = -1;
        }
        MayRun = false;
    }

    bool SignalRunning(int connectRetryMs) const {
        NoAnswer = false;
        if (LockFd >= 0) return false; // the running console is this one
        const std::string path = PathOf(kSignalName);
        sockaddr_un address;
        if (!MakeAddress(path, address)) return false;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(connectRetryMs);
        int fd = -1;
        for (;;) {
            fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            if (fd < 0) return false;
            SetCloseOnExec(fd);
            // A holder that accepts nothing fills its queue; then connect waits this long.
            const timeval limit{AnswerTimeoutMs / 1000, AnswerTimeoutMs % 1000 * 1000};
            ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
            if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
                break;
            const int error = errno;
            ::close(fd);
            if (error == EINTR) continue;
            // The lock holder may be between taking the lock and listening.
            const bool notYet = error == ENOENT || error == ECONNREFUSED || error == EAGAIN;
            if (!notYet || std::chrono::steady_clock::now() >= deadline) {
                NoAnswer = error == EAGAIN;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!SendAll(fd, kSignal, sizeof kSignal - 1)) {
            ::close(fd);
            return false;
        }
        // A console that has not even seen the signal in time is stopped or hung: the kernel
        // took the connection for it.
        if (!AwaitInput(fd, AnswerTimeoutMs)) {
            ::close(fd);
            NoAnswer = true;
            return false;
        }
        // The reply, or the end of the connection, comes once the first console is done.
        std::string received;
        char buffer[16];
        while (received.find(kReply) == std::string::npos &&
               received.size() < static_cast<size_t>(kMaxLine)) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            received.append(buffer, static_cast<size_t>(n));
        }
        ::close(fd);
        return true;
    }
};

TSingleInstance::TSingleInstance(const QString& directory, QObject* parent)
    : QObject(parent), d_(std::make_unique<Impl>(this, directory)) {}

TSingleInstance::~TSingleInstance() { d_->Release(); }

bool TSingleInstance::Acquire() { return d_->Acquire(); }
void TSingleInstance::Release() { d_->Release(); }
bool TSingleInstance::IsOwner() const { return d_->MayRun; }
bool TSingleInstance::SignalRunning(int connectRetryMs) const { return d_->SignalRunning(connectRetryMs); }
void TSingleInstance::SetSilentClientTimeout(int ms) { d_->SilentTimeoutMs = ms; }
void TSingleInstance::SetAnswerTimeout(int ms) { d_->AnswerTimeoutMs = ms; }
bool TSingleInstance::NoAnswer() const { return d_->NoAnswer; }
QString TSingleInstance::Directory() const { return d_->Directory; }

} // namespace kaldor
#endif
