#pragma once
// The station log window: the recorded events, newest first, and the trends of the last minutes
// or hours, both read from the log's files. It reads only while it is shown.
#include <QDialog>

#include <deque>
#include <memory>

#include "log/LogReader.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QTimer;

namespace kaldor {

class TStationLogger;
class TTrendChart;

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
    QTableWidget* grdEvents = nullptr;
    QComboBox* cbSpan = nullptr;    // the SpanSeconds
    QComboBox* cbSecond = nullptr;  // Reflected power, SWR
    QLabel* stNoCharts = nullptr;   // a build without the charts says so
    QCheckBox* chkRecord = nullptr;
    QLabel* stError = nullptr;
    QPushButton* btnFolder = nullptr;
    QPushButton* btnClose = nullptr;

    // One second of telemetry, as the trends draw it.
    struct TrendPoint {
        int64_t Ms;
        double Output, Reflected, Swr, Temperature; // W, W, ratio (0 none), degrees
    };
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
    TTrendChart* chart_ = nullptr;
};

} // namespace kaldor
