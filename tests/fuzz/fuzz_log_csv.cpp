// The station log's CSV reader and its times and day names. Every record read, written back
// and read again is the same record; the reader never takes more than it was given; the fast
// time parser agrees with the full one; a record's bound holds; a day stepped back and forth is the same day.
#include <cstdlib>
#include <ctime>
#include <string>

#include "FuzzCheck.h"
#include "log/Csv.h"
#include "log/LogTime.h"
#include "log/LogFolder.h"
#include "log/LogReader.h"

using namespace kaldor;

// Local times with daylight saving: an hour that is not there in spring, one twice in autumn.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    size_t consumed = 0;
    const auto records = ParseCsv(text, consumed);
    FUZZ_CHECK(consumed <= size);
    for (const auto& record : records) {
        FUZZ_CHECK(!record.empty());
        const std::string line = CsvRecord(record);
        size_t used = 0;
        const auto back = ParseCsv(line, used);
        FUZZ_CHECK(used == line.size() && back.size() == 1 && back[0] == record);
    }

    // With a bound on a record, no record read holds more than the bound.
    const size_t bound = size > 0 ? data[0] % 64 + 1 : 1;
    bool skipping = false;
    for (const auto& record : ParseCsv(text, consumed, bound, &skipping)) {
        size_t bytes = 0;
        for (const std::string& field : record) bytes += field.size();
        FUZZ_CHECK(bytes <= bound);
    }
    FUZZ_CHECK(consumed <= size && (!skipping || consumed == size));

    LogTimeParser fast;
    for (const auto& record : records) {
        const int64_t full = ParseLocalIsoTime(record[0]);
        const int64_t quick = fast.Parse(record[0]);
        FUZZ_CHECK(quick == full || full < 0);
    }
    if (size >= 10) {
        const std::string day = text.substr(0, 10);
        const int n = static_cast<int8_t>(data[size - 1]);
        const std::string back = DayBefore(DayBefore(day, n), -n);
        FUZZ_CHECK(back.size() == 10);
        const std::string name = LogFileName(kEventsKind, day);
        FUZZ_CHECK(name.size() == 21 && name.compare(name.size() - 4, 4, ".csv") == 0);
    }
    return 0;
}
