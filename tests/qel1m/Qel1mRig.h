#pragma once
// Two simulated QEL-1M devices on pseudo-terminals, mapped to COM1 and COM2 through the
// configuration file of a temporary program folder, and two serial drivers connected to
// them as the settings window's drivers are.
#include "RussianFixedTime.h"
#include "SerialPortDriver.h"
#include "SimulatedPorts.h"

namespace qel::test {

class Qel1mRig : public SimulatedPorts {
public:
    // Both drivers read with connection 1's input timeout, so a test on connection 2 does
    // not wait the settings window's 2 s after every reply.
    explicit Qel1mRig(uint32_t inputTimeoutMs = 200) {
        device1->SetType(SimDeviceType::Qel1m);
        device2->SetType(SimDeviceType::Qel1m);
        driver1.SetInputTimeout(inputTimeoutMs);
        driver2.SetInputTimeout(inputTimeoutMs);
        ConnectAsSettingsWindow(driver1, driver2);
    }
    ~Qel1mRig() {
        driver1.Disconnect();
        driver2.Disconnect();
    }
    Qel1mRig(const Qel1mRig&) = delete;
    Qel1mRig& operator=(const Qel1mRig&) = delete;

    Simulator& Device(int connection) { return connection == 1 ? *device1 : *device2; }
    TSerialPortDriver& Driver(int connection) { return connection == 1 ? driver1 : driver2; }

    TSerialPortDriver driver1;
    TSerialPortDriver driver2;
};

}  // namespace qel::test
