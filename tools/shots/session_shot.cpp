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
#include "SessionShot.h"

using namespace kaldor;

int main(int argc, char** argv) {
    const char* folder = shots::Session::Folder(argc, argv, "session-shot DIR");
    if (!folder) return 2;
    const std::string dir = folder;
    QApplication app(argc, argv);
    shots::Session session("session-shot", dir, 300);
    if (!session.Running()) return 1;
    test::SimClock& clock = session.amplifier.clock;
    {
        TMainForm form(session.settings);
        if (!form.FormCreate()) return 1;
        form.show();
        auto until = shots::Session::Until;
        auto press = [&](Qt::Key key) { shots::Session::Press(form, key); };
        auto shot = [&](const char* name, bool reached) { session.Shot(name, reached); };

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
    session.amplifier.server->Stop();
    return session.Failed();
}
