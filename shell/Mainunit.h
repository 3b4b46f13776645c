#pragma once
// The console's main window: the amplifier's front panel with its keys, indicator fields,
// meters and character display, a menu and a status bar.
#include <QMainWindow>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "link/Clock.h"
#include "link/Frames.h"
#include "link/PortNames.h"
#include "link/PortOpener.h"
#include "link/SerialPort.h"
#include "link/Tcomthread.h"
#include "link/Timingthread.h"
#include "panel/LcdCanvas.h"
#include "panel/SetupTables.h"
#include "widgets/Controls.h"
#include "widgets/Frmbar_100.h"

class QAction;
class QActionGroup;
class QActionGroup;
class QLabel;
class QMenu;
class QProgressBar;
class QSlider;
class QStatusBar;
class QTimer;
class QToolButton;

namespace kaldor {

class QtDispatcher;
class TKeyButton;
class TSettings;
class TdlgCATInfo;
class TdlgANTInfo;

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // After the title and the tray's tooltip when the amplifier is the simulated one.
    static constexpr const char* kSimulatedSuffix = " (simulated amplifier)";

    // settings: where the console keeps its values; the window does not own it.
    explicit TMainForm(TSettings& settings, QWidget* parent = nullptr);
    ~TMainForm() override;

    // --- Controls, by their layout names ---------------------------------------------------
    QWidget* Client = nullptr; // the client area below the menu
    QStatusBar* StatusBar = nullptr;
    std::array<QLabel*, 4> StatusPanels{};
    TPanel* Panel1 = nullptr;
    TPanel* Panel2 = nullptr;
    TStaticText* StaticText21 = nullptr;

    QToolButton *sbLMinus = nullptr, *sbLPlus = nullptr, *sbCMinus = nullptr, *sbCPlus = nullptr,
                *sbTune = nullptr, *sbOFF = nullptr, *sbON = nullptr, *sbPower = nullptr,
                *sbDisplay = nullptr, *sbOperate = nullptr, *sbIN = nullptr,
                *sbBandMinus = nullptr, *sbBandPlus = nullptr, *sbANT = nullptr, *sbCAT = nullptr,
                *sbLeft = nullptr, *sbRight = nullptr, *sbSET = nullptr;

    QAction *actIN = nullptr, *actBandMinus = nullptr, *actBandPlus = nullptr, *actAnt = nullptr,
            *actCAT = nullptr, *actLeft = nullptr, *actRight = nullptr, *actSet = nullptr,
            *actOff = nullptr, *actOn = nullptr, *actPower = nullptr, *actDisplay = nullptr,
            *actOperate = nullptr, *actLMinus = nullptr, *actLPlus = nullptr,
            *actCMinus = nullptr, *actCPlus = nullptr, *actTune = nullptr;
    std::array<QAction*, PortCount> actOpenCom{}; // actOpenCom1 .. actOpenCom6

    TStaticText *StaticText2 = nullptr, *StaticText3 = nullptr, *StaticText4 = nullptr,
                *StaticText5 = nullptr, *StaticText6 = nullptr, *lblSWR_Gain = nullptr,
                *StaticText8 = nullptr;
    TStaticText *stInput = nullptr, *stBand = nullptr, *stAntenna = nullptr, *stCAT = nullptr,
                *stPower = nullptr, *stSWR_Gain = nullptr, *stTemp = nullptr;
    TStaticText *stAlarm = nullptr, *stTune = nullptr, *stSet = nullptr, *stON = nullptr,
                *stOperate = nullptr, *stTX = nullptr, *stMode = nullptr, *stFlex = nullptr;

    TFrmBar100 *Frm_PA = nullptr, *Frm_PR = nullptr, *Frm_VPA = nullptr, *Frm_IPA = nullptr;

    TPanel* pnl_LCD = nullptr;
    TLcdCanvas* imgLCD = nullptr;
    QFrame* bvlLCD = nullptr;
    QSlider *sldrC_Out = nullptr, *sldrL_Out = nullptr, *sldrBacklight = nullptr;
    TStaticText *stFreq = nullptr, *stSubBand = nullptr, *stL_Out = nullptr, *stC_Out = nullptr,
                *stContest = nullptr, *stBeep = nullptr, *stCelsius = nullptr,
                *stStartup = nullptr;
    // st160, st80, st40, st30, st20, st17, st15, st12, st10, st6 in band order
    std::array<TStaticText*, 10> stBands{};

    TPanel* pnlInit = nullptr;
    QProgressBar* pbInit = nullptr;
    TStaticText* StaticText1 = nullptr;
    TStaticText *stOutBand = nullptr, *stPWRev = nullptr, *stWarning = nullptr;

    QMenu *itmFile = nullptr, *itmSetup = nullptr, *itmSerialPort = nullptr, *itmKaldor = nullptr;
    QAction *itmExit = nullptr, *itmShutdown = nullptr;
    bool AutoShutdown = false; // DTR held while connected, as itmShutdown's check mark shows
    QActionGroup* SerialGroup = nullptr;
    QActionGroup* KeyGroup = nullptr; // every front-panel key's action
    QTimer* tmrWarning = nullptr;

    // --- The amplifier's state as the window shows it ------------------------------------------
    // Set by every status event before StatusHandled; what the station log and the
    // notifications read, never the widgets' visibility.
    bool LinkUp = false;     // the last status came from the amplifier, not from the watchdog
    bool AlertShown = false; // the amplifier shows an alert screen
    struct TWarnings {
        bool Antenna = false;   // stWarning: the band has no antenna
        bool Band = false;      // stOutBand: out of the band
        bool Reflected = false; // stPWRev: high reflected power
    } Warnings;
    // OFF or ON is under way: both keys are disabled and the window does not close.
    bool PowerSequenceRunning = false;

    // --- Members shared across the console ----------------------------------------------------
    SerialPort ComPort;
    std::unique_ptr<TComThread> ComThread;
    uint16_t LastScreen = ScrUnowned;
    TDateTime ReflectedHoldUntil = 0.0;
    TDateTime PcDisplayUntil = 0.0;
    int StartupDelay = 6000;
    int ResponseDelay = 500;

    // --- Menu screens and reports ---
    TdlgCATInfo* dlgCATInfo = nullptr; // owned by the window
    TdlgANTInfo* dlgANTInfo = nullptr;
    // The alarm history as its screen's last full draw found it: the header byte, then the
    // entries 1 to 10 at their numbers.
    std::array<uint8_t, 11> HistorySnapshot{};
    uint8_t ShownCount = 0; // alarms stored at that full draw
    uint8_t ShownTop = 0;   // entry last drawn on the first history row, 0 for none

    // --- Handlers --------------------------------------------------------------------------------
    // Writes the key's frame on the port, whatever the link state.
    void SendKey(Key key);
    void SendLinkRequest();
    void actLeftExecute();
    void actRightExecute();
    void HoldPowerLevelDisplay();
    // Stops the receiver, reopens the port as port n, checks its item, names it, stores it and
    // starts a new receiver.
    void actOpenComExecute(int n);
    // Stops and deletes the receiver, if any; the port it shared is then closed.
    void StopReceiver();

    // The receiver's status event, run on the window thread after every pass.
    void HandleStatus(TComThread* Sender);
    void UpdateIndicators();
    void UpdateSwrGain();
    // A warning text shown or hidden, and the state that says so.
    void ShowWarning(TStaticText* text, bool& shown, bool on);
    void tmrWarningTimer();

    // Power switching: OFF and ON, and the ends of their one-shot delays.
    void actOffExecute();
    void actOnExecute();
    void OffTimerDone(TTimingThread* Sender);
    void OnResponseTimerDone(TTimingThread* Sender);
    void StartupTimerDone(TTimingThread* Sender);
    void FinalResponseTimerDone(TTimingThread* Sender);
    // Whether the amplifier answers: a checksum-valid frame within the last second.
    bool AmplifierAnswers() const;

    // The character display.
    void InitLcd();
    void ClearLcd();
    void LcdTextOut(int column, int row, bool inverse, const std::string& text);
    void LcdDrawMenu(const LcdMenuEntry* menu, uint8_t selected, bool redrawAll);

    // Start-up: settings, meters, display, port probe and the first port; true: the window is
    // to be shown. With no usable port it opens in the lost-link state, with Devices... at hand.
    // Remote servers are probed off the window thread: the port is then chosen once they have
    // answered.
    bool FormCreate();
    // The start-up's choice of port, once every port has been probed.
    void OpenStartupPort();
    // Run when a second console was started: restore, come to the front and say so. Before
    // start-up has finished (a box of start-up is open) the signal is kept until it has.
    void InstanceHook();
    bool Created = false;         // FormCreate has finished with its choice of port
    bool InstancePending = false; // a signal came before that
    // Closes the window as its title bar would: the close question applies.
    void itmExitClick() { close(); }

    // Settings kept between runs.
    void LoadWindowPlacement();
    void SaveWindowPlacement();
    // The stored auto-shutdown mode, also written into its status-bar panel.
    bool LoadAndShowAutoShutdown();
    // Stores the mode and writes it into the status-bar panel.
    void SaveAutoShutdown(bool on);
    void SaveComPort(int n);
    TSettings& Settings() { return settings_; }
    // The amplifier is the simulated one: the title says so, so it is never taken for a real one.
    void SetSimulated(bool on);
    bool Simulated() const { return simulated_; }
    Dispatcher& StatusDispatcher();

    static QString PortText(int n); // "Serial port: COMn"

    // --- Opening ports, reconnect and devices ---
    // The Serial Port action's steps on the line: stop and delete the receiver, close, open port
    // n into ComPort; then then(opened). A local device opens before this returns. A remote
    // server is opened off the window thread first (seconds against one that does not answer),
    // the receiver and the old device kept until it is done; a later open or the window's end
    // drops it, then unrun. quiet: a failed open says nothing on standard error (the
    // reconnect's attempts).
    void OpenComPort(int n, bool quiet, std::function<void(bool opened)> then);
    // Port n is usable when its device opens (closed again at once); a remote server is tried
    // off the window thread.
    void ProbePort(int n);
    // Whether port n can be chosen: its action follows.
    void SetPortUsable(int n, bool usable);
    std::array<bool, PortCount> PortUsable{};
    // A new receiver on ComPort with HandleStatus as its event.
    void StartReceiver();
    // Once a second: when the chosen port's device has gone, reopens it by name in the Serial
    // Port action's order, without storing it or a message; one line on standard error when
    // the device goes and one when it is back.
    void tmrReconnectTimer();
    // Ends any reconnecting: a port chosen from the menu, the window closing.
    void StopReconnecting();
    // One reconnect attempt: reopens port n, a new receiver, and the link request when the
    // device is back.
    void ReconnectPort(int n, const std::string& device);
    // "Devices...": assigns a device to each port; OK stores them.
    void itmDevicesClick();
    // Re-probes the ports whose device the dialog changed, except the one in use.
    void DevicesChanged(const QList<int>& ports);
    QAction* itmDevices = nullptr;
    QTimer* tmrReconnect = nullptr;
    int ChosenPort = 0;         // the port of the last Serial Port action, 0 before any
    bool Reconnecting = false;  // the chosen port's device is away and being reopened
    // The chosen port's station is unknown or its certificate refused: the reconnect waits for
    // the user to choose the port again, never asking on its own.
    bool AwaitingUser = false;
    // An open of port n that ended at the station's certificate: an unknown station asks the
    // user (not quiet) whether to trust it; true when the open is tried again with it stored.
    bool StationNotTrusted(int n, bool quiet, const PortOpener::Result& result);
    // What port n's TLS line takes from the settings.
    TlsOptions TlsOptionsFor(int n, const std::string& station) const;
    std::unique_ptr<PortOpener> ComOpener; // ComPort's opens
    std::array<std::unique_ptr<PortOpener>, PortCount> ProbeOpeners{}; // each port's probes
    unsigned StartupProbes = 0;    // bit n: port n's start-up probe has not answered yet
    std::array<std::string, PortCount> ProbeFailures; // why each port did not open, for the details
    bool StartupWaiting = false;   // the start-up's choice waits for those
    bool LinkRequestOnOpen = false; // the start-up's link request waits for ComPort's open
    static constexpr int ReconnectIntervalMs = 1000;

    // --- A line that a station shares among consoles ---
    // What the station last said of control; Shared is false on any other line.
    bool Shared = false;
    StationRole Role;
    // A take-over asked for from this holder ("-": nobody), not yet answered.
    std::string TakeRequestedFrom;
    QAction* itmTakeControl = nullptr; // in the Serial Port menu, for an operator who watches
    // Every status event: the station's word on control, shown where it changed. While this
    // console watches, the keys are disabled and the status bar says who operates.
    void UpdateRole();
    // Confirmed by the user, then asked of the station.
    void itmTakeControlClick();
    static QString RoleText(const StationRole& role); // "Operating", "Watching: dl1abc operates"
    static constexpr int kRolePanelWidth = 50;

signals:
    // After every status event, with the screen code it handled.
    void StatusHandled(uint16_t screen);
    // OFF (on false) or ON (on true) went out; then whether the amplifier answered at its end.
    void PowerKeySent(bool on);
    void PowerKeyDone(bool on, bool answered);

private:
    void BuildPanels();
    void BuildKeys();
    void BuildIndicators();
    void BuildDisplay();
    void BuildOverlays();
    void BuildMenu();
    void BuildDevicesAndReconnect();
    void BuildSharedLine();
    QAction* MakeAction(const char* name, const char* category, const QString& caption,
                        const QString& hint, const QList<QKeySequence>& shortcuts);
    void LayoutClient();
    bool eventFilter(QObject* watched, QEvent* event) override;
    void PortProbed(int n, bool opens, const std::string& failure);
    // Closing the window: refused during a power sequence, else confirmed by the user.
    void closeEvent(QCloseEvent* event) override;
    // The first show: the stored place is fitted again with the real frame, whose title bar,
    // menu and status bar grow with the display's scale, so that the whole window stays above
    // the taskbar.
    void showEvent(QShowEvent* event) override;
    bool placementFitted_ = false;

    // Starts a one-shot delay whose end runs handler on this window, unless it is gone by then.
    void StartTimingThread(int ms, void (TMainForm::*handler)(TTimingThread*));
    // ON and OFF, together: disabled for the whole of a power sequence.
    void SetPowerKeysEnabled(bool enabled);

    TSettings& settings_;
    bool simulated_ = false;
    QtDispatcher* dispatcher_ = nullptr;
    // Closed first thing when the window goes: a delay that ends later finds nobody to call.
    std::shared_ptr<DispatchGate> gate_;
};

} // namespace kaldor
