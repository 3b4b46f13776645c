#ifndef _WIN32
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "PortNames.h"
#include "Rfc2217Port.h"
#include "SerialPort.h"
#include "SerialPortDevice.h"

namespace kaldor {
namespace {

speed_t SpeedFor(int baud) {
    switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B0;
    }
}

void Configure(int fd, termios tio, int baud, uint8_t parity, uint8_t byteSize, uint8_t stopBits) {
    cfmakeraw(&tio);
    if (speed_t speed = SpeedFor(baud); speed != B0) {
        cfsetispeed(&tio, speed);
        cfsetospeed(&tio, speed);
    }
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD;
    switch (byteSize) {
    case 5: tio.c_cflag |= CS5; break;
    case 6: tio.c_cflag |= CS6; break;
    case 7: tio.c_cflag |= CS7; break;
    default: tio.c_cflag |= CS8; break;
    }
    if (parity == ODDPARITY) tio.c_cflag |= PARENB | PARODD;
    if (parity == EVENPARITY) tio.c_cflag |= PARENB;
    if (stopBits == TWOSTOPBITS) tio.c_cflag |= CSTOPB;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &tio);
}

// Start, data, parity and stop bits of one character.
int ByteMicros(int baud, uint8_t parity, uint8_t byteSize, uint8_t stopBits) {
    if (SpeedFor(baud) == B0) return 0;
    const int bits = 1 + (byteSize >= 5 && byteSize <= 8 ? byteSize : 8) + (parity != NOPARITY) +
                     (stopBits == TWOSTOPBITS ? 2 : 1);
    return bits * 1000000 / baud;
}

int Remaining(std::chrono::steady_clock::time_point deadline) {
    using namespace std::chrono;
    const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// A UART hands over the rest of a count one character time apiece, and the reader would wake
// for each. The rest cannot all be there sooner than their time on the line, so the reader
// sleeps that long and then takes them together; a cancel or a hang-up still ends the sleep
// at once. Bytes that came faster wait no longer than their line time.
void AwaitLine(const SerialPort::Device& dev, int missing,
               std::chrono::steady_clock::time_point deadline) {
    if (missing <= 0 || dev.ByteMicros <= 0 || dev.Cancelled) return;
    const int lineMs = static_cast<int>((static_cast<long long>(missing) * dev.ByteMicros) / 1000);
    const int wait = std::min(lineMs, Remaining(deadline));
    if (wait <= 0) return;
    pollfd fds[2] = {{dev.Handle, 0, 0}, {dev.Wake[0], POLLIN, 0}}; // hang-up, cancel
    ::poll(fds, dev.Wake[0] >= 0 ? 2 : 1, wait);
}

} // namespace

bool SerialPort::Device::Open() const { return Handle >= 0; }

void SerialPort::Device::CloseOnce() {
    std::lock_guard<std::mutex> lock(CloseMutex);
    if (Handle >= 0) {
        // The exclusive flag stays on the device after close while another descriptor keeps it
        // open, and would refuse the next open to anyone but root.
        ::ioctl(Handle, TIOCNXCL);
        ::close(Handle);
    }
    Handle = -1;
    for (int& w : Wake) {
        if (w >= 0) ::close(w);
        w = -1;
    }
}

bool SerialPort::Open(int n, int baud, uint8_t parity, uint8_t byteSize, uint8_t stopBits,
                      int /*inQueue*/, int /*outQueue*/) {
    std::string name;
    if (!BeginOpen(n, name)) return false;
    auto dev = std::make_shared<Device>();
    dev->Port = n;
    dev->Name = name;
    const int fd = ::open(dev->Name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return OpenFailed(n, dev->Name, std::strerror(errno));
    }
    // A file or /dev/null would take the console's frames, and a file be overwritten by them.
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        OpenFailed(n, dev->Name, "not a serial device");
        ::close(fd);
        return false;
    }
    // Exclusive, like a Windows COM port: TIOCEXCL keeps others out, flock also covers root.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        OpenFailed(n, dev->Name, "in use by another program");
        ::close(fd);
        return false;
    }
    ::ioctl(fd, TIOCEXCL);
    if (::pipe2(dev->Wake, O_NONBLOCK | O_CLOEXEC) != 0) dev->Wake[0] = dev->Wake[1] = -1;
    dev->Handle = fd;
    Configure(fd, tio, baud, parity, byteSize, stopBits);
    dev->ByteMicros = ByteMicros(baud, parity, byteSize, stopBits);
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd, TIOCMBIC, &lines);
    tcflush(fd, TCIOFLUSH);
    dev_ = std::move(dev);
    NotifyDtr(dev_->Name, false);
    SetTimeouts(1000);
    return true;
}

bool SerialPort::SetTimeouts(int ms) {
    if (!IsOpen()) return false;
    dev_->TimeoutMs = ms < 0 ? 0 : ms;
    return true;
}

int SerialPort::Read(void* buffer, int count) {
    if (IsRemote()) return ReadRemote(buffer, count);
    if (!BeginRead(count)) return 0;
    auto* out = static_cast<unsigned char*>(buffer);
    const int fd = dev_->Handle;

    ssize_t n = ::read(fd, out, count);
    if (n > 0) return static_cast<int>(n);
    if (n < 0 && errno != EAGAIN && errno != EINTR) {
        lastReadFailed_ = true;
        return 0;
    }

    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(dev_->TimeoutMs.load());
    int total = 0;
    while (total < count) {
        const int wait = Remaining(deadline);
        if (wait == 0) break;
        pollfd fds[2] = {{fd, POLLIN, 0}, {dev_->Wake[0], POLLIN, 0}};
        const int ready = ::poll(fds, dev_->Wake[0] >= 0 ? 2 : 1, wait);
        if (ready < 0) {
            if (errno == EINTR) continue;
            lastReadFailed_ = total == 0;
            break;
        }
        if (ready == 0) break;
        if (fds[1].revents) break; // cancelled
        if (fds[0].revents & POLLIN) {
            n = ::read(fd, out + total, count - total);
            if (n > 0) {
                total += static_cast<int>(n);
                AwaitLine(*dev_, count - total, deadline);
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        }
        // Hang-up or error: the device is gone.
        lastReadFailed_ = total == 0;
        break;
    }
    return total;
}

int SerialPort::Write(const void* buffer, int count) {
    if (IsRemote()) return WriteRemote(buffer, count);
    if (!IsOpen() || count <= 0) return 0;
    const auto* in = static_cast<const unsigned char*>(buffer);
    const int fd = dev_->Handle;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(dev_->TimeoutMs.load());
    int total = 0;
    while (total < count) {
        const ssize_t n = ::write(fd, in + total, count - total);
        if (n > 0) {
            total += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) break;
        const int wait = Remaining(deadline);
        if (wait == 0) break;
        pollfd pfd{fd, POLLOUT, 0};
        if (::poll(&pfd, 1, wait) <= 0 || (pfd.revents & (POLLERR | POLLHUP | POLLNVAL))) break;
    }
    return total;
}

bool SerialPort::Device::SetDtrLine(bool raised) {
    int line = TIOCM_DTR;
    return ::ioctl(Handle, raised ? TIOCMBIS : TIOCMBIC, &line) == 0;
}

void SerialPort::Device::WakeRead() {
    if (Wake[1] < 0) return;
    const char byte = 1;
    [[maybe_unused]] ssize_t ignored = ::write(Wake[1], &byte, 1);
}

} // namespace kaldor
#endif
