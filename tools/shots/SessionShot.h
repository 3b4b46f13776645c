#pragma once
// What the two session programs share: the simulated amplifier on COM1 with settings that choose
// it, keys pressed as the user presses them, waits for what the window shows, and pictures of
// the whole display. POSIX only, as the simulator's pseudo-terminal.
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "ShotScaffold.h"
#include "shell/Settings.h"

namespace kaldor::shots {

class Session {
public:
    // settleMs: how long the last repaints take to reach the display before a picture.
    Session(const char* program, std::string dir, int settleMs)
        : amplifier(program), program_(program), dir_(std::move(dir)), settleMs_(settleMs) {
        settings.SaveComPort(1);
    }
    bool Running() const { return amplifier.Running(); }
    // The folder the pictures go to, the first argument; null, with the usage said, without it.
    static const char* Folder(int argc, char** argv, const char* usage) {
        if (argc >= 2) return argv[1];
        std::fprintf(stderr, "usage: %s\n", usage);
        return nullptr;
    }

    static bool Until(const std::function<bool()>& pred) { return QTest::qWaitFor(pred, 10000); }
    static void Press(QWidget& form, Qt::Key key, Qt::KeyboardModifier modifier = Qt::AltModifier) {
        form.activateWindow();
        (void)QTest::qWaitForWindowActive(&form);
        QTest::keyClick(form.windowHandle(), key, modifier);
    }
    void Shot(const char* name, bool reached) {
        QTest::qWait(settleMs_);
        const std::string path = dir_ + "/" + name;
        if (!reached || std::system(("import -window root " + path).c_str()) != 0) {
            std::fprintf(stderr, "%s: %s not taken\n", program_, name);
            ++failed_;
        } else {
            std::printf("%s\n", path.c_str());
        }
    }
    int Failed() const { return failed_; }

    const Environment environment; // first: the settings below live in its folder
    SimulatedAmplifier amplifier;
    TSettings settings{QString::fromLatin1(kSettingsApplication)};

private:
    const char* program_;
    std::string dir_;
    int settleMs_;
    int failed_ = 0;
};

} // namespace kaldor::shots
