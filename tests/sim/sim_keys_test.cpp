// The simulated amplifier's answer to the front-panel keys, seen in its decoded status frames.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "SimBench.h"

using namespace kaldor;
using namespace kaldor::test;
using K = Key;

namespace {

// One status field by name: the screen, ScreenData as SD0..SD10, the indicator fields and flags.
int Field(const AmpStatus& s, const std::string& name) {
    if (name.rfind("SD", 0) == 0) return s.ScreenData[std::stoi(name.substr(2))];
    const std::map<std::string, int> fields = {
        {"Screen", s.Screen.load()}, {"Input", s.Input}, {"Band", s.Band}, {"Freq", s.Frequency},
        {"Ant", s.Antenna}, {"Cat", s.CatInterface}, {"StartOperate", s.Header & 1},
        {"Tune", !!(s.Flags & FlagTune)}, {"Operate", !!(s.Flags & FlagOperate)},
        {"Alarm", !!(s.Flags & FlagAlarm)}, {"Full", !!(s.Flags & FlagFullPower)},
        {"Contest", !!(s.Flags & FlagContest)}, {"Beep", !!(s.Flags & FlagBeep)},
        {"Celsius", !!(s.Flags & FlagCelsius)},
    };
    return fields.at(name);
}

std::vector<Key> Repeat(Key k, int n) { return std::vector<Key>(static_cast<size_t>(n), k); }
std::vector<Key> operator+(std::vector<Key> a, const std::vector<Key>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct KeyCase {
    const char* name;
    std::vector<Key> keys;
    std::vector<std::pair<std::string, int>> expect;
};

const std::vector<Key> kSetupCat = {K::Set, K::Right, K::Set};      // SET CAT, YAESU selected
const std::vector<Key> kManualTune = {K::Set, K::Right, K::Right, K::Set};
const std::vector<Key> kBacklight = {K::Set, K::Right, K::Right, K::Right, K::Set};

// Starting point: standby, IN 1 with YAESU (FT897, 9600) and IN 2 with ICOM, 20 m on 14195 kHz,
// antennas 3 or 4 there, none on 6 m, full power, beep on, Celsius, two stored alarms.
const std::vector<KeyCase> kKeyCases = {
    {"switched on", {}, {{"Screen", 0}, {"Band", 4}, {"Freq", 14195}, {"Ant", 2}, {"Cat", 3}, {"Full", 1}, {"Operate", 0}}},
    {"OPERATE", {K::Operate}, {{"Screen", 1}, {"Operate", 1}}},
    {"OPERATE twice", {K::Operate, K::Operate}, {{"Screen", 0}, {"Operate", 0}}},
    {"POWER: half", {K::Power}, {{"Full", 0}}},
    {"POWER twice", {K::Power, K::Power}, {{"Full", 1}}},
    {"IN", {K::In}, {{"Input", 1}, {"Cat", 1}}},
    {"BAND up", {K::BandPlus}, {{"Band", 5}, {"Freq", 18120}}},
    {"BAND down to 160 m", Repeat(K::BandMinus, 4), {{"Band", 0}, {"Freq", 1830}, {"Ant", 0}}},
    {"BAND down stops at 160 m", Repeat(K::BandMinus, 6), {{"Band", 0}}},
    {"BAND up to 6 m: no antenna", Repeat(K::BandPlus, 5), {{"Band", 9}, {"Freq", 50150}, {"Ant", 4}}},
    {"BAND up stops at 6 m", Repeat(K::BandPlus, 7), {{"Band", 9}}},
    {"no operate without antenna", Repeat(K::BandPlus, 5) + std::vector<Key>{K::Operate}, {{"Operate", 0}, {"Screen", 0}}},
    {"band without antenna leaves operate", std::vector<Key>{K::Operate} + Repeat(K::BandPlus, 5), {{"Operate", 0}}},
    {"band change in operate retunes", {K::Operate, K::BandPlus}, {{"Tune", 1}, {"Operate", 1}}},
    {"ANT: second antenna", {K::Ant}, {{"Ant", 3}}},
    {"ANT twice: first again", {K::Ant, K::Ant}, {{"Ant", 2}}},
    {"ANT where the second is NO", Repeat(K::BandMinus, 4) + std::vector<Key>{K::Ant}, {{"Ant", 0}}},
    {"CAT", {K::Cat}, {{"Cat", 4}}},
    {"CAT wraps after NONE", Repeat(K::Cat, 5), {{"Cat", 0}}},
    {"RIGHT in operate: PC stays at 100", {K::Operate, K::Right}, {{"SD10", 100}}},
    {"LEFT in operate: PC down", {K::Operate, K::Left, K::Left}, {{"SD10", 98}}},
    {"SET: setup options", {K::Set}, {{"Screen", 6}, {"SD1", 0}}},
    {"SET from operate", {K::Operate, K::Set}, {{"Screen", 6}, {"Operate", 0}}},
    {"setup RIGHT", {K::Set, K::Right}, {{"SD1", 1}}},
    {"setup LEFT wraps to QUIT", {K::Set, K::Left}, {{"SD1", 8}}},
    {"QUIT", {K::Set, K::Left, K::Set}, {{"Screen", 0}}},
    {"setup ignores OPERATE", {K::Set, K::Operate}, {{"Screen", 6}, {"Operate", 0}}},
    {"CONTEST", {K::Set, K::Right, K::Right, K::Right, K::Right, K::Set}, {{"Screen", 6}, {"SD1", 4}, {"Contest", 1}}},
    {"BEEP", std::vector<Key>{K::Set} + Repeat(K::Right, 5) + std::vector<Key>{K::Set}, {{"Beep", 0}}},
    {"START", std::vector<Key>{K::Set} + Repeat(K::Right, 6) + std::vector<Key>{K::Set}, {{"StartOperate", 1}}},
    {"TEMP", std::vector<Key>{K::Set} + Repeat(K::Right, 7) + std::vector<Key>{K::Set}, {{"Celsius", 0}}},
    {"SET ANTENNA", {K::Set, K::Set}, {{"Screen", 7}, {"SD0", 0}, {"SD1", 0x40}, {"SD5", 0x32}, {"SD10", 0x44}}},
    {"antenna slot stepped", {K::Set, K::Set, K::Set}, {{"SD1", 0x41}}},
    {"antenna slot NO wraps to 1", {K::Set, K::Set, K::Right, K::Set}, {{"SD0", 1}, {"SD1", 0x00}}},
    {"antenna SAVE", {K::Set, K::Set, K::Left, K::Set}, {{"Screen", 5}}},
    {"SET CAT", kSetupCat, {{"Screen", 8}, {"SD1", 3}}},
    {"YAESU asks the model", kSetupCat + std::vector<Key>{K::Set}, {{"Screen", 9}, {"SD1", 4}}},
    {"then the baud rate", kSetupCat + std::vector<Key>{K::Set, K::Left, K::Set}, {{"Screen", 12}, {"SD1", 3}, {"SD2", 3}}},
    {"baud rate stored", kSetupCat + std::vector<Key>{K::Set, K::Set, K::Left, K::Set}, {{"Screen", 5}}},
    {"BAND_DATA needs no baud", kSetupCat + std::vector<Key>{K::Set} + Repeat(K::Right, 10) + std::vector<Key>{K::Set}, {{"Screen", 5}}},
    {"ICOM asks the interface", kSetupCat + std::vector<Key>{K::Left, K::Left, K::Set}, {{"Screen", 10}, {"SD1", 0}, {"Cat", 1}}},
    {"ICOM CI-V asks the baud", kSetupCat + std::vector<Key>{K::Left, K::Left, K::Set, K::Set}, {{"Screen", 12}}},
    {"ICOM VOLTAGE_BAND", kSetupCat + std::vector<Key>{K::Left, K::Left, K::Set, K::Right, K::Set}, {{"Screen", 5}}},
    {"KENWOOD asks the baud", kSetupCat + std::vector<Key>{K::Left, K::Set}, {{"Screen", 12}, {"Cat", 2}}},
    {"TEN-TEC asks the model", kSetupCat + std::vector<Key>{K::Right, K::Set}, {{"Screen", 11}, {"Cat", 4}}},
    {"NONE needs nothing", kSetupCat + Repeat(K::Right, 4) + std::vector<Key>{K::Set}, {{"Screen", 5}, {"Cat", 7}}},
    {"MANUAL TUNE", kManualTune, {{"Screen", 13}, {"SD1", 36}, {"SD2", 0x72}, {"SD3", 0}, {"Tune", 1}, {"Freq", 14195}}},
    {"L and C keys", kManualTune + std::vector<Key>{K::LPlus, K::LPlus, K::CMinus}, {{"SD1", 38}, {"SD2", 0x71}}},
    {"L stops at 0", kManualTune + Repeat(K::LMinus, 40), {{"SD1", 0}}},
    {"C carries into the high byte", kManualTune + Repeat(K::CPlus, 0x8E), {{"SD2", 0x00}, {"SD3", 0x01}}},
    {"TUNE stores", kManualTune + std::vector<Key>{K::Tune}, {{"Screen", 5}}},
    {"SET leaves manual tune unstored", kManualTune + std::vector<Key>{K::LPlus, K::Set, K::Set}, {{"Screen", 13}, {"SD1", 36}}},
    {"BACKLIGHT", kBacklight, {{"Screen", 14}, {"SD1", 160}}},
    {"backlight RIGHT", kBacklight + std::vector<Key>{K::Right}, {{"SD1", 176}}},
    {"backlight stops at 255", kBacklight + Repeat(K::Right, 7), {{"SD1", 255}}},
    {"backlight stops at 0", kBacklight + Repeat(K::Left, 11), {{"SD1", 0}}},
    {"backlight SET saves", kBacklight + std::vector<Key>{K::Set}, {{"Screen", 5}}},
    {"DISPLAY: CAT report", {K::Display}, {{"Screen", 3}, {"SD0", 3}, {"SD1", 4}, {"SD2", 3}, {"SD3", 1}, {"SD4", 0}, {"SD5", 2}, {"SD6", 0x01}, {"SD9", 'S'}}},
    {"antennas to bands", Repeat(K::Display, 2), {{"Screen", 4}, {"SD0", 0}, {"SD1", 0x00}, {"SD3", 0x12}, {"SD10", 0x49}}},
    {"bands to antennas", Repeat(K::Display, 3), {{"Screen", 4}, {"SD0", 1}, {"SD1", 0x00}, {"SD5", 0x42}, {"SD10", 0x94}}},
    {"DISPLAY back to standby", Repeat(K::Display, 4), {{"Screen", 0}}},
    {"DISPLAY back to operate", std::vector<Key>{K::Operate} + Repeat(K::Display, 4), {{"Screen", 1}, {"Operate", 1}}},
    {"report ignores OPERATE", {K::Display, K::Operate}, {{"Screen", 3}, {"Operate", 0}}},
    {"LEFT in standby: alarm history", {K::Left}, {{"Screen", 29}, {"SD0", 0x22}, {"SD1", 24}, {"SD2", 0x9B}, {"SD3", 0}}},
    {"history top stays at the count", {K::Right, K::Left}, {{"SD0", 0x22}}},
    {"history DISPLAY quits", {K::Left, K::Display}, {{"Screen", 0}}},
};

TEST(SimKeys, EachKeyChangesWhatTheNextStatusShows) {
    for (const KeyCase& c : kKeyCases) {
        SimBench bench;
        bench.Next();
        bench.Press(c.keys);
        const AmpStatus& s = bench.Next();
        for (const auto& [field, value] : c.expect)
            EXPECT_EQ(Field(s, field), value) << c.name << ": " << field;
    }
}

TEST(SimKeys, MessagesReturnToTheirScreenWithWhatWasStored) {
    struct Row {
        const char* name;
        std::vector<Key> keys;
        int then;
        std::vector<Key> after;
        std::pair<std::string, int> check;
    };
    const std::vector<Row> rows = {
        {"antenna SAVE", {K::Set, K::Set, K::Set, K::Left, K::Set}, 6, {K::Set}, {"SD1", 0x41}},
        {"TUNE", kManualTune + std::vector<Key>{K::LPlus, K::Tune}, 13, {K::Set, K::Set}, {"SD1", 37}},
        {"backlight", kBacklight + std::vector<Key>{K::Left, K::Set}, 6, {K::Set}, {"SD1", 144}},
        {"CAT", kSetupCat + std::vector<Key>{K::Right, K::Right, K::Right, K::Set}, 6, {K::Set}, {"SD1", 6}},
    };
    for (const Row& r : rows) {
        SimBench bench;
        bench.Press(r.keys);
        EXPECT_EQ(bench.Next().Screen, 5) << r.name;
        bench.Press(K::Left); // keys wait until the message has gone
        bench.FramesUntil(bench.t + sim::SimAmplifier::MessageTime - 0.2);
        EXPECT_EQ(bench.Next().Screen, 5) << r.name;
        bench.FramesUntil(bench.t + 0.3);
        EXPECT_EQ(bench.Next().Screen, r.then) << r.name;
        bench.Press(r.after); // back into the screen: the stored value shows
        EXPECT_EQ(Field(bench.Next(), r.check.first), r.check.second) << r.name;
    }
}

TEST(SimKeys, AlertsStopOperateAndGoIntoTheHistory) {
    SimBench bench;
    bench.Press({K::In, K::Operate});
    bench.amp.RaiseAlert(kaldor::ScrOverTemperature, bench.t);
    const AmpStatus& alert = bench.Next();
    EXPECT_EQ(alert.Screen, 23);
    EXPECT_EQ(Field(alert, "Alarm"), 1);
    EXPECT_EQ(Field(alert, "Operate"), 0);
    bench.Press({K::Operate, K::Set, K::Left}); // only DISPLAY resets an alert
    EXPECT_EQ(bench.Next().Screen, 23);
    bench.Press(K::Display);
    EXPECT_EQ(bench.Next().Screen, 0);
    EXPECT_EQ(Field(bench.status, "Alarm"), 0);
    bench.Press(K::Left);
    const AmpStatus& history = bench.Next();
    EXPECT_EQ(history.Screen, 29);
    EXPECT_EQ(history.ScreenData[0], 0x33);
    EXPECT_EQ(history.ScreenData[3], 23 | 0x80); // on IN 2

    // Ten entries at most: the oldest go.
    bench.Press(K::Display);
    for (int i = 0; i < 12; ++i) {
        bench.amp.RaiseAlert(i % 2 ? kaldor::ScrOverdrive : kaldor::ScrOverTemperature, bench.t);
        bench.Press(K::Display);
    }
    bench.Press(K::Left);
    const AmpStatus& full = bench.Next();
    EXPECT_EQ(full.ScreenData[0], 0xAA); // top 10, count 10
    EXPECT_EQ(full.ScreenData[1], 23 | 0x80);
    EXPECT_EQ(full.ScreenData[10], 24 | 0x80);
    bench.Press(Repeat(K::Right, 9)); // scrolling stops with four rows still filled
    EXPECT_EQ(bench.Next().ScreenData[0], 0x4A);
    bench.Press(Repeat(K::Left, 9));
    EXPECT_EQ(bench.Next().ScreenData[0], 0xAA);
}

} // namespace
