#include "log/StationLog.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>

#include "link/NumberText.h"
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
    // One flooded day leaves the other half to the history.
    return bytes >= options_.MaxBytes / 2;
}

void StationLog::Write(std::vector<LogItem>& batch, bool finish, bool asked) {
    RecordedLines lines;
    for (const LogItem& item : batch) recorder_.Add(item, lines);
    const int64_t now = options_.Clock();
    if (finish) recorder_.Finish(lines);
    else recorder_.CloseSeconds(now, lines);
    if (asked) recorder_.ReleaseEvents(lines);

    // Rotation never removes today's files, so they are bounded here: once they reach half the
    // budget, the day's further records are dropped, after one row that says so.
    const std::string today = LocalDay(now);
    const auto isToday = [&](const LogLine& l) { return l.Day == today; };
    if (!options_.Folder.empty() && (std::any_of(lines.Events.begin(), lines.Events.end(), isToday) ||
                                     std::any_of(lines.Telemetry.begin(), lines.Telemetry.end(), isToday)) &&
        TodayFull(today)) {
        recorder_.ReleaseEvents(lines);
        const auto events = std::remove_if(lines.Events.begin(), lines.Events.end(), isToday);
        lostEvents_ += static_cast<uint64_t>(lines.Events.end() - events);
        lines.Events.erase(events, lines.Events.end());
        const auto seconds = std::remove_if(lines.Telemetry.begin(), lines.Telemetry.end(), isToday);
        lostSeconds_ += static_cast<uint64_t>(lines.Telemetry.end() - seconds);
        lines.Telemetry.erase(seconds, lines.Telemetry.end());
        if (fullDay_ != today) {
            fullDay_ = today;
            LogItem full;
            full.IsNote = true;
            full.Note = LogNote::LogFull;
            full.TimeMs = now;
            recorder_.Add(full, lines);
        }
    }

    const bool any = !lines.Events.empty() || !lines.Telemetry.empty() || !unwritten_.empty();
    std::string failure = Append(lines);
    if (failure.empty() && !options_.Folder.empty() && fullDay_ != today) {
        RecordedLines said;
        SayLost(now, said);
        failure = Append(said);
    }
    if (any) {
        std::lock_guard<std::mutex> lock(mutex_);
        error_ = failure;
        if (!failure.empty() && !complained_) {
            complained_ = true;
            std::fprintf(stderr, "kaldor-console: the station log cannot be written: %s\n", failure.c_str());
        }
    }
    Rotate(now, today);
}

std::string StationLog::Append(RecordedLines& lines) {
    // One append per file: the lines of a batch may straddle midnight.
    std::map<FileKey, std::vector<std::string>> files;
    files.swap(unwritten_);
    for (LogLine& l : lines.Events) files[{kEventsKind, l.Day}].push_back(std::move(l.Text));
    for (LogLine& l : lines.Telemetry) files[{kTelemetryKind, l.Day}].push_back(std::move(l.Text));
    if (files.empty()) return {};
    if (options_.Folder.empty()) { // never the working folder
        for (auto& [key, text] : files) Hold(key.first, key.second, text);
        return "no data folder (neither XDG_DATA_HOME nor HOME is set)";
    }
    std::string failure;
    for (auto& [key, text] : files) {
        const bool events = key.first == kEventsKind;
        const std::string& header = events ? StationRecorder::EventHeader : StationRecorder::TelemetryHeader;
        std::string joined;
        for (const std::string& line : text) joined += line;
        std::string error;
        if (AppendLogFile(options_.Folder, events ? kEventsKind : kTelemetryKind, key.second, header, joined, error,
                          options_.WriteLimit))
            continue;
        if (failure.empty()) failure = error;
        Hold(key.first, key.second, text);
    }
    return failure;
}

void StationLog::Hold(const std::string& kind, const std::string& day, std::vector<std::string>& lines) {
    const bool events = kind == kEventsKind;
    size_t bytes = 0;
    for (const auto& [key, held] : unwritten_)
        if (key.first == kind)
            for (const std::string& line : held) bytes += line.size();
    const size_t bound = events ? MaxUnwrittenEventBytes : MaxUnwrittenTelemetryBytes;
    std::vector<std::string>& keep = unwritten_[{kind, day}];
    // The oldest stay: they are the ones nothing else tells of.
    size_t i = 0;
    for (; i < lines.size() && bytes + lines[i].size() <= bound; ++i) {
        bytes += lines[i].size();
        keep.push_back(std::move(lines[i]));
    }
    (events ? lostEvents_ : lostSeconds_) += lines.size() - i;
    if (keep.empty()) unwritten_.erase({kind, day});
}

void StationLog::SayLost(int64_t now, RecordedLines& lines) {
    uint64_t statuses;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        statuses = dropped_;
        dropped_ = 0;
    }
    auto say = [&](LogNote note, const std::string& text) {
        LogItem item;
        item.IsNote = true;
        item.Note = note;
        item.Text = text;
        item.TimeMs = now;
        recorder_.Add(item, lines);
    };
    if (lostEvents_) say(LogNote::Lost, IntegerText(static_cast<int64_t>(lostEvents_)) + " events lost");
    if (lostSeconds_)
        say(LogNote::Lost, IntegerText(static_cast<int64_t>(lostSeconds_)) + " seconds of telemetry lost");
    if (statuses) say(LogNote::Lost, IntegerText(static_cast<int64_t>(statuses)) + " statuses lost");
    if (!notRemoved_.empty()) say(LogNote::NotRemoved, notRemoved_);
    lostEvents_ = lostSeconds_ = 0;
    notRemoved_.clear();
}

void StationLog::Rotate(int64_t now, const std::string& today) {
    if (options_.Folder.empty()) return;
    // Age is judged from a day the clock has read for a while, never from one reading: a day
    // the clock goes back to counts at once (it removes less), one ahead only once settled.
    if (today != readDay_ || now < readSince_) {
        readDay_ = today;
        readSince_ = now;
    }
    if (ageDay_.empty() ? now - readSince_ >= AgeSettleMs
                        : today < ageDay_ || (today > ageDay_ && now - readSince_ >= AgeSettleMs))
        ageDay_ = today;
    if (today == rotatedDay_ && now - rotatedAt_ < kRotateEveryMs && now >= rotatedAt_) return;
    rotatedDay_ = today;
    rotatedAt_ = now;
    std::string failure;
    // One day by age per pass: a wrong day that settled all the same costs a day a minute.
    RotateLogFolder(options_.Folder, today, options_.MaxDays, options_.MaxBytes, &failure, ageDay_,
                    ageDay_.empty() ? 0 : 1);
    if (!failure.empty() && !removalSaid_) {
        removalSaid_ = true;
        notRemoved_ = failure;
        std::fprintf(stderr, "kaldor-console: the station log cannot remove %s\n", failure.c_str());
    }
}

} // namespace kaldor
