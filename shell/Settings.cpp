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

std::optional<int> ReadInt32(const QSettings& store, const char* name) {
    const QVariant value = store.value(QLatin1String(name));
    if (value.typeId() == QMetaType::Int) return value.toInt();
#ifndef _WIN32
    // A text file has no types: a value reads when its whole text is a 32-bit decimal number.
    // (In the registry only a REG_DWORD reads, as Qt hands it over as int.)
    if (value.typeId() == QMetaType::QString) {
        bool ok = false;
        const int number = value.toString().toInt(&ok, 10);
        if (ok) return number;
    }
#endif
    return std::nullopt;
}

int LoadInt(const QString& application, const char* name, int fallback) {
    const auto store = OpenStore(application);
    return ReadInt32(*store, name).value_or(fallback);
}

void Commit(QSettings& store) {
    store.sync();
    if (store.status() != QSettings::NoError)
        throw std::runtime_error("The settings could not be written to " +
                                 store.fileName().toStdString() + ".");
}

} // namespace

TSettings::TSettings(const QString& application) : application_(application) {}

QString TSettings::Location() const { return OpenStore(application_)->fileName(); }

bool TSettings::LoadWindowPlacement(int& top, int& left, int& height, int& width) const {
    const auto store = OpenStore(application_);
    const auto t = ReadInt32(*store, kTop);
    if (!t) return false;
    const auto l = ReadInt32(*store, kLeft);
    if (!l) return false;
    const auto h = ReadInt32(*store, kHeight);
    if (!h) return false;
    const auto w = ReadInt32(*store, kWidth);
    if (!w) return false;
    top = *t;
    left = *l;
    height = *h;
    width = *w;
    return true;
}

void TSettings::SaveWindowPlacement(int top, int left, int height, int width) {
    const auto store = OpenStore(application_);
    store->setValue(kTop, QVariant(top));
    store->setValue(kLeft, QVariant(left));
    store->setValue(kHeight, QVariant(height));
    store->setValue(kWidth, QVariant(width));
    Commit(*store);
}

int TSettings::LoadComPort() const { return LoadInt(application_, kComPort, 0); }

void TSettings::SaveComPort(int n) {
    const auto store = OpenStore(application_);
    store->setValue(kComPort, QVariant(n));
    Commit(*store);
}

bool TSettings::LoadAutoShutdown() const { return LoadInt(application_, kShutdown, 1) != 0; }

void TSettings::SaveAutoShutdown(bool on) {
    const auto store = OpenStore(application_);
    store->setValue(kShutdown, QVariant(on ? 1 : 0));
    Commit(*store);
}

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
