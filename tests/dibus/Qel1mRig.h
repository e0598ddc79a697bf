#pragma once
// Two simulated QEL-1M devices on pseudo-terminals, mapped to COM1 and COM2 through the
// configuration file of a temporary program folder, and two serial drivers connected to
// them as the settings window's drivers are.
#include <memory>
#include <stdexcept>
#include <string>

#include "Configuration.h"
#include "ExecutableFolder.h"
#include "LocalTime.h"
#include "Regional.h"
#include "SerialPortDriver.h"
#include "Simulator.h"
#include "TestFiles.h"

namespace qel::test {

// 09:05:07 on 3 March 2026.
inline LocalMoment FixedMoment() { return LocalMoment{2026, 3, 3, 9, 5, 7}; }

// Russian regional settings and a fixed local clock for the life of the object.
class RussianFixedTime {
public:
    explicit RussianFixedTime(LocalMoment moment = FixedMoment()) : saved_(Regional()) {
        SetRegional(RussianRegionalSettings());
        SetLocalTimeSource([moment] { return moment; });
    }
    ~RussianFixedTime() {
        SetLocalTimeSource({});
        SetRegional(saved_);
    }
    RussianFixedTime(const RussianFixedTime&) = delete;
    RussianFixedTime& operator=(const RussianFixedTime&) = delete;

private:
    RegionalSettings saved_;
};

class Qel1mRig {
public:
    // Both drivers read with connection 1's input timeout, so a test on connection 2 does
    // not wait the settings window's 2 s after every reply.
    explicit Qel1mRig(uint32_t inputTimeoutMs = 200) {
        std::string error;
        device1 = Simulator::CreatePty("", error);
        if (!device1) throw std::runtime_error("pseudo-terminal 1: " + error);
        device2 = Simulator::CreatePty("", error);
        if (!device2) throw std::runtime_error("pseudo-terminal 2: " + error);
        device1->SetType(SimDeviceType::Qel1m);
        device2->SetType(SimDeviceType::Qel1m);
        WriteBytes(dir / kConfigurationFileName,
                   "[Ports]\r\nCOM1=" + device1->Path() + "\r\nCOM2=" + device2->Path() + "\r\n");
        SetExecutableFolderOverride(dir.Path());

        driver1.Name = "ComDriver1";
        driver1.SetComPort(pnCOM1);
        driver1.SetInputTimeout(inputTimeoutMs);
        driver2.Name = "ComDriver2";
        driver2.SetComPort(pnCOM2);
        driver2.SetComPortPollingDelay(300);
        driver2.SetInputTimeout(inputTimeoutMs);
        if (!driver1.Connect() || !driver2.Connect()) throw std::runtime_error("cannot open the pseudo-terminals");
    }
    ~Qel1mRig() {
        driver1.Disconnect();
        driver2.Disconnect();
        SetExecutableFolderOverride("");
    }
    Qel1mRig(const Qel1mRig&) = delete;
    Qel1mRig& operator=(const Qel1mRig&) = delete;

    Simulator& Device(int connection) { return connection == 1 ? *device1 : *device2; }
    TSerialPortDriver& Driver(int connection) { return connection == 1 ? driver1 : driver2; }

    TempFolder dir;
    std::unique_ptr<Simulator> device1;
    std::unique_ptr<Simulator> device2;
    TSerialPortDriver driver1;
    TSerialPortDriver driver2;
};

}  // namespace qel::test
