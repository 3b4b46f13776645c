#include "log/Csv.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace kaldor {
namespace {

// 0x80 to 0x9F; the unassigned five keep their C1 code point.
const uint16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool ToLocal(int64_t ms, std::tm& out) {
    const int64_t s = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    const std::time_t t = static_cast<std::time_t>(s);
#ifdef _WIN32
    return localtime_s(&out, &t) == 0;
#else
    return localtime_r(&t, &out) != nullptr;
#endif
}

} // namespace

std::string Win1252ToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        const unsigned cp = c < 0xA0 ? kHigh[c - 0x80] : c;
        if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
        } else {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        }
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

void AppendCsvField(std::string& line, const std::string& field, bool first) {
    if (!first) line += ',';
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        line += field;
        return;
    }
    line += '"';
    for (char c : field) {
        if (c == '"') line += '"';
        line += c;
    }
    line += '"';
}

std::string CsvRecord(const std::vector<std::string>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) AppendCsvField(line, fields[i], i == 0);
    line += "\r\n";
    return line;
}

std::vector<std::vector<std::string>> ParseCsv(const std::string& text, size_t& consumed,
                                               size_t maxRecord, bool* skipping) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    bool quoted = false, wasQuoted = false;
    consumed = 0;
    if (skipping) *skipping = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (i - consumed >= maxRecord) {
            const size_t end = text.find('\n', i);
            record.clear();
            field.clear();
            quoted = wasQuoted = false;
            if (end == std::string::npos) {
                consumed = text.size();
                if (skipping) *skipping = true;
                break;
            }
            consumed = i = end + 1;
            if (i >= text.size()) break;
        }
        const char c = text[i];
        if (quoted) {
            if (c != '"') field += c;
            else if (i + 1 < text.size() && text[i + 1] == '"') field += text[++i];
            else quoted = false;
        } else if (c == '"' && field.empty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == ',') {
            record.push_back(std::move(field));
            field.clear();
            wasQuoted = false;
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            record.push_back(std::move(field));
            field.clear();
            wasQuoted = false;
            records.push_back(std::move(record));
            record.clear();
            consumed = i + 1;
        } else {
            field += c;
        }
    }
    return records;
}

std::string LocalIsoTime(int64_t ms) {
    std::tm tm{};
    if (!ToLocal(ms, tm)) return {};
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

std::string LocalDay(int64_t ms) { return LocalIsoTime(ms).substr(0, 10); }

int64_t ParseLocalIsoTime(const std::string& text) {
    std::tm tm{};
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':')
        return -1;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18})
        if (text[i] < '0' || text[i] > '9') return -1;
    auto num = [&](size_t at, size_t n) { return std::stoi(text.substr(at, n)); };
    tm.tm_year = num(0, 4) - 1900;
    tm.tm_mon = num(5, 2) - 1;
    tm.tm_mday = num(8, 2);
    tm.tm_hour = num(11, 2);
    tm.tm_min = num(14, 2);
    tm.tm_sec = num(17, 2);
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    return t == static_cast<std::time_t>(-1) ? -1 : int64_t{t} * 1000;
}

int64_t SystemTimeMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace kaldor
