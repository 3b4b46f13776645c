// The simulated amplifier's line on a pseudo-terminal.
#ifndef _WIN32
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "sim/SimLine.h"

namespace kaldor::sim {
namespace {

class PseudoTerminal : public SimLine {
public:
    ~PseudoTerminal() override {
        for (int fd : {master_, slave_, wake_[0], wake_[1]})
            if (fd >= 0) ::close(fd);
    }

    bool Open(std::string& error) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
            error = std::string("no pseudo-terminal: ") + std::strerror(errno);
            return false;
        }
        const char* name = ::ptsname(master_);
        if (!name) {
            error = "no pseudo-terminal name";
            return false;
        }
        path_ = name;
        // Held open for the whole run: the line stays up while no console has it open, and this
        // descriptor can lift the exclusive mode a console that went away left behind.
        slave_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (slave_ < 0 || ::pipe2(wake_, O_NONBLOCK | O_CLOEXEC) != 0) {
            error = "cannot open " + path_ + ": " + std::strerror(errno);
            return false;
        }
        termios tio{};
        if (::tcgetattr(slave_, &tio) == 0) {
            ::cfmakeraw(&tio); // no echo of the frames before a console sets the line up
            ::tcsetattr(slave_, TCSANOW, &tio);
        }
        return true;
    }

    const std::string& DevicePath() const override { return path_; }

    int Read(uint8_t* buffer, int count, int timeoutMs) override {
        pollfd fds[2] = {{master_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(fds, 2, timeoutMs) <= 0) return 0;
        if (fds[1].revents & POLLIN) {
            char drain[16];
            while (::read(wake_[0], drain, sizeof drain) > 0) {}
        }
        if (!(fds[0].revents & POLLIN)) {
            if (fds[0].revents & (POLLHUP | POLLERR)) ::poll(nullptr, 0, timeoutMs); // no busy loop
            return 0;
        }
        const ssize_t n = ::read(master_, buffer, static_cast<size_t>(count));
        return n > 0 ? static_cast<int>(n) : 0;
    }

    void Write(const uint8_t* bytes, int count) override {
        [[maybe_unused]] const ssize_t n = ::write(master_, bytes, static_cast<size_t>(count));
    }

    void Wake() override {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake_[1], &byte, 1);
    }

    void Tend() override {
        // A console holds its device under an exclusive lock. When none holds it, lift the
        // exclusive mode too, which a console that ended without closing may have left behind
        // and which would keep the next one (unless privileged) out.
        if (::flock(slave_, LOCK_EX | LOCK_NB) == 0) {
            ::ioctl(slave_, TIOCNXCL);
            ::flock(slave_, LOCK_UN);
        }
    }

private:
    int master_ = -1;
    int slave_ = -1;
    int wake_[2] = {-1, -1};
    std::string path_;
};

} // namespace

std::unique_ptr<SimLine> OpenPseudoTerminal(std::string& error) {
    auto line = std::make_unique<PseudoTerminal>();
    if (!line->Open(error)) return nullptr;
    return line;
}

} // namespace kaldor::sim
#endif
