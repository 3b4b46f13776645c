// Screenshots of the station log window after a session with the simulated amplifier, run at a
// quicker clock: operate with its transmit bursts, band changes, the alerts it trips (reset with
// DISPLAY), then the events and the hour's trend.
//   DISPLAY=:99 stationlog-shot DIR [MINUTES]   (writes DIR/stationlog-events.png, stationlog-trend.png)
#include <QApplication>
#include <QComboBox>
#include <QSettings>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "log/Csv.h"
#include "log/LogTime.h"
#include "panel/InfoDialogs.h"
#include "shell/Mainunit.h"
#include "shell/Settings.h"
#include "logwindow/StationLogDialog.h"
#include "logwindow/StationLogger.h"
#include "SessionShot.h"

using namespace kaldor;

int main(int argc, char** argv) {
    const char* folder = shots::Session::Folder(argc, argv, "stationlog-shot DIR [MINUTES]");
    if (!folder) return 2;
    const std::string dir = folder;
    const int minutes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 60;
    QApplication app(argc, argv);
    shots::Session session("stationlog-shot", dir, 500);
    if (!session.Running()) return 1;
    test::SimClock& clock = session.amplifier.clock;
    sim::SimServer& server = *session.amplifier.server;
    {
        TSettings& settings = session.settings;
        TMainForm form(settings);
        StationLogOptions o;
        o.Folder = (session.environment.Folder() + QStringLiteral("/log")).toStdString();
        // The session ends about now on the wall clock.
        const int64_t base = SystemTimeMs() - int64_t{minutes} * 60000 - 100000;
        o.Clock = [&] { return base + static_cast<int64_t>(clock.Now() * 1000); };
        TStationLogger logger(form, settings, o);
        if (!form.FormCreate()) return 1;
        form.show();
        form.move(0, 0);
        auto until = shots::Session::Until;
        auto press = [&](Qt::Key key, Qt::KeyboardModifier modifier = Qt::AltModifier) {
            shots::Session::Press(form, key, modifier);
        };
        auto shot = [&](const char* name, bool reached) { session.Shot(name, reached); };

        until([&] { return form.stMode->text() == QStringLiteral("STANDBY MODE"); });
        clock.SetRate(30.0);
        const double start = clock.Now(), end = start + minutes * 60.0;
        int bandSteps = 0;
        for (int guard = 0; clock.Now() < end && guard < 100000; ++guard) {
            QTest::qWait(200);
            const QString mode = form.stMode->text();
            if (mode == QStringLiteral("ALERT MODE")) press(Qt::Key_D);
            else if (mode == QStringLiteral("STANDBY MODE")) press(Qt::Key_O);
            // Every ten minutes one band up or down, round 20 m.
            if (clock.Now() - start > (bandSteps + 1) * 600.0) {
                press(Qt::Key_B, (bandSteps % 4 < 2) ? Qt::AltModifier : Qt::ControlModifier);
                ++bandSteps;
            }
        }
        clock.SetRate(1.0);
        logger.Log().Flush();
        logger.itmStationLogClick();
        TdlgStationLog* dlg = logger.dlgStationLog;
        dlg->move(40, 40);
        dlg->resize(1180, 640);
        shot("stationlog-events.png", until([&] { return dlg->grdEvents->model()->rowCount() > 5; }));
        dlg->pgcLog->setCurrentIndex(1);
        dlg->cbSpan->setCurrentIndex(1); // the last hour
        dlg->Refresh();
        shot("stationlog-trend.png", !dlg->Trend().empty());
        std::printf("%zu telemetry seconds in the hour, %d events shown\n", dlg->Trend().size(),
                    dlg->grdEvents->model()->rowCount());
        dlg->close();
    }
    server.Stop();
    return session.Failed();
}
