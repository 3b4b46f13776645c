#pragma once
// The alarms reach the operator outside the window: the taskbar, a tray icon with the
// amplifier's state, desktop notifications and the system's alert sound.
#include <QIcon>
#include <QObject>
#include <QString>

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

// The desktop's notifier: tray may be null (no tray on this desktop).
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
// "KALDOR M7-QX: OPERATE, 20 m, 850 W, SWR 1.2", "KALDOR M7-QX: no link".
QString TrayToolTip(const StatusSample& shown);

class TAlarms : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "KALDOR M7-QX";

    // Listens to every status form handles, adds the two check items to its Setup menu, and
    // shows a tray icon when withTray (by default: where the desktop has a tray). notifier:
    // the desktop's when none is given.
    TAlarms(TMainForm& form, TSettings& settings, std::unique_ptr<AlarmNotifier> notifier = {});
    TAlarms(TMainForm& form, TSettings& settings, std::unique_ptr<AlarmNotifier> notifier, bool withTray);
    ~TAlarms() override;

    QAction* itmNotifications = nullptr;
    QAction* itmAlertSound = nullptr;
    QSystemTrayIcon* TrayIcon = nullptr; // null where the desktop has no tray
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

private:
    void StatusHandled(uint16_t screen);
    void ShowTray(TrayState state, const QString& toolTip);
    void Draw(const AlarmOccurrence& o);

    TMainForm& form_;
    TSettings& settings_;
    QAction* separator_ = nullptr;
    std::unique_ptr<AlarmNotifier> notifier_;
    AlarmTracker tracker_;
    bool notifications_ = true;
    bool alertSound_ = true;
    TrayState trayState_ = TrayState::NoLink;
    QString toolTip_;
};

} // namespace kaldor
