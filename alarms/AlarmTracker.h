#pragma once
// Which alerts, warnings and link changes draw the operator's attention, and when: once per
// occurrence, not once per status or per blink. No toolkit here: the window feeds it.
#include <cstdint>
#include <string>
#include <vector>

#include "link/Clock.h"
#include "log/StatusSample.h"

namespace kaldor {

enum class AlarmKind : uint8_t { Alert, Warning, LinkLost, LinkBack };

// What one handled status shows that may draw attention.
struct AlarmState {
    bool LinkUp = false;
    std::string Alert;                 // the alert screen's line without its padding; empty for none
    std::vector<std::string> Warnings; // the warnings shown, by their display texts
};

// The alert and warnings as the display words them (UTF-8), from what the window showed.
AlarmState AlarmStateOf(const StatusSample& shown);

struct AlarmOccurrence {
    AlarmKind Kind = AlarmKind::Alert;
    std::string Text;
    bool operator==(const AlarmOccurrence& o) const { return Kind == o.Kind && Text == o.Text; }
};

class AlarmTracker {
public:
    // A text counts again only after it has been clear this long (the amplifier's own hold)...
    static constexpr double ClearSeconds = 3.0;
    // ...and is drawn at most once in this long, however often the amplifier flaps: one that
    // comes sooner is held back and drawn when the time has passed, if it is still there.
    static constexpr double RepeatSeconds = 10.0;
    static constexpr const char* LinkLostText = "Link lost";
    static constexpr const char* LinkBackText = "Link back";

    // One call per handled status; what is to be drawn now, the link first. A loss of the link
    // lasts until a status with the link up, however seldom the lost-link statuses come.
    std::vector<AlarmOccurrence> Update(const AlarmState& state, TDateTime now);
    // The occurrences held back whose time has come and that are still there.
    std::vector<AlarmOccurrence> Due(TDateTime now);
    // When Due next has something to say; 0 when nothing is held back.
    TDateTime NextDue() const;
    size_t Remembered() const { return entries_.size(); }

private:
    struct Entry {
        AlarmKind Kind;
        std::string Text;
        TDateTime LastSeen = 0.0;
        TDateTime LastDrawn = 0.0;
        bool EverDrawn = false;
        bool BackDrawn = false; // the link's loss only: its end has been drawn
        bool Held = false;      // started within RepeatSeconds of the last drawing: drawn later
        bool Open(TDateTime now) const { return now - LastSeen < ClearSeconds * OneSecond; }
    };
    Entry& Find(AlarmKind kind, const std::string& text, TDateTime now, bool& fresh);
    // Whether an occurrence that starts now is drawn: not within RepeatSeconds of the last;
    // otherwise it is held back.
    static bool Draws(Entry& e, TDateTime now);
    bool StillThere(const Entry& e, TDateTime now) const;
    void Seen(AlarmKind kind, const std::string& text, TDateTime now, std::vector<AlarmOccurrence>& out);
    void Forget(TDateTime now);

    std::vector<Entry> entries_; // the texts seen lately: a handful, dropped once quiet
    bool linkUp_ = false; // as the last status had it; never up: nothing to lose
};

} // namespace kaldor
