#pragma once
// The QEL-1 reception without a window: two simulated devices on pseudo-terminals, two
// drivers set up as ComDriver1 and ComDriver2 of the settings window, the receive handler,
// a data file in a temporary folder and a loop that drives the polling ticks.
#include <string>

#include "DataFile.h"
#include "DataFileSettings.h"
#include "DiagnosticLog.h"
#include "Qel1Reception.h"
#include "RecordingSink.h"
#include "Regional.h"
#include "RegionalGuard.h"
#include "SerialPortDriver.h"
#include "SimulatedPorts.h"
#include "TimerLoop.h"
#include "Waits.h"

namespace qel::test {

// The settings window's options as the reception reads them.
struct WindowOptions : DataFileSettings {
    int types[2] = {0, 0};  // CB_QELType1, CB_QELType2
    bool lastRecordIfError = false;  // GetLastRecordIfError

    ProgramOptions Current() const override {
        ProgramOptions o = DataFileSettings::Current();
        o.lastRecordIfError = lastRecordIfError;
        o.Connection(1).typeIndex = types[0];
        o.Connection(2).typeIndex = types[1];
        return o;
    }
};

class ReceptionRig : public SimulatedPorts {
public:
    ReceptionRig() {
        // Bound as the connections bind it.
        const auto receive = [this](TSerialPortDriver* sender, const uint8_t* bytes, uint32_t count) {
            reception.ComDriver1ReceiveData(sender, bytes, count);
        };
        driver1.OnReceiveData = receive;
        driver2.OnReceiveData = receive;
        driver1.SetComPortSpeed(br4800);
        driver2.SetInputTimeout(2000);
        ConnectAsSettingsWindow(driver1, driver2);
        window.path = dir / "Data.qel";
    }

    ~ReceptionRig() {
        driver1.Disconnect();
        driver2.Disconnect();
    }

    ReceptionRig(const ReceptionRig&) = delete;
    ReceptionRig& operator=(const ReceptionRig&) = delete;

    // The device sends bytes (at once, or as `options` say) and they have left it.
    static bool DeviceSends(Simulator& device, const std::string& bytes, const SendOptions& options = {}) {
        const auto sent = device.WaitSent(device.SendBytes(bytes, options), 5000);
        return sent && sent->complete;
    }

    // Waits (without running any tick) until the driver's port shows `count` bytes waiting,
    // so that the next poll takes them in one event.
    static bool Settle(TSerialPortDriver& driver, uint32_t count) {
        return PollUntil([&] { return driver.InputCount() >= count; }, 2000, 1);
    }

    std::string DataFile() const { return ReadBytes(window.path); }

    RegionalGuard russian{RussianRegionalSettings()};
    DiagnosticLog log;
    RecordingSink sink{log};
    TimerLoop loop;
    TSerialPortDriver driver1{nullptr, nullptr, loop.MakeTickSource()};
    TSerialPortDriver driver2{nullptr, nullptr, loop.MakeTickSource()};
    WindowOptions window;
    WriteHoldOff writing;
    DataFileWriter writer{window, log, writing};
    Qel1Reception reception{driver1, driver2, window, writer, log};
};

}  // namespace qel::test
