#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "log/StatusSample.h"

namespace kaldor {

// A finished CSV record and the local day whose file it belongs to.
struct LogLine {
    std::string Day;
    std::string Text;
};

struct RecordedLines {
    std::vector<LogLine> Events;
    std::vector<LogLine> Telemetry;
};

// The antenna warning as the display words it for the status's band (UTF-8).
std::string AntennaWarningText(const StatusSample& s);

// Turns the statuses and notes, in the order the window had them, into event records (what
// changed, with the values shown then) and one telemetry record per second of link.
class StationRecorder {
public:
    static const std::string EventHeader;     // the header rows, of log/LogColumns.h
    static const std::string TelemetryHeader;

    void Add(const LogItem& item, RecordedLines& out);
    // Closes the second being gathered once nowMs lies past it.
    void CloseSeconds(int64_t nowMs, RecordedLines& out);
    // Closes whatever is gathered (at the end).
    void Finish(RecordedLines& out);
    // Writes the events held for the current second now (someone waits to read them).
    void ReleaseEvents(RecordedLines& out);

    // What the mode field stands for on a screen.
    static const char* ModeName(uint16_t screen);

private:
    struct Second {
        bool Open = false;
        int64_t At = 0; // whole seconds
        StatusSample Last;
        uint16_t MaxOut = 0, MaxReflected = 0, MaxVoltage = 0, MaxCurrent = 0;
        bool Tx = false;
    };

    // An event of a status, held until its second is over: repeats of one kind within the
    // second become one row, with the latest text and values and how many it stands for.
    struct Held {
        std::string Key;
        int64_t Ms = 0;
        const char* Kind = "";
        std::string Event, Text;
        StatusSample Values;
        int Count = 0;
    };
    static constexpr size_t MaxHeld = 64; // kinds within one second; beyond it they go out

    void AddStatus(const StatusSample& s, RecordedLines& out);
    void Hold(int64_t ms, const char* kind, const std::string& event, const std::string& text,
              const StatusSample& values, RecordedLines& out);
    void AddNote(const LogItem& item, RecordedLines& out);
    void Event(RecordedLines& out, int64_t ms, const char* kind, const std::string& event,
               const std::string& text, const StatusSample* values);
    void Gather(const StatusSample& s, RecordedLines& out);
    void CloseSecond(RecordedLines& out);

    bool up_ = false;         // the link, as the last status had it
    bool seen_ = false;       // some status with the link up came since the start
    StatusSample shown_;      // the last status with the link up
    uint16_t lastScreen_ = ScrNoLink;
    std::string port_;
    Second second_;
    std::vector<Held> held_;
    int64_t heldSecond_ = 0;
};

} // namespace kaldor
