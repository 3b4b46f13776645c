#include "logwindow/TrendChart.h"

#include <algorithm>
#include <cmath>

#ifdef KALDOR_HAVE_CHARTS
#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QValueAxis>
#endif

namespace kaldor {

NiceAxis NiceAxisFor(double lo, double hi, int maxTicks) {
    maxTicks = std::max(1, maxTicks);
    if (!(hi > lo)) hi = lo + 1;
    const double raw = (hi - lo) / maxTicks;
    double decade = std::pow(10.0, std::floor(std::log10(raw)));
    // The smallest nice step whose rounded ends still take at most maxTicks intervals.
    for (int round = 0; round < 4; ++round, decade *= 10)
        for (double m : {1.0, 2.0, 2.5, 5.0}) {
            const double step = m * decade;
            if (step < raw) continue;
            const double min = std::floor(lo / step) * step, max = std::ceil(hi / step) * step;
            if (std::lround((max - min) / step) <= maxTicks) return {min, max, step};
        }
    const double step = 10 * decade;
    return {std::floor(lo / step) * step, std::ceil(hi / step) * step, step};
}

const char* LabelFormatFor(double step) {
    static const char* const formats[] = {"%.0f", "%.1f", "%.2f", "%.3f"};
    double scaled = std::fabs(step);
    for (int decimals = 0; decimals < 3; ++decimals, scaled *= 10)
        if (std::fabs(scaled - std::round(scaled)) < 1e-6 * std::max(1.0, scaled)) return formats[decimals];
    return formats[3];
}

TimeTicks TimeTicksFor(int64_t fromMs, int64_t toMs, int64_t offsetFromMs, int64_t offsetToMs, int maxTicks) {
    constexpr int64_t kMinute = 60 * 1000, kHour = 60 * kMinute;
    static const int64_t steps[] = {kMinute, 2 * kMinute, 5 * kMinute, 10 * kMinute, 15 * kMinute,
                                    30 * kMinute, kHour, 2 * kHour, 3 * kHour, 6 * kHour, 12 * kHour};
    maxTicks = std::max(1, maxTicks);
    toMs = std::max(toMs, fromMs + 1);
    const int64_t change = offsetToMs - offsetFromMs;
    auto ticksWith = [&](int64_t step) {
        const int64_t local = fromMs + offsetFromMs;
        const int64_t first = fromMs - (((local % step) + step) % step);
        const int64_t intervals = (toMs - first + step - 1) / step;
        return TimeTicks{first, step, static_cast<int>(intervals) + 1};
    };
    // First an interval the offset's change is a whole number of, then any.
    for (bool keepRound : {true, false})
        for (int64_t step : steps) {
            if (keepRound && change % step != 0) continue;
            const TimeTicks t = ticksWith(step);
            if (t.Count - 1 <= maxTicks) return t;
        }
    return ticksWith(steps[std::size(steps) - 1]);
}

double TemperatureIn(double degrees, bool loggedCelsius, bool axisCelsius) {
    if (loggedCelsius == axisCelsius) return degrees;
    return axisCelsius ? (degrees - 32) * 5 / 9 : degrees * 9 / 5 + 32;
}

#ifdef KALDOR_HAVE_CHARTS
namespace {

QLineSeries* Series(QChart* chart, const QString& name, const QColor& colour) {
    auto* s = new QLineSeries;
    s->setName(name);
    QPen pen(colour);
    pen.setWidthF(1.5);
    s->setPen(pen);
    chart->addSeries(s);
    return s;
}

QValueAxis* Axis(const QString& title) {
    auto* a = new QValueAxis;
    a->setTitleText(title);
    a->setLabelFormat(QStringLiteral("%.0f"));
    a->setTickType(QValueAxis::TicksDynamic);
    a->setTickAnchor(0);
    return a;
}

void SetNice(QValueAxis* axis, double lo, double hi) {
    const NiceAxis nice = NiceAxisFor(lo, hi);
    axis->setRange(nice.Min, nice.Max);
    axis->setTickAnchor(nice.Min);
    axis->setTickInterval(nice.Step);
    axis->setLabelFormat(QString::fromLatin1(LabelFormatFor(nice.Step)));
}

} // namespace

// Made with its chart: a view made without one makes its own, which setChart would leave behind.
TTrendChart::TTrendChart(QWidget* parent) : QChartView(new QChart, parent) {
    setObjectName(QStringLiteral("chtTrend"));
    QChart* chart = this->chart();
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setLocalizeNumbers(false); // "2.5" on every desktop, as the log writes it
    // Reflected power below the output power it is a part of.
    second_ = Series(chart, QStringLiteral("Reflected power (W)"), Qt::red);
    output_ = Series(chart, QStringLiteral("Output power (W)"), QColor(0x00, 0x90, 0x00));
    temperature_ = Series(chart, QStringLiteral("Temperature"), QColor(0xE0, 0x80, 0x00));
    time_ = new QDateTimeAxis;
    time_->setFormat(QStringLiteral("HH:mm"));
    time_->setTitleText(QStringLiteral("Time"));
    power_ = Axis(QStringLiteral("W"));
    swr_ = Axis(QStringLiteral("SWR"));
    degrees_ = Axis(QString::fromUtf8("Temperature (\u00B0C)"));
    chart->addAxis(time_, Qt::AlignBottom);
    chart->addAxis(power_, Qt::AlignLeft);
    chart->addAxis(degrees_, Qt::AlignRight);
    chart->addAxis(swr_, Qt::AlignRight);
    for (QLineSeries* s : {output_, second_, temperature_}) s->attachAxis(time_);
    output_->attachAxis(power_);
    second_->attachAxis(power_);
    temperature_->attachAxis(degrees_);
    setRenderHint(QPainter::Antialiasing);
}

void TTrendChart::Draw(const std::deque<TrendPoint>& points, int64_t fromMs, int64_t toMs, bool swr) {
    if (swr != swrShown_) {
        second_->detachAxis(swrShown_ ? swr_ : power_);
        second_->attachAxis(swr ? swr_ : power_);
        second_->setName(swr ? QStringLiteral("SWR") : QStringLiteral("Reflected power (W)"));
        swrShown_ = swr;
    }
    swr_->setVisible(swr);
    constexpr int kSlots = 1200;
    const double slotMs = std::max(1.0, double(toMs - fromMs) / kSlots);
    QList<QPointF> out, second, temp;
    double maxPower = 10, maxSwr = 2, maxTemp = 50, minTemp = 1e9;
    // The axis reads in the unit of the newest reading; older ones in the other are converted.
    bool celsius = true;
    for (auto p = points.rbegin(); p != points.rend(); ++p)
        if (p->Ms >= fromMs) {
            celsius = p->Celsius;
            break;
        }
    // The highest of each slot; a point is appended when its slot starts.
    auto keep = [](QList<QPointF>& series, bool newSlot, double x, double y) {
        if (newSlot || series.isEmpty()) series.append({x, y});
        else series.last().setY(std::max(series.last().y(), y));
    };
    long slot = -1, secondSlot = -1;
    for (const auto& p : points) {
        if (p.Ms < fromMs) continue;
        const long s = long((p.Ms - fromMs) / slotMs);
        const double x = double(p.Ms);
        const double degrees = TemperatureIn(p.Temperature, p.Celsius, celsius);
        keep(out, s != slot, x, p.Output);
        keep(temp, s != slot, x, degrees);
        slot = s;
        // An SWR of 0 is none: left out, not drawn below the axis.
        if (!swr || p.Swr > 0) {
            keep(second, s != secondSlot, x, swr ? p.Swr : p.Reflected);
            secondSlot = s;
        }
        maxPower = std::max({maxPower, p.Output, p.Reflected});
        maxSwr = std::max(maxSwr, p.Swr);
        maxTemp = std::max(maxTemp, degrees);
        minTemp = std::min(minTemp, degrees);
    }
    output_->replace(out);
    second_->replace(second);
    temperature_->replace(temp);

    auto offsetAt = [](int64_t ms) { return int64_t{QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc()} * 1000; };
    const TimeTicks ticks = TimeTicksFor(fromMs, toMs, offsetAt(fromMs), offsetAt(toMs));
    time_->setRange(QDateTime::fromMSecsSinceEpoch(ticks.FirstMs),
                    QDateTime::fromMSecsSinceEpoch(ticks.FirstMs + (ticks.Count - 1) * ticks.StepMs));
    time_->setTickCount(ticks.Count);
    time_->setFormat(QStringLiteral("HH:mm"));
    SetNice(power_, 0, maxPower);
    SetNice(swr_, 1, maxSwr);
    SetNice(degrees_, minTemp > maxTemp ? 0 : std::max(0.0, minTemp - 5), maxTemp + 5);
    degrees_->setTitleText(QString::fromUtf8(celsius ? "Temperature (\u00B0C)" : "Temperature (\u00B0F)"));
}
#endif

} // namespace kaldor
