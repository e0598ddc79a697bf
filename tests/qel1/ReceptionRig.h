#pragma once
// The QEL-1 reception without a window: two simulated devices on pseudo-terminals, two
// drivers set up as ComDriver1 and ComDriver2 of the settings window, the receive handler,
// a data file in a temporary folder and a loop that drives the polling ticks.
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

#include "Configuration.h"
#include "DataFile.h"
#include "ExecutableFolder.h"
#include "Qel1Reception.h"
#include "RecordingSink.h"
#include "Regional.h"
#include "SerialPortDriver.h"
#include "Simulator.h"
#include "TestFiles.h"
#include "TimerLoop.h"

namespace qel::test {

// The settings window's options as the reception reads them.
struct WindowOptions : DataFileOptions, ReceptionOptions {
    std::string path;
    bool rewrite = false;
    bool multiple = false;
    int types[2] = {0, 0};  // CB_QELType1, CB_QELType2

    std::string DataFilePath() override { return path; }
    void SetDataFilePath(const std::string& p) override { path = p; }
    bool RewriteFile() override { return rewrite; }
    bool MultipleFiles() override { return multiple; }
    int DeviceTypeIndex(int connection) override { return types[connection - 1]; }
};

class ReceptionRig {
public:
    ReceptionRig() {
        savedRegional_ = Regional();
        RegionalSettings russian;
        russian.timeSeparator = ':';
        russian.dateSeparator = '.';
        russian.decimalSeparator = ',';
        SetRegional(russian);
        GetLastRecordIfError = false;

        std::string error;
        device1 = Simulator::CreatePty("", error);
        if (!device1) throw std::runtime_error("pseudo-terminal 1: " + error);
        device2 = Simulator::CreatePty("", error);
        if (!device2) throw std::runtime_error("pseudo-terminal 2: " + error);
        // The ports of the two connections, as the configuration file maps them.
        WriteBytes(dir / kConfigurationFileName,
                   "[Ports]\r\nCOM1=" + device1->Path() + "\r\nCOM2=" + device2->Path() + "\r\n");
        SetExecutableFolderOverride(dir.Path());

        driver1.Name = "ComDriver1";
        driver1.SetComPort(pnCOM1);
        driver1.SetComPortSpeed(br4800);
        driver2.Name = "ComDriver2";
        driver2.SetComPort(pnCOM2);
        driver2.SetComPortPollingDelay(300);
        driver2.SetInputTimeout(2000);
        if (!driver1.Connect() || !driver2.Connect()) throw std::runtime_error("cannot open the pseudo-terminals");

        window.path = dir / "Data.qel";
    }

    ~ReceptionRig() {
        driver1.Disconnect();
        driver2.Disconnect();
        SetExecutableFolderOverride("");
        SetRegional(savedRegional_);
        GetLastRecordIfError = false;
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
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (driver.InputCount() < count) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    std::string DataFile() const { return ReadBytes(window.path); }

    TempFolder dir;
    RecordingSink sink;
    TimerLoop loop;
    std::unique_ptr<Simulator> device1;
    std::unique_ptr<Simulator> device2;
    TSerialPortDriver driver1{nullptr, nullptr, loop.MakeTickSource()};
    TSerialPortDriver driver2{nullptr, nullptr, loop.MakeTickSource()};
    WindowOptions window;
    DataFileWriter writer{window};
    Qel1Reception reception{driver1, driver2, window, writer};

private:
    RegionalSettings savedRegional_;
};

}  // namespace qel::test
