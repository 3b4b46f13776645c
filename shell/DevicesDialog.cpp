#include "shell/DevicesDialog.h"

#include "link/PortList.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

#include <algorithm>

#include "link/PortNames.h"
#include "link/TlsCertificate.h"
#include "link/TlsOptions.h"
#include "shell/IdentityBox.h"
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

QString PlainTextWarning(const QString& device) {
    std::string host, port;
    const std::string text = device.trimmed().toStdString();
    if (IsTlsDevice(text) || !ParseRemoteDevice(text, host, port)) return {};
    if (host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0) return {};
    return QStringLiteral("Unencrypted: anyone on the way can read this line and operate the amplifier. "
                          "Use rfc2217s:// or an SSH tunnel.");
}

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
    // Each port once: the plain names the system did not list already.
    for (int n = 1; n <= 16; ++n) {
        const QString name = QStringLiteral("COM%1").arg(n);
        if (std::none_of(out.begin(), out.end(), [&](const DeviceChoice& c) { return c.Path == name; }))
            out.append({name, name});
    }
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
        StationRow& station = station_[static_cast<size_t>(n - 1)];
        station.Row = new QWidget(this);
        auto* line = new QHBoxLayout(station.Row);
        line->setContentsMargins(0, 0, 0, 0);
        station.File = new QLineEdit(QString::fromStdString(settings_.LoadTlsStationFile(n)), station.Row);
        station.File->setObjectName(QStringLiteral("edStation%1").arg(n));
        station.File->setPlaceholderText(QStringLiteral("the station's certificate or CA (optional; else trusted on first use)"));
        auto* browse = new QPushButton(QStringLiteral("Browse..."), station.Row);
        station.Forget = new QPushButton(QStringLiteral("Forget trusted station"), station.Row);
        station.Forget->setObjectName(QStringLiteral("btnForget%1").arg(n));
        line->addWidget(station.File);
        line->addWidget(browse);
        line->addWidget(station.Forget);
        connect(browse, &QPushButton::clicked, this, [this, &station] {
            const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("The station's certificate"),
                                                              station.File->text(),
                                                              QStringLiteral("Certificates (*.crt *.pem);;All files (*)"));
            if (!file.isEmpty()) station.File->setText(QDir::toNativeSeparators(file));
        });
        connect(station.Forget, &QPushButton::clicked, this, [&station] {
            station.Forgotten = true;
            station.Forget->setEnabled(false);
        });
        station.Warning = new QLabel(this);
        station.Warning->setObjectName(QStringLiteral("lblWarning%1").arg(n));
        station.Warning->setStyleSheet(QStringLiteral("color: #b00000"));
        connect(box, &QComboBox::editTextChanged, this, [this, n] { DeviceEdited(n); });
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
        form->addRow(QString(), station.Row);
        form->addRow(QString(), station.Warning);
        devices_[static_cast<size_t>(n - 1)] = box;
        DeviceEdited(n);
    }
    identity_ = new TIdentityBox(settings_, this);
    error_ = new QLabel(this);
    error_->setObjectName(QStringLiteral("lblError"));
    error_->setStyleSheet(QStringLiteral("color: #b00000"));
    error_->setWordWrap(true);
    error_->hide();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(identity_);
    layout->addWidget(error_);
    layout->addWidget(buttons);
}

void TDevicesDialog::DeviceEdited(int n) {
    const QString device = devices_[static_cast<size_t>(n - 1)] ? Device(n)->currentText()
                                                                 : QString::fromStdString(PortDeviceName(n));
    StationRow& station = station_[static_cast<size_t>(n - 1)];
    const std::string key = StationKey(device.trimmed().toStdString());
    station.Row->setVisible(IsTlsDevice(device.trimmed().toStdString()));
    station.Forget->setEnabled(!station.Forgotten && !key.empty() && !settings_.LoadTrustedStation(key).empty());
    const QString warning = PlainTextWarning(device);
    station.Warning->setText(warning);
    station.Warning->setVisible(!warning.isEmpty());
}

void TDevicesDialog::accept() {
    // Every file first: a wrong one stores nothing.
    QString error;
    bool ok = identity_->Check(error);
    for (int n = 1; ok && n <= PortCount; ++n) {
        const std::string file = StationFile(n)->text().trimmed().toStdString();
        CertificateInfo info;
        std::string why;
        if (!file.empty() && file != settings_.LoadTlsStationFile(n) && !ReadCertificateFile(file, info, why)) {
            error = QStringLiteral("COM%1: %2").arg(n).arg(QString::fromStdString(why));
            ok = false;
        }
    }
    error_->setText(error);
    error_->setVisible(!ok);
    if (!ok) return;
    identity_->Store();
    changed_.clear();
    for (int n = 1; n <= PortCount; ++n) {
        StationRow& station = station_[static_cast<size_t>(n - 1)];
        const std::string file = station.File->text().trimmed().toStdString();
        const std::string key = StationKey(Device(n)->currentText().trimmed().toStdString());
        if (station.Forgotten && !key.empty()) settings_.SaveTrustedStation(key, {});
        if (file != settings_.LoadTlsStationFile(n)) {
            settings_.SaveTlsStationFile(n, file);
            if (!changed_.contains(n)) changed_.append(n);
        }
        if (!PortEnvironmentDevice(n).empty()) continue; // the environment decides this one
        const std::string device = Device(n)->currentText().trimmed().toStdString();
        if (device == settings_.LoadComDevice(n)) continue;
        settings_.SaveComDevice(n, device);
        if (!changed_.contains(n)) changed_.append(n);
    }
    QDialog::accept();
}

} // namespace kaldor
