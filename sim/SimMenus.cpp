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
constexpr uint8_t kCatCount = 8, kYaesuCount = 15, kIcomCount = 2, kTenTecCount = 4, kBaudCount = 4;
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

void SimAmplifier::SetupKey(kaldor::Key key, double now) {
    using kaldor::Key;
    const bool set = key == Key::Set;
    InputSettings& in = In();
    // The CAT interfaces ask for their model, then their baud rate, as they need them.
    auto askBaud = [&] {
        screen_ = ScrSetBaudRate;
        menuSel_ = in.Baud;
    };
    auto stored = [&] { ShowMessage(ScrSetupOptions, now); };

    switch (screen_) {
    case ScrSetupOptions:
        Move(key, setupSel_, SetupItemCount);
        if (!set) break;
        switch (setupSel_) {
        case ItemAntenna: screen_ = ScrSetAntenna; menuSel_ = 0; break;
        case ItemCat: screen_ = ScrSetCat; menuSel_ = in.Cat; break;
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
        break;
    case ScrSetAntenna:
        Move(key, menuSel_, kAntennaSlots + 1);
        if (!set) break;
        if (menuSel_ == kAntennaSlots) {
            stored(); // SAVE
        } else {
            // SET steps the slot through antennas 1 to 4 and "NO".
            uint8_t& pair = in.AntennaPairs[menuSel_ / 2];
            const int shift = menuSel_ % 2 ? 4 : 0;
            const int v = (pair >> shift) & 7;
            const int next = v >= NoAntenna ? 0 : v + 1;
            pair = static_cast<uint8_t>((pair & ~(7 << shift)) | next << shift);
        }
        break;
    case ScrSetCat:
        Move(key, menuSel_, kCatCount);
        if (!set) break;
        in.Cat = menuSel_;
        switch (in.Cat) {
        case 1: screen_ = ScrSetIcom; menuSel_ = in.Icom; break;
        case 3: screen_ = ScrSetYaesu; menuSel_ = in.Yaesu; break;
        case 4: screen_ = ScrSetTenTec; menuSel_ = in.TenTec; break;
        case 2:
        case 5: askBaud(); break;
        default: stored(); break;
        }
        break;
    case ScrSetYaesu:
        Move(key, menuSel_, kYaesuCount);
        if (!set) break;
        in.Yaesu = menuSel_;
        if (in.Yaesu == kYaesuBandData) stored();
        else askBaud();
        break;
    case ScrSetIcom:
        Move(key, menuSel_, kIcomCount);
        if (!set) break;
        in.Icom = menuSel_;
        if (in.Icom == kIcomVoltageBand) stored();
        else askBaud();
        break;
    case ScrSetTenTec:
        Move(key, menuSel_, kTenTecCount);
        if (!set) break;
        in.TenTec = menuSel_;
        stored();
        break;
    case ScrSetBaudRate:
        Move(key, menuSel_, kBaudCount);
        if (!set) break;
        in.Baud = menuSel_;
        stored();
        break;
    case ScrManualTune:
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
        break;
    case ScrBacklight:
        if (key == Key::Left) Nudge(editBacklight_, -kBacklightStep, 255);
        if (key == Key::Right) Nudge(editBacklight_, +kBacklightStep, 255);
        if (set) {
            backlight_ = editBacklight_;
            stored();
        }
        break;
    default: break;
    }
}

} // namespace kaldor::sim
