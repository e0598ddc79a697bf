#pragma once
// What the control window tests share: dialogs answered by the test, and a settings
// window stand-in holding the two connections of a Qel1mRig and a real data file writer.
#include <QCoreApplication>
#include <QPrinter>
#include <QProcess>
#include <QString>
#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "DataFile.h"
#include "GuiTestSupport.h"
#include "Qel1mConnections.h"
#include "Qel1mRig.h"
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

// The settings window as the control windows see it.
class TestHost : public Qel1mHost, public DataFileOptions {
public:
    explicit TestHost(Qel1mRig& rig) : dataFile(rig.dir / "Data.qel"), rig_(rig) {}
    ~TestHost() override {
        DestroyControlWindow(*this, 1);
        DestroyControlWindow(*this, 2);
        RunDeferredDeletes();
    }
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    TQEL1M_Control* ControlWindow(int connection) override { return windows[connection - 1]; }
    void SetControlWindow(int connection, TQEL1M_Control* window) override { windows[connection - 1] = window; }
    std::string DeviceName(int connection) const override { return names[connection - 1]; }
    void SetDeviceName(int connection, const std::string& name) override { names[connection - 1] = name; }
    TSerialPortDriver& ComDriver(int connection) override { return rig_.Driver(connection); }
    void Save2File(const std::string& line) override { writer.Save2File(line); }
    void CloseMainWindow() override { ++closeRequests; }

    std::string DataFilePath() override { return dataFile; }
    void SetDataFilePath(const std::string& path) override { dataFile = path; }
    bool RewriteFile() override { return false; }
    bool MultipleFiles() override { return false; }

    // The data file's lines as the program wrote them (code page 1251, CR LF).
    std::string DataFileBytes() const { return ReadBytes(dataFile); }

    // Opens the control window of a connection as picking "КЭЛ-1М" does.
    TQEL1M_Control& Open(int connection) {
        DeviceTypeChange(*this, connection, kQel1mTypeIndex);
        return *windows[connection - 1];
    }

    std::array<TQEL1M_Control*, 2> windows{};
    std::array<std::string, 2> names;
    int closeRequests = 0;
    std::string dataFile;
    DataFileWriter writer{*this};

private:
    Qel1mRig& rig_;
};

}  // namespace qel::test
