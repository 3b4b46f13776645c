// Reconnecting the chosen port when its device comes back, and the "Devices..." dialog.
#include <QAction>
#include <QMenu>
#include <QTimer>

#include <cstdio>

#include "link/PortNames.h"
#include "link/Rfc2217Port.h"
#include "shell/DevicesDialog.h"
#include "shell/Mainunit.h"
#include "shell/Settings.h"

namespace kaldor {

void TMainForm::BuildReconnect() {
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
    ProbeTicket = 0;
    if (ServerProbe) ServerProbe->Cancel();
}

void TMainForm::tmrReconnectTimer() {
    if (ChosenPort == 0 || !ComThread) return;
    const bool wasOpen = ComPort.IsOpen();
    if (wasOpen && !ComThread->PortFailed) return;
    const int n = ChosenPort;
    const std::string device = PortDeviceName(n);
    // A port that did not open when chosen has said so already.
    if (!Reconnecting && wasOpen)
        std::fprintf(stderr, "KALDOR Console: COM%d (%s): device lost, reconnecting\n", n,
                     device.c_str());
    Reconnecting = true;
    if (!IsRemoteDevice(device)) {
        ReconnectPort(n, device); // a missing local device fails to open at once
        return;
    }
    if (ProbeTicket != 0) return; // one probe at a time, at most one a tick
    if (!ServerProbe)
        ServerProbe = std::make_unique<RemoteProbe>(
            gate_.get(), [this](uint64_t ticket, bool reachable) { ProbeDone(ticket, reachable); });
    ProbeTicket = ServerProbe->Probe(device);
    ProbeDevice = device;
}

void TMainForm::ProbeDone(uint64_t ticket, bool reachable) {
    if (ticket == 0 || ticket != ProbeTicket) return; // a probe that reconnecting has left
    ProbeTicket = 0;
    if (!reachable || !Reconnecting || ChosenPort == 0) return;
    // The device may have been reassigned meanwhile: the next tick probes the new one.
    if (PortDeviceName(ChosenPort) == ProbeDevice) ReconnectPort(ChosenPort, ProbeDevice);
}

void TMainForm::ReconnectPort(int n, const std::string& device) {
    ComPort.SetOpenReports(false); // one line for the loss, none for each attempt
    const bool back = ReopenPort(n);
    ComPort.SetOpenReports(true);
    StartReceiver();
    if (!back) return;
    Reconnecting = false;
    std::fprintf(stderr, "KALDOR Console: COM%d (%s): device back, link requested\n", n,
                 device.c_str());
    SendLinkRequest();
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
    for (int n : ports) {
        if (n < 1 || n > PortCount || n == ChosenPort) continue;
        SerialPort probe;
        const bool opens = probe.Open(n, 9600, NOPARITY, 8, ONESTOPBIT, 4096, 4096);
        probe.Close();
        actOpenCom[static_cast<size_t>(n - 1)]->setEnabled(opens);
    }
}

} // namespace kaldor
