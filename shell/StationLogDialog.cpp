#include "shell/StationLogDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <cstdlib>

#ifdef KALDOR_HAVE_CHARTS
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QValueAxis>
#endif

#include "log/Csv.h"
#include "log/LogFolder.h"
#include "shell/StationLogger.h"

namespace kaldor {
namespace {

const char* const kEventColumns[] = {"Time", "Kind", "Event", "Text", "Mode", "Input", "Band", "Antenna",
                                     "CAT", "Output W", "Reflected W", "SWR", "Gain dB", "Temp",
                                     "Unit", "PA V", "PA A"};
constexpr int kEventColumnCount = static_cast<int>(std::size(kEventColumns));
const char* const kKinds[] = {"", "alert", "link", "power", "change"}; // by cbKind index

// False when the field holds no usable reading.
bool Number(const CsvRow& row, size_t i, double& value) {
    return ParseReading(i < row.size() ? row[i] : std::string(), value);
}

} // namespace

#ifdef KALDOR_HAVE_CHARTS
// Output power and reflected power (or SWR) against time, with the temperature on its own axis.
class TTrendChart : public QChartView {
public:
    // Made with its chart: a view made without one makes its own, which setChart would leave behind.
    explicit TTrendChart(QWidget* parent) : QChartView(new QChart, parent) {
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
        degrees_ = Axis(QStringLiteral("Temperature"));
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

    // At most one point per pixel column or so: the highest reading of each slot.
    void Draw(const std::deque<TdlgStationLog::TrendPoint>& points, int64_t fromMs, int64_t toMs, bool swr) {
        if (swr != swr_shown_) {
            second_->detachAxis(swr_shown_ ? swr_ : power_);
            second_->attachAxis(swr ? swr_ : power_);
            second_->setName(swr ? QStringLiteral("SWR") : QStringLiteral("Reflected power (W)"));
            swr_shown_ = swr;
        }
        swr_->setVisible(swr);
        constexpr int kSlots = 1200;
        const double slotMs = std::max(1.0, double(toMs - fromMs) / kSlots);
        QList<QPointF> out, second, temp;
        double maxPower = 10, maxSwr = 2, maxTemp = 50, minTemp = 1e9;
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
        }
        output_->replace(out);
        second_->replace(second);
        temperature_->replace(temp);
        time_->setRange(QDateTime::fromMSecsSinceEpoch(fromMs), QDateTime::fromMSecsSinceEpoch(toMs));
        time_->setFormat(toMs - fromMs > 2 * 3600 * 1000 ? QStringLiteral("HH:mm") : QStringLiteral("HH:mm:ss"));
        power_->setRange(0, maxPower * 1.1);
        swr_->setRange(1, maxSwr * 1.1);
        degrees_->setRange(minTemp > maxTemp ? 0 : std::max(0.0, minTemp - 5), maxTemp + 5);
    }

private:
    static QLineSeries* Series(QChart* chart, const QString& name, const QColor& colour) {
        auto* s = new QLineSeries;
        s->setName(name);
        QPen pen(colour);
        pen.setWidthF(1.5);
        s->setPen(pen);
        chart->addSeries(s);
        return s;
    }
    static QValueAxis* Axis(const QString& title) {
        auto* a = new QValueAxis;
        a->setTitleText(title);
        a->setLabelFormat(QStringLiteral("%.0f"));
        return a;
    }

    QLineSeries *output_, *second_, *temperature_;
    QDateTimeAxis* time_;
    QValueAxis *power_, *swr_, *degrees_;
    bool swr_shown_ = false;
};
#endif

TdlgStationLog::TdlgStationLog(TStationLogger& logger, QWidget* parent)
    : QDialog(parent), logger_(logger) {
    setObjectName(QStringLiteral("dlgStationLog"));
    setWindowTitle(QStringLiteral("Station log"));
    resize(900, 520);
    auto* layout = new QVBoxLayout(this);
    pgcLog = new QTabWidget(this);
    layout->addWidget(pgcLog);

    auto* events = new QWidget;
    auto* ev = new QVBoxLayout(events);
    auto* evTop = new QHBoxLayout;
    evTop->addWidget(new QLabel(QStringLiteral("Show:")));
    cbKind = new QComboBox;
    cbKind->setObjectName(QStringLiteral("cbKind"));
    cbKind->addItems({QStringLiteral("All"), QStringLiteral("Alerts"), QStringLiteral("Link"),
                      QStringLiteral("Power"), QStringLiteral("Changes")});
    evTop->addWidget(cbKind);
    evTop->addStretch();
    ev->addLayout(evTop);
    grdEvents = new QTableWidget(0, kEventColumnCount);
    grdEvents->setObjectName(QStringLiteral("grdEvents"));
    QStringList headers;
    for (const char* h : kEventColumns) headers << QString::fromLatin1(h);
    grdEvents->setHorizontalHeaderLabels(headers);
    grdEvents->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdEvents->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdEvents->verticalHeader()->setVisible(false);
    grdEvents->verticalHeader()->setDefaultSectionSize(20);
    ev->addWidget(grdEvents);
    pgcLog->addTab(events, QStringLiteral("Events"));
    connect(cbKind, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { ApplyFilter(); });

    auto* trends = new QWidget;
    auto* tr = new QVBoxLayout(trends);
    auto* trTop = new QHBoxLayout;
    trTop->addWidget(new QLabel(QStringLiteral("Last:")));
    cbSpan = new QComboBox;
    cbSpan->setObjectName(QStringLiteral("cbSpan"));
    cbSpan->addItems({QStringLiteral("10 minutes"), QStringLiteral("hour"), QStringLiteral("6 hours"),
                      QStringLiteral("24 hours")});
    cbSpan->setCurrentIndex(1);
    trTop->addWidget(cbSpan);
    cbSecond = new QComboBox;
    cbSecond->setObjectName(QStringLiteral("cbSecond"));
    cbSecond->addItems({QStringLiteral("Reflected power"), QStringLiteral("SWR")});
    trTop->addWidget(cbSecond);
    trTop->addStretch();
    tr->addLayout(trTop);
#ifdef KALDOR_HAVE_CHARTS
    chart_ = new TTrendChart(trends);
    tr->addWidget(chart_);
#else
    stNoCharts = new QLabel(QStringLiteral("The trends are not part of this build of the console."));
    stNoCharts->setObjectName(QStringLiteral("stNoCharts"));
    stNoCharts->setAlignment(Qt::AlignCenter);
    tr->addWidget(stNoCharts, 1);
#endif
    pgcLog->addTab(trends, QStringLiteral("Trends"));
    connect(cbSpan, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { Reload(false); });
    connect(pgcLog, &QTabWidget::currentChanged, this, [this] { DrawTrend(); });
    connect(cbSecond, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { DrawTrend(); });

    auto* bottom = new QHBoxLayout;
    chkRecord = new QCheckBox(QStringLiteral("&Record the station log"));
    chkRecord->setObjectName(QStringLiteral("chkRecord"));
    chkRecord->setChecked(logger_.Log().Enabled());
    connect(chkRecord, &QCheckBox::toggled, this, [this](bool on) { logger_.SetRecording(on); });
    bottom->addWidget(chkRecord);
    stError = new QLabel;
    stError->setObjectName(QStringLiteral("stError"));
    stError->setStyleSheet(QStringLiteral("color: red"));
    stError->setWordWrap(true);
    bottom->addWidget(stError, 1);
    btnFolder = new QPushButton(QStringLiteral("Open &folder"));
    btnFolder->setObjectName(QStringLiteral("btnFolder"));
    connect(btnFolder, &QPushButton::clicked, this, [this] {
        const QString folder = QString::fromStdString(logger_.Log().Folder());
        QDir().mkpath(folder);
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    });
    bottom->addWidget(btnFolder);
    btnClose = new QPushButton(QStringLiteral("Close"));
    connect(btnClose, &QPushButton::clicked, this, &QDialog::close);
    bottom->addWidget(btnClose);
    layout->addLayout(bottom);

    tmrRefresh_ = new QTimer(this);
    tmrRefresh_->setInterval(RefreshMs);
    connect(tmrRefresh_, &QTimer::timeout, this, [this] { Refresh(); });
}

TdlgStationLog::~TdlgStationLog() = default;

void TdlgStationLog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Reload(true);
    tmrRefresh_->start();
}

// Nothing is read or kept while the window is closed.
void TdlgStationLog::hideEvent(QHideEvent* event) {
    tmrRefresh_->stop();
    events_.reset();
    telemetry_.reset();
    trend_.clear();
    grdEvents->setRowCount(0);
    QDialog::hideEvent(event);
}

void TdlgStationLog::Reload(bool events) {
    const std::string folder = logger_.Log().Folder();
    if (events || !events_) {
        events_ = std::make_unique<LogTail>(folder, kEventsKind);
        grdEvents->setRowCount(0);
    }
    telemetry_ = std::make_unique<LogTail>(folder, kTelemetryKind);
    trend_.clear();
    Refresh();
}

void TdlgStationLog::Refresh() {
    if (!events_ || !telemetry_) return;
    const int64_t now = logger_.Log().TimeMs();
    const std::string today = LocalDay(now);
    AddEvents(events_->ReadNew("0000-00-00", "9999-99-99")); // days after today too: a clock put back wrote them

    const int64_t span = int64_t{SpanSeconds[std::clamp(cbSpan->currentIndex(), 0, 3)]} * 1000;
    for (const CsvRow& row : telemetry_->ReadNew(LocalDay(now - span), today)) {
        const int64_t ms = times_.Parse(row.empty() ? std::string() : row[0]);
        if (ms < 0) continue;
        // time,mode,tx,band,antenna,output_w,reflected_w,pa_voltage_v,pa_current_a,swr,gain_db,temperature,unit
        double output, reflected, swr, temperature;
        if (Number(row, 5, output) && Number(row, 6, reflected) && Number(row, 9, swr) && Number(row, 11, temperature))
            trend_.push_back({ms, output, reflected, swr, temperature});
    }
    while (!trend_.empty() && trend_.front().Ms < now - span) trend_.pop_front();

    const QString error = QString::fromStdString(logger_.Log().Error());
    stError->setText(error.isEmpty() ? QString() : QStringLiteral("Not written: ") + error);
    DrawTrend();
}

void TdlgStationLog::AddEvents(const std::vector<CsvRow>& rows) {
    if (rows.empty()) return;
    grdEvents->setUpdatesEnabled(false);
    const size_t first = rows.size() > size_t{MaxEventRows} ? rows.size() - MaxEventRows : 0;
    const int added = static_cast<int>(rows.size() - first);
    grdEvents->model()->insertRows(0, added); // newest first
    for (int r = 0; r < added; ++r) {
        const CsvRow& row = rows[rows.size() - 1 - static_cast<size_t>(r)];
        const bool alert = row.size() > 1 && row[1] == "alert";
        for (int c = 0; c < kEventColumnCount && c < static_cast<int>(row.size()); ++c) {
            auto* item = new QTableWidgetItem(QString::fromUtf8(row[static_cast<size_t>(c)].c_str()));
            if (alert) item->setForeground(QColor(Qt::red));
            grdEvents->setItem(r, c, item);
        }
    }
    while (grdEvents->rowCount() > MaxEventRows) grdEvents->removeRow(grdEvents->rowCount() - 1);
    ApplyFilter();
    grdEvents->setUpdatesEnabled(true);
    grdEvents->resizeColumnsToContents();
}

void TdlgStationLog::ApplyFilter() {
    const int index = std::clamp(cbKind->currentIndex(), 0, 4);
    const QString kind = QString::fromLatin1(kKinds[index]);
    for (int r = 0; r < grdEvents->rowCount(); ++r) {
        const QTableWidgetItem* item = grdEvents->item(r, 1);
        grdEvents->setRowHidden(r, index != 0 && (!item || item->text() != kind));
    }
}

void TdlgStationLog::DrawTrend() {
#ifdef KALDOR_HAVE_CHARTS
    if (pgcLog->currentIndex() != 1) return; // drawn when its tab is shown
    const int64_t now = logger_.Log().TimeMs();
    const int64_t span = int64_t{SpanSeconds[std::clamp(cbSpan->currentIndex(), 0, 3)]} * 1000;
    chart_->Draw(trend_, now - span, now, cbSecond->currentIndex() == 1);
#endif
}

} // namespace kaldor
