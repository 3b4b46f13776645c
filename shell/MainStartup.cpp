// Start-up, settings and closing of the main window.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <utility>

#include "link/PortList.h"
#include "shell/MessageBox.h"
#include "shell/Mainunit.h"
#include "shell/Settings.h"

namespace kaldor {
namespace {

// The stored width and height are the window's outer size as on the console's home platform,
// where the frame, title and menu add this much to the client area.
constexpr int kFrameWidth = TSettings::kDesignWidth - 792;
constexpr int kFrameHeight = TSettings::kDesignHeight - 404;

// A stored corner beyond this lies on no screen; within it the frame's far corner still fits
// an int.
constexpr int kCoordinateLimit = QWIDGETSIZE_MAX;

} // namespace

bool TMainForm::FormCreate() {
    LoadWindowPlacement();
    ReflectedHoldUntil = 0.0;
    PcDisplayUntil = 0.0;

    struct MeterSetup {
        TFrmBar100* meter;
        const char* caption;
        int fullScale;
        const char* unit;
        TColor colour;
    };
    for (const MeterSetup& m : {MeterSetup{Frm_PA, "PA OUT", 12000, " W pep", clLime},
                                MeterSetup{Frm_PR, "PW REV", 2000, " W pep", clYellow},
                                MeterSetup{Frm_VPA, "V PA", 600, " V", clAqua},
                                MeterSetup{Frm_IPA, "I PA", 500, " A", clInfoBk}}) {
        m.meter->SetCaption(m.caption);
        m.meter->SetFullScale(m.fullScale);
        m.meter->SetUnit(m.unit);
        m.meter->SetActiveColor(m.colour);
        m.meter->SetPeakColor(m.colour);
        m.meter->SetValue(-1);
    }

    InitLcd();
    LastScreen = ScrUnowned;
    itmShutdown->setChecked(LoadAndShowAutoShutdown());
    StartupDelay = TSettings::RoundDownTo100(settings_.LoadStartupDelay());
    ResponseDelay = TSettings::RoundDownTo100(settings_.LoadResponseDelay());

    // A port that is missing or in use stays disabled for the whole run. Remote servers answer
    // off the window thread, all at once; the port is chosen when the last has.
    // A Bluetooth port is not opened to see: that tries to reach the paired device, for
    // seconds. It stays choosable.
    const std::vector<PresentPort> present = PresentComPorts();
    std::array<bool, PortCount> probed{};
    for (int n = 1; n <= PortCount; ++n) {
        const std::string device = PortDeviceName(n);
        probed[static_cast<size_t>(n - 1)] = std::none_of(present.begin(), present.end(), [&](const PresentPort& p) {
            return p.Bluetooth && p.Name == device;
        });
        if (probed[static_cast<size_t>(n - 1)]) StartupProbes |= 1u << n;
        else SetPortUsable(n, true);
    }
    for (int n = 1; n <= PortCount; ++n)
        if (probed[static_cast<size_t>(n - 1)]) ProbePort(n);
    StartupWaiting = StartupProbes != 0;
    if (!StartupWaiting) OpenStartupPort();
    return true;
}

void TMainForm::OpenStartupPort() {
    auto usable = [this](int n) { return n >= 1 && n <= PortCount && PortUsable[static_cast<size_t>(n - 1)]; };

    const int stored = settings_.LoadComPort();
    // The probe was quiet: only the port meant for the link is reported, and every port's
    // reason goes into the details of the port messages.
    if (stored >= 1 && stored <= PortCount && !usable(stored))
        std::fprintf(stderr, "KALDOR Console: cannot open %s\n",
                     ProbeFailures[static_cast<size_t>(stored - 1)].c_str());
    QStringList reasons;
    for (const std::string& failure : ProbeFailures)
        if (!failure.empty()) reasons << QString::fromLocal8Bit(failure.c_str());
    const QString details = reasons.join(QLatin1Char('\n'));
    if (usable(stored)) {
        actOpenComExecute(stored);
    } else {
        int k = 1;
        while (k <= PortCount && !usable(k)) ++k;
        if (k > PortCount) {
            ShowMessageBox(this, QStringLiteral("This hardware configurations has no serial ports available!"),
                           QString::fromLatin1(kAppCaption), MB_OK | MB_ICONHAND, details);
            // No dead end: a receiver on no port shows the lost link, and Devices... can assign
            // a device whose port can then be chosen.
            StartReceiver();
        } else {
            actOpenComExecute(k);
            ShowMessageBox(this,
                           QStringLiteral("There was no valid serial port default configuration since last running.\n"
                                          "Please verify if the suggested choice (COM%1) meets your need!")
                               .arg(k),
                           QString::fromLatin1(kAppCaption), MB_OK | MB_ICONEXCLAMATION, details);
        }
    }
    if (ComOpener->Pending())
        LinkRequestOnOpen = true;
    else
        SendLinkRequest();
    Created = true;
    // A later start signalled while a box above held start-up: answered now the window is whole.
    if (InstancePending)
        QMetaObject::invokeMethod(this, &TMainForm::InstanceHook, Qt::QueuedConnection);
    InstancePending = false;
}

void TMainForm::InstanceHook() {
    if (!Created) {
        InstancePending = true;
        return;
    }
    // Restored to what it was before it was minimised, maximised included.
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    ShowMessageBox(this, QStringLiteral("Only one instance of this application is allowed to run!"),
                   QString::fromLatin1(kAppCaption), MB_OK | MB_ICONEXCLAMATION);
}

void TMainForm::LoadWindowPlacement() {
    int top = 0, left = 0, height = 0, width = 0;
    if (!settings_.LoadWindowPlacement(top, left, height, width)) return;
    // A stored size larger than the screen (or garbage) would cost memory and help nobody; the
    // design size is always allowed.
    QSize limit(TSettings::kDesignWidth, TSettings::kDesignHeight);
    for (const QRect& area : TSettings::AvailableScreens()) limit = limit.expandedTo(area.size());
    left = std::clamp(left, -kCoordinateLimit, kCoordinateLimit);
    top = std::clamp(top, -kCoordinateLimit, kCoordinateLimit);
    width = std::clamp(width, 0, limit.width());
    height = std::clamp(height, 0, limit.height());
    Client->setFixedSize(std::max(0, width - kFrameWidth), std::max(0, height - kFrameHeight));
    adjustSize();
    Client->setMinimumSize(0, 0);
    Client->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    // A place on no screen would hide the window: the system places it instead.
    const QRect frame(left, top, width, height);
    const QList<QRect> screens = TSettings::AvailableScreens();
    if (TSettings::PlacementVisible(frame, screens)) move(TSettings::FitPlacement(frame, screens));
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (std::exchange(placementFitted_, true)) return;
    // After the system has framed the window: its frame is known only then.
    QTimer::singleShot(0, this, [this] {
        const QRect frame = frameGeometry();
        const QList<QRect> screens = TSettings::AvailableScreens();
        if (!isMaximized() && TSettings::PlacementVisible(frame, screens)) move(TSettings::FitPlacement(frame, screens));
    });
}

void TMainForm::SaveWindowPlacement() {
    const QRect frame = frameGeometry();
    settings_.SaveWindowPlacement(frame.top(), frame.left(), Client->height() + kFrameHeight,
                                  Client->width() + kFrameWidth);
}

bool TMainForm::LoadAndShowAutoShutdown() {
    const bool on = settings_.LoadAutoShutdown();
    SetText(StatusPanels[2], TSettings::AutoShutdownText(on));
    return on;
}

void TMainForm::SaveAutoShutdown(bool on) {
    settings_.SaveAutoShutdown(on);
    SetText(StatusPanels[2], TSettings::AutoShutdownText(on));
}

void TMainForm::SaveComPort(int n) { settings_.SaveComPort(n); }

void TMainForm::closeEvent(QCloseEvent* event) {
    if (PowerSequenceRunning) {
        event->ignore();
        return;
    }
    const int answer = ShowMessageBox(this, QStringLiteral("Do you really want to terminate this application?"),
                                      QString::fromLatin1(kAppCaption),
                                      MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    if (answer != IDYES) {
        event->ignore();
        return;
    }
    StopReconnecting();
    // Lowering DTR switches the amplifier off when auto shutdown held it on.
    ComPort.ClearDtr();
    StopReceiver();
    ComPort.Close();
    event->accept();
    SaveWindowPlacement();
}

} // namespace kaldor
