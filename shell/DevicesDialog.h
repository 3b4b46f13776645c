#pragma once
// "Devices...": which device each of COM1 to COM6 opens.
#include <QDialog>
#include <QList>
#include <QString>
#include <array>

#include "link/PortNames.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kaldor {

class TSettings;
class TIdentityBox;

// The one-line warning beside a plain remote address that is not on this machine; empty for
// any other device.
QString PlainTextWarning(const QString& device);

// One offer of the device list: what the list shows and the name stored.
struct DeviceChoice {
    QString Label;
    QString Path;
};

// The serial devices under devRoot (/dev): the stable names in serial/by-id shown with the
// adapter's name, then ttyUSB*, ttyACM*, ttyS* in numeric order. On Windows COM1 to COM16.
QList<DeviceChoice> DeviceChoices(const QString& devRoot = QStringLiteral("/dev"));

// The adapter's name in a serial/by-id link name: "usb-FTDI_FT232R_USB_UART_A1-if00-port0"
// gives "FTDI FT232R USB UART A1".
QString AdapterName(const QString& byIdName);

class TDevicesDialog : public QDialog {
    Q_OBJECT
public:

    TDevicesDialog(TSettings& settings, QWidget* parent = nullptr,
                   const QString& devRoot = QStringLiteral("/dev"));

    // The editable device of port n (1..6); disabled where KALDOR_COM<n> decides.
    QComboBox* Device(int n) const { return devices_[static_cast<size_t>(n - 1)]; }
    // Ports whose stored device OK changed.
    QList<int> Changed() const { return changed_; }
    // For an rfc2217s:// device: the station's certificate or CA (optional), and forgetting the
    // fingerprint trusted for its host:port.
    QLineEdit* StationFile(int n) const { return station_[static_cast<size_t>(n - 1)].File; }
    QPushButton* Forget(int n) const { return station_[static_cast<size_t>(n - 1)].Forget; }
    QLabel* Warning(int n) const { return station_[static_cast<size_t>(n - 1)].Warning; }
    TIdentityBox* Identity() const { return identity_; }
    // Why OK stored nothing; empty when it stored.
    QLabel* Error() const { return error_; }

    // OK: checks every file first; nothing is stored unless all of them are right.
    void accept() override;

private:
    struct StationRow {
        QWidget* Row = nullptr; // shown for rfc2217s:// only
        QLineEdit* File = nullptr;
        QPushButton* Forget = nullptr;
        QLabel* Warning = nullptr;
        bool Forgotten = false;
    };
    void DeviceEdited(int n);

    TSettings& settings_;
    std::array<QComboBox*, PortCount> devices_{};
    std::array<StationRow, PortCount> station_{};
    TIdentityBox* identity_ = nullptr;
    QLabel* error_ = nullptr;
    QList<int> changed_;
};

} // namespace kaldor
