// Takes screenshots of a session with the simulated amplifier, as a user would see it on the
// display: operate while transmitting, a report, the setup menu with its highlight moved.
//   DISPLAY=:99 session-shot DIR    (writes DIR/operate-tx.png, report.png, setup.png)
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "panel/InfoDialogs.h"
#include "shell/Mainunit.h"
#include "shell/Settings.h"
#include "ShotScaffold.h"

using namespace kaldor;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: session-shot DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    QApplication app(argc, argv);
    const shots::Environment environment;
    shots::SimulatedAmplifier amplifier("session-shot");
    if (!amplifier.Running()) return 1;
    test::SimClock& clock = amplifier.clock;
    sim::SimServer& server = *amplifier.server;

    int failed = 0;
    {
        TSettings settings(QString::fromLatin1(shots::kSettingsApplication));
        settings.SaveComPort(1);
        TMainForm form(settings);
        if (!form.FormCreate()) return 1;
        form.show();
        auto until = [](const std::function<bool()>& pred) { return QTest::qWaitFor(pred, 10000); };
        auto press = [&](Qt::Key key) {
            form.activateWindow();
            (void)QTest::qWaitForWindowActive(&form);
            QTest::keyClick(form.windowHandle(), key, Qt::AltModifier);
        };
        auto shot = [&](const char* name, bool reached) {
            QTest::qWait(300); // the last repaints reach the display
            const std::string path = dir + "/" + name;
            if (!reached || std::system(("import -window root " + path).c_str()) != 0) {
                std::fprintf(stderr, "session-shot: %s not taken\n", name);
                ++failed;
            } else {
                std::printf("%s\n", path.c_str());
            }
        };

        until([&] { return form.stMode->text() == QStringLiteral("STANDBY MODE"); });
        clock.SetRate(1.0);
        press(Qt::Key_O);
        until([&] { return form.stMode->text() == QStringLiteral("OPERATE MODE"); });
        clock.Jump(5.0); // the first transmit burst
        shot("operate-tx.png", until([&] { return form.Frm_PA->Value > 3000; }));

        press(Qt::Key_O);
        until([&] { return form.stMode->text() == QStringLiteral("STANDBY MODE"); });
        press(Qt::Key_D);
        press(Qt::Key_D);
        shot("report.png", until([&] { return form.dlgANTInfo && form.dlgANTInfo->isVisible(); }));
        form.dlgANTInfo->close();
        form.dlgCATInfo->close();

        press(Qt::Key_D); // the antenna report the other way round, then standby again
        press(Qt::Key_D);
        until([&] { return form.LastScreen == 0; });
        press(Qt::Key_S);
        const bool setup = until([&] { return form.LastScreen == 6; });
        press(Qt::Key_Plus);
        press(Qt::Key_Plus);
        QTest::qWait(500);
        shot("setup.png", setup);
    }
    server.Stop();
    return failed;
}
