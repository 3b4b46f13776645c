// The program entry: one console at a time, the main window, the message loop.
#include <cstdio>

#include "link/PortNames.h"
#include "panel/InfoDialogs.h"
#include "shell/Application.h"
#include "shell/CommandLine.h"
#include "shell/Mainunit.h"
#include "shell/Settings.h"
#include "shell/SingleInstance.h"
#include "widgets/Controls.h"

using namespace kaldor;

namespace {

// Options the window toolkit takes for itself; the application object removes them.
bool HasToolkitOption(const QStringList& args) {
    static const QStringList known = {"-platform", "-display", "-style", "-stylesheet", "-geometry",
                                      "-qwindowgeometry", "-reverse", "-session", "-name"};
    for (const QString& a : args)
        for (const QString& k : known)
            if (a == k || a == "-" + k) return true;
    return false;
}

} // namespace

int main(int argc, char** argv) {
    // Help, version and usage errors need no display, so they are answered before the
    // application object exists (it cannot be made without one).
    QStringList raw;
    for (int i = 0; i < argc; ++i) raw << QString::fromLocal8Bit(argv[i]);
    if (!HasToolkitOption(raw)) {
        const CommandLine early = ParseCommandLine(raw);
        if (early.Exit) return early.ExitCode;
    }
    KaldorApplication app(argc, argv);
    const CommandLine options = ParseCommandLine(QCoreApplication::arguments());
    if (options.Exit) return options.ExitCode;
    if (options.Simulate) {
        std::fprintf(stderr, "kaldor-console: --simulate: the simulated amplifier is not built yet\n");
        return 2;
    }
    return RunGuarded([&] {
        TSingleInstance instance;
        if (!instance.Acquire()) {
            instance.SignalRunning(); // returns once the running console has shown its message
            return 0;
        }
        InstallFontSubstitutes();
        TSettings settings;
        SetStoredDeviceLookup(settings.DeviceLookup());
        TMainForm form(settings);
        CreateReportDialogs(&form);
        instance.OnOtherInstance = [&form] { form.InstanceHook(); };
        if (form.FormCreate()) {
            form.show();
            app.exec();
        }
        instance.OnOtherInstance = nullptr;
        SetStoredDeviceLookup({});
        return 0;
    });
}
