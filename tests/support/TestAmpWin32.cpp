#ifdef _WIN32
#include "TestAmp.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include "link/SerialPort.h"

namespace kaldor::test {
namespace {

constexpr const char* kConsolePort = "COM1";
constexpr const char* kFarPort = "COM2"; // wired to COM1

HANDLE OpenPort(const char* name) {
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED, nullptr);
}

} // namespace

TestAmp::TestAmp() : path_(kConsolePort) {
    far_ = OpenPort(kFarPort);
    if (far_ == INVALID_HANDLE_VALUE)
        throw std::runtime_error(std::string("no test line: cannot open ") + kFarPort +
                                 ", the far end of " + kConsolePort + " (error " +
                                 std::to_string(GetLastError()) + ")");
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(far_, &dcb);
    dcb.BaudRate = 9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = 1;
    dcb.fParity = dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fOutX = dcb.fInX = 0;
    SetCommState(far_, &dcb);
    COMMTIMEOUTS t{MAXDWORD, 0, 0, 0, 5000}; // a read returns at once with what is there
    SetCommTimeouts(far_, &t);
    PurgeComm(far_, PURGE_RXCLEAR | PURGE_TXCLEAR); // what an earlier test left on the line
}

TestAmp::~TestAmp() {
    if (far_ != INVALID_HANDLE_VALUE) CloseHandle(far_);
}

void TestAmp::BindPort(int n) const {
    if (n != 1) throw std::logic_error("the test amplifier is wired to COM1 only");
    // COM1 itself is the console's end of the line: no device named for it may stand in.
    UnsetEnv("KALDOR_COM1");
}

int TestAmp::Transfer(void* data, DWORD count, bool write) {
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD done = 0;
    const BOOL ok = write ? WriteFile(far_, data, count, &done, &ov)
                          : ReadFile(far_, data, count, &done, &ov);
    if (!ok && GetLastError() == ERROR_IO_PENDING) {
        if (WaitForSingleObject(ov.hEvent, 5000) != WAIT_OBJECT_0) CancelIoEx(far_, &ov);
        GetOverlappedResult(far_, &ov, &done, TRUE);
    }
    CloseHandle(ov.hEvent);
    return static_cast<int>(done);
}

void TestAmp::Send(const Bytes& bytes) {
    // In pieces no larger than the line's buffers: a long burst in one write stalls under Wine.
    constexpr size_t kPiece = 256;
    Bytes copy = bytes;
    for (size_t done = 0; done < copy.size(); done += kPiece) {
        const DWORD n = static_cast<DWORD>(std::min(kPiece, copy.size() - done));
        if (Transfer(copy.data() + done, n, true) != static_cast<int>(n))
            throw std::runtime_error("send failed");
    }
}

Bytes TestAmp::Received(size_t minBytes, int timeoutMs, int quietMs) {
    using namespace std::chrono;
    Bytes got;
    const auto deadline = steady_clock::now() + milliseconds(timeoutMs);
    auto quietSince = steady_clock::now();
    for (;;) {
        DWORD errors = 0;
        COMSTAT stat{};
        if (ClearCommError(far_, &errors, &stat) && stat.cbInQue > 0) {
            uint8_t buf[512];
            const int n = Transfer(buf, std::min<DWORD>(stat.cbInQue, sizeof buf), false);
            got.insert(got.end(), buf, buf + n);
            quietSince = steady_clock::now();
            continue;
        }
        const auto now = steady_clock::now();
        if (got.size() >= minBytes ? now - quietSince >= milliseconds(quietMs) : now >= deadline)
            break;
        Sleep(2);
    }
    return got;
}

bool TestAmp::Line(LineState& line) const {
    // A second handle reads the settings back from the device; only where the exclusive open
    // is not enforced.
    const HANDLE h = OpenPort(kConsolePort);
    if (h == INVALID_HANDLE_VALUE) return false;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    const bool ok = GetCommState(h, &dcb) != 0;
    CloseHandle(h);
    line.Baud = static_cast<int>(dcb.BaudRate);
    line.ByteSize = dcb.ByteSize;
    line.Parity = dcb.Parity;
    line.StopBits = dcb.StopBits;
    line.CtsFlow = dcb.fOutxCtsFlow;
    line.XonXoff = dcb.fOutX || dcb.fInX;
    return ok;
}

} // namespace kaldor::test
#endif
