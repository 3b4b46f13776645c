#ifdef _WIN32
#include <algorithm>
#include <cstdio>
#include <string>

#include "PortNames.h"
#include "Rfc2217Port.h"
#include "SerialPort.h"
#include "SerialFaults.h"
#include "SystemText.h"
#include "SerialPortDevice.h"

namespace kaldor {
namespace {

static_assert(NOPARITY == 0 && ODDPARITY == 1 && EVENPARITY == 2 && ONESTOPBIT == 0 &&
              TWOSTOPBITS == 2);
static_assert(ErrAccessDenied == ERROR_ACCESS_DENIED && ErrInvalidHandle == ERROR_INVALID_HANDLE &&
              ErrBadCommand == ERROR_BAD_COMMAND && ErrGenFailure == ERROR_GEN_FAILURE &&
              ErrSemTimeout == ERROR_SEM_TIMEOUT && ErrOperationAborted == ERROR_OPERATION_ABORTED &&
              ErrDeviceNotConnected == ERROR_DEVICE_NOT_CONNECTED && ErrTimeout == ERROR_TIMEOUT);

// The driver ends each transfer at its own time-out; this only bounds a wait on a driver that
// does not.
DWORD WaitLimit(int timeoutMs) { return static_cast<DWORD>(std::max(timeoutMs, 0)) + 1000; }

// One overlapped transfer with its own event.
struct Transfer : NonCopyable {
    OVERLAPPED Ov{};
    Transfer() { Ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr); }
    ~Transfer() {
        if (Ov.hEvent) CloseHandle(Ov.hEvent);
    }

    // Waits for the transfer, begun or already done (or for stop, when given), cancels it when
    // it did not end by itself, and returns whether it succeeded; bytes is what moved in any case.
    bool Finish(HANDLE h, DWORD& bytes, int timeoutMs, HANDLE stop = nullptr) {
        const HANDLE waits[2] = {Ov.hEvent, stop};
        if (WaitForMultipleObjects(stop ? 2 : 1, waits, FALSE, WaitLimit(timeoutMs)) !=
            WAIT_OBJECT_0) {
            Cancelled = true;
            CancelIoEx(h, &Ov);
        }
        // Waits for the cancel too: Ov and the buffer must outlive the transfer.
        return GetOverlappedResult(h, &Ov, &bytes, TRUE) != 0;
    }
    bool Cancelled = false; // by Finish: an abort that follows is the console's own
};

std::string SystemReason(DWORD code) { return SystemErrorText(code); }

} // namespace

bool SerialPort::Device::Open() const { return Handle != INVALID_HANDLE_VALUE; }

void SerialPort::Device::CloseOnce() {
    std::lock_guard<std::mutex> lock(CloseMutex);
    if (Handle != INVALID_HANDLE_VALUE) CloseHandle(Handle);
    Handle = INVALID_HANDLE_VALUE;
}

bool SerialPort::Open(int n, int baud, uint8_t parity, uint8_t byteSize, uint8_t stopBits,
                      int inQueue, int outQueue) {
    std::string name;
    if (!BeginOpen(n, name)) return false;
    auto dev = std::make_shared<Device>();
    dev->Port = n;
    dev->Name = name;
    // Overlapped: on a synchronous handle the system would queue the window thread's writes and
    // DTR changes behind the receiver's waiting read.
    dev->Handle = CreateFileA(Win32DevicePath(dev->Name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (dev->Handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const bool busy = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
        return OpenFailed(n, dev->Name,
                          std::string(busy ? "in use by another program: " : "") + SystemReason(error));
    }
    HANDLE h = dev->Handle;
    PurgeComm(h, PURGE_TXCLEAR | PURGE_RXCLEAR);

    DCB& dcb = dev->Dcb;
    GetCommState(h, &dcb);
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = static_cast<DWORD>(baud);
    dcb.fBinary = 1;
    dcb.fParity = 0;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = 0;
    dcb.fTXContinueOnXoff = 0;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fNull = 0;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = 0;
    dcb.ErrorChar = static_cast<char>(0xFF);
    dcb.ByteSize = byteSize;
    dcb.Parity = parity;
    dcb.StopBits = stopBits;
    SetCommState(h, &dcb);
    SetupComm(h, static_cast<DWORD>(inQueue), static_cast<DWORD>(outQueue));
    dev_ = std::move(dev);
    NotifyDtr(dev_->Name, false);
    SetTimeouts(1000);
    SetCommMask(h, EV_RXCHAR);

    DWORD size = sizeof(COMMCONFIG);
    GetCommConfig(h, &dev_->Config, &size);
    dev_->Config.dcb = dcb;
    dev_->Config.dwProviderSubType = PST_RS232;
    SetCommConfig(h, &dev_->Config, size);
    return true;
}

bool SerialPort::SetTimeouts(int ms) {
    if (!dev_) return false;
    if (IsRemote()) return (dev_->TimeoutMs = ms), true;
    if (!IsOpen()) return false;
    COMMTIMEOUTS t{};
    GetCommTimeouts(dev_->Handle, &t);
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = static_cast<DWORD>(ms);
    t.WriteTotalTimeoutMultiplier = 0;
    t.WriteTotalTimeoutConstant = static_cast<DWORD>(ms);
    dev_->TimeoutMs = ms;
    return SetCommTimeouts(dev_->Handle, &t) != 0;
}

int SerialPort::Read(void* buffer, int count) {
    if (IsRemote()) return ReadRemote(buffer, count);
    if (!BeginRead(count)) return 0;
    Device& d = *dev_;
    // With these time-outs the driver holds waiting bytes until the whole count has come or the
    // time-out has passed; asking for no more than are waiting returns them at once.
    DWORD ask = static_cast<DWORD>(count);
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(d.Handle, &errors, &stat)) {
        // A driver after a surprise removal: the reconnect closes the handle and frees the name.
        if (DeviceGone(GetLastError())) return (lastReadFailed_ = true), 0;
    } else if (stat.cbInQue > 0) {
        ask = std::min<DWORD>(ask, stat.cbInQue);
    }

    Transfer t;
    DWORD got = 0;
    // The stop event ends the wait; set before ReadFile began, it ends it at once.
    if ((ReadFile(d.Handle, buffer, ask, nullptr, &t.Ov) || GetLastError() == ERROR_IO_PENDING) &&
        t.Finish(d.Handle, got, d.TimeoutMs, d.Stop.H))
        return static_cast<int>(got);
    lastReadFailed_ = got == 0 && !ReadEndedQuietly(GetLastError(), t.Cancelled || d.Cancelled);
    return static_cast<int>(got);
}

int SerialPort::Write(const void* buffer, int count) {
    if (IsRemote()) return WriteRemote(buffer, count);
    if (!IsOpen() || count <= 0) return 0;
    Transfer t;
    DWORD put = 0;
    if (WriteFile(dev_->Handle, buffer, static_cast<DWORD>(count), nullptr, &t.Ov) ||
        GetLastError() == ERROR_IO_PENDING)
        t.Finish(dev_->Handle, put, dev_->TimeoutMs);
    return static_cast<int>(put);
}

bool SerialPort::Device::SetDtrLine(bool raised) {
    return EscapeCommFunction(Handle, raised ? SETDTR : CLRDTR) != 0;
}

void SerialPort::Device::WakeRead() {
    if (Stop.H) SetEvent(Stop.H);
}

} // namespace kaldor
#endif
