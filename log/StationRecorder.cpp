#include "log/StationRecorder.h"

#include <algorithm>
#include <cstring>

#include "link/NumberText.h"
#include "link/ScreenCodes.h"
#include "log/Csv.h"
#include "log/LogColumns.h"
#include "log/LogTime.h"
#include "log/Win1252.h"

namespace kaldor {
namespace {

std::string Tenths(unsigned v) { return IntegerText(v / 10) + '.' + IntegerText(v % 10); }

// SWR x 100 as the field reads it; none below 1.00, and the field's top for anything above.
std::string SwrText(const StatusSample& s) {
    if (s.GainShown || s.SwrGain < 100) return {};
    const unsigned v = s.SwrGain > 9999 ? 9999 : s.SwrGain;
    return IntegerText(v / 100) + (v % 100 < 10 ? ".0" : ".") + IntegerText(v % 100);
}

std::string GainText(const StatusSample& s) {
    return s.GainShown && s.SwrGain ? Tenths(s.SwrGain) : std::string();
}

std::string Unit(const StatusSample& s) { return (s.Flags & FlagCelsius) ? "C" : "F"; }

std::string Name(const char* win1252) { return Win1252ToUtf8(win1252 ? win1252 : ""); }

// Without its padding: the alert line is centred in 40 columns.
std::string Trimmed(const char* text) {
    std::string t = text ? text : "";
    const size_t a = t.find_first_not_of(' ');
    if (a == std::string::npos) return {};
    return t.substr(a, t.find_last_not_of(' ') - a + 1);
}

int64_t SecondOf(int64_t ms) { return ms >= 0 ? ms / 1000 : (ms - 999) / 1000; }

std::string Change(const char* from, const char* to) { return Name(from) + " -> " + Name(to); }

} // namespace

std::string AntennaWarningText(const StatusSample& s) {
    return s.BandText && *s.BandText ? Name(s.BandText) + " ANTENNA NOT AVAILABLE"
                                     : std::string("ANTENNA NOT AVAILABLE");
}

const std::string StationRecorder::EventHeader = CsvRecord(ColumnNames(kEventColumns));
const std::string StationRecorder::TelemetryHeader = CsvRecord(ColumnNames(kTelemetryColumns));

const char* StationRecorder::ModeName(uint16_t screen) { return ScreenFor(screen).ModeText; }

void StationRecorder::Add(const LogItem& item, RecordedLines& out) {
    if (item.IsNote) AddNote(item, out);
    else AddStatus(item.Sample, out);
}

void StationRecorder::Event(RecordedLines& out, int64_t ms, const char* kind, const std::string& event,
                            const std::string& text, const StatusSample* v) {
    using C = EventColumn;
    LogRow<C> row;
    row[C::Time] = LocalIsoTime(ms);
    row[C::Kind] = kind;
    row[C::Event] = event;
    row[C::Text] = text;
    if (v) {
        row[C::Mode] = ModeName(v->Screen);
        row[C::Input] = Name(v->InputText);
        row[C::Band] = Name(v->BandText);
        row[C::Antenna] = Name(v->AntennaText);
        row[C::Cat] = Name(v->CatText);
        row[C::OutputW] = Tenths(v->OutputPower);
        row[C::ReflectedW] = Tenths(v->ReflectedPower);
        row[C::Swr] = SwrText(*v);
        row[C::GainDb] = GainText(*v);
        row[C::Temperature] = IntegerText(v->Temperature);
        row[C::Unit] = Unit(*v);
        row[C::PaVoltageV] = Tenths(v->PaVoltage);
        row[C::PaCurrentA] = Tenths(v->PaCurrent);
    }
    row[C::UtcOffset] = UtcOffsetText(ms);
    out.Events.push_back({LocalDay(ms), CsvRecord(row.Fields())});
}

void StationRecorder::Hold(int64_t ms, const char* kind, const std::string& event, const std::string& text,
                           const StatusSample& values, RecordedLines& out) {
    const int64_t second = SecondOf(ms);
    if (!held_.empty() && (second != heldSecond_ || held_.size() >= MaxHeld)) ReleaseEvents(out);
    heldSecond_ = second;
    // Each alert and warning is a kind of its own; a change is one kind whatever it changed to.
    std::string key = std::string(kind) + '\n' + event;
    if (std::strcmp(kind, "alert") == 0) key += '\n' + text;
    for (Held& h : held_)
        if (h.Key == key) {
            h.Text = text;
            h.Values = values;
            ++h.Count;
            return;
        }
    held_.push_back({std::move(key), ms, kind, event, text, values, 1});
}

void StationRecorder::ReleaseEvents(RecordedLines& out) {
    for (const Held& h : held_) {
        std::string text = h.Text;
        if (h.Count > 1) text += (text.empty() ? "(" : " (") + IntegerText(h.Count) + " times)";
        Event(out, h.Ms, h.Kind, h.Event, text, &h.Values);
    }
    held_.clear();
}

void StationRecorder::AddNote(const LogItem& n, RecordedLines& out) {
    ReleaseEvents(out); // what the statuses said came first
    const StatusSample* values = seen_ ? &shown_ : nullptr;
    switch (n.Note) {
    case LogNote::ConsoleStarted: Event(out, n.TimeMs, "link", "Console started", n.Text, nullptr); break;
    case LogNote::ConsoleEnded:
        Gather(StatusSample{}, out); // the last second of link is complete
        Event(out, n.TimeMs, "link", "Console ended", {}, values);
        break;
    case LogNote::Port: port_ = n.Text; break;
    case LogNote::OffSent: Event(out, n.TimeMs, "power", "OFF sent", {}, values); break;
    case LogNote::OffDone:
        Event(out, n.TimeMs, "power", "OFF", n.Answered ? "failed: the amplifier still answers"
                                                        : "done: the amplifier is off", values);
        break;
    case LogNote::OnSent: Event(out, n.TimeMs, "power", "ON sent", {}, values); break;
    case LogNote::OnDone:
        Event(out, n.TimeMs, "power", "ON", n.Answered ? "done: the amplifier answers"
                                                       : "failed: no answer", values);
        break;
    case LogNote::RecordingOff: Event(out, n.TimeMs, "link", "Recording off", {}, values); break;
    case LogNote::LogFull: Event(out, n.TimeMs, "link", "Log full", {}, values); break;
    case LogNote::Lost: Event(out, n.TimeMs, "link", n.Text, {}, values); break;
    case LogNote::NotRemoved: Event(out, n.TimeMs, "link", "Not removed", n.Text, values); break;
    case LogNote::RecordingOn: // what came meanwhile is unknown: the next status starts afresh
        Gather(StatusSample{}, out);
        up_ = false;
        Event(out, n.TimeMs, "link", "Recording on", {}, values);
        break;
    }
}

void StationRecorder::AddStatus(const StatusSample& s, RecordedLines& out) {
    const int64_t t = s.TimeMs;
    if (!s.LinkUp()) {
        if (up_) {
            Gather(s, out);
            Hold(t, "link", "Link lost", port_, shown_, out);
        }
        up_ = false;
        lastScreen_ = s.Screen;
        return;
    }
    const bool wasUp = up_;
    const StatusSample before = shown_;
    const bool hadValues = seen_;
    shown_ = s;
    seen_ = true;
    up_ = true;
    if (!wasUp) Hold(t, "link", "Link up", port_, s, out);

    if (hadValues) {
        if ((s.Flags & FlagOperate) != (before.Flags & FlagOperate))
            Hold(t, "power", (s.Flags & FlagOperate) ? "Operate" : "Standby", {}, s, out);
        if (s.Input != before.Input) Hold(t, "change", "Input", Change(before.InputText, s.InputText), s, out);
        if (s.Band != before.Band) Hold(t, "change", "Band", Change(before.BandText, s.BandText), s, out);
        if (s.Antenna != before.Antenna)
            Hold(t, "change", "Antenna", Change(before.AntennaText, s.AntennaText), s, out);
        if (s.CatInterface != before.CatInterface)
            Hold(t, "change", "CAT", Change(before.CatText, s.CatText), s, out);
    }
    if (s.AlertText && s.Screen != lastScreen_) Hold(t, "alert", "Alert", Win1252ToUtf8(Trimmed(s.AlertText)), s, out);
    // A warning counts when it comes up; the link's loss hides them all.
    const bool fresh = !wasUp || !hadValues;
    if (s.ReflectedWarning && (fresh || !before.ReflectedWarning))
        Hold(t, "alert", "Warning", "HIGH REFLECTED POWER", s, out);
    if (s.BandWarning && (fresh || !before.BandWarning))
        Hold(t, "alert", "Warning", "BAND NOT PERMITTED", s, out);
    if (s.AntennaWarning && (fresh || !before.AntennaWarning))
        Hold(t, "alert", "Warning", AntennaWarningText(s), s, out);
    lastScreen_ = s.Screen;
    Gather(s, out);
}

void StationRecorder::Gather(const StatusSample& s, RecordedLines& out) {
    const int64_t at = SecondOf(s.TimeMs);
    if (second_.Open && (!s.LinkUp() || at != second_.At)) CloseSecond(out);
    if (!s.LinkUp()) return;
    if (!second_.Open) {
        second_ = Second{};
        second_.Open = true;
        second_.At = at;
    }
    Second& g = second_;
    g.Last = s;
    g.MaxOut = std::max(g.MaxOut, s.OutputPower);
    g.MaxReflected = std::max(g.MaxReflected, s.ReflectedPower);
    g.MaxVoltage = std::max(g.MaxVoltage, s.PaVoltage);
    g.MaxCurrent = std::max(g.MaxCurrent, s.PaCurrent);
    g.Tx = g.Tx || (s.Flags & FlagTx);
}

void StationRecorder::CloseSeconds(int64_t nowMs, RecordedLines& out) {
    if (!held_.empty() && nowMs >= (heldSecond_ + 1) * 1000) ReleaseEvents(out);
    if (second_.Open && nowMs >= (second_.At + 1) * 1000) CloseSecond(out);
}

void StationRecorder::Finish(RecordedLines& out) {
    ReleaseEvents(out);
    if (second_.Open) CloseSecond(out);
}

void StationRecorder::CloseSecond(RecordedLines& out) {
    const Second& g = second_;
    const StatusSample& v = g.Last;
    const int64_t ms = g.At * 1000;
    using C = TelemetryColumn;
    LogRow<C> row;
    row[C::Time] = LocalIsoTime(ms);
    row[C::Mode] = ModeName(v.Screen);
    row[C::Tx] = g.Tx ? "1" : "0";
    row[C::Band] = Name(v.BandText);
    row[C::Antenna] = Name(v.AntennaText);
    row[C::OutputW] = Tenths(g.MaxOut);
    row[C::ReflectedW] = Tenths(g.MaxReflected);
    row[C::PaVoltageV] = Tenths(g.MaxVoltage);
    row[C::PaCurrentA] = Tenths(g.MaxCurrent);
    row[C::Swr] = SwrText(v);
    row[C::GainDb] = GainText(v);
    row[C::Temperature] = IntegerText(v.Temperature);
    row[C::Unit] = Unit(v);
    row[C::UtcOffset] = UtcOffsetText(ms);
    out.Telemetry.push_back({LocalDay(ms), CsvRecord(row.Fields())});
    second_.Open = false;
}

} // namespace kaldor
