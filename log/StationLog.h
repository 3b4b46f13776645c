#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "log/LogFolder.h"
#include "log/StationRecorder.h"
#include "log/StatusSample.h"

namespace kaldor {

struct StationLogOptions {
    std::string Folder;
    uint64_t MaxBytes = 200ull * 1024 * 1024;
    int MaxDays = 90;
    int FlushMs = 1000;               // the writer's batch period; at most twice this is lost in a crash
    std::function<int64_t()> Clock;   // wall clock in ms since 1970; the system's when empty
    LogWriteLimit WriteLimit;         // a failing disk, for tests
    bool Enabled = true;
};

// The station log: the window thread hands it copies of statuses and notes, which take a lock
// and a copy, nothing more; a thread of its own turns them into records and appends them to the
// daily files once per batch period, bounds the folder, and writes the rest when it ends. A
// write that fails is said once on standard error and kept for the log window; the statuses go
// on being taken and dropped, so the console never waits for the disk.
class StationLog {
public:
    static constexpr size_t MaxPending = 20000; // statuses beyond this, while the disk stalls, are dropped
    // Records not written while writing fails (a full disk, a file another program locks), kept
    // to write when it works again; beyond these the newest are dropped, counted, and said in
    // one row then ("12 events lost").
    static constexpr size_t MaxUnwrittenEventBytes = 256 * 1024;
    static constexpr size_t MaxUnwrittenTelemetryBytes = 1024 * 1024; // an hour of seconds
    // A day the clock reads judges the files' age only once it has read it this long: a clock
    // a year ahead for a minute removes nothing by age.
    static constexpr int64_t AgeSettleMs = 10 * 60 * 1000;

    explicit StationLog(StationLogOptions options);
    ~StationLog(); // "Console ended", the last records written

    // Window thread: t is set from the clock here.
    void Record(StatusSample sample);
    void Note(LogNote note, const std::string& text = {}, bool answered = false);
    void SetEnabled(bool on);
    bool Enabled() const { return enabled_; }

    // Waits until everything handed in so far is on disk (tests, the log window's refresh).
    void Flush();

    const std::string& Folder() const { return options_.Folder; }
    int64_t TimeMs() const { return options_.Clock(); }
    // The last write failure, empty while writing works.
    std::string Error() const;

private:
    void Run();
    void Write(std::vector<LogItem>& batch, bool finish, bool asked);
    // Appends the lines, and those held from before, one append per file; the first failure.
    std::string Append(RecordedLines& lines);
    // Keeps the oldest of lines to write later, up to the bound of their kind; counts the rest.
    void Hold(const std::string& kind, const std::string& day, std::vector<std::string>& lines);
    // The rows that say what was dropped, once writing works.
    void SayLost(int64_t now, RecordedLines& lines);
    void Rotate(int64_t now, const std::string& today);
    bool TodayFull(const std::string& today);
    void Push(LogItem&& item);

    StationLogOptions options_;
    std::atomic<bool> enabled_;
    mutable std::mutex mutex_;
    std::condition_variable wake_, written_;
    std::vector<LogItem> pending_;
    uint64_t handedIn_ = 0, handled_ = 0; // batches asked for and done, for Flush
    bool stop_ = false;
    std::string error_;
    bool complained_ = false;
    uint64_t dropped_ = 0;

    // The writer's own.
    StationRecorder recorder_;
    using FileKey = std::pair<std::string, std::string>; // kind, day
    std::map<FileKey, std::vector<std::string>> unwritten_; // oldest first
    uint64_t lostEvents_ = 0, lostSeconds_ = 0;
    std::string fullDay_; // the day whose files reached half of MaxBytes
    std::string rotatedDay_;
    int64_t rotatedAt_ = 0;
    std::string ageDay_;     // the day age is judged from; none until the clock has settled
    std::string readDay_;    // the day the clock reads, since readSince_
    int64_t readSince_ = 0;
    std::string notRemoved_; // said once
    bool removalSaid_ = false;
    std::thread thread_;
};

} // namespace kaldor
