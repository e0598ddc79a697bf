#pragma once
#include <QMainWindow>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "Configuration.h"
#include "ConnectionKeeper.h"
#include "DataFile.h"
#include "DiagnosticLog.h"
#include "IniFile.h"
#include "QtTickSource.h"
#include "Qel1Reception.h"
#include "RearmingTimer.h"
#include "SerialPortDriver.h"
#include "UQEL1M_Control.h"

class QMenu;

namespace Ui {
class TComSetup;
}

namespace qel {

class TTrayIcon;

// The settings window and the program's main window. It lives for the whole run, mostly
// hidden behind the tray icon, and owns both connections' serial drivers, the
// configuration file, the diagnostics list, Timer1, the tray icon and the QEL-1 receive
// handler. Other code reads its controls at the moment of use through the interfaces
// it implements.
class TComSetup : public QMainWindow,
                  public DiagnosticSink,
                  public DataFileOptions,
                  public SettingsTarget,
                  public ReceptionOptions,
                  public Qel1mHost {
    Q_OBJECT

public:
    explicit TComSetup(QWidget* parent = nullptr);
    ~TComSetup() override;

    // Components.
    TSerialPortDriver ComDriver1;
    TSerialPortDriver ComDriver2;
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
    void ComDriver1ReceiveData(TSerialPortDriver* Sender, const uint8_t* DataPtr, uint32_t DataSize);

    // The data file writer (Save2File and its hold-off).
    void Save2File(const std::string& line) override;
    DataFileWriter& Writer() { return writer_; }

    // The only ways the window is shown or hidden.
    void ShowMainWindow();
    void HideMainWindow();
    TTrayIcon& TrayIcon() { return *trayIcon_; }

    // DiagnosticSink: the list, the bell and the box.
    void AppendLine(const std::string& line) override;
    void Beep(BeepKind kind) override;
    bool ScreenMessagesEnabled() override;
    void ShowInformation(const std::string& text) override;

    // DataFileOptions: Edit1, CB_Rewrite, CB_MultyFiles, read live.
    std::string DataFilePath() override;
    void SetDataFilePath(const std::string& path) override;
    bool RewriteFile() override;
    bool MultipleFiles() override;

    // SettingsTarget: what the configuration file reads and writes.
    bool ConnectionInUse(int connection) const override;
    void SetConnectionInUse(int connection, bool inUse) override;
    int PortIndex(int connection) const override;
    void SetPortIndex(int connection, int index) override;
    int SpeedIndex(int connection) const override;
    void SetSpeedIndex(int connection, int index) override;
    int TypeIndex(int connection) const override;
    void SetTypeIndex(int connection, int index) override;
    bool ScreenMessages() const override;
    void SetScreenMessages(bool on) override;
    bool Rewrite() const override;
    void SetRewrite(bool on) override;
    bool MultipleFiles() const override;
    void SetMultipleFiles(bool on) override;
    std::string DataFileText() const override;
    void SetDataFileText(const std::string& text) override;
    void DeviceTypeChanged(int connection) override;

    // ReceptionOptions.
    int DeviceTypeIndex(int connection) override;

    // Qel1mHost: what the QEL-1M control windows reach through the window.
    TQEL1M_Control* ControlWindow(int connection) override;
    void SetControlWindow(int connection, TQEL1M_Control* window) override;
    std::string DeviceName(int connection) const override;
    void SetDeviceName(int connection, const std::string& name) override;
    TSerialPortDriver& ComDriver(int connection) override;
    void CloseMainWindow() override;

signals:
    // The window was closed: the program ends.
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LoadSettings();
    void SaveSettings();
    void ApplyConnections();
    // Marks the connection's control window, if any, as without a link while it is lost.
    void ShowLinkState(int connection);
    void BuildMenus();
    void FrameGroupsAroundTheirControls();
    void ConnectHandlers();
    void UpdatePortHints();

    std::unique_ptr<Ui::TComSetup> ui_;
    QMenu* PopupMenu1 = nullptr;  // the diagnostics list's pop-up menu
    QMenu* PopupMenu2 = nullptr;  // the tray menu
    TTrayIcon* trayIcon_ = nullptr;
    DataFileWriter writer_;
    std::unique_ptr<IniFile> SettingsFile;
    std::unique_ptr<Qel1Reception> reception_;  // holds PacketBuffer and FragmentBuffer
    std::array<TQEL1M_Control*, 2> controlWindows_{};  // ControlWindow of connections 1 and 2
    std::array<QString, 2> portHints_;  // the designed hints of ComboBox1 and ComboBox2
    ConnectionKeeper keeper_{ComDriver1, ComDriver2};  // opens the ports, reopens lost ones
    QtTickSource keeperTicks_;

public:
    const ConnectionKeeper& Keeper() const { return keeper_; }
};

// The one settings window of the program; set as soon as the window exists, before its
// creation steps run, and cleared when it is destroyed.
extern TComSetup* ComSetup;

}  // namespace qel
