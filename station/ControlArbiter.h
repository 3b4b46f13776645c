#pragma once
// Who of the consoles sharing the station's line operates, and what reaches the line's DTR. No
// locks and no I/O: the station calls it under its own lock and carries the effects out.
#include <map>
#include <string>
#include <vector>

#include "link/Clock.h"
#include "link/StationRole.h"

namespace kaldor::station {

struct ArbiterEffects {
    std::vector<int> Tell;           // consoles whose role text has changed
    int Dtr = -1;                    // the line's DTR to set: -1 as it is, 0 low, 1 high
    std::vector<std::string> Events; // for the log
};

class ControlArbiter {
public:
    // A holder gone: when nobody has taken control this much later, the DTR it left up drops.
    static constexpr double ReleaseSeconds = 2.0;

    // A console joins watching.
    ArbiterEffects Join(int id, const std::string& user, bool isOperator);
    // The console speaks RFC 2217 (its Telnet layer agreed to COM-PORT-OPTION): the first
    // operator to do so while nobody holds control takes it. One that connects and says
    // nothing so only ever watches.
    ArbiterEffects Claim(int id);
    ArbiterEffects Leave(int id);
    // seenHolder: the holder the console's user saw (empty: nobody). Refused, and the requester
    // told, when control has passed meanwhile or the requester is no operator.
    ArbiterEffects TakeControl(int id, const std::string& seenHolder);
    // A console's SET-CONTROL DTR: moves the line only for the holder, and only when it differs
    // from what that console last set (each starts low).
    ArbiterEffects SetDtr(int id, bool raised);
    // The release deadline, by Now().
    ArbiterEffects Tick();

    StationRole RoleOf(int id) const;
    bool Holds(int id) const { return holder_ != 0 && holder_ == id; }
    bool LineDtr() const { return lineDtr_; }
    std::string HolderName() const;

private:
    struct User {
        std::string Name;
        bool Operator = false;
        bool Dtr = false; // as this console last set it
    };
    // Control to id (0: nobody); everyone is told.
    void Pass(int id, ArbiterEffects& fx);

    std::map<int, User> users_;
    int holder_ = 0;
    bool lineDtr_ = false;
    bool releasing_ = false;
    TDateTime releaseAt_ = 0;
};

} // namespace kaldor::station
