// The log window's tail reader, fed a day's file as another program appends it: in chunks whose
// sizes the first byte chooses, a read after each. What it reads in all is what one read of the
// whole file gives, header left out: no record cut at a chunk's end, none read twice.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "FuzzCheck.h"
#include "log/Csv.h"
#include "log/LogFolder.h"
#include "log/LogReader.h"

using namespace kaldor;

namespace {
std::string folder;
constexpr const char* kDay = "2026-12-10";
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char name[] = "/tmp/kaldor_fuzz_tail_XXXXXX";
    if (!mkdtemp(name)) std::abort();
    folder = name;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string path = LogFilePath(folder, kEventsKind, kDay);
    std::remove(path.c_str());
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    LogTail tail(folder, kEventsKind);
    std::vector<CsvRow> read;
    size_t at = 0, chunk = data[0] % 23 + 1;
    for (int reads = 0; reads <= static_cast<int>(size); ++reads) {
        if (at < text.size()) {
            const size_t n = std::min(chunk, text.size() - at);
            std::FILE* f = std::fopen(path.c_str(), "ab");
            FUZZ_CHECK(f && std::fwrite(text.data() + at, 1, n, f) == n);
            std::fclose(f);
            chunk = static_cast<uint8_t>(text[at]) % 23 + 1;
            at += n;
        }
        for (CsvRow& row : tail.ReadNew(kDay, kDay)) read.push_back(std::move(row));
        if (at == text.size() && reads > 0) break;
    }
    size_t consumed = 0;
    std::vector<CsvRow> whole = ParseCsv(text, consumed, LogTail::MaxRecordBytes);
    if (!whole.empty()) whole.erase(whole.begin()); // the header
    FUZZ_CHECK(read == whole);
    return 0;
}
