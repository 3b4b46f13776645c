#include "sim/SimCommandLine.h"

#include "link/NumberText.h"

namespace kaldor::sim {
namespace {

bool ParseNumber(const std::string& text, unsigned long max, unsigned long& value) {
    int64_t number = 0;
    if (!ParseInteger(text, 0, static_cast<int64_t>(max), number)) return false;
    value = static_cast<unsigned long>(number);
    return true;
}

} // namespace

SimCommandLine ParseSimCommandLine(const std::vector<std::string>& arguments) {
    SimCommandLine result;
    const size_t n = arguments.size();
    for (size_t i = 0; i < n; ++i) {
        const std::string& arg = arguments[i];
        unsigned long number = 0;
        if (arg == "-h" || arg == "--help") {
            result.Help = true;
            return result;
        }
        if (arg == "--off") {
            result.Options.StartPowered = false;
        } else if (arg == "--seed") {
            if (i + 1 >= n || !ParseNumber(arguments[i + 1], 0xFFFFFFFFul, number)) {
                result.Error = "--seed needs a number from 0 to 4294967295";
                return result;
            }
            result.Options.Seed = static_cast<uint32_t>(number);
            ++i;
        } else if (arg == "--rfc2217") {
            if (i + 1 >= n || !ParseNumber(arguments[i + 1], 65535, number)) {
                result.Error = "--rfc2217 needs a TCP port number from 0 to 65535";
                return result;
            }
            result.TcpPort = static_cast<int>(number);
            ++i;
        } else if (arg == "--bind") {
            if (i + 1 >= n) {
                result.Error = "--bind needs an address";
                return result;
            }
            result.Bind = arguments[++i];
        } else {
            result.Error = "unknown argument '" + arg + "'";
            return result;
        }
    }
    return result;
}

} // namespace kaldor::sim
