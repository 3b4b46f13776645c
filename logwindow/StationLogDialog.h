#pragma once
// The station log window: the recorded events, newest first, and the trends of the last minutes
// or hours, both read from the log's files. It reads only while it is shown.
#include <QDialog>

#include <deque>
#include <memory>

#include "log/LogReader.h"
#include "logwindow/TrendChart.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QTabWidget;
class QTableView;
class QTimer;

namespace kaldor {

class TLogEventModel;
class TStationLogger;

class TdlgStationLog : public QDialog {
    Q_OBJECT
public:
    static constexpr int RefreshMs = 2000;
    static constexpr int MaxEventRows = 5000;
    // The trend spans offered, in seconds: 10 minutes, an hour, 6 hours, 24 hours.
    static constexpr int SpanSeconds[4] = {600, 3600, 6 * 3600, 24 * 3600};

    TdlgStationLog(TStationLogger& logger, QWidget* parent = nullptr);
    ~TdlgStationLog() override;

    QTabWidget* pgcLog = nullptr;
    QComboBox* cbKind = nullptr;    // All, Alerts, Link, Power, Changes
    QTableView* grdEvents = nullptr; // the events of the kind chosen, newest first
    QComboBox* cbSpan = nullptr;    // the SpanSeconds
    QComboBox* cbSecond = nullptr;  // Reflected power, SWR
    QLabel* stNoCharts = nullptr;   // a build without the charts says so
    QCheckBox* chkRecord = nullptr;
    QLabel* stError = nullptr;
    QPushButton* btnFolder = nullptr;
    QPushButton* btnClose = nullptr;

    using TrendPoint = kaldor::TrendPoint;
    const std::deque<TrendPoint>& Trend() const { return trend_; }
    // Reads what the files gained since the last refresh (the timer does this while shown).
    void Refresh();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Reads the files again from their start: the trend's, and the events' too when events.
    void Reload(bool events);
    void AddEvents(const std::vector<CsvRow>& rows);
    void ApplyFilter();
    void DrawTrend();

    TStationLogger& logger_;
    QTimer* tmrRefresh_ = nullptr;
    std::unique_ptr<LogTail> events_, telemetry_;
    LogTimeParser times_;
    std::deque<TrendPoint> trend_;
    int64_t spanMs_ = int64_t{SpanSeconds[1]} * 1000; // the telemetry kept: cbSpan's choice
    TLogEventModel* eventModel_ = nullptr;      // every event read, in file order
    QSortFilterProxyModel* shownEvents_ = nullptr; // those of the kind chosen, by true time
#ifdef KALDOR_HAVE_CHARTS
    TTrendChart* chart_ = nullptr;
#endif
};

} // namespace kaldor
