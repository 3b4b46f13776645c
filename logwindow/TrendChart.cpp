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
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    double step = 10 * decade;
    for (double m : {1.0, 2.0, 2.5, 5.0})
        if (m * decade >= raw) {
            step = m * decade;
            break;
        }
    const double min = std::floor(lo / step) * step;
    return {min, std::ceil(hi / step) * step, step};
}

TimeTicks TimeTicksFor(int64_t fromMs, int64_t toMs, int64_t offsetMs, int maxTicks) {
    constexpr int64_t kMinute = 60 * 1000, kHour = 60 * kMinute;
    static const int64_t steps[] = {kMinute, 2 * kMinute, 5 * kMinute, 10 * kMinute, 15 * kMinute,
                                    30 * kMinute, kHour, 2 * kHour, 3 * kHour, 6 * kHour, 12 * kHour};
    const int64_t span = std::max<int64_t>(toMs - fromMs, 1);
    int64_t step = steps[std::size(steps) - 1];
    for (int64_t s : steps)
        if (span / s <= maxTicks) {
            step = s;
            break;
        }
    auto floorTo = [&](int64_t ms) {
        const int64_t local = ms + offsetMs;
        const int64_t r = ((local % step) + step) % step;
        return ms - r;
    };
    const int64_t first = floorTo(fromMs);
    int64_t last = floorTo(toMs);
    if (last < toMs) last += step;
    return {first, step, static_cast<int>((last - first) / step) + 1};
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

void SetNice(QValueAxis* axis, double lo, double hi, const char* format) {
    const NiceAxis nice = NiceAxisFor(lo, hi);
    axis->setRange(nice.Min, nice.Max);
    axis->setTickAnchor(nice.Min);
    axis->setTickInterval(nice.Step);
    axis->setLabelFormat(QString::fromLatin1(format));
}

} // namespace

// Made with its chart: a view made without one makes its own, which setChart would leave behind.
TTrendChart::TTrendChart(QWidget* parent) : QChartView(new QChart, parent) {
    setObjectName(QStringLiteral("chtTrend"));
    QChart* chart = this->chart();
    chart->legend()->setAlignment(Qt::AlignBottom);
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
    bool celsius = true;
    long slot = -1;
    for (const auto& p : points) {
        if (p.Ms < fromMs) continue;
        const long s = long((p.Ms - fromMs) / slotMs);
        const double x = double(p.Ms);
        const double v2 = swr ? p.Swr : p.Reflected;
        if (s != slot || out.isEmpty()) {
            out.append({x, p.Output});
            second.append({x, v2});
            temp.append({x, p.Temperature});
            slot = s;
        } else {
            out.last().setY(std::max(out.last().y(), p.Output));
            second.last().setY(std::max(second.last().y(), v2));
            temp.last().setY(std::max(temp.last().y(), p.Temperature));
        }
        maxPower = std::max({maxPower, p.Output, p.Reflected});
        maxSwr = std::max(maxSwr, p.Swr);
        maxTemp = std::max(maxTemp, p.Temperature);
        minTemp = std::min(minTemp, p.Temperature);
        celsius = p.Celsius;
    }
    output_->replace(out);
    second_->replace(second);
    temperature_->replace(temp);

    const int64_t offsetMs = int64_t{QDateTime::fromMSecsSinceEpoch(toMs).offsetFromUtc()} * 1000;
    const TimeTicks ticks = TimeTicksFor(fromMs, toMs, offsetMs);
    time_->setRange(QDateTime::fromMSecsSinceEpoch(ticks.FirstMs),
                    QDateTime::fromMSecsSinceEpoch(ticks.FirstMs + (ticks.Count - 1) * ticks.StepMs));
    time_->setTickCount(ticks.Count);
    time_->setFormat(QStringLiteral("HH:mm"));
    SetNice(power_, 0, maxPower, "%.0f");
    SetNice(swr_, 1, maxSwr, maxSwr < 5 ? "%.1f" : "%.0f");
    SetNice(degrees_, minTemp > maxTemp ? 0 : std::max(0.0, minTemp - 5), maxTemp + 5, "%.0f");
    degrees_->setTitleText(QString::fromUtf8(celsius ? "Temperature (\u00B0C)" : "Temperature (\u00B0F)"));
}
#endif

} // namespace kaldor
