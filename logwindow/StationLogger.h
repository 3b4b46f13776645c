#pragma once
// The station log's place in the window: it takes a copy of every handled status and of the
// power keys' outcomes for the log, and offers the log window in the File menu.
#include <QObject>
#include <QPointer>

#include <memory>

#include "log/StationLog.h"

class QAction;

namespace kaldor {

class TMainForm;
class TSettings;
class TdlgStationLog;

// What the window shows of the status it has just handled: the log and the alarms read it
// alike. Call only inside the receiver's hand-off, with a receiver.
StatusSample ShownSample(const TMainForm& form, uint16_t screen);

class TStationLogger : public QObject {
    Q_OBJECT
public:
    // Records what form shows into options.Folder (the recording switch and the bounds from
    // settings) and adds "Station log..." to the File menu, above Exit.
    TStationLogger(TMainForm& form, TSettings& settings, StationLogOptions options);
    ~TStationLogger() override;

    // The data folder of the console whose settings these are (kept apart under --simulate).
    static std::string FolderFor(const TSettings& settings);
    static StationLogOptions OptionsFor(const TSettings& settings);

    StationLog& Log() { return *log_; }
    void SetRecording(bool on);
    void itmStationLogClick();

    QAction* itmStationLog = nullptr;
    QPointer<TdlgStationLog> dlgStationLog;

private:
    void StatusHandled(uint16_t screen);

    TMainForm& form_;
    TSettings& settings_;
    std::unique_ptr<StationLog> log_;
    bool linkUp_ = false;
};

} // namespace kaldor
