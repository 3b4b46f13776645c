#include "shell/Settings.h"


#include <QDir>
#include <QFile>
#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <QVariant>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>

#include "link/NumberText.h"
#include "link/TlsCertificate.h"
#include "shell/MessageBox.h"

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
        int64_t number = 0;
        if (ParseInteger(value.toString().toStdString(), INT32_MIN, INT32_MAX, number))
            return static_cast<int>(number);
    }
    return std::nullopt;
}
#endif

// A format error met while reading is no reason to refuse the write.
bool Commit(QSettings& store) {
    store.sync();
    return store.status() != QSettings::AccessError;
}

} // namespace

struct TSettings::Store {
    explicit Store(const QString& application) : Application(application) {}

    QSettings& File() {
        if (!file_) file_ = OpenStore(Application);
        return *file_;
    }

    // Once per run: the first write that fails says so; later ones are not tried.
    void NotKept(const QString& location) {
        Kept = false;
        const QString text =
            QStringLiteral("The settings could not be written to %1.").arg(location);
        std::fprintf(stderr, "KALDOR Console: %s They will not be kept.\n",
                     text.toLocal8Bit().constData());
        std::fflush(stderr);
        // Said after the operation that failed: a box in the middle of start-up would hold it.
        if (qobject_cast<QApplication*>(QCoreApplication::instance()))
            QTimer::singleShot(0, qApp, [text] {
                ShowMessageBox(QApplication::activeWindow(), text, QString::fromLatin1(kAppCaption),
                               MB_OK | MB_ICONEXCLAMATION);
            });
    }

    const QString Application;
    std::mutex Mutex; // the device lookup reads from other threads
    bool Kept = true;

private:
    std::unique_ptr<QSettings> file_;
};

namespace {

// The integer values, for one settings operation. On Windows they go straight to the registry
// key, so that they are REG_DWORD and only a REG_DWORD reads. A value already stored as it is
// to be written is left alone.
class IntStore {
public:
#ifdef _WIN32
    explicit IntStore(TSettings::Store& store)
        : path_("Software\\" + std::string(TSettings::kOrganisation) + "\\" +
                store.Application.toStdString()),
          key_(path_) {}
    std::optional<int> Read(const char* name) const { return key_.ReadInt32(name); }
    void Write(const char* name, int value) {
        if (Read(name) != value) failed_ |= !key_.WriteInt32(name, value);
    }
    bool Commit() { return !failed_; }
    QString Location() const { return QString::fromStdString("HKEY_CURRENT_USER\\" + path_); }

private:
    std::string path_;
    RegistryKey key_;
    bool failed_ = false;
#else
    explicit IntStore(TSettings::Store& store) : file_(store.File()) {}
    std::optional<int> Read(const char* name) const { return ReadInt32(file_, name); }
    void Write(const char* name, int value) {
        if (Read(name) == value) return;
        file_.setValue(QLatin1String(name), QVariant(value));
        changed_ = true;
    }
    bool Commit() { return !changed_ || kaldor::Commit(file_); }
    QString Location() const { return file_.fileName(); }

private:
    QSettings& file_;
    bool changed_ = false;
#endif
};

} // namespace

TSettings::TSettings(const QString& application)
    : application_(application), store_(std::make_shared<Store>(application)) {}

QString TSettings::Location() const {
    std::lock_guard<std::mutex> lock(store_->Mutex);
    return store_->File().fileName();
}

bool TSettings::LoadWindowPlacement(int& top, int& left, int& height, int& width) const {
    std::lock_guard<std::mutex> lock(store_->Mutex);
    const IntStore store(*store_);
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

void TSettings::SaveInts(std::initializer_list<std::pair<const char*, int>> values) {
    std::lock_guard<std::mutex> lock(store_->Mutex);
    if (!store_->Kept) return;
    IntStore store(*store_);
    for (const auto& [name, value] : values) store.Write(name, value);
    if (!store.Commit()) store_->NotKept(store.Location());
}

int TSettings::LoadInt(const char* name, int fallback) const {
    std::lock_guard<std::mutex> lock(store_->Mutex);
    return IntStore(*store_).Read(name).value_or(fallback);
}

void TSettings::SaveWindowPlacement(int top, int left, int height, int width) {
    SaveInts({{kTop, top}, {kLeft, left}, {kHeight, height}, {kWidth, width}});
}

int TSettings::LoadComPort() const { return LoadInt(kComPort, 0); }

void TSettings::SaveComPort(int n) { SaveInts({{kComPort, n}}); }

bool TSettings::LoadAutoShutdown() const { return LoadInt(kShutdown, 1) != 0; }

void TSettings::SaveAutoShutdown(bool on) { SaveInts({{kShutdown, on ? 1 : 0}}); }

bool TSettings::LoadStationLog() const { return LoadInt("StationLog", 1) != 0; }

void TSettings::SaveStationLog(bool on) { SaveInts({{"StationLog", on ? 1 : 0}}); }

int TSettings::LoadStationLogMegabytes() const { return LoadInt("StationLogMegabytes", 200); }
int TSettings::LoadStationLogDays() const { return LoadInt("StationLogDays", 90); }

bool TSettings::LoadNotifications() const { return LoadInt("Notifications", 1) != 0; }
void TSettings::SaveNotifications(bool on) { SaveInts({{"Notifications", on ? 1 : 0}}); }
bool TSettings::LoadAlertSound() const { return LoadInt("AlertSound", 1) != 0; }
void TSettings::SaveAlertSound(bool on) { SaveInts({{"AlertSound", on ? 1 : 0}}); }

int TSettings::LoadStartupDelay() const { return LoadInt(kStartupDelay, kDefaultStartupDelay); }

int TSettings::LoadResponseDelay() const { return LoadInt(kResponseDelay, kDefaultResponseDelay); }

std::string TSettings::LoadText(const QString& key) const {
    std::lock_guard<std::mutex> lock(store_->Mutex);
    const QVariant value = store_->File().value(key);
    // An unquoted comma makes the text file hand back a list; a path is one string.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(',')).toStdString();
    if (value.typeId() == QMetaType::QString) return value.toString().toStdString();
    return std::string();
}

void TSettings::SaveText(const QString& key, const std::string& value) {
    std::lock_guard<std::mutex> lock(store_->Mutex);
    if (!store_->Kept) return;
    QSettings& file = store_->File();
    if (value.empty())
        file.remove(key);
    else
        file.setValue(key, QString::fromStdString(value));
    if (!Commit(file)) store_->NotKept(file.fileName());
}

std::string TSettings::LoadComDevice(int n) const { return LoadText(QStringLiteral("ComDevice%1").arg(n)); }

void TSettings::SaveComDevice(int n, const std::string& device) {
    SaveText(QStringLiteral("ComDevice%1").arg(n), device);
}

void TSettings::SaveTlsIdentity(const std::string& certificateFile, const std::string& keyFile) {
    SaveText(QStringLiteral("TlsCertificateFile"), certificateFile);
    SaveText(QStringLiteral("TlsKeyFile"), keyFile);
}

namespace {
// "TrustedStations/<host:port>": a slash in a key would open a group of its own.
QString TrustedKey(const std::string& station) {
    return QStringLiteral("TrustedStations/") + QString::fromStdString(station).replace(QLatin1Char('/'), QLatin1Char('_'));
}
} // namespace

std::string TSettings::LoadTrustedStation(const std::string& station) const {
    const std::string stored = LoadText(TrustedKey(station));
    std::string fingerprint;
    if (!stored.empty() && !NormaliseFingerprint(stored, fingerprint)) {
        static std::once_flag said;
        std::call_once(said, [&] {
            std::fprintf(stderr, "KALDOR Console: the trusted fingerprint stored for %s is not one; ignored\n",
                         station.c_str());
        });
    }
    return fingerprint;
}

void TSettings::SaveTrustedStation(const std::string& station, const std::string& fingerprint) {
    SaveText(TrustedKey(station), fingerprint);
}

std::function<std::string(int)> TSettings::DeviceLookup() const {
    const TSettings shared = *this;
    return [shared](int n) { return shared.LoadComDevice(n); };
}

QString TSettings::AutoShutdownText(bool on) {
    return on ? QStringLiteral("Auto shutdown: ON") : QStringLiteral("Auto shutdown: OFF");
}

bool TSettings::PlacementVisible(const QRect& frame, const QList<QRect>& availableScreens) {
    // In 64 bits from the corners as stored: a frame near the ends of the int range has a width
    // that int does not hold. A frame without area still has a corner that someone can or
    // cannot see.
    const auto span = [](qint64 a, qint64 b) { return std::pair(std::min(a, b), std::max(a, b)); };
    const auto [left, right] = span(frame.left(), frame.right());
    const auto [top, bottom] = span(frame.top(), frame.bottom());
    for (const QRect& s : availableScreens)
        if (left <= s.right() && right >= s.left() && top <= s.bottom() && bottom >= s.top())
            return true;
    return false;
}

QPoint TSettings::FitPlacement(const QRect& frame, const QList<QRect>& availableScreens) {
    const QRect* best = nullptr;
    qint64 bestArea = -1;
    for (const QRect& s : availableScreens) {
        const QRect common = s.intersected(frame);
        const qint64 area = common.isEmpty() ? -1 : qint64(common.width()) * common.height();
        if (area > bestArea) {
            best = &s;
            bestArea = area;
        }
    }
    if (!best || bestArea < 0) return frame.topLeft();
    // std::max last: a frame wider than the area keeps its left edge on the area's.
    const auto fit = [](int at, int size, int lo, int extent) {
        return std::max(lo, std::min(at, lo + extent - size));
    };
    return {fit(frame.left(), frame.width(), best->left(), best->width()),
            fit(frame.top(), frame.height(), best->top(), best->height())};
}

QList<QRect> TSettings::AvailableScreens() {
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens()) areas.append(screen->availableGeometry());
    return areas;
}

} // namespace kaldor
