// The built program started as a user starts it, with settings and devices it has to survive.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <string>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "support/TestAmp.h"

using namespace kaldor::test;
using namespace std::chrono;

extern char** environ;

namespace {

const Bytes kLinkRequest = {0x55, 0x55, 0x55, 0x01, 0x80, 0x80};
constexpr int kStartMs = 20000; // a sanitizer build starts slowly on a busy machine

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// kaldor-console with the settings, devices and display of the test, standard error into a
// file in its home; killed at the end. A fresh line each: a killed console leaves its exclusive
// flag on the last one.
class Console {
  public:
    explicit Console(const QTemporaryDir& home) : err_(home.filePath("stderr.txt")) {
        for (const char* var : {"XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
            qputenv(var, home.path().toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "offscreen");
        for (int n = 2; n <= 6; ++n)
            qputenv(("KALDOR_COM" + std::to_string(n)).c_str(), "/nonexistent");
        Line.BindPort(1);
    }
    void Start() {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, err_.toLocal8Bit().constData(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        char arg0[] = "kaldor-console";
        char* argv[] = {arg0, nullptr};
        if (posix_spawn(&pid_, KALDOR_CONSOLE_PATH, &actions, nullptr, argv, environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Console() {
        if (Running()) ::kill(pid_, SIGKILL);
        if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
    }
    bool Running() const { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }
    // Standard error once it holds text, or after ms.
    std::string Err(const std::string& text = "", int ms = 0) const {
        const auto deadline = steady_clock::now() + milliseconds(ms);
        while (Read(err_).toStdString().find(text) == std::string::npos &&
               steady_clock::now() < deadline)
            std::this_thread::sleep_for(milliseconds(50));
        return Read(err_).toStdString();
    }

    TestAmp Line;

  private:
    QString err_;
    pid_t pid_ = -1;
};

class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(home.isValid() && QDir(home.path()).mkpath("OLV")); }
    QString Store() const { return home.filePath("OLV/Kaldor_Console.conf"); }
    QTemporaryDir home;
};

} // namespace

TEST_F(ProgramTest, PlacementAtTheEndsOfTheIntRangeStartsTheConsole) {
    for (const char* placement :
         {"Top=60\nApplicationLeft=2147483647", "Top=-2147483648\nApplicationLeft=2147483647"}) {
        Write(Store(), QByteArray("[General]\nDefaultComPort=1\nApplicationHeight=500\n"
                                  "ApplicationWidth=780\nApplication") +
                           placement + "\n");
        Console console(home);
        console.Start();
        EXPECT_EQ(Hex(console.Line.Received(6, kStartMs)), Hex(kLinkRequest)) << placement;
        EXPECT_TRUE(console.Running()) << placement << console.Err();
    }
}

TEST_F(ProgramTest, AFileAsTheStoredPortIsRefusedAndKeepsItsBytes) {
    const QString file = home.filePath("notes.txt");
    Write(file, "a user's notes\n");
    Write(Store(), "[General]\nDefaultComPort=1\n");
    Console console(home);
    console.Line.BindPort(2);
    qputenv("KALDOR_COM1", file.toLocal8Bit());
    console.Start();
    const std::string line =
        "KALDOR Console: cannot open COM1 (" + file.toStdString() + "): not a serial device\n";
    const std::string err = console.Err(line, kStartMs);
    EXPECT_NE(err.find(line), std::string::npos) << err;
    EXPECT_EQ(err.find(line), err.rfind(line)) << "once";
    EXPECT_EQ(Read(file), "a user's notes\n");
}

TEST_F(ProgramTest, SettingsThatCannotBeWrittenNeitherEndTheConsoleNorAreWrittenAgain) {
    // A folder an unprivileged user cannot write, holding what the console would store anyway.
    const QByteArray stored = "[General]\nDefaultComPort = 1\n";
    Write(Store(), stored);
    QFile::setPermissions(home.filePath("OLV"), QFile::ReadOwner | QFile::ExeOwner);
    {
        Console console(home);
        console.Start();
        EXPECT_EQ(Hex(console.Line.Received(6, kStartMs)), Hex(kLinkRequest));
        EXPECT_TRUE(console.Running());
        EXPECT_EQ(console.Err().find("could not be written"), std::string::npos);
    }
    QFile::setPermissions(home.filePath("OLV"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(Read(Store()), stored);

    // A folder where the file belongs: said once, and the console goes on.
    ASSERT_TRUE(QFile::remove(Store()) && QDir().mkpath(Store()));
    Console console(home);
    console.Start();
    const std::string said = "They will not be kept.\n";
    const std::string err = console.Err(said, kStartMs);
    EXPECT_NE(err.find("KALDOR Console: The settings could not be written to " +
                       Store().toStdString() + ". " + said),
              std::string::npos)
        << err;
    EXPECT_EQ(err.find(said), err.rfind(said));
    EXPECT_TRUE(console.Running());
}
