#include "shell/IdentityBox.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QFileInfo>

#include "link/TlsIdentity.h"
#include "shell/Settings.h"

namespace kaldor {
namespace {

// A path field with its browse button.
QLineEdit* FileRow(QFormLayout* form, const QString& label, const QString& title, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    auto* browse = new QPushButton(QStringLiteral("Browse..."), parent);
    QObject::connect(browse, &QPushButton::clicked, parent, [edit, title, parent] {
        const QString file = QFileDialog::getOpenFileName(parent, title, edit->text(),
                                                          QStringLiteral("PEM files (*.pem *.crt *.key);;All files (*)"));
        if (!file.isEmpty()) edit->setText(QDir::toNativeSeparators(file));
    });
    auto* row = new QHBoxLayout;
    row->addWidget(edit);
    row->addWidget(browse);
    form->addRow(label, row);
    return edit;
}

} // namespace

TIdentityBox::TIdentityBox(TSettings& settings, QWidget* parent)
    : QGroupBox(QStringLiteral("This console's certificate, for rfc2217s:// stations"), parent), settings_(settings) {
    setObjectName(QStringLiteral("gbIdentity"));
    auto* form = new QFormLayout(this);
    certificate_ = FileRow(form, QStringLiteral("Certificate:"), QStringLiteral("The console's certificate"), this);
    certificate_->setObjectName(QStringLiteral("edCertificate"));
    key_ = FileRow(form, QStringLiteral("Private key:"), QStringLiteral("The console's private key"), this);
    key_->setObjectName(QStringLiteral("edKey"));
    fingerprint_ = new QLabel(this);
    fingerprint_->setObjectName(QStringLiteral("lblFingerprint"));
    fingerprint_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    fingerprint_->setWordWrap(true);
    form->addRow(QStringLiteral("SHA-256:"), fingerprint_);
    make_ = new QPushButton(QStringLiteral("&Make..."), this);
    saveAs_ = new QPushButton(QStringLiteral("Save certificate &as..."), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(make_);
    buttons->addWidget(saveAs_);
    buttons->addStretch();
    form->addRow(buttons);
    connect(make_, &QPushButton::clicked, this, &TIdentityBox::MakeClicked);
    connect(saveAs_, &QPushButton::clicked, this, &TIdentityBox::SaveAsClicked);

    certificate_->setText(QString::fromStdString(settings_.LoadTlsCertificateFile()));
    key_->setText(QString::fromStdString(settings_.LoadTlsKeyFile()));
    connect(certificate_, &QLineEdit::textChanged, this, &TIdentityBox::ShowFingerprint);
    ShowFingerprint();
}

QString TIdentityBox::LoginName() {
    QString name = qEnvironmentVariable("USER");
    if (name.isEmpty()) name = qEnvironmentVariable("USERNAME");
    if (name.isEmpty()) name = qEnvironmentVariable("LOGNAME");
    return name;
}

QString TIdentityBox::Folder() const {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("OLV/%1/tls").arg(settings_.Application()));
}

void TIdentityBox::ShowFingerprint() {
    CertificateInfo info;
    std::string error;
    const std::string file = certificate_->text().trimmed().toStdString();
    if (file.empty())
        fingerprint_->setText(QStringLiteral("(none: a station that asks for one refuses the console)"));
    else if (ReadCertificateFile(file, info, error))
        fingerprint_->setText(QString::fromStdString(info.Fingerprint + "\n" + info.Subject));
    else
        fingerprint_->setText(QString::fromStdString(error));
    saveAs_->setEnabled(!info.Fingerprint.empty());
}

bool TIdentityBox::Make(const QString& commonName) {
    const QString name = commonName.trimmed();
    QDir().mkpath(Folder());
    // The common name is a user name to ser2net: kept to a file name's characters here.
    QString base = name;
    base.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
    const QString cert = QDir(Folder()).filePath(base + QStringLiteral(".crt"));
    const QString key = QDir(Folder()).filePath(base + QStringLiteral(".key"));
    CertificateInfo info;
    std::string error;
    if (!MakeIdentity(name.toStdString(), cert.toStdString(), key.toStdString(), info, error)) {
        fingerprint_->setText(QString::fromStdString(error));
        return false;
    }
    certificate_->setText(QDir::toNativeSeparators(cert));
    key_->setText(QDir::toNativeSeparators(key));
    ShowFingerprint();
    return true;
}

void TIdentityBox::MakeClicked() {
    bool ok = false;
    const QString name = QInputDialog::getText(
        this, QStringLiteral("Make a certificate"),
        QStringLiteral("Common name (the station's owner allows it as your user name):"), QLineEdit::Normal,
        LoginName(), &ok);
    if (ok) Make(name);
}

void TIdentityBox::SaveAsClicked() {
    const QString target = QFileDialog::getSaveFileName(this, QStringLiteral("Save the certificate for the station"),
                                                        QFileInfo(certificate_->text()).fileName(),
                                                        QStringLiteral("Certificates (*.crt *.pem)"));
    if (target.isEmpty()) return;
    QFile::remove(target);
    if (!QFile::copy(certificate_->text().trimmed(), target))
        fingerprint_->setText(QStringLiteral("cannot write %1").arg(target));
}

bool TIdentityBox::Check(QString& error) {
    const std::string cert = certificate_->text().trimmed().toStdString();
    const std::string key = key_->text().trimmed().toStdString();
    if (cert.empty() && key.empty()) return true;
    if (cert.empty() || key.empty()) {
        error = QStringLiteral("The console's certificate needs both files, the certificate and its key.");
        return false;
    }
    CertificateInfo info;
    std::string why;
    if (CheckIdentity(cert, key, info, why)) return true;
    error = QString::fromStdString(why);
    return false;
}

void TIdentityBox::Store() {
    settings_.SaveTlsIdentity(certificate_->text().trimmed().toStdString(), key_->text().trimmed().toStdString());
}

} // namespace kaldor
