#include "sim/SimTransmitter.h"

#include <algorithm>
#include <cmath>

namespace kaldor::sim {
namespace {

constexpr double kFullPowerLimitW = 1100.0;
constexpr double kHalfPowerLimitW = 550.0;
constexpr double kFullGainDb = 14.5;
constexpr double kHalfGainDb = 11.5;
constexpr double kIdleVolts = 50.4;
constexpr double kVoltsPerAmp = 0.09;  // supply sag under load
constexpr double kEfficiency = 0.6;
constexpr double kBiasAmps = 0.6;      // operate, not keyed
constexpr double kHighReflectedW = 215.0;
constexpr double kMeterResponseS = 0.2;
constexpr double kThermalTimeS = 60.0;
constexpr double kKelvinPerDissipatedW = 0.06;
constexpr double kOverheatedC = 91.0;

uint16_t Tenths(double v) {
    return static_cast<uint16_t>(std::clamp(std::lround(v * 10.0), 0L, 65535L));
}

} // namespace

SimTransmitter::SimTransmitter(uint32_t seed, double now)
    : rng_(seed), last_(now), nextBurst_(now + 2.0), volts_(kIdleVolts) {}

double SimTransmitter::Uniform(double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(rng_);
}

bool SimTransmitter::Chance(double p) { return Uniform(0.0, 1.0) < p; }

void SimTransmitter::StartBurst(double now, const TxConditions& c) {
    inBurst_ = true;
    burstEnd_ = now + Uniform(1.5, 5.0);
    overdrive_ = c.Operate && Chance(1.0 / 30.0);
    drive_ = overdrive_ ? Uniform(75.0, 90.0) : Uniform(25.0, 50.0);
    highReflection_ = c.Operate && Chance(1.0 / 6.0);
    swr_ = highReflection_ ? Uniform(2.6, 3.2) : Uniform(1.05, 1.45);
    readings_.OutOfBand = Chance(1.0 / 15.0);
    readings_.FrequencyOffset = readings_.OutOfBand ? -static_cast<int>(Uniform(5.0, 40.0)) : 0;
    if (c.Operate && Chance(1.0 / 70.0)) temperatureC_ = kOverheatedC; // a fan gave up
}

void SimTransmitter::Unkey(double now) {
    inBurst_ = false;
    nextBurst_ = now + Uniform(2.0, 5.0);
}

SimTransmitter::Trip SimTransmitter::Step(double now, const TxConditions& c) {
    const double dt = std::clamp(now - last_, 0.0, 1.0);
    last_ = now;
    Trip trip = Trip::None;
    if (inBurst_ && now >= burstEnd_) {
        Unkey(now);
        nextBurst_ += Uniform(0.0, 2.0);
        readings_.OutOfBand = false;
        readings_.FrequencyOffset = 0;
    }
    if (!inBurst_ && now >= nextBurst_) {
        StartBurst(now, c);
        if (overdrive_) trip = Trip::Overdrive;
    }

    const double drive = inBurst_ ? drive_ * Uniform(0.85, 1.0) : 0.0; // speech or keying
    const bool keyed = inBurst_ && c.Operate && c.AntennaReady && !readings_.OutOfBand;
    double gamma2 = std::pow((swr_ - 1.0) / (swr_ + 1.0), 2.0);
    double outT = c.Operate ? 0.0 : drive; // standby: the exciter's drive passes through
    double voltsT = kIdleVolts;
    double ampsT = c.Operate ? kBiasAmps : 0.0;
    if (keyed) {
        const double limit = (c.FullPower ? kFullPowerLimitW : kHalfPowerLimitW) *
                             std::clamp(c.PowerControl, 0, 100) / 100.0;
        outT = std::min(drive * std::pow(10.0, (c.FullPower ? kFullGainDb : kHalfGainDb) / 10.0), limit);
        if (highReflection_) gamma2 = std::clamp(kHighReflectedW / std::max(outT, 1.0), 0.25, 0.5);
        ampsT = outT / (kIdleVolts * kEfficiency);
        voltsT = kIdleVolts - kVoltsPerAmp * ampsT;
        ampsT = outT / (voltsT * kEfficiency);
    }
    const double k = std::min(1.0, dt / kMeterResponseS);
    driven_ += (drive - driven_) * k;
    out_ += (outT - out_) * k;
    refl_ += (outT * gamma2 - refl_) * k;
    volts_ += (voltsT - volts_) * k;
    amps_ += (ampsT - amps_) * k;

    const double dissipated = std::max(0.0, volts_ * amps_ - out_);
    const double settle = AmbientC + dissipated * kKelvinPerDissipatedW;
    temperatureC_ += (settle - temperatureC_) * std::min(1.0, dt / kThermalTimeS);
    if (c.Operate && trip == Trip::None && temperatureC_ > TripTemperatureC) trip = Trip::OverTemperature;

    readings_.Transmitting = keyed;
    readings_.OutputPower = Tenths(out_);
    readings_.ReflectedPower = Tenths(refl_);
    readings_.PaVoltage = Tenths(volts_);
    readings_.PaCurrent = Tenths(amps_);
    const double gamma = std::sqrt(std::clamp(refl_ / std::max(out_, 1e-9), 0.0, 0.81));
    readings_.Swr = inBurst_ && out_ >= 0.5
                        ? static_cast<uint16_t>(std::lround(100.0 * (1.0 + gamma) / (1.0 - gamma)))
                        : 0;
    readings_.GainTenthsDb = keyed && driven_ > 0.5 && out_ > driven_
                                 ? static_cast<uint16_t>(std::lround(100.0 * std::log10(out_ / driven_)))
                                 : 0;
    return trip;
}

} // namespace kaldor::sim
