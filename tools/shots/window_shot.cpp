// Shows the main window on a test amplifier that reports standby, and saves a picture of it.
//   window-shot out.png [screen [screen.png [lcd | field=value ...]]]
// A field is a payload byte, bN (N = 0..29), or a status data value, sdN (N = 0..10); values are
// hexadecimal; then=N (decimal) switches the screen code to N after 800 ms (then=30 shows the
// lost link after what came before). screen.png holds the whole screen, the report dialogs
// included. right presses the + key after 600 ms; init shows the power-on panel.
#include <QAction>
#include <QApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>
#include <string>

#include "panel/InfoDialogs.h"
#include "shell/Mainunit.h"
#include "shell/MessageBox.h"
#include "shell/Settings.h"
#include "ShotScaffold.h"
#include "support/TestAmp.h"
#include "widgets/Controls.h"

using namespace kaldor;
using namespace kaldor::test;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) return 2;
    const shots::Environment environment;
    TestAmp amp;
    amp.BindPort(1);
    for (int n = 2; n <= 6; ++n)
        qputenv(qPrintable(QStringLiteral("KALDOR_COM%1").arg(n)), "/nonexistent/kaldor-shot");
    ScopedMessageBoxResponder answer([](const MessageBoxCall&) { return IDOK; });
    TSettings settings(QString::fromLatin1(shots::kSettingsApplication));
    settings.SaveComPort(1);
    TMainForm form(settings);
    if (!form.FormCreate()) return 1;
    form.show();
    const int screen = argc > 2 ? std::atoi(argv[2]) : 0;
    StatusPayload payload = StatusPayload().Screen(static_cast<uint8_t>(screen));
    int then = -1;
    for (int i = 4; i < argc; ++i) {
        const std::string field = argv[i];
        const auto eq = field.find('=');
        if (field == "init") { // the power-on panel, as the ON sequence shows it
            form.pnlInit->show();
            continue;
        }
        if (field == "right") { // presses + once the statuses come: the power level readout
            QTimer::singleShot(600, [&form] { form.actRight->trigger(); });
            continue;
        }
        if (eq == std::string::npos) continue;
        if (field.rfind("then=", 0) == 0) {
            then = std::atoi(field.c_str() + eq + 1);
            continue;
        }
        const int n = std::atoi(field.c_str() + (field[0] == 's' ? 2 : 1));
        const auto value = static_cast<uint8_t>(std::strtoul(field.c_str() + eq + 1, nullptr, 16));
        if (field.rfind("sd", 0) == 0 && n >= 0 && n <= 10) payload.ScreenData(n, value);
        else if (field[0] == 'b' && n >= 0 && n < 30) payload.Byte(n, value);
    }
    QTimer feed;
    QObject::connect(&feed, &QTimer::timeout, [&] { amp.Send(StatusFrame(payload)); });
    feed.start(200);
    if (then >= 0 && then <= 255)
        QTimer::singleShot(800, [&] { payload.Screen(static_cast<uint8_t>(then)); });
    if (argc > 4 && std::string(argv[4]) == "lcd") {
        // The character display over the meters, as the setup screens will show it.
        form.pnl_LCD->show();
        form.ClearLcd();
        form.LcdTextOut(8, 0, false, " SETUP OPTIONS vs. IN 1 ");
        form.LcdDrawMenu(SetupMenu, 4, true);
    }
    QTimer::singleShot(1500, [&] {
        form.grab().save(QString::fromLocal8Bit(argv[1]));
        if (argc > 3) form.screen()->grabWindow(0).save(QString::fromLocal8Bit(argv[3]));
        QCoreApplication::exit(0); // without the close question
    });
    return app.exec();
}
