#include "shell/CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#ifndef KALDOR_VERSION
#define KALDOR_VERSION "unknown"
#endif

namespace kaldor {
namespace {

constexpr char kProgram[] = "kaldor-console";
constexpr int kUsageError = 2;

std::string HelpText() {
    return std::string("Usage: ") + kProgram +
           " [options]\n"
           "Remote front panel of the KALDOR M7-QX amplifier, on a serial line.\n"
           "\n"
           "Options:\n"
           "  --simulate     Run with the simulated amplifier on COM1; its settings are kept\n"
           "                 apart from those of the real amplifier.\n"
           "  -h, --help     Show this help and exit.\n"
           "  -v, --version  Show the version and exit.\n"
           "\n"
           "On POSIX, port n is the device named by KALDOR_COM<n>, else by the stored setting\n"
           "ComDevice<n>, else /dev/ttyS<n-1>.\n";
}

} // namespace

QString ConsoleVersion() { return QStringLiteral(KALDOR_VERSION); }

// Qt is LGPLv3; on Windows it is linked into the program, so a user must learn where both sources
// are to relink it.
std::string CreditsText() {
    return std::string("Built with Qt ") + QT_VERSION_STR +
           ", under the GNU LGPL version 3 (https://www.qt.io/licensing/).\n"
           "Qt's source: https://download.qt.io/archive/qt/ or Debian's qt6-base source package.\n"
           "The console's source, with the scripts that build it against Qt, is installed in the\n"
           "\"source\" folder beside the Windows program and is part of every release.\n";
}

CommandLine ParseCommandLine(const QStringList& arguments, std::ostream& out, std::ostream& err) {
    QCommandLineParser parser;
    // Single-dash words as well (-simulate), as Windows users tend to type them.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{"h", "?", "help"});
    const QCommandLineOption version(QStringList{"v", "version"});
    const QCommandLineOption simulate("simulate");
    parser.addOptions({help, version, simulate});

    CommandLine result;
    const bool parsed = parser.parse(arguments);
    QString error = parsed ? QString() : parser.errorText();
    if (parsed && !parser.positionalArguments().isEmpty())
        error = QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first());
    if (!error.isEmpty()) {
        err << kProgram << ": " << error.toStdString() << "\n"
            << "Try '" << kProgram << " --help' for more information.\n";
        result.Exit = true;
        result.ExitCode = kUsageError;
        return result;
    }
    if (parser.isSet(help)) {
        out << HelpText();
        result.Exit = true;
        return result;
    }
    if (parser.isSet(version)) {
        out << "KALDOR Console " << ConsoleVersion().toStdString() << "\n" << CreditsText();
        result.Exit = true;
        return result;
    }
    result.Simulate = parser.isSet(simulate);
    return result;
}

} // namespace kaldor
