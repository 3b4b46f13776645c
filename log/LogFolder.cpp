#include "log/LogFolder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <system_error>

#include "link/NonCopyable.h"
#include "link/NumberText.h"

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
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

namespace {

#ifdef _WIN32
std::string SystemText(DWORD code) {
    switch (code) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        // Excel holds a CSV it shows: the records wait in the queue for it to close.
        return "in use by another program (the records wait until it is closed)";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return "no space left on the disk";
    case ERROR_ACCESS_DENIED: return "access denied";
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND: return "no such folder";
    default: return "error " + std::to_string(code);
    }
}
#endif

// A day's file, opened without following a link, waiting or sharing it exclusively, and refused
// unless it is a plain disk file.
class LogFile : NonCopyable {
public:
    explicit LogFile(const std::string& path) : path_(path) {}
    ~LogFile() { Close(); }

    bool Open(bool append) {
        const fs::path p = fs::u8path(path_);
#ifdef _WIN32
        // Others may read, append and delete (rotation, an editor); a link is opened as itself.
        handle_ = CreateFileW(p.c_str(), append ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              append ? OPEN_ALWAYS : OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) return Fail(SystemText(GetLastError()));
        BY_HANDLE_FILE_INFORMATION info{};
        if (GetFileType(handle_) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle_, &info) ||
            (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)))
            return Fail("not a regular file");
        size_ = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
        return true;
#else
        const int flags = (append ? O_RDWR | O_APPEND | O_CREAT : O_RDONLY) | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
        fd_ = ::open(p.c_str(), flags, 0644);
        // A FIFO without a reader refuses a writer that will not wait with ENXIO.
        if (fd_ < 0) return Fail(errno == ELOOP || errno == ENXIO ? "not a regular file" : std::strerror(errno));
        struct stat st {};
        if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return Fail("not a regular file");
        size_ = static_cast<uint64_t>(st.st_size);
        return true;
#endif
    }

    uint64_t Size() const { return size_; }
    const std::string& Error() const { return error_; }

    // The file's last byte; false when empty or unreadable.
    bool LastByte(char& c) {
        if (size_ == 0) return false;
#ifdef _WIN32
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(size_ - 1);
        at.OffsetHigh = static_cast<DWORD>((size_ - 1) >> 32);
        DWORD got = 0;
        return ReadFile(handle_, &c, 1, &got, &at) && got == 1;
#else
        return ::pread(fd_, &c, 1, static_cast<off_t>(size_ - 1)) == 1;
#endif
    }

    // Appends all of bytes, or fails; limit, when set, is how many bytes the disk takes first.
    bool Append(const std::string& bytes, const LogWriteLimit& limit) {
        const size_t allowed = limit ? std::min(limit(path_, bytes.size()), bytes.size()) : bytes.size();
        size_t done = 0;
        for (int guard = 0; done < allowed && guard < 1000; ++guard) {
#ifdef _WIN32
            OVERLAPPED end{};
            end.Offset = 0xFFFFFFFF; // append
            end.OffsetHigh = 0xFFFFFFFF;
            DWORD n = 0;
            const DWORD want = static_cast<DWORD>(std::min<size_t>(allowed - done, 1 << 20));
            if (!WriteFile(handle_, bytes.data() + done, want, &n, &end)) return Fail(SystemText(GetLastError()));
#else
            const ssize_t n = ::write(fd_, bytes.data() + done, allowed - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return Fail(std::strerror(errno));
#endif
            done += static_cast<size_t>(n);
        }
        if (done < bytes.size()) return Fail(done < allowed ? "the write stopped" : std::strerror(ENOSPC));
        return true;
    }

    // Back to size bytes: what a failed write left is no record.
    void Truncate(uint64_t size) {
#ifdef _WIN32
        LARGE_INTEGER at{};
        at.QuadPart = static_cast<LONGLONG>(size);
        if (!SetFilePointerEx(handle_, at, nullptr, FILE_BEGIN) || !SetEndOfFile(handle_))
            error_ += " (and it could not be cut back)";
#else
        if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) error_ += " (and it could not be cut back)";
#endif
    }

    bool Close() {
        bool ok = true;
#ifdef _WIN32
        if (handle_ != INVALID_HANDLE_VALUE) ok = CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
#else
        if (fd_ >= 0) ok = ::close(fd_) == 0;
        fd_ = -1;
#endif
        return ok;
    }

    // The stream of a file opened to read; the object lets go of it.
    std::FILE* Release() {
#ifdef _WIN32
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle_), _O_RDONLY | _O_BINARY);
        if (fd < 0) return nullptr;
        handle_ = INVALID_HANDLE_VALUE;
        std::FILE* f = _fdopen(fd, "rb");
        if (!f) _close(fd);
        return f;
#else
        std::FILE* f = ::fdopen(fd_, "rb");
        if (f) fd_ = -1;
        return f;
#endif
    }

private:
    bool Fail(const std::string& reason) {
        error_ = path_ + ": " + reason;
        return false;
    }

    std::string path_, error_;
    uint64_t size_ = 0;
#ifdef _WIN32
    HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
    int fd_ = -1;
#endif
};

} // namespace

std::FILE* OpenLogFile(const std::string& path, uint64_t& size, std::string& error) {
    LogFile file(path);
    if (!file.Open(false)) {
        error = file.Error();
        return nullptr;
    }
    size = file.Size();
    std::FILE* f = file.Release();
    if (!f) error = path + ": " + std::strerror(errno);
    return f;
}

bool AppendLogFile(const std::string& folder, const char* kind, const std::string& day,
                   const std::string& header, const std::string& text, std::string& error,
                   const LogWriteLimit& limit) {
    const fs::path dir = fs::u8path(folder);
    std::error_code ec;
    fs::create_directories(dir, ec);
    LogFile file((dir / LogFileName(kind, day)).u8string());
    if (!file.Open(true)) {
        error = file.Error();
        return false;
    }
    // A file that exists but is empty (a failed first write) still needs its header; one whose
    // last line has no end (a crash, another program) gets one, so no record is glued onto it.
    char last = '\n';
    const uint64_t before = file.Size();
    std::string bytes = before == 0 ? header : file.LastByte(last) && last != '\n' ? "\r\n" : "";
    bytes += text;
    if (!file.Append(bytes, limit)) {
        file.Truncate(before);
        error = file.Error();
        return false;
    }
    if (!file.Close()) {
        error = (dir / LogFileName(kind, day)).u8string() + ": " + std::strerror(errno);
        return false;
    }
    return true;
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

int RotateLogFolder(const std::string& folder, const std::string& today, int maxDays, uint64_t maxBytes,
                    std::string* failure, const std::string& ageDay, int mostByAge) {
    std::vector<LogDay> days = ListLogDays(folder);
    uint64_t total = 0;
    for (const LogDay& d : days) total += d.Bytes;
    const std::string oldest = DayBefore(ageDay.empty() ? today : ageDay, maxDays);
    int removed = 0, byAge = 0;
    // A file that stays (another program holds it) still takes its room.
    auto remove = [&](const LogDay& d) {
        bool gone = true;
        for (const char* kind : {kEventsKind, kTelemetryKind}) {
            const fs::path p = fs::u8path(folder) / LogFileName(kind, d.Day);
            std::error_code ec;
            if (fs::remove(p, ec) || !ec) continue;
            gone = false;
            if (failure && failure->empty()) *failure = p.u8string() + ": " + ec.message();
        }
        if (!gone) return;
        total -= d.Bytes;
        ++removed;
    };
    for (auto d = days.rbegin(); d != days.rend() && d->Day > today && total > maxBytes; ++d) remove(*d);
    for (const LogDay& d : days) {
        if (d.Day >= today) break;
        if (total > maxBytes) remove(d);
        else if (d.Day < oldest && byAge++ < mostByAge) remove(d);
        else break;
    }
    return removed;
}

std::string DayBefore(const std::string& day, int n) {
    if (!IsDay(day)) return day;
    std::tm tm{};
    int64_t year = 0, month = 0, date = 0;
    ParseInteger(std::string_view(day).substr(0, 4), 0, 9999, year);
    ParseInteger(std::string_view(day).substr(5, 2), 0, 99, month);
    ParseInteger(std::string_view(day).substr(8, 2), 0, 99, date);
    tm.tm_year = static_cast<int>(year) - 1900;
    tm.tm_mon = static_cast<int>(month) - 1;
    tm.tm_mday = static_cast<int>(date) - n;
    tm.tm_hour = 12; // clear of any daylight-saving step
    tm.tm_isdst = -1;
    // Five-digit years would break the file names and their order.
    if (std::mktime(&tm) == static_cast<std::time_t>(-1) || tm.tm_year + 1900 < 1 || tm.tm_year + 1900 > 9999)
        return day;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    return buf;
}

} // namespace kaldor
