#pragma once
#include <array>
#include <functional>
#include <string>

#include "Configuration.h"
#include "ConnectionKeeper.h"
#include "DataFile.h"
#include "DiagnosticLog.h"
#include "LocalTime.h"
#include "PollFreshness.h"
#include "Qel1Reception.h"
#include "SerialPortDriver.h"
#include "StatusBoard.h"

namespace qel {

// The line speeds of the speed lists (CB_Spead1, CB_Spead2) by selection index: the one
// list that fills the lists and sets the drivers.
inline constexpr std::array<TComPortBaudRate, kSpeedCount> kLineSpeeds{br4800, br9600};

// What the connections need of a QEL-1M control window, which implements it.
class Qel1mPanel {
public:
    // Shown for the first time, with the connection's device name.
    virtual void Open(const std::string& deviceName) = 0;
    // Shown again, restored if minimised, and raised.
    virtual void ShowAgain() = 0;
    // A good reply of the value poll: the value text and the device's number.
    virtual void ShowPolledValue(const std::string& valueText, const std::string& addressNumber) = 0;
    // The polls have failed long enough that the value shown is no longer current; the
    // device has not answered since `silentSince` (a time of day).
    virtual void ShowValueNotCurrent(const std::string& silentSince) = 0;
    // The connection's device is gone.
    virtual void ShowLinkLost() = 0;
    // Ends the window (at once, or once its running handler has returned).
    virtual void Release() = 0;

protected:
    ~Qel1mPanel() = default;
};

// The program's two connections: both serial drivers (ComDriver1 and ComDriver2 of the
// settings window), the QEL-1 receive handler bound to both of them, the hold on their
// ports, the data file writer and the QEL-1M control windows. The options (the device
// names among them) are read from their source at the moment of use.
class Connections {
public:
    // Reports and notes go to `log`; the writer keeps its hold-off in `writing`.
    // `settingsFile` binds the COM names to devices (its section [Ports]).
    Connections(DiagnosticLog& log, WriteHoldOff& writing, OptionsSource& options, std::string settingsFile);
    ~Connections();
    Connections(const Connections&) = delete;
    Connections& operator=(const Connections&) = delete;

    TSerialPortDriver ComDriver1;
    TSerialPortDriver ComDriver2;

    // `connection` is 1 or 2.
    TSerialPortDriver& Driver(int connection) { return connection == 1 ? ComDriver1 : ComDriver2; }
    const TSerialPortDriver& Driver(int connection) const { return connection == 1 ? ComDriver1 : ComDriver2; }
    // The full path where the next record will be written, as the writer resolves it.
    std::string NextRecordPath() const;
    DataFileWriter& Writer() { return writer_; }
    ConnectionKeeper& Keeper() { return keeper_; }
    const ConnectionKeeper& Keeper() const { return keeper_; }
    // The state of both connections, for the tray icon, its hint and the notifications.
    StatusBoard& Status() { return status_; }
    const StatusBoard& Status() const { return status_; }

    // Sets port and speed of both drivers from the options and opens the connections in
    // use: the only place where ports are opened. A port that is open stays open, and
    // the driver ignores a port change while its port is open.
    void Apply(const ProgramOptions& options);
    // Closes both ports, which also ends the reopening of a lost one.
    void Disconnect();
    // About once a second: the retries of lost ports, then the notices due.
    void KeeperTick();

    // Files a record taken on the connection through the data file writer; true when it
    // was written.
    bool FileRecord(int connection, const std::string& line, const RecordFileName& name);
    // How the connection is named in the tray hint and its notifications.
    ConnectionLabel Label(int connection) const;
    // The connection's device name as the options keep it; a control window's edit of
    // it is kept there.
    std::string DeviceName(int connection) const;
    void SetDeviceName(int connection, const std::string& name);

    // One Timer1 tick: the write hold-off countdown comes first; on the tick where it
    // ends, and reports, nothing else runs. Then the value polling of connection 1 and of
    // connection 2.
    void Timer1Tick();
    // One poll of a connection: when it is in use and of type QEL-1M, asks its device for
    // the value and shows a good reply in the connection's control window, if there is one.
    // Polls that keep failing make the shown value not current (see PollFreshness).
    void PollConnection(int connection, bool inUse, int typeIndex);

    // Makes a connection's control window; set by the settings window.
    std::function<Qel1mPanel*(int connection)> CreateControlWindow;
    // The connection's control window, or null when it has none.
    Qel1mPanel* ControlWindow(int connection) const { return windows_[ConnectionIndex(connection)]; }
    // The device-type change of a connection: with QEL-1M selected, shows its control
    // window again or makes it with the connection's device name; with any other
    // selection, destroys the window it has. A window made while the link is lost says so.
    void DeviceTypeChange(int connection, int typeIndex);
    // Destroys the connection's control window, if it has one.
    void DestroyControlWindow(int connection);

private:
    // Marks the connection's control window, if any, as without a link while it is lost.
    void ShowLinkState(int connection);

    OptionsSource& options_;
    StatusBoard status_;
    DataFileWriter writer_;
    Qel1Reception reception_;  // holds the packet and fragment buffers, one pair for both connections
    ConnectionKeeper keeper_;
    std::array<Qel1mPanel*, 2> windows_{};
    std::array<PollFreshness, 2> freshness_{};
    // When each connection's device stopped answering.
    std::array<LocalMoment, 2> silentSince_{};
};

}  // namespace qel
