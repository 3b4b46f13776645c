#pragma once
#include <cstdint>
#include <string>

#include "link/AmpStatus.h"

namespace kaldor {

// One handled status as the window showed it: a plain copy, cheap enough for every status.
struct StatusSample {
    int64_t TimeMs = 0; // wall clock, ms since 1970 (UTC)
    uint16_t Screen = ScrNoLink;
    uint16_t Flags = 0;
    uint16_t Input = 0;
    uint16_t Band = 0;
    uint16_t Antenna = 0;
    uint16_t CatInterface = 0;
    uint16_t OutputPower = 0;    // tenths of W
    uint16_t ReflectedPower = 0; // tenths of W
    uint16_t PaVoltage = 0;      // tenths of V
    uint16_t PaCurrent = 0;      // tenths of A
    uint16_t SwrGain = 0;
    uint16_t Temperature = 0;
    bool GainShown = false;         // the field reads PA GAIN (tenths of dB), else SWR (x 100)
    bool ReflectedWarning = false;  // "HIGH REFLECTED POWER" shown
    bool BandWarning = false;       // "BAND NOT PERMITTED" shown
    bool AntennaWarning = false;    // the antenna warning shown
    // The names as the fields show them, Windows-1252; static texts, never freed.
    const char* InputText = "";
    const char* BandText = "";
    const char* AntennaText = "";
    const char* CatText = "";
    const char* AlertText = nullptr; // the alert screen's line, on an alert screen only

    bool LinkUp() const { return Screen != ScrNoLink; }
};

// Copies the members of a status; the caller adds time, texts and what the window shows.
// Call only inside the receiver's hand-off.
inline StatusSample SampleOf(const AmpStatus& s) {
    StatusSample r;
    r.Screen = s.Screen.load(std::memory_order_relaxed);
    r.Flags = s.Flags;
    r.Input = s.Input;
    r.Band = s.Band;
    r.Antenna = s.Antenna;
    r.CatInterface = s.CatInterface;
    r.OutputPower = s.OutputPower;
    r.ReflectedPower = s.ReflectedPower;
    r.PaVoltage = s.PaVoltage;
    r.PaCurrent = s.PaCurrent;
    r.SwrGain = s.SwrGain;
    r.Temperature = s.Temperature;
    return r;
}

// What the window did besides showing statuses.
enum class LogNote : uint8_t {
    ConsoleStarted,
    ConsoleEnded,
    Port,        // the port in use: Text "COM1 /dev/ttyS0"
    OffSent,
    OffDone,     // Answered: the amplifier still answers, so it did not switch off
    OnSent,
    OnDone,      // Answered: the amplifier answers
    RecordingOff,
    RecordingOn,
    LogFull,     // today's files reached the size budget: the rest of the day is dropped
    Lost,        // Text: what writing dropped, "12 events lost"
    NotRemoved,  // Text: the old file rotation could not remove, and why
};

// One entry of the recorder's queue: a status or a note.
struct LogItem {
    bool IsNote = false;
    LogNote Note = LogNote::ConsoleStarted;
    bool Answered = false;
    int64_t TimeMs = 0; // notes; a status carries its own
    std::string Text;
    StatusSample Sample;
};

} // namespace kaldor
