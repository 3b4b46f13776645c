#include "Tcomthread.h"

#include "Frames.h"

namespace kaldor {

TComThread::TComThread(const SerialPort& port, StatusEvent onStatus, Dispatcher* dispatcher)
    : WorkerThread(dispatcher), Port(port), OnStatus(std::move(onStatus)), LinkDeadline(0.0),
      notify_([this] { Notify(); }) {
    Start();
}

TComThread::~TComThread() {
    StopAndWait();
    Port.Close();
}

uint16_t TComThread::GetScreenData(uint16_t i) const {
    return i < ScreenDataCount ? ScreenData[i] : 0;
}

void TComThread::Execute() {
    while (!Terminated()) {
        const bool failed = Pass();
        if (failed) {
            PortFailed = true;
            SleepUnlessTerminated(FailedReadPauseMs);
        }
    }
}

bool TComThread::ReadByte(uint8_t& byte, bool& failed) {
    if (Port.Read(&byte, 1) == 1) return true;
    failed = failed || Port.LastReadFailed();
    return false;
}

bool TComThread::Pass() {
    bool failed = false;
    const TDateTime now = Now();
    if (now > LinkDeadline) Screen = LostLink;

    uint8_t byte = 0;
    if (ReadByte(byte, failed) && byte == StatusSync) {
        int syncCount = 1;
        bool ended = false;
        for (;;) {
            // A line of nothing but sync bytes must still end the pass, or the watchdog and the
            // hand-off would never come.
            if (syncCount >= MaxSyncRun || !ReadByte(byte, failed)) {
                ended = true;
                break;
            }
            if (byte != StatusSync) break;
            ++syncCount;
        }
        if (!ended && syncCount >= 2) {
            const int length = byte;
            int received = 0;
            int remaining = length;
            int n = 0;
            do {
                n = Port.Read(buffer_ + received, remaining);
                if (n == 0) failed = failed || Port.LastReadFailed();
                received += n;
                remaining -= n;
            } while (remaining > 0 && n > 0);

            uint8_t checksum = 0;
            if (received == length && ReadByte(checksum, failed) &&
                Checksum(buffer_, length) == checksum) {
                if (received == StatusPayloadLength && (buffer_[0] >> 4) == StatusFrameType)
                    DecodeStatusPayload(buffer_, *this);
                LinkDeadline = Now() + OneSecond;
            }
        }
    }
    Synchronize(notify_);
    return failed;
}

void TComThread::Notify() {
    if (OnStatus) OnStatus(this);
}

} // namespace kaldor
