// Reconnecting the chosen port when its device comes back, and the "Devices..." dialog.
#include <QAction>
#include <QMenu>
#include <QTimer>

#include <cstdio>
#include <utility>

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
    OpenTicket = 0;
    if (ComOpener) ComOpener->Cancel();
}

void TMainForm::OpenComPort(int n, bool quiet, std::function<void(bool)> then) {
    const std::string device = PortDeviceName(n);
    if (IsRemoteDevice(device) && !ComOpener)
        ComOpener = std::make_unique<RemoteOpener>(
            gate_.get(), [this](uint64_t ticket, std::shared_ptr<Rfc2217Port> port,
                                const std::string& error) { ComPortOpened(ticket, port, error); });
    // Whatever was under way is dropped. A remote name that is no address fails at once, as a
    // local device does.
    OpenTicket = IsRemoteDevice(device) ? ComOpener->Open(device) : 0;
    if (OpenTicket != 0) {
        openPort_ = n;
        openDevice_ = device;
        openQuiet_ = quiet;
        openDone_ = std::move(then);
        return;
    }
    if (ComOpener) ComOpener->Cancel();
    StopReceiver();
    ComPort.Close();
    ComPort.SetOpenReports(!quiet);
    const bool opened = ComPort.Open(n, 9600, NOPARITY, 8, ONESTOPBIT, 4096, 4096);
    ComPort.SetOpenReports(true);
    then(opened);
}

void TMainForm::ComPortOpened(uint64_t ticket, std::shared_ptr<Rfc2217Port> port,
                              const std::string& error) {
    if (ticket == 0 || ticket != OpenTicket) return; // an open that a later one has dropped
    OpenTicket = 0;
    StopReceiver();
    ComPort.Close();
    ComPort.SetOpenReports(!openQuiet_);
    const bool opened = ComPort.Adopt(openPort_, openDevice_, std::move(port), error);
    ComPort.SetOpenReports(true);
    std::exchange(openDone_, nullptr)(opened);
}

void TMainForm::ProbePort(int n) {
    const std::string device = PortDeviceName(n);
    auto& opener = ProbeOpeners[static_cast<size_t>(n - 1)];
    auto& ticket = ProbeTickets[static_cast<size_t>(n - 1)];
    if (IsRemoteDevice(device) && !opener)
        opener = std::make_unique<RemoteOpener>(
            gate_.get(), [this, n, &ticket](uint64_t t, std::shared_ptr<Rfc2217Port> port,
                                           const std::string& error) {
                if (t != ticket) return; // the device was changed meanwhile
                // Quiet: a port the console does not go on to use is nobody's concern on
                // standard error. The probe closes at once.
                SerialPort probe;
                probe.SetOpenReports(false);
                const bool opens = probe.Adopt(n, PortDeviceName(n), port, error);
                PortProbed(n, opens, probe.OpenFailure());
            });
    ticket = IsRemoteDevice(device) ? opener->Open(device) : 0;
    if (ticket != 0) return;
    SerialPort probe;
    probe.SetOpenReports(false);
    const bool opens = probe.Open(n, 9600, NOPARITY, 8, ONESTOPBIT, 4096, 4096);
    PortProbed(n, opens, probe.OpenFailure());
}

void TMainForm::PortProbed(int n, bool opens, const std::string& failure) {
    actOpenCom[static_cast<size_t>(n - 1)]->setEnabled(opens);
    ProbeFailures[static_cast<size_t>(n - 1)] = opens ? std::string() : failure;
    StartupProbes &= ~(1u << n);
    if (StartupProbes == 0 && std::exchange(StartupWaiting, false)) OpenStartupPort();
}

void TMainForm::tmrReconnectTimer() {
    // No receiver or an open under way: an attempt is running.
    if (ChosenPort == 0 || !ComThread || OpenTicket != 0) return;
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
