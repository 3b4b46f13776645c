#include "log/StationLog.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>

#include "log/Csv.h"
#include "log/LogTime.h"
#include "log/LogFolder.h"

namespace fs = std::filesystem;

namespace kaldor {
namespace {

constexpr int64_t kRotateEveryMs = 60 * 1000;

} // namespace

StationLog::StationLog(StationLogOptions options) : options_(std::move(options)), enabled_(options_.Enabled) {
    if (!options_.Clock) options_.Clock = SystemTimeMs;
    if (options_.FlushMs < 10) options_.FlushMs = 10;
    pending_.reserve(256);
    if (enabled_) Note(LogNote::ConsoleStarted);
    thread_ = std::thread([this] { Run(); });
}

StationLog::~StationLog() {
    if (enabled_) Note(LogNote::ConsoleEnded);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void StationLog::Push(LogItem&& item) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!item.IsNote && pending_.size() >= MaxPending) {
        ++dropped_;
        return;
    }
    pending_.push_back(std::move(item));
}

void StationLog::Record(StatusSample sample) {
    if (!enabled_) return;
    sample.TimeMs = options_.Clock();
    LogItem item;
    item.Sample = sample;
    Push(std::move(item));
}

void StationLog::Note(LogNote note, const std::string& text, bool answered) {
    if (!enabled_ && note != LogNote::RecordingOff) return;
    LogItem item;
    item.IsNote = true;
    item.Note = note;
    item.Text = text;
    item.Answered = answered;
    item.TimeMs = options_.Clock();
    Push(std::move(item));
}

void StationLog::SetEnabled(bool on) {
    if (on == enabled_) return;
    if (!on) Note(LogNote::RecordingOff);
    enabled_ = on;
    if (on) Note(LogNote::RecordingOn);
}

void StationLog::Flush() {
    std::unique_lock<std::mutex> lock(mutex_);
    const uint64_t ticket = ++handedIn_;
    wake_.notify_one();
    written_.wait(lock, [&] { return handled_ >= ticket; });
}

std::string StationLog::Error() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return error_;
}

void StationLog::Run() {
    std::vector<LogItem> batch;
    batch.reserve(256);
    for (;;) {
        uint64_t ticket;
        bool stop, asked;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait_for(lock, std::chrono::milliseconds(options_.FlushMs),
                           [&] { return stop_ || handedIn_ > handled_; });
            batch.swap(pending_);
            asked = handedIn_ > handled_;
            ticket = handedIn_;
            stop = stop_;
        }
        Write(batch, stop, asked);
        batch.clear();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            handled_ = ticket;
        }
        written_.notify_all();
        if (stop) return;
    }
}

bool StationLog::TodayFull(const std::string& today) {
    if (fullDay_ == today) return true;
    uint64_t bytes = 0;
    for (const char* kind : {kEventsKind, kTelemetryKind}) {
        std::error_code ec;
        const fs::path path = fs::u8path(LogFilePath(options_.Folder, kind, today));
        const uintmax_t size = fs::file_size(path, ec);
        if (!ec) bytes += size;
    }
    return bytes >= options_.MaxBytes;
}

void StationLog::Write(std::vector<LogItem>& batch, bool finish, bool asked) {
    RecordedLines lines;
    for (const LogItem& item : batch) recorder_.Add(item, lines);
    const int64_t now = options_.Clock();
    if (finish) recorder_.Finish(lines);
    else recorder_.CloseSeconds(now, lines);
    if (asked) recorder_.ReleaseEvents(lines);

    // Rotation never removes today's files, so they are bounded here: once they reach the
    // budget, the day's further records are dropped, after one row that says so.
    const std::string today = LocalDay(now);
    const auto isToday = [&](const LogLine& l) { return l.Day == today; };
    if (!options_.Folder.empty() && (std::any_of(lines.Events.begin(), lines.Events.end(), isToday) ||
                                     std::any_of(lines.Telemetry.begin(), lines.Telemetry.end(), isToday)) &&
        TodayFull(today)) {
        recorder_.ReleaseEvents(lines);
        lines.Events.erase(std::remove_if(lines.Events.begin(), lines.Events.end(), isToday), lines.Events.end());
        lines.Telemetry.erase(std::remove_if(lines.Telemetry.begin(), lines.Telemetry.end(), isToday),
                              lines.Telemetry.end());
        if (fullDay_ != today) {
            fullDay_ = today;
            LogItem full;
            full.IsNote = true;
            full.Note = LogNote::LogFull;
            full.TimeMs = now;
            recorder_.Add(full, lines);
        }
    }

    // One append per file: the lines of a batch may straddle midnight.
    std::map<std::pair<const char*, std::string>, std::string> files;
    for (auto& [day, text] : unwritten_) files[{kEventsKind, day}] = std::move(text);
    unwritten_.clear();
    unwrittenBytes_ = 0;
    for (const LogLine& l : lines.Events) files[{kEventsKind, l.Day}] += l.Text;
    for (const LogLine& l : lines.Telemetry) files[{kTelemetryKind, l.Day}] += l.Text;
    const bool any = !files.empty();
    std::string failure;
    if (options_.Folder.empty() && any) { // never the working folder
        failure = "no data folder (neither XDG_DATA_HOME nor HOME is set)";
        files.clear();
    }
    for (const auto& [key, text] : files) {
        const std::string& header = key.first == kEventsKind ? StationRecorder::EventHeader
                                                             : StationRecorder::TelemetryHeader;
        std::string error;
        if (AppendLogFile(options_.Folder, key.first, key.second, header, text, error)) continue;
        if (failure.empty()) failure = error;
        if (key.first == kEventsKind && unwrittenBytes_ + text.size() <= MaxUnwrittenBytes) {
            unwritten_[key.second] = text;
            unwrittenBytes_ += text.size();
        }
    }
    if (any) {
        std::lock_guard<std::mutex> lock(mutex_);
        error_ = failure;
        if (!failure.empty() && !complained_) {
            complained_ = true;
            std::fprintf(stderr, "kaldor-console: the station log cannot be written: %s\n", failure.c_str());
        }
    }

    if (!options_.Folder.empty() && (today != rotatedDay_ || now - rotatedAt_ >= kRotateEveryMs || now < rotatedAt_)) {
        rotatedDay_ = today;
        rotatedAt_ = now;
        RotateLogFolder(options_.Folder, today, options_.MaxDays, options_.MaxBytes);
    }
}

} // namespace kaldor
