#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <memory>

#include "shell/Settings.h"
#include "support/TestSettings.h"

using namespace kaldor;
using kaldor::test::TestSettingsRoot;

namespace {

// The cases that write or read the store's file as a user's editor would; on Windows the store
// is the registry (tests/shell/win32 covers its values).
#ifdef _WIN32
#define KALDOR_STORE_IS_A_FILE() GTEST_SKIP() << "the store is a registry key here"
#else
#define KALDOR_STORE_IS_A_FILE() (void)0
#endif

// Each test gets a store of its own, as a user on a fresh machine would.
class SettingsTest : public ::testing::Test {
protected:
    // A new root; the old one goes after its store has.
    void FreshHome() {
        auto fresh = std::make_unique<TestSettingsRoot>();
        settings = TSettings(fresh->Application()); // the store is read at its first use
        root = std::move(fresh);
    }

    QString StorePath() const { return root->StorePath(); }

    // Stores values as a hand-edited file would hold them, before the console reads any.
    void Store(const QString& lines) {
        QDir().mkpath(QFileInfo(StorePath()).absolutePath());
        QFile file(StorePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(("[General]\n" + lines + "\n").toUtf8());
    }

    QString StoredText() const {
        QFile file(StorePath());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    std::unique_ptr<TestSettingsRoot> root = std::make_unique<TestSettingsRoot>();
    TSettings settings{root->Application()};
};

} // namespace

TEST_F(SettingsTest, FirstRunGivesTheDefaultsAndCreatesTheStore) {
    KALDOR_STORE_IS_A_FILE();
    ASSERT_FALSE(QFileInfo::exists(StorePath()));
    int top = -7, left = -7, height = -7, width = -7;
    EXPECT_FALSE(settings.LoadWindowPlacement(top, left, height, width));
    EXPECT_EQ(top, -7);
    EXPECT_EQ(width, -7);
    EXPECT_EQ(settings.LoadComPort(), 0);
    EXPECT_TRUE(settings.LoadAutoShutdown());
    EXPECT_EQ(settings.LoadStartupDelay(), 6000);
    EXPECT_EQ(settings.LoadResponseDelay(), 500);
    EXPECT_EQ(settings.LoadComDevice(1), "");
    EXPECT_TRUE(QFileInfo::exists(StorePath())) << "reading alone creates the store";
    EXPECT_EQ(settings.Location(), StorePath());
}

TEST_F(SettingsTest, SavedValuesReadBackAndLandInTheUsersConfigurationFile) {
    KALDOR_STORE_IS_A_FILE();
    settings.SaveWindowPlacement(120, -30, 451, 801);
    settings.SaveComPort(3);
    settings.SaveAutoShutdown(false);
    const QString text = StoredText();
    EXPECT_TRUE(text.contains("ApplicationTop=120")) << text.toStdString();
    EXPECT_TRUE(text.contains("ApplicationLeft=-30"));
    EXPECT_TRUE(text.contains("DefaultComPort=3"));
    EXPECT_TRUE(text.contains("DefaultShutdown=0"));
    EXPECT_FALSE(text.contains("DefaultStartupDelay")) << "the console never writes the delays";

    int top = 0, left = 0, height = 0, width = 0;
    ASSERT_TRUE(settings.LoadWindowPlacement(top, left, height, width));
    EXPECT_EQ(top, 120);
    EXPECT_EQ(left, -30);
    EXPECT_EQ(height, 451);
    EXPECT_EQ(width, 801);
    EXPECT_EQ(settings.LoadComPort(), 3);
    EXPECT_FALSE(settings.LoadAutoShutdown());
    settings.SaveAutoShutdown(true);
    EXPECT_TRUE(StoredText().contains("DefaultShutdown=1"));
    EXPECT_TRUE(settings.LoadAutoShutdown());
}

TEST_F(SettingsTest, AutoShutdownIsOnForAnyNonZeroNumberAndForText) {
    KALDOR_STORE_IS_A_FILE();
    struct Case {
        const char* stored;
        bool on;
    };
    for (const Case c : {Case{"0", false}, Case{"1", true}, Case{"5", true}, Case{"-1", true},
                         Case{"yes", true}, Case{"", true}}) {
        FreshHome();
        Store(QString("DefaultShutdown=") + c.stored);
        EXPECT_EQ(settings.LoadAutoShutdown(), c.on) << "stored \"" << c.stored << "\"";
    }
    EXPECT_EQ(TSettings::AutoShutdownText(true), "Auto shutdown: ON");
    EXPECT_EQ(TSettings::AutoShutdownText(false), "Auto shutdown: OFF");
}

TEST_F(SettingsTest, APlacementIsAllOrNothing) {
    KALDOR_STORE_IS_A_FILE();
    int top = 1, left = 2, height = 3, width = 4;
    Store("ApplicationTop=10\nApplicationLeft=20\nApplicationHeight=30");
    EXPECT_FALSE(settings.LoadWindowPlacement(top, left, height, width));
    EXPECT_EQ(top, 1);
    EXPECT_EQ(left, 2);
    EXPECT_EQ(height, 3);
    EXPECT_EQ(width, 4);

    FreshHome();
    Store("ApplicationTop=10\nApplicationLeft=20\nApplicationHeight=30\nApplicationWidth=wide");
    EXPECT_FALSE(settings.LoadWindowPlacement(top, left, height, width));
    EXPECT_EQ(top, 1);
}

TEST_F(SettingsTest, ValuesThatAreNotThirtyTwoBitIntegersGiveTheirDefaults) {
    KALDOR_STORE_IS_A_FILE();
    Store("DefaultComPort=COM3\n"
          "DefaultStartupDelay=4294967296\n"
          "DefaultResponseDelay=2147483648\n"
          "ApplicationTop=-2147483648\nApplicationLeft=2147483647\n"
          "ApplicationHeight=12.5\nApplicationWidth=800");
    EXPECT_EQ(settings.LoadComPort(), 0);
    EXPECT_EQ(settings.LoadStartupDelay(), 6000);
    EXPECT_EQ(settings.LoadResponseDelay(), 500);
    int top = 0, left = 0, height = 0, width = 0;
    EXPECT_FALSE(settings.LoadWindowPlacement(top, left, height, width)) << "12.5 is no integer";

    FreshHome();
    // The file has no types: a number written as text reads as the number.
    Store("DefaultComPort=\"4\"\nApplicationTop=-2147483648\nApplicationLeft=2147483647\n"
          "ApplicationHeight=1\nApplicationWidth=0");
    EXPECT_EQ(settings.LoadComPort(), 4);
    ASSERT_TRUE(settings.LoadWindowPlacement(top, left, height, width));
    EXPECT_EQ(top, INT32_MIN);
    EXPECT_EQ(left, INT32_MAX);
}

TEST_F(SettingsTest, DelaysAreUsedAsWholeHundredsTruncated) {
    KALDOR_STORE_IS_A_FILE();
    Store("DefaultStartupDelay=6150\nDefaultResponseDelay=99");
    EXPECT_EQ(TSettings::RoundDownTo100(settings.LoadStartupDelay()), 6100);
    EXPECT_EQ(TSettings::RoundDownTo100(settings.LoadResponseDelay()), 0);
    EXPECT_EQ(TSettings::RoundDownTo100(2550), 2500);
    EXPECT_EQ(TSettings::RoundDownTo100(6000), 6000);
    EXPECT_EQ(TSettings::RoundDownTo100(-150), -100);
}

TEST_F(SettingsTest, DeviceOfAPortAndTheSimulatedStoreAreKeptApart) {
    KALDOR_STORE_IS_A_FILE();
    Store("ComDevice2=/dev/pts/7\nComDevice3=/dev/serial/by-id/usb-a,b\nDefaultComPort=2");
    EXPECT_EQ(settings.LoadComDevice(2), "/dev/pts/7");
    EXPECT_EQ(settings.LoadComDevice(3), "/dev/serial/by-id/usb-a,b");
    EXPECT_EQ(settings.LoadComDevice(4), "");
    const auto lookup = TSettings(root->Application()).DeviceLookup(); // outlives its TSettings
    EXPECT_EQ(lookup(2), "/dev/pts/7");

    const TestSettingsRoot otherRoot; // as the simulated console's own application name
    TSettings simulated(otherRoot.Application());
    EXPECT_EQ(simulated.LoadComPort(), 0);
    simulated.SaveComPort(1);
    EXPECT_EQ(simulated.LoadComPort(), 1);
    EXPECT_EQ(settings.LoadComPort(), 2);
    EXPECT_TRUE(QFileInfo::exists(otherRoot.StorePath()));
    EXPECT_STRNE(TSettings::kSimulatedApplication, TSettings::kApplication);
}

TEST_F(SettingsTest, TheStoreIsReadOnceAndAnUnchangedValueIsNotWrittenAgain) {
    KALDOR_STORE_IS_A_FILE();
    Store("DefaultComPort = 3\nDefaultShutdown = 0");
    EXPECT_EQ(settings.LoadComPort(), 3);
    const QString before = StoredText();
    Store("DefaultComPort=5"); // changed behind the running console's back
    EXPECT_EQ(settings.LoadComPort(), 3);
    EXPECT_FALSE(settings.LoadAutoShutdown());
    Store("DefaultComPort = 3\nDefaultShutdown = 0");
    settings.SaveComPort(3);
    settings.SaveAutoShutdown(false);
    EXPECT_EQ(StoredText(), before);
    settings.SaveComPort(4);
    EXPECT_TRUE(StoredText().contains("DefaultComPort=4")) << StoredText().toStdString();
}

TEST_F(SettingsTest, AWriteThatCannotReachTheStoreIsSaidOnceAndNotTriedAgain) {
    KALDOR_STORE_IS_A_FILE();
    // A store one level below the test's name, and a file where its directory belongs.
    const QString folder = QFileInfo(root->StorePath()).absolutePath();
    const QString blocked = folder + "/" + root->Application();
    const QString storePath = blocked + "/Store.conf";
    QDir().mkpath(folder);
    QFile blocker(blocked);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    struct Cleanup {
        QString path;
        ~Cleanup() { QFile::remove(path); }
    } cleanup{blocked};
    settings = TSettings(root->Application() + QStringLiteral("/Store"));
    testing::internal::CaptureStderr();
    settings.SaveComPort(2);
    settings.SaveWindowPlacement(0, 0, 450, 800);
    settings.SaveComDevice(1, "/dev/pts/3");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "KALDOR Console: The settings could not be written to " + storePath.toStdString() +
                  ". They will not be kept.\n");
}

TEST(PlacementVisible, APlacementCountsAsVisibleWhenItMeetsAnyScreen) {
    const QList<QRect> screens{QRect(0, 0, 1920, 1040), QRect(1920, 0, 1280, 984)};
    EXPECT_TRUE(TSettings::PlacementVisible(QRect(100, 100, 800, 450), screens));
    EXPECT_TRUE(TSettings::PlacementVisible(QRect(-790, -440, 800, 450), screens)) << "a corner";
    EXPECT_TRUE(TSettings::PlacementVisible(QRect(3000, 500, 800, 450), screens)) << "second screen";
    EXPECT_FALSE(TSettings::PlacementVisible(QRect(3200, 0, 800, 450), screens)) << "right of both";
    EXPECT_FALSE(TSettings::PlacementVisible(QRect(100, 1040, 800, 450), screens)) << "just below";
    EXPECT_FALSE(TSettings::PlacementVisible(QRect(-800, 0, 800, 450), screens)) << "just left";
    EXPECT_TRUE(TSettings::PlacementVisible(QRect(50, 50, 0, 0), screens)) << "no area, seen corner";
    EXPECT_FALSE(TSettings::PlacementVisible(QRect(100, 100, 800, 450), {}));
    // Corners at the ends of the int range, as a stored placement may hold them.
    const QPoint farOff(INT32_MAX, INT32_MIN), nearOff(INT32_MIN, INT32_MAX);
    EXPECT_FALSE(TSettings::PlacementVisible(QRect(farOff, farOff), screens));
    EXPECT_TRUE(TSettings::PlacementVisible(QRect(farOff, nearOff), screens)) << "spans every screen";
}

// A place saved at one scaling and restored at another: the screens' available areas in the
// window's own (scaled) pixels, as Qt gives them.
TEST(FitPlacement, AFrameIsMovedIntoTheScreenItOverlapsMost) {
    const QRect at144(0, 0, 1067, 760);        // 1600 x 1200 at 150 %, above a taskbar
    const QRect second(1067, 0, 1280, 984);    // a second screen at 100 % to its right
    struct Row {
        QRect frame;
        QList<QRect> screens;
        QPoint expected;
        const char* why;
    };
    const Row rows[] = {
        {{606, 581, 800, 450}, {at144}, {267, 310}, "saved at 96 DPI: past right and bottom"},
        {{100, 100, 800, 450}, {at144}, {100, 100}, "inside: untouched"},
        {{-300, -20, 800, 450}, {at144}, {0, 0}, "past the left and top edges"},
        {{50, 40, 1200, 900}, {at144}, {0, 0}, "larger than the area: its top-left corner"},
        {{900, 100, 800, 450}, {at144, second}, {1067, 100}, "mostly on the second screen"},
        {{500, 100, 800, 450}, {at144, second}, {267, 100}, "mostly on the first"},
        {{3000, 2000, 800, 450}, {at144}, {3000, 2000}, "on no screen: as given"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(TSettings::FitPlacement(r.frame, r.screens), r.expected) << r.why;
}
