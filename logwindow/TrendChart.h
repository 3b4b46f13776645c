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
// The labels' printf format: as many decimals as the step has ("%.1f" for 2.5, "%.2f" for 0.25).
const char* LabelFormatFor(double step);

// Time ticks on round minutes or hours of local time: the first tick, the interval and the
// number of ticks that cover fromMs to toMs with at most maxTicks intervals. The offsets are
// local time less UTC at either end; where they differ (a daylight-saving change in the span),
// an interval that the change is a whole number of keeps the ticks round on both sides.
struct TimeTicks {
    int64_t FirstMs, StepMs;
    int Count;
};
TimeTicks TimeTicksFor(int64_t fromMs, int64_t toMs, int64_t offsetFromMs, int64_t offsetToMs, int maxTicks = 6);

// A temperature in the unit of the axis.
double TemperatureIn(double degrees, bool loggedCelsius, bool axisCelsius);

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
