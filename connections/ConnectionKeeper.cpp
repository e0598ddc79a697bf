#include "ConnectionKeeper.h"

#include <cstdio>
#include <string>

#include "Clock.h"
#include "DiagnosticLog.h"
#include "PortFailureText.h"

namespace qel {

namespace {

std::string Numbered(const char* before, int connection, const char* after) {
    return before + std::to_string(connection) + after;
}

}  // namespace

ConnectionKeeper::ConnectionKeeper(TSerialPortDriver& driver1, TSerialPortDriver& driver2, DiagnosticLog& log)
    : SuspendedClock([] { return SuspendedMs(); }), log_(log) {
    slots_[0].driver = &driver1;
    slots_[1].driver = &driver2;
}

bool ConnectionKeeper::Connect(int connection) {
    Slot& slot = At(connection);
    TSerialPortDriver& driver = *slot.driver;
    const State before = slot.state;
    if (driver.Connect()) {
        Hold(slot);
        if (OnConnect) OnConnect(connection, true);
        log_.Note(Numbered("соединение ", connection, " состоялось"));
        if (before == State::Lost || before == State::Waiting) TellLink(connection, true);
        return true;
    }
    // A port that is missing or busy now (an adapter plugged in later, a port that another
    // program holds for a while) is tried again at every tick with the settings just given;
    // the failure is reported this once.
    slot.port = driver.ComPort();
    slot.speed = driver.ComPortSpeed();
    if (before != State::Lost) slot.state = State::Waiting;
    const std::string reason = PortFailureText(connection, driver.DevicePath(), driver.LastOpenFailure());
    std::fprintf(stderr, "qel1-agent: %s\n", reason.c_str());
    std::fflush(stderr);
    if (OnConnect) OnConnect(connection, false);
    log_.Report(Numbered("соединение ", connection, " не состоялось"), reason);
    return false;
}

void ConnectionKeeper::Disconnect(int connection) {
    Slot& slot = At(connection);
    slot.driver->Disconnect();
    slot.state = State::Idle;
}

void ConnectionKeeper::LineLost(int connection) {
    Slot& slot = At(connection);
    if (slot.state != State::Held) return;
    const std::string path = slot.driver->DevicePath();
    // The dead port is closed at once, so the system may give the device's name to it
    // again when it returns.
    slot.driver->Disconnect();
    MarkLost(connection, path);
}

void ConnectionKeeper::Tick() {
    bool resumed = false;
    if (SuspendedClock) {
        const uint64_t suspended = SuspendedClock();
        resumed = haveSuspended_ && suspended > lastSuspended_ && suspended - lastSuspended_ > kResumeJumpMs;
        haveSuspended_ = true;
        lastSuspended_ = suspended;
    }
    for (int connection : {1, 2}) {
        Slot& slot = At(connection);
        TSerialPortDriver& driver = *slot.driver;
        if (slot.state == State::Held) {
            if (!driver.IsConnected()) {
                slot.state = State::Idle;  // closed by someone else: nothing to keep
                continue;
            }
            if (!resumed) continue;
            // A port that slept may have come back with its adapter reset or re-created;
            // a fresh open sets it up again, and one that cannot be opened is lost.
            const std::string path = driver.DevicePath();
            driver.Disconnect();
            if (!Reopen(slot)) MarkLost(connection, path);
        } else if (slot.state == State::Lost || slot.state == State::Waiting) {
            const bool wasLost = slot.state == State::Lost;
            if (!Reopen(slot)) continue;
            log_.Note(Numbered("соединение ", connection, wasLost ? " восстановлено" : " состоялось"));
            TellLink(connection, true);
        }
    }
}

bool ConnectionKeeper::Lost(int connection) const {
    const State state = At(connection).state;
    return state == State::Lost || state == State::Waiting;
}

void ConnectionKeeper::Hold(Slot& slot) {
    slot.state = State::Held;
    slot.port = slot.driver->ComPort();
    slot.speed = slot.driver->ComPortSpeed();
}

// Opens the closed port with the settings it was held with; Connect reads the port's path
// afresh and its setting-up purges both directions.
bool ConnectionKeeper::Reopen(Slot& slot) {
    TSerialPortDriver& driver = *slot.driver;
    driver.SetComPort(slot.port);
    driver.SetComPortSpeed(slot.speed);
    if (!driver.Connect()) return false;
    driver.Purge(true, true);
    slot.state = State::Held;
    return true;
}

void ConnectionKeeper::MarkLost(int connection, const std::string& devicePath) {
    At(connection).state = State::Lost;
    TellLink(connection, false);
    // The report is the last action: its box keeps the event loop, and these ticks, running.
    log_.Report("соединение " + std::to_string(connection) + " потеряно (" + devicePath + ")");
}

void ConnectionKeeper::TellLink(int connection, bool up) {
    if (!OnLinkChange) return;
    const auto handler = OnLinkChange;
    handler(connection, up);
}

}  // namespace qel
