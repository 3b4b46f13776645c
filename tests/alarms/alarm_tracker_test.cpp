// When alerts, warnings and the link draw attention: once per occurrence, again only after the
// amplifier's 3 s hold clear, never more often than once in 10 s for one text.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "alarms/AlarmTracker.h"

using namespace kaldor;

namespace {

constexpr const char* Temp = "OVER TEMPERATURE: TEMP > 90\xC2\xB0" "C";
constexpr const char* Refl = "HIGH REFLECTED POWER";
constexpr const char* Band = "BAND NOT PERMITTED";

// Statuses every `every` seconds from `from` to before `to`; the alert and the warning are
// shown on every `shownEvery`-th of them only (2: blinking, more: flapping).
struct Segment {
    double from, to, every;
    bool up;
    const char* alert;
    const char* warning;
    int shownEvery;
    const char* warning2;
};

struct Drawn {
    double at;
    AlarmKind kind;
    const char* text;
};

std::string Describe(double at, AlarmKind kind, const std::string& text) {
    std::ostringstream s;
    s << at << " " << static_cast<int>(kind) << " " << text;
    return s.str();
}

struct Case {
    const char* name;
    std::vector<Segment> segments;
    std::vector<Drawn> drawn;
    std::vector<double> polls = {}; // the window's timer asking for what is due, between statuses
};

} // namespace

TEST(AlarmTracker, OccurrencesAreDrawnOnceEachWithTheirHoldAndRepeatLimit) {
    const auto L = AlarmKind::LinkLost, B = AlarmKind::LinkBack, A = AlarmKind::Alert, W = AlarmKind::Warning;
    const Case cases[] = {
        {"an alert held 10 s", {{0, 10, 0.5, true, Temp, nullptr, 1, nullptr}}, {{0, A, Temp}}},
        {"a warning blinking 10 s, then 3 s clear",
         {{0, 10, 0.5, true, nullptr, Refl, 2, nullptr}, {10, 12, 0.5, true, nullptr, nullptr, 1, nullptr},
          {12.01, 13, 0.5, true, nullptr, Refl, 1, nullptr}},
         {{0, W, Refl}, {12.01, W, Refl}}},
        {"a warning back after 2.9 s clear is the same occurrence",
         {{0, 10, 0.5, true, nullptr, Refl, 2, nullptr}, {10, 11.9, 0.5, true, nullptr, nullptr, 1, nullptr},
          {11.9, 20, 0.5, true, nullptr, Refl, 1, nullptr}},
         {{0, W, Refl}}},
        {"an alert flapping every frame", {{0, 30, 0.25, true, Temp, nullptr, 2, nullptr}}, {{0, A, Temp}}},
        {"an alert flapping past its hold: once in 10 s, held back, never dropped",
         {{0, 26, 1, true, Temp, nullptr, 4, nullptr}}, {{0, A, Temp}, {10, A, Temp}, {20, A, Temp}}},
        {"an alert held back that is gone when its time comes is not drawn",
         {{0, 1, 0.5, true, Temp, nullptr, 1, nullptr}, {1, 5, 0.5, true, nullptr, nullptr, 1, nullptr},
          {5, 6, 0.5, true, Temp, nullptr, 1, nullptr}, {6, 12, 0.5, true, nullptr, nullptr, 1, nullptr}},
         {{0, A, Temp}}, {10}},
        {"the link lost and back",
         {{0, 2, 0.5, true, nullptr, nullptr, 1, nullptr}, {2, 4, 0.5, false, nullptr, nullptr, 1, nullptr},
          {4, 5, 0.5, true, nullptr, nullptr, 1, nullptr}},
         {{2, L, AlarmTracker::LinkLostText}, {4, B, AlarmTracker::LinkBackText}}},
        {"a link never up is not lost",
         {{0, 5, 0.5, false, nullptr, nullptr, 1, nullptr}, {5, 6, 0.5, true, nullptr, nullptr, 1, nullptr}}, {}},
        {"lost-link statuses every 5 s for 30 s: one loss, one return",
         {{0, 2, 0.5, true, nullptr, nullptr, 1, nullptr}, {2, 32, 5, false, nullptr, nullptr, 1, nullptr},
          {32, 33, 0.5, true, nullptr, nullptr, 1, nullptr}},
         {{2, L, AlarmTracker::LinkLostText}, {32, B, AlarmTracker::LinkBackText}}},
        {"a flapping link: once in 10 s, ending down and told so",
         {{0, 20, 1, true, nullptr, nullptr, 1, nullptr}, {1, 20, 2, false, nullptr, nullptr, 1, nullptr}},
         {{1, L, AlarmTracker::LinkLostText}, {2, B, AlarmTracker::LinkBackText}, {11, L, AlarmTracker::LinkLostText},
          {12, B, AlarmTracker::LinkBackText}, {21, L, AlarmTracker::LinkLostText}},
         {20.5, 21}},
        {"the lost link hides the alert, which is still the same one after it",
         {{0, 1, 0.5, true, Temp, nullptr, 1, nullptr}, {1, 2, 0.5, false, nullptr, nullptr, 1, nullptr},
          {2, 3, 0.5, true, Temp, Refl, 1, nullptr}},
         {{0, A, Temp}, {1, L, AlarmTracker::LinkLostText}, {2, B, AlarmTracker::LinkBackText}, {2, W, Refl}}},
        {"two warnings at once, in the display's order",
         {{0, 5, 0.5, true, nullptr, Refl, 1, Band}}, {{0, W, Refl}, {0, W, Band}}},
    };
    for (const Case& c : cases) {
        // The segments' statuses in time order (a later segment may interleave).
        std::vector<std::pair<double, AlarmState>> statuses;
        for (const Segment& s : c.segments) {
            int i = 0;
            for (double t = s.from; t < s.to - 1e-9; t += s.every, ++i) {
                AlarmState a;
                a.LinkUp = s.up;
                if (i % s.shownEvery == 0) {
                    if (s.alert) a.Alert = s.alert;
                    if (s.warning) a.Warnings.emplace_back(s.warning);
                    if (s.warning2) a.Warnings.emplace_back(s.warning2);
                }
                statuses.emplace_back(t, a);
            }
        }
        std::stable_sort(statuses.begin(), statuses.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        // Interleaved segments at one time: the later one replaces the earlier.
        for (size_t i = 1; i < statuses.size();)
            if (statuses[i].first == statuses[i - 1].first) statuses.erase(statuses.begin() + long(i - 1));
            else ++i;

        AlarmTracker tracker;
        std::vector<std::string> got, want;
        auto record = [&](double t, const std::vector<AlarmOccurrence>& drawn) {
            for (const AlarmOccurrence& o : drawn) got.push_back(Describe(t, o.Kind, o.Text));
        };
        size_t next = 0; // the polls come between the statuses, in time order
        for (const auto& [t, state] : statuses) {
            for (; next < c.polls.size() && c.polls[next] < t; ++next) record(c.polls[next], tracker.Due(500.0 + c.polls[next] * OneSecond));
            record(t, tracker.Update(state, 500.0 + t * OneSecond));
        }
        for (; next < c.polls.size(); ++next) record(c.polls[next], tracker.Due(500.0 + c.polls[next] * OneSecond));
        for (const Drawn& d : c.drawn) want.push_back(Describe(d.at, d.kind, d.text));
        EXPECT_EQ(got, want) << c.name;
    }
}

TEST(AlarmTracker, ManyTextsStayBounded) {
    AlarmTracker tracker;
    // Every status a new text, for an hour: what is remembered is dropped once quiet.
    size_t drawn = 0, most = 0;
    for (int i = 0; i < 3600 * 4; ++i) {
        AlarmState a;
        a.LinkUp = true;
        a.Warnings.push_back("W" + std::to_string(i));
        drawn += tracker.Update(a, 500.0 + i * 0.25 * OneSecond).size();
        most = std::max(most, tracker.Remembered());
    }
    EXPECT_EQ(drawn, 3600u * 4);
    EXPECT_LE(most, 41u) << "ten seconds of texts at four a second";
}
