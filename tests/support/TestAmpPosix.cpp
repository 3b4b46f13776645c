#ifndef _WIN32
#include "TestAmp.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

#include "link/SerialPort.h"

namespace kaldor::test {

TestAmp::TestAmp() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        throw std::runtime_error("no pseudo-terminal");
    path_ = ptsname(master_);
    slave_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave_ < 0) throw std::runtime_error("cannot open " + path_);
    termios tio{};
    tcgetattr(slave_, &tio);
    cfmakeraw(&tio); // no echo before the console sets the line up itself
    tcsetattr(slave_, TCSANOW, &tio);
}

TestAmp::~TestAmp() {
    HangUp();
    if (slave_ >= 0) ::close(slave_);
}

void TestAmp::BindPort(int n) const { SetEnv("KALDOR_COM" + std::to_string(n), path_); }

void TestAmp::Send(const Bytes& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) throw std::runtime_error("send failed");
        pollfd p{master_, POLLOUT, 0};
        if (::poll(&p, 1, 5000) <= 0) throw std::runtime_error("console does not read");
    }
}

Bytes TestAmp::Received(size_t minBytes, int timeoutMs, int quietMs) {
    using clock = std::chrono::steady_clock;
    Bytes got;
    const auto deadline = clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int wait;
        if (got.size() < minBytes) {
            wait = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now())
                    .count());
            if (wait <= 0) break;
        } else {
            wait = quietMs;
        }
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, wait) <= 0) {
            if (got.size() >= minBytes) break;
            continue;
        }
        uint8_t buf[512];
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) {
            got.insert(got.end(), buf, buf + n);
        } else if (!(n < 0 && (errno == EAGAIN || errno == EINTR))) {
            // EIO: nobody holds the console's end open at the moment
            if (got.size() >= minBytes) break;
            p = {-1, 0, 0};
            ::poll(&p, 0, 5);
        }
    }
    return got;
}

bool TestAmp::Line(LineState& line) const {
    const termios tio = LineSettings();
    switch (cfgetispeed(&tio)) {
    case B1200: line.Baud = 1200; break;
    case B2400: line.Baud = 2400; break;
    case B4800: line.Baud = 4800; break;
    case B9600: line.Baud = 9600; break;
    case B19200: line.Baud = 19200; break;
    case B38400: line.Baud = 38400; break;
    default: line.Baud = 0; break;
    }
    switch (tio.c_cflag & CSIZE) {
    case CS5: line.ByteSize = 5; break;
    case CS6: line.ByteSize = 6; break;
    case CS7: line.ByteSize = 7; break;
    default: line.ByteSize = 8; break;
    }
    line.Parity = !(tio.c_cflag & PARENB) ? NOPARITY : (tio.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
    line.StopBits = (tio.c_cflag & CSTOPB) ? TWOSTOPBITS : ONESTOPBIT;
    line.CtsFlow = tio.c_cflag & CRTSCTS;
    line.XonXoff = tio.c_iflag & (IXON | IXOFF);
    return true;
}

termios TestAmp::LineSettings() const {
    termios tio{};
    tcgetattr(slave_, &tio);
    return tio;
}

void TestAmp::HangUp() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
}

} // namespace kaldor::test
#endif
