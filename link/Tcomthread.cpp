#include "Tcomthread.h"

#include "Frames.h"

#include <algorithm>

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

int TComThread::Fill(int want, bool& failed) {
    head_ = tail_ = 0;
    const Clock::time_point began = Clock::now();
    const int n = Port.Read(in_, want < 1 ? 1 : want > BufferSize ? BufferSize : want);
    if (n == 0) failed = failed || Port.LastReadFailed();
    // A stop ends reads at once too: only reads nobody cut short count.
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - began).count();
    if (!Terminated() && quickReads_.Lost(n, ms, Port.TimeoutMs())) failed = true;
    tail_ = n;
    credit_ -= n;
    if (n < want) backlog_ = false;
    return n;
}

bool TComThread::NextByte(uint8_t& byte, int want, bool& failed) {
    if (head_ == tail_ && Fill(want, failed) == 0) return false;
    byte = in_[head_++];
    return true;
}

void TComThread::EarnCredit() {
    const Clock::time_point now = Clock::now();
    const double seconds = std::chrono::duration<double>(now - creditTime_).count();
    creditTime_ = now;
    credit_ = std::min<double>(LineCredit, credit_ + seconds * LineBytesPerSecond);
}

void TComThread::DropFlood() {
    uint8_t scrap[FloodChunk];
    backlog_ = true;
    for (int i = 0; i < MaxFloodChunks && !Terminated(); ++i)
        if (Port.Read(scrap, FloodChunk) < FloodChunk) {
            backlog_ = false;
            break;
        }
    credit_ = 0;
}

TComThread::Attempt TComThread::Search(bool& failed) {
    // The port as the search reads it.
    struct Line : FrameSource {
        Line(TComThread& t, bool& f) : thread(t), failed(f), idle(t.head_ == t.tail_) {}
        bool NextByte(uint8_t& byte, int want) override { return thread.NextByte(byte, want, failed); }
        // A frame starts: its rest cannot be there before its line time, so wait that long and
        // take it at once rather than byte by byte. The read then takes what came meanwhile,
        // up to a second frame: when that much was there the receiver is behind, and reads on
        // without waiting until it has caught up.
        void FrameStarts() override {
            if (idle && !thread.backlog_ && thread.SleepUnlessTerminated(FrameRest))
                thread.backlog_ = thread.Fill(2 * StatusFrameBytes, failed) == 2 * StatusFrameBytes;
        }
        TComThread& thread;
        bool& failed;
        const bool idle;
    } line(*this, failed);

    int length = 0;
    // Behind a backlog the bytes are there already: a frame's worth in one read.
    const Attempt attempt = FrameSearch::Run(line, backlog_ ? StatusFrameBytes : 1, buffer_, length);
    if (attempt != Attempt::Frame) return attempt;
    if (length == StatusPayloadLength && (buffer_[0] >> 4) == StatusFrameType)
        DecodeStatusPayload(buffer_, *this);
    LinkDeadline = Now() + OneSecond;
    return Attempt::Frame;
}

bool TComThread::Pass() {
    bool failed = false;
    EarnCredit();
    if (head_ == tail_ && credit_ < 1) {
        // A flood used up what the line could have carried: look at it again at its pace, a
        // frame's worth at a time, which is waiting by then.
        SleepUnlessTerminated(FrameMs);
        EarnCredit();
        backlog_ = true;
    }
    const TDateTime now = Now();
    if (now > LinkDeadline) Screen = ScrNoLink;

    const Attempt attempt = Search(failed);
    if (credit_ < 1 && head_ == tail_) DropFlood();

    // Bytes that held no frame hand off no faster than frames could come, after a few at
    // once, unless the link state changed or the thread is stopping: a flood must not keep
    // the window busy.
    const Clock::time_point end = Clock::now();
    const double sinceMs = std::chrono::duration<double, std::milli>(end - handOffTime_).count();
    handOffs_ = std::min<double>(HandOffBurst, handOffs_ + sinceMs / FrameMs);
    handOffTime_ = end;
    if (attempt == Attempt::Junk && !Terminated() && Screen == shownScreen_) {
        if (handOffs_ < 1) return failed;
        handOffs_ -= 1;
    }
    shownScreen_ = Screen;
    Synchronize(notify_);
    return failed;
}

void TComThread::Notify() {
    if (OnStatus) OnStatus(this);
}

} // namespace kaldor
