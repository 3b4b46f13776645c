// The built program started as a user starts it, with settings and devices it has to survive.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/TestAmp.h"

using namespace kaldor::test;
using namespace std::chrono;

extern char** environ;

namespace {

const Bytes kLinkRequest = {0x55, 0x55, 0x55, 0x01, 0x80, 0x80};
constexpr int kStartMs = 20000; // a sanitizer build starts slowly on a busy machine

// kaldor-console on the display and environment of the test, its standard error captured.
class Console {
public:
    Console() {
        int err[2];
        if (::pipe(err) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        posix_spawn_file_actions_addclose(&actions, err[0]);
        char arg0[] = "kaldor-console";
        char* argv[] = {arg0, nullptr};
        if (posix_spawn(&pid_, KALDOR_CONSOLE_PATH, &actions, nullptr, argv, environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(err[1]);
        errFd_ = err[0];
    }
    ~Console() {
        Stop();
        ::close(errFd_);
    }
    bool Running() { return pid_ > 0 && ::waitpid(pid_, &status_, WNOHANG) == 0; }
    void Stop() {
        if (Running()) ::kill(pid_, SIGKILL);
        if (pid_ > 0) ::waitpid(pid_, &status_, 0);
        pid_ = -1;
    }
    // Standard error so far, once it holds text or ms have passed.
    const std::string& Err(const std::string& text, int ms) {
        const auto deadline = steady_clock::now() + milliseconds(ms);
        do {
            pollfd p{errFd_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            char buffer[256];
            const ssize_t n = ::read(errFd_, buffer, sizeof buffer);
            if (n <= 0) break;
            text_.append(buffer, static_cast<size_t>(n));
        } while (text_.find(text) == std::string::npos && steady_clock::now() < deadline);
        return text_;
    }

private:
    pid_t pid_ = -1;
    int status_ = 0;
    int errFd_ = -1;
    std::string text_;
};

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
        qputenv("XDG_RUNTIME_DIR", home.path().toLocal8Bit()); // its own single-instance lock
        qputenv("QT_QPA_PLATFORM", "offscreen");
        for (int n = 1; n <= 6; ++n)
            qputenv(QByteArray("KALDOR_COM") + QByteArray::number(n),
                    "/nonexistent/kaldor" + QByteArray::number(n));
        amp.BindPort(1);
        ASSERT_TRUE(QDir(home.path()).mkpath("OLV"));
    }
    QString Store() const { return home.filePath("OLV/Kaldor_Console.conf"); }
    static QByteArray Bytes(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
    }
    static void Write(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QTemporaryDir home;
    TestAmp amp;
};

} // namespace

TEST_F(ProgramTest, PlacementAtTheEndsOfTheIntRangeStartsTheConsole) {
    for (const char* placement :
         {"ApplicationTop=60\nApplicationLeft=2147483647\nApplicationHeight=500\nApplicationWidth=780",
          "ApplicationTop=2147483647\nApplicationLeft=70\nApplicationHeight=500\nApplicationWidth=780",
          "ApplicationTop=-2147483648\nApplicationLeft=-2147483648\n"
          "ApplicationHeight=-2147483648\nApplicationWidth=-2147483648",
          "ApplicationTop=-2147483648\nApplicationLeft=2147483647\n"
          "ApplicationHeight=500\nApplicationWidth=780"}) {
        Write(Store(), QByteArray("[General]\nDefaultComPort=1\n") + placement + "\n");
        TestAmp line; // a killed console leaves its exclusive flag on the one before
        line.BindPort(1);
        Console console;
        EXPECT_EQ(Hex(line.Received(6, kStartMs)), Hex(kLinkRequest)) << placement;
        EXPECT_TRUE(console.Running()) << placement << console.Err("", 0);
    }
}

TEST_F(ProgramTest, AFileAsTheStoredPortIsRefusedAndKeepsItsBytes) {
    const QString file = home.filePath("notes.txt");
    Write(file, "a user's notes\n");
    qputenv("KALDOR_COM1", file.toLocal8Bit());
    amp.BindPort(2);
    Write(Store(), "[General]\nDefaultComPort=1\n");
    const std::string line = "KALDOR Console: cannot open COM1 (" + file.toStdString() +
                             "): not a serial device\n";
    Console console;
    const std::string err = console.Err(line, kStartMs);
    EXPECT_NE(err.find(line), std::string::npos) << err;
    EXPECT_EQ(err.find(line), err.rfind(line)) << "once";
    console.Stop(); // COM2's question waits for a user
    EXPECT_EQ(Bytes(file), "a user's notes\n");
}

TEST_F(ProgramTest, SettingsThatCannotBeWrittenNeitherEndTheConsoleNorAreWrittenAgain) {
    // A folder an unprivileged user cannot write, holding what the console would store anyway.
    const QByteArray stored = "[General]\nDefaultComPort = 1\n";
    Write(Store(), stored);
    QFile::setPermissions(home.filePath("OLV"), QFile::ReadOwner | QFile::ExeOwner);
    {
        Console console;
        EXPECT_EQ(Hex(amp.Received(6, kStartMs)), Hex(kLinkRequest));
        EXPECT_TRUE(console.Running());
        EXPECT_EQ(console.Err("", 0).find("could not be written"), std::string::npos);
    }
    QFile::setPermissions(home.filePath("OLV"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(Bytes(Store()), stored);

    // A folder where the file belongs: said once, and the console goes on.
    ASSERT_TRUE(QFile::remove(Store()));
    ASSERT_TRUE(QDir().mkpath(Store()));
    TestAmp line; // the killed console left its exclusive flag on the first one
    line.BindPort(1);
    Console console;
    const std::string said = "They will not be kept.\n";
    const std::string err = console.Err(said, kStartMs);
    EXPECT_NE(err.find("KALDOR Console: The settings could not be written to " +
                       Store().toStdString() + ". " + said),
              std::string::npos)
        << err;
    EXPECT_EQ(err.find(said), err.rfind(said));
    EXPECT_TRUE(console.Running());
}
