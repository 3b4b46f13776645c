#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kaldor {

using CsvRow = std::vector<std::string>;

// Reads the daily files of one kind as they grow: each call returns the records added since the
// last one (header rows left out), in day order. A record still being written waits for the next
// call; a file that shrank or went (rotation) is read again from its start. One call reads at
// most MaxReadPerCall bytes of all files together, the rest on the next; a record longer than
// MaxRecordBytes is skipped up to its line end, and stays skipped however long it grows; one
// call returns at most MaxRecordsPerCall records.
class LogTail {
public:
    static constexpr uint64_t MaxReadPerCall = 8ull * 1024 * 1024;
    static constexpr size_t MaxRecordBytes = 64 * 1024;
    static constexpr size_t MaxRecordsPerCall = 100000; // a day of seconds and more

    LogTail(std::string folder, const char* kind) : folder_(std::move(folder)), kind_(kind) {}
    // The files of the days from to to, both YYYY-MM-DD and included.
    std::vector<CsvRow> ReadNew(const std::string& from, const std::string& to);

private:
    std::string folder_;
    const char* kind_;
    struct Place {
        uint64_t Offset = 0;
        bool Skipping = false; // inside a record given up on
        bool Headed = false;   // the header row was taken
    };
    std::map<std::string, Place> places_;
};

// A reading of a telemetry field: an empty field is 0; false for what is not a number, not
// finite, or beyond any reading (inf, nan, 1e308), which would break a chart's axes.
bool ParseReading(const std::string& text, double& value);

// Fast ms since 1970 for the local times the log writes; -1 for anything else. Keeps the hour it
// last converted.
class LogTimeParser {
public:
    int64_t Parse(const std::string& text);

private:
    std::string hour_;
    int64_t hourMs_ = -1;
};

} // namespace kaldor
