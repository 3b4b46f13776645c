#include "notify/Alarms.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

#include "link/WindowsApi.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "link/ScreenCodes.h"
#include "log/Csv.h"
#include "log/Win1252.h"
#include "log/StationRecorder.h"
#include "panel/Screens.h"
#include "shell/Mainunit.h"
#include "shell/Settings.h"
#include "logwindow/StationLogger.h"

namespace kaldor {
namespace {

// SWR in tenths: the field's reading outside operate; in operate the field reads the gain,
// so the SWR follows from the forward and reflected power while transmitting. 0 for none.
unsigned SwrTenths(const StatusSample& s) {
    if (!s.GainShown) return s.SwrGain >= 100 ? (std::min<unsigned>(s.SwrGain, 9999) + 5) / 10 : 0;
    if (s.OutputPower == 0 || s.ReflectedPower >= s.OutputPower) return 0;
    const double rho = std::sqrt(double(s.ReflectedPower) / double(s.OutputPower));
    return static_cast<unsigned>(std::lround(std::min(99.9, (1 + rho) / (1 - rho)) * 10));
}

QString Utf8Name(const char* win1252) {
    return QString::fromStdString(Win1252ToUtf8(win1252 ? win1252 : "")).trimmed();
}

} // namespace

void TDesktopNotifier::PlayAlertSound() {
#ifdef _WIN32
    MessageBeep(MB_ICONHAND);
#else
    QApplication::beep();
#endif
}

void TDesktopNotifier::Notify(AlarmKind kind, const QString& text, bool sound) {
    const bool info = kind == AlarmKind::LinkBack;
    if (!info && !window_.isActiveWindow()) QApplication::alert(&window_);
    if (tray_ && QSystemTrayIcon::isSystemTrayAvailable()) {
        QString title = QString::fromLatin1(TAlarms::kTitle);
        if (kind == AlarmKind::Alert) title += QStringLiteral(": ALERT");
        if (kind == AlarmKind::Warning) title += QStringLiteral(": WARNING");
        tray_->showMessage(title, text, info ? QSystemTrayIcon::Information : QSystemTrayIcon::Critical);
    }
    if (sound) PlayAlertSound();
}

TrayState TrayStateOf(const StatusSample& s) {
    if (!s.LinkUp()) return TrayState::NoLink;
    if (s.AlertText) return TrayState::Alert;
    if (IsOperateScreen(s.Screen) || (s.Flags & FlagOperate)) return TrayState::Operate;
    return TrayState::Standby;
}

TColor TrayColour(TrayState state) {
    switch (state) {
    case TrayState::Standby: return clLime;
    case TrayState::Operate: return clYellow;
    case TrayState::Alert: return clRed;
    case TrayState::NoLink: break;
    }
    return clGray;
}

bool TrayFields::operator==(const TrayFields& o) const {
    auto same = [](const char* a, const char* b) { return a == b || (a && b && std::strcmp(a, b) == 0); };
    return State == o.State && same(Mode, o.Mode) && same(Band, o.Band) && same(Alert, o.Alert) &&
           Readings == o.Readings && Watts == o.Watts && SwrTenths == o.SwrTenths;
}

TrayFields TrayFieldsOf(const StatusSample& s) {
    TrayFields f;
    f.State = TrayStateOf(s);
    if (f.State == TrayState::NoLink) return f;
    f.Mode = StationRecorder::ModeName(s.Screen);
    f.Alert = s.AlertText;
    if (s.AlertText) return f;
    f.Band = s.BandText ? s.BandText : "";
    f.Readings = s.Screen == ScrStandby || IsOperateScreen(s.Screen);
    if (f.Readings) {
        f.Watts = (s.OutputPower + 5u) / 10u;
        f.SwrTenths = SwrTenths(s);
    }
    return f;
}

QString TrayToolTip(const TrayFields& f, const QString& suffix) {
    QString tip = QString::fromLatin1(TAlarms::kTitle) + QStringLiteral(": ");
    if (f.State == TrayState::NoLink) return tip + QStringLiteral("no link") + suffix;
    QStringList parts;
    const QString mode = QString::fromLatin1(f.Mode ? f.Mode : "");
    if (!mode.isEmpty()) parts << mode;
    if (f.Alert) {
        parts << Utf8Name(f.Alert);
    } else {
        const QString band = Utf8Name(f.Band);
        if (!band.isEmpty()) parts << band;
        if (f.Readings) {
            parts << QStringLiteral("%1 W").arg(f.Watts);
            if (f.SwrTenths) parts << QStringLiteral("SWR %1.%2").arg(f.SwrTenths / 10).arg(f.SwrTenths % 10);
        }
    }
    return tip + parts.join(QStringLiteral(", ")) + suffix;
}

QIcon TAlarms::TrayIconFor(TrayState state) {
    static std::array<QIcon, 4> icons;
    QIcon& icon = icons[static_cast<size_t>(state)];
    if (icon.isNull()) {
        QPixmap pixmap(32, 32);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::black, 2));
        p.setBrush(TrayColour(state).ToQColor());
        p.drawEllipse(QRectF(2, 2, 28, 28));
        p.end();
        icon = QIcon(pixmap);
    }
    return icon;
}

TAlarms::TAlarms(TMainForm& form, TSettings& settings, std::unique_ptr<AlarmNotifier> notifier)
    : QObject(&form), form_(form), settings_(settings), notifier_(std::move(notifier)) {
    notifications_ = settings.LoadNotifications();
    alertSound_ = settings.LoadAlertSound();

    // Owned here, so the menu loses them with this object.
    separator_ = new QAction(this);
    separator_->setSeparator(true);
    itmNotifications = new QAction(QStringLiteral("&Notifications"), this);
    itmAlertSound = new QAction(QStringLiteral("Alert &sound"), this);
    form.itmSetup->addActions({separator_, itmNotifications, itmAlertSound});
    itmNotifications->setObjectName(QStringLiteral("itmNotifications"));
    itmNotifications->setCheckable(true);
    itmNotifications->setChecked(notifications_);
    connect(itmNotifications, &QAction::triggered, this, &TAlarms::itmNotificationsClick);
    itmAlertSound->setObjectName(QStringLiteral("itmAlertSound"));
    itmAlertSound->setCheckable(true);
    itmAlertSound->setChecked(alertSound_);
    itmAlertSound->setEnabled(notifications_);
    connect(itmAlertSound, &QAction::triggered, this, &TAlarms::itmAlertSoundClick);

    if (form.Simulated()) suffix_ = QString::fromLatin1(TMainForm::kSimulatedSuffix);
    toolTip_ = TrayToolTip(trayFields_, suffix_);
    // Made whether or not the desktop has a tray now: the panel may come after the console.
    TrayMenu = new QMenu(&form);
    itmTrayShow = TrayMenu->addAction(QStringLiteral("Show"));
    itmTrayExit = TrayMenu->addAction(QStringLiteral("Exit"));
    connect(itmTrayShow, &QAction::triggered, this, &TAlarms::ShowWindow);
    connect(itmTrayExit, &QAction::triggered, this, &TAlarms::itmTrayExitClick);
    TrayIcon = new QSystemTrayIcon(TrayIconFor(trayState_), this);
    TrayIcon->setToolTip(toolTip_);
    TrayIcon->setContextMenu(TrayMenu);
    connect(TrayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::Trigger || r == QSystemTrayIcon::DoubleClick) ShowWindow();
    });
    connect(TrayIcon, &QSystemTrayIcon::messageClicked, this, &TAlarms::ShowWindow);
    TrayIcon->show();
    if (!notifier_) notifier_ = std::make_unique<TDesktopNotifier>(form, TrayIcon);
    toolTipTimer_.setSingleShot(true);
    connect(&toolTipTimer_, &QTimer::timeout, this, &TAlarms::SetToolTip);
    dueTimer_.setSingleShot(true);
    connect(&dueTimer_, &QTimer::timeout, this, &TAlarms::DrawDue);

    // Direct: the slot runs inside the hand-off, where the status may be read.
    connect(&form, &TMainForm::StatusHandled, this, &TAlarms::StatusHandled, Qt::DirectConnection);
}

TAlarms::~TAlarms() {
    delete TrayIcon; // before the menu it shows
    TrayIcon = nullptr;
    delete TrayMenu;
}

void TAlarms::itmNotificationsClick(bool on) {
    notifications_ = on;
    itmAlertSound->setEnabled(on);
    settings_.SaveNotifications(on);
}

void TAlarms::itmAlertSoundClick(bool on) {
    alertSound_ = on;
    settings_.SaveAlertSound(on);
}

void TAlarms::ShowWindow() {
    if (form_.isMinimized()) form_.setWindowState(form_.windowState() & ~Qt::WindowMinimized);
    form_.show();
    form_.raise();
    form_.activateWindow();
}

void TAlarms::itmTrayExitClick() {
    if (QWidget* dialog = QApplication::activeModalWidget()) {
        // The OFF question or Devices... waits: closing the port under it is not the tray's.
        ShowWindow();
        dialog->raise();
        dialog->activateWindow();
        return;
    }
    form_.itmExitClick(); // the window's own close, so the question is the same
}

void TAlarms::ShowTray(const TrayFields& fields) {
    if (fields == trayFields_) return;
    const bool newState = fields.State != trayFields_.State;
    trayFields_ = fields;
    if (newState) {
        trayState_ = fields.State;
        TrayIcon->setIcon(TrayIconFor(trayState_));
    }
    // Each tooltip is a message to the shell on Windows: the numbers at most twice a second.
    const double sinceMs = (Now() - toolTipAt_) / OneSecond * 1000.0;
    if (newState || sinceMs > ToolTipMs - 1 || sinceMs < 0) SetToolTip(); // a ms less: days as doubles
    else if (!toolTipTimer_.isActive()) toolTipTimer_.start(ToolTipMs - static_cast<int>(sinceMs));
}

void TAlarms::SetToolTip() {
    toolTipTimer_.stop();
    toolTipAt_ = Now();
    const QString tip = TrayToolTip(trayFields_, suffix_);
    if (tip == toolTip_) return;
    toolTip_ = tip;
    TrayIcon->setToolTip(tip);
}

void TAlarms::ScheduleDue() {
    const TDateTime due = tracker_.NextDue();
    if (due == 0) {
        dueTimer_.stop();
        return;
    }
    const double ms = std::max(0.0, (due - Now()) / OneSecond * 1000.0);
    dueTimer_.start(static_cast<int>(std::min(ms, 60000.0)) + 1);
}

void TAlarms::DrawDue() {
    const std::vector<AlarmOccurrence> drawn = tracker_.Due(Now());
    if (notifications_)
        for (const AlarmOccurrence& o : drawn) Draw(o);
    ScheduleDue();
}

void TAlarms::Draw(const AlarmOccurrence& o) {
    const bool sound = alertSound_ && (o.Kind == AlarmKind::Alert || o.Kind == AlarmKind::Warning);
    try {
        notifier_->Notify(o.Kind, QString::fromStdString(o.Text), sound);
    } catch (...) {
        // A notifier that fails costs nothing: the console goes on without it.
    }
}

void TAlarms::StatusHandled(uint16_t screen) {
    if (!form_.ComThread) return;
    const StatusSample shown = ShownSample(form_, screen);
    ShowTray(TrayFieldsOf(shown));
    // The tracker follows every status, so switching notifications on mid-alert stays quiet.
    const std::vector<AlarmOccurrence> drawn = tracker_.Update(AlarmStateOf(shown), Now());
    if (notifications_)
        for (const AlarmOccurrence& o : drawn) Draw(o);
    ScheduleDue();
}

} // namespace kaldor
