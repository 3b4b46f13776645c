#include "station/ControlArbiter.h"

namespace kaldor::station {

namespace {
std::string Name(const std::string& user) { return user.empty() ? std::string("-") : user; }
} // namespace

std::string ControlArbiter::HolderName() const {
    const auto it = users_.find(holder_);
    return it == users_.end() ? std::string() : it->second.Name;
}

void ControlArbiter::Pass(int id, ArbiterEffects& fx) {
    holder_ = id;
    for (const auto& u : users_) fx.Tell.push_back(u.first);
}

ArbiterEffects ControlArbiter::Join(int id, const std::string& user, bool isOperator) {
    users_[id] = User{user, isOperator, false};
    return {};
}

ArbiterEffects ControlArbiter::Claim(int id) {
    ArbiterEffects fx;
    const auto it = users_.find(id);
    if (it != users_.end() && it->second.Operator && holder_ == 0) {
        releasing_ = false;
        Pass(id, fx);
        fx.Events.push_back(Name(it->second.Name) + " takes control");
    }
    return fx;
}

ArbiterEffects ControlArbiter::Leave(int id) {
    ArbiterEffects fx;
    const auto it = users_.find(id);
    if (it == users_.end()) return fx;
    const std::string name = it->second.Name;
    users_.erase(it);
    if (holder_ == id) {
        Pass(0, fx);
        releasing_ = true;
        releaseAt_ = Now() + ReleaseSeconds * OneSecond;
        fx.Events.push_back(Name(name) + " left control; nobody holds it");
    }
    return fx;
}

ArbiterEffects ControlArbiter::TakeControl(int id, const std::string& seenHolder) {
    ArbiterEffects fx;
    const auto it = users_.find(id);
    if (it == users_.end() || holder_ == id) return fx;
    const std::string name = Name(it->second.Name);
    const std::string holder = HolderName();
    if (!it->second.Operator) {
        fx.Tell.push_back(id);
        fx.Events.push_back(name + " may not take control: not an operator");
    } else if (seenHolder != holder || (holder_ == 0) != seenHolder.empty()) {
        fx.Tell.push_back(id);
        fx.Events.push_back(name + " asked to take control from " + Name(seenHolder) + ", refused: " +
                            (holder_ == 0 ? std::string("nobody") : Name(holder)) + " holds it");
    } else {
        releasing_ = false;
        fx.Events.push_back(holder_ == 0 ? name + " takes control"
                                         : "control passes from " + Name(holder) + " to " + name);
        Pass(id, fx);
    }
    return fx;
}

ArbiterEffects ControlArbiter::SetDtr(int id, bool raised) {
    ArbiterEffects fx;
    const auto it = users_.find(id);
    if (it == users_.end()) return fx;
    const bool changed = it->second.Dtr != raised;
    it->second.Dtr = raised;
    if (changed && holder_ == id && lineDtr_ != raised) {
        lineDtr_ = raised;
        fx.Dtr = raised ? 1 : 0;
        fx.Events.push_back(Name(it->second.Name) + (raised ? " raises DTR" : " drops DTR"));
    }
    return fx;
}

ArbiterEffects ControlArbiter::Tick() {
    ArbiterEffects fx;
    if (!releasing_ || holder_ != 0 || Now() < releaseAt_) return fx;
    releasing_ = false;
    if (lineDtr_) {
        lineDtr_ = false;
        fx.Dtr = 0;
        fx.Events.push_back("nobody took control within 2 s: DTR drops");
    }
    return fx;
}

StationRole ControlArbiter::RoleOf(int id) const {
    StationRole role;
    const auto it = users_.find(id);
    if (it == users_.end()) return role;
    role.Operating = holder_ == id;
    role.Operator = it->second.Operator;
    if (!role.Operating) role.Holder = HolderName();
    return role;
}

} // namespace kaldor::station
