// The command lines of the console and of the simulator, arguments split at NUL bytes.
#include <QStringList>

#include <sstream>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "shell/CommandLine.h"
#include "sim/SimCommandLine.h"

using namespace kaldor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> args;
    std::string arg;
    for (size_t i = 0; i < size && args.size() < 64; ++i) {
        if (data[i] == 0) args.push_back(std::move(arg)), arg.clear();
        else arg += static_cast<char>(data[i]);
    }
    args.push_back(arg);

    QStringList console{"kaldor-console"};
    for (const std::string& a : args) console << QString::fromLocal8Bit(a.data(), static_cast<int>(a.size()));
    std::ostringstream out, err;
    const CommandLine line = ParseCommandLine(console, out, err);
    // Help and version exit well and say something; an error exits badly and names itself.
    if (line.Exit) FUZZ_CHECK(line.ExitCode == 0 ? !out.str().empty() : !err.str().empty());
    else FUZZ_CHECK(line.ExitCode == 0 && err.str().empty());

    const sim::SimCommandLine sim = sim::ParseSimCommandLine(args);
    FUZZ_CHECK(sim.TcpPort >= -1 && sim.TcpPort <= 65535);
    FUZZ_CHECK(!(sim.Help && !sim.Error.empty()));
    return 0;
}
