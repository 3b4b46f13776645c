// Switching the amplifier off and on: the OFF key with its check, and the ON sequence over the
// line's DTR signal, each wait a one-shot delay whose end runs on the window thread.
#include <QAction>
#include <QProgressBar>

#include "shell/Mainunit.h"
#include "shell/MessageBox.h"

namespace kaldor {

void TMainForm::StartTimingThread(int ms, void (TMainForm::*handler)(TTimingThread*)) {
    TTimingThread::Start(ms, [this, handler](TTimingThread* sender) { (this->*handler)(sender); },
                         gate_);
}

// Disabling the actions disables their buttons and shortcuts alike; ON goes first.
void TMainForm::SetPowerKeysEnabled(bool enabled) {
    PowerSequenceRunning = !enabled;
    actOn->setEnabled(enabled);
    actOff->setEnabled(enabled);
}

// The receiver's Screen alone would keep the last screen code for up to two read time-outs
// after the amplifier fell silent; the deadline that every checksum-valid frame renews tells at
// once.
bool TMainForm::AmplifierAnswers() const {
    return ComThread && ComThread->Screen != ScrNoLink && Now() <= ComThread->LinkDeadline;
}

void TMainForm::actOffExecute() {
    if (ShowMessageBox(this, QStringLiteral("Do you really want to turn KALDOR off?"),
                       QString::fromLatin1(kAppCaption),
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    ComPort.ClearDtr();
    SendKey(Key::Off);
    emit PowerKeySent(false);
    StartTimingThread(2000, &TMainForm::OffTimerDone);
    SetPowerKeysEnabled(false);
}

void TMainForm::OffTimerDone(TTimingThread*) {
    SetPowerKeysEnabled(true);
    const bool answers = AmplifierAnswers();
    emit PowerKeyDone(false, answers);
    if (answers)
        ShowMessageBox(this,
                       QStringLiteral("Cannot turn KALDOR off.\n"
                                      "POWER held on by remote or by supply management system!"),
                       QString::fromLatin1(kAppCaption), MB_OK | MB_ICONEXCLAMATION);
}

void TMainForm::actOnExecute() {
    SetPowerKeysEnabled(false);
    SendLinkRequest();
    emit PowerKeySent(true);
    StartTimingThread(ResponseDelay, &TMainForm::OnResponseTimerDone);
}

void TMainForm::OnResponseTimerDone(TTimingThread*) {
    if (!AmplifierAnswers()) {
        ComPort.SetDtr(); // the remote power line
        StartTimingThread(StartupDelay, &TMainForm::StartupTimerDone);
        pbInit->setValue(0);
        SetVisible(pnlInit, true);
        return;
    }
    if (AutoShutdown) ComPort.SetDtr(); // held from now on
    SetPowerKeysEnabled(true);
    emit PowerKeyDone(true, true);
}

void TMainForm::StartupTimerDone(TTimingThread*) {
    if (!AutoShutdown) ComPort.ClearDtr(); // DTR was a pulse
    SetVisible(pnlInit, false);
    SendLinkRequest();
    StartTimingThread(ResponseDelay, &TMainForm::FinalResponseTimerDone);
}

void TMainForm::FinalResponseTimerDone(TTimingThread*) {
    SetPowerKeysEnabled(true);
    emit PowerKeyDone(true, AmplifierAnswers());
}

} // namespace kaldor
