#include "logwindow/StationLogger.h"

#include <QAction>
#include <QMenu>

#include "log/LogFolder.h"
#include "panel/Screens.h"
#include "panel/SetupTables.h"
#include "shell/Mainunit.h"
#include "shell/Settings.h"
#include "logwindow/StationLogDialog.h"

namespace kaldor {

TStationLogger::TStationLogger(TMainForm& form, TSettings& settings, StationLogOptions options)
    : QObject(&form), form_(form), settings_(settings) {
    options.Enabled = settings.LoadStationLog();
    log_ = std::make_unique<StationLog>(std::move(options));

    // Direct: the slot runs inside the hand-off, where the status may be read.
    connect(&form, &TMainForm::StatusHandled, this, &TStationLogger::StatusHandled, Qt::DirectConnection);
    connect(&form, &TMainForm::PowerKeySent, this,
            [this](bool on) { log_->Note(on ? LogNote::OnSent : LogNote::OffSent); });
    connect(&form, &TMainForm::PowerKeyDone, this, [this](bool on, bool answered) {
        log_->Note(on ? LogNote::OnDone : LogNote::OffDone, {}, answered);
    });

    itmStationLog = new QAction(QStringLiteral("Station &log..."), this);
    itmStationLog->setObjectName(QStringLiteral("itmStationLog"));
    form.itmFile->insertAction(form.itmExit, itmStationLog);
    connect(itmStationLog, &QAction::triggered, this, [this] { itmStationLogClick(); });
}

TStationLogger::~TStationLogger() { delete dlgStationLog; }

std::string TStationLogger::FolderFor(const TSettings& settings) {
    return DefaultLogFolder(settings.Application().toStdString());
}

StationLogOptions TStationLogger::OptionsFor(const TSettings& settings) {
    StationLogOptions o;
    o.Folder = FolderFor(settings);
    o.MaxBytes = static_cast<uint64_t>(std::max(1, settings.LoadStationLogMegabytes())) * 1024 * 1024;
    o.MaxDays = std::max(1, settings.LoadStationLogDays());
    return o;
}

void TStationLogger::SetRecording(bool on) {
    linkUp_ = false; // the port is told again with the next status
    log_->SetEnabled(on);
    settings_.SaveStationLog(on);
}

void TStationLogger::itmStationLogClick() {
    if (!dlgStationLog) dlgStationLog = new TdlgStationLog(*this, &form_);
    dlgStationLog->show();
    dlgStationLog->raise();
    dlgStationLog->activateWindow();
}

void TStationLogger::StatusHandled(uint16_t screen) {
    if (!log_->Enabled() || !form_.ComThread) return;
    const bool up = form_.LinkUp;
    if (up && !linkUp_) {
        // A link is up only on the receiver of the port last chosen.
        const int n = form_.ChosenPort;
        const std::string port = n >= 1 && n <= PortCount ? "COM" + std::to_string(n) + " " : "";
        log_->Note(LogNote::Port, port + form_.ComPort.DeviceName());
    }
    linkUp_ = up;
    log_->Record(ShownSample(form_, screen));
}

StatusSample ShownSample(const TMainForm& form, uint16_t screen) {
    const TComThread& s = *form.ComThread;
    StatusSample sample = SampleOf(s);
    sample.Screen = screen;
    sample.GainShown = IsOperateScreen(form.LastScreen);
    sample.ReflectedWarning = form.Warnings.Reflected;
    sample.BandWarning = form.Warnings.Band;
    sample.AntennaWarning = form.Warnings.Antenna;
    sample.InputText = InputName(s.Input).c_str();
    sample.BandText = BandName(s.Band).c_str();
    sample.AntennaText = AntennaName(s.Antenna).c_str();
    sample.CatText = CatName(s.CatInterface).c_str();
    if (form.AlertShown) sample.AlertText = AlertLineOf(screen);
    return sample;
}

} // namespace kaldor
