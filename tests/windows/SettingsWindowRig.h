#pragma once
// A settings window in a folder of its own: its INI beside a pretend executable, its
// ports mapped to simulated devices on pseudo-terminals, its dialogs and bell answered
// and heard by the test.
#include <gtest/gtest.h>

#include <QPointer>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DiagnosticsList.h"
#include "GuiTestSupport.h"
#include "PortsOf.h"
#include "ProgramFolders.h"
#include "ProgramState.h"
#include "Qel1Samples.h"
#include "QtTickSource.h"
#include "Regional.h"
#include "SComSetup.h"
#include "SerialPortDriver.h"
#include "Simulator.h"
#include "TestFiles.h"
#include "TrayIcon.h"

namespace qel::test {

class SettingsWindowRig : public ::testing::Test {
protected:
    void SetUp() override {
        executableFolder = folder.Path() + "/";
        InstallQtTickSource();
        SetRegional(RussianRegionalSettings());
    }

    void TearDown() override {
        window.reset();
        devices.clear();
        SetDefaultTickSourceFactory(nullptr);
        SetRegional(FallbackRegionalSettings());
    }

    // The device on COMn, made on first use.
    Simulator& Device(int n) {
        auto& device = devices[n];
        if (!device) {
            std::string error;
            device = Simulator::CreatePty(LinkPath(n), error);
            if (!device) ADD_FAILURE() << "no pseudo-terminal: " << error;
        }
        return *device;
    }
    std::string LinkPath(int n) const { return folder / ("ttyQEL" + std::to_string(n)); }

    std::string IniPath() const { return folder / "QEL1_Agent.ini"; }

    // [Ports] maps COM1 to COM3 to the simulated devices, then the program's own section.
    void WriteSettings(const std::vector<std::string>& keys) {
        for (int n = 1; n <= 3; ++n) Device(n);
        WriteIni(IniPath(), SettingsLines({LinkPath(1), LinkPath(2), LinkPath(3)}, keys));
    }

    // The window as main makes it, of a program in `executableFolder` with the environment
    // as it is now, handed over before its creation steps run.
    TComSetup& Open() {
        surroundings.folders = LocateProgramFolders(executableFolder, FolderEnvironment::FromProcess());
        surroundings.systemTrayAvailable = [this] { return trayAvailable; };
        window = std::make_unique<TComSetup>(state.Log, state.Writing, state.RecordNumbers, surroundings,
                                             [this](TComSetup& w) {
                                                 handedOver = &w;
                                                 sinkAtHandOver = state.Log.Sink();
                                             });
        return *window;
    }

    template <class T>
    T& Control(const char* name) {
        T* control = window->findChild<T*>(QString::fromLatin1(name));
        if (control == nullptr) throw std::runtime_error(std::string("no control ") + name);
        return *control;
    }

    QStringList Lines() {
        QStringList lines;
        auto& list = Control<TDiagnosticsList>("ListBox1");
        for (int i = 0; i < list.count(); ++i) lines << list.LineText(i);
        return lines;
    }
    bool HasLine(const QString& line) { return Lines().contains(line); }
    bool WaitForLine(const QString& line, int timeoutMs = 3000) {
        return WaitUntil([&] { return HasLine(line); }, timeoutMs);
    }

    // True when the port can be opened by somebody else, that is, the window does not hold it.
    bool PortIsFree(TComPortNumber port) {
        TSerialPortDriver probe;
        probe.DevicePathOf = PortsOf(IniPath());
        probe.SetComPort(port);
        const bool opened = probe.Connect();
        probe.Disconnect();
        return opened;
    }

    TempFolder folder;
    CurrentFolder current{folder.Path()};
    ScriptedDialogs dialogs;
    RecordingBell bell;
    std::map<int, std::unique_ptr<Simulator>> devices;
    ProgramState state;
    std::string executableFolder;
    bool trayAvailable = true;  // whether the desktop has a notification area, asked anew each time
    SettingsWindowSurroundings surroundings;
    std::unique_ptr<TComSetup> window;
    QPointer<TComSetup> handedOver;
    DiagnosticSink* sinkAtHandOver = nullptr;
};

}  // namespace qel::test
