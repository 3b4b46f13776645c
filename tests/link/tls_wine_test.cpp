// The remote line over TLS in the Windows build, against servers across the loopback that
// tools/wine-tests.sh starts with keys it makes in KALDOR_TLS_DIR: the Linux ser2net with
// ssl(clientauth) and an authdir that allows user.crt, its line echoed back
// (KALDOR_TLS_SER2NET), kaldor-sim.exe --tls-cert --client-ca user.crt (KALDOR_TLS_SIM), and
// the Linux kaldor-station in front of an echoing line, its authdir allowing user.crt as an
// operator (KALDOR_TLS_STATION, where a Linux build has one). Without those the cases skip,
// saying so.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "link/Frames.h"
#include "link/PortOpener.h"
#include "support/TestAmp.h"

namespace kaldor::test {
namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

TEST(TlsOnWindows, LinksWithItsCertificateOnlyAndCarriesTheLine) {
    const std::string dir = Env("KALDOR_TLS_DIR");
    if (dir.empty()) GTEST_SKIP() << "no TLS servers to link to (tools/wine-tests.sh starts them)";
    struct Case {
        const char* Server; // the variable that holds its address
        const char* Identity; // "" for none
        int FirstByte; // of the answer to a LinkRequest; -1: refused
    };
    const Case cases[] = {
        {"KALDOR_TLS_SER2NET", "user", 0x55}, // the line echoes the request
        {"KALDOR_TLS_SER2NET", "stranger", -1},
        {"KALDOR_TLS_SER2NET", "", -1},
        {"KALDOR_TLS_SIM", "user", 0xAA}, // the amplifier's status frame
        {"KALDOR_TLS_SIM", "stranger", -1},
        {"KALDOR_TLS_STATION", "user", 0x55}, // the holder's request, echoed to it
        {"KALDOR_TLS_STATION", "stranger", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Server) + " as '" + c.Identity + "'");
        const std::string address = Env(c.Server);
        const bool station = std::string(c.Server) == "KALDOR_TLS_STATION";
        if (station && address.empty()) continue; // no Linux build beside this one
        ASSERT_EQ(address.rfind("rfc2217s://", 0), 0u) << address;
        TlsOptions tls;
        tls.StationFile = dir + "/station.crt";
        if (*c.Identity) {
            tls.CertificateFile = dir + "/" + c.Identity + ".crt";
            tls.KeyFile = dir + "/" + c.Identity + ".key";
        }
        std::optional<PortOpener::Result> opened = OpenAsWindow(4, address, tls);
        ASSERT_TRUE(opened) << address;
        PortOpener::Result& r = *opened;
        if (c.FirstByte < 0) {
            EXPECT_NE(r.Failure.find("the station refused this console's certificate"), std::string::npos)
                << r.Failure;
            continue;
        }
        ASSERT_TRUE(r.Opened()) << r.Failure;
        const CommandFrame& request = LinkRequestFrame();
        ASSERT_EQ(r.Line.Write(request.Bytes, request.Count), request.Count);
        uint8_t first = 0;
        r.Line.SetTimeouts(3000);
        ASSERT_EQ(r.Line.Read(&first, 1), 1);
        EXPECT_EQ(first, c.FirstByte);
        StationRole role;
        EXPECT_EQ(r.Line.SharedRole(role) && role.Operating, station) << "operating on the station's line only";
    }
}

} // namespace
} // namespace kaldor::test
