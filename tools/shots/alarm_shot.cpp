// Shows the console on a test amplifier in operate with its tray icon, then a warning and an
// alert, and saves the whole screen at each: alarm-shot operate.png alert.png
// Needs a desktop with a tray (tools/alarm-shot.sh starts one under Xvfb).
#include <QApplication>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "panel/InfoDialogs.h"
#include "notify/Alarms.h"
#include "shell/Mainunit.h"
#include "shell/MessageBox.h"
#include "shell/Settings.h"
#include "support/TestAmp.h"
#include "widgets/Controls.h"

using namespace kaldor;
using namespace kaldor::test;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) return 2;
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        std::fprintf(stderr, "alarm-shot: this desktop has no tray\n");
        return 1;
    }
    InstallFontSubstitutes();
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    TestAmp amp;
    amp.BindPort(1);
    for (int n = 2; n <= 6; ++n)
        qputenv(qPrintable(QStringLiteral("KALDOR_COM%1").arg(n)), "/nonexistent/kaldor-shot");
    ScopedMessageBoxResponder answer([](const MessageBoxCall&) { return IDOK; });
    TSettings settings(QStringLiteral("Kaldor_Console_Shot"));
    settings.SaveComPort(1);
    TMainForm form(settings);
    TAlarms alarms(form, settings);
    if (!form.FormCreate()) return 1;
    form.show();
    form.move(10, 40);

    // Operate on 20 m, sending 850 W; then the reflected power climbs; then the protection trips.
    StatusPayload payload = StatusPayload().Screen(1).Flags(0x16).Byte(14, 0x40).Byte(18, 0x01)
                                .Word(19, 150).Word(22, 8500).Word(24, 70).Word(26, 480).Word(28, 260);
    QTimer feed;
    QObject::connect(&feed, &QTimer::timeout, [&] { amp.Send(StatusFrame(payload)); });
    feed.start(200);
    auto shoot = [&form](const char* path) { form.screen()->grabWindow(0).save(QString::fromLocal8Bit(path)); };
    QTimer::singleShot(2000, [&] { payload.Word(24, 2600); });
    QTimer::singleShot(3500, [&] { shoot(argv[1]); });
    QTimer::singleShot(6000, [&] {
        payload = StatusPayload().Screen(23).Flags(0x08).Byte(14, 0x40).Byte(18, 0x01);
    });
    QTimer::singleShot(8000, [&] {
        shoot(argv[2]);
        form.hide();
        app.quit();
    });
    return app.exec();
}
