// The program entry: one console at a time, the main window, the message loop.
#include <QIcon>

#include <cstdio>

#ifdef _WIN32
#include "link/WindowsApi.h"
#include <shellapi.h>
#endif

#include "link/PortNames.h"
#include "link/SerialPort.h"
#include "panel/InfoDialogs.h"
#include "notify/Alarms.h"
#include "shell/Application.h"
#include "shell/CommandLine.h"
#include "shell/Mainunit.h"
#include "shell/MessageBox.h"
#include "shell/ParentConsole.h"
#include "shell/Settings.h"
#include "shell/SingleInstance.h"
#include "logwindow/StationLogger.h"
#include "sim/SimServer.h"
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

// The simulated amplifier on COM1. POSIX: a pseudo-terminal the console opens as any serial
// device, with DTR handed over directly, since a pseudo-terminal has no modem lines. Windows has
// no pseudo-terminals: there the simulator serves its line over RFC 2217 on a free loopback port
// and COM1 is that remote port, with DTR travelling as SET-CONTROL as to a remote station.
std::unique_ptr<sim::SimServer> StartSimulatedAmplifier() {
    std::string error;
#ifdef _WIN32
    auto server = sim::SimServer::OnRfc2217("127.0.0.1", 0, sim::SimOptions{}, error);
#else
    auto server = sim::SimServer::OnPseudoTerminal(sim::SimOptions{}, error);
#endif
    if (!server) {
        std::fprintf(stderr, "kaldor-console: --simulate: %s\n", error.c_str());
        return nullptr;
    }
    qputenv("KALDOR_COM1", QByteArray::fromStdString(server->DevicePath()));
    sim::SimServer* amp = server.get();
    const std::string device = server->DevicePath();
    if (!IsRemoteDevice(device)) {
        SerialPort::SetDtrObserver([amp, device](const std::string& name, bool raised) {
            if (name == device) amp->SetDtr(raised);
        });
    }
    server->Start();
    return server;
}

} // namespace

int main(int argc, char** argv) {
    AttachParentConsole();
    // Help, version and usage errors need no display, so they are answered before the
    // application object exists (it cannot be made without one).
    QStringList raw;
#ifdef _WIN32
    // The wide command line: argv is in the ANSI code page, which cannot hold every name.
    int wideCount = 0;
    if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &wideCount)) {
        for (int i = 0; i < wideCount; ++i) raw << QString::fromWCharArray(wide[i]);
        LocalFree(wide);
    }
#else
    for (int i = 0; i < argc; ++i) raw << QString::fromLocal8Bit(argv[i]);
#endif
    if (!HasToolkitOption(raw)) {
        const CommandLine early = ParseCommandLine(raw);
        if (early.Exit) return early.ExitCode;
    }
    KaldorApplication app(argc, argv);
#ifndef _WIN32
    // Windows takes the icon of the program's resources (IDI_ICON1) for every window by itself.
    app.setWindowIcon(QIcon(QStringLiteral(":/kaldor-console.svg")));
#endif
    const CommandLine options = ParseCommandLine(QCoreApplication::arguments());
    if (options.Exit) return options.ExitCode;
    std::unique_ptr<sim::SimServer> simulated;
    if (options.Simulate && !(simulated = StartSimulatedAmplifier())) return 1;
    const int result = RunGuarded([&] {
        TSingleInstance instance;
        if (!instance.Acquire()) {
            instance.SignalRunning(); // returns once the running console has shown its message
            if (!instance.NoAnswer()) return 0;
            const QString text = QStringLiteral(
                "A KALDOR Console seems to be running already, but it does not answer.");
            std::fprintf(stderr, "KALDOR Console: %s\n", text.toLocal8Bit().constData());
            std::fflush(stderr);
            ShowMessageBox(nullptr, text, QString::fromLatin1(kAppCaption), MB_OK | MB_ICONHAND);
            return 1;
        }
        InstallFontSubstitutes();
        TSettings settings(options.Simulate ? TSettings::kSimulatedApplication : TSettings::kApplication);
        // The simulated amplifier is on COM1: no question about a default port on a first run.
        if (options.Simulate && settings.LoadComPort() == 0) settings.SaveComPort(1);
        SetStoredDeviceLookup(settings.DeviceLookup());
        TMainForm form(settings);
        form.SetSimulated(options.Simulate);
        TStationLogger stationLog(form, settings, TStationLogger::OptionsFor(settings));
        TAlarms alarms(form, settings);
        instance.OnOtherInstance = [&form] { form.InstanceHook(); };
        if (form.FormCreate()) {
            form.show();
            app.exec();
        }
        instance.OnOtherInstance = nullptr;
        SetStoredDeviceLookup({});
        return 0;
    });
    SerialPort::SetDtrObserver({});
    simulated.reset();
    return result;
}
