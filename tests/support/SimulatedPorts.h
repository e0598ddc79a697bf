#pragma once
// Two simulated devices on pseudo-terminals, mapped to COM1 and COM2 through the
// configuration file of a temporary program folder, and the settings window's two
// drivers opened on them.
#include <memory>
#include <stdexcept>
#include <string>

#include "PortsOf.h"
#include "ProgramFolders.h"
#include "SerialPortDriver.h"
#include "Simulator.h"
#include "TestFiles.h"

namespace qel::test {

class SimulatedPorts {
public:
    SimulatedPorts() {
        std::string error;
        device1 = Simulator::CreatePty("", error);
        if (!device1) throw std::runtime_error("pseudo-terminal 1: " + error);
        device2 = Simulator::CreatePty("", error);
        if (!device2) throw std::runtime_error("pseudo-terminal 2: " + error);
        WriteIni(SettingsPath(), PortsSection({device1->Path(), device2->Path()}));
    }
    SimulatedPorts(const SimulatedPorts&) = delete;
    SimulatedPorts& operator=(const SimulatedPorts&) = delete;

    std::string SettingsPath() const { return dir / kSettingsFileName; }
    // The folders of a program whose executable lies in `dir` (the report's template among them).
    ProgramFolders Folders() const { return LocateProgramFolders(dir.Path() + "/", FolderEnvironment::FromProcess()); }

    // Names and ports as ComDriver1 and ComDriver2 of the settings window have them
    // (connection 2 polls every 300 ms), then both opened.
    void ConnectAsSettingsWindow(TSerialPortDriver& driver1, TSerialPortDriver& driver2) const {
        driver1.DevicePathOf = PortsOf(SettingsPath());
        driver2.DevicePathOf = PortsOf(SettingsPath());
        driver1.Name = "ComDriver1";
        driver1.SetComPort(pnCOM1);
        driver2.Name = "ComDriver2";
        driver2.SetComPort(pnCOM2);
        driver2.SetComPortPollingDelay(300);
        if (!driver1.Connect() || !driver2.Connect()) throw std::runtime_error("cannot open the pseudo-terminals");
    }

    TempFolder dir;
    std::unique_ptr<Simulator> device1;
    std::unique_ptr<Simulator> device2;
};

}  // namespace qel::test
