#pragma once
// What the control window tests share: dialogs answered by the test, and the connections
// of a settings window with simulated QEL-1M devices and a real data file writer.
#include <QCoreApplication>
#include <QPrinter>
#include <QProcess>
#include <QString>
#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Connections.h"
#include "GuiTestSupport.h"
#include "RecordingSink.h"
#include "SimulatedPorts.h"
#include "TestFiles.h"
#include "UQEL1M_Control.h"

namespace qel::test {

// The program's scripted dialogs, with a printer dialog the test answers: without an
// answer it is cancelled. The answer runs inside the dialog, as the dialog's own message
// loop would run timer ticks.
class PrinterDialogs : public ScriptedDialogs {
public:
    bool SelectPrinter(QWidget* parent, QPrinter& printer) override {
        calls.push_back({"printer", {}, {}, {}, {}, {}, {}, parent});
        return onSelectPrinter ? onSelectPrinter(printer) : false;
    }
    std::vector<DialogCall> Of(const std::string& kind) const {
        std::vector<DialogCall> found;
        for (const DialogCall& call : calls)
            if (call.kind == kind) found.push_back(call);
        return found;
    }
    std::function<bool(QPrinter&)> onSelectPrinter;
};

// The printer dialog confirmed with a PDF file as the printer.
inline std::function<bool(QPrinter&)> PrintToPdf(const std::string& path, std::function<void()> whileOpen = {}) {
    return [path, whileOpen](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(path));
        if (whileOpen) whileOpen();
        return true;
    };
}

// Output of a command-line tool, waited for at most 20 s; empty when it failed.
inline std::string ToolOutput(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished(2000);
        return {};
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) return {};
    return process.readAllStandardOutput().toStdString();
}

inline std::string PdfText(const std::string& path) {
    return ToolOutput(QStringLiteral("pdftotext"),
                      {QStringLiteral("-enc"), QStringLiteral("UTF-8"), QString::fromStdString(path), QStringLiteral("-")});
}

inline std::string PdfInfo(const std::string& path) {
    return ToolOutput(QStringLiteral("pdfinfo"), {QString::fromStdString(path)});
}

// Deletes what waits for deletion (windows released while a handler of theirs ran).
inline void RunDeferredDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

// The connections of the settings window without the window: two simulated QEL-1M devices
// on pseudo-terminals, the log, the options as plain values, and the control windows made
// as the settings window makes them, sharing what the settings window's share.
class TestHost : public SimulatedPorts, public OptionsSource {
public:
    TestHost() : dataFile(dir / "Data.qel") {
        device1->SetType(SimDeviceType::Qel1m);
        device2->SetType(SimDeviceType::Qel1m);
        // Both drivers at 9600 Bd, reading with connection 1's input timeout, so a test on
        // connection 2 does not wait the settings window's 2 s after every reply.
        for (TSerialPortDriver* driver : {&connections.ComDriver1, &connections.ComDriver2}) {
            driver->SetComPortSpeed(br9600);
            driver->SetInputTimeout(200);
        }
        ConnectAsSettingsWindow(connections.ComDriver1, connections.ComDriver2);
        connections.CreateControlWindow = [this](int connection) {
            return new TQEL1M_Control(connections, connection, shared);
        };
    }
    ~TestHost() override {
        connections.DestroyControlWindow(1);
        connections.DestroyControlWindow(2);
        RunDeferredDeletes();
    }
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    ProgramOptions Current() const override {
        ProgramOptions o;
        o.dataFile = dataFile;
        o.multipleFiles = multipleFiles;
        o.deviceNames = deviceNames;
        return o;
    }
    void SetDataFile(const std::string& path) override { dataFile = path; }
    void SetDeviceName(int connection, const std::string& name) override {
        deviceNames[ConnectionIndex(connection)] = name;
    }

    Simulator& Device(int connection) { return connection == 1 ? *device1 : *device2; }
    TQEL1M_Control* Window(int connection) const {
        return static_cast<TQEL1M_Control*>(connections.ControlWindow(connection));
    }
    // The data file's lines as the program wrote them (code page 1251, CR LF).
    std::string DataFileBytes() const { return ReadBytes(dataFile); }

    // Opens the control window of a connection as picking "КЭЛ-1М" does.
    TQEL1M_Control& Open(int connection) {
        connections.DeviceTypeChange(connection, kQel1mTypeIndex);
        return *Window(connection);
    }

    std::string dataFile;
    bool multipleFiles = false;  // CB_MultyFiles
    std::array<std::string, 2> deviceNames;
    DiagnosticLog log;
    RecordNumberCounter recordNumbers;
    WriteHoldOff writing;
    RecordingSink sink{log};
    Qel1mControlsShared shared{log, recordNumbers, Folders()};
    Connections connections{log, writing, *this, SettingsPath()};
};

}  // namespace qel::test
