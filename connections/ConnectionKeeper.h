#pragma once
#include <array>
#include <cstdint>
#include <functional>

#include "Configuration.h"
#include "DiagnosticLog.h"
#include "SerialPortDriver.h"

namespace qel {

// The program's hold on its two connections' ports. It opens them for ApplyConnections
// and tells the outcome; a port that will not open then is tried again at every tick
// until it opens, which is noted. When the device behind an open port goes away (the driver's
// OnLineLost), it reports the loss once, closes the dead port and, at every tick (about
// once a second), tries to open it again with the port and speed of the last successful
// open, following the configured path (a symbolic link too) anew each time. A return is
// noted and the port, freshly opened and purged, works as after any connect. After the
// machine has slept it reopens the ports it holds, so one that did not survive the
// suspend is found lost. Standard C++: the window gives it its ticks.
class ConnectionKeeper {
public:
    ConnectionKeeper(TSerialPortDriver& driver1, TSerialPortDriver& driver2, DiagnosticLog& log);
    ConnectionKeeper(const ConnectionKeeper&) = delete;
    ConnectionKeeper& operator=(const ConnectionKeeper&) = delete;

    // The period at which the owner calls Tick.
    static constexpr uint32_t kTickMs = 1000;
    // A growth of the suspended time beyond this between two ticks counts as a resume.
    static constexpr uint64_t kResumeJumpMs = 2000;

    // Step of ApplyConnections for one connection: connects its driver; success is noted
    // ("соединение N состоялось"), failure reported ("соединение N не состоялось") with
    // the device path and the reason in the next line and on standard error, once: the
    // port is then retried quietly with these settings until it opens.
    bool Connect(int connection);
    // Closes the connection's port and ends its retries.
    void Disconnect(int connection);
    // The connection's driver found its device gone.
    void LineLost(int connection);
    // Retries the lost connections; after a resume, reopens the ports held.
    void Tick();

    // The connection's port is closed and being retried: its device was lost, or the port
    // has not opened since Connect.
    bool Lost(int connection) const;

    // Told when a connection's link goes down (false) or its port is open again (true).
    std::function<void(int connection, bool up)> OnLinkChange;
    // Told of the outcome of each Connect, before it is noted or reported.
    std::function<void(int connection, bool opened)> OnConnect;
    // The suspended-time reading (SuspendedMs by default); tests give their own.
    std::function<uint64_t()> SuspendedClock;

private:
    enum class State { Idle, Held, Waiting, Lost };
    struct Slot {
        TSerialPortDriver* driver = nullptr;
        State state = State::Idle;
        TComPortNumber port = pnCOM1;
        TComPortBaudRate speed = br9600;
    };

    Slot& At(int connection) { return slots_[ConnectionIndex(connection)]; }
    const Slot& At(int connection) const { return slots_[ConnectionIndex(connection)]; }
    void Hold(Slot& slot);
    bool Reopen(Slot& slot);
    void MarkLost(int connection, const std::string& devicePath);
    void TellLink(int connection, bool up);

    DiagnosticLog& log_;
    std::array<Slot, 2> slots_;
    bool haveSuspended_ = false;
    uint64_t lastSuspended_ = 0;
};

}  // namespace qel
