#include "alarms/AlarmTracker.h"

#include <algorithm>

#include "log/Csv.h"
#include "log/Win1252.h"
#include "log/StationRecorder.h"

namespace kaldor {
namespace {
// The repeat limit, less a millisecond: days as doubles do not add up to whole seconds exactly.
constexpr TDateTime RepeatSpan = AlarmTracker::RepeatSeconds * OneSecond - OneSecond / 1000;
} // namespace

AlarmState AlarmStateOf(const StatusSample& shown) {
    AlarmState a;
    a.LinkUp = shown.LinkUp();
    if (shown.AlertText) {
        const std::string line = Win1252ToUtf8(shown.AlertText);
        const size_t first = line.find_first_not_of(' ');
        if (first != std::string::npos) a.Alert = line.substr(first, line.find_last_not_of(' ') - first + 1);
    }
    if (shown.ReflectedWarning) a.Warnings.emplace_back("HIGH REFLECTED POWER");
    if (shown.BandWarning) a.Warnings.emplace_back("BAND NOT PERMITTED");
    if (shown.AntennaWarning) a.Warnings.push_back(AntennaWarningText(shown));
    return a;
}

AlarmTracker::Entry& AlarmTracker::Find(AlarmKind kind, const std::string& text, TDateTime now, bool& fresh) {
    for (Entry& e : entries_)
        if (e.Kind == kind && e.Text == text) {
            fresh = !e.Open(now);
            return e;
        }
    fresh = true;
    entries_.push_back(Entry{kind, text});
    return entries_.back();
}

bool AlarmTracker::Draws(Entry& e, TDateTime now) {
    e.Held = e.EverDrawn && now - e.LastDrawn < RepeatSpan;
    if (e.Held) return false;
    e.EverDrawn = true;
    e.LastDrawn = now;
    return true;
}

bool AlarmTracker::StillThere(const Entry& e, TDateTime now) const {
    if (e.Kind == AlarmKind::LinkLost) return !linkUp_;
    return linkUp_ && e.Open(now);
}

std::vector<AlarmOccurrence> AlarmTracker::Due(TDateTime now) {
    std::vector<AlarmOccurrence> out;
    for (Entry& e : entries_) {
        if (!e.Held || now - e.LastDrawn < RepeatSpan) continue;
        e.Held = false;
        if (!StillThere(e, now)) continue;
        e.LastDrawn = now;
        if (e.Kind == AlarmKind::LinkLost) e.BackDrawn = false;
        out.push_back({e.Kind, e.Text});
    }
    // The link first, as Update draws it.
    std::stable_partition(out.begin(), out.end(), [](const AlarmOccurrence& o) { return o.Kind == AlarmKind::LinkLost; });
    return out;
}

TDateTime AlarmTracker::NextDue() const {
    TDateTime next = 0;
    for (const Entry& e : entries_)
        if (e.Held && (next == 0 || e.LastDrawn + RepeatSpan < next)) next = e.LastDrawn + RepeatSpan;
    return next;
}

void AlarmTracker::Seen(AlarmKind kind, const std::string& text, TDateTime now,
                        std::vector<AlarmOccurrence>& out) {
    bool fresh = false;
    Entry& e = Find(kind, text, now, fresh);
    e.LastSeen = now;
    if (fresh && Draws(e, now)) out.push_back({kind, text});
}

void AlarmTracker::Forget(TDateTime now) {
    const TDateTime quiet = std::max(ClearSeconds, RepeatSeconds) * OneSecond;
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                  [&](const Entry& e) {
                                      const bool awaitsBack = e.Kind == AlarmKind::LinkLost && !e.BackDrawn;
                                      return !awaitsBack && !e.Held && now - e.LastSeen >= quiet &&
                                             now - e.LastDrawn >= quiet;
                                  }),
                   entries_.end());
}

std::vector<AlarmOccurrence> AlarmTracker::Update(const AlarmState& state, TDateTime now) {
    std::vector<AlarmOccurrence> out;
    Forget(now);
    if (!state.LinkUp) {
        // Only a link that was up can be lost: a console started without an amplifier is quiet.
        // The loss starts with the first lost-link status after one with the link up.
        if (linkUp_) {
            linkUp_ = false;
            bool fresh = false;
            Entry& e = Find(AlarmKind::LinkLost, LinkLostText, now, fresh);
            e.LastSeen = now;
            e.BackDrawn = !Draws(e, now); // an undrawn loss has no end to draw
            if (!e.BackDrawn) out.push_back({AlarmKind::LinkLost, LinkLostText});
        }
        for (const AlarmOccurrence& o : Due(now)) out.push_back(o);
        return out; // the lost link hides the alert and the warnings
    }
    if (!linkUp_) {
        linkUp_ = true;
        for (Entry& e : entries_)
            if (e.Kind == AlarmKind::LinkLost) {
                e.Held = false; // a loss held back is no longer there
                if (e.BackDrawn) continue;
                e.BackDrawn = true;
                out.push_back({AlarmKind::LinkBack, LinkBackText});
            }
    }
    if (!state.Alert.empty()) Seen(AlarmKind::Alert, state.Alert, now, out);
    for (const std::string& w : state.Warnings)
        if (!w.empty()) Seen(AlarmKind::Warning, w, now, out);
    for (const AlarmOccurrence& o : Due(now)) out.push_back(o);
    return out;
}

} // namespace kaldor
