#pragma once
#include <cstdint>
#include <cstdio>
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

// Opens a day's file to read ("rb") or append ("ab", created when missing) without waiting and
// without following a link: anything but a regular file (a FIFO, a device, a symbolic link) is
// refused. size is the file's length on opening. Null with error set ("<path>: <reason>").
std::FILE* OpenLogFile(const std::string& path, bool append, uint64_t& size, std::string& error);

// Appends text to the day's file, created with its header row first. False with error set
// when it cannot (no folder, no room, no permission).
bool AppendLogFile(const std::string& folder, const char* kind, const std::string& day,
                   const std::string& header, const std::string& text, std::string& error);

struct LogDay {
    std::string Day;     // YYYY-MM-DD
    uint64_t Bytes = 0;  // both kinds
};
// The days that have files in folder, oldest first.
std::vector<LogDay> ListLogDays(const std::string& folder);

// Bounds the folder: removes the days older than maxDays before today, then, while the total
// exceeds maxBytes, the days after today (a clock or time zone that went back wrote them), then
// the oldest days. Today's files are never removed. Returns the days removed.
int RotateLogFolder(const std::string& folder, const std::string& today, int maxDays, uint64_t maxBytes);

// The day n days before day (n may be negative), both YYYY-MM-DD.
std::string DayBefore(const std::string& day, int n);

} // namespace kaldor
