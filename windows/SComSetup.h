#pragma once
#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "Connections.h"
#include "DesktopNotifier.h"
#include "DiagnosticLog.h"
#include "IniFile.h"
#include "ProgramFolders.h"
#include "QtTickSource.h"
#include "RearmingTimer.h"
#include "RecordNumberCounter.h"
#include "SPorts.h"
#include "SerialPortDriver.h"
#include "TrayIcon.h"
#include "UQEL1M_Control.h"

class QCheckBox;
class QComboBox;
class QMenu;

namespace Ui {
class TComSetup;
}

namespace qel {

// What the settings window takes from the system around it, given by whoever makes it;
// the defaults are the running program's own.
struct SettingsWindowSurroundings {
    // The settings file, the users' documentation and the report's template.
    ProgramFolders folders = CurrentProgramFolders();
    // Whether the desktop has a notification area: asked at the start, and once a second
    // while it has none.
    TrayAvailability systemTrayAvailable = SystemTrayAvailable;
    // Where the port dialog finds the serial devices.
    SerialDeviceSource serialDevices = SystemSerialDeviceSource();
};

// The settings window and the program's main window. It lives for the whole run, mostly
// hidden behind the tray icon, and holds the connections (both serial drivers, the QEL-1
// receive handler, the data file writer, the QEL-1M control windows), the configuration
// file, the diagnostics list, Timer1 and the tray icon. Code below the windows reads its
// controls at the moment of use, as one snapshot of the options; the options that no
// control shows (GetLastRecordIfError, the device names) are kept here with them.
class TComSetup : public QMainWindow {
    Q_OBJECT

public:
    // Told of the window as soon as it exists, before its creation steps run: a box of
    // theirs runs the event loop, and what happens meanwhile may need the window.
    using HandOver = std::function<void(TComSetup&)>;

    // The diagnostics list shows `log`; the data file writer keeps its hold-off in
    // `writing`; both control windows take their record numbers from `recordNumbers`.
    TComSetup(DiagnosticLog& log, WriteHoldOff& writing, RecordNumberCounter& recordNumbers,
              SettingsWindowSurroundings surroundings = {}, const HandOver& handOver = {}, QWidget* parent = nullptr);
    ~TComSetup() override;

private:
    // Declared ahead of the components, which refer to the connections. Code below the
    // windows reaches the window through two adapters: the options and the log's sink.
    class WindowOptions : public OptionsSource {
    public:
        explicit WindowOptions(TComSetup& window) : window_(window) {}
        ProgramOptions Current() const override { return window_.Options(); }
        ConnectionOptions ConnectionNow(int connection) const override { return window_.ConnectionOptionsNow(connection); }
        void SetDataFile(const std::string& path) override;
        void SetDeviceName(int connection, const std::string& name) override;

    private:
        TComSetup& window_;
    };
    class WindowLog : public DiagnosticSink {
    public:
        explicit WindowLog(TComSetup& window) : window_(window) {}
        void AppendLine(const std::string& line) override;
        void Beep(BeepKind kind) override;
        bool ScreenMessagesEnabled() override;
        void ShowInformation(const std::string& text) override;

    private:
        TComSetup& window_;
    };

    // The state of the connections: the tray icon and its hint, the title without a
    // notification area, and the desktop notifications.
    class WindowStatus : public StatusView {
    public:
        explicit WindowStatus(TComSetup& window) : window_(window) {}
        void ShowStatus(StatusLevel level, const std::string& hint) override;
        void Notify(const std::string& text) override;

    private:
        TComSetup& window_;
    };

    DiagnosticLog& diagnostics_;
    std::unique_ptr<Ui::TComSetup> ui_;
    // The options no control shows.
    bool lastRecordIfError_ = false;  // GetLastRecordIfError
    std::array<std::string, 2> deviceNames_;
    WindowOptions options_{*this};
    WindowLog log_{*this};
    WindowStatus status_{*this};
    const SettingsWindowSurroundings surroundings_;
    Connections connections_;
    Qel1mControlsShared controlsShared_;

public:
    // Components.
    TSerialPortDriver& ComDriver1 = connections_.ComDriver1;
    TSerialPortDriver& ComDriver2 = connections_.ComDriver2;
    RearmingTimer Timer1;  // ticks on under a box opened from its own handler

    // Handlers, named after their component and event.
    void FormCreate();
    void FormDestroy();
    void BitBtn1Click();  // "Принять"
    void BitBtn2Click();  // "Отменить"
    void Edit1Click();
    void N6Click();        // menu "В&ыход"
    void actExitExecute();  // tray "В&ыйти"
    void N7Click();        // About
    void N9Click();        // tray "&Настройка"
    void N3Click();        // help
    void N10Click();       // menu "&Порты…": the port dialog
    void LOG1Click();      // save the diagnostics list
    void N8Click();        // clear the diagnostics list
    void CB_QELType1Change();
    void CB_QELType2Change();
    void Timer1Timer();

    // The options as the controls (and the window, for those no control shows) hold them
    // now, and shown; showing runs the device-type change of connection 1 and of connection 2.
    ProgramOptions Options() const;
    ConnectionOptions ConnectionOptionsNow(int connection) const;
    void ShowOptions(const ProgramOptions& options);

    DataFileWriter& Writer() { return connections_.Writer(); }
    const ConnectionKeeper& Keeper() const { return connections_.Keeper(); }
    // The connection's QEL-1M control window, or null when it has none.
    TQEL1M_Control* ControlWindow(int connection) const;

    // The only ways the window is shown or hidden.
    void ShowMainWindow();
    void HideMainWindow();
    TTrayIcon& TrayIcon() { return *trayIcon_; }
    // The state of both connections.
    const StatusBoard& Status() const { return connections_.Status(); }

signals:
    // The window was closed: the program ends.
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The controls of one connection's group.
    struct ConnectionControls {
        QCheckBox* inUse;
        QComboBox* port;
        QComboBox* speed;
        QComboBox* type;
    };
    ConnectionControls Controls(int connection) const;

    void LoadSettings();
    // `windowStays`: the window lives on (Accept), so a box may be shown and the controls
    // brought back to what the file keeps. False when the file refused the write, with the
    // list's text of why (SettingsNotSavedText) in `reason` if given.
    [[nodiscard]] bool SaveSettings(bool windowStays, std::string* reason = nullptr);
    void ApplyConnections();
    void BuildMenus();
    void FrameGroupsAroundTheirControls();
    void ConnectHandlers();
    void UpdatePortHints();
    void ShowPortHint(int n);
    // Edit1's hint names the full path of the next record.
    void UpdateDataFileHint();

    // The control that had the focus when the window was minimised: none has it meanwhile,
    // so no caret blinks (and repaints) in a window nobody sees; it gets it back on restore.
    QPointer<QWidget> focusBeforeMinimised_;
    void SetFocusAside(QWidget* focused);

    QMenu* PopupMenu1 = nullptr;  // the diagnostics list's pop-up menu
    QMenu* PopupMenu2 = nullptr;  // the tray menu
    TTrayIcon* trayIcon_ = nullptr;
    std::unique_ptr<IniFile> SettingsFile;
    ProgramOptions storedOptions_;  // as last read from or written to the file
    std::array<QString, 2> portHints_;  // the designed hints of ComboBox1 and ComboBox2
    QString dataFileHint_;              // the designed hint of Edit1
    QString title_;                     // the designed title
    DesktopNotifier notifier_;
    QtTickSource keeperTicks_;
};

}  // namespace qel
