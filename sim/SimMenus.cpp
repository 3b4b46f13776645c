// The amplifier's setup mode: the menus stepped by LEFT, RIGHT and SET, manual tune, backlight.
#include <algorithm>

#include "sim/SimAmplifier.h"

namespace kaldor::sim {
namespace {

enum SetupItem : uint8_t {
    ItemAntenna, ItemCat, ItemManualTune, ItemBacklight, ItemContest, ItemBeep, ItemStart,
    ItemTemperature, ItemQuit, SetupItemCount
};
constexpr uint8_t kAntennaSlots = 20; // item 20 is SAVE
constexpr uint8_t kYaesuCount = 15, kIcomCount = 2, kTenTecCount = 4, kBaudCount = 4;
constexpr uint8_t kYaesuBandData = 14, kIcomVoltageBand = 1;
constexpr int kMaxL = 127, kMaxCMask = 1023, kBacklightStep = 16;

// LEFT and RIGHT walk round a menu of count items.
void Move(kaldor::Key key, uint8_t& sel, uint8_t count) {
    if (key == kaldor::Key::Left) sel = static_cast<uint8_t>((sel + count - 1) % count);
    if (key == kaldor::Key::Right) sel = static_cast<uint8_t>((sel + 1) % count);
    if (sel >= count) sel = 0;
}

template <typename T> void Nudge(T& value, int delta, int high) {
    value = static_cast<T>(std::clamp(static_cast<int>(value) + delta, 0, high));
}

} // namespace

void SimAmplifier::EnterSetup(double now) {
    LeaveOperate(now);
    screen_ = ScrSetupOptions;
    setupSel_ = ItemAntenna;
}

// A model or baud rate menu: SET stores the choice, then asks for the baud rate unless the
// choice needs none.
struct ChoiceMenu {
    uint16_t Screen;
    uint8_t Count;
    uint8_t InputSettings::*Field;
    bool AsksBaud;
    uint8_t NoBaud; // with AsksBaud: the choice that stores at once
};
constexpr ChoiceMenu kChoiceMenus[] = {
    {ScrSetYaesu, kYaesuCount, &InputSettings::Yaesu, true, kYaesuBandData},
    {ScrSetIcom, kIcomCount, &InputSettings::Icom, true, kIcomVoltageBand},
    {ScrSetTenTec, kTenTecCount, &InputSettings::TenTec, false, 0},
    {ScrSetBaudRate, kBaudCount, &InputSettings::Baud, false, 0},
};

bool SimAmplifier::SetupKey(kaldor::Key key, double now) {
    using Handler = void (SimAmplifier::*)(kaldor::Key, double);
    struct ScreenHandler {
        uint16_t Screen;
        Handler Keyed;
    };
    static constexpr ScreenHandler kHandlers[] = {
        {ScrSetupOptions, &SimAmplifier::OptionsKey}, {ScrSetAntenna, &SimAmplifier::AntennaKey},
        {ScrSetCat, &SimAmplifier::CatKey},           {ScrSetYaesu, &SimAmplifier::ChoiceKey},
        {ScrSetIcom, &SimAmplifier::ChoiceKey},       {ScrSetTenTec, &SimAmplifier::ChoiceKey},
        {ScrSetBaudRate, &SimAmplifier::ChoiceKey},   {ScrManualTune, &SimAmplifier::TuneKey},
        {ScrBacklight, &SimAmplifier::BacklightKey},
    };
    for (const ScreenHandler& h : kHandlers) {
        if (h.Screen != screen_) continue;
        (this->*h.Keyed)(key, now);
        return true;
    }
    return false;
}

void SimAmplifier::StoredMessage(double now) { ShowMessage(ScrSetupOptions, now); }

// The CAT interfaces ask for their model, then their baud rate, as they need them.
void SimAmplifier::AskBaud() {
    screen_ = ScrSetBaudRate;
    menuSel_ = In().Baud;
}

void SimAmplifier::OptionsKey(kaldor::Key key, double) {
    Move(key, setupSel_, SetupItemCount);
    if (key != kaldor::Key::Set) return;
    switch (setupSel_) {
    case ItemAntenna: screen_ = ScrSetAntenna; menuSel_ = 0; break;
    case ItemCat: screen_ = ScrSetCat; menuSel_ = In().Cat; break;
    case ItemManualTune:
        screen_ = ScrManualTune;
        editL_ = tuneL_[band_];
        editC_ = tuneC_[band_];
        break;
    case ItemBacklight: screen_ = ScrBacklight; editBacklight_ = backlight_; break;
    case ItemContest: contest_ = !contest_; break;
    case ItemBeep: beep_ = !beep_; break;
    case ItemStart: startOperate_ = !startOperate_; break;
    case ItemTemperature: celsius_ = !celsius_; break;
    default: screen_ = ScrStandby; break; // QUIT
    }
}

void SimAmplifier::AntennaKey(kaldor::Key key, double now) {
    Move(key, menuSel_, kAntennaSlots + 1);
    if (key != kaldor::Key::Set) return;
    if (menuSel_ == kAntennaSlots) return StoredMessage(now); // SAVE
    // SET steps the slot through antennas 1 to 4 and "NO".
    uint8_t& pair = In().AntennaPairs[menuSel_ / 2];
    const int shift = menuSel_ % 2 ? 4 : 0;
    const int v = (pair >> shift) & 7;
    const int next = v >= NoAntenna ? 0 : v + 1;
    pair = static_cast<uint8_t>((pair & ~(7 << shift)) | next << shift);
}

void SimAmplifier::CatKey(kaldor::Key key, double now) {
    Move(key, menuSel_, CatCodeCount);
    if (key != kaldor::Key::Set) return;
    InputSettings& in = In();
    in.Cat = menuSel_;
    switch (in.Cat) {
    case CatIcom: screen_ = ScrSetIcom; menuSel_ = in.Icom; break;
    case CatYaesu: screen_ = ScrSetYaesu; menuSel_ = in.Yaesu; break;
    case CatTenTec: screen_ = ScrSetTenTec; menuSel_ = in.TenTec; break;
    case CatKenwood:
    case CatFlexRadio: AskBaud(); break;
    default: StoredMessage(now); break;
    }
}

void SimAmplifier::ChoiceKey(kaldor::Key key, double now) {
    for (const ChoiceMenu& m : kChoiceMenus) {
        if (m.Screen != screen_) continue;
        Move(key, menuSel_, m.Count);
        if (key != kaldor::Key::Set) return;
        In().*m.Field = menuSel_;
        if (m.AsksBaud && menuSel_ != m.NoBaud) AskBaud();
        else StoredMessage(now);
        return;
    }
}

void SimAmplifier::TuneKey(kaldor::Key key, double now) {
    using kaldor::Key;
    switch (key) {
    case Key::LMinus: Nudge(editL_, -1, kMaxL); break;
    case Key::LPlus: Nudge(editL_, +1, kMaxL); break;
    case Key::CMinus: Nudge(editC_, -1, kMaxCMask); break;
    case Key::CPlus: Nudge(editC_, +1, kMaxCMask); break;
    case Key::Tune:
        tuneL_[band_] = editL_;
        tuneC_[band_] = editC_;
        ShowMessage(ScrManualTune, now);
        break;
    case Key::Set: screen_ = ScrSetupOptions; break; // QUIT, nothing stored
    default: break;
    }
}

void SimAmplifier::BacklightKey(kaldor::Key key, double now) {
    if (key == kaldor::Key::Left) Nudge(editBacklight_, -kBacklightStep, 255);
    if (key == kaldor::Key::Right) Nudge(editBacklight_, +kBacklightStep, 255);
    if (key != kaldor::Key::Set) return;
    backlight_ = editBacklight_;
    StoredMessage(now);
}

} // namespace kaldor::sim
