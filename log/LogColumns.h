#pragma once
// The columns of the station log's two files, named once for the writer and the reader. New
// columns go last, so that no column of the files already on disk moves.
#include <cstddef>
#include <string>

namespace kaldor {

enum class EventColumn : int {
    Time, Kind, Event, Text, Mode, Input, Band, Antenna, Cat, OutputW, ReflectedW, Swr, GainDb,
    Temperature, Unit, PaVoltageV, PaCurrentA, UtcOffset, Count
};
constexpr const char* kEventColumnNames[] = {
    "time", "kind", "event", "text", "mode", "input", "band", "antenna", "cat", "output_w",
    "reflected_w", "swr", "gain_db", "temperature", "unit", "pa_voltage_v", "pa_current_a", "utc_offset"};
static_assert(std::size(kEventColumnNames) == static_cast<size_t>(EventColumn::Count));

enum class TelemetryColumn : int {
    Time, Mode, Tx, Band, Antenna, OutputW, ReflectedW, PaVoltageV, PaCurrentA, Swr, GainDb,
    Temperature, Unit, UtcOffset, Count
};
constexpr const char* kTelemetryColumnNames[] = {
    "time", "mode", "tx", "band", "antenna", "output_w", "reflected_w", "pa_voltage_v",
    "pa_current_a", "swr", "gain_db", "temperature", "unit", "utc_offset"};
static_assert(std::size(kTelemetryColumnNames) == static_cast<size_t>(TelemetryColumn::Count));

// A row's field by its column; empty when the row is shorter (an older file, a cut record).
template <typename Row, typename Column>
const std::string& Field(const Row& row, Column column) {
    static const std::string kNone;
    const size_t i = static_cast<size_t>(column);
    return i < row.size() ? row[i] : kNone;
}

} // namespace kaldor
