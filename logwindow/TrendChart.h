#pragma once
// The station log's trends: output power and reflected power (or SWR) against time, with the
// temperature on its own axis, on axes that read at a glance.
#include <cstdint>
#include <deque>

#ifdef KALDOR_HAVE_CHARTS
#include <QChartView>
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;
#endif

namespace kaldor {

// One second of telemetry, as the trends draw it.
struct TrendPoint {
    int64_t Ms;
    double Output, Reflected, Swr, Temperature; // W, W, ratio (0 none), degrees
    bool Celsius = true;                         // the unit the temperature was logged in
};

// An axis from Min to Max in steps of Step: 1, 2, 2.5 or 5 times a power of ten, at most
// maxTicks steps, covering lo to hi.
struct NiceAxis {
    double Min, Max, Step;
};
NiceAxis NiceAxisFor(double lo, double hi, int maxTicks = 6);

// Time ticks on round minutes or hours of local time: the first tick, the interval and the
// number of ticks that cover fromMs to toMs with at most maxTicks intervals. offsetMs: local
// time less UTC.
struct TimeTicks {
    int64_t FirstMs, StepMs;
    int Count;
};
TimeTicks TimeTicksFor(int64_t fromMs, int64_t toMs, int64_t offsetMs, int maxTicks = 6);

#ifdef KALDOR_HAVE_CHARTS
class TTrendChart : public QChartView {
public:
    explicit TTrendChart(QWidget* parent);
    // At most one point per pixel column or so: the highest reading of each slot.
    void Draw(const std::deque<TrendPoint>& points, int64_t fromMs, int64_t toMs, bool swr);

    QDateTimeAxis* TimeAxis() const { return time_; }
    QValueAxis* PowerAxis() const { return power_; }
    QValueAxis* TemperatureAxis() const { return degrees_; }

private:
    QLineSeries *output_, *second_, *temperature_;
    QDateTimeAxis* time_;
    QValueAxis *power_, *swr_, *degrees_;
    bool swrShown_ = false;
};
#endif

} // namespace kaldor
