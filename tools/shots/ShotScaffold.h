#pragma once
// What the screenshot programs share: settings and data in a temporary place, never the
// user's; the layout's fonts; and, for the session programs, the simulated amplifier on COM1
// running on a clock of its own.
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <string>

#include "e2e/SimClock.h"
#include "sim/SimServer.h"
#include "support/TestAmp.h"
#include "widgets/Controls.h"

namespace kaldor::shots {

// The application name the programs keep their settings under, inside Environment's folder.
inline const char* const kSettingsApplication = "Kaldor_Console_Shot";

class Environment {
public:
    Environment() {
        qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config_.path());
        InstallFontSubstitutes();
    }
    QString Folder() const { return config_.path(); }

private:
    QTemporaryDir config_;
};

#ifndef _WIN32
// The simulated amplifier on a pseudo-terminal bound to COM1, slowed to a quarter until the
// program speeds it up, so that no transmit burst comes before it is asked for.
class SimulatedAmplifier {
public:
    explicit SimulatedAmplifier(const char* program) {
        clock.SetRate(0.25);
        std::string error;
        auto line = sim::OpenPseudoTerminal(error);
        if (!line) {
            std::fprintf(stderr, "%s: %s\n", program, error.c_str());
            return;
        }
        server = std::make_unique<sim::SimServer>(std::move(line), sim::SimOptions{}, [this] { return clock.Now(); });
        test::SetEnv("KALDOR_COM1", server->DevicePath());
        server->Start();
    }
    bool Running() const { return server != nullptr; }

    test::SimClock clock;
    std::unique_ptr<sim::SimServer> server;
};
#endif

} // namespace kaldor::shots
