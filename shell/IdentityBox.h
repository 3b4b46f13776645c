#pragma once
// Devices...' box for the console's own certificate on the TLS line: made here or chosen as PEM
// files, its fingerprint shown, the certificate saved to a file for the station's owner.
#include <QGroupBox>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kaldor {

class TSettings;

class TIdentityBox : public QGroupBox {
    Q_OBJECT
public:
    TIdentityBox(TSettings& settings, QWidget* parent);

    QLineEdit* CertificateFile() const { return certificate_; }
    QLineEdit* KeyFile() const { return key_; }
    QLabel* Fingerprint() const { return fingerprint_; }

    // Makes a key and a self-signed certificate for commonName in the console's data folder and
    // shows them; false with the reason shown.
    bool Make(const QString& commonName);
    // Whether the files as entered may be stored: both empty, or a readable pair. Else the
    // reason, for the dialog to show.
    bool Check(QString& error);
    // Stores them when they changed; call after Check.
    void Store();

    // ser2net takes the certificate's common name as the user: the login name by default.
    static QString LoginName();
    // Where Make writes: the console's data folder, in the user's profile.
    QString Folder() const;

private:
    void ShowFingerprint();
    void MakeClicked();
    void SaveAsClicked();

    TSettings& settings_;
    QLineEdit *certificate_, *key_;
    QLabel* fingerprint_;
    QPushButton *make_, *saveAs_;
};

} // namespace kaldor
