#include "log/LogTime.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "link/NumberText.h"

namespace kaldor {
namespace {

bool ToLocal(int64_t ms, std::tm& out) {
    const int64_t s = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    const std::time_t t = static_cast<std::time_t>(s);
#ifdef _WIN32
    return localtime_s(&out, &t) == 0;
#else
    return localtime_r(&t, &out) != nullptr;
#endif
}

// The seconds since 1970 of tm read as UTC, by the civil calendar for any year: Windows'
// _mkgmtime stops at 3000 and timegm's range depends on the library.
int64_t UtcSeconds(const std::tm& tm) {
    int64_t y = int64_t{tm.tm_year} + 1900;
    const int64_t m = tm.tm_mon + 1;
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yearOfEra = y - era * 400;
    const int64_t dayOfYear = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + tm.tm_mday - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const int64_t days = era * 146097 + dayOfEra - 719468;
    return days * 86400 + int64_t{tm.tm_hour} * 3600 + int64_t{tm.tm_min} * 60 + tm.tm_sec;
}

// The fields of "2026-12-09T05:54:51"; false for anything else.
bool IsoFields(const std::string& text, std::tm& tm) {
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':')
        return false;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18})
        if (text[i] < '0' || text[i] > '9') return false;
    auto num = [&](size_t at, size_t n) {
        int64_t v = 0;
        ParseInteger(std::string_view(text).substr(at, n), 0, 9999, v);
        return static_cast<int>(v);
    };
    tm = {};
    tm.tm_year = num(0, 4) - 1900;
    tm.tm_mon = num(5, 2) - 1;
    tm.tm_mday = num(8, 2);
    tm.tm_hour = num(11, 2);
    tm.tm_min = num(14, 2);
    tm.tm_sec = num(17, 2);
    return true;
}

} // namespace

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
    if (!IsoFields(text, tm)) return -1;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    return t == static_cast<std::time_t>(-1) ? -1 : int64_t{t} * 1000;
}

int64_t ParseLoggedTime(const std::string& time, const std::string& offset) {
    int seconds = 0;
    std::tm tm{};
    // With its offset a row's time needs no time zone, and no library's range of years.
    if (IsoFields(time, tm) && ParseUtcOffset(offset, seconds)) return (UtcSeconds(tm) - seconds) * 1000;
    return ParseLocalIsoTime(time);
}

int64_t SystemTimeMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::string UtcOffsetText(int64_t ms) {
    std::tm local{};
    if (!ToLocal(ms, local)) return {};
    // The offset is local time read as if it were UTC, less the true time.
    std::tm asUtc = local;
    asUtc.tm_isdst = 0;
    const int64_t localAsUtc = UtcSeconds(asUtc);
    const int64_t s = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    const int64_t offset = localAsUtc - s;
    const int64_t a = offset < 0 ? -offset : offset;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%c%02d:%02d", offset < 0 ? '-' : '+', int(a / 3600 % 100), int(a / 60 % 60));
    return buf;
}

bool ParseUtcOffset(const std::string& text, int& seconds) {
    auto digit = [&](size_t i) { return text[i] >= '0' && text[i] <= '9'; };
    if (text.size() != 6 || (text[0] != '+' && text[0] != '-') || text[3] != ':' || !digit(1) || !digit(2) ||
        !digit(4) || !digit(5))
        return false;
    const int hours = (text[1] - '0') * 10 + (text[2] - '0');
    const int minutes = (text[4] - '0') * 10 + (text[5] - '0');
    if (hours > 14 || minutes > 59) return false;
    seconds = (text[0] == '-' ? -1 : 1) * (hours * 3600 + minutes * 60);
    return true;
}

} // namespace kaldor
