// The key actions and the Serial Port actions of the main window.
#include <QAction>
#include <QLabel>

#include <utility>

#include "shell/Mainunit.h"
#include "shell/Settings.h"

namespace kaldor {
namespace {
void WriteFrame(SerialPort& port, const CommandFrame& frame) {
    port.Write(frame.Bytes, frame.Count); // fire and forget: the count is not looked at
}
} // namespace

void TMainForm::SendKey(Key key) { WriteFrame(ComPort, KeyFrame(key)); }

void TMainForm::SendLinkRequest() { WriteFrame(ComPort, LinkRequestFrame()); }

void TMainForm::actLeftExecute() {
    SendKey(Key::Left);
    HoldPowerLevelDisplay();
}

void TMainForm::actRightExecute() {
    SendKey(Key::Right);
    HoldPowerLevelDisplay();
}

// On the operate screens LEFT and RIGHT change the power level; the indicator shows the new
// setting for three seconds.
void TMainForm::HoldPowerLevelDisplay() {
    if (ComThread && IsOperateScreen(ComThread->Screen))
        PcDisplayUntil = Now() + 3 * OneSecond;
}

QString TMainForm::PortText(int n) { return QStringLiteral("Serial port: COM%1").arg(n); }

void TMainForm::StopReceiver() {
    if (!ComThread) return;
    ComThread->Terminate();
    ComThread->WaitFor();
    ComThread.reset(); // closes the port it shares with ComPort
}

void TMainForm::actOpenComExecute(int n) {
    if (n < 1 || n > PortCount) return;
    StopReconnecting();
    ChosenPort = n;
    OpenComPort(n, false, [this, n](bool) {
        ComPort.SetTimeouts(5000);
        actOpenCom[static_cast<size_t>(n - 1)]->setChecked(true);
        SetText(StatusPanels[0], PortText(n));
        SaveComPort(n);
        StartReceiver();
        if (std::exchange(LinkRequestOnOpen, false)) SendLinkRequest();
    });
}

void TMainForm::StartReceiver() {
    ComThread = std::make_unique<TComThread>(
        ComPort, [this](TComThread* sender) { HandleStatus(sender); }, &StatusDispatcher());
}


} // namespace kaldor
