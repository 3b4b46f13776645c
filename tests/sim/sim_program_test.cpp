// kaldor-sim, the program: its help, its usage errors, and an amplifier on the path it prints.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <spawn.h>
#include <string>
#include <vector>
#include <sys/wait.h>
#include <unistd.h>

#include "ServedSim.h"
#include "link/PortOpener.h"

using namespace kaldor;
using namespace kaldor::test;

extern char** environ;

namespace {

struct Outcome {
    std::string out;
    int status = -1;
};

Outcome Capture(const std::string& args) {
    Outcome r;
    FILE* p = ::popen((std::string(KALDOR_SIM_PATH) + " " + args + " 2>&1 </dev/null").c_str(), "r");
    if (!p) return r;
    char buf[512];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    r.status = ::pclose(p);
    return r;
}

TEST(SimProgram, HelpSaysHowAConsoleReachesIt) {
    const Outcome r = Capture("--help");
    ASSERT_TRUE(WIFEXITED(r.status));
    EXPECT_EQ(WEXITSTATUS(r.status), 0);
    EXPECT_NE(r.out.find("Usage: kaldor-sim"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("KALDOR_COM1=<path> kaldor-console"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("--rfc2217 PORT"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("the one before is disconnected"), std::string::npos) << r.out;
}

TEST(SimProgram, UsageErrors) {
    for (const char* args : {"--bogus", "--seed", "--seed x", "extra", "--rfc2217", "--rfc2217 65536",
                             "--rfc2217 -1", "--bind", "--rfc2217 0 --tls-cert a.crt",
                             "--rfc2217 0 --tls-key a.key", "--tls-cert a.crt --tls-key a.key",
                             "--rfc2217 0 --client-ca ca.crt", "--rfc2217 0 --tls-cert"}) {
        const Outcome r = Capture(args);
        ASSERT_TRUE(WIFEXITED(r.status)) << args;
        EXPECT_EQ(WEXITSTATUS(r.status), 2) << args;
        EXPECT_NE(r.out.find("kaldor-sim --help"), std::string::npos) << args << ": " << r.out;
    }
}

// On a pseudo-terminal, and as a remote serial port on a free loopback port.
TEST(SimProgram, ServesOnThePrintedPathUntilTerminated) {
    struct Case {
        std::vector<std::string> args;
        const char* path;
    } cases[] = {{{}, "/dev/"}, {{"--rfc2217", "0"}, "rfc2217://127.0.0.1:"}};
    for (const Case& k : cases) {
        int out[2];
        ASSERT_EQ(::pipe(out), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        std::vector<std::string> args{"kaldor-sim"};
        args.insert(args.end(), k.args.begin(), k.args.end());
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, KALDOR_SIM_PATH, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        // A failed check must not leave the server running: it holds the test's output open.
        struct Reaper {
            pid_t pid;
            ~Reaper() {
                if (pid > 0 && ::kill(pid, SIGKILL) == 0) ::waitpid(pid, nullptr, 0);
            }
        } reaper{pid};

        std::string path;
        char c;
        while (::read(out[0], &c, 1) == 1 && c != '\n') path += c;
        ::close(out[0]);
        ASSERT_EQ(path.rfind(k.path, 0), 0u) << path;

        // Opened as the console opens its ports, whatever the device.
        std::optional<PortOpener::Result> opened = OpenAsWindow(1, path, std::nullopt, 5000);
        ASSERT_TRUE(opened) << path;
        SerialPort& port = opened->Line;
        ASSERT_TRUE(port.IsOpen()) << path;
        port.SetTimeouts(1000);
        AmpStatus status;
        EXPECT_TRUE(ReadStatus(Reader(port), status, 5000)) << path;
        port.Close();

        ::kill(pid, SIGTERM);
        int status_ = 0;
        ASSERT_EQ(::waitpid(pid, &status_, 0), pid);
        reaper.pid = 0;
        EXPECT_TRUE(WIFEXITED(status_)) << path;
        EXPECT_EQ(WEXITSTATUS(status_), 0) << path;
    }
}

} // namespace
