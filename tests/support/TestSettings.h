#pragma once
// A settings root of the test's own: an application name under the console's organisation that
// no user has, removed with everything in it when the root goes. The user's own settings (the
// console's application name) are never opened, on any system.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <atomic>
#include "link/WindowsApi.h"

#include "link/NonCopyable.h"
#include "shell/Settings.h"

namespace kaldor::test {

class TestSettingsRoot : NonCopyable {
public:
    TestSettingsRoot() : application_(NextName()) { Remove(); }
    ~TestSettingsRoot() { Remove(); }

    const QString& Application() const { return application_; }
    // Where the store is: the file on POSIX, the registry key on Windows. Worked out here, not
    // asked of a QSettings, whose cache of the file would outlive the removal.
    QString StorePath() const {
#ifdef _WIN32
        return QStringLiteral("HKEY_CURRENT_USER\\Software\\%1\\%2").arg(TSettings::kOrganisation, application_);
#else
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/" +
               TSettings::kOrganisation + "/" + application_ + ".conf";
#endif
    }

private:
    static QString NextName() {
        static std::atomic<int> count{0};
        return QStringLiteral("Kaldor_Console_Test_%1_%2")
            .arg(QCoreApplication::applicationPid())
            .arg(++count);
    }
    void Remove() const {
#ifdef _WIN32
        const std::wstring key = L"Software\\OLV\\" + application_.toStdWString();
        RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
#else
        const QString file = StorePath();
        QFile::remove(file);
        QFile::remove(file + QStringLiteral(".lock"));
        QDir().rmdir(file); // a test's folder where the file belongs
        QDir().rmdir(QFileInfo(file).absolutePath()); // only when nothing else is in it
#endif
    }

    QString application_;
};

} // namespace kaldor::test
