#include "sim/SimCommandLine.h"

#include <cerrno>
#include <cstdlib>

namespace kaldor::sim {
namespace {

bool ParseNumber(const std::string& text, unsigned long max, unsigned long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtoul(text.c_str(), &end, 10);
    return errno == 0 && end != text.c_str() && *end == '\0' && text[0] != '-' && value <= max;
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
        } else if (arg == "--bind" || arg == "--tls-cert" || arg == "--tls-key" || arg == "--client-ca") {
            if (i + 1 >= n || arguments[i + 1].empty()) {
                result.Error = arg + (arg == "--bind" ? " needs an address" : " needs a file");
                return result;
            }
            std::string& value = arg == "--bind" ? result.Bind
                                 : arg == "--tls-cert" ? result.Tls.CertFile
                                 : arg == "--tls-key" ? result.Tls.KeyFile
                                                      : result.Tls.ClientCa;
            value = arguments[++i];
        } else {
            result.Error = "unknown argument '" + arg + "'";
            return result;
        }
    }
    if (result.Tls.CertFile.empty() != result.Tls.KeyFile.empty())
        result.Error = "--tls-cert and --tls-key go together";
    else if (!result.Tls.ClientCa.empty() && !result.Tls.On())
        result.Error = "--client-ca needs --tls-cert and --tls-key";
    else if (result.Tls.On() && result.TcpPort < 0)
        result.Error = "--tls-cert needs --rfc2217";
    return result;
}

} // namespace kaldor::sim
