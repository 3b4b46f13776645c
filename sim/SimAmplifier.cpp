#include "sim/SimAmplifier.h"

#include <algorithm>
#include <cmath>

namespace kaldor::sim {
namespace {

struct BandPlan {
    uint16_t Low, High, Home; // kHz
};
constexpr BandPlan kBands[BandCount] = {
    {1810, 2000, 1830},    {3500, 3800, 3650},    {7000, 7200, 7100},    {10100, 10150, 10120},
    {14000, 14350, 14195}, {18068, 18168, 18120}, {21000, 21450, 21200}, {24890, 24990, 24940},
    {28000, 29700, 28500}, {50000, 54000, 50150},
};

// Antenna pairs as the amplifier leaves the factory: no antenna at all on 6 m.
constexpr std::array<uint8_t, BandCount> kFactoryAntennas = {0x40, 0x40, 0x21, 0x41, 0x32,
                                                             0x42, 0x32, 0x42, 0x23, 0x44};
constexpr std::array<uint8_t, BandCount> kFactoryL = {120, 92, 61, 48, 36, 30, 26, 22, 18, 8};
constexpr std::array<uint16_t, BandCount> kFactoryC = {0x3A0, 0x1D0, 0x0E8, 0x0A4, 0x072,
                                                       0x051, 0x046, 0x033, 0x02A, 0x00C};
// Firmware release in the CAT report: two BCD digits each, then a suffix letter.
constexpr uint8_t kRelease[4] = {0x01, 0x07, 0x03, 'S'};


uint8_t ChosenAntenna(const InputSettings& in, int band) {
    const uint8_t pair = in.AntennaPairs[static_cast<size_t>(band)];
    const uint8_t first = pair & 7, second = (pair >> 4) & 7;
    const uint8_t v = in.AntennaChoice[static_cast<size_t>(band)] && second < NoAntenna ? second : first;
    return std::min(v, NoAntenna);
}

} // namespace

SimAmplifier::SimAmplifier(const SimOptions& options, double now)
    : tx_(options.Seed, now), powered_(false), now_(now) {
    inputs_[0].Cat = CatYaesu;
    inputs_[1].Cat = CatIcom;
    inputs_[1].Baud = 2;
    for (InputSettings& in : inputs_) in.AntennaPairs = kFactoryAntennas;
    tuneL_ = kFactoryL;
    tuneC_ = kFactoryC;
    history_ = {ScrOverdrive, ScrReflectedAbove300 | 0x80}; // two old alarms, the second on IN 2
    if (options.StartPowered) SwitchOn(now);
}

void SimAmplifier::SwitchOn(double now) {
    powered_ = true;
    offAt_ = -1.0;
    screen_ = ScrStandby;
    alarm_ = false;
    pending_ = {};
    operate_ = startOperate_ && AntennaValue() != NoAntenna;
    tx_.Unkey(now);
    nextFrame_ = now;
}

void SimAmplifier::PowerOn(double now) {
    now_ = now;
    if (!powered_) SwitchOn(now);
}

void SimAmplifier::SetDtr(bool raised, double now) {
    Step(now);
    if (raised && !dtr_) {
        dtrSince_ = now;
        dtrStarted_ = false;
    } else if (!raised && dtr_ && powered_ && now - dtrSince_ >= DtrHeldOnTime) {
        powered_ = false; // DTR held it on, as the console's shutdown mode does
    }
    dtr_ = raised;
}

void SimAmplifier::Receive(const uint8_t* bytes, size_t count, double now) {
    for (const Command& command : decoder_.Push(bytes, count)) Execute(command, now);
}

void SimAmplifier::Execute(const Command& command, double now) {
    Step(now);
    if (!powered_ || offAt_ >= 0.0) return;
    if (command.What == Command::Kind::LinkRequest)
        nextFrame_ = now; // answered with the next frame, at once
    else
        PressKey(command.KeyPressed, now);
}

void SimAmplifier::PressKey(kaldor::Key key, double now) {
    now_ = now;
    if (!powered_ || offAt_ >= 0.0) return;
    if (key == kaldor::Key::Off) {
        offAt_ = now + OffDelay;
        return;
    }
    if (pending_.Active) return; // a message is showing
    switch (screen_) {
    case ScrStandby: BaseKey(key, now); break;
    case ScrCatReport:
    case ScrAntennaReport: ReportKey(key); break;
    case ScrAlarmHistory: HistoryKey(key); break;
    default:
        if (!SetupKey(key, now) && key == kaldor::Key::Display) { // an alert: DISPLAY resets it
            alarm_ = false;
            screen_ = ScrStandby;
        }
        break;
    }
}

void SimAmplifier::BaseKey(kaldor::Key key, double now) {
    using kaldor::Key;
    switch (key) {
    case Key::Operate:
        if (operate_) LeaveOperate(now);
        else operate_ = AntennaValue() != NoAntenna; // no antenna, no operate
        break;
    case Key::Power: fullPower_ = !fullPower_; break;
    case Key::In:
        input_ ^= 1;
        if (operate_ && AntennaValue() == NoAntenna) LeaveOperate(now);
        break;
    case Key::BandMinus: StepBand(-1, now); break;
    case Key::BandPlus: StepBand(+1, now); break;
    case Key::Ant: {
        uint8_t& choice = In().AntennaChoice[band_];
        const int shift = choice ? 0 : 4; // the other slot
        if (((In().AntennaPairs[band_] >> shift) & 7) < NoAntenna) choice ^= 1;
        break;
    }
    case Key::Cat: In().Cat = static_cast<uint8_t>((In().Cat + 1) % CatCodeCount); break;
    case Key::Set: EnterSetup(now); break;
    case Key::Display:
        screen_ = ScrCatReport;
        reportKind_ = 0;
        break;
    case Key::Left:
    case Key::Right:
        if (operate_) {
            const int step = key == Key::Left ? -1 : 1;
            powerControl_ = static_cast<uint8_t>(std::clamp(powerControl_ + step, 0, 100));
        } else {
            screen_ = ScrAlarmHistory;
            historyTop_ = static_cast<uint8_t>(history_.size());
        }
        break;
    case Key::Tune: tuneLampUntil_ = now + AutoTuneTime; break;
    default: break; // L and C act in manual tune only
    }
}

void SimAmplifier::ReportKey(kaldor::Key key) {
    if (key != kaldor::Key::Display) return;
    if (screen_ == ScrCatReport) {
        screen_ = ScrAntennaReport;
        reportKind_ = 0;
    } else if (reportKind_ == 0) {
        reportKind_ = 1;
    } else {
        screen_ = ScrStandby;
    }
}

void SimAmplifier::HistoryKey(kaldor::Key key) {
    const int count = static_cast<int>(history_.size());
    const int lowest = std::min(count, 4); // the four rows stay filled
    if (key == kaldor::Key::Left)
        historyTop_ = static_cast<uint8_t>(std::min(count, historyTop_ + 1));
    else if (key == kaldor::Key::Right)
        historyTop_ = static_cast<uint8_t>(std::max(lowest, historyTop_ - 1));
    else if (key == kaldor::Key::Display)
        screen_ = ScrStandby;
}

void SimAmplifier::StepBand(int delta, double now) {
    const int band = std::clamp(band_ + delta, 0, BandCount - 1);
    if (band == band_) return;
    band_ = static_cast<uint8_t>(band);
    if (!operate_) return;
    if (AntennaValue() == NoAntenna) LeaveOperate(now);
    else tuneLampUntil_ = now + AutoTuneTime; // retunes to the new band
}

void SimAmplifier::LeaveOperate(double now) {
    operate_ = false;
    tx_.Unkey(now);
}

void SimAmplifier::RaiseAlert(uint8_t code, double now) {
    now_ = now;
    if (!powered_) return;
    LeaveOperate(now);
    alarm_ = true;
    screen_ = code;
    pending_ = {};
    history_.push_back(static_cast<uint8_t>((code & 0x7F) | (input_ ? 0x80 : 0)));
    if (history_.size() > HistorySize) history_.erase(history_.begin());
}

void SimAmplifier::ShowMessage(uint8_t then, double now) {
    screen_ = ScrSystemMessage;
    pending_ = {true, now + MessageTime, then};
}

uint8_t SimAmplifier::AntennaValue() const { return ChosenAntenna(In(), band_); }

uint16_t SimAmplifier::Frequency() const {
    const int offset = tx_.Readings().FrequencyOffset;
    return static_cast<uint16_t>(offset ? kBands[band_].Low + offset : kBands[band_].Home);
}

void SimAmplifier::Step(double now) {
    now_ = now;
    if (powered_ && offAt_ >= 0.0 && now >= offAt_) {
        powered_ = false;
        offAt_ = -1.0;
    }
    if (!powered_ && dtr_ && !dtrStarted_ && now - dtrSince_ >= DtrPowerOnHold) {
        dtrStarted_ = true;
        SwitchOn(now);
    }
    if (!powered_) return;
    if (pending_.Active && now >= pending_.Until) {
        pending_.Active = false;
        screen_ = pending_.Next;
    }
    const TxConditions conditions{operate_, fullPower_, powerControl_, AntennaValue() != NoAntenna};
    switch (tx_.Step(now, conditions)) {
    case SimTransmitter::Trip::Overdrive: RaiseAlert(ScrOverdrive, now); break;
    case SimTransmitter::Trip::OverTemperature: RaiseAlert(ScrOverTemperature, now); break;
    case SimTransmitter::Trip::None: break;
    }
}

std::vector<uint8_t> SimAmplifier::Poll(double now) {
    Step(now);
    if (!powered_ || now < nextFrame_) return {};
    nextFrame_ += FramePeriod;
    if (nextFrame_ <= now) nextFrame_ = now + FramePeriod; // late: no catching up in a burst
    const auto payload = Payload();
    return EncodeStatusFrame(payload.data(), payload.size());
}

double SimAmplifier::NextDue(double now) const {
    double due = 1.0;
    if (powered_) {
        due = nextFrame_ - now;
        if (offAt_ >= 0.0) due = std::min(due, offAt_ - now);
        if (pending_.Active) due = std::min(due, pending_.Until - now);
    } else if (dtr_ && !dtrStarted_) {
        due = dtrSince_ + DtrPowerOnHold - now;
    }
    return std::clamp(due, 0.0, 1.0);
}

uint8_t SimAmplifier::Screen() const {
    if (screen_ != ScrStandby) return screen_;
    if (!operate_) return ScrStandby;
    return tx_.Readings().Transmitting ? ScrOperateTx : ScrOperate;
}

uint8_t SimAmplifier::FlagsByte() const {
    uint8_t f = 0;
    if (screen_ == ScrManualTune || now_ < tuneLampUntil_) f |= kaldor::FlagTune;
    if (operate_) f |= kaldor::FlagOperate;
    if (operate_ && tx_.Readings().Transmitting) f |= kaldor::FlagTx;
    if (alarm_) f |= kaldor::FlagAlarm;
    if (fullPower_) f |= kaldor::FlagFullPower;
    if (contest_) f |= kaldor::FlagContest;
    if (beep_) f |= kaldor::FlagBeep;
    if (celsius_) f |= kaldor::FlagCelsius;
    return f;
}

uint8_t SimAmplifier::ScreenDataAt(int i) const {
    auto typeOf = [](const InputSettings& in) -> uint8_t {
        switch (in.Cat) {
        case CatIcom: return in.Icom;
        case CatYaesu: return in.Yaesu;
        case CatTenTec: return in.TenTec;
        default: return 0;
        }
    };
    switch (Screen()) {
    case ScrStandby:
    case ScrOperate:
    case ScrOperateTx: return i == 10 ? powerControl_ : 0;
    case ScrCatReport: {
        if (i < 6) {
            const InputSettings& in = inputs_[static_cast<size_t>(i / 3)];
            const uint8_t fields[3] = {in.Cat, typeOf(in), in.Baud};
            return fields[i % 3];
        }
        return i < 10 ? kRelease[i - 6] : 0;
    }
    case ScrAntennaReport: {
        if (i == 0) return reportKind_;
        // Kind 0 lists the antennas with the bands they serve, kind 1 the bands in order.
        std::array<uint8_t, BandCount> antenna{};
        std::array<int, BandCount> order{};
        for (int b = 0; b < BandCount; ++b) {
            antenna[static_cast<size_t>(b)] = ChosenAntenna(In(), b);
            order[static_cast<size_t>(b)] = b;
        }
        if (reportKind_ == 0)
            std::stable_sort(order.begin(), order.end(),
                             [&](int a, int b) { return antenna[static_cast<size_t>(a)] < antenna[static_cast<size_t>(b)]; });
        const int b = order[static_cast<size_t>(i - 1)];
        const uint8_t ant = antenna[static_cast<size_t>(b)];
        return reportKind_ == 0 ? static_cast<uint8_t>(ant << 4 | b) : static_cast<uint8_t>(b << 4 | ant);
    }
    case ScrSetupOptions: return i == 1 ? setupSel_ : 0;
    case ScrSetAntenna: return i == 0 ? menuSel_ : In().AntennaPairs[static_cast<size_t>(i - 1)];
    case ScrSetCat:
    case ScrSetYaesu:
    case ScrSetIcom:
    case ScrSetTenTec: return i == 1 ? menuSel_ : 0;
    case ScrSetBaudRate: return i == 1 ? menuSel_ : i == 2 ? In().Yaesu : 0;
    case ScrManualTune:
        return i == 1 ? editL_ : i == 2 ? static_cast<uint8_t>(editC_ & 0xFF) : i == 3 ? static_cast<uint8_t>(editC_ >> 8) : 0;
    case ScrBacklight: return i == 1 ? editBacklight_ : 0;
    case ScrAlarmHistory: {
        const size_t count = history_.size();
        if (i == 0) return static_cast<uint8_t>(count | historyTop_ << 4);
        return static_cast<size_t>(i) <= count ? history_[static_cast<size_t>(i - 1)] : 0;
    }
    default: return 0;
    }
}

std::array<uint8_t, StatusPayloadLength> SimAmplifier::Payload() const {
    const TxReadings& r = tx_.Readings();
    const uint16_t screen = Screen();
    kaldor::AmpStatus s;
    s.Header = static_cast<uint16_t>(kaldor::StatusFrameType << 4 | (startOperate_ ? 1 : 0));
    s.Flags = FlagsByte();
    s.Screen.store(screen);
    for (int i = 0; i < kaldor::AmpStatus::ScreenDataCount; ++i) s.ScreenData[i] = ScreenDataAt(i);
    s.Input = input_;
    s.OutOfBand = r.OutOfBand;
    s.Band = band_;
    const BandPlan& plan = kBands[band_];
    const uint16_t f = Frequency();
    s.SubBand = r.OutOfBand ? 0 : static_cast<uint16_t>(1 + (f - plan.Low) * 100 / (plan.High - plan.Low));
    s.Frequency = f;
    s.Antenna = AntennaValue();
    s.CatInterface = In().Cat;
    s.SwrGain = IsOperateScreen(screen) ? r.GainTenthsDb : r.Swr;
    const double t = celsius_ ? tx_.TemperatureC() : tx_.TemperatureC() * 9.0 / 5.0 + 32.0;
    s.Temperature = static_cast<uint16_t>(std::clamp(std::lround(t), 0L, 255L));
    s.OutputPower = r.OutputPower;
    s.ReflectedPower = r.ReflectedPower;
    s.PaVoltage = r.PaVoltage;
    s.PaCurrent = r.PaCurrent;
    std::array<uint8_t, StatusPayloadLength> p{};
    kaldor::EncodeStatusPayload(s, p.data());
    return p;
}

} // namespace kaldor::sim
