#include <gtest/gtest.h>

#include <sstream>

#include "shell/CommandLine.h"

using namespace kaldor;

namespace {

struct Outcome {
    CommandLine line;
    std::string out, err;
};

Outcome Parse(QStringList arguments) {
    arguments.prepend("kaldor-console");
    std::ostringstream out, err;
    Outcome run;
    run.line = ParseCommandLine(arguments, out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
}

} // namespace

TEST(CommandLine, NoArgumentsRunTheRealConsole) {
    const Outcome run = Parse({});
    EXPECT_FALSE(run.line.Exit);
    EXPECT_FALSE(run.line.Simulate);
    EXPECT_TRUE(run.out.empty());
    EXPECT_TRUE(run.err.empty());
}

TEST(CommandLine, SimulateIsAFlagForTheEntry) {
    for (const char* spelling : {"--simulate", "-simulate"}) {
        const Outcome run = Parse({spelling});
        EXPECT_FALSE(run.line.Exit) << spelling;
        EXPECT_TRUE(run.line.Simulate) << spelling;
    }
}

TEST(CommandLine, HelpAndVersionPrintAndExitWithZero) {
    const Outcome version = Parse({"--version"});
    EXPECT_TRUE(version.line.Exit);
    EXPECT_EQ(version.line.ExitCode, 0);
    EXPECT_EQ(version.out.substr(0, version.out.find('\n') + 1),
              "KALDOR Console " + ConsoleVersion().toStdString() + "\n");
    for (const char* credit : {"License GPL-3.0-or-later", "Qt " QT_VERSION_STR ": Core, Gui and Widgets under the GNU LGPL version 3",
                               "Charts under the GNU GPL version 3"})
        EXPECT_NE(version.out.find(credit), std::string::npos) << credit << "\n" << version.out;
    EXPECT_NE(ConsoleVersion(), "unknown") << "the build names the version";
    EXPECT_TRUE(version.err.empty());

    for (const char* spelling : {"--help", "-h", "/?"}) {
        const Outcome help = Parse({spelling, "--simulate"});
        EXPECT_TRUE(help.line.Exit) << spelling;
        EXPECT_EQ(help.line.ExitCode, 0);
        EXPECT_NE(help.out.find("--simulate"), std::string::npos) << help.out;
        for (const char* form : {"--version", "COMn", "\\\\.\\COMn", "rfc2217://host:port"})
            EXPECT_NE(help.out.find(form), std::string::npos) << form;
        EXPECT_TRUE(help.err.empty());
    }
}

TEST(CommandLine, AnUnknownOptionOrArgumentIsAnErrorThatNamesIt) {
    for (const char* wrong : {"--simulated", "-x", "COM3"}) {
        const Outcome run = Parse({"--simulate", wrong});
        EXPECT_TRUE(run.line.Exit) << wrong;
        EXPECT_NE(run.line.ExitCode, 0) << wrong;
        EXPECT_TRUE(run.out.empty()) << wrong;
        const std::string name = std::string(wrong).substr(std::string(wrong).find_first_not_of('-'));
        EXPECT_NE(run.err.find("'" + name + "'"), std::string::npos) << run.err;
    }
}
