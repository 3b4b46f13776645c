// Opening the ports, reconnecting the chosen one when its device comes back, and the
// "Devices..." dialog.
#include <QAction>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>

#include <cstdio>
#include <utility>

#include "link/PortNames.h"
#include "shell/DevicesDialog.h"
#include "shell/Mainunit.h"
#include "shell/MessageBox.h"
#include "shell/Settings.h"

namespace kaldor {

TlsOptions TMainForm::TlsOptionsFor(int n, const std::string& station) const {
    TlsOptions o;
    o.CertificateFile = settings_.LoadTlsCertificateFile();
    o.KeyFile = settings_.LoadTlsKeyFile();
    o.StationFile = settings_.LoadTlsStationFile(n);
    o.TrustedFingerprint = settings_.LoadTrustedStation(station);
    return o;
}

bool TMainForm::StationNotTrusted(int n, bool quiet, const PortOpener::Result& result) {
    if (quiet) {
        // The reconnect never asks: it waits for the user, and says why once.
        if (!std::exchange(AwaitingUser, true)) {
            std::fprintf(stderr, "KALDOR Console: %s\n", result.Failure.c_str());
            StatusBar->showMessage(QString::fromStdString(result.Failure));
        }
        return false;
    }
    if (!result.StationUnknown) return false;
    const QString text =
        QStringLiteral("COM%1 (%2): this station is not known yet.\n\nSHA-256 fingerprint:\n%3\n\n"
                       "Subject: %4\n\nTrust this station and link to it? Compare the fingerprint with "
                       "the one its owner gave you.")
            .arg(n)
            .arg(QString::fromStdString(result.Device), QString::fromStdString(result.Station.Fingerprint),
                 QString::fromStdString(result.Station.Subject));
    if (ShowMessageBox(this, text, QString::fromLatin1(kAppCaption), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return false;
    settings_.SaveTrustedStation(result.StationKey, result.Station.Fingerprint);
    return true;
}

void TMainForm::BuildDevicesAndReconnect() {
    // Each TLS port's identity and trust, read when it is opened.
    auto provider = [this](int n, const std::string& station) { return TlsOptionsFor(n, station); };
    ComOpener->SetTlsProvider(provider);
    for (auto& opener : ProbeOpeners) {
        opener->SetTlsProvider(provider);
        // Opening a port can take seconds (a Bluetooth COM port, a driver that hangs): the
        // start-up's probes never hold the window thread.
        opener->SetLocalInBackground(true);
    }

    itmDevices = itmSerialPort->addAction(QStringLiteral("Devices..."));
    itmDevices->setObjectName(QStringLiteral("itmDevices"));
    connect(itmDevices, &QAction::triggered, this, [this] { itmDevicesClick(); });

    tmrReconnect = new QTimer(this);
    tmrReconnect->setObjectName(QStringLiteral("tmrReconnect"));
    tmrReconnect->setInterval(ReconnectIntervalMs);
    connect(tmrReconnect, &QTimer::timeout, this, [this] { tmrReconnectTimer(); });
    tmrReconnect->start();
}

void TMainForm::StopReconnecting() {
    Reconnecting = false;
    AwaitingUser = false;
    ChosenPort = 0;
    ComOpener->Cancel();
}

void TMainForm::OpenComPort(int n, bool quiet, std::function<void(bool)> then) {
    // The receiver and the old device go just before the new device opens, so that the same
    // device opens again; a remote server is reached with the old link still up.
    ComOpener->Open(
        n,
        [this] {
            StopReceiver();
            ComPort.Close();
        },
        [this, n, quiet, then = std::move(then)](PortOpener::Result& result) {
            const bool opened = result.Opened();
            ComPort = std::move(result.Line);
            if (opened) StatusBar->clearMessage();
            // A certificate the station or the console refuses does not mend itself in a second.
            const bool certificate = !opened && (result.StationUnknown || !result.Station.Fingerprint.empty() ||
                                                 result.Failure.find("certificate") != std::string::npos);
            if (certificate && StationNotTrusted(n, quiet, result)) {
                // Stored: the Serial Port action again, from the top, with the station known.
                QTimer::singleShot(0, this, [this, n] { actOpenComExecute(n); });
                return;
            }
            if (!opened && !quiet) {
                std::fprintf(stderr, "KALDOR Console: cannot open %s\n", result.Failure.c_str());
                if (certificate) StatusBar->showMessage(QString::fromStdString(result.Failure));
            }
            then(opened);
        });
}

void TMainForm::ProbePort(int n) {
    // Quiet: a port the console does not go on to use is nobody's concern on standard error.
    ProbeOpeners[static_cast<size_t>(n - 1)]->Open(n, nullptr, [this](PortOpener::Result& result) {
        // A station not known yet is there: choosing its port asks about it.
        const bool opens = result.Opened() || result.StationUnknown;
        result.Line.Close();
        PortProbed(result.Port, opens, result.Failure);
    });
}

void TMainForm::SetPortUsable(int n, bool usable) {
    PortUsable[static_cast<size_t>(n - 1)] = usable;
    actOpenCom[static_cast<size_t>(n - 1)]->setEnabled(usable);
}

void TMainForm::PortProbed(int n, bool opens, const std::string& failure) {
    SetPortUsable(n, opens);
    ProbeFailures[static_cast<size_t>(n - 1)] = opens ? std::string() : failure;
    StartupProbes &= ~(1u << n);
    if (StartupProbes == 0 && std::exchange(StartupWaiting, false)) OpenStartupPort();
}

void TMainForm::tmrReconnectTimer() {
    // No receiver or an open under way: an attempt is running.
    if (ChosenPort == 0 || !ComThread || ComOpener->Pending() || AwaitingUser) return;
    const bool wasOpen = ComPort.IsOpen();
    if (wasOpen && !ComThread->PortFailed) return;
    const int n = ChosenPort;
    const std::string device = PortDeviceName(n);
    // A port that did not open when chosen has said so already.
    if (!Reconnecting && wasOpen)
        std::fprintf(stderr, "KALDOR Console: COM%d (%s): device lost, reconnecting\n", n,
                     device.c_str());
    Reconnecting = true;
    ReconnectPort(n, device);
}

void TMainForm::ReconnectPort(int n, const std::string& device) {
    OpenComPort(n, true, [this, n, device](bool back) {
        ComPort.SetTimeouts(5000);
        StartReceiver();
        if (!back) return;
        Reconnecting = false;
        std::fprintf(stderr, "KALDOR Console: COM%d (%s): device back, link requested\n", n,
                     device.c_str());
        SendLinkRequest();
    });
}

void TMainForm::itmDevicesClick() {
    auto* dialog = new TDevicesDialog(settings_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] { DevicesChanged(dialog->Changed()); });
    dialog->open();
}

void TMainForm::DevicesChanged(const QList<int>& ports) {
    // A newly assigned device may be there now; the chosen port keeps its open device until it
    // is chosen again.
    for (int n : ports)
        if (n >= 1 && n <= PortCount && n != ChosenPort) ProbePort(n);
}

} // namespace kaldor
