// The program entry: one console at a time, the main window, the message loop.
#include <cstdio>

#include "link/PortNames.h"
#include "shell/Application.h"
#include "shell/CommandLine.h"
#include "shell/Mainunit.h"
#include "shell/Settings.h"
#include "shell/SingleInstance.h"
#include "widgets/Controls.h"

using namespace kaldor;

int main(int argc, char** argv) {
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
