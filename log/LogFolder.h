#pragma once
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace kaldor {

// Where the station log of an application lives: $XDG_DATA_HOME (default ~/.local/share)/OLV/
// <application>/log, on Windows the local application data folder's OLV\<application>\log.
// Empty when neither is known.
std::string DefaultLogFolder(const std::string& application);

// The two kinds of daily file: "<kind>-YYYY-MM-DD.csv".
constexpr const char* kEventsKind = "events";
constexpr const char* kTelemetryKind = "telemetry";
std::string LogFileName(const char* kind, const std::string& day);
std::string LogFilePath(const std::string& folder, const char* kind, const std::string& day);

// Opens a day's file to read without waiting and without following a link: anything but a
// regular file (a FIFO, a device, a symbolic link) is refused. size is the file's length on
// opening. Null with error set ("<path>: <reason>").
std::FILE* OpenLogFile(const std::string& path, uint64_t& size, std::string& error);

// A failing disk, for tests: of the bytes a write to path wants, how many the disk takes
// before the write fails (all of them for none).
using LogWriteLimit = std::function<size_t(const std::string& path, size_t wanted)>;

// Appends text to the day's file, created with its header row first, the same way. All of it
// or nothing: a write that fails part-way is cut back off the file. False with error set when
// it cannot (no folder, no room, no permission, another program's lock).
bool AppendLogFile(const std::string& folder, const char* kind, const std::string& day,
                   const std::string& header, const std::string& text, std::string& error,
                   const LogWriteLimit& limit = {});

struct LogDay {
    std::string Day;     // YYYY-MM-DD
    uint64_t Bytes = 0;  // both kinds
};
// The days that have files in folder, oldest first.
std::vector<LogDay> ListLogDays(const std::string& folder);

// Bounds the folder: removes the days older than maxDays before ageDay (today when empty), at
// most mostByAge of them, then, while the total exceeds maxBytes, the days after today (a clock
// or time zone that went back wrote them), then the oldest days. Today's files are never
// removed; a day whose files cannot be removed still counts, and failure tells the first.
// Returns the days removed.
int RotateLogFolder(const std::string& folder, const std::string& today, int maxDays, uint64_t maxBytes,
                    std::string* failure = nullptr, const std::string& ageDay = {}, int mostByAge = 1 << 30);

// The day n days before day (n may be negative), both YYYY-MM-DD.
std::string DayBefore(const std::string& day, int n);

} // namespace kaldor
