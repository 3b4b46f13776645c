// Opening the ports, reconnecting the chosen one when its device comes back, and the
// "Devices..." dialog.
#include <QAction>
#include <QMenu>
#include <QTimer>

#include <cstdio>
#include <utility>

#include "link/PortNames.h"
#include "shell/DevicesDialog.h"
#include "shell/Mainunit.h"
#include "shell/Settings.h"

namespace kaldor {

void TMainForm::BuildDevicesAndReconnect() {
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
        [this, quiet, then = std::move(then)](PortOpener::Result& result) {
            const bool opened = result.Opened();
            ComPort = std::move(result.Line);
            if (!opened && !quiet)
                std::fprintf(stderr, "KALDOR Console: cannot open %s\n", result.Failure.c_str());
            then(opened);
        });
}

void TMainForm::ProbePort(int n) {
    // Quiet: a port the console does not go on to use is nobody's concern on standard error.
    ProbeOpeners[static_cast<size_t>(n - 1)]->Open(n, nullptr, [this](PortOpener::Result& result) {
        const bool opens = result.Opened();
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
    if (ChosenPort == 0 || !ComThread || ComOpener->Pending()) return;
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
