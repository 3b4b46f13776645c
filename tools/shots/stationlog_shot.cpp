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
#include "shell/StationLogDialog.h"
#include "shell/StationLogger.h"
#include "ShotScaffold.h"

using namespace kaldor;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: stationlog-shot DIR [MINUTES]\n");
        return 2;
    }
    const std::string dir = argv[1];
    const int minutes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 60;
    QApplication app(argc, argv);
    const shots::Environment environment;
    shots::SimulatedAmplifier amplifier("stationlog-shot");
    if (!amplifier.Running()) return 1;
    test::SimClock& clock = amplifier.clock;
    sim::SimServer& server = *amplifier.server;

    int failed = 0;
    {
        TSettings settings(QString::fromLatin1(shots::kSettingsApplication));
        settings.SaveComPort(1);
        TMainForm form(settings);
        StationLogOptions o;
        o.Folder = (environment.Folder() + QStringLiteral("/log")).toStdString();
        // The session ends about now on the wall clock.
        const int64_t base = SystemTimeMs() - int64_t{minutes} * 60000 - 100000;
        o.Clock = [&] { return base + static_cast<int64_t>(clock.Now() * 1000); };
        TStationLogger logger(form, settings, o);
        if (!form.FormCreate()) return 1;
        form.show();
        form.move(0, 0);
        auto until = [](const std::function<bool()>& pred) { return QTest::qWaitFor(pred, 10000); };
        auto press = [&](Qt::Key key, Qt::KeyboardModifier modifier = Qt::AltModifier) {
            form.activateWindow();
            (void)QTest::qWaitForWindowActive(&form);
            QTest::keyClick(form.windowHandle(), key, modifier);
        };
        auto shot = [&](const char* name, bool reached) {
            QTest::qWait(500);
            const std::string path = dir + "/" + name;
            if (!reached || std::system(("import -window root " + path).c_str()) != 0) {
                std::fprintf(stderr, "stationlog-shot: %s not taken\n", name);
                ++failed;
            } else {
                std::printf("%s\n", path.c_str());
            }
        };

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
    return failed;
}
