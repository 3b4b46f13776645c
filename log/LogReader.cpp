#include "log/LogReader.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "log/Csv.h"
#include "log/LogFolder.h"

namespace fs = std::filesystem;

namespace kaldor {

std::vector<CsvRow> LogTail::ReadNew(const std::string& from, const std::string& to) {
    std::vector<CsvRow> rows;
    for (const LogDay& d : ListLogDays(folder_)) {
        if (d.Day < from || d.Day > to) continue;
        const fs::path path = fs::u8path(LogFilePath(folder_, kind_, d.Day));
        std::error_code ec;
        const uint64_t size = fs::file_size(path, ec);
        if (ec) continue;
        uint64_t& offset = offsets_[d.Day];
        if (size < offset) offset = 0;
        if (size == offset) continue;
        std::FILE* f = nullptr;
#ifdef _WIN32
        f = _wfopen(path.c_str(), L"rb");
#else
        f = std::fopen(path.c_str(), "rb");
#endif
        if (!f) continue;
        std::string text;
        const uint64_t want = std::min<uint64_t>(size - offset, MaxReadPerFile);
        if (std::fseek(f, static_cast<long>(offset), SEEK_SET) == 0) {
            text.resize(static_cast<size_t>(want));
            text.resize(std::fread(text.data(), 1, text.size(), f));
        }
        std::fclose(f);
        size_t consumed = 0;
        std::vector<CsvRow> records = ParseCsv(text, consumed);
        const bool atStart = offset == 0;
        offset += consumed;
        if (want == MaxReadPerFile && consumed == 0) offset += want; // one record too long to keep
        for (size_t i = atStart ? 1 : 0; i < records.size(); ++i) rows.push_back(std::move(records[i]));
    }
    return rows;
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
