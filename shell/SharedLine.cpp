// A line that a station shares among consoles: this console's role, the keys while it watches,
// and taking control.
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QStatusBar>

#include <algorithm>

#include "shell/MessageBox.h"
#include "shell/Mainunit.h"

namespace kaldor {

namespace {
constexpr int kTakenMessageMs = 10000;
constexpr int kRolePadding = 12;

QString Name(const std::string& user) {
    return user.empty() ? QStringLiteral("nobody") : QString::fromStdString(user);
}
} // namespace

QString TMainForm::RoleText(const StationRole& role) {
    return role.Operating ? QStringLiteral("Operating")
                          : QStringLiteral("Watching: %1 operates").arg(Name(role.Holder));
}

void TMainForm::BuildSharedLine() {
    KeyGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
    itmTakeControl = itmSerialPort->addAction(QStringLiteral("Take control"));
    itmTakeControl->setObjectName(QStringLiteral("itmTakeControl"));
    itmTakeControl->setVisible(false);
    connect(itmTakeControl, &QAction::triggered, this, [this] { itmTakeControlClick(); });
}

void TMainForm::UpdateRole() {
    StationRole role;
    const bool shared = ComPort.SharedRole(role);
    if (shared == Shared && (!shared || role == Role)) return;
    const bool wasOperating = Shared && Role.Operating;
    Shared = shared;
    Role = shared ? role : StationRole{};

    const bool watching = Shared && !Role.Operating;
    KeyGroup->setEnabled(!watching);
    itmTakeControl->setVisible(watching && Role.Operator);
    QLabel* panel = StatusPanels[3];
    const QString text = Shared ? RoleText(Role) : QString();
    SetText(panel, text);
    panel->setFixedWidth(text.isEmpty() ? kRolePanelWidth
                                        : std::max(kRolePanelWidth, panel->fontMetrics().horizontalAdvance(text) +
                                                                        kRolePadding));
    panel->setToolTip(watching ? QStringLiteral("The keys are disabled while %1 operates the amplifier.")
                                     .arg(Name(Role.Holder))
                               : QString());
    if (watching && (wasOperating || !TakeRequestedFrom.empty()))
        StatusBar->showMessage(QStringLiteral("%1 took control").arg(Name(Role.Holder)), kTakenMessageMs);
    if (Role.Operating || !watching) TakeRequestedFrom.clear();
}

void TMainForm::itmTakeControlClick() {
    if (!Shared || Role.Operating || !Role.Operator) return;
    const QString holder = Name(Role.Holder);
    const QString text = Role.Holder.empty()
                             ? QStringLiteral("Nobody operates the amplifier.\nTake control?")
                             : QStringLiteral("%1 operates the amplifier.\nTake control from %1?").arg(holder);
    if (ShowMessageBox(this, text, QString::fromLatin1(kAppCaption), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    // The holder may have changed while the box was open: the station refuses a take-over from
    // anyone but the holder named here.
    TakeRequestedFrom = Role.Holder.empty() ? std::string("-") : Role.Holder;
    ComPort.TakeControl(Role.Holder);
}

} // namespace kaldor
