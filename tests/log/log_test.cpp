// The station log without a window: the records a run of statuses makes, the files and their
// bounds, and a folder that cannot be written.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

#include "link/NumberText.h"
#include "log/Csv.h"
#include "log/LogColumns.h"
#include "log/LogTime.h"
#include "log/Win1252.h"
#include "log/LogFolder.h"
#include "log/LogReader.h"
#include "log/StationLog.h"

using namespace kaldor;
namespace fs = std::filesystem;

namespace {

constexpr int64_t kNoon = 1796817600000; // 2026-12-10, near noon in any zone
constexpr int64_t kMinuteMs = 60 * 1000;

struct TempFolder {
    TempFolder() {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path = fs::temp_directory_path() / ("kaldor_log_" + std::to_string(stamp) + "_" + std::to_string(counter++));
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::permissions(path, fs::perms::owner_all, ec);
        fs::remove_all(path, ec);
    }
    std::string Str() const { return path.string(); }
    fs::path path;
    static inline int counter = 0;
};

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<CsvRow> Rows(const fs::path& p) {
    size_t used = 0;
    auto rows = ParseCsv(ReadAll(p), used);
    if (!rows.empty()) rows.erase(rows.begin()); // the header
    return rows;
}

StatusSample Status(int64_t ms, uint16_t screen, uint16_t flags = FlagCelsius) {
    StatusSample s;
    s.TimeMs = ms;
    s.Screen = screen;
    s.Flags = flags;
    s.Band = 4;
    s.BandText = "20 m";
    s.AntennaText = "ANT 1";
    s.InputText = "IN 1";
    s.CatText = "NONE";
    s.Temperature = 35;
    s.SwrGain = 150;
    return s;
}

// Band, input and antenna changing at every status, an alert flapping.
StatusSample Flapping(int64_t ms, int i) {
    StatusSample s = Status(ms, i % 2 ? 24 : 1);
    s.Band = 4 + i % 2, s.BandText = i % 2 ? "17 m" : "20 m";
    s.Input = i % 2, s.InputText = i % 2 ? "IN 2" : "IN 1";
    s.Antenna = i % 2, s.AntennaText = i % 2 ? "ANT 2" : "ANT 1";
    s.AlertText = i % 2 ? "   SWR ALARM   " : nullptr;
    return s;
}

LogItem Item(const StatusSample& s) {
    LogItem i;
    i.Sample = s;
    return i;
}

LogItem NoteItem(LogNote n, int64_t ms, std::string text = {}, bool answered = false) {
    LogItem i;
    i.IsNote = true;
    i.Note = n;
    i.TimeMs = ms;
    i.Text = std::move(text);
    i.Answered = answered;
    return i;
}

std::vector<CsvRow> Parse(const std::vector<LogLine>& lines) {
    std::string text;
    for (const LogLine& l : lines) text += l.Text;
    size_t used = 0;
    return ParseCsv(text, used);
}

} // namespace

TEST(StationRecorder, EachChangeBecomesOneEventInOrderWithTheValuesShownThen) {
    StationRecorder r;
    RecordedLines out;
    const int64_t t = kNoon;
    StatusSample operate = Status(t + 2000, 1, FlagCelsius | FlagOperate);
    operate.GainShown = true;
    StatusSample tx = operate;
    tx.TimeMs = t + 2500;
    tx.Flags |= FlagTx;
    tx.OutputPower = 6123;
    tx.ReflectedPower = 2100;
    tx.ReflectedWarning = true;
    StatusSample txAgain = tx; // the warning still shown: no second event
    txAgain.TimeMs = t + 2600;
    StatusSample band = operate;
    band.TimeMs = t + 3000;
    band.Band = 5;
    band.BandText = "17 m";
    band.AntennaWarning = true;
    StatusSample alert = Status(t + 4000, 24, FlagCelsius | FlagAlarm);
    alert.Band = 5;
    alert.BandText = "17 m";
    alert.AlertText = "     P.A. MANAGEMENT : OVER DRIVING     ";
    StatusSample alertAgain = alert;
    alertAgain.TimeMs = t + 4100;

    for (const LogItem& i : {NoteItem(LogNote::ConsoleStarted, t), NoteItem(LogNote::Port, t, "COM1 /dev/pts/9"),
                             Item(Status(t + 1000, 0)), Item(operate), Item(tx), Item(txAgain), Item(band),
                             Item(alert), Item(alertAgain), NoteItem(LogNote::OffSent, t + 5000),
                             Item(Status(t + 6000, ScrNoLink)),
                             NoteItem(LogNote::OffDone, t + 7000, {}, false)})
        r.Add(i, out);

    const std::vector<CsvRow> rows = Parse(out.Events);
    const std::vector<std::vector<std::string>> expected = {
        {"link", "Console started", ""},
        {"link", "Link up", "COM1 /dev/pts/9"},
        {"power", "Operate", ""},
        {"alert", "Warning", "HIGH REFLECTED POWER"},
        {"change", "Band", "20 m -> 17 m"},
        {"alert", "Warning", "17 m ANTENNA NOT AVAILABLE"},
        {"power", "Standby", ""},
        {"alert", "Alert", "P.A. MANAGEMENT : OVER DRIVING"},
        {"power", "OFF sent", ""},
        {"link", "Link lost", "COM1 /dev/pts/9"},
        {"power", "OFF", "done: the amplifier is off"},
    };
    ASSERT_EQ(rows.size(), expected.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 18u) << i;
        EXPECT_EQ(rows[i][17], UtcOffsetText(ParseLocalIsoTime(rows[i][0]))) << "the offset, last";
        EXPECT_EQ(std::vector<std::string>(rows[i].begin() + 1, rows[i].begin() + 4), expected[i]) << i;
    }
    EXPECT_EQ(rows[3][0], LocalIsoTime(t + 2500));
    // mode,input,band,antenna,cat,output_w,reflected_w,swr,gain_db,temperature,unit,pa_v,pa_a
    EXPECT_EQ(std::vector<std::string>(rows[3].begin() + 4, rows[3].end() - 1),
              (std::vector<std::string>{"OPERATE", "IN 1", "20 m", "ANT 1", "NONE", "612.3", "210.0", "",
                                        "15.0", "35", "C", "0.0", "0.0"}));
    EXPECT_EQ(rows[1][11], "1.50") << "SWR outside operate";
    EXPECT_EQ(rows[0][4], "") << "no values before the first status";
}

TEST(StationRecorder, TelemetryIsOneRowPerSecondOfLinkWithTheHighestReadings) {
    StationRecorder r;
    RecordedLines out;
    const uint16_t outputs[] = {100, 900, 300, 500, 200};
    const int64_t times[] = {kNoon, kNoon + 400, kNoon + 900, kNoon + 1100, kNoon + 3200};
    for (int i = 0; i < 5; ++i) {
        StatusSample s = Status(times[i], 1, FlagOperate | (i == 1 ? FlagTx : 0));
        s.OutputPower = outputs[i];
        s.PaCurrent = outputs[i] / 10;
        r.Add(Item(s), out);
    }
    r.CloseSeconds(kNoon + 3999, out); // second 3 is not over
    r.Add(Item(Status(kNoon + 5000, ScrNoLink)), out);
    r.Add(Item(Status(kNoon + 6000, ScrNoLink)), out);
    const std::vector<CsvRow> rows = Parse(out.Telemetry);
    ASSERT_EQ(rows.size(), 3u);
    // time, mode, tx, ..., output_w, ..., pa_current_a
    const std::vector<std::vector<std::string>> expected = {
        {LocalIsoTime(kNoon), "OPERATE", "1", "90.0", "9.0"},
        {LocalIsoTime(kNoon + 1000), "OPERATE", "0", "50.0", "5.0"},
        {LocalIsoTime(kNoon + 3000), "OPERATE", "0", "20.0", "2.0"},
    };
    for (size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 14u);
        EXPECT_EQ(rows[i][13], UtcOffsetText(kNoon));
        EXPECT_EQ((std::vector<std::string>{rows[i][0], rows[i][1], rows[i][2], rows[i][5], rows[i][8]}), expected[i]);
    }
}

TEST(Csv, FieldsAreQuotedAsTheRfcSaysAndTheTextsBecomeUtf8) {
    const struct {
        std::string in, out;
    } cases[] = {{"plain", "plain"}, {"a,b", "\"a,b\""}, {"say \"hi\"", "\"say \"\"hi\"\"\""},
                 {"two\nlines", "\"two\nlines\""}};
    for (const auto& c : cases) {
        std::string line;
        AppendCsvField(line, c.in, true);
        EXPECT_EQ(line, c.out);
        size_t used = 0;
        const auto back = ParseCsv(line + "\r\n", used);
        ASSERT_EQ(back.size(), 1u);
        EXPECT_EQ(back[0], std::vector<std::string>{c.in});
    }
    EXPECT_EQ(Win1252ToUtf8("35 \xB0" "C \x80 \x93x\x94"), "35 \xC2\xB0" "C \xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D");
    EXPECT_EQ(Win1252ToUtf8("\x81"), "\xEF\xBF\xBD") << "an undefined byte, as the display shows it";
    // What was read so far: records taken, bytes used, the first record's fields.
    const struct {
        const char* what;
        std::string text;
        size_t records, used, fields;
        size_t most = std::string::npos;
    } reads[] = {
        {"the unfinished record waits", "a,b\r\nc,\"d", 1, 5, 2},
        {"a lone CR last may be half a CRLF", "a,b\r", 0, 0, 0},
        {"a CR with more after it ends a record", "a,b\rc\n", 2, 6, 2},
        {"bare line ends are no records", std::string(1 << 20, '\n'), 0, 1 << 20, 0},
        {"nor are lines of bare commas", std::string(60000, ',') + "\n", 0, 60001, 0},
        {"fields past the bound are dropped", std::string(500, 'x') + std::string(500, ',') + "\n", 1, 1001,
         MaxCsvFields},
        {"one call stops at its bound", "a\nb\nc\nd\n", 3, 6, 1, 3},
    };
    for (const auto& r : reads) {
        size_t used = 0;
        const auto records = ParseCsv(r.text, used, std::string::npos, nullptr, r.most);
        EXPECT_EQ(records.size(), r.records) << r.what;
        EXPECT_EQ(used, r.used) << r.what;
        if (!records.empty()) {
            EXPECT_EQ(records[0].size(), r.fields) << r.what;
        }
    }
    EXPECT_EQ(ParseLocalIsoTime(LocalIsoTime(kNoon + 1234)), kNoon + 1000);
    LogTimeParser parser;
    for (int64_t dt : {0, 59000, 3599000, 3600000, 86400000})
        EXPECT_EQ(parser.Parse(LocalIsoTime(kNoon + dt)), kNoon + dt);
}

TEST(LogFolder, RotationDropsTheOldestDaysFirstAndStaysUnderTheBound) {
    TempFolder dir;
    const std::string today = LocalDay(kNoon);
    const std::string block(1000, 'x');
    for (int back = 0; back <= 10; ++back) {
        std::string error;
        const std::string day = DayBefore(today, back);
        ASSERT_TRUE(AppendLogFile(dir.Str(), kEventsKind, day, "h\r\n", block, error)) << error;
        ASSERT_TRUE(AppendLogFile(dir.Str(), kTelemetryKind, day, "h\r\n", block + block, error)) << error;
    }
    std::ofstream(dir.path / "notes.txt") << "not ours";
    const uint64_t perDay = 3006;
    ASSERT_EQ(ListLogDays(dir.Str()).size(), 11u);

    // The day bound first: 8 days back are kept.
    EXPECT_EQ(RotateLogFolder(dir.Str(), today, 8, 1000000), 2);
    EXPECT_EQ(ListLogDays(dir.Str()).front().Day, DayBefore(today, 8));
    // Then the size: five days' worth fits.
    EXPECT_EQ(RotateLogFolder(dir.Str(), today, 8, 5 * perDay + 10), 4);
    const auto days = ListLogDays(dir.Str());
    ASSERT_EQ(days.size(), 5u);
    EXPECT_EQ(days.front().Day, DayBefore(today, 4));
    EXPECT_EQ(days.back().Day, today);
    uint64_t total = 0;
    for (const auto& d : days) total += d.Bytes;
    EXPECT_LE(total, 5 * perDay + 10);
    // Today stays even when it alone is over the bound; other files are not touched.
    RotateLogFolder(dir.Str(), today, 8, 10);
    ASSERT_EQ(ListLogDays(dir.Str()).size(), 1u);
    EXPECT_TRUE(fs::exists(dir.path / "notes.txt"));
}

TEST(StationLog, WritesDailyFilesWithHeadersAndRotatesByItsClock) {
    TempFolder dir;
    std::string error;
    const std::string old = DayBefore(LocalDay(kNoon), 3);
    ASSERT_TRUE(AppendLogFile(dir.Str(), kEventsKind, old, "h\r\n", std::string(5000, 'x'), error));
    std::atomic<int64_t> now{kNoon};
    {
        StationLogOptions o;
        o.Folder = dir.Str();
        o.MaxBytes = 4000;
        o.Clock = [&] { return now.load(); };
        StationLog log(o);
        for (int i = 0; i < 30; ++i) { // three seconds at ten statuses a second
            log.Record(Status(0, 0));
            now += 100;
        }
        log.Flush();
        EXPECT_FALSE(fs::exists(dir.path / LogFileName(kEventsKind, old))) << "over the bound";
        EXPECT_EQ(Rows(dir.path / LogFileName(kTelemetryKind, LocalDay(kNoon))).size(), 3u);
        EXPECT_EQ(log.Error(), "");
    }
    const std::string events = ReadAll(dir.path / LogFileName(kEventsKind, LocalDay(kNoon)));
    EXPECT_EQ(events.rfind(StationRecorder::EventHeader, 0), 0u);
    const auto rows = Rows(dir.path / LogFileName(kEventsKind, LocalDay(kNoon)));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][2], "Console started");
    EXPECT_EQ(rows[1][2], "Link up");
    EXPECT_EQ(rows[2][2], "Console ended");
}

TEST(StationLog, AFolderThatCannotBeWrittenNeitherStopsNorSlowsTheRecording) {
    TempFolder dir;
    fs::path file = dir.path / "file";
    std::ofstream(file) << "a file where the folder should be";
    const fs::path readOnly = dir.path / "ro";
    fs::create_directories(readOnly);
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec);
    const bool privileged = std::ofstream(readOnly / "probe").is_open();
    for (const fs::path& folder : {file / "log", readOnly}) {
        if (folder == readOnly && privileged) continue; // root writes anyway: the unprivileged run covers it
        StationLogOptions o;
        o.Folder = folder.string();
        o.FlushMs = 10;
        StationLog log(o);
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < 20000; ++i) log.Record(Status(0, 1));
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_LT(took, std::chrono::seconds(2)) << folder;
        log.Flush();
        EXPECT_NE(log.Error().find(folder.string()), std::string::npos) << log.Error();
        EXPECT_FALSE(fs::exists(folder / LogFileName(kEventsKind, LocalDay(SystemTimeMs()))));
    }
}

TEST(LogFolder, TheDataFolderIsTheUsersAndKeptApartByApplication) {
    const std::string real = DefaultLogFolder("Kaldor_Console");
    const std::string simulated = DefaultLogFolder("Kaldor_Console_Simulated");
    ASSERT_FALSE(real.empty());
    EXPECT_NE(real, simulated);
#ifdef _WIN32
    EXPECT_NE(real.find("\\OLV\\Kaldor_Console\\log"), std::string::npos) << real;
#else
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string keep = saved ? saved : "";
    setenv("XDG_DATA_HOME", "/data/home", 1);
    EXPECT_EQ(DefaultLogFolder("Kaldor_Console"), "/data/home/OLV/Kaldor_Console/log");
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(DefaultLogFolder("A"), std::string(std::getenv("HOME")) + "/.local/share/OLV/A/log");
    if (saved) setenv("XDG_DATA_HOME", keep.c_str(), 1);
#endif
}

#ifndef _WIN32
#include <sys/stat.h>
#endif

// What others may leave in the folder: each case lays out today's or yesterday's files, then the
// reader and the writer must still take the good rows, in bounded time and memory.
TEST(LogFolder, HostileFilesAreBoundedSkippedOrRefused) {
    const std::string today = LocalDay(kNoon), yesterday = DayBefore(today, 1);
    const std::string head = "time,kind\r\n", good = "2026-12-09T21:04:05,event\r\n";
    struct Case {
        const char* what;
        std::function<void(const fs::path& dir)> lay;
        size_t rows; // good rows the reader then finds
    };
    auto put = [](const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; };
    const std::vector<Case> cases = {
        {"a line longer than one call reads, then a good row", [&](const fs::path& d) {
             put(d / LogFileName(kEventsKind, today), head + std::string(LogTail::MaxReadPerCall + 10, 'x') + "\n" + good);
         }, 1},
        {"yesterday's endless line is given up on, today's row read", [&](const fs::path& d) {
             put(d / LogFileName(kEventsKind, yesterday), head + std::string(3 * LogTail::MaxRecordBytes, 'x'));
             put(d / LogFileName(kEventsKind, today), head + good);
         }, 1},
        {"an unclosed quote is cut off at its record's bound", [&](const fs::path& d) {
             std::string text = head + "2026-12-09T21:04:04,\"unclosed\n";
             while (text.size() < 2 * LogTail::MaxRecordBytes) text += "x,y\n";
             put(d / LogFileName(kEventsKind, today), text + good);
         }, 0 /* counted below: the rows after the cut */},
        {"a future day is shown too", [&](const fs::path& d) {
             put(d / LogFileName(kEventsKind, "2999-01-01"), head + good);
         }, 1},
#ifndef _WIN32
        {"a FIFO as today's file", [&](const fs::path& d) {
             ASSERT_EQ(::mkfifo((d / LogFileName(kEventsKind, today)).c_str(), 0600), 0);
         }, 0},
        {"a link as today's file", [&](const fs::path& d) {
             put(d / "target", head + good);
             fs::create_symlink(d / "target", d / LogFileName(kEventsKind, today));
         }, 0},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder dir;
        c.lay(dir.path);
        LogTail tail(dir.Str(), kEventsKind);
        std::vector<CsvRow> rows;
        for (int call = 0; call < 4; ++call)
            for (CsvRow& r : tail.ReadNew("0000-00-00", "9999-99-99")) rows.push_back(std::move(r));
        size_t found = 0;
        for (const CsvRow& r : rows) {
            EXPECT_LE(r.size(), 2u);
            found += r == CsvRow{"2026-12-09T21:04:05", "event"};
        }
        EXPECT_EQ(found, std::string(c.what).find("unclosed") != std::string::npos ? 1u : c.rows);
        // The writer refuses what is not a regular file, at once, and leaves a link's target alone.
        std::string error;
        const fs::path todays = dir.path / LogFileName(kEventsKind, today);
        const fs::file_status st = fs::symlink_status(todays);
        const bool regular = !fs::exists(st) || fs::is_regular_file(st);
        EXPECT_EQ(AppendLogFile(dir.Str(), kEventsKind, today, head, good, error), regular) << error;
        if (!regular) {
            EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
        }
        if (fs::exists(dir.path / "target")) {
            EXPECT_EQ(ReadAll(dir.path / "target"), head + good);
        }
    }
}

TEST(LogFolder, MendsOfTheBoundsTheReadingsAndAFailedWrite) {
    // Days after today count against the bound and go first; the past stays.
    TempFolder dir;
    const std::string today = LocalDay(kNoon);
    std::string error;
    ASSERT_TRUE(AppendLogFile(dir.Str(), kEventsKind, "2999-01-01", "h\r\n", std::string(4000, 'x'), error));
    ASSERT_TRUE(AppendLogFile(dir.Str(), kEventsKind, DayBefore(today, 1), "h\r\n", "past\r\n", error));
    EXPECT_EQ(RotateLogFolder(dir.Str(), today, 90, 3000), 1);
    ASSERT_EQ(ListLogDays(dir.Str()).size(), 1u);
    EXPECT_EQ(ListLogDays(dir.Str())[0].Day, DayBefore(today, 1));
    EXPECT_EQ(DayBefore("9999-12-31", -1), "9999-12-31") << "a five-digit year would break the names' order";
    EXPECT_EQ(DayBefore("2028-03-01", 1), "2028-02-29");

    // Readings that would break a chart's axes are refused.
    const struct {
        const char* text;
        bool ok;
        double value;
    } readings[] = {{"850", true, 850}, {"", true, 0}, {"1.25", true, 1.25}, {"inf", false, 0},
                    {"nan", false, 0}, {"1e308", false, 0}, {"1e999", false, 0}, {"12x", false, 0},
                    {"1,25", false, 0}, {" 5", false, 0}, {"-2.5", true, -2.5}, {"0x10", false, 0}};
    for (const auto& r : readings) {
        double v = -1;
        EXPECT_EQ(ParseReading(r.text, v), r.ok) << r.text;
        if (r.ok) {
            EXPECT_EQ(v, r.value) << r.text;
        }
    }

    // A local time with its offset is a true time: the repeated hour when the clocks go back
    // orders where it happened; a row without one (an older file) reads as local time.
    EXPECT_EQ(ParseLoggedTime("2026-10-25T02:30:00", "+01:00") - ParseLoggedTime("2026-10-25T02:30:00", "+02:00"),
              3600000);
    EXPECT_EQ(ParseLoggedTime("2026-12-09T21:04:05", "-09:30"), ParseLoggedTime("2026-12-10T06:34:05", "+00:00"));
    EXPECT_EQ(ParseLoggedTime(LocalIsoTime(kNoon), ""), kNoon);
    EXPECT_EQ(ParseLoggedTime(LocalIsoTime(kNoon), UtcOffsetText(kNoon)), kNoon);

    // Band, input and antenna changing at every status, an alert flapping: within a second each
    // kind is one row, with the last text and how many it stands for; the next second starts anew.
    StationRecorder recorder;
    RecordedLines out;
    for (int i = 0; i < 10; ++i) recorder.Add(Item(Flapping(kNoon + 1000 + 100 * i, i)), out);
    recorder.Add(Item(Flapping(kNoon + 2500, 10)), out);
    recorder.Finish(out);
    const std::vector<std::vector<std::string>> coalesced = {
        {"link", "Link up", ""},          {"change", "Input", "IN 1 -> IN 2 (9 times)"},
        {"change", "Band", "20 m -> 17 m (9 times)"}, {"change", "Antenna", "ANT 1 -> ANT 2 (9 times)"},
        {"alert", "Alert", "SWR ALARM (5 times)"},    {"change", "Input", "IN 2 -> IN 1"},
        {"change", "Band", "17 m -> 20 m"},           {"change", "Antenna", "ANT 2 -> ANT 1"}};
    const std::vector<CsvRow> events = Parse(out.Events);
    ASSERT_EQ(events.size(), coalesced.size());
    for (size_t i = 0; i < events.size(); ++i)
        EXPECT_EQ(std::vector<std::string>(events[i].begin() + 1, events[i].begin() + 4), coalesced[i]) << i;
    EXPECT_EQ(events[1][0], LocalIsoTime(kNoon + 1100)) << "the first one's time";
    EXPECT_EQ(events[2][6], "17 m") << "the last one's values";
}

// One station log over a disk the test fails on demand and a clock it steps.
class LogDisk : public ::testing::Test {
protected:
    std::unique_ptr<StationLog> Start(int maxDays = 90, uint64_t maxBytes = 100000000) {
        StationLogOptions o;
        o.Folder = dir.Str();
        o.MaxDays = maxDays;
        o.MaxBytes = maxBytes;
        o.FlushMs = 10;
        o.Clock = [this] { return now.load(); };
        o.WriteLimit = [this](const std::string&, size_t wanted) { return std::min(wanted, takes.load()); };
        return std::make_unique<StationLog>(o);
    }
    fs::path Today(const char* kind = kEventsKind) const { return dir.path / LogFileName(kind, LocalDay(now)); }
    std::vector<std::string> Events(const fs::path& p) {
        std::vector<std::string> names;
        for (const CsvRow& r : Rows(p)) {
            EXPECT_EQ(r.size(), size_t(EventColumn::Count)) << "every row has every column";
            names.push_back(Field(r, EventColumn::Event));
        }
        return names;
    }
    TempFolder dir;
    std::atomic<int64_t> now{kNoon};
    std::atomic<size_t> takes{std::string::npos}; // bytes the disk takes of a write
};

TEST_F(LogDisk, AWriteThatFailsPartWayLeavesNoPartOfARecord) {
    const std::string head = "time,kind\r\n";
    for (const size_t takesFirst : {size_t(0), size_t(1), size_t(2), size_t(60), size_t(100)}) { // of ~130
        SCOPED_TRACE(takesFirst);
        fs::remove_all(dir.path);
        // A file whose last line has no end (a crash, another program): the next record is on a line of its own.
        std::string error;
        ASSERT_TRUE(AppendLogFile(dir.Str(), kEventsKind, LocalDay(now), head, "cut", error));
        takes = takesFirst;
        auto log = Start();
        log->Note(LogNote::OffSent);
        log->Flush();
        EXPECT_EQ(ReadAll(Today()), head + "cut") << "cut back to the size before";
        EXPECT_NE(log->Error().find(Today().string()), std::string::npos) << log->Error();
        takes = std::string::npos;
        log->Note(LogNote::OnSent);
        log->Flush();
        EXPECT_EQ(log->Error(), "");
        const auto rows = Rows(Today());
        ASSERT_EQ(rows.size(), 4u);
        EXPECT_EQ(rows[0], CsvRow{"cut"});
        EXPECT_EQ((std::vector<std::string>{rows[1][2], rows[2][2], rows[3][2]}),
                  (std::vector<std::string>{"Console started", "OFF sent", "ON sent"})) << "each once, in order";
    }
}

TEST_F(LogDisk, AFullDiskKeepsTheOldestEventsAndSaysHowManyWereLost) {
    takes = 0;
    auto log = Start();
    const int notes = 6000; // well past what is held
    for (int i = 0; i < notes; ++i) {
        log->Note(LogNote::Port, "COM1"); // a port note makes no row: the texts below do
        log->Note(i % 2 ? LogNote::OnSent : LogNote::OffSent);
        if (i % 500 == 0) log->Flush();
    }
    log->Flush();
    EXPECT_EQ(fs::file_size(Today()), 0u) << "nothing while the disk is full";
    takes = std::string::npos;
    log->Flush();
    const auto names = Events(Today());
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ(names[0], "Console started") << "the oldest are kept";
    EXPECT_EQ(names[1], "OFF sent");
    int64_t lost = 0;
    const std::string said = names.back();
    ASSERT_GT(said.size(), 12u) << said;
    ASSERT_EQ(said.substr(said.size() - 12), " events lost") << said;
    ASSERT_TRUE(ParseInteger(said.substr(0, said.size() - 12), 1, notes, lost)) << said;
    EXPECT_EQ(int64_t(names.size()) - 2 + lost, notes) << "kept and lost add up";
    EXPECT_LE(fs::file_size(Today()), StationLog::MaxUnwrittenEventBytes + 2000);
    log->Note(LogNote::OnSent);
    log->Flush();
    EXPECT_EQ(std::count_if(names.begin(), names.end(), [](const std::string& n) { return n.find("lost") != n.npos; }), 1);
    EXPECT_EQ(Events(Today()).back(), "ON sent") << "said once";
}

TEST_F(LogDisk, AClockAYearAheadForAMinuteRemovesNoHistoryByAge) {
    std::string error;
    for (int back : {1, 30, 89, 120})
        ASSERT_TRUE(AppendLogFile(dir.Str(), kEventsKind, DayBefore(LocalDay(now), back), "h\r\n", "x\r\n", error));
    auto log = Start(90);
    log->Flush();
    EXPECT_EQ(ListLogDays(dir.Str()).size(), 5u) << "no verdict on age from the first readings";
    const int64_t year = 365ll * 86400 * 1000;
    for (int s = 0; s <= 60; s += 5) {
        now = kNoon + year + s * 1000;
        log->Note(LogNote::OffSent);
        log->Flush();
    }
    now = kNoon + 61000;
    log->Flush();
    const auto days = ListLogDays(dir.Str());
    ASSERT_EQ(days.size(), 6u) << "the past, today and the year-ahead day all stay";
    EXPECT_EQ(days.front().Day, DayBefore(LocalDay(kNoon), 120));
    // The clock kept: age judges, a day per pass.
    now += StationLog::AgeSettleMs + kMinuteMs;
    log->Flush();
    EXPECT_EQ(ListLogDays(dir.Str()).front().Day, DayBefore(LocalDay(kNoon), 89));
}

TEST_F(LogDisk, AFileThatCannotBeRemovedIsSaidOnce) {
    // A folder by a day's file name: rotation cannot remove it.
    const fs::path stuck = dir.path / LogFileName(kEventsKind, DayBefore(LocalDay(now), 200));
    fs::create_directories(stuck / "inside");
    auto log = Start(90);
    log->Flush();
    now += StationLog::AgeSettleMs + kMinuteMs;
    for (int i = 0; i < 3; ++i) {
        now += 2 * kMinuteMs;
        log->Note(LogNote::OffSent);
        log->Flush();
    }
    const auto names = Events(Today());
    EXPECT_EQ(std::count(names.begin(), names.end(), "Not removed"), 1);
    EXPECT_TRUE(fs::exists(stuck));
}

// A German desktop: the C library reads and writes "850,0" there. Qt sets it from the
// environment; so does this, or a comma locale made here.
TEST_F(LogDisk, TheLogReadsBackTheSameUnderACommaLocale) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    bool comma = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "German_Germany.1252"})
        if (std::setlocale(LC_NUMERIC, name)) comma = true;
#ifndef _WIN32
    if (!comma) {
        const std::string made = (dir.path / "locales").string();
        fs::create_directories(made);
        const std::string command = "localedef -i de_DE -f UTF-8 '" + made + "/de_DE.UTF-8' >/dev/null 2>&1";
        // It exits with 1 when it only warns: whether the locale loads is what counts.
        const int status = std::system(command.c_str());
        (void)status;
        setenv("LOCPATH", made.c_str(), 1);
        comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
        unsetenv("LOCPATH");
    }
#endif
    if (!comma) GTEST_SKIP() << "no comma locale here and none could be made (localedef and the locales' sources)";
    char shown[16];
    std::snprintf(shown, sizeof shown, "%.1f", 850.0);
    EXPECT_STREQ(shown, "850,0") << "the locale reads with a comma";
    {
        auto log = Start();
        StatusSample s = Status(0, 1);
        s.OutputPower = 8505;
        log->Record(s);
        now += 2000;
        log->Flush();
    }
    LogTail tail(dir.Str(), kTelemetryKind);
    const auto rows = tail.ReadNew(LocalDay(now), LocalDay(now));
    std::setlocale(LC_NUMERIC, saved.c_str());
    ASSERT_EQ(rows.size(), 1u);
    double watts = 0, none = 0;
    EXPECT_EQ(Field(rows[0], TelemetryColumn::OutputW), "850.5");
    EXPECT_TRUE(ParseReading(Field(rows[0], TelemetryColumn::OutputW), watts));
    EXPECT_EQ(watts, 850.5);
    EXPECT_FALSE(ParseReading("850,5", none)) << "a comma is no decimal point in the file";
}

#ifdef _WIN32
// Excel holds a CSV it shows with no sharing; other programs lock ranges. Either way the records
// wait, the window says why, and nothing is lost once the file is let go.
TEST_F(LogDisk, AFileAnotherProgramHoldsLosesNothing) {
    // Wine takes the write into a range another handle locks: only Windows shows that case.
    const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    for (const bool rangeLock : {false, true}) {
        SCOPED_TRACE(rangeLock ? "a locked range" : "no sharing");
        if (rangeLock && wine) continue;
        fs::remove_all(dir.path);
        auto log = Start();
        log->Flush();
        HANDLE held = CreateFileW(Today().c_str(), GENERIC_READ | GENERIC_WRITE,
                                  rangeLock ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        OVERLAPPED all{};
        if (rangeLock) {
            ASSERT_TRUE(LockFileEx(held, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &all));
        }
        log->Note(LogNote::OffSent);
        log->Flush();
        EXPECT_NE(log->Error().find("in use by another program"), std::string::npos) << log->Error();
        if (rangeLock) UnlockFileEx(held, 0, MAXDWORD, MAXDWORD, &all);
        CloseHandle(held);
        log->Note(LogNote::OnSent);
        log->Flush();
        EXPECT_EQ(log->Error(), "");
        EXPECT_EQ(Events(Today()), (std::vector<std::string>{"Console started", "OFF sent", "ON sent"}));
    }
}
#endif

// Today's files take half the budget: past it, the day's further records are dropped after one
// "Log full" row, its end is not written either, and the next day says how much was lost.
TEST_F(LogDisk, TodaysFilesTakeHalfTheBudgetAndTheNextDaySaysWhatWasLost) {
    std::string error;
    ASSERT_TRUE(AppendLogFile(dir.Str(), kEventsKind, LocalDay(now), StationRecorder::EventHeader,
                              std::string(2700, 'x') + "\r\n", error));
    const fs::path events = Today(), telemetry = Today(kTelemetryKind);
    auto log = Start(90, 6000);
    for (int i = 0; i < 50; ++i) {
        log->Record(Flapping(0, i));
        now += 100;
        if (i % 5 == 0) log->Flush();
    }
    log->Flush();
    const auto kept = Rows(events);
    ASSERT_GE(kept.size(), 3u);
    EXPECT_EQ(kept[1][2], "Console started");
    EXPECT_EQ(kept.back()[2], "Log full");
    EXPECT_EQ(std::count_if(kept.begin(), kept.end(), [](const CsvRow& r) { return r.size() > 2 && r[2] == "Log full"; }), 1);
    std::error_code none;
    EXPECT_LT(fs::file_size(events) + fs::file_size(telemetry, none) * !none, 3000u + 2000u)
        << "at most a batch past the budget";
    now = kNoon + 86400 * 1000;
    log->Note(LogNote::OffSent);
    log->Flush();
    const auto next = Events(Today());
    EXPECT_TRUE(std::any_of(next.begin(), next.end(), [](const std::string& n) {
        return n.find(" lost") != n.npos && n[0] >= '1' && n[0] <= '9';
    })) << ::testing::PrintToString(next);
}
