#pragma once
#include <QList>
#include <QRect>
#include <QString>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

namespace kaldor {

// The console's settings kept between runs: on Windows the registry key
// HKEY_CURRENT_USER\Software\OLV\<application> (integers as REG_DWORD), elsewhere
// $XDG_CONFIG_HOME/OLV/<application>.conf. The file is read once, at the first use, which also
// creates it; copies share what was read. A value that is missing or does not read as a 32-bit
// integer gives the operation's default, silently. A value equal to the stored one is not
// written again. A write that does not reach the store is said once, on standard error and in a
// message box, and no later write is tried: the console runs on without keeping its settings.
class TSettings {
public:
    static constexpr const char* kOrganisation = "OLV";
    static constexpr const char* kApplication = "Kaldor_Console";
    // Settings of the console running against the simulated amplifier, kept apart.
    static constexpr const char* kSimulatedApplication = "Kaldor_Console_Simulated";

    // Window design size, used when no complete placement is stored.
    static constexpr int kDesignWidth = 800;
    static constexpr int kDesignHeight = 450;
    static constexpr int kDefaultStartupDelay = 6000;
    static constexpr int kDefaultResponseDelay = 500;

    explicit TSettings(const QString& application = kApplication);

    // Reads "ApplicationTop", "ApplicationLeft", "ApplicationHeight", "ApplicationWidth" in this
    // order; true and all four outputs set only when every one of them reads.
    bool LoadWindowPlacement(int& top, int& left, int& height, int& width) const;
    void SaveWindowPlacement(int top, int left, int height, int width);

    // "DefaultComPort": the port last opened, 0 when none reads.
    int LoadComPort() const;
    void SaveComPort(int n);

    // "DefaultShutdown": any non-zero value is on; on when none reads.
    bool LoadAutoShutdown() const;
    void SaveAutoShutdown(bool on);

    // "DefaultStartupDelay" and "DefaultResponseDelay" in ms, as stored (not rounded); the
    // console never writes them.
    int LoadStartupDelay() const;
    int LoadResponseDelay() const;

    // "ComDevice<n>": the device path of port n on POSIX; empty when none is stored.
    std::string LoadComDevice(int n) const;
    // Stores the device of port n; an empty name removes it, so the default applies again.
    void SaveComDevice(int n, const std::string& device);
    // The lookup for SetStoredDeviceLookup (link/PortNames.h). It may run on any thread and
    // outlive this object.
    std::function<std::string(int)> DeviceLookup() const;

    // The TLS line: "TlsCertificateFile" and "TlsKeyFile", the console's own identity (PEM
    // paths); "TlsStationFile<n>", the station's certificate or CA for port n; empty when none.
    // An empty value removes the setting.
    std::string LoadTlsCertificateFile() const { return LoadText(QStringLiteral("TlsCertificateFile")); }
    std::string LoadTlsKeyFile() const { return LoadText(QStringLiteral("TlsKeyFile")); }
    void SaveTlsIdentity(const std::string& certificateFile, const std::string& keyFile);
    std::string LoadTlsStationFile(int n) const { return LoadText(QStringLiteral("TlsStationFile%1").arg(n)); }
    void SaveTlsStationFile(int n, const std::string& file) { SaveText(QStringLiteral("TlsStationFile%1").arg(n), file); }
    // Group "TrustedStations": the SHA-256 fingerprint trusted for "host:port", colon-separated
    // hex. Empty when none, or when what is stored is not a fingerprint (said once on standard
    // error). Saving empty forgets it.
    std::string LoadTrustedStation(const std::string& station) const;
    void SaveTrustedStation(const std::string& station, const std::string& fingerprint);

    // The station log: "StationLog" (any non-zero value records; on when none reads), and its
    // bounds "StationLogMegabytes" (200) and "StationLogDays" (90), read only.
    bool LoadStationLog() const;
    void SaveStationLog(bool on);
    int LoadStationLogMegabytes() const;
    int LoadStationLogDays() const;

    // The alarms: "Notifications" (taskbar, tray messages and sound) and "AlertSound"; any
    // non-zero value is on; on when none reads.
    bool LoadNotifications() const;
    void SaveNotifications(bool on);
    bool LoadAlertSound() const;
    void SaveAlertSound(bool on);

    QString Application() const { return application_; }
    // Where the store lives (a file path, or the registry path on Windows).
    QString Location() const;

    // The delays are used as whole multiples of 100 ms, truncated toward zero.
    static int RoundDownTo100(int ms) { return ms / 100 * 100; }
    // Status-bar text of the auto-shutdown choice.
    static QString AutoShutdownText(bool on);

    // A stored placement lying wholly outside every available screen would open the window where
    // nobody sees it: then only its size is applied and the system places the window. True when
    // the frame meets at least one of the screens' available areas.
    static bool PlacementVisible(const QRect& frame, const QList<QRect>& availableScreens);
    // Where a visible frame goes: moved into the available area of the screen it overlaps most
    // (a place saved at another scaling can reach past its edges), its top-left corner first
    // where the frame is larger than the area. The frame as given when it meets no screen.
    static QPoint FitPlacement(const QRect& frame, const QList<QRect>& availableScreens);
    // The available areas of the screens now attached (needs the application object).
    static QList<QRect> AvailableScreens();

    struct Store;

private:
    int LoadInt(const char* name, int fallback) const;
    // A text value, "" when missing or not text; saving "" removes it.
    std::string LoadText(const QString& key) const;
    void SaveText(const QString& key, const std::string& value);
    void SaveInts(std::initializer_list<std::pair<const char*, int>> values);

    QString application_;
    std::shared_ptr<Store> store_;
};

} // namespace kaldor
