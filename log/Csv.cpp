#include "log/Csv.h"

#include <algorithm>

namespace kaldor {

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
                                               size_t maxRecord, bool* skipping, size_t maxRecords) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    bool quoted = false, wasQuoted = false;
    consumed = 0;
    if (skipping) *skipping = false;
    auto take = [&] {
        if (record.size() < MaxCsvFields) record.push_back(std::move(field));
        field.clear();
        wasQuoted = false;
    };
    for (size_t i = 0; i < text.size() && records.size() < maxRecords; ++i) {
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
            take();
        } else if (c == '\n' || c == '\r') {
            // A CR last may be the first half of a CRLF still being written.
            if (c == '\r' && i + 1 == text.size()) break;
            if (c == '\r' && text[i + 1] == '\n') ++i;
            take();
            if (!std::all_of(record.begin(), record.end(), [](const std::string& f) { return f.empty(); }))
                records.push_back(std::move(record));
            record.clear();
            consumed = i + 1;
        } else {
            field += c;
        }
    }
    return records;
}

} // namespace kaldor
