#pragma once
// The alarms reach the operator outside the window: the taskbar, a tray icon with the
// amplifier's state, desktop notifications and the system's alert sound.
#include <QIcon>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <memory>

#include "alarms/AlarmTracker.h"
#include "widgets/Color.h"

class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace kaldor {

class TMainForm;
class TSettings;

// Draws one occurrence. The desktop's one flashes the taskbar, shows the tray's message and
// plays the alert sound; tests record the calls. It must return at once and may fail silently.
class AlarmNotifier {
public:
    virtual ~AlarmNotifier() = default;
    virtual void Notify(AlarmKind kind, const QString& text, bool sound) = 0;
};

// The desktop's notifier. Whether the desktop has a tray is asked at each notice: a console
// started with the session may run before the panel that holds the tray.
class TDesktopNotifier : public AlarmNotifier {
public:
    TDesktopNotifier(QWidget& window, QSystemTrayIcon* tray) : window_(window), tray_(tray) {}
    void Notify(AlarmKind kind, const QString& text, bool sound) override;
    static void PlayAlertSound();

private:
    QWidget& window_;
    QSystemTrayIcon* tray_;
};

// What the tray icon shows.
enum class TrayState : uint8_t { NoLink, Standby, Operate, Alert };
TrayState TrayStateOf(const StatusSample& shown);
TColor TrayColour(TrayState state);

// What the tray's tooltip says, before it is worded: compared per status, worded on a change.
struct TrayFields {
    TrayState State = TrayState::NoLink;
    const char* Mode = "";   // static texts, as the sample's
    const char* Band = "";
    const char* Alert = nullptr;
    bool Readings = false;   // watts and SWR belong to this screen
    unsigned Watts = 0;
    unsigned SwrTenths = 0;  // 0 for none
    bool operator==(const TrayFields& o) const;
    bool operator!=(const TrayFields& o) const { return !(*this == o); }
};
TrayFields TrayFieldsOf(const StatusSample& shown);
// "KALDOR M7-QX: OPERATE, 20 m, 850 W, SWR 1.2", "KALDOR M7-QX: no link"; suffix after it (the
// simulated amplifier's).
QString TrayToolTip(const TrayFields& fields, const QString& suffix = {});

class TAlarms : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "KALDOR M7-QX";

    // The tooltip's changing numbers at most this often; a change of state at once.
    static constexpr int ToolTipMs = 500;

    // Listens to every status form handles, adds the two check items to its Setup menu, and
    // shows a tray icon (which the desktop shows once it has a tray). notifier: the desktop's
    // when none is given.
    TAlarms(TMainForm& form, TSettings& settings, std::unique_ptr<AlarmNotifier> notifier = {});
    ~TAlarms() override;

    QAction* itmNotifications = nullptr;
    QAction* itmAlertSound = nullptr;
    QSystemTrayIcon* TrayIcon = nullptr;
    QMenu* TrayMenu = nullptr;
    QAction* itmTrayShow = nullptr;
    QAction* itmTrayExit = nullptr;

    bool Notifications() const { return notifications_; }
    bool AlertSound() const { return alertSound_; }
    TrayState Tray() const { return trayState_; }
    const QString& ToolTip() const { return toolTip_; }
    static QIcon TrayIconFor(TrayState state);

    void itmNotificationsClick(bool on);
    void itmAlertSoundClick(bool on);
    // Brings the window to the front, restored when it was minimised.
    void ShowWindow();
    // The tray's Exit: the window's own close, unless a dialog waits for an answer; then the
    // window comes forward with it.
    void itmTrayExitClick();
    // Draws what was held back and is due now; the timer's, and tests' after moving the clock.
    void DrawDue();
    bool DuePending() const { return dueTimer_.isActive(); }

private:
    void StatusHandled(uint16_t screen);
    void ShowTray(const TrayFields& fields);
    void SetToolTip();
    void Draw(const AlarmOccurrence& o);
    void ScheduleDue();

    TMainForm& form_;
    TSettings& settings_;
    QAction* separator_ = nullptr;
    std::unique_ptr<AlarmNotifier> notifier_;
    AlarmTracker tracker_;
    bool notifications_ = true;
    bool alertSound_ = true;
    TrayState trayState_ = TrayState::NoLink;
    TrayFields trayFields_;       // as the status last had them
    QString toolTip_;             // as the tray shows it
    TDateTime toolTipAt_ = 0;     // when it was last set
    QTimer toolTipTimer_;         // sets a tooltip held back by ToolTipMs
    QTimer dueTimer_;             // draws what the tracker held back, when it is due
    QString suffix_;              // after the tooltip's text
};

} // namespace kaldor
