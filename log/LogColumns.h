#pragma once
// The columns of the station log's two files, named once for the writer and the reader. New
// columns go last, so that no column of the files already on disk moves.
#include <cstddef>
#include <string>
#include <vector>

namespace kaldor {

enum class EventColumn : int {
    Time, Kind, Event, Text, Mode, Input, Band, Antenna, Cat, OutputW, ReflectedW, Swr, GainDb,
    Temperature, Unit, PaVoltageV, PaCurrentA, UtcOffset, Count
};
// A column's name in the file's header and its title in the log window (none: not shown).
struct LogColumnName {
    const char* Name;
    const char* Title;
};
constexpr LogColumnName kEventColumns[] = {
    {"time", "Time"}, {"kind", "Kind"}, {"event", "Event"}, {"text", "Text"}, {"mode", "Mode"},
    {"input", "Input"}, {"band", "Band"}, {"antenna", "Antenna"}, {"cat", "CAT"},
    {"output_w", "Output W"}, {"reflected_w", "Reflected W"}, {"swr", "SWR"}, {"gain_db", "Gain dB"},
    {"temperature", "Temp"}, {"unit", "Unit"}, {"pa_voltage_v", "PA V"}, {"pa_current_a", "PA A"},
    {"utc_offset", nullptr}}; // the offset orders the rows instead
static_assert(std::size(kEventColumns) == static_cast<size_t>(EventColumn::Count));

enum class TelemetryColumn : int {
    Time, Mode, Tx, Band, Antenna, OutputW, ReflectedW, PaVoltageV, PaCurrentA, Swr, GainDb,
    Temperature, Unit, UtcOffset, Count
};
// Drawn as trends, never shown as a table.
constexpr LogColumnName kTelemetryColumns[] = {
    {"time", nullptr}, {"mode", nullptr}, {"tx", nullptr}, {"band", nullptr}, {"antenna", nullptr},
    {"output_w", nullptr}, {"reflected_w", nullptr}, {"pa_voltage_v", nullptr}, {"pa_current_a", nullptr},
    {"swr", nullptr}, {"gain_db", nullptr}, {"temperature", nullptr}, {"unit", nullptr}, {"utc_offset", nullptr}};
static_assert(std::size(kTelemetryColumns) == static_cast<size_t>(TelemetryColumn::Count));

// A record being built by column; its fields go out in the columns' order, the ones not set
// empty.
template <typename Column>
class LogRow {
public:
    std::string& operator[](Column column) { return fields_[static_cast<size_t>(column)]; }
    const std::vector<std::string>& Fields() const { return fields_; }

private:
    std::vector<std::string> fields_ = std::vector<std::string>(static_cast<size_t>(Column::Count));
};

// The header row's fields.
template <size_t N>
std::vector<std::string> ColumnNames(const LogColumnName (&columns)[N]) {
    std::vector<std::string> names;
    for (const LogColumnName& c : columns) names.push_back(c.Name);
    return names;
}

// A row's field by its column; empty when the row is shorter (an older file, a cut record).
template <typename Row, typename Column>
const std::string& Field(const Row& row, Column column) {
    static const std::string kNone;
    const size_t i = static_cast<size_t>(column);
    return i < row.size() ? row[i] : kNone;
}

} // namespace kaldor
