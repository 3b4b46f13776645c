#include "log/LogReader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "link/NumberText.h"
#include "log/Csv.h"
#include "log/LogTime.h"
#include "log/LogFolder.h"

namespace kaldor {

std::vector<CsvRow> LogTail::ReadNew(const std::string& from, const std::string& to) {
    std::vector<CsvRow> rows;
    uint64_t budget = MaxReadPerCall;
    for (const LogDay& d : ListLogDays(folder_)) {
        if (d.Day < from || d.Day > to || budget == 0 || rows.size() >= MaxRecordsPerCall) continue;
        uint64_t size = 0;
        std::string error;
        std::FILE* f = OpenLogFile(LogFilePath(folder_, kind_, d.Day), size, error);
        if (!f) continue;
        Place& place = places_[d.Day];
        if (size < place.Offset) place = {};
        const uint64_t want = std::min(size - place.Offset, budget);
        std::string text;
        if (want > 0 && std::fseek(f, static_cast<long>(place.Offset), SEEK_SET) == 0) {
            text.resize(static_cast<size_t>(want));
            text.resize(std::fread(text.data(), 1, text.size(), f));
        }
        std::fclose(f);
        if (text.empty()) continue;
        budget -= text.size();
        size_t skipped = 0;
        if (place.Skipping) {
            const size_t end = text.find('\n');
            skipped = end == std::string::npos ? text.size() : end + 1;
            place.Skipping = end == std::string::npos;
            if (place.Skipping) {
                place.Offset += skipped;
                continue;
            }
        }
        size_t consumed = 0;
        std::vector<CsvRow> records =
            ParseCsv(skipped ? text.substr(skipped) : text, consumed, MaxRecordBytes, &place.Skipping,
                     MaxRecordsPerCall - rows.size() + (place.Headed ? 0 : 1));
        place.Offset += skipped + consumed;
        size_t i = 0;
        if (!place.Headed && !records.empty()) {
            place.Headed = true;
            i = 1;
        }
        for (; i < records.size(); ++i) rows.push_back(std::move(records[i]));
    }
    return rows;
}

bool ParseReading(const std::string& text, double& value) {
    value = 0;
    if (text.empty()) return true;
    constexpr double kBeyondAnyReading = 1e6;
    return ParseDecimal(text, value) && std::fabs(value) < kBeyondAnyReading;
}

int64_t LogTimeParser::Parse(const std::string& text) {
    if (text.size() != 19) return -1;
    if (text.compare(0, 13, hour_) != 0 || hourMs_ < 0) {
        const int64_t ms = ParseLocalIsoTime(text.substr(0, 13) + ":00:00");
        if (ms < 0) return -1;
        hour_ = text.substr(0, 13);
        hourMs_ = ms;
    }
    const char* m = text.c_str() + 14;
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (text[13] != ':' || text[16] != ':' || !digit(m[0]) || !digit(m[1]) || !digit(m[3]) || !digit(m[4]))
        return -1;
    const int minutes = (m[0] - '0') * 10 + (m[1] - '0');
    const int seconds = (m[3] - '0') * 10 + (m[4] - '0');
    return hourMs_ + (minutes * 60 + seconds) * 1000;
}

} // namespace kaldor
