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
           "ComDevice<n>, else /dev/ttyS<n-1>. On Windows the device is COMn, \\\\.\\COMn (any\n"
           "number, COM10 and above too) or rfc2217://host:port for a remote station.\n";
}

} // namespace

QString ConsoleVersion() { return QStringLiteral(KALDOR_VERSION); }

// Qt Charts is GPL-3.0-only and the rest of Qt LGPL-3.0, so the whole is GPL-3.0-or-later; on
// Windows Qt is linked into the program, so a user must learn where every source is.
std::string CreditsText() {
    return std::string("License GPL-3.0-or-later: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
                       "This is free software: you are free to change and redistribute it.\n"
                       "There is NO WARRANTY, to the extent permitted by law.\n"
                       "Built with Qt ") + QT_VERSION_STR +
           ": Core, Gui and Widgets under the GNU LGPL version 3, Charts under the GNU GPL version 3.\n"
           "Qt's source: https://download.qt.io/archive/qt/ or Debian's qt6-base source package;\n"
           "the Qt Charts source is shipped with the Windows program. The console's source, with the\n"
           "scripts that build it against Qt, is installed in the \"source\" folder beside the\n"
           "Windows program and is part of every release.\n";
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
    // "/?" as every Windows program takes it.
    QStringList words = arguments;
    for (int i = 1; i < words.size(); ++i)
        if (words[i] == QLatin1String("/?")) words[i] = QStringLiteral("--help");
    const bool parsed = parser.parse(words);
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
