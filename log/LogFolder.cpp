#include "log/LogFolder.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#include <io.h>
#include <knownfolders.h>
#include <shlobj.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace kaldor {
namespace {

bool IsDay(const std::string& s) {
    if (s.size() != 10 || s[4] != '-' || s[7] != '-') return false;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

// "events-2026-12-09.csv" -> "2026-12-09"; empty for anything else.
std::string DayOfFile(const std::string& name) {
    for (const char* kind : {kEventsKind, kTelemetryKind}) {
        const std::string prefix = std::string(kind) + "-";
        if (name.size() == prefix.size() + 14 && name.compare(0, prefix.size(), prefix) == 0 &&
            name.compare(name.size() - 4, 4, ".csv") == 0) {
            const std::string day = name.substr(prefix.size(), 10);
            if (IsDay(day)) return day;
        }
    }
    return {};
}

#ifdef _WIN32
std::string LocalAppData() {
    PWSTR path = nullptr;
    std::string result;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &path)) && path)
        result = fs::path(path).u8string();
    CoTaskMemFree(path);
    if (result.empty())
        if (const char* env = std::getenv("LOCALAPPDATA")) result = env;
    return result;
}
#endif

} // namespace

std::string DefaultLogFolder(const std::string& application) {
#ifdef _WIN32
    const std::string base = LocalAppData();
    if (base.empty()) return {};
    return (fs::u8path(base) / "OLV" / fs::u8path(application) / "log").u8string();
#else
    std::string base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home) base = std::string(home) + "/.local/share";
    if (base.empty()) return {};
    return base + "/OLV/" + application + "/log";
#endif
}

std::string LogFileName(const char* kind, const std::string& day) {
    return std::string(kind) + "-" + day + ".csv";
}

std::string LogFilePath(const std::string& folder, const char* kind, const std::string& day) {
    return (fs::u8path(folder) / LogFileName(kind, day)).u8string();
}

std::FILE* OpenLogFile(const std::string& path, bool append, uint64_t& size, std::string& error) {
    const fs::path p = fs::u8path(path);
    auto fail = [&](const char* reason) -> std::FILE* {
        error = path + ": " + reason;
        return nullptr;
    };
#ifdef _WIN32
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(p, ec);
    if (!ec && fs::exists(st) && !fs::is_regular_file(st)) return fail("not a regular file");
    std::FILE* f = _wfopen(p.c_str(), append ? L"ab" : L"rb");
    if (!f) return fail(std::strerror(errno));
    const int64_t length = _filelengthi64(_fileno(f));
    size = length > 0 ? static_cast<uint64_t>(length) : 0;
    return f;
#else
    const int flags = (append ? O_WRONLY | O_APPEND | O_CREAT : O_RDONLY) | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    const int fd = ::open(p.c_str(), flags, 0644);
    // A FIFO without a reader refuses a writer that will not wait with ENXIO.
    if (fd < 0) return fail(errno == ELOOP || errno == ENXIO ? "not a regular file" : std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail("not a regular file");
    }
    std::FILE* f = ::fdopen(fd, append ? "ab" : "rb");
    if (!f) {
        const int saved = errno;
        ::close(fd);
        return fail(std::strerror(saved));
    }
    size = static_cast<uint64_t>(st.st_size);
    return f;
#endif
}

bool AppendLogFile(const std::string& folder, const char* kind, const std::string& day,
                   const std::string& header, const std::string& text, std::string& error) {
    const fs::path dir = fs::u8path(folder);
    std::error_code ec;
    fs::create_directories(dir, ec);
    const std::string path = (dir / LogFileName(kind, day)).u8string();
    uint64_t size = 0;
    std::FILE* f = OpenLogFile(path, true, size, error);
    if (!f) return false;
    // Each call's own error, never one left over from an earlier call.
    int failure = 0;
    auto put = [&](const std::string& bytes) {
        errno = 0;
        if (!failure && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) failure = errno ? errno : EIO;
    };
    // A file that exists but is empty (a failed first write) still needs its header.
    if (size == 0) put(header);
    put(text);
    errno = 0;
    if (std::fflush(f) != 0 && !failure) failure = errno ? errno : EIO;
    errno = 0;
    if (std::fclose(f) != 0 && !failure) failure = errno ? errno : EIO;
    if (failure) error = path + ": " + std::strerror(failure);
    return !failure;
}

std::vector<LogDay> ListLogDays(const std::string& folder) {
    std::map<std::string, uint64_t> days;
    std::error_code ec;
    fs::directory_iterator it(fs::u8path(folder), ec), end;
    for (int guard = 0; !ec && it != end && guard < 100000; it.increment(ec), ++guard) {
        const std::string day = DayOfFile(it->path().filename().u8string());
        if (day.empty()) continue;
        std::error_code sizeError;
        const uint64_t size = it->file_size(sizeError);
        days[day] += sizeError ? 0 : size;
    }
    std::vector<LogDay> result;
    for (const auto& [day, bytes] : days) result.push_back({day, bytes});
    return result;
}

int RotateLogFolder(const std::string& folder, const std::string& today, int maxDays, uint64_t maxBytes) {
    std::vector<LogDay> days = ListLogDays(folder);
    uint64_t total = 0;
    for (const LogDay& d : days) total += d.Bytes;
    const std::string oldest = DayBefore(today, maxDays);
    int removed = 0;
    auto remove = [&](const LogDay& d) {
        std::error_code ec;
        for (const char* kind : {kEventsKind, kTelemetryKind})
            fs::remove(fs::u8path(folder) / LogFileName(kind, d.Day), ec);
        total -= d.Bytes;
        ++removed;
    };
    for (auto d = days.rbegin(); d != days.rend() && d->Day > today && total > maxBytes; ++d) remove(*d);
    for (const LogDay& d : days) {
        if (d.Day >= today) break;
        if (d.Day >= oldest && total <= maxBytes) break;
        remove(d);
    }
    return removed;
}

std::string DayBefore(const std::string& day, int n) {
    if (!IsDay(day)) return day;
    std::tm tm{};
    tm.tm_year = std::atoi(day.substr(0, 4).c_str()) - 1900;
    tm.tm_mon = std::atoi(day.substr(5, 2).c_str()) - 1;
    tm.tm_mday = std::atoi(day.substr(8, 2).c_str()) - n;
    tm.tm_hour = 12; // clear of any daylight-saving step
    tm.tm_isdst = -1;
    if (std::mktime(&tm) == static_cast<std::time_t>(-1)) return day;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    return buf;
}

} // namespace kaldor
