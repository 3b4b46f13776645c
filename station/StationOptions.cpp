#include "station/StationOptions.h"

#include <algorithm>
#include <cstdlib>

#include "link/NumberText.h"
#include "link/StationRole.h"

namespace kaldor::station {

const char* const StationHelp =
    "Usage: kaldor-station --device DEVICE [--listen ADDRESS:PORT --tls-cert FILE --tls-key FILE\n"
    "                      --authdir DIR] [--plain ADDRESS:PORT] [--operators USER,...]\n"
    "                      [--local-user NAME]\n"
    "\n"
    "Shares the amplifier's line among consoles: every console that connects sees every frame\n"
    "the amplifier sends, and one of them at a time operates it (its keys and DTR reach the\n"
    "amplifier). Consoles reach it as rfc2217s://<this machine>:<port> (RFC 2217 over TLS, the\n"
    "console's certificate checked) or, on this machine only, rfc2217://127.0.0.1:<port>.\n"
    "\n"
    "The first operator to connect while nobody operates takes control; another operator takes\n"
    "it over with the console's \"Take control\". When the operating console goes and nobody\n"
    "takes control within 2 s, DTR drops, as when the console's own port closes.\n"
    "\n"
    "Options:\n"
    "  --device DEVICE        The amplifier's serial line (/dev/serial/by-id/..., /dev/ttyUSB0,\n"
    "                         COM3), 9600 8N1; reopened while it is away.\n"
    "  --listen ADDRESS:PORT  Serve over TLS here (0.0.0.0:3002 for every network, [::]:3002).\n"
    "  --tls-cert FILE        The station's certificate (PEM).\n"
    "  --tls-key FILE         Its private key (PEM).\n"
    "  --authdir DIR          The users allowed: DIR/<user>/allowed_certs/ holds the certificate\n"
    "                         of each console of that user, as ser2net's authdir.\n"
    "  --plain ADDRESS:PORT   Serve without TLS, on a loopback address only (127.0.0.1:3003).\n"
    "  --local-user NAME      The user of plain connections (default: who runs this program).\n"
    "  --operators USER,...   The users who may operate; every other user allowed watches.\n"
    "  -h, --help             Show this help and exit.\n"
    "\n"
    "Each event goes as one line to standard error: connects, refusals, control passing, drops,\n"
    "the device lost and back.\n";

bool StationOptions::IsOperator(const std::string& user) const {
    return !user.empty() && std::find(Operators.begin(), Operators.end(), user) != Operators.end();
}

bool SplitHostPort(const std::string& text, std::string& host, std::string& port) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) return false;
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    else if (host.find(':') != std::string::npos) return false; // IPv6 goes in brackets
    int64_t number = 0;
    return !host.empty() && ParseInteger(port, 0, 65535, number);
}

bool IsLoopbackAddress(const std::string& host) {
    if (host == "::1" || host == "0:0:0:0:0:0:0:1") return true;
    // 127.a.b.c, four numbers of 0 to 255
    int parts = 0;
    size_t start = 0;
    while (start <= host.size() && parts < 5) {
        const size_t dot = std::min(host.find('.', start), host.size());
        int64_t number = 0;
        if (!ParseInteger(host.substr(start, dot - start), 0, 255, number)) return false;
        if (parts == 0 && number != 127) return false;
        ++parts;
        start = dot + 1;
    }
    return parts == 4;
}

std::string LoginName() {
    for (const char* var : {"USER", "LOGNAME", "USERNAME"})
        if (const char* v = std::getenv(var); v && *v) return UserNameOnLine(v);
    return "local";
}

namespace {
StationOptions& Fail(StationOptions& o, const std::string& error) {
    o.Error = error;
    return o;
}

std::vector<std::string> Names(const std::string& list) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = std::min(list.find(',', start), list.size());
        const std::string name = UserNameOnLine(list.substr(start, comma - start));
        if (!name.empty()) names.push_back(name);
        start = comma + 1;
    }
    return names;
}
} // namespace

StationOptions ParseStationOptions(const std::vector<std::string>& arguments) {
    StationOptions o;
    std::string listen, plain;
    const size_t n = arguments.size();
    for (size_t i = 0; i < n; ++i) {
        const std::string& arg = arguments[i];
        if (arg == "-h" || arg == "--help") {
            o.Help = true;
            return o;
        }
        std::string* value = arg == "--device"       ? &o.Device
                             : arg == "--listen"     ? &listen
                             : arg == "--tls-cert"   ? &o.CertFile
                             : arg == "--tls-key"    ? &o.KeyFile
                             : arg == "--authdir"    ? &o.AuthDir
                             : arg == "--plain"      ? &plain
                             : arg == "--local-user" ? &o.LocalUser
                                                     : nullptr;
        if (arg == "--operators") {
            if (i + 1 >= n) return Fail(o, "--operators needs a list of users");
            o.Operators = Names(arguments[++i]);
            continue;
        }
        if (!value) return Fail(o, "unknown argument '" + arg + "'");
        if (i + 1 >= n || arguments[i + 1].empty()) return Fail(o, arg + " needs a value");
        *value = arguments[++i];
    }
    if (o.Device.empty()) return Fail(o, "--device is needed");
    if (listen.empty() && plain.empty()) return Fail(o, "--listen or --plain is needed");
    if (!listen.empty()) {
        if (!SplitHostPort(listen, o.ListenHost, o.ListenPort))
            return Fail(o, "--listen needs ADDRESS:PORT, not '" + listen + "'");
        if (o.CertFile.empty() || o.KeyFile.empty() || o.AuthDir.empty())
            return Fail(o, "--listen needs --tls-cert, --tls-key and --authdir");
    } else if (!o.CertFile.empty() || !o.KeyFile.empty() || !o.AuthDir.empty()) {
        return Fail(o, "--tls-cert, --tls-key and --authdir go with --listen");
    }
    if (!plain.empty()) {
        if (!SplitHostPort(plain, o.PlainHost, o.PlainPort))
            return Fail(o, "--plain needs ADDRESS:PORT, not '" + plain + "'");
        // Without TLS nobody is identified: only this machine's own users may connect.
        if (!IsLoopbackAddress(o.PlainHost))
            return Fail(o, "--plain serves without TLS on a loopback address only (127.0.0.1, ::1), not " +
                             o.PlainHost);
    }
    o.LocalUser = UserNameOnLine(o.LocalUser.empty() ? LoginName() : o.LocalUser);
    if (o.LocalUser.empty()) o.LocalUser = "local";
    return o;
}

} // namespace kaldor::station
