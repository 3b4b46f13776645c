#pragma once
#include <QString>
#include <QStringList>

#include <iostream>

namespace kaldor {

struct CommandLine {
    bool Simulate = false; // run against the simulated amplifier
    bool Exit = false;     // the entry ends at once with ExitCode (help, version, error)
    int ExitCode = 0;
};

// Parses the program's arguments (arguments[0] is the program). --help and --version print to
// out and ask for exit 0; an unknown option or argument prints an error naming it to err and
// asks for a non-zero exit.
CommandLine ParseCommandLine(const QStringList& arguments, std::ostream& out = std::cout,
                             std::ostream& err = std::cerr);

// The console's version, as the build names it.
QString ConsoleVersion();

} // namespace kaldor
