#include "shell/DevicesDialog.h"

#ifdef _WIN32
#include "link/PortList.h"
#endif

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QVBoxLayout>

#include <algorithm>

#include "link/PortNames.h"
#include "shell/Settings.h"

namespace kaldor {
namespace {

#ifndef _WIN32
// ttyS2 before ttyS10.
QStringList NumericOrder(QStringList names) {
    static const QRegularExpression tail(QStringLiteral("^(.*?)(\\d+)$"));
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const auto ma = tail.match(a), mb = tail.match(b);
        if (ma.hasMatch() && mb.hasMatch() && ma.captured(1) == mb.captured(1))
            return ma.captured(2).toLongLong() < mb.captured(2).toLongLong();
        return a < b;
    });
    return names;
}
#endif

} // namespace

QString AdapterName(const QString& byIdName) {
    QString name = byIdName;
    static const QRegularExpression bus(QStringLiteral("^(usb|pci|platform)-"));
    static const QRegularExpression port(QStringLiteral("-if\\d+(-port\\d+)?$"));
    name.remove(bus);
    name.remove(port);
    name.replace(QLatin1Char('_'), QLatin1Char(' '));
    return name.trimmed();
}

QList<DeviceChoice> DeviceChoices(const QString& devRoot) {
    QList<DeviceChoice> out;
#ifdef _WIN32
    Q_UNUSED(devRoot);
    for (const PresentPort& p : PresentComPorts())
        out.append({QString::fromStdString(p.Label), QString::fromStdString(p.Name)});
    for (int n = 1; n <= 16; ++n) out.append({QStringLiteral("COM%1").arg(n), QStringLiteral("COM%1").arg(n)});
#else
    const QDir byId(devRoot + QStringLiteral("/serial/by-id"));
    for (const QString& name : byId.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString path = byId.filePath(name);
        const QString target = QFileInfo(QFileInfo(path).symLinkTarget()).fileName();
        QString label = AdapterName(name);
        if (!target.isEmpty()) label += QStringLiteral(" (%1)").arg(target);
        out.append({label + QStringLiteral(": ") + path, path});
    }
    const QDir dev(devRoot);
    for (const char* pattern : {"ttyUSB*", "ttyACM*", "ttyS*"})
        for (const QString& name : NumericOrder(dev.entryList({QString::fromLatin1(pattern)}, QDir::System | QDir::Files)))
            out.append({dev.filePath(name), dev.filePath(name)});
#endif
    return out;
}

TDevicesDialog::TDevicesDialog(TSettings& settings, QWidget* parent, const QString& devRoot)
    : QDialog(parent), settings_(settings) {
    setObjectName(QStringLiteral("dlgDevices"));
    setWindowTitle(QStringLiteral("Devices"));
    auto* form = new QFormLayout;
    const QList<DeviceChoice> choices = DeviceChoices(devRoot);
    for (int n = 1; n <= PortCount; ++n) {
        auto* box = new QComboBox(this);
        box->setObjectName(QStringLiteral("cbDevice%1").arg(n));
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setMinimumWidth(420);
        for (const DeviceChoice& c : choices) box->addItem(c.Label, c.Path);
        // The list shows the adapter; the port stores its path.
        connect(box, QOverload<int>::of(&QComboBox::activated), box,
                [box](int i) { box->setEditText(box->itemData(i).toString()); });
        box->lineEdit()->setPlaceholderText(QStringLiteral("%1 or rfc2217://host:port")
                                                .arg(QString::fromStdString(DefaultPortDevice(n))));
        const std::string env = PortEnvironmentDevice(n);
        box->setCurrentIndex(-1);
        box->setEditText(QString::fromStdString(env.empty() ? settings_.LoadComDevice(n) : env));
        auto* label = new QLabel(QStringLiteral("COM &%1").arg(n), this);
        label->setBuddy(box);
        if (!env.empty()) {
            box->setEnabled(false);
            // --simulate sets COM1 itself: the user set no variable.
            const bool simulated = n == 1 && settings_.Application() == QLatin1String(TSettings::kSimulatedApplication);
            box->setToolTip(simulated ? QStringLiteral("Set by --simulate (the simulated amplifier)")
                                      : QStringLiteral("Set by the environment variable KALDOR_COM%1").arg(n));
            auto* row = new QVBoxLayout;
            row->addWidget(box);
            row->addWidget(new QLabel(box->toolTip(), this));
            form->addRow(label, row);
        } else {
            form->addRow(label, box);
        }
        devices_[static_cast<size_t>(n - 1)] = box;
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void TDevicesDialog::accept() {
    changed_.clear();
    for (int n = 1; n <= PortCount; ++n) {
        const QComboBox* box = Device(n);
        if (!box->isEnabled()) continue; // the environment decides this one
        const std::string device = box->currentText().trimmed().toStdString();
        if (device == settings_.LoadComDevice(n)) continue;
        settings_.SaveComDevice(n, device);
        changed_.append(n);
    }
    QDialog::accept();
}

} // namespace kaldor
