#ifdef _WIN32
#include <cstdio>
#include <string>

#include "PortNames.h"
#include "Rfc2217Port.h"
#include "SerialPort.h"
#include "SerialPortDevice.h"

namespace kaldor {

bool SerialPort::Device::Open() const { return Handle != INVALID_HANDLE_VALUE; }

void SerialPort::Device::CloseOnce() {
    std::lock_guard<std::mutex> lock(CloseMutex);
    if (Handle != INVALID_HANDLE_VALUE) CloseHandle(Handle);
    Handle = INVALID_HANDLE_VALUE;
}

bool SerialPort::Open(int n, int baud, uint8_t parity, uint8_t byteSize, uint8_t stopBits,
                      int inQueue, int outQueue) {
    if (const std::string remote = PortDeviceName(n); IsRemoteDevice(remote))
        return OpenRemote(n, remote, baud, parity, byteSize, stopBits);
    Close();
    auto dev = std::make_shared<Device>();
    dev->Port = n;
    char name[16];
    std::snprintf(name, sizeof name, "COM%d", n);
    dev->Name = name;
    dev->Handle = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (dev->Handle == INVALID_HANDLE_VALUE) {
        ReportOpenFailure(n, name, "error " + std::to_string(GetLastError()));
        return false;
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
    DWORD got = 0;
    if (!ReadFile(dev_->Handle, buffer, static_cast<DWORD>(count), &got, nullptr)) {
        lastReadFailed_ = GetLastError() != ERROR_OPERATION_ABORTED;
        return 0;
    }
    return static_cast<int>(got);
}

int SerialPort::Write(const void* buffer, int count) {
    if (IsRemote()) return WriteRemote(buffer, count);
    if (!IsOpen() || count <= 0) return 0;
    DWORD put = 0;
    if (!WriteFile(dev_->Handle, buffer, static_cast<DWORD>(count), &put, nullptr)) return 0;
    return static_cast<int>(put);
}

bool SerialPort::SetDtrLevel(bool raised) {
    if (IsRemote()) return SetDtrRemote(raised);
    if (!IsOpen()) return false;
    const bool ok = EscapeCommFunction(dev_->Handle, raised ? SETDTR : CLRDTR) != 0;
    NotifyDtr(dev_->Name, raised);
    return ok;
}

void SerialPort::CancelRead() {
    if (!dev_) return;
    dev_->Cancelled = true;
    if (dev_->Remote) dev_->Remote->Cancel();
    // Ends a ReadFile that waits on the device in the receiver thread.
    if (IsOpen()) CancelIoEx(dev_->Handle, nullptr);
}

} // namespace kaldor
#endif
