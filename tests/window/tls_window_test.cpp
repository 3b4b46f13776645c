// The TLS line as the window meets it: a station trusted on first use, asked once, stored,
// silent on the reconnect, refused after a change; the Devices dialog's certificate fields.
#include <sys/stat.h>

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>

#include "WindowFixture.h"
#include "link/PortNames.h"
#include "link/TlsIdentity.h"
#include "shell/DevicesDialog.h"
#include "shell/IdentityBox.h"
#include "shell/MessageBox.h"
#include <QMessageBox>
#include "sim/SimServer.h"
#include "support/TlsFiles.h"

namespace kaldor::test {
namespace {

class TlsWindowTest : public WindowFixtureBase {
protected:
    void SetUp() override {
        SetStoredDeviceLookup(FreshSettings().DeviceLookup());
        NewWindow();
        form->show();
        files.Make("station", "station");
        files.Make("impostor", "station");
    }
    void TearDown() override {
        WindowFixtureBase::TearDown();
        SetStoredDeviceLookup({});
        unsetenv("KALDOR_COM1");
    }
    // The simulated amplifier served over TLS with that certificate, on port (0: any).
    std::unique_ptr<sim::SimServer> Station(const std::string& name, int port = 0) {
        std::string error;
        auto server = sim::SimServer::OnRfc2217("127.0.0.1", port, {}, error, {files.Cert(name), files.Key(name), ""});
        EXPECT_TRUE(server) << error;
        if (server) server->Start();
        return server;
    }
    static void Picture(QWidget& widget, const char* name) {
        widget.show(); // laid out as the user sees it
        QTest::qWait(50);
        widget.grab().save(QStringLiteral(KALDOR_BUILD_DIR "/%1").arg(QString::fromLatin1(name)));
    }
    bool Settled() {
        return QTest::qWaitFor([&] { return !form->ComOpener->Pending() && form->ComThread; }, 5000);
    }
    TlsFiles files;
};

} // namespace

TEST_F(TlsWindowTest, AStationIsTrustedOnFirstUseAskedOnceAndRefusedWhenItChanges) {
    auto station = Station("station");
    ASSERT_TRUE(station);
    const std::string address = station->DevicePath();
    setenv("KALDOR_COM1", address.c_str(), 1);
    std::vector<MessageBoxCall> asked;
    int answer = IDNO;
    ScopedMessageBoxResponder responder([&](const MessageBoxCall& call) {
        // The question as the user sees it, for the eye: build-test/tls-first-use.png.
        if (asked.empty()) Picture(*BuildMessageBox(call.Parent, call.Text, call.Caption, call.Flags), "tls-first-use.png");
        asked.push_back(call);
        return answer;
    });

    // No: the port stays unlinked, nothing stored, and the reconnect does not ask again.
    form->actOpenComExecute(1);
    ASSERT_TRUE(Settled());
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].Caption, QStringLiteral("KALDOR Console"));
    EXPECT_TRUE(asked[0].Text.contains(QString::fromStdString(files.Fingerprint("station")))) << asked[0].Text.toStdString();
    EXPECT_TRUE(asked[0].Text.contains(QStringLiteral("CN = station")) || asked[0].Text.contains(QStringLiteral("CN=station")));
    EXPECT_FALSE(form->ComPort.IsOpen());
    EXPECT_EQ(settings->LoadTrustedStation(StationKey(address)), "");
    QTest::qWait(2 * TMainForm::ReconnectIntervalMs + 200);
    EXPECT_EQ(asked.size(), 1u) << "the reconnect never asks";

    // Chosen again, Yes: stored under host:port, linked.
    answer = IDYES;
    form->actOpenComExecute(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->ComPort.IsOpen(); }, 5000));
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(settings->LoadTrustedStation(StationKey(address)), files.Fingerprint("station"));

    // Away and back: the reconnect links again without a word.
    const int port = std::stoi(address.substr(address.rfind(':') + 1));
    station.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->ComThread && form->ComThread->PortFailed; }, 8000));
    station = Station("station", port);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->ComPort.IsOpen() && !form->Reconnecting; }, 8000));
    EXPECT_EQ(asked.size(), 2u);

    // Another certificate at the same address: refused, said, never asked.
    station.reset();
    auto impostor = Station("impostor", port);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->AwaitingUser; }, 8000));
    EXPECT_FALSE(form->ComPort.IsOpen());
    EXPECT_EQ(asked.size(), 2u);
    const QString said = form->StatusBar->currentMessage();
    EXPECT_TRUE(said.contains(QStringLiteral("the station's certificate has changed"))) << said.toStdString();
    EXPECT_TRUE(said.contains(QString::fromStdString(files.Fingerprint("impostor"))));
    EXPECT_EQ(settings->LoadTrustedStation(StationKey(address)), files.Fingerprint("station"));
}

TEST_F(TlsWindowTest, DevicesStoresNoFileThatIsNotRight) {
    files.Make("console", "dl1abc");
    const std::string missing = files.Dir() + "/missing.pem";
    const struct {
        const char* name;
        std::string cert, key, station;
        const char* error; // empty: stored
    } cases[] = {
        {"a pair", files.Cert("console"), files.Key("console"), files.Cert("station"), ""},
        {"a key without its certificate", "", files.Key("console"), "", "needs both files"},
        {"a key of another certificate", files.Cert("console"), files.Key("station"), "", "does not belong"},
        {"a key file that is a certificate", files.Cert("console"), files.Cert("console"), "", "no private key"},
        {"no such station file", "", "", missing, "COM1: cannot read"},
        {"a station file that is a key", "", "", files.Key("station"), "COM1: "},
    };
    for (const auto& c : cases) {
        settings->SaveTlsIdentity("", "");
        settings->SaveTlsStationFile(1, "");
        TDevicesDialog dialog(*settings, form.get());
        dialog.Device(1)->setEditText(QStringLiteral("rfc2217s://127.0.0.1:4010"));
        EXPECT_TRUE(dialog.StationFile(1)->isVisibleTo(&dialog)) << c.name;
        dialog.Identity()->CertificateFile()->setText(QString::fromStdString(c.cert));
        dialog.Identity()->KeyFile()->setText(QString::fromStdString(c.key));
        dialog.StationFile(1)->setText(QString::fromStdString(c.station));
        if (c.error == cases[0].error) Picture(dialog, "tls-devices.png");
        dialog.accept();
        const bool stored = *c.error == '\0';
        EXPECT_EQ(dialog.result() == QDialog::Accepted, stored) << c.name;
        EXPECT_TRUE(dialog.Error()->text().contains(QString::fromLatin1(c.error))) << c.name << ": " << dialog.Error()->text().toStdString();
        EXPECT_EQ(settings->LoadTlsKeyFile(), stored ? c.key : "") << c.name;
        EXPECT_EQ(settings->LoadTlsStationFile(1), stored ? c.station : "") << c.name;
        EXPECT_EQ(settings->LoadComDevice(1), stored ? "rfc2217s://127.0.0.1:4010" : "") << c.name;
        settings->SaveComDevice(1, "");
    }
    // A plain address beyond this machine is said to be unencrypted; loopback and TLS are not.
    for (const auto& [device, warns] : {std::pair{"rfc2217://station.example:3000", true},
                                        {"rfc2217://127.0.0.1:3000", false}, {"rfc2217://[::1]:3000", false},
                                        {"rfc2217s://station.example:3000", false}, {"/dev/ttyUSB0", false}})
        EXPECT_EQ(PlainTextWarning(QString::fromLatin1(device)).contains(QStringLiteral("Unencrypted")), warns) << device;
}

TEST_F(TlsWindowTest, AMadeKeyIsTheUsersAloneAndItsCertificateCarriesTheName) {
    TDevicesDialog dialog(*settings, form.get());
    ASSERT_TRUE(dialog.Identity()->Make(QStringLiteral("dl1abc")));
    const std::string key = dialog.Identity()->KeyFile()->text().toStdString();
    struct stat st {};
    ASSERT_EQ(stat(key.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    CertificateInfo info;
    std::string error;
    ASSERT_TRUE(CheckIdentity(dialog.Identity()->CertificateFile()->text().toStdString(), key, info, error)) << error;
    EXPECT_EQ(info.CommonName, "dl1abc");
    EXPECT_TRUE(dialog.Identity()->Fingerprint()->text().startsWith(QString::fromStdString(info.Fingerprint)));
    // Made again over a key another user could read: replaced by one only this user can.
    chmod(key.c_str(), 0644);
    ASSERT_TRUE(dialog.Identity()->Make(QStringLiteral("dl1abc")));
    ASSERT_EQ(stat(key.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    QDir(dialog.Identity()->Folder()).removeRecursively();
}

} // namespace kaldor::test
