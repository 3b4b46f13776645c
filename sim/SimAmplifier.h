#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/Frames.h"
#include "link/InputCodes.h"
#include "link/ScreenCodes.h"
#include "sim/CommandDecoder.h"
#include "sim/SimTransmitter.h"

namespace kaldor::sim {

constexpr int BandCount = 10;    // 160 m up to 6 m

// The amplifier's stored settings for one input.
struct InputSettings {
    uint8_t Cat = CatNone;
    uint8_t Yaesu = 4;
    uint8_t Icom = 0;
    uint8_t TenTec = 0;
    uint8_t Baud = 3;
    std::array<uint8_t, BandCount> AntennaPairs{}; // bits 0-2 first antenna, 4-6 second
    std::array<uint8_t, BandCount> AntennaChoice{}; // 0 the first, 1 the second
};

struct SimOptions {
    uint32_t Seed = 1;
    bool StartPowered = true;
};

// The simulated KALDOR M7-QX: takes the console's command bytes and produces its status frames,
// with plausible behaviour. Time is passed in by the caller (seconds on any monotonic clock), so
// tests step it by hand. Not thread-safe: the caller serialises.
class SimAmplifier {
public:
    static constexpr double FramePeriod = 0.1;     // ten frames a second
    static constexpr double DtrPowerOnHold = 2.0;  // DTR raised this long switches it on
    static constexpr double DtrHeldOnTime = 10.0;  // DTR held longer holds it on: dropping it switches off
    static constexpr double OffDelay = 0.5;        // after OFF, frames stop this much later
    static constexpr double MessageTime = 1.5;     // SYSTEM MESSAGE shows this long
    static constexpr double AutoTuneTime = 1.0;    // TUNE lamp after a band change in operate
    static constexpr size_t HistorySize = 10;

    explicit SimAmplifier(const SimOptions& options = {}, double now = 0.0);

    // Command bytes from the line, in any pieces.
    void Receive(const uint8_t* bytes, size_t count, double now);
    void Execute(const Command& command, double now);
    void PressKey(kaldor::Key key, double now);
    // The remote power line.
    void SetDtr(bool raised, double now);
    // Switches on as a held DTR would (the stand-alone simulator has no DTR to watch).
    void PowerOn(double now);
    // Trips the protection with an alert code, as the amplifier does by itself now and then.
    void RaiseAlert(uint8_t code, double now);

    // Advances to now; returns the status frames due by then (none while off), sync to checksum.
    std::vector<uint8_t> Poll(double now);
    // Seconds from now until Poll has something to do.
    double NextDue(double now) const;

    bool Powered() const { return powered_; }
    std::array<uint8_t, StatusPayloadLength> Payload() const;
    uint8_t Screen() const;
    bool Operate() const { return operate_; }

private:
    struct PendingScreen {
        bool Active = false;
        double Until = 0.0;
        uint8_t Next = ScrStandby;
    };

    void SwitchOn(double now);
    void BaseKey(kaldor::Key key, double now);
    void ReportKey(kaldor::Key key);
    void HistoryKey(kaldor::Key key);
    // False where the screen is not one of the setup menus.
    bool SetupKey(kaldor::Key key, double now);
    void OptionsKey(kaldor::Key key, double now);
    void AntennaKey(kaldor::Key key, double now);
    void CatKey(kaldor::Key key, double now);
    void ChoiceKey(kaldor::Key key, double now);
    void TuneKey(kaldor::Key key, double now);
    void BacklightKey(kaldor::Key key, double now);
    void AskBaud();
    void StoredMessage(double now);
    void ShowMessage(uint8_t then, double now);
    void StepBand(int delta, double now);
    void EnterSetup(double now);
    void LeaveOperate(double now);
    InputSettings& In() { return inputs_[input_]; }
    const InputSettings& In() const { return inputs_[input_]; }
    uint8_t AntennaValue() const;
    uint16_t Frequency() const;
    uint8_t ScreenDataAt(int i) const;
    uint8_t FlagsByte() const;
    void Step(double now);

    CommandDecoder decoder_;
    SimTransmitter tx_;
    bool powered_;
    double offAt_ = -1.0;       // OFF pressed: switch off then
    bool dtr_ = false;
    double dtrSince_ = 0.0;
    bool dtrStarted_ = false;   // this DTR raise has switched it on already
    double nextFrame_ = 0.0;
    double now_ = 0.0;         // time of the last call, for the timed lamps

    // What the front panel shows.
    uint8_t screen_ = ScrStandby; // ScrStandby stands for the standby and operate screens
    bool operate_ = false;
    bool fullPower_ = true;
    uint8_t input_ = 0;
    uint8_t band_ = 4;
    bool alarm_ = false;
    double tuneLampUntil_ = 0.0;
    uint8_t powerControl_ = 100;
    uint8_t reportKind_ = 0;
    PendingScreen pending_;

    // Stored settings.
    std::array<InputSettings, 2> inputs_{};
    bool contest_ = false, beep_ = true, celsius_ = true, startOperate_ = false;
    std::array<uint8_t, BandCount> tuneL_{};
    std::array<uint16_t, BandCount> tuneC_{};
    uint8_t backlight_ = 160;
    std::vector<uint8_t> history_; // oldest first: warning code, bit 7 set for IN 2

    // Where the setup menus stand.
    uint8_t setupSel_ = 0;
    uint8_t menuSel_ = 0;
    uint8_t editL_ = 0;
    uint16_t editC_ = 0;
    uint8_t editBacklight_ = 0;
    uint8_t historyTop_ = 0;
};


} // namespace kaldor::sim
