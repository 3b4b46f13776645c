#pragma once
#include <string>
#include <vector>

namespace kaldor {

// Appends one field of a CSV record (RFC 4180): quoted when it holds a comma, quote, CR or LF.
void AppendCsvField(std::string& line, const std::string& field, bool first = false);
// One record, CRLF-terminated as the RFC has it.
std::string CsvRecord(const std::vector<std::string>& fields);

// Splits the records of text (RFC 4180: quoted fields may hold commas, quotes and line breaks).
// Only records closed by a line break are taken; consumed tells how many bytes they used, so a
// record still being written is read on the next call. A record longer than maxRecord bytes is
// given up on: its bytes up to the next line end are skipped, and when text ends before one,
// skipping is set and all of text counts as consumed. Records whose fields are all empty are
// no records; fields past MaxFields are dropped; the call stops after maxRecords records.
constexpr size_t MaxCsvFields = 64;
std::vector<std::vector<std::string>> ParseCsv(const std::string& text, size_t& consumed,
                                               size_t maxRecord = std::string::npos,
                                               bool* skipping = nullptr,
                                               size_t maxRecords = std::string::npos);

} // namespace kaldor
