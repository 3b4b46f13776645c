#pragma once
// "Devices...": which device each of COM1 to COM6 opens.
#include <QDialog>
#include <QList>
#include <QString>
#include <array>

#include "link/PortNames.h"

class QComboBox;
class QLabel;

namespace kaldor {

class TSettings;

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

    void accept() override;

private:
    TSettings& settings_;
    std::array<QComboBox*, PortCount> devices_{};
    QList<int> changed_;
};

} // namespace kaldor
