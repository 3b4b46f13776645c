#include "shell/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QVariant>

#include <memory>
#include <optional>
#include <stdexcept>

#ifdef _WIN32
#include "shell/Registry.h"
#endif

namespace kaldor {
namespace {

constexpr const char* kTop = "ApplicationTop";
constexpr const char* kLeft = "ApplicationLeft";
constexpr const char* kHeight = "ApplicationHeight";
constexpr const char* kWidth = "ApplicationWidth";
constexpr const char* kComPort = "DefaultComPort";
constexpr const char* kShutdown = "DefaultShutdown";
constexpr const char* kStartupDelay = "DefaultStartupDelay";
constexpr const char* kResponseDelay = "DefaultResponseDelay";

std::unique_ptr<QSettings> OpenStore(const QString& application) {
    auto store = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             TSettings::kOrganisation, application);
#ifndef _WIN32
    // The registry key comes into being when it is first opened; give the file the same life
    // so that a first run leaves an (empty) store behind. A failure here shows at the next write.
    const QString path = store->fileName();
    if (!QFileInfo::exists(path)) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) file.close();
    }
#endif
    return store;
}

#ifndef _WIN32
std::optional<int> ReadInt32(const QSettings& store, const char* name) {
    const QVariant value = store.value(QLatin1String(name));
    if (value.typeId() == QMetaType::Int) return value.toInt();
    // A text file has no types: a value reads when its whole text is a 32-bit decimal number.
    if (value.typeId() == QMetaType::QString) {
        bool ok = false;
        const int number = value.toString().toInt(&ok, 10);
        if (ok) return number;
    }
    return std::nullopt;
}

void Commit(QSettings& store) {
    store.sync();
    if (store.status() != QSettings::NoError)
        throw std::runtime_error("The settings could not be written to " +
                                 store.fileName().toStdString() + ".");
}
#endif

// The integer values, open for one settings operation. On Windows they go straight to the
// registry key, so that they are REG_DWORD and only a REG_DWORD reads.
class IntStore {
public:
#ifdef _WIN32
    explicit IntStore(const QString& application)
        : path_("Software\\" + std::string(TSettings::kOrganisation) + "\\" +
                application.toStdString()),
          key_(path_) {}
    std::optional<int> Read(const char* name) const { return key_.ReadInt32(name); }
    void Write(const char* name, int value) { failed_ |= !key_.WriteInt32(name, value); }
    void Commit() {
        if (failed_)
            throw std::runtime_error("The settings could not be written to HKEY_CURRENT_USER\\" +
                                     path_ + ".");
    }

private:
    std::string path_;
    RegistryKey key_;
    bool failed_ = false;
#else
    explicit IntStore(const QString& application) : store_(OpenStore(application)) {}
    std::optional<int> Read(const char* name) const { return ReadInt32(*store_, name); }
    void Write(const char* name, int value) { store_->setValue(name, QVariant(value)); }
    void Commit() { kaldor::Commit(*store_); }

private:
    std::unique_ptr<QSettings> store_;
#endif
};

int LoadInt(const QString& application, const char* name, int fallback) {
    return IntStore(application).Read(name).value_or(fallback);
}

} // namespace

TSettings::TSettings(const QString& application) : application_(application) {}

QString TSettings::Location() const { return OpenStore(application_)->fileName(); }

bool TSettings::LoadWindowPlacement(int& top, int& left, int& height, int& width) const {
    const IntStore store(application_);
    const auto t = store.Read(kTop);
    if (!t) return false;
    const auto l = store.Read(kLeft);
    if (!l) return false;
    const auto h = store.Read(kHeight);
    if (!h) return false;
    const auto w = store.Read(kWidth);
    if (!w) return false;
    top = *t;
    left = *l;
    height = *h;
    width = *w;
    return true;
}

void TSettings::SaveWindowPlacement(int top, int left, int height, int width) {
    IntStore store(application_);
    store.Write(kTop, top);
    store.Write(kLeft, left);
    store.Write(kHeight, height);
    store.Write(kWidth, width);
    store.Commit();
}

int TSettings::LoadComPort() const { return LoadInt(application_, kComPort, 0); }

void TSettings::SaveComPort(int n) {
    IntStore store(application_);
    store.Write(kComPort, n);
    store.Commit();
}

bool TSettings::LoadAutoShutdown() const { return LoadInt(application_, kShutdown, 1) != 0; }

void TSettings::SaveAutoShutdown(bool on) {
    IntStore store(application_);
    store.Write(kShutdown, on ? 1 : 0);
    store.Commit();
}

bool TSettings::LoadStationLog() const { return LoadInt(application_, "StationLog", 1) != 0; }

void TSettings::SaveStationLog(bool on) {
    IntStore store(application_);
    store.Write("StationLog", on ? 1 : 0);
    store.Commit();
}

int TSettings::LoadStationLogMegabytes() const { return LoadInt(application_, "StationLogMegabytes", 200); }
int TSettings::LoadStationLogDays() const { return LoadInt(application_, "StationLogDays", 90); }

int TSettings::LoadStartupDelay() const {
    return LoadInt(application_, kStartupDelay, kDefaultStartupDelay);
}

int TSettings::LoadResponseDelay() const {
    return LoadInt(application_, kResponseDelay, kDefaultResponseDelay);
}

std::string TSettings::LoadComDevice(int n) const {
    const auto store = OpenStore(application_);
    const QVariant value = store->value(QStringLiteral("ComDevice%1").arg(n));
    // An unquoted comma makes the text file hand back a list; a device path is one string.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(',')).toStdString();
    if (value.typeId() == QMetaType::QString) return value.toString().toStdString();
    return std::string();
}

void TSettings::SaveComDevice(int n, const std::string& device) {
    const auto store = OpenStore(application_);
    const QString key = QStringLiteral("ComDevice%1").arg(n);
    if (device.empty())
        store->remove(key);
    else
        store->setValue(key, QString::fromStdString(device));
    Commit(*store);
}

std::function<std::string(int)> TSettings::DeviceLookup() const {
    const QString application = application_;
    return [application](int n) { return TSettings(application).LoadComDevice(n); };
}

QString TSettings::AutoShutdownText(bool on) {
    return on ? QStringLiteral("Auto shutdown: ON") : QStringLiteral("Auto shutdown: OFF");
}

bool TSettings::PlacementVisible(const QRect& frame, const QList<QRect>& availableScreens) {
    // A frame without area still has a corner that someone can or cannot see.
    const QRect r = frame.normalized();
    const QRect probe(r.topLeft(), QSize(qMax(1, r.width()), qMax(1, r.height())));
    for (const QRect& screen : availableScreens)
        if (probe.intersects(screen)) return true;
    return false;
}

QList<QRect> TSettings::AvailableScreens() {
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens()) areas.append(screen->availableGeometry());
    return areas;
}

} // namespace kaldor
