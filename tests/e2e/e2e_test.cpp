// The console as a user runs it against the simulated amplifier: started as the program starts
// it, driven by its keyboard shortcuts, and checked on what its window shows.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QTabWidget>
#ifdef KALDOR_HAVE_CHARTS
#include <QChartView>
#include <QLineSeries>
#endif
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTableView>
#include <QProgressBar>
#include <QTest>
#include <QToolButton>

#include <atomic>
#include <chrono>
#include <mutex>

#include "e2e/SimClock.h"
#include "log/Csv.h"
#include "log/LogColumns.h"
#include "log/LogTime.h"
#include "log/LogFolder.h"
#include "log/LogReader.h"
#include "panel/InfoDialogs.h"
#include "shell/MessageBox.h"
#include "logwindow/LogEventModel.h"
#include "logwindow/StationLogDialog.h"
#include "logwindow/StationLogger.h"
#include "logwindow/TrendChart.h"
#include "sim/SimServer.h"
#include "support/StepSleeper.h"
#include "window/LcdReader.h"
#include "window/WindowFixture.h"

using namespace kaldor;
using namespace kaldor::test;

namespace {

constexpr int kWaitMs = 10000; // only a failing test waits this long

class EndToEnd : public WindowFixtureBase {
protected:
    // The simulator's line: a pseudo-terminal with DTR handed over, or (as --simulate on
    // Windows) a remote serial port on loopback, DTR travelling as SET-CONTROL.
    virtual bool Remote() const { return false; }

    void SetUp() override {
#ifdef _WIN32
        if (!Remote()) GTEST_SKIP() << "a pseudo-terminal line needs POSIX";
#endif
        std::string error;
        auto line = Remote() ? sim::OpenRfc2217Line("127.0.0.1", 0, error) : sim::OpenPseudoTerminal(error);
        ASSERT_TRUE(line) << error;
        sim::SimOptions options;
        options.Seed = 1; // its first transmit burst is a clean one
        // Slowed until the console is up, so that burst comes only when a test asks for it.
        clock.SetRate(0.25);
        server = std::make_unique<sim::SimServer>(std::move(line), options, [this] { return clock.Now(); });
        const std::string device = server->DevicePath();
        SetEnv("KALDOR_COM1", device);
        for (int n = 2; n <= PortCount; ++n) // no real devices probed
            SetEnv("KALDOR_COM" + std::to_string(n), "/nonexistent/kaldor");
        SerialPort::SetDtrObserver([this, device](const std::string& name, bool raised) {
            if (name != device) return;
            dtr = raised;
            if (!Remote()) server->SetDtr(raised);
        });
        server->Start();

        FreshSettings().SaveComPort(1);
        NewWindow();
        ASSERT_TRUE(form->FormCreate());
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        ASSERT_TRUE(Until([&] { return form->stMode->text() == QStringLiteral("STANDBY MODE"); }));
        clock.SetRate(1.0);
    }
    void TearDown() override {
        WindowFixtureBase::TearDown();
        SerialPort::SetDtrObserver({});
        server.reset();
    }

    // A key as the user presses it in the main window: Alt and the key's letter (or sign).
    void Press(Qt::Key key) {
        form->activateWindow(); // a report dialog that came up has the focus
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        // Through the window system's door, as a real key: shortcuts are looked up from there.
        QTest::keyClick(form->windowHandle(), key, Qt::AltModifier);
    }
    static bool Until(const std::function<bool()>& pred) { return QTest::qWaitFor(pred, kWaitMs); }

    std::string LcdRow(int row) const { return reader.Text(form->imgLCD->Image(), row); }
    std::string LcdHighlight() const {
        std::string mask;
        for (int row = 0; row < 8; ++row) mask += reader.InverseMask(form->imgLCD->Image(), row);
        return mask;
    }
    // The text under the highlight.
    std::string Highlighted() const {
        std::string text;
        for (int row = 0; row < 8; ++row) {
            const std::string line = LcdRow(row), mask = reader.InverseMask(form->imgLCD->Image(), row);
            for (size_t c = 0; c < line.size(); ++c)
                if (mask[c] == '#') text += line[c];
        }
        return text;
    }
    void OffAndOn();
    bool Connected() const {
        return form->StatusPanels[1]->text() == QStringLiteral("Remote connection: ON");
    }

    SimClock clock;
    StepSleeper sleeper; // the power sequence's delays end when the test says so
    std::atomic<bool> dtr{false};
    std::unique_ptr<sim::SimServer> server;
    LcdReader reader;
};

TEST_F(EndToEnd, OperateShowsTheTransmitReadingsOnTheMetersAndStandbyEndsThem) {
    EXPECT_TRUE(Connected());
    EXPECT_EQ(form->Frm_PA->stLabel->text(), QStringLiteral("XCTR OUT"));
    EXPECT_FALSE(form->pnl_LCD->isVisible());

    Press(Qt::Key_O);
    ASSERT_TRUE(Until([&] { return form->stMode->text() == QStringLiteral("OPERATE MODE"); }));
    EXPECT_EQ(form->stMode->FontColor(), clYellow);
    EXPECT_EQ(form->stOperate->Color(), clYellow);
    EXPECT_EQ(form->Frm_PA->stLabel->text(), QStringLiteral("PA OUT"));
    EXPECT_EQ(form->Frm_PA->st100->text(), QStringLiteral("1200")); // full power

    clock.Jump(5.0); // to the first transmit burst
    ASSERT_TRUE(Until([&] { return form->stTX->Color() == clRed && form->Frm_PA->Value > 1000; }))
        << "TX lamp " << form->stTX->Color() << ", PA OUT " << form->Frm_PA->Value;
    EXPECT_GT(form->Frm_IPA->Value, 20); // amperes under load
    EXPECT_GT(form->Frm_VPA->Value, 400);
    EXPECT_GE(form->Frm_PA->Peak, form->Frm_PA->Value);
    EXPECT_NE(form->Frm_PA->stPeak->text(), QStringLiteral("   0.0"));
    EXPECT_EQ(form->stTX->FontColor(), clBlack);

    Press(Qt::Key_O);
    ASSERT_TRUE(Until([&] { return form->stMode->text() == QStringLiteral("STANDBY MODE"); }));
    EXPECT_EQ(form->Frm_PA->stLabel->text(), QStringLiteral("XCTR OUT"));
    EXPECT_EQ(form->Frm_PR->Value, 0); // switched off
    EXPECT_EQ(form->Frm_PR->stLabel->FontColor(), clGray);
    EXPECT_TRUE(Until([&] { return form->stTX->Color() == clBlack; }));
}

TEST_F(EndToEnd, SetupMenusShowOnTheDisplayAndTheArrowKeysMoveTheHighlight) {
    Press(Qt::Key_S);
    ASSERT_TRUE(Until([&] { return form->pnl_LCD->isVisible() && LcdRow(0).find("SETUP OPTIONS") != std::string::npos; }))
        << LcdRow(0);
    EXPECT_EQ(form->stSet->Color(), clLime);
    const std::string first = Highlighted();
    const std::string mask = LcdHighlight();
    EXPECT_NE(first.find("ANTENNA"), std::string::npos) << first;

    Press(Qt::Key_Plus);
    ASSERT_TRUE(Until([&] { return LcdHighlight() != mask; }));
    const std::string second = Highlighted();
    EXPECT_NE(second, first);
    EXPECT_NE(second.find_first_not_of(' '), std::string::npos) << "highlight on blanks only";

    Press(Qt::Key_Minus);
    ASSERT_TRUE(Until([&] { return LcdHighlight() == mask; })) << Highlighted();

    Press(Qt::Key_S); // into SET ANTENNA
    ASSERT_TRUE(Until([&] { return LcdRow(0).find("SET ANTENNA") != std::string::npos; })) << LcdRow(0);
    EXPECT_FALSE(form->stContest->isVisible());
}

TEST_F(EndToEnd, DisplayKeyShowsTheTwoReportDialogsInTurn) {
    ASSERT_NE(form->dlgCATInfo, nullptr);
    EXPECT_FALSE(form->dlgCATInfo->isVisible());
    Press(Qt::Key_D);
    ASSERT_TRUE(Until([&] { return form->dlgCATInfo->isVisible(); }));
    const QString cat = form->dlgCATInfo->edtInfo->toPlainText();
    EXPECT_FALSE(cat.trimmed().isEmpty());
    EXPECT_NE(form->dlgCATInfo->windowTitle().indexOf(QStringLiteral("CATs")), -1);

    Press(Qt::Key_D);
    ASSERT_TRUE(Until([&] { return form->dlgANTInfo->isVisible(); }));
    ASSERT_TRUE(Until([&] { return !form->dlgANTInfo->edtInfo->toPlainText().trimmed().isEmpty(); }));
    EXPECT_EQ(form->dlgANTInfo->ShownReport, 0);
    Press(Qt::Key_D); // the same report the other way round
    ASSERT_TRUE(Until([&] { return form->dlgANTInfo->ShownReport == 1; }));

    Press(Qt::Key_D);
    ASSERT_TRUE(Until([&] { return form->stMode->text() == QStringLiteral("STANDBY MODE"); }));
}

class EndToEndRemote : public EndToEnd {
    bool Remote() const override { return true; }
};

TEST_F(EndToEnd, OffSwitchesTheAmplifierOffAndOnBringsItBackThroughDtr) { OffAndOn(); }
TEST_F(EndToEndRemote, OffSwitchesTheAmplifierOffAndOnBringsItBackThroughDtr) { OffAndOn(); }

void EndToEnd::OffAndOn() {
    std::vector<MessageBoxCall> boxes;
    ScopedMessageBoxResponder answer([&](const MessageBoxCall& call) {
        boxes.push_back(call);
        return IDYES;
    });

    Press(Qt::Key_F);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, QStringLiteral("Do you really want to turn KALDOR off?"));
    EXPECT_FALSE(form->sbON->isEnabled());
    EXPECT_FALSE(form->sbOFF->isEnabled());
    ASSERT_TRUE(sleeper.WaitRequested(1));
    EXPECT_EQ(sleeper.Requested().back(), 2000);
    // The status bar follows only after two read time-outs; the check that ends OFF looks at once.
    ASSERT_TRUE(Until([&] { return !form->AmplifierAnswers(); })) << "the amplifier went on sending";
    sleeper.ReleaseNext();
    ASSERT_TRUE(Until([&] { return form->sbON->isEnabled(); }));
    EXPECT_EQ(boxes.size(), 1u) << "off, so no warning";

    // The progress bar moves on the blink timer's real ticks: stopped, the bar is seen as the
    // panel shows it, however late a loaded machine looks.
    form->tmrWarning->stop();
    Press(Qt::Key_N);
    EXPECT_FALSE(form->sbON->isEnabled());
    ASSERT_TRUE(sleeper.WaitRequested(2));
    EXPECT_EQ(sleeper.Requested().back(), form->ResponseDelay);
    sleeper.ReleaseNext(); // no answer: the power line goes up
    ASSERT_TRUE(Until([&] { return form->pnlInit->isVisible(); }));
    EXPECT_TRUE(dtr);
    EXPECT_EQ(form->pbInit->value(), 0);
    ASSERT_TRUE(sleeper.WaitRequested(3));
    EXPECT_EQ(sleeper.Requested().back(), form->StartupDelay);

    clock.Jump(sim::SimAmplifier::DtrPowerOnHold); // the amplifier's start-up, without the wait
    ASSERT_TRUE(Until([&] { return server->Powered() && form->AmplifierAnswers(); })) << "DTR came through";
    ASSERT_TRUE(Until([&] { return Connected() && form->stMode->text() == QStringLiteral("STANDBY MODE"); }));
    EXPECT_FALSE(form->sbON->isEnabled()) << "the sequence still runs";

    sleeper.ReleaseNext();
    ASSERT_TRUE(Until([&] { return !form->pnlInit->isVisible(); }));
    ASSERT_TRUE(form->itmShutdown->isChecked()); // the default
    EXPECT_TRUE(dtr) << "held up in the shutdown mode";
    ASSERT_TRUE(sleeper.WaitRequested(4));
    sleeper.ReleaseNext();
    ASSERT_TRUE(Until([&] { return form->sbON->isEnabled() && form->sbOFF->isEnabled(); }));
    EXPECT_TRUE(Connected());
    EXPECT_EQ(boxes.size(), 1u);
}

} // namespace

namespace {

using Rows = std::vector<std::vector<std::string>>;

Rows ReadLog(const QString& folder, const char* kind, const std::string& day) {
    QFile f(QString::fromStdString(LogFilePath(folder.toStdString(), kind, day)));
    if (!f.open(QIODevice::ReadOnly)) return {};
    size_t used = 0;
    Rows rows = ParseCsv(f.readAll().toStdString(), used);
    if (!rows.empty()) rows.erase(rows.begin());
    return rows;
}

class StationLogEndToEnd : public EndToEnd {
protected:
#ifdef _WIN32
    bool Remote() const override { return true; } // the simulator's line there, as --simulate
#endif
    // The log's wall clock follows the simulated amplifier's, jumps included.
    std::unique_ptr<TStationLogger> Attach(const QString& folder) {
        StationLogOptions o;
        o.Folder = folder.toStdString();
        o.FlushMs = 50;
        o.Clock = [this] { return base + static_cast<int64_t>(clock.Now() * 1000); };
        return std::make_unique<TStationLogger>(*form, *settings, o);
    }
    int64_t base = SystemTimeMs() - 100000;
};

} // namespace

TEST_F(StationLogEndToEnd, ASessionIsRecordedInOrderWithItsValuesAndOneTelemetryRowASecond) {
    QTemporaryDir folder;
    auto logger = Attach(folder.path());
    const std::string day = LocalDay(logger->Log().TimeMs());
    ScopedMessageBoxResponder yes([](const MessageBoxCall&) { return IDYES; });
    ASSERT_TRUE(Until([&] { // in standby
        logger->Log().Flush();
        return ReadLog(folder.path(), kEventsKind, day).size() >= 2;
    }));

    Press(Qt::Key_O);
    ASSERT_TRUE(Until([&] { return form->stMode->text() == QStringLiteral("OPERATE MODE"); }));
    clock.Jump(5.0); // to the first transmit burst
    ASSERT_TRUE(Until([&] { return form->stTX->Color() == clRed && form->Frm_PA->Value > 1000; }));
    QTest::qWait(1500); // telemetry of the burst
    const QString band = form->stBand->text();
    Press(Qt::Key_B);
    ASSERT_TRUE(Until([&] { return form->stBand->text() != band; }));
    server->RaiseAlert(kaldor::ScrOverdrive);
    ASSERT_TRUE(Until([&] { return form->stMode->text() == QStringLiteral("ALERT MODE"); }));
    Press(Qt::Key_F);
    ASSERT_TRUE(sleeper.WaitRequested(1));
    ASSERT_TRUE(Until([&] { return !form->AmplifierAnswers(); }));
    sleeper.ReleaseNext();
    // The display shows the loss after two read time-outs, as it does without the log.
    ASSERT_TRUE(Until([&] { return form->sbON->isEnabled() && !Connected(); }));
    logger.reset(); // the console ends: everything is written

    const Rows events = ReadLog(folder.path(), kEventsKind, day);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Link up", "COM1 " + server->DevicePath()}, {"Operate", ""},
        {"Band", band.toStdString() + " -> " + form->stBand->text().toStdString()},
        {"Alert", "P.A. MANAGEMENT : OVER DRIVING"}, {"OFF sent", ""},
        {"Link lost", "COM1 " + server->DevicePath()}, {"Console ended", ""}};
    size_t next = 0;
    std::string all;
    bool offDone = false; // its check looks at once, the status bar only after two read time-outs
    for (const auto& row : events) {
        if (row[2] == "OFF") offDone = next > 4 && row[3] == "done: the amplifier is off";
        ASSERT_EQ(row.size(), 18u);
        all += row[2] + " | ";
        if (next < expected.size() && row[2] == expected[next].first) {
            EXPECT_EQ(row[3], expected[next].second) << row[2];
            if (row[2] == "Alert") { EXPECT_EQ(row[1], "alert"); }
            if (row[2] == "Operate") { EXPECT_EQ(row[4], "OPERATE"); }
            if (row[2] == "Band") { EXPECT_NE(row[6], ""); }
            if (row[2] == "Link lost") { EXPECT_EQ(row[14], "C"); }
            ++next;
        }
    }
    EXPECT_EQ(next, expected.size()) << all;
    EXPECT_TRUE(offDone) << all;

    const Rows telemetry = ReadLog(folder.path(), kTelemetryKind, day);
    ASSERT_GE(telemetry.size(), 3u);
    LogTimeParser times;
    int64_t last = -1;
    double peak = 0;
    int steps = 0;
    for (const auto& row : telemetry) {
        ASSERT_EQ(row.size(), 14u);
        const int64_t t = times.Parse(row[0]);
        EXPECT_GT(t, last) << row[0];
        if (last >= 0 && t - last == 1000) ++steps;
        last = t;
        if (row[2] == "1") peak = std::max(peak, std::atof(row[5].c_str()));
        EXPECT_GT(std::atof(row[7].c_str()), 20.0) << "PA volts";
    }
    EXPECT_GT(peak, 100.0) << "watts out in the burst";
    EXPECT_GE(steps + 3, static_cast<int>(telemetry.size())) << "one row a second, but for the jump";
}

TEST_F(StationLogEndToEnd, TheLogWindowListsTheEventsNewestFirstAndSaysWhenItCannotWrite) {
    QTemporaryDir dir;
    QFile(dir.filePath("file")).open(QIODevice::WriteOnly); // a file where the folder should be
    auto logger = Attach(dir.filePath("file/log"));
    const QList<QAction*> items = form->itmFile->actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0]->text(), QStringLiteral("Station &log..."));
    EXPECT_EQ(items[1], form->itmExit);

    Press(Qt::Key_O); // the console runs on
    ASSERT_TRUE(Until([&] { return form->stMode->text() == QStringLiteral("OPERATE MODE"); }));
    logger->Log().Flush();
    logger->itmStationLog->trigger();
    TdlgStationLog* dlg = logger->dlgStationLog;
    ASSERT_TRUE(dlg && dlg->isVisible());
#ifdef _WIN32
    EXPECT_FALSE(dlg->stError->text().isEmpty()); // the system's own words
#else
    EXPECT_NE(dlg->stError->text().indexOf(QStringLiteral("Not a directory")), -1) << dlg->stError->text().toStdString();
#endif
    EXPECT_EQ(dlg->grdEvents->model()->rowCount(), 0);
    dlg->close();

    QTemporaryDir folder;
    logger = Attach(folder.path());
    server->RaiseAlert(kaldor::ScrOverTemperature);
    ASSERT_TRUE(Until([&] { return form->stMode->text() == QStringLiteral("ALERT MODE"); }));
    logger->Log().Flush();
    logger->itmStationLog->trigger();
    dlg = logger->dlgStationLog;
    QAbstractItemModel* shown = dlg->grdEvents->model();
    ASSERT_TRUE(Until([&] { return shown->rowCount() >= 3; }));
    EXPECT_EQ(dlg->stError->text(), QString());
    auto cell = [&](int r, int c, int role = Qt::DisplayRole) { return shown->index(r, c).data(role); };
    EXPECT_EQ(cell(0, 2).toString(), QStringLiteral("Alert")) << "newest first";
    EXPECT_EQ(cell(0, 3).toString(), QString::fromUtf8("OVER TEMPERATURE: TEMP > 90\xC2\xB0" "C"));
    EXPECT_EQ(cell(0, 3, Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"))
                    .match(cell(0, 0).toString()).hasMatch()) << cell(0, 0).toString().toStdString();
    EXPECT_EQ(cell(shown->rowCount() - 1, 2).toString(), QStringLiteral("Console started"));
    const int all = shown->rowCount();
    dlg->cbKind->setCurrentIndex(1); // alerts
    ASSERT_GE(shown->rowCount(), 1);
    EXPECT_LT(shown->rowCount(), all);
    for (int r = 0; r < shown->rowCount(); ++r) EXPECT_EQ(cell(r, 1).toString(), QStringLiteral("alert")) << r;
    dlg->pgcLog->setCurrentIndex(1); // the trends
#ifdef KALDOR_HAVE_CHARTS
    auto* chart = dlg->findChild<QChartView*>(QStringLiteral("chtTrend"));
    ASSERT_TRUE(chart);
    auto points = [&] {
        int n = 0;
        for (QAbstractSeries* series : chart->chart()->series())
            if (auto* line = qobject_cast<QLineSeries*>(series)) n = std::max(n, static_cast<int>(line->count()));
        return n;
    };
    ASSERT_TRUE(Until([&] { return points() >= 2; })) << "the trends draw the telemetry as it comes";
    EXPECT_EQ(chart->chart()->series().size(), 3);
#else
    EXPECT_TRUE(dlg->findChild<QLabel*>(QStringLiteral("stNoCharts"))->isVisible());
#endif
    dlg->chkRecord->setChecked(false); // kept with the settings
    EXPECT_FALSE(settings->LoadStationLog());
    EXPECT_FALSE(logger->Log().Enabled());
    dlg->close();
    EXPECT_TRUE(dlg->Trend().empty()) << "nothing kept while closed";
}

// The files are others' input: any four-digit year sorts, and a field as long as a record
// reads as its start.
TEST(LogEventModel, AnyYearSortsAndALongFieldIsCut) {
    TLogEventModel model(10);
    auto row = [](const char* time, const char* offset, const std::string& text) {
        LogRow<EventColumn> r;
        r[EventColumn::Time] = time;
        r[EventColumn::Event] = "Alert";
        r[EventColumn::Text] = text;
        r[EventColumn::UtcOffset] = offset;
        return r.Fields();
    };
    model.Add({row("9999-12-31T23:59:59", "-12:00", std::string(60000, 'x')),
               row("2026-12-10T10:00:00", "+00:00", "now"), row("1900-01-01T00:00:00", "+14:00", "old")});
    auto key = [&](int r) { return model.index(r, 0).data(TLogEventModel::SortRole).toLongLong(); };
    EXPECT_LT(key(2), key(1));
    EXPECT_LT(key(1), key(0));
    const QString cut = model.index(0, int(EventColumn::Text)).data(Qt::DisplayRole).toString();
    EXPECT_EQ(cut, QString(200, QLatin1Char('x')) + QChar(0x2026));
    ASSERT_EQ(model.columnCount(), int(EventColumn::UtcOffset));
    EXPECT_EQ(model.headerData(int(EventColumn::PaCurrentA), Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("PA A"));
}

// The trends' axes: power in steps of 1, 2, 2.5 or 5 times a power of ten from 0, time ticks on
// round minutes or hours of local time.
TEST(TrendChart, AxesReadAtAGlance) {
    const struct {
        double hi;
        double max, step;
    } power[] = {{1210, 1250, 250}, {10, 10, 2}, {850, 1000, 200}, {1500, 1500, 250}, {3.3, 4, 1}};
    for (const auto& p : power) {
        const NiceAxis a = NiceAxisFor(0, p.hi);
        EXPECT_EQ(a.Min, 0) << p.hi;
        EXPECT_EQ(a.Max, p.max) << p.hi;
        EXPECT_EQ(a.Step, p.step) << p.hi;
    }
    for (const auto& [lo, hi] : {std::pair{0.5, 6.5}, {0.0, 0.9}, {1.0, 1.35}, {13.0, 97.0}}) {
        const NiceAxis a = NiceAxisFor(lo, hi);
        EXPECT_LE(std::lround((a.Max - a.Min) / a.Step), 6) << lo << " to " << hi << ": never more intervals than allowed";
        EXPECT_LE(a.Min, lo);
        EXPECT_GE(a.Max, hi);
    }
    for (const auto& [step, format] : {std::pair{250.0, "%.0f"}, {2.5, "%.1f"}, {0.25, "%.2f"}, {0.2, "%.1f"}, {0.05, "%.2f"}})
        EXPECT_STREQ(LabelFormatFor(step), format) << step;
    EXPECT_DOUBLE_EQ(TemperatureIn(50, true, false), 122);
    EXPECT_DOUBLE_EQ(TemperatureIn(122, false, true), 50);
    EXPECT_DOUBLE_EQ(TemperatureIn(40, true, true), 40);

#ifdef KALDOR_HAVE_CHARTS
    {
        // An SWR of 0 is none: left out. A span logged in both units reads in the newest's.
        TTrendChart chart(nullptr);
        const int64_t t0 = 1796817600000;
        chart.Draw({{t0, 100, 5, 0, 122, false}, {t0 + 60000, 100, 5, 1.5, 40, true}}, t0, t0 + 120000, true);
        for (QAbstractSeries* series : chart.chart()->series()) {
            const auto* line = qobject_cast<QLineSeries*>(series);
            if (line->name() == QStringLiteral("SWR")) {
                EXPECT_EQ(line->count(), 1);
            } else if (line->name() == QStringLiteral("Temperature")) {
                EXPECT_DOUBLE_EQ(line->at(0).y(), 50);
            }
        }
    }
#endif
    constexpr int64_t kMinute = 60000, kHour = 60 * kMinute;
    const int64_t at = int64_t{1796817600000} + 17 * kMinute + 23456; // 12:17:23 UTC
    // A span over a daylight-saving change (one hour forward, as in Europe) keeps round ticks.
    const struct {
        int64_t span, offset, change, step;
    } times[] = {{10 * kMinute, 0, 0, 2 * kMinute}, {kHour, 0, 0, 15 * kMinute}, {6 * kHour, 0, 0, 2 * kHour},
                 {24 * kHour, 0, 0, 6 * kHour}, {kHour, 30 * kMinute, 0, 15 * kMinute},
                 {24 * kHour, 5 * kHour + 30 * kMinute, 0, 6 * kHour}, {4 * kHour, kHour, kHour, kHour},
                 {2 * kHour, kHour, kHour, 30 * kMinute}};
    for (const auto& t : times) {
        const TimeTicks ticks = TimeTicksFor(at - t.span, at, t.offset, t.offset + t.change);
        EXPECT_EQ(ticks.StepMs, t.step) << t.span;
        for (int i = 0; i < ticks.Count; ++i) {
            const int64_t tick = ticks.FirstMs + i * ticks.StepMs;
            const int64_t offset = tick < at - t.span / 2 ? t.offset : t.offset + t.change;
            EXPECT_EQ((tick + offset) % std::min(t.step, kHour), 0) << t.span << ": a round local time at tick " << i;
        }
        EXPECT_LE(ticks.FirstMs, at - t.span);
        EXPECT_GE(ticks.FirstMs + (ticks.Count - 1) * ticks.StepMs, at);
        EXPECT_LE(ticks.Count - 1, 6) << "never more intervals than the axis allows";
    }
}
