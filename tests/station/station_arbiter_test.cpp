// Who operates the shared line, step by step: joins, take-overs, DTR and the release after 2 s.
#include <gtest/gtest.h>

#include "station/ControlArbiter.h"
#include "support/TestAmp.h"

namespace kaldor::station {
namespace {

// Consoles: 1 dl1abc (operator), 2 dk2xy (operator), 3 swl (watcher), 4 oe3abc (operator).
// Join: a console that speaks RFC 2217 (joins and claims); Silent: one that says nothing.
enum Op { Join, Silent, Leave, Take, Dtr, Wait };
struct Step {
    Op op;
    int id;
    std::string arg; // Take: the holder seen ("-" nobody); Dtr: "on"/"off"
    double seconds;  // Wait
    // Then: the role texts of consoles 1 to 4 ("" when not connected), the line's DTR effect,
    // and who was told.
    std::vector<std::string> roles;
    int dtr;
    std::vector<int> told;
};

const char* const kNames[] = {"", "dl1abc", "dk2xy", "swl", "oe3abc"};
const bool kOperator[] = {false, true, true, false, true};

void Play(const char* what, const std::vector<Step>& steps) {
    test::ManualClock clock;
    ControlArbiter arbiter;
    bool joined[5] = {};
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step& s = steps[i];
        ArbiterEffects fx;
        switch (s.op) {
        case Join:
        case Silent:
            fx = arbiter.Join(s.id, kNames[s.id], kOperator[s.id]), joined[s.id] = true;
            if (s.op == Join) fx = arbiter.Claim(s.id);
            break;
        case Leave: fx = arbiter.Leave(s.id), joined[s.id] = false; break;
        case Take: fx = arbiter.TakeControl(s.id, s.arg == "-" ? "" : s.arg); break;
        case Dtr: fx = arbiter.SetDtr(s.id, s.arg == "on"); break;
        case Wait: clock.AdvanceSeconds(s.seconds), fx = arbiter.Tick(); break;
        }
        const std::string at = std::string(what) + ", step " + std::to_string(i + 1);
        std::vector<std::string> roles;
        for (int id = 1; id <= 4; ++id)
            roles.push_back(joined[id] ? StationSignature(arbiter.RoleOf(id)).substr(15) : "");
        EXPECT_EQ(roles, s.roles) << at;
        EXPECT_EQ(fx.Dtr, s.dtr) << at;
        EXPECT_EQ(fx.Tell, s.told) << at;
    }
}

TEST(ControlArbiter, Rules) {
    const std::string op = "operating operator", w1 = "watching dl1abc", w1o = "watching dl1abc operator",
                      w2 = "watching dk2xy", w2o = "watching dk2xy operator", none = "watching -",
                      noneO = "watching - operator";
    Play("the first operator to speak takes control; a watcher never does",
        {{Silent, 4, "", 0, {"", "", "", noneO}, -1, {}},
         {Join, 3, "", 0, {"", "", none, noneO}, -1, {}},
         {Take, 3, "", 0, {"", "", none, noneO}, -1, {3}},
         {Join, 1, "", 0, {op, "", w1, w1o}, -1, {1, 3, 4}},
         {Join, 2, "", 0, {op, w1o, w1, w1o}, -1, {}},
         {Take, 3, "dl1abc", 0, {op, w1o, w1, w1o}, -1, {3}}});
    Play("a take-over names the holder seen: of two at once one wins, both told",
        {{Join, 1, "", 0, {op, "", "", ""}, -1, {1}},
         {Join, 2, "", 0, {op, w1o, "", ""}, -1, {}},
         {Join, 4, "", 0, {op, w1o, "", w1o}, -1, {}},
         {Take, 2, "dl1abc", 0, {w2o, op, "", w2o}, -1, {1, 2, 4}},
         {Take, 4, "dl1abc", 0, {w2o, op, "", w2o}, -1, {4}},
         {Take, 4, "-", 0, {w2o, op, "", w2o}, -1, {4}},
         {Take, 2, "dk2xy", 0, {w2o, op, "", w2o}, -1, {}}});
    Play("DTR: the holder's changes against its own last setting; a watcher's never",
        {{Join, 1, "", 0, {op, "", "", ""}, -1, {1}},
         {Dtr, 1, "off", 0, {op, "", "", ""}, -1, {}},
         {Dtr, 1, "on", 0, {op, "", "", ""}, 1, {}},
         {Join, 2, "", 0, {op, w1o, "", ""}, -1, {}},
         {Dtr, 2, "off", 0, {op, w1o, "", ""}, -1, {}},
         {Dtr, 2, "on", 0, {op, w1o, "", ""}, -1, {}},
         {Dtr, 2, "off", 0, {op, w1o, "", ""}, -1, {}},
         {Take, 2, "dl1abc", 0, {w2o, op, "", ""}, -1, {1, 2}},
         {Dtr, 2, "off", 0, {w2o, op, "", ""}, -1, {}},
         {Dtr, 1, "off", 0, {w2o, op, "", ""}, -1, {}},
         {Dtr, 2, "on", 0, {w2o, op, "", ""}, -1, {}},
         {Dtr, 2, "off", 0, {w2o, op, "", ""}, 0, {}}});
    Play("the holder gone: DTR drops 2 s later unless someone takes control",
        {{Join, 1, "", 0, {op, "", "", ""}, -1, {1}},
         {Dtr, 1, "on", 0, {op, "", "", ""}, 1, {}},
         {Join, 2, "", 0, {op, w1o, "", ""}, -1, {}},
         {Leave, 1, "", 0, {"", noneO, "", ""}, -1, {2}},
         {Wait, 0, "", 1.9, {"", noneO, "", ""}, -1, {}},
         {Take, 2, "-", 0, {"", op, "", ""}, -1, {2}},
         {Wait, 0, "", 5, {"", op, "", ""}, -1, {}},
         {Leave, 2, "", 0, {"", "", "", ""}, -1, {}},
         {Join, 3, "", 0, {"", "", none, ""}, -1, {}},
         {Wait, 0, "", 1.9, {"", "", none, ""}, -1, {}},
         {Wait, 0, "", 0.2, {"", "", none, ""}, 0, {}},
         {Wait, 0, "", 5, {"", "", none, ""}, -1, {}}});
    Play("an operator back within 2 s takes control; its opening DTR low moves nothing",
        {{Join, 1, "", 0, {op, "", "", ""}, -1, {1}},
         {Dtr, 1, "on", 0, {op, "", "", ""}, 1, {}},
         {Leave, 1, "", 0, {"", "", "", ""}, -1, {}},
         {Join, 1, "", 0, {op, "", "", ""}, -1, {1}},
         {Dtr, 1, "off", 0, {op, "", "", ""}, -1, {}},
         {Wait, 0, "", 3, {op, "", "", ""}, -1, {}}});
}

} // namespace
} // namespace kaldor::station
