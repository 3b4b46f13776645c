#include "logwindow/StationLogDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <cstdlib>

#include "log/LogColumns.h"
#include "log/LogFolder.h"
#include "log/LogTime.h"
#include "logwindow/LogEventModel.h"
#include "logwindow/StationLogger.h"
#include "logwindow/TrendChart.h"

namespace kaldor {
namespace {

const char* const kKinds[] = {"", "alert", "link", "power", "change"}; // by cbKind index

// False when the field holds no usable reading.
bool Number(const CsvRow& row, TelemetryColumn column, double& value) {
    return ParseReading(Field(row, column), value);
}

QComboBox* MakeChoice(const char* name, const QStringList& items) {
    auto* box = new QComboBox;
    box->setObjectName(QString::fromLatin1(name));
    box->addItems(items);
    return box;
}

// A tab's row above its content: the label, the boxes, then space.
QHBoxLayout* ChoiceRow(const QString& label, std::initializer_list<QComboBox*> boxes) {
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(label));
    for (QComboBox* box : boxes) row->addWidget(box);
    row->addStretch();
    return row;
}

} // namespace

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
    cbKind = MakeChoice("cbKind", {QStringLiteral("All"), QStringLiteral("Alerts"),
                                   QStringLiteral("Link"), QStringLiteral("Power"),
                                   QStringLiteral("Changes")});
    ev->addLayout(ChoiceRow(QStringLiteral("Show:"), {cbKind}));
    eventModel_ = new TLogEventModel(MaxEventRows, this);
    shownEvents_ = new QSortFilterProxyModel(this);
    shownEvents_->setSourceModel(eventModel_);
    shownEvents_->setFilterKeyColumn(static_cast<int>(EventColumn::Kind));
    shownEvents_->setSortRole(TLogEventModel::SortRole);
    shownEvents_->sort(static_cast<int>(EventColumn::Time), Qt::DescendingOrder); // newest first
    grdEvents = new QTableView;
    grdEvents->setModel(shownEvents_);
    grdEvents->setObjectName(QStringLiteral("grdEvents"));
    grdEvents->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdEvents->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdEvents->verticalHeader()->setVisible(false);
    grdEvents->verticalHeader()->setDefaultSectionSize(20);
    ev->addWidget(grdEvents);
    pgcLog->addTab(events, QStringLiteral("Events"));
    connect(cbKind, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { ApplyFilter(); });

    auto* trends = new QWidget;
    auto* tr = new QVBoxLayout(trends);
    cbSpan = MakeChoice("cbSpan", {QStringLiteral("10 minutes"), QStringLiteral("hour"),
                                   QStringLiteral("6 hours"), QStringLiteral("24 hours")});
    cbSpan->setCurrentIndex(1);
    cbSecond = MakeChoice("cbSecond", {QStringLiteral("Reflected power"), QStringLiteral("SWR")});
    tr->addLayout(ChoiceRow(QStringLiteral("Last:"), {cbSpan, cbSecond}));
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
    connect(cbSpan, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int i) {
        spanMs_ = int64_t{SpanSeconds[std::clamp(i, 0, 3)]} * 1000;
        Reload(false);
    });
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
    eventModel_->Clear();
    QDialog::hideEvent(event);
}

void TdlgStationLog::Reload(bool events) {
    const std::string folder = logger_.Log().Folder();
    if (events || !events_) {
        events_ = std::make_unique<LogTail>(folder, kEventsKind);
        eventModel_->Clear();
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

    const int64_t span = spanMs_;
    for (const CsvRow& row : telemetry_->ReadNew(LocalDay(now - span), today)) {
        const std::string& offset = Field(row, TelemetryColumn::UtcOffset);
        const std::string& time = Field(row, TelemetryColumn::Time);
        const int64_t ms = offset.empty() ? times_.Parse(time) : ParseLoggedTime(time, offset);
        if (ms < 0) continue;
        double output, reflected, swr, temperature;
        if (Number(row, TelemetryColumn::OutputW, output) && Number(row, TelemetryColumn::ReflectedW, reflected) &&
            Number(row, TelemetryColumn::Swr, swr) && Number(row, TelemetryColumn::Temperature, temperature))
            trend_.push_back({ms, output, reflected, swr, temperature, Field(row, TelemetryColumn::Unit) != "F"});
    }
    while (!trend_.empty() && trend_.front().Ms < now - span) trend_.pop_front();

    const QString error = QString::fromStdString(logger_.Log().Error());
    stError->setText(error.isEmpty() ? QString() : QStringLiteral("Not written: ") + error);
    DrawTrend();
}

void TdlgStationLog::AddEvents(const std::vector<CsvRow>& rows) {
    if (rows.empty()) return;
    eventModel_->Add(rows);
    grdEvents->resizeColumnsToContents();
}

void TdlgStationLog::ApplyFilter() {
    const int index = std::clamp(cbKind->currentIndex(), 0, 4);
    const QString kind = QString::fromLatin1(kKinds[index]);
    shownEvents_->setFilterRegularExpression(
        index == 0 ? QString() : QStringLiteral("^%1$").arg(QRegularExpression::escape(kind)));
}

void TdlgStationLog::DrawTrend() {
#ifdef KALDOR_HAVE_CHARTS
    if (pgcLog->currentIndex() != 1) return; // drawn when its tab is shown
    const int64_t now = logger_.Log().TimeMs();
    const int64_t span = spanMs_;
    chart_->Draw(trend_, now - span, now, cbSecond->currentIndex() == 1);
#endif
}

} // namespace kaldor
