#pragma once
#include <cstdint>
#include <random>

namespace kaldor::sim {

// What the transmitter needs to know of the amplifier for one step.
struct TxConditions {
    bool Operate = false;   // amplifying; in standby the exciter's drive only passes through
    bool FullPower = true;
    int PowerControl = 100; // percent of the power limit
    bool AntennaReady = true;
};

// The readings the status frame carries, in its units.
struct TxReadings {
    bool Transmitting = false;   // TX lamp: the amplifier is keyed
    bool OutOfBand = false;      // the exciter sits outside the permitted bands
    int FrequencyOffset = 0;     // kHz the exciter is off the band's frequency
    uint16_t OutputPower = 0;    // tenths of W (drive power in standby)
    uint16_t ReflectedPower = 0; // tenths of W
    uint16_t PaVoltage = 0;      // tenths of V
    uint16_t PaCurrent = 0;      // tenths of A
    uint16_t Swr = 0;            // SWR x 100, 0 when nothing is measured
    uint16_t GainTenthsDb = 0;   // PA gain, 0 when not amplifying
};

// A plausible exciter and PA: transmit bursts of a few seconds at random pauses, readings that
// move towards their targets, a PA that warms with its dissipation, and now and then a bad
// antenna match, an exciter off the band, an overdrive or an overheating.
class SimTransmitter {
public:
    enum class Trip { None, Overdrive, OverTemperature };

    SimTransmitter(uint32_t seed, double now);

    // Advances to now; returns a protection trip when one occurred in this step.
    Trip Step(double now, const TxConditions& conditions);
    const TxReadings& Readings() const { return readings_; }
    double TemperatureC() const { return temperatureC_; }
    // Ends a burst at once (the amplifier dropped out of operate).
    void Unkey(double now);

    static constexpr double TripTemperatureC = 90.0;
    static constexpr double AmbientC = 28.0;

private:
    double Uniform(double lo, double hi);
    bool Chance(double p);
    void StartBurst(double now, const TxConditions& conditions);

    std::mt19937 rng_;
    double last_;
    double nextBurst_;
    double burstEnd_ = 0.0;
    bool inBurst_ = false;
    double drive_ = 0.0; // W
    double swr_ = 1.0;
    bool highReflection_ = false;
    bool overdrive_ = false;
    double driven_ = 0.0, out_ = 0.0, refl_ = 0.0, volts_ = 0.0, amps_ = 0.0; // smoothed, in W, V, A
    double temperatureC_ = AmbientC + 4.0;
    TxReadings readings_;
};

} // namespace kaldor::sim
